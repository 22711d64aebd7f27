#include <cstdio>
#include <exception>
#include <new>

#include "modelconv/driver.h"
#include "sceneread/report_error.h"

namespace {
constexpr int kExitInputError = 1;
}

int main(int argc, char** argv) {
    try {
        return modelconv::run(argc, argv, stdout);
    } catch (const sceneread::InputError& error) {
        sceneread::printError(stdout, error);
    } catch (const std::bad_alloc&) {
        std::fputs("Error - Out of memory!", stdout);
    } catch (const std::exception& error) {
        std::fprintf(stdout, "Error - %s!", error.what());
    }
    return kExitInputError;
}
