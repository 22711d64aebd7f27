#include "sceneread/file_buffer.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sceneread {

namespace {

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

}  // namespace

std::optional<FileBuffer> loadWholeFile(const std::string& fileName) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    const FdCloser closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) return std::nullopt;
    const auto size = static_cast<size_t>(info.st_size);

    // NOTE: on these machines first-touching fresh memory costs more than
    // parsing it; a 2 MiB-aligned buffer backed by huge pages avoids most of
    // the page faults for large exports.
    constexpr size_t kHuge = size_t{2} << 20;
    const size_t alignment = size >= kHuge ? kHuge : 64;
    const size_t capacity = (size + alignment - 1) / alignment * alignment;
    FileBuffer buffer;
    buffer.data_.reset(static_cast<char*>(std::aligned_alloc(alignment, capacity)));
    if (!buffer.data_) return std::nullopt;
    if (alignment == kHuge) ::madvise(buffer.data_.get(), capacity, MADV_HUGEPAGE);

    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, buffer.data_.get() + done, size - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) break;  // the file shrank while we read it
        done += static_cast<size_t>(got);
    }
    if (done == 0) return std::nullopt;
    buffer.size_ = done;
    return buffer;
}

}  // namespace sceneread
