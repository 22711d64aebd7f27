// DKS2VKM's run, from the command line to the VKM file.
#pragma once

#include <cstdio>

#include "common/diagnostics.h"

namespace modelconv {

// Runs the tool with its command line, printing to `out`; returns the exit
// status for success (0) and throws common::InputError on any failure.
// "--output FILE" / "-o FILE", "--lenient" and "--threads N" may stand
// anywhere.
int run(int argc, const char* const* argv, std::FILE* out,
        common::Diagnostics& diagnostics = common::noDiagnostics());

}  // namespace modelconv
