// Dependency files in Make syntax, as Make and Ninja read them (a build rule's
// DEPFILE): "<target>: <prerequisite> <prerequisite>...", one line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace common {

// `path` escaped for a depfile: a blank becomes "\ " (the backslashes right
// before it, and those that end the path, are doubled, since 2N+1 backslashes
// and a blank read as N and a blank), '#' becomes "\#", '$' becomes "$$".
// Throws InputError for a path holding a line break, which no depfile can name.
std::string depfilePath(std::string_view path);

// The whole file: `target`, then every prerequisite once, in the order given.
std::string depfileText(std::string_view target, const std::vector<std::string>& prerequisites);

}  // namespace common
