#include "common/json_text.h"

#include <cstdint>
#include <cstdio>

#include "common/text_encoding.h"

namespace common {

namespace {

// The length of the valid UTF-8 sequence `s` starts with (non-ASCII lead), or 0.
size_t utf8Length(std::string_view s) {
    auto at = [&](size_t i) { return static_cast<std::uint8_t>(s[i]); };
    const std::uint8_t lead = at(0);
    size_t length = 0;
    std::uint8_t low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead == 0xE0) length = 3, low = 0xA0;   // no overlong forms
    else if (lead == 0xED) length = 3, high = 0x9F;  // no surrogates
    else if (lead >= 0xE1 && lead <= 0xEF) length = 3;
    else if (lead == 0xF0) length = 4, low = 0x90;
    else if (lead >= 0xF1 && lead <= 0xF3) length = 4;
    else if (lead == 0xF4) length = 4, high = 0x8F;  // nothing above U+10FFFF
    if (length == 0 || s.size() < length || at(1) < low || at(1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xBF) return 0;
    return length;
}

void escape(std::string& out, unsigned code) {
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", code);
    out += text;
}

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
    } else {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    }
    out += static_cast<char>(0x80 | (code & 0x3F));
}

}  // namespace

std::string jsonString(std::string_view bytes) {
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<std::uint8_t>(bytes[i]);
        if (byte < 0x80) {
            if (byte == '"' || byte == '\\') out += '\\';
            if (byte < 0x20 || byte == 0x7F) escape(out, byte);
            else out += static_cast<char>(byte);
            ++i;
        } else if (const size_t length = utf8Length(bytes.substr(i))) {
            const auto second = static_cast<std::uint8_t>(bytes[i + 1]);
            if (byte == 0xC2 && second < 0xA0) escape(out, second);  // a C1 control
            else out.append(bytes.substr(i, length));
            i += length;
        } else {
            const char32_t code = windows1252ToUnicode(byte);
            if (code < 0xA0) escape(out, static_cast<unsigned>(code));
            else appendUtf8(out, code);
            ++i;
        }
    }
    return out + "\"";
}

}  // namespace common
