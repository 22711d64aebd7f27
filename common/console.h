// Standard output as the tools print to it. When standard output and
// standard error are one terminal, the stream also remembers whether its last
// line is still open, so that a diagnostic can start on a line of its own
// (the tools' own texts often end without a line feed). Redirected or piped,
// it is standard output itself, byte for byte.
#pragma once

#include <cstdio>

#include "common/diagnostics.h"

namespace common {

// The stream to print the tool's console text to; ties `diagnostics` to it.
// Valid for the rest of the process.
std::FILE* toolConsole(Diagnostics& diagnostics);

}  // namespace common
