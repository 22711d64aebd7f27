// The one place where the tools open their input files. Only regular files
// are inputs: a directory, FIFO or device would block, read nothing or never
// end, so it is refused before any byte is read.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace common {

inline constexpr std::uint64_t kNoSizeLimit = std::numeric_limits<std::uint64_t>::max();

enum class LoadFailure {
    None,
    CannotOpen,  // missing, no permission, a name the system refuses
    NotAFile,    // a directory, FIFO, device or socket
    ReadFailed,  // an I/O error part-way
    TooLarge,    // beyond the caller's limit
};

// A short English phrase for messages on standard error ("is a directory or
// device, not a file").
const char* describe(LoadFailure failure);

// An input file opened read-only (write-protected checkouts read normally).
// The descriptor closes with the object.
class InputFile {
public:
    InputFile() = default;
    // Opens `path` and checks that it is a regular file of at most `maxBytes`;
    // check failure() afterwards.
    InputFile(const std::string& path, std::uint64_t maxBytes = kNoSizeLimit);
    ~InputFile();
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    LoadFailure failure() const { return failure_; }
    bool ok() const { return failure_ == LoadFailure::None; }
    int descriptor() const { return fd_; }
    std::uint64_t size() const { return size_; }
    // errno of the failing call, for messages.
    int error() const { return error_; }

    // Reads up to `count` bytes at the current position; retries on EINTR.
    // Returns the number read (0 at the end), or -1 with failure() set to
    // ReadFailed.
    long read(char* into, size_t count);

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    LoadFailure failure_ = LoadFailure::CannotOpen;
    int error_ = 0;
};

struct LoadedFile {
    std::string bytes;
    LoadFailure failure = LoadFailure::None;
    int error = 0;
    bool ok() const { return failure == LoadFailure::None; }
};

// The whole file in memory. A file that grows while it is read is read to
// its end, within the limit.
LoadedFile loadFile(const std::string& path, std::uint64_t maxBytes = kNoSizeLimit);

// A text file in the exporter's 8-bit code page: a UTF-16 file (one with a
// byte-order mark) arrives as the same text in Windows-1252, so it reads
// exactly as its 8-bit twin (see text_encoding.h).
LoadedFile loadTextFile(const std::string& path);

}  // namespace common
