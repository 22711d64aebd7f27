// The one error exit of DKS2VKM's readers and conversion. Library code throws;
// only main() prints the message (after its "Error - " or "Error in line %i -"
// prefix) and chooses the exit status, so tests and fuzzers can catch it.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

namespace sceneread {

struct InputError : std::runtime_error {
    InputError(long at, const std::string& message) : std::runtime_error(message), line(at) {}
    long line;  // -1: the error belongs to no line
};

// Formats the message printf-style and throws InputError; never returns.
[[noreturn]] void reportError(long line, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Prints an error the way the tool shows it: "Error - " or "Error in line %i -"
// (no blank after the dash), then the message exactly as formatted (no line
// feed is added).
void printError(std::FILE* out, const InputError& error);

}  // namespace sceneread
