#include "common/read_ahead.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_support.h"

namespace {

// Small blocks and reads of every size across their edges give the file's
// bytes in order, then 0; a reader dropped half-way stops its thread.
TEST(ReadAhead, HandsOutTheFileInOrderWhateverTheReadSizes) {
    std::string text;
    for (int i = 0; text.size() < 100000; ++i) text += std::to_string(i) + ' ';
    testsupport::TempDir dir;
    const std::string name = dir.write("f.bin", text);
    common::ReadAhead ahead(common::InputFile(name), 4096, 3);
    std::string got;
    for (size_t count = 1; got.size() < text.size(); count = count * 3 % 9001 + 1) {
        std::string part(count, '\0');
        const long n = ahead.read(part.data(), count);
        ASSERT_GT(n, 0);
        ASSERT_TRUE(static_cast<size_t>(n) == count || got.size() + static_cast<size_t>(n) == text.size());
        got.append(part, 0, static_cast<size_t>(n));
    }
    EXPECT_EQ(got, text);
    char c = 0;
    EXPECT_EQ(ahead.read(&c, 1), 0);

    common::ReadAhead dropped(common::InputFile(name), 4096, 2);
    EXPECT_EQ(dropped.read(&c, 1), 1);
    EXPECT_EQ(c, '0');
}

}  // namespace
