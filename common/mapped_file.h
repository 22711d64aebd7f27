// A large input mapped into memory instead of copied out of the page cache:
// on the machines we run on, the copy costs as much as a fifth of reading an
// export. Pages already read can be given back, so a mapping costs little
// resident memory however large the file.
//
// A mapped file that shrinks while it is read (another program truncating
// it) would kill the process with SIGBUS. Instead, the pages past the new end
// read as zeros and changed() turns true: the reader must then fail as for a
// read error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "common/file_loader.h"

namespace common {

class MappedFile {
public:
    // The whole of `file`, or nullptr where it cannot be mapped (then read
    // it). An empty file is not mapped.
    static std::shared_ptr<MappedFile> map(const InputFile& file);

    struct Token {
    private:
        Token() = default;
        friend class MappedFile;
    };
    MappedFile(Token, const char* data, size_t size, int slot) : data_(data), size_(size), slot_(slot) {}
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::string_view bytes() const { return {data_, size_}; }
    // Drops the whole pages inside [offset, offset + length) from memory;
    // reading them again maps them again.
    void release(std::uint64_t offset, std::uint64_t length) const;
    // True once a read found the file shorter than when it was mapped.
    bool changed() const;

private:
    const char* data_;
    size_t size_;
    int slot_;  // in the table the SIGBUS handler looks in
};

}  // namespace common
