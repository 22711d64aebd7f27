#include <cstdio>
#include <exception>
#include <new>
#include <vector>

#include "common/console.h"
#include "common/diagnostics.h"
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
    std::vector<const char*> arguments(argv, argv + argc);
    common::Diagnostics diagnostics(stderr);
    diagnostics.takeOptions(arguments);
    std::FILE* out = common::toolConsole(diagnostics);
    try {
        return modelconv::run(static_cast<int>(arguments.size()), arguments.data(), out, diagnostics);
    } catch (const common::InputError& error) {
        printError(out, error);
        diagnostics.error(error);
    } catch (const std::bad_alloc&) {
        std::fputs("Error - Out of memory!", out);
        diagnostics.report({common::Severity::Error, {}, -1, "out of memory", {}});
    } catch (const std::exception& error) {
        std::fprintf(out, "Error - %s!", error.what());
        diagnostics.report({common::Severity::Error, {}, -1, error.what(), {}});
    }
    return kExitInputError;
}
