#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>

#include "scriptgen/generator.h"
#include "scriptgen/tool_error.h"

namespace {
constexpr int kExitFailure = 1;
}

int main(int argc, char** argv) {
    try {
        return scriptgen::run(argc, argv, stdout);
    } catch (const scriptgen::ToolError& error) {
        std::fputs(error.what(), stdout);
    } catch (const std::bad_alloc&) {
        std::fputs("Error: out of memory", stdout);
    } catch (const std::length_error&) {
        std::fputs("Error: out of memory", stdout);
    } catch (const std::exception& error) {
        std::fprintf(stdout, "Error: %s", error.what());
    }
    std::fputs("\r\n", stdout);
    return kExitFailure;
}
