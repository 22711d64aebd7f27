#include "common/atomic_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ReplaceFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "replace_file_XXXXXX").string();
        ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(ReplaceFile, WritesNewFileWithOrdinaryPermissionsAndNoLeftovers) {
    const fs::path target = dir_ / "out.bin";
    EXPECT_EQ("", common::replaceFile(target.string(), std::string("abc\0def", 7)));
    EXPECT_EQ(std::string("abc\0def", 7), contents(target));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(static_cast<unsigned>(0666 & ~mask),
              static_cast<unsigned>(fs::status(target).permissions() & fs::perms::all));
}

TEST_F(ReplaceFile, ReplacesAnExistingFileWhole) {
    const fs::path target = dir_ / "out.bin";
    std::ofstream(target) << "a much longer old content";
    EXPECT_EQ("", common::replaceFile(target.string(), "new"));
    EXPECT_EQ("new", contents(target));
}

TEST_F(ReplaceFile, LeavesAFileHoldingTheSameBytesUntouchedAndReplacesAnyOther) {
    const fs::path target = dir_ / "out.bin";
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const struct {
        std::string existing, written;
        bool kept;
    } cases[] = {{"same", "same", true}, {"", "", true}, {std::string(3 << 20, 'y'), std::string(3 << 20, 'y'), true},
                 {"samf", "same", false}, {"same", "same!", false}, {std::string(3 << 20, 'y') + "a", std::string(3 << 20, 'y') + "b", false},
                 {std::string(5 << 20, 'z'), std::string(5 << 20, 'z'), true},
                 {std::string(5 << 20, 'z') + "a", std::string(5 << 20, 'z') + "b", false}};
    // Whole, or streamed in pieces of 3 bytes or of a mebibyte and a byte.
    for (const size_t piece : {size_t{0}, size_t{3}, (size_t{1} << 20) + 1})
    for (const auto& c : cases) {
        // Outputs over 4 MiB are made on a second thread: streamed in big pieces.
        if (piece == 3 && c.written.size() > (size_t{4} << 20)) continue;
        SCOPED_TRACE(c.written.substr(0, 8) + " in pieces of " + std::to_string(piece));
        std::ofstream(target, std::ios::binary) << c.existing;
        fs::last_write_time(target, old);
        struct stat before {};
        ::stat(target.c_str(), &before);
        if (piece == 0)
            EXPECT_EQ("", common::replaceFile(target.string(), c.written));
        else
            EXPECT_EQ("", common::replaceFile(target.string(), c.written.size(), [&](const common::PieceSink& sink) {
                          for (size_t at = 0; at < c.written.size(); at += piece)
                              sink(std::string_view(c.written).substr(at, piece));
                      }));
        struct stat after {};
        ::stat(target.c_str(), &after);
        EXPECT_EQ(c.written, contents(target));
        EXPECT_EQ(c.kept, fs::last_write_time(target) == old);
        EXPECT_EQ(c.kept, before.st_ino == after.st_ino);
    }
}

TEST_F(ReplaceFile, LeavesNoTemporaryFileAndTheOldFileWhenTheStreamedBytesFailPartWay) {
    const fs::path target = dir_ / "out.bin";
    std::ofstream(target, std::ios::binary) << "old bytes";
    EXPECT_THROW(common::replaceFile(target.string(), 9, [](const common::PieceSink& sink) {
                     sink("new");
                     throw std::runtime_error("failed");
                 }),
                 std::runtime_error);
    EXPECT_EQ("old bytes", contents(target));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    // The same when the pieces are made on a second thread.
    const std::string piece(1 << 20, 'n');
    EXPECT_THROW(common::replaceFile(target.string(), 8 << 20, [&](const common::PieceSink& sink) {
                     for (int i = 0; i < 3; ++i) sink(piece);
                     throw std::runtime_error("failed");
                 }),
                 std::runtime_error);
    EXPECT_EQ("old bytes", contents(target));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
}

TEST_F(ReplaceFile, KeepsTheModeBitsOfTheFileItReplaces) {
    const fs::path target = dir_ / "out.bin";
    for (const auto mode : {fs::perms(0600), fs::perms(0640), fs::perms(0755), fs::perms(0444), fs::perms(01664)}) {
        std::ofstream(target) << "old";
        fs::permissions(target, mode);
        EXPECT_EQ("", common::replaceFile(target.string(), "new"));
        EXPECT_EQ("new", contents(target));
        EXPECT_EQ(static_cast<unsigned>(mode), static_cast<unsigned>(fs::status(target).permissions() & fs::perms::mask));
        fs::remove(target);
    }
}

TEST_F(ReplaceFile, LeavesTheOldFileUntouchedWhenTheDirectoryIsMissingOrTheTargetIsADirectory) {
    EXPECT_NE("", common::replaceFile((dir_ / "missing" / "out.bin").string(), "x"));
    fs::create_directory(dir_ / "sub");
    EXPECT_NE("", common::replaceFile((dir_ / "sub").string(), "x"));
    EXPECT_TRUE(fs::is_directory(dir_ / "sub"));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
}

