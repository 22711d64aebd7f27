// JSON strings from the names the formats store: bytes without a declared
// encoding, in practice UTF-8 or the exporter's Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace common {

// `bytes` as a quoted JSON string, always valid UTF-8. A run of bytes that is
// valid UTF-8 (shortest form, no surrogates, at most U+10FFFF) is kept; every
// other byte is read as Windows-1252, whose five undefined bytes (0x81 0x8D
// 0x8F 0x90 0x9D) stand for the C1 controls of the same number. `"` and `\`
// are escaped, and so are the controls U+0000-U+001F, U+007F and
// U+0080-U+009F, as \u00xx.
std::string jsonString(std::string_view bytes);

}  // namespace common
