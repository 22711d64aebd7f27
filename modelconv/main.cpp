#include <cstdio>
#include <exception>
#include <new>

#include "common/input_error.h"
#include "modelconv/driver.h"

namespace {

constexpr int kExitInputError = 1;

// "Error - " or "Error in line %i -" (no blank after the dash), then the
// message exactly as formatted, with no line feed.
void printError(std::FILE* out, const common::InputError& error) {
    if (error.line == -1)
        std::fputs("Error - ", out);
    else
        std::fprintf(out, "Error in line %ld -", error.line);
    std::fputs(error.what(), out);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return modelconv::run(argc, argv, stdout);
    } catch (const common::InputError& error) {
        printError(stdout, error);
    } catch (const std::bad_alloc&) {
        std::fputs("Error - Out of memory!", stdout);
    } catch (const std::exception& error) {
        std::fprintf(stdout, "Error - %s!", error.what());
    }
    return kExitInputError;
}
