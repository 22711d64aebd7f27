#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/console.h"
#include "common/diagnostics.h"
#include "common/input_error.h"
#include "scriptgen/generator.h"

namespace {
constexpr int kExitFailure = 1;
}

int main(int argc, char** argv) {
    std::vector<const char*> arguments(argv, argv + argc);
    common::Diagnostics diagnostics(stderr);
    diagnostics.takeOptions(arguments);
    std::FILE* out = common::toolConsole(diagnostics);
    // Every console line of the tool ends with CR LF; an error's text is the
    // whole line.
    std::string failure;
    try {
        return scriptgen::run(static_cast<int>(arguments.size()), arguments.data(), out, diagnostics);
    } catch (const common::InputError& error) {
        std::fputs(error.what(), out);
        std::fputs("\r\n", out);
        diagnostics.error(error);
        return kExitFailure;
    } catch (const std::bad_alloc&) {
        failure = "out of memory";
    } catch (const std::length_error&) {
        failure = "out of memory";
    } catch (const std::exception& error) {
        failure = error.what();
    }
    std::fprintf(out, "Error: %s\r\n", failure.c_str());
    diagnostics.report({common::Severity::Error, {}, -1, failure, {}});
    return kExitFailure;
}
