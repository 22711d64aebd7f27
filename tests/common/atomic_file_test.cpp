#include "common/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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

TEST_F(ReplaceFile, LeavesTheOldFileUntouchedWhenTheDirectoryIsMissingOrTheTargetIsADirectory) {
    EXPECT_NE("", common::replaceFile((dir_ / "missing" / "out.bin").string(), "x"));
    fs::create_directory(dir_ / "sub");
    EXPECT_NE("", common::replaceFile((dir_ / "sub").string(), "x"));
    EXPECT_TRUE(fs::is_directory(dir_ / "sub"));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
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
