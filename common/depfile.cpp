#include "common/depfile.h"

#include <algorithm>
#include <unordered_set>

#include "common/input_error.h"

namespace common {

std::string depfilePath(std::string_view path) {
    std::string text;
    text.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '\\') {
            const size_t end = std::min(path.find_first_not_of('\\', i), path.size());
            const bool beforeBlank = end == path.size() || path[end] == ' ' || path[end] == '\t';
            text.append((end - i) * (beforeBlank ? 2 : 1), '\\');
            i = end - 1;
        } else if (c == ' ' || c == '\t' || c == '#') {
            text += '\\';
            text += c;
        } else if (c == '$') {
            text += "$$";
        } else if (c == '\n' || c == '\r') {
            throw InputError("the file name " + std::string(path) + " holds a line break, which a depfile cannot name");
        } else {
            text += c;
        }
    }
    return text;
}

std::string depfileText(std::string_view target, const std::vector<std::string>& prerequisites) {
    std::string text = depfilePath(target) + ":";
    std::unordered_set<std::string_view> listed;
    for (const std::string& prerequisite : prerequisites) {
        if (!listed.insert(prerequisite).second) continue;
        text += ' ';
        text += depfilePath(prerequisite);
    }
    // A backslash right before the line end would join the next line.
    if (text.back() == '\\') text += ' ';
    text += '\n';
    return text;
}

}  // namespace common
