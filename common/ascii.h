// ASCII letter case, as the formats compare names and keywords: bytes outside
// A-Z and a-z are never folded, whatever the locale.
#pragma once

#include <string>
#include <string_view>

namespace common {

constexpr char toLowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char toUpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (toLowerAscii(a[i]) != toLowerAscii(b[i])) return false;
    return true;
}

inline std::string upperCased(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = toUpperAscii(c);
    return upper;
}

inline std::string lowerCased(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = toLowerAscii(c);
    return lower;
}

}  // namespace common
