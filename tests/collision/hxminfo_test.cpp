#include "modelfile/hxm.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>

#include "collision/converter.h"
#include "tests/collision/ase_text.h"
#include "tests/test_support.h"
#include "tools/hxminfo/hxm_report.h"

namespace {

using modelfile::HxmError;
using modelfile::readHxm;

const std::string kLongName(70, 'L');

std::string scene() {
    asetext::Mesh turned = asetext::box(kLongName, {-1, -2, -3}, {4, 5, 6});
    turned.frame = {{{0.6, 0.8, 0}, {-0.8, 0.6, 0}, {0, 0, 1}, {1.5, 2.5, -3.25}}};
    return asetext::sceneText({asetext::box("Box01", {-10, -10, 0}, {10, 10, 20}), turned});
}

std::vector<std::uint8_t> convert(std::int32_t version) {
    collision::AseLineReader reader(scene());
    testsupport::CapturedOutput out;
    return collision::convertScene(reader, {version, false}, out.file()).value();
}

std::string errorOf(const std::vector<std::uint8_t>& bytes) {
    try {
        readHxm(bytes, common::FloatValues::FiniteOnly);
    } catch (const HxmError& e) {
        return e.what();
    }
    return "";
}

TEST(HxmReader, ReadsWhatTheWriterWroteInEveryFormat) {
    const auto chunked = readHxm(convert(0x200));
    EXPECT_EQ(chunked.layout, modelfile::Layout::Chunked);
    ASSERT_EQ(chunked.brushes.size(), 2u);
    EXPECT_EQ(chunked.brushCount, 2);
    const modelfile::BrushRecord& box = chunked.brushes[0];
    EXPECT_EQ(box.name, "Box01");
    EXPECT_TRUE(box.nameTerminated);
    EXPECT_EQ(box.vertices.size(), 8u);
    EXPECT_EQ(box.planes.size(), 6u);
    EXPECT_EQ(box.edges.size(), 12u);
    EXPECT_EQ(box.centre[1], 10.0f);
    EXPECT_EQ(box.radius, static_cast<float>(std::sqrt(300.0)));
    EXPECT_EQ(chunked.brushes[1].name, kLongName.substr(0, 64));
    EXPECT_FALSE(chunked.brushes[1].nameTerminated);

    const auto flat = readHxm(convert(0x101));
    EXPECT_EQ(flat.layout, modelfile::Layout::Flat);
    ASSERT_EQ(flat.brushes.size(), 2u);
    EXPECT_FALSE(flat.brushes[0].hasSphere);
    EXPECT_EQ(flat.brushes[0].planes.size(), 6u);

    const auto headerOnly = readHxm(convert(0x100));
    EXPECT_EQ(headerOnly.size, 32u);
    EXPECT_EQ(headerOnly.brushCount, 2);
    EXPECT_TRUE(headerOnly.brushes.empty());
}

TEST(HxmReader, RejectsEveryTruncationAndSurvivesEveryChangedByte) {
    for (const std::int32_t version : {0x200, 0x101, 0x100}) {
        const auto bytes = convert(version);
        for (size_t length = 0; length < bytes.size(); ++length)
            EXPECT_NE(errorOf({bytes.begin(), bytes.begin() + static_cast<long>(length)}), "") << length;
        auto longer = bytes;
        longer.push_back(0);
        EXPECT_NE(errorOf(longer), "");
        for (size_t at = 0; at < bytes.size(); ++at)
            for (const unsigned flip : {0x01u, 0x80u, 0xFFu}) {
                auto changed = bytes;
                changed[at] = static_cast<std::uint8_t>(changed[at] ^ flip);
                errorOf(changed);  // either outcome; the sanitizers watch the reading
            }
    }
}

// Each check of the reader, reached by writing one little-endian word into a
// valid file of the given version (format 2 brush 0: chunk header at 32, name
// at 40, counts at 104, sphere at 116, vertex chunk at 136, plane chunk at 272,
// edge chunk at 376; format 1 brush 0: counts at 96, vertices from 112).
TEST(HxmReader, NamesWhatIsWrongWithAMalformedFile) {
    const struct {
        std::int32_t version;
        size_t at;
        std::uint32_t value;
        const char* message;
    } rows[] = {
        {0x200, 0, 0x004D5849, "not an HXM file (magic is not \"HXM\\0\")"},
        {0x200, 4, 0xFFFFFFFF, "brush count is negative (-1)"},
        {0x200, 4, 1, "448 bytes after the last brush"},
        {0x200, 4, 3, "brush 2 chunk header needs 8 bytes, 0 left"},
        {0x200, 20, 7, "reserved header field is not zero"},
        {0x200, 32, 5, "brush 0 chunk has type 5, expected 1"},
        {0x200, 36, 441, "brush 0 chunk size 441 does not match its counts (expected 440)"},
        {0x200, 104, 0xFFFFFFFF, "brush 0 vertex count is negative (-1)"},
        {0x200, 108, 0xFFFFFFFE, "brush 0 plane count is negative (-2)"},
        {0x200, 112, 0xFFFFFFFF, "brush 0 edge count is negative (-1)"},
        {0x200, 112, 7, "brush 0 chunk size 440 does not match its counts (expected 400)"},
        {0x200, 132, 1, "brush 0 reserved field is not zero"},
        {0x200, 136, 4, "brush 0 vertex chunk has type 4, expected 1"},
        {0x200, 140, 127, "brush 0 vertex chunk size 127 does not match its counts (expected 128)"},
        {0x200, 172, 0x3F800000, "brush 0 vertex 1 has a fourth component that is not 0"},
        {0x200, 272, 5, "brush 0 plane chunk has type 5, expected 2"},
        {0x200, 276, 95, "brush 0 plane chunk size 95 does not match its counts (expected 96)"},
        {0x200, 376, 1, "brush 0 edge chunk has type 1, expected 3"},
        {0x200, 380, 97, "brush 0 edge chunk size 97 does not match its counts (expected 96)"},
        {0x200, 384 + 8 * 3, 0x00090000, "brush 0 edge 3 names a vertex outside its 8 vertices"},
        {0x200, 384 + 8 * 3 + 4, 0x00060000, "brush 0 edge 3 names a plane outside its 6 planes"},
        {0x200, 116, 0x7FC00000, "brush 0 sphere has a non-finite value"},
        {0x200, 128, 0x7F800000, "brush 0 sphere has a non-finite value"},
        {0x200, 144 + 32, 0xFF800000, "brush 0 vertex 2 has a non-finite coordinate"},
        {0x200, 280 + 16 + 12, 0x7FC00000, "brush 0 plane 1 has a non-finite value"},
        {0x101, 4, 3, "brush 2 header needs 80 bytes, 0 left"},
        {0x101, 112 + 4, 0x7F800000, "brush 0 vertex 0 has a non-finite coordinate"},
        {0x101, 240, 0xFFC00000, "brush 0 plane 0 has a non-finite value"},
        {0x101, 96, 0x10000000, "brush 0 vertex table needs 4294967296 bytes, 720 left"},
        {0x101, 100, 0x01000000, "brush 0 plane table needs 268435456 bytes, 592 left"},
        {0x101, 104, 0x01000000, "brush 0 edge table needs 134217728 bytes, 496 left"},
    };
    for (const auto& row : rows) {
        auto bytes = convert(row.version);
        for (size_t i = 0; i < 4; ++i) bytes.at(row.at + i) = static_cast<std::uint8_t>(row.value >> (8 * i));
        EXPECT_EQ(errorOf(bytes), row.message) << std::hex << row.version << " " << std::dec << row.at;
    }
    const auto flat = convert(0x101);
    EXPECT_EQ(errorOf({flat.begin(), flat.begin() + 31}), "file header needs 32 bytes, 31 left");
    EXPECT_EQ(errorOf({flat.begin(), flat.begin() + 100}), "brush 0 header needs 80 bytes, 68 left");
    auto infinite = convert(0x200);
    infinite.at(128 + 3) = 0x7F, infinite.at(128 + 2) = 0x80;
    EXPECT_NO_THROW(readHxm(infinite));  // the format itself allows any value
    auto headerOnly = convert(0x100);
    headerOnly.push_back(0);
    EXPECT_EQ(errorOf(headerOnly), "1 bytes after the last header");
}

TEST(HxmReport, ShowsEachBrushAsTextOrJson) {
    const auto file = readHxm(convert(0x200));
    const std::string text = hxminfo::describeText(file, "scene.hxm", false);
    EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
              "scene.hxm: 928 bytes, version 0x200 (format 2), 2 brush(es)\n"
              "brush 0: \"Box01\", 8 vertices, 6 planes, 12 edges, sphere (0, 10, 0) radius 17.320509\n");
    EXPECT_NE(text.find("brush 1: \"" + kLongName.substr(0, 64) + "\" (64 bytes, no terminator), 8 vertices"),
              std::string::npos);
    const std::string verbose = hxminfo::describeText(file, "scene.hxm", true);
    EXPECT_NE(verbose.find("  vertex 7: 10 20 10\n  plane 0: 0 -1 0 0\n"), std::string::npos);
    EXPECT_NE(verbose.find("  edge 11: vertices 2 6, planes 4 5\n"), std::string::npos);

