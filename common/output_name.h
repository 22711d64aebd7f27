// How every tool names its output from its input: the extension of the file
// name (from the last '.' after the last '/' or '\\') is replaced, or one is
// appended when the file name has no dot. A dot in a directory name does not
// count, and both separators end a directory part, as on the platform the
// formats come from: "scene.dks" gives "scene.vkm", "dir.old/box" gives
// "dir.old/box.hxm", ".hidden" gives ".vkm", "scene." gives "scene.vkm".
#pragma once

#include <string>
#include <string_view>

namespace common {

// `extension` without its dot.
inline std::string makeOutputName(std::string_view name, std::string_view extension) {
    const size_t at = name.find_last_of("/\\.");
    std::string result(name);
    if (at != std::string_view::npos && name[at] == '.')
        result.resize(at + 1);
    else
        result += '.';
    result += extension;
    return result;
}

}  // namespace common
