#include "sceneread/report_error.h"

#include <cstdarg>

#include "common/string_format.h"

namespace sceneread {

void reportError(long line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = common::formatV(format, args);
    va_end(args);
    throw InputError(line, message);
}

void printError(std::FILE* out, const InputError& error) {
    if (error.line == -1)
        std::fputs("Error - ", out);
    else
        std::fprintf(out, "Error in line %ld -", error.line);
    std::fputs(error.what(), out);
}

}  // namespace sceneread
