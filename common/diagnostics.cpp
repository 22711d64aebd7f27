#include "common/diagnostics.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "common/text_encoding.h"

namespace common {

namespace {

// Length of the valid UTF-8 sequence at text[at], or 0 when there is none.
size_t utf8Length(std::string_view text, size_t at) {
    const auto lead = static_cast<std::uint8_t>(text[at]);
    size_t length = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, minimum = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, minimum = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, minimum = 0x10000;
    else return 0;
    if (at + length > text.size()) return 0;
    char32_t codePoint = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint < 0xE000)) return 0;
    return length;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

const char* severityWord(Severity severity) {
    switch (severity) {
        case Severity::Error: return "error";
        case Severity::Warning: return "warning";
        case Severity::Note: return "note";
    }
    return "error";
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<std::uint8_t>(text[at]);
        if (byte >= 0x80) {
            if (const size_t length = utf8Length(text, at)) {
                out.append(text, at, length);
                at += length;
            } else {
                appendUtf8(out, windows1252ToUnicode(byte));
                ++at;
            }
            continue;
        }
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += static_cast<char>(byte);
        }
        ++at;
    }
    out += '"';
    return out;
}

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

Diagnostics& noDiagnostics() {
    static Diagnostics none;
    return none;
}

}  // namespace common
