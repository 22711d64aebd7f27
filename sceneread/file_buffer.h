// A whole file in memory, read with one call.
#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sceneread {

class FileBuffer {
public:
    std::string_view view() const { return {data_.get(), size_}; }
    size_t size() const { return size_; }

private:
    friend std::optional<FileBuffer> loadWholeFile(const std::string& fileName);
    struct Free {
        void operator()(char* p) const { std::free(p); }
    };
    std::unique_ptr<char, Free> data_;
    size_t size_ = 0;
};

// The whole file, or nothing when it is missing, not a regular file, empty,
// unreadable, or cannot be held in memory. Opens read-only, so write-protected
// files (version-control checkouts) read normally.
std::optional<FileBuffer> loadWholeFile(const std::string& fileName);

}  // namespace sceneread
