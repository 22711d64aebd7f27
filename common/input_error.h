// The one error type of every tool: bad input (or an output that cannot be
// written), thrown where the problem is known. Only a tool's main() prints it,
// in that tool's own console text, and chooses the exit status.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace common {

struct InputError : std::runtime_error {
    explicit InputError(const std::string& message, long at = -1, std::string inFile = {})
        : std::runtime_error(message), line(at), file(std::move(inFile)) {}

    long line = -1;      // -1: the error belongs to no line
    std::string file;    // the file being read (or written) when it happened; may be empty
    std::string object;  // the mesh, camera, light or element concerned; may be empty
    std::vector<std::string> notes;  // why, or what to do
};

// Formats the message printf-style and throws InputError at `line` (-1 for
// none); never returns.
[[noreturn]] void throwInputError(long line, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace common
