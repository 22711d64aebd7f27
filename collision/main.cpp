#include <cstdio>
#include <exception>
#include <new>

#include "collision/converter.h"
#include "collision/fatal_error.h"

int main(int argc, char** argv) {
    try {
        return collision::run(argc, argv, stdout);
    } catch (const collision::FatalError& error) {
        collision::printFatal(stdout, error);
    } catch (const std::bad_alloc&) {
        std::fputs("Error: Out of memory!", stdout);
    } catch (const std::exception& error) {
        std::fprintf(stdout, "Error: %s", error.what());
    }
    return collision::kExitFatal;
}
