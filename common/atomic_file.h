// Writes a file completely or not at all: the bytes go to a temporary file in
// the target's directory, which is renamed over the target only once every
// byte has been written and the file closed without error. An existing file of
// the target's name stays untouched on any failure.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace common {

namespace detail {

// The permissions a plain fopen() would have given a new file (0666 less the
// umask); mkstemp creates 0600, which would lock other users out of outputs.
inline mode_t defaultFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace detail

// Returns an empty string on success, else a short description of what failed.
inline std::string replaceFile(const std::string& target, std::string_view bytes) {
    // Past a file-size limit (ulimit -f) the default SIGXFSZ would kill the tool
    // mid-write; ignored, the write fails with EFBIG and is reported like any other.
    std::signal(SIGXFSZ, SIG_IGN);
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return std::string("cannot create a file beside it: ") + std::strerror(errno);
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return std::string("cannot open the temporary file: ") + std::strerror(err);
    }
    std::string failure;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
        failure = std::string("write failed: ") + std::strerror(errno);
    if (std::fflush(file) != 0 && failure.empty())
        failure = std::string("write failed: ") + std::strerror(errno);
    if (failure.empty() && ::fchmod(fd, detail::defaultFileMode()) != 0)
        failure = std::string("cannot set permissions: ") + std::strerror(errno);
    if (std::fclose(file) != 0 && failure.empty())
        failure = std::string("close failed: ") + std::strerror(errno);
    if (failure.empty() && std::rename(temp.c_str(), target.c_str()) != 0)
        failure = std::string("cannot replace the file: ") + std::strerror(errno);
    if (!failure.empty()) ::unlink(temp.c_str());
    return failure;
}

// Two names that open the same file: the same string, or the same inode when
// both exist. Used to refuse writing an output over the tool's own input.
inline bool sameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace common
