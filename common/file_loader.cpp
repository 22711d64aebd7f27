#include "common/file_loader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "common/text_encoding.h"

namespace common {

const char* describe(LoadFailure failure) {
    switch (failure) {
        case LoadFailure::None: return "no failure";
        case LoadFailure::CannotOpen: return "cannot be opened";
        case LoadFailure::NotAFile: return "is a directory or device, not a file";
        case LoadFailure::ReadFailed: return "cannot be read";
        case LoadFailure::TooLarge: return "is too large";
    }
    return "cannot be read";
}

InputFile::InputFile(const std::string& path, std::uint64_t maxBytes) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        error_ = errno;
        failure_ = LoadFailure::CannotOpen;
        return;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        error_ = errno;
        failure_ = LoadFailure::ReadFailed;
    } else if (!S_ISREG(info.st_mode)) {
        failure_ = LoadFailure::NotAFile;
    } else if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        failure_ = LoadFailure::TooLarge;
    } else {
        // O_NONBLOCK only kept a FIFO from blocking the open itself.
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        size_ = static_cast<std::uint64_t>(info.st_size);
        failure_ = LoadFailure::None;
        return;
    }
    ::close(fd_);
    fd_ = -1;
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), failure_(other.failure_), error_(other.error_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
        failure_ = other.failure_;
        error_ = other.error_;
    }
    return *this;
}

long InputFile::read(char* into, size_t count) {
    for (;;) {
        const ssize_t got = ::read(fd_, into, count);
        if (got >= 0) return static_cast<long>(got);
        if (errno == EINTR) continue;
        error_ = errno;
        failure_ = LoadFailure::ReadFailed;
        return -1;
    }
}

LoadedFile loadFile(const std::string& path, std::uint64_t maxBytes) {
    LoadedFile loaded;
    InputFile file(path, maxBytes);
    if (!file.ok()) {
        loaded.failure = file.failure();
        loaded.error = file.error();
        return loaded;
    }
    // Sized from the file's length once; a file that grows meanwhile is read on.
    std::string& bytes = loaded.bytes;
    bytes.resize(static_cast<size_t>(file.size()) + 1);
    size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (bytes.size() > maxBytes) {
                loaded.failure = LoadFailure::TooLarge;
                bytes.clear();
                return loaded;
            }
            bytes.resize(bytes.size() * 2);
        }
        const long got = file.read(bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            loaded.failure = file.failure();
            loaded.error = file.error();
            bytes.clear();
            return loaded;
        }
        if (got == 0) break;
        used += static_cast<size_t>(got);
    }
    if (used > maxBytes) {
        loaded.failure = LoadFailure::TooLarge;
        bytes.clear();
        return loaded;
    }
    bytes.resize(used);
    return loaded;
}

LoadedFile loadTextFile(const std::string& path) {
    LoadedFile loaded = loadFile(path);
    if (loaded.ok()) loaded.bytes = toWindows1252(std::move(loaded.bytes));
    return loaded;
}

}  // namespace common
