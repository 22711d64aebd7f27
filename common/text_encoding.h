// Text encodings of exported files. The formats are 8-bit text in the
// exporter's code page (Windows-1252); some exporters save UTF-16 instead.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace common {

// The Unicode code point of a Windows-1252 byte. The five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of
// the same value, as Windows itself decodes them.
char32_t windows1252ToUnicode(std::uint8_t byte);

// The Windows-1252 byte of a code point, or nullopt when the code page has none.
std::optional<std::uint8_t> unicodeToWindows1252(char32_t codePoint);

enum class TextEncoding { EightBit, Utf16LittleEndian, Utf16BigEndian };

// UTF-16 when the text starts with a byte-order mark, else 8-bit.
TextEncoding detectEncoding(std::string_view bytes);

// The same text in Windows-1252: a UTF-16 text (byte-order mark dropped)
// with every character the code page cannot hold as '?', and an odd last byte
// dropped; 8-bit text unchanged. Line breaks map one to one, so line numbers
// stay those of the file.
std::string toWindows1252(std::string bytes);

}  // namespace common
