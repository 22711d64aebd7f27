#include <cstdio>
#include <exception>
#include <new>
#include <vector>

#include "collision/converter.h"
#include "common/console.h"
#include "common/diagnostics.h"
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
    std::vector<const char*> arguments(argv, argv + argc);
    common::Diagnostics diagnostics(stderr);
    diagnostics.takeOptions(arguments);
    std::FILE* out = common::toolConsole(diagnostics);
    try {
        return collision::run(static_cast<int>(arguments.size()), arguments.data(), out, diagnostics);
    } catch (const common::InputError& error) {
        printFatal(out, error);
        diagnostics.error(error);
    } catch (const std::bad_alloc&) {
        std::fputs("Error: Out of memory!", out);
        diagnostics.report({common::Severity::Error, {}, -1, "out of memory", {}});
    } catch (const std::exception& error) {
        std::fprintf(out, "Error: %s", error.what());
        diagnostics.report({common::Severity::Error, {}, -1, error.what(), {}});
    }
    return kExitFatal;
}
