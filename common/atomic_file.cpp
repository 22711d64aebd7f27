#include "common/atomic_file.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <exception>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace common {

namespace {

constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
constexpr std::array kCleanupSignals = {SIGINT, SIGTERM, SIGHUP};

// The temporary file the handler removes; null outside the write. The name is
// built before the handlers are installed, so the handler only reads it.
std::atomic<const char*> pendingTemporary{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free, "the signal handler reads it");

void removeTemporaryAndReraise(int signal) {
    if (const char* name = pendingTemporary.load()) ::unlink(name);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ::sigaction(signal, &byDefault, nullptr);
    // The signal stays blocked until the handler returns; then its default
    // action ends the process with the status a shell expects.
    ::raise(signal);
}

sigset_t cleanupSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kCleanupSignals) sigaddset(&set, s);
    return set;
}

// Installs the handler for the lifetime of the object (signals that were
// ignored stay ignored: `nohup` and background jobs rely on it) and restores
// the previous actions and mask afterwards. The signals stay blocked from
// construction to arm(), so one that arrives while the file is being created
// is handled once its name is known.
class SignalCleanup {
public:
    SignalCleanup() {
        const sigset_t set = cleanupSignalSet();
        ::pthread_sigmask(SIG_BLOCK, &set, &previousMask_);
        struct sigaction handler {};
        handler.sa_handler = removeTemporaryAndReraise;
        handler.sa_mask = set;
        for (std::size_t i = 0; i < kCleanupSignals.size(); ++i) {
            ::sigaction(kCleanupSignals[i], nullptr, &previous_[i]);
            if (previous_[i].sa_handler != SIG_IGN) ::sigaction(kCleanupSignals[i], &handler, nullptr);
        }
    }
    SignalCleanup(const SignalCleanup&) = delete;
    SignalCleanup& operator=(const SignalCleanup&) = delete;

    void arm(const char* temporaryName) {
        pendingTemporary.store(temporaryName);
        ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
    }

    ~SignalCleanup() {
        const sigset_t set = cleanupSignalSet();
        ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
        pendingTemporary.store(nullptr);
        for (std::size_t i = 0; i < kCleanupSignals.size(); ++i) ::sigaction(kCleanupSignals[i], &previous_[i], nullptr);
        // A signal that came meanwhile now reaches the previous action.
        ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
    }

private:
    sigset_t previousMask_{};
    std::array<struct sigaction, kCleanupSignals.size()> previous_{};
};

// A replaced file keeps its mode bits; a new one gets what a plain fopen()
// would have given it (0666 less the umask). mkstemp creates 0600, which
// would lock other users out of outputs.
mode_t outputMode(const std::string& target) {
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        return static_cast<mode_t>(existing.st_mode & 07777);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

// `.<name>.XXXXXX.tmp` beside the target. Where that exceeds the directory's
// name limit the name part is cut (at a UTF-8 character boundary): mkstemp
// keeps it unique, and any name the file system accepts can be written.
std::string temporaryTemplate(const std::string& target) {
    constexpr std::string_view kSuffix = ".XXXXXX.tmp";
    const std::size_t slash = target.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string directory = target.substr(0, nameStart);
    const long limit = ::pathconf(directory.empty() ? "." : directory.c_str(), _PC_NAME_MAX);
    const std::size_t nameMax = limit > 0 ? static_cast<std::size_t>(limit) : 255;
    const std::size_t room = nameMax > 1 + kSuffix.size() ? nameMax - 1 - kSuffix.size() : 0;
    std::size_t keep = target.size() - nameStart;
    if (keep > room) {
        keep = room;
        while (keep > 0 && (static_cast<unsigned char>(target[nameStart + keep]) & 0xC0) == 0x80) --keep;
    }
    return directory + "." + target.substr(nameStart, keep) + std::string(kSuffix);
}

std::string failed(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

std::string writeAll(int fd, std::string_view bytes, const std::function<void(std::size_t)>& afterPiece) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const std::size_t piece = std::min(kPieceBytes, bytes.size() - written);
        const ssize_t n = ::write(fd, bytes.data() + written, piece);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return failed("write failed", n < 0 ? errno : ENOSPC);
        written += static_cast<std::size_t>(n);
        if (afterPiece) afterPiece(written);
    }
    return {};
}

