// The one error exit of SCENE2HXM. Library code throws; only main() prints the
// message ("Error: %s" or "Error: %s (line %i)", no line feed) and ends the
// tool with exit code -2, so tests and fuzzers can catch every failure.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

namespace collision {

struct FatalError : std::runtime_error {
    FatalError(long at, const std::string& message) : std::runtime_error(message), line(at) {}
    long line;  // -1: the error belongs to no line
};

// Formats the message printf-style and throws FatalError; never returns.
[[noreturn]] void reportFatal(long line, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Prints the error the way the tool shows it: "Error: <message>" or
// "Error: <message> (line <n>)", with no line feed.
void printFatal(std::FILE* out, const FatalError& error);

}  // namespace collision
