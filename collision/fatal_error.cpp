#include "collision/fatal_error.h"

#include <cstdarg>

#include "common/string_format.h"

namespace collision {

void reportFatal(long line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = common::formatV(format, args);
    va_end(args);
    throw FatalError(line, message);
}

void printFatal(std::FILE* out, const FatalError& error) {
    if (error.line == -1)
        std::fprintf(out, "Error: %s", error.what());
    else
        std::fprintf(out, "Error: %s (line %ld)", error.what(), error.line);
}

}  // namespace collision
