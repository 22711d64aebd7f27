// aselod: simplified copies of an ASE export's meshes, and a DKS script that
// names them as LODs. Exit status: 0 done, 1 bad input or an output that
// cannot be written (diagnostic on standard error), 2 usage.
#include <cstdio>
#include <exception>
#include <new>
#include <vector>

#include "common/console.h"
#include "common/diagnostics.h"
#include "common/input_error.h"
#include "lod/driver.h"

namespace {
constexpr int kExitFailure = 1;
}

int main(int argc, char** argv) {
    std::vector<const char*> arguments(argv, argv + argc);
    common::Diagnostics diagnostics(stderr);
    diagnostics.takeOptions(arguments);
    std::FILE* out = common::toolConsole(diagnostics);
    try {
        return lod::run(static_cast<int>(arguments.size()), arguments.data(), out, stderr);
    } catch (const common::InputError& error) {
        diagnostics.error(error);
    } catch (const std::bad_alloc&) {
        diagnostics.report({common::Severity::Error, {}, -1, "out of memory", {}});
    } catch (const std::exception& error) {
        diagnostics.report({common::Severity::Error, {}, -1, error.what(), {}});
    }
    return kExitFailure;
}
