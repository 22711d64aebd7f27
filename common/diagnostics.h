// The second channel of every tool: errors, warnings and notes on standard
// error, in the form compilers use, so editors, CI log parsers and build tools
// link them to the file and line:
//
//   <file>:<line>: error: <what>
//   <file>:<line>: note: <why, or what to do>
//   <file>: warning: <what>
//
// or, on request, one JSON object per line. Standard output is the tools' own
// text and stays exactly as it is.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "common/input_error.h"

namespace common {

enum class Severity { Error, Warning, Note };

struct Diagnostic {
    Severity severity = Severity::Error;
    std::string file;    // empty: the message belongs to no file
    long line = -1;      // -1: no line
    std::string message;
    std::string object;  // the mesh, camera, light, element or brush concerned; may be empty
};

class Diagnostics {
public:
    // Writes to `channel` (nullptr: nowhere, and nothing is counted); `console` is the tool's
    // standard output, flushed before each diagnostic so that the two streams
    // interleave in the order things happened.
    explicit Diagnostics(std::FILE* channel = nullptr, std::FILE* console = nullptr)
        : channel_(channel), console_(console) {}

    // The switches every tool accepts: "--no-warnings" and
    // "--diagnostics=json". Removes them from `arguments` (argv[0] stays);
    // every other argument keeps its place and meaning.
    void takeOptions(std::vector<const char*>& arguments);

    void setConsole(std::FILE* console) { console_ = console; }
    void setWarnings(bool on) { warnings_ = on; }
    void setJson(bool on) { json_ = on; }
    // Set when the console and the channel are one terminal: a diagnostic
    // then starts on a line of its own when the console's last line is open.
    void setSharedTerminal(const bool* consoleLineOpen) { consoleLineOpen_ = consoleLineOpen; }

    void report(const Diagnostic& diagnostic);
    void warning(std::string file, long line, std::string object, std::string message);
    void note(std::string file, long line, std::string message);
    // The error line of `error`, then its notes.
    void error(const InputError& error);

    size_t warningCount() const { return warningCount_; }

private:
    std::FILE* channel_;
    std::FILE* console_;
    const bool* consoleLineOpen_ = nullptr;
    bool warnings_ = true;
    bool json_ = false;
    size_t warningCount_ = 0;
};

// After a tool's usage text (standard output, as specified): one note per
// option of `toolOptions`, then the switches every tool takes.
void noteOptions(Diagnostics& diagnostics, std::initializer_list<std::string_view> toolOptions);

// A diagnostics channel that discards everything (the default of library calls).
Diagnostics& noDiagnostics();

}  // namespace common
