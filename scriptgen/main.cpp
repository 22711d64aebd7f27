#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>

#include "common/input_error.h"
#include "scriptgen/generator.h"

namespace {
constexpr int kExitFailure = 1;
}

int main(int argc, char** argv) {
    // Every console line of the tool ends with CR LF; an error's text is the
    // whole line.
    try {
        return scriptgen::run(argc, argv, stdout);
    } catch (const common::InputError& error) {
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
