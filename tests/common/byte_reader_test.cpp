#include "common/byte_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/byte_writer.h"

namespace {

std::vector<std::uint8_t> sample() {
    common::ByteWriter w;
    w.u32(0x12345678);
    w.u16(0xBEEF);
    w.f32(-2.5f);
    w.u8(7);
    w.i32(-3);
    return w.take();
}

TEST(Cursor, ReadsWhatTheByteWriterWrote) {
    const auto bytes = sample();
    common::Cursor c(bytes);
    EXPECT_EQ(c.u32(), 0x12345678u);
    EXPECT_EQ(c.u16(), 0xBEEF);
    EXPECT_EQ(c.f32(), -2.5f);
    EXPECT_EQ(c.u8(), 7);
    EXPECT_EQ(c.i32(), -3);
    EXPECT_EQ(c.left(), 0u);
}

// A sub-cursor ends where its range ends, and errors carry whole-span offsets.
TEST(Cursor, StopsEveryReadAtTheEndOfItsRange) {
    const auto bytes = sample();
    const struct {
        size_t skip, range, consumed, width;  // width: the read that fails
        const char* message;
        size_t offset;
    } rows[] = {
        {4, 3, 0, 4, "truncated word", 4},
        {4, 3, 3, 1, "truncated byte", 7},
        {4, 6, 5, 2, "truncated word", 9},
        {0, 15, 13, 4, "truncated word", 13},
    };
    for (const auto& row : rows) {
        common::Cursor whole(bytes);
        whole.take(row.skip, "start");
        common::Cursor c = whole.sub(row.range, "range");
        EXPECT_EQ(whole.offset(), row.skip + row.range);
        c.take(row.consumed, "consumed");
        try {
            row.width == 1 ? c.u8() : row.width == 2 ? c.u16() : c.u32();
            ADD_FAILURE() << "read past the end of " << row.range << " bytes";
        } catch (const common::ByteError& e) {
            EXPECT_STREQ(e.what(), row.message);
            EXPECT_EQ(e.offset, row.offset);
        }
    }
    common::Cursor c(bytes);
    EXPECT_THROW(c.sub(bytes.size() + 1, "chunk"), common::ByteError);
    EXPECT_EQ(c.offset(), 0u);
}

}  // namespace
