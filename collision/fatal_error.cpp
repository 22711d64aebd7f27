#include "collision/fatal_error.h"

#include <cstdarg>
#include <vector>

namespace collision {

void reportFatal(long line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string message;
    if (length > 0) {
        std::vector<char> text(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        message.assign(text.data(), static_cast<size_t>(length));
    }
    va_end(again);
    throw FatalError(line, message);
}

void printFatal(std::FILE* out, const FatalError& error) {
    if (error.line == -1)
        std::fprintf(out, "Error: %s", error.what());
    else
        std::fprintf(out, "Error: %s (line %ld)", error.what(), error.line);
}

}  // namespace collision
