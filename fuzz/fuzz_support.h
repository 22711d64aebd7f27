// Shared by the fuzz targets: a scratch directory for the few inputs that must
// be files (the readers open files by name), and a sink for console output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace fuzzsupport {

// One directory per process, removed at exit.
inline const std::filesystem::path& scratch() {
    static const std::filesystem::path dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "pipeline_fuzz_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        std::atexit([] { std::filesystem::remove_all(scratch()); });
        return std::filesystem::path(pattern);
    }();
    return dir;
}

inline std::string writeScratch(const std::string& name, std::string_view bytes) {
    const std::string path = (scratch() / name).string();
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

inline std::FILE* sink() {
    static std::FILE* file = std::fopen("/dev/null", "w");
    return file;
}

inline std::string_view text(const std::uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzzsupport
