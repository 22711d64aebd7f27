#include "collision/hxm_writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>

namespace {

using collision::Brush;

std::uint32_t u32At(const std::vector<std::uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
float f32At(const std::vector<std::uint8_t>& b, size_t at) { return std::bit_cast<float>(u32At(b, at)); }
std::uint16_t u16At(const std::vector<std::uint8_t>& b, size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// 8 vertices, 6 planes, 12 edges: the size of a box brush.
Brush boxSized(const std::string& name) {
    Brush b;
    b.name = name;
    for (int i = 0; i < 8; ++i) b.vertices.push_back({i + 0.5, -i * 1.0, 1.0 / 3});
    for (int i = 0; i < 6; ++i) b.planes.push_back({0, 0, 1, -i * 0.1});
    for (int i = 0; i < 12; ++i)
        b.edges.push_back({static_cast<std::uint16_t>(i % 8), static_cast<std::uint16_t>((i + 1) % 8),
                           static_cast<std::uint16_t>(i % 6), 65535});
    b.centre = {1.25, -2.5, 0.1};
    b.radius = 6.0000000001;
    return b;
}

std::vector<std::uint8_t> file(const Brush& brush, std::int32_t version) {
    common::ByteWriter out;
    collision::writeFileHeader(out, 1, version);
    collision::writeBrush(out, brush, version);
    return out.take();
}

TEST(HxmWriter, WritesTheHeaderWithMagicCountAndVersionOnly) {
    for (const std::int32_t version : {0x100, 0x102, 0x1FF, -1, 0}) {
        const auto bytes = file(boxSized("Box"), version);
        ASSERT_EQ(bytes.size(), 32u) << version;
        EXPECT_EQ(std::memcmp(bytes.data(), "HXM\0", 4), 0);
        EXPECT_EQ(u32At(bytes, 4), 1u);
        EXPECT_EQ(u32At(bytes, 8), static_cast<std::uint32_t>(version));
        for (size_t i = 12; i < 32; ++i) EXPECT_EQ(bytes[i], 0);
    }
}

TEST(HxmWriter, WritesABoxSizedBrushIn448BytesAsNestedChunks) {
    const auto bytes = file(boxSized("Box01"), 0x200);
    ASSERT_EQ(bytes.size(), 32u + 448u);
    const size_t b = 32;
    EXPECT_EQ(u32At(bytes, b), 1u);
    EXPECT_EQ(u32At(bytes, b + 4), 440u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[b + 8])), "Box01");
    EXPECT_EQ(u32At(bytes, b + 72), 8u);
    EXPECT_EQ(u32At(bytes, b + 76), 6u);
    EXPECT_EQ(u32At(bytes, b + 80), 12u);
    EXPECT_EQ(f32At(bytes, b + 84), 1.25f);
    EXPECT_EQ(f32At(bytes, b + 88), -2.5f);
    EXPECT_EQ(f32At(bytes, b + 92), 0.1f);  // rounded to nearest from the double
    EXPECT_EQ(f32At(bytes, b + 96), 6.0f);
    EXPECT_EQ(u32At(bytes, b + 100), 0u);
    EXPECT_EQ(u32At(bytes, b + 104), 1u);
    EXPECT_EQ(u32At(bytes, b + 108), 128u);
    EXPECT_EQ(f32At(bytes, b + 112 + 16 * 7), 7.5f);
    EXPECT_EQ(f32At(bytes, b + 112 + 16 * 7 + 8), 1.0f / 3);
    EXPECT_EQ(f32At(bytes, b + 112 + 16 * 7 + 12), 0.0f);
    EXPECT_EQ(u32At(bytes, b + 240), 2u);
    EXPECT_EQ(u32At(bytes, b + 244), 96u);
    EXPECT_EQ(f32At(bytes, b + 248 + 16 * 5 + 12), -0.5f);
    EXPECT_EQ(u32At(bytes, b + 344), 3u);
    EXPECT_EQ(u32At(bytes, b + 348), 96u);
    EXPECT_EQ(u16At(bytes, b + 352 + 8 * 11), 3);
    EXPECT_EQ(u16At(bytes, b + 352 + 8 * 11 + 2), 4);
    EXPECT_EQ(u16At(bytes, b + 352 + 8 * 11 + 4), 5);
    EXPECT_EQ(u16At(bytes, b + 352 + 8 * 11 + 6), 65535);
    // Any version from 0x200 on writes the same records.
    auto later = file(boxSized("Box01"), 0x7FFFFFFF);
    later[8] = bytes[8], later[9] = bytes[9], later[10] = bytes[10], later[11] = bytes[11];
    EXPECT_EQ(later, bytes);
}

TEST(HxmWriter, WritesFormat1WithoutSphereOrChunks) {
    const auto chunked = file(boxSized("Box01"), 0x200);
    const auto flat = file(boxSized("Box01"), 0x101);
    ASSERT_EQ(flat.size(), 32u + 80 + 128 + 96 + 96);
    EXPECT_EQ(std::memcmp(&flat[32], &chunked[40], 76), 0);  // name and counts
    EXPECT_EQ(u32At(flat, 32 + 76), 0u);
    // The tables are those of format 2 without their chunk headers.
    EXPECT_EQ(std::memcmp(&flat[112], &chunked[144], 128), 0);
    EXPECT_EQ(std::memcmp(&flat[240], &chunked[280], 96), 0);
    EXPECT_EQ(std::memcmp(&flat[336], &chunked[384], 96), 0);
}

TEST(HxmWriter, KeepsTheFirst64BytesOfALongNameWithoutTerminator) {
    const std::string name70(70, 'N'), name63(63, 'M');
    const auto long1 = file(boxSized(name70), 0x101);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&long1[32]), 64), name70.substr(0, 64));
    EXPECT_EQ(u32At(long1, 32 + 64), 8u);
    const auto long2 = file(boxSized(name70), 0x200);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&long2[40]), 64), name70.substr(0, 64));
    EXPECT_EQ(u32At(long2, 36), 440u);
    const auto fits = file(boxSized(name63), 0x200);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&fits[40])), name63);
}

}  // namespace