// Whether `target` is a regular file holding exactly `bytes`. A file that
// cannot be read counts as different, so it is replaced as any other.
bool holdsBytes(const std::string& target, std::string_view bytes) {
    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    bool same = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                static_cast<std::size_t>(status.st_size) == bytes.size();
    std::vector<char> piece(same ? std::min(kPieceBytes, bytes.size()) : 0);
    for (std::size_t done = 0; same && done < bytes.size();) {
        const ssize_t n = ::read(fd, piece.data(), std::min(piece.size(), bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        same = n > 0 && bytes.compare(done, static_cast<std::size_t>(n), std::string_view(piece.data(), static_cast<std::size_t>(n))) == 0;
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ::close(fd);
    return same;
}

// The streamed replacement: comparing with the target while the pieces
// match it, writing the temporary file from the first piece that does not.
class StreamedReplacement {
public:
    StreamedReplacement(const std::string& target, std::uint64_t size) : target_(target) {
        const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        struct stat status {};
        if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && static_cast<std::uint64_t>(status.st_size) == size)
            compared_ = fd;
        else
            ::close(fd);
    }
    ~StreamedReplacement() {
        if (compared_ >= 0) ::close(compared_);
        if (fd_ >= 0) {
            ::close(fd_);
            ::unlink(temp_.c_str());
        }
    }
    StreamedReplacement(const StreamedReplacement&) = delete;
    StreamedReplacement& operator=(const StreamedReplacement&) = delete;

    void add(std::string_view piece) {
        if (!failure_.empty() || piece.empty()) return;
        if (compared_ >= 0 && !written_) {
            if (matches(piece)) {
                matched_ += piece.size();
                return;
            }
            if (!failure_.empty()) return;
        }
        if (!written_) startWriting();
        if (failure_.empty()) failure_ = writeAll(fd_, piece, {});
    }

    std::string finish() {
        if (failure_.empty() && !written_ && compared_ >= 0) return {};  // the target holds these bytes
        if (failure_.empty() && !written_) startWriting();
        if (!failure_.empty()) return failure_;
        const mode_t mode = outputMode(target_);
        if (::fchmod(fd_, mode) != 0) failure_ = failed("cannot set permissions", errno);
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0 && failure_.empty()) failure_ = failed("close failed", errno);
        if (failure_.empty() && std::rename(temp_.c_str(), target_.c_str()) != 0)
            failure_ = failed("cannot replace the file", errno);
        if (!failure_.empty()) ::unlink(temp_.c_str());
        return failure_;
    }

private:
    bool matches(std::string_view piece) {
        buffer_.resize(piece.size());
        std::size_t done = 0;
        while (done < piece.size()) {
            const ssize_t n = ::pread(compared_, buffer_.data() + done, piece.size() - done,
                                      static_cast<off_t>(matched_ + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return piece == std::string_view(buffer_.data(), buffer_.size());
    }

    void startWriting() {
        written_ = true;
        temp_ = temporaryTemplate(target_);
        cleanup_.emplace();
        fd_ = ::mkostemps(temp_.data(), 4, O_CLOEXEC);
        if (fd_ < 0) {
            failure_ = failed("cannot create a file beside it", errno);
            return;
        }
        cleanup_->arm(temp_.c_str());
        // The part that matched is the target's own bytes.
        buffer_.resize(std::min<std::uint64_t>(kPieceBytes, matched_));
        for (std::uint64_t done = 0; done < matched_ && failure_.empty();) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), matched_ - done));
            const ssize_t n = ::pread(compared_, buffer_.data(), want, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                failure_ = failed("cannot read the file it replaces", n < 0 ? errno : EIO);
                break;
            }
            failure_ = writeAll(fd_, std::string_view(buffer_.data(), static_cast<std::size_t>(n)), {});
            done += static_cast<std::uint64_t>(n);
        }
    }

    const std::string& target_;
    int compared_ = -1;
    std::uint64_t matched_ = 0;
    bool written_ = false;
    std::string temp_;
    std::optional<SignalCleanup> cleanup_;
    int fd_ = -1;
    std::vector<char> buffer_;
    std::string failure_;
};

}  // namespace