    const std::string json = hxminfo::describeJson(readHxm(convert(0x101)), "a\"b.hxm", true);
    const std::string start =
        "{\"file\": \"a\\\"b.hxm\", \"size\": 832, \"version\": 257, \"format\": 1, \"brushCount\": 2, \"brushes\": [\n"
        "  {\"name\": \"Box01\", \"nameTerminated\": true, \"vertexCount\": 8, \"planeCount\": 6, \"edgeCount\": 12,";
    EXPECT_EQ(json.substr(0, start.size()), start);
    EXPECT_NE(json.find("\"sphere\": null,\n   \"vertices\": [[-10, 0, -10], [10, 0, -10]"), std::string::npos);
    EXPECT_EQ(json.substr(json.size() - 7), "]]}\n]}\n");
}

TEST(HxmReport, WritesNamesInEitherEncodingAsUtf8InJson) {
    modelfile::HxmFile file;
    file.brushes.resize(2);
    file.brushes[0].name = "M\xE9tal";
    file.brushes[1].name = "M\xC3\xA9tal";
    const std::string json = hxminfo::describeJson(file, "\x93q\x94.hxm", false);
    const std::string start = "{\"file\": \"\xE2\x80\x9Cq\xE2\x80\x9D.hxm\", ";
    EXPECT_EQ(json.substr(0, start.size()), start);
    EXPECT_NE(json.find("[\n  {\"name\": \"M\xC3\xA9tal\", \"nameTerminated\": true,"), std::string::npos);
    EXPECT_NE(json.find(",\n  {\"name\": \"M\xC3\xA9tal\", \"nameTerminated\""), std::string::npos) << json;
    EXPECT_NE(hxminfo::describeText(file, "f", false).find("brush 0: \"M\\xE9tal\", 0 vertices"), std::string::npos);
}

}  // namespace
