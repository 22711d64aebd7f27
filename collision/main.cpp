#include <cstdio>
#include <exception>
#include <new>

#include "collision/converter.h"
#include "common/input_error.h"

namespace {

constexpr int kExitFatal = -2;  // unreadable input, bad input, a non-convex brush, a failed write

// "Error: <message>" or "Error: <message> (line <n>)", with no line feed; an
// input that cannot be opened has its own line, which names no file.
void printFatal(std::FILE* out, const common::InputError& error) {
    if (error.kind == common::ErrorKind::CannotOpen)
        std::fputs("Unable to open file: \n", out);
    else if (error.line == -1)
        std::fprintf(out, "Error: %s", error.what());
    else
        std::fprintf(out, "Error: %s (line %ld)", error.what(), error.line);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return collision::run(argc, argv, stdout);
    } catch (const common::InputError& error) {
        printFatal(stdout, error);
    } catch (const std::bad_alloc&) {
        std::fputs("Error: Out of memory!", stdout);
    } catch (const std::exception& error) {
        std::fprintf(stdout, "Error: %s", error.what());
    }
    return kExitFatal;
}
