#include "common/text_encoding.h"

#include <array>

namespace common {

namespace {

// Code points of bytes 0x80-0x9F; the rest of the high half equals Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char32_t windows1252ToUnicode(std::uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char32_t{byte};
}

std::optional<std::uint8_t> unicodeToWindows1252(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<std::uint8_t>(codePoint);
    for (size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == codePoint) return static_cast<std::uint8_t>(0x80 + i);
    return std::nullopt;
}

TextEncoding detectEncoding(std::string_view bytes) {
    if (bytes.size() >= 2) {
        const auto first = static_cast<std::uint8_t>(bytes[0]), second = static_cast<std::uint8_t>(bytes[1]);
        if (first == 0xFF && second == 0xFE) return TextEncoding::Utf16LittleEndian;
        if (first == 0xFE && second == 0xFF) return TextEncoding::Utf16BigEndian;
    }
    return TextEncoding::EightBit;
}

std::string toWindows1252(std::string bytes) {
    const TextEncoding encoding = detectEncoding(bytes);
    if (encoding == TextEncoding::EightBit) return bytes;
    const bool little = encoding == TextEncoding::Utf16LittleEndian;
    auto unitAt = [&](size_t at) -> char16_t {
        const auto a = static_cast<std::uint8_t>(bytes[at]), b = static_cast<std::uint8_t>(bytes[at + 1]);
        return static_cast<char16_t>(little ? (b << 8 | a) : (a << 8 | b));
    };
    // Each character takes at least two bytes, so the text shrinks in place.
    size_t written = 0;
    for (size_t at = 2; at + 1 < bytes.size(); at += 2) {
        const char16_t unit = unitAt(at);
        char32_t codePoint = unit;
        if (unit >= 0xD800 && unit < 0xDC00 && at + 3 < bytes.size()) {
            const char16_t low = unitAt(at + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                codePoint = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{low} - 0xDC00);
                at += 2;
            }
        }
        const std::optional<std::uint8_t> byte = unicodeToWindows1252(codePoint);
        bytes[written++] = static_cast<char>(byte ? *byte : '?');
    }
    bytes.resize(written);
    return bytes;
}

}  // namespace common
