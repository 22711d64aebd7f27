#include "common/byte_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(ByteWriter, WritesLittleEndianFieldsAndPaddedText) {
    common::ByteWriter w;
    w.u32(0x01020304);
    w.i32(-1);
    w.u16(0xBEEF);
    w.f32(1.0f);
    w.text("ab", 4);
    w.text("abcdef", 3);
    w.chunk(2, 412);
    const std::vector<std::uint8_t> expected = {4, 3, 2, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0xEF, 0xBE, 0, 0, 0x80, 0x3F,
                                                'a', 'b', 0, 0, 'a', 'b', 'c', 2, 0, 0, 0, 0x9C, 1, 0, 0};
    EXPECT_EQ(expected, w.bytes());
}

TEST(Narrow, RejectsValuesOutsideTheFieldInsteadOfWrapping) {
    EXPECT_EQ(65535u, common::narrow<std::uint16_t>(65535));
    EXPECT_THROW(common::narrow<std::uint16_t>(65536), std::length_error);
    EXPECT_THROW(common::narrow<std::uint32_t>(-1), std::length_error);
}

}  // namespace
