// The options that name a tool's files instead of deriving them from the
// input, for use as a build step: "--output FILE" (or "-o FILE") and
// "--depfile FILE". Like the diagnostics switches they may stand anywhere and
// are taken out before the tool reads its arguments by their places.
#pragma once

#include <string>
#include <vector>

namespace common {

struct OutputOptions {
    std::string output;   // empty: the name derived from the input
    std::string depfile;  // empty: none is written
};

// Removes the options and their values from `arguments` (argv[0] stays;
// "--depfile" only when `depfile` is set, else it stays an ordinary argument).
// Every other argument keeps its order; where an option is repeated the last
// one counts. Throws InputError ("option <name> needs a file name") when an
// option stands last or its value is empty.
OutputOptions takeOutputOptions(std::vector<const char*>& arguments, bool depfile);

}  // namespace common
