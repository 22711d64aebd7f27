// printf-style formatting into a std::string, for the tools' error messages.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace common {

inline std::string formatV(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length));
        // vsnprintf writes the terminating NUL into the string's own terminator slot.
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

}  // namespace common
