#include "common/diagnostics.h"

#include <algorithm>
#include <cstring>

#include "common/json_text.h"

namespace common {

namespace {

const char* severityWord(Severity severity) {
    switch (severity) {
        case Severity::Error: return "error";
        case Severity::Warning: return "warning";
        case Severity::Note: return "note";
    }
    return "error";
}

}  // namespace

void Diagnostics::takeOptions(std::vector<const char*>& arguments) {
    std::erase_if(arguments, [this](const char* argument) {
        if (std::strcmp(argument, "--no-warnings") == 0) {
            warnings_ = false;
            return true;
        }
        if (std::strcmp(argument, "--diagnostics=json") == 0) {
            json_ = true;
            return true;
        }
        return false;
    });
}

void Diagnostics::report(const Diagnostic& d) {
    if (channel_ == nullptr) return;
    if (d.severity == Severity::Warning) {
        if (!warnings_) return;
        ++warningCount_;
    }
    if (console_ != nullptr) std::fflush(console_);
    if (json_) {
        std::string line = "{\"file\":" + (d.file.empty() ? std::string("null") : jsonString(d.file)) +
                           ",\"line\":" + (d.line < 0 ? std::string("null") : std::to_string(d.line)) +
                           ",\"severity\":\"" + severityWord(d.severity) + "\",\"message\":" + jsonString(d.message) +
                           ",\"object\":" + (d.object.empty() ? std::string("null") : jsonString(d.object)) + "}\n";
        std::fputs(line.c_str(), channel_);
    } else {
        if (consoleLineOpen_ != nullptr && *consoleLineOpen_) std::fputc('\n', channel_);
        std::string line = d.file;
        if (!d.file.empty() && d.line >= 0) line += ':' + std::to_string(d.line);
        if (!line.empty()) line += ": ";
        line += severityWord(d.severity);
        line += ": ";
        line += d.message;
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), channel_);
    }
    std::fflush(channel_);
}

void Diagnostics::warning(std::string file, long line, std::string object, std::string message) {
    report({Severity::Warning, std::move(file), line, std::move(message), std::move(object)});
}

void Diagnostics::note(std::string file, long line, std::string message) {
    report({Severity::Note, std::move(file), line, std::move(message), {}});
}

void Diagnostics::error(const InputError& error) {
    const long at = error.diagnosticLine >= 0 ? error.diagnosticLine : error.line;
    report({Severity::Error, error.file, error.file.empty() ? -1 : at, error.what(), error.object});
    for (const ErrorNote& note : error.notes) {
        const long line = note.line >= 0 ? note.line : at;
        report({Severity::Note, error.file, error.file.empty() ? -1 : line, note.text, error.object});
    }
}

void noteOptions(Diagnostics& diagnostics, std::initializer_list<std::string_view> toolOptions) {
    for (std::string_view option : toolOptions) diagnostics.note({}, -1, std::string(option));
    diagnostics.note({}, -1, "--no-warnings: errors only");
    diagnostics.note({}, -1, "--diagnostics=json: these lines as JSON objects");
    diagnostics.note({}, -1, "options may stand anywhere; give an input named with a leading '-' as ./-name");
}

Diagnostics& noDiagnostics() {
    static Diagnostics none;
    return none;
}

}  // namespace common
