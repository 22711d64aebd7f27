// The one error type of every tool: bad input (or an output that cannot be
// written), thrown where the problem is known. Only a tool's main() prints it,
// in that tool's own console text, and chooses the exit status.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace common {

// What failed: a tool prints some failures in a text of their own.
enum class ErrorKind {
    Content,     // the input's text or structure
    CannotOpen,  // an input file that cannot be opened or read
    CannotWrite, // the output file
};

struct ErrorNote {
    std::string text;
    long line = -1;  // -1: the error's own line
};

struct InputError : std::runtime_error {
    explicit InputError(const std::string& message, long at = -1, ErrorKind errorKind = ErrorKind::Content)
        : std::runtime_error(message), line(at), kind(errorKind) {}

    long line = -1;      // -1: the error belongs to no line (the console text names none)
    // Where the diagnostic points when the console text names no line (a
    // lookup that failed at the end of the file); -1: `line`.
    long diagnosticLine = -1;
    ErrorKind kind = ErrorKind::Content;
    std::string file;    // the file being read (or written) when it happened; may be empty
    std::string object;  // the mesh, camera, light or element concerned; may be empty
    std::vector<ErrorNote> notes;  // why, or what to do
};

// Formats the message printf-style and throws InputError at `line` (-1 for
// none); never returns.
[[noreturn]] void reportError(long line, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace common
