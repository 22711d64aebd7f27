// Shared by the fuzz targets: a sink for console output and the input as text.
// Every reader takes bytes in memory, so no target writes a file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace fuzzsupport {

inline std::FILE* sink() {
    static std::FILE* file = std::fopen("/dev/null", "w");
    return file;
}

inline std::string_view text(const std::uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzzsupport
