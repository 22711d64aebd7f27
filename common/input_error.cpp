#include "common/input_error.h"

#include <cstdarg>

#include "common/string_format.h"

namespace common {

void reportError(long line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = formatV(format, args);
    va_end(args);
    throw InputError(message, line);
}

}  // namespace common
