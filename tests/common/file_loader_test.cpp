#include "common/file_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/test_support.h"

namespace {

TEST(LoadFile, ReadsRegularFilesAndRefusesEverythingElse) {
    testsupport::TempDir dir;
    const std::string file = dir.write("a.txt", std::string("ab\0c", 4));
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    const common::LoadedFile whole = common::loadFile(file);
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole.bytes, std::string("ab\0c", 4));

    const struct {
        std::string path;
        std::uint64_t limit;
        common::LoadFailure failure;
    } refused[] = {
        {dir.file("missing"), common::kNoSizeLimit, common::LoadFailure::CannotOpen},
        {dir.path().string(), common::kNoSizeLimit, common::LoadFailure::NotAFile},
        {fifo, common::kNoSizeLimit, common::LoadFailure::NotAFile},
        {"/dev/zero", common::kNoSizeLimit, common::LoadFailure::NotAFile},
        {file, 3, common::LoadFailure::TooLarge},
    };
    for (const auto& c : refused) {
        const common::LoadedFile loaded = common::loadFile(c.path, c.limit);
        EXPECT_EQ(loaded.failure, c.failure) << c.path;
        EXPECT_TRUE(loaded.bytes.empty()) << c.path;
    }
}

}  // namespace