TEST_F(ReplaceFile, WritesAndReplacesEveryNameTheFileSystemAcceptsWithAShortenedTemporaryName) {
    if (::pathconf(dir_.c_str(), _PC_NAME_MAX) != 255) GTEST_SKIP() << "the cases assume 255-byte names";
    const std::string accented = "\xc3\xa9";  // the cut falls inside this 2-byte character
    const struct {
        std::string name;
        size_t kept;  // bytes of the name in the temporary name
    } cases[] = {{"out.bin", 7}, {std::string(243, 'n'), 243}, {std::string(249, 'n'), 243},
                 {std::string(254, 'n') + ".", 243}, {std::string(255, 'n'), 243},
                 {std::string(242, 'n') + accented + std::string(11, 'n'), 242}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.size());
        const fs::path target = dir_ / c.name;
        std::string temp;
        auto seeTemporary = [&](size_t) {
            for (const auto& entry : fs::directory_iterator(dir_))
                if (entry.path().filename() != c.name) temp = entry.path().filename().string();
        };
        EXPECT_EQ("", common::replaceFile(target.string(), "first", seeTemporary));
        EXPECT_EQ("." + c.name.substr(0, c.kept), temp.substr(0, temp.size() - 11));
        EXPECT_EQ("", common::replaceFile(target.string(), "second"));
        EXPECT_EQ("second", contents(target));
        fs::remove(target);
        EXPECT_TRUE(fs::is_empty(dir_));
    }
}

// A child that replaces `target` with `bytes` and stops for good after the
// first piece; pid() is -1 unless it got that far. Killed if a check fails.
class StalledWrite {
public:
    StalledWrite(const std::string& target, const std::string& bytes, int ignoredSignal) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            if (ignoredSignal != 0) std::signal(ignoredSignal, SIG_IGN);
            common::replaceFile(target, bytes, [&](size_t) {
                if (::write(ready[1], "w", 1) == 1)
                    for (;;) ::pause();
            });
            ::_exit(1);
        }
        ::close(ready[1]);
        char c = 0;
        if (pid_ > 0 && ::read(ready[0], &c, 1) != 1) killIfRunning();
        ::close(ready[0]);
    }
    ~StalledWrite() { killIfRunning(); }
    pid_t pid() const { return pid_; }
    // Sends the signals in order; returns the wait status.
    int stop(std::initializer_list<int> signals) {
        for (int s : signals) ::kill(pid_, s);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    void killIfRunning() {
        if (pid_ > 0) stop({SIGKILL});
    }
    pid_t pid_ = -1;
};

TEST_F(ReplaceFile, RemovesItsTemporaryFileWhenASignalEndsTheWriteAndDiesByThatSignal) {
    struct Case {
        int ignored;  // set to SIG_IGN before the write: must stay ignored
        std::initializer_list<int> sent;
        int fatal;
    };
    const Case cases[] = {{0, {SIGTERM}, SIGTERM}, {0, {SIGINT}, SIGINT}, {0, {SIGHUP}, SIGHUP},
                          {SIGHUP, {SIGHUP, SIGTERM}, SIGTERM}};
    const fs::path target = dir_ / "out.bin";
    const std::string bytes(8 << 20, 'x');
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "signal " << c.fatal);
        for (const auto& entry : fs::directory_iterator(dir_)) fs::remove(entry.path());
        std::ofstream(target) << "old";
        StalledWrite child(target.string(), bytes, c.ignored);
        ASSERT_GT(child.pid(), 0);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
        ASSERT_EQ(2u, names.size());  // the write is really under way: a temporary file beside the target
        const std::string temp = names[0] == "out.bin" ? names[1] : names[0];
        EXPECT_TRUE(temp.starts_with(".out.bin.") && temp.ends_with(".tmp")) << temp;
        const int status = child.stop(c.sent);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.fatal) << "status " << status;
        EXPECT_EQ("old", contents(target));
        EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
}

volatile std::sig_atomic_t termCount = 0;

TEST_F(ReplaceFile, GivesTheSignalsBackToTheHandlersTheyHadBefore) {
    auto* previous = std::signal(SIGTERM, [](int) { termCount = termCount + 1; });
    EXPECT_EQ("", common::replaceFile((dir_ / "out.bin").string(), "x"));
    std::raise(SIGTERM);
    EXPECT_EQ(1, termCount);
    std::signal(SIGTERM, previous);
}

TEST(SameFile, RecognisesOneFileUnderTwoNames) {
    const fs::path dir = fs::temp_directory_path();
    const fs::path file = dir / ("same_file_" + std::to_string(::getpid()));
    std::ofstream(file) << "x";
    const fs::path link = dir / ("same_file_link_" + std::to_string(::getpid()));
    fs::remove(link);
    fs::create_hard_link(file, link);
    EXPECT_TRUE(common::sameFile(file.string(), link.string()));
    EXPECT_TRUE(common::sameFile("not-there", "not-there"));
    EXPECT_FALSE(common::sameFile(file.string(), "not-there"));
    fs::remove(file);
    fs::remove(link);
}

}  // namespace
