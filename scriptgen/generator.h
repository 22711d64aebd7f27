// SCENE2DKS's run: the command line, the scan of one ASE file and the script
// written beside it.
#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string_view>

#include "common/diagnostics.h"

namespace scriptgen {

struct Options {
    bool writeParents = true;  // off with "/NOPARENT"
    bool gibNames = false;     // on with "/GIB"
    int lodCount = 1;          // "/L:<n>"; never below 1
};

// The "/L:" value: an optional '+' or '-' and decimal digits that make up the
// whole text, within the 32-bit range; nullopt for anything else (blanks,
// other characters, an empty text, overflow).
std::optional<int> parseLodCount(std::string_view text);

// Applies the parameters after the file name in order. Each is upper-cased
// (ASCII letters) and compared with "/NOPARENT" and "/GIB", or starts with
// "/L:"; anything else is ignored. A bad "/L:" value prints its one-line
// message to `out` and keeps the previous count.
Options parseOptions(std::span<const char* const> parameters, std::FILE* out);

// Runs the tool with its command line (argv[0] is the program), printing to
// `out`; "--output FILE" / "-o FILE" names the script and counts as no parameter. Returns 0 after writing the script, after the usage text (fewer than
// one or more than three parameters) and after bad "/L:" values. Throws
// common::InputError when the ASE file cannot be opened or read, when the script would
// replace it, or when the script cannot be written; an existing script is then
// left as it was. Throws std::bad_alloc when the script does not fit in memory.
// Warnings (a node name with a blank, a LOD count above what DKS2VKM reads)
// go to `diagnostics`.
int run(int argc, const char* const* argv, std::FILE* out,
        common::Diagnostics& diagnostics = common::noDiagnostics());

}  // namespace scriptgen