// Pieces made on one thread and taken on another, a few at most in between.
class PieceQueue {
public:
    void put(std::string_view piece) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ready_.size() < kDepth || closed_; });
        if (closed_) return;
        std::string copy;
        if (!spare_.empty()) {
            copy = std::move(spare_.back());
            spare_.pop_back();
        }
        copy.assign(piece);
        ready_.push_back(std::move(copy));
        changed_.notify_all();
    }
    // Waits for the next piece; false once the maker is done and none is left.
    bool take(std::string& piece) {
        std::unique_lock lock(mutex_);
        if (!piece.empty()) spare_.push_back(std::move(piece));
        changed_.wait(lock, [&] { return !ready_.empty() || finished_; });
        if (ready_.empty()) return false;
        piece = std::move(ready_.front());
        ready_.pop_front();
        changed_.notify_all();
        return true;
    }
    void finish() {
        std::lock_guard lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    }
    // The taker stops early: the maker's puts return at once.
    void close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

private:
    static constexpr std::size_t kDepth = 3;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> ready_;
    std::vector<std::string> spare_;
    bool finished_ = false, closed_ = false;
};

std::string replaceFile(const std::string& target, std::uint64_t size,
                        const std::function<void(const PieceSink& sink)>& produce) {
    std::signal(SIGXFSZ, SIG_IGN);
    StreamedReplacement replacement(target, size);
    if (size < 4 * kPieceBytes) {
        produce([&](std::string_view piece) { replacement.add(piece); });
        return replacement.finish();
    }
    // Making a piece takes about as long as comparing or writing it: a second
    // thread makes the next while this one (which also owns the temporary
    // file and its signal handling) takes the last.
    PieceQueue queue;
    std::exception_ptr failure;
    std::thread maker([&] {
        // The signals that remove the temporary file go to the thread that owns it.
        const sigset_t signals = cleanupSignalSet();
        ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        try {
            produce([&](std::string_view piece) { queue.put(piece); });
        } catch (...) {
            failure = std::current_exception();
        }
        queue.finish();
    });
    try {
        for (std::string piece; queue.take(piece);) replacement.add(piece);
    } catch (...) {
        queue.close();
        maker.join();
        throw;
    }
    maker.join();
    if (failure) std::rethrow_exception(failure);
    return replacement.finish();
}

std::string replaceFile(const std::string& target, std::string_view bytes) { return replaceFile(target, bytes, {}); }

std::string replaceFile(const std::string& target, std::string_view bytes,
                        const std::function<void(std::size_t written)>& afterPiece) {
    // Past a file-size limit (ulimit -f) the default SIGXFSZ would kill the tool
    // mid-write; ignored, the write fails with EFBIG and is reported like any other.
    std::signal(SIGXFSZ, SIG_IGN);
    // An output that already holds these bytes keeps its inode and time, so
    // build tools that compare times (restat) skip what depends on it.
    if (holdsBytes(target, bytes)) return {};
    std::string temp = temporaryTemplate(target);
    const mode_t mode = outputMode(target);
    SignalCleanup cleanup;
    const int fd = ::mkostemps(temp.data(), 4, O_CLOEXEC);
    if (fd < 0) return failed("cannot create a file beside it", errno);
    cleanup.arm(temp.c_str());
    std::string failure = writeAll(fd, bytes, afterPiece);
    if (failure.empty() && ::fchmod(fd, mode) != 0) failure = failed("cannot set permissions", errno);
    if (::close(fd) != 0 && failure.empty()) failure = failed("close failed", errno);
    if (failure.empty() && std::rename(temp.c_str(), target.c_str()) != 0)
        failure = failed("cannot replace the file", errno);
    if (!failure.empty()) ::unlink(temp.c_str());
    return failure;
}

bool sameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace common
