#include "modelfile/vkm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/byte_writer.h"
#include "modelconv/convert.h"
#include "modelconv/model_script.h"
#include "tests/test_support.h"
#include "tools/vkminfo/vkm_report.h"

namespace {

// The example vehicle, converted in-process: the reader checks what the writer
// wrote without sharing its code.
std::vector<std::uint8_t> vehicleBytes() {
    const std::string examples = PIPELINE_SOURCE_DIR "/examples/";
    testsupport::TempDir dir;
    dir.write("vehicle.ase", testsupport::readFile(examples + "vehicle.ase"));
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    modelconv::ModelDefinition definition;
    testsupport::CapturedOutput out;
    modelconv::loadModelScript(definition, examples + "vehicle.dks", out.file());
    modelconv::ConvertedModel model;
    modelconv::convert(definition, model, out.file());
    std::filesystem::current_path(cwd);
    return model.bytes();
}

TEST(ReadVkm, AcceptsWhatTheWriterWroteForTheExampleVehicle) {
    const modelfile::Model model = modelfile::readVkm(vehicleBytes());
    ASSERT_EQ(5u, model.elements.size());
    EXPECT_EQ(4u, model.materials.size());
    EXPECT_EQ("Hull", model.elements[0].name);
    EXPECT_EQ(1u, model.elements[0].type);
    EXPECT_EQ(1, model.elements[2].parent);
    EXPECT_EQ(3u, model.elements[4].type);
    const modelfile::Lod& hull = model.elements[0].lods.at(0);
    size_t triangles = 0;
    for (const modelfile::Group& g : hull.groups) triangles += g.triangles.size();
    EXPECT_EQ(20u, triangles);
    EXPECT_GT(hull.edges.size(), 0u);
    // Every vertex lies inside the element's sphere and within its origin radius.
    for (const modelfile::Element& e : model.elements) {
        if (e.type != 1) continue;
        for (const modelfile::Vertex& v : e.lods[0].vertices) {
            const double dx = v.position[0] - e.sphereCenter[0], dy = v.position[1] - e.sphereCenter[1],
                         dz = v.position[2] - e.sphereCenter[2];
            EXPECT_LE(std::sqrt(dx * dx + dy * dy + dz * dz), e.sphereRadius * (1 + 1e-6)) << e.name;
            EXPECT_LE(std::hypot(v.position[0], v.position[1], v.position[2]), e.originRadius * (1 + 1e-6)) << e.name;
        }
    }
    testsupport::CapturedOutput text, json;
    vkminfo::printText(text.file(), model, true);
    vkminfo::printJson(json.file(), model, true);
    EXPECT_NE(std::string::npos, text.text().find("element 3 CAMERA \"Camera01\", parent 1"));
    EXPECT_NE(std::string::npos, json.text().find("\"type\": \"OMNILIGHT\""));
}

// The exporter writes Windows-1252 names, newer tools UTF-8: JSON shows both as
// UTF-8, the text view shows the bytes.
TEST(PrintJson, WritesNamesInEitherEncodingAsUtf8) {
    modelfile::Model model;
    model.materials.resize(1);
    model.materials[0].name = "M\xE9tal";
    model.materials[0].bitmap = "\x93q\x94.tga";
    model.elements.resize(1);
    model.elements[0].name = "M\xC3\xA9tal\n";
    model.elements[0].type = 2;
    testsupport::CapturedOutput json, text;
    vkminfo::printJson(json.file(), model, false);
    vkminfo::printText(text.file(), model, false);
    EXPECT_NE(json.text().find("{\"name\": \"M\xC3\xA9tal\", \"diffuse\""), std::string::npos) << json.text();
    EXPECT_NE(json.text().find("\"bitmap\": \"\xE2\x80\x9Cq\xE2\x80\x9D.tga\"}"), std::string::npos);
    EXPECT_NE(json.text().find("{\"name\": \"M\xC3\xA9tal\\u000a\", \"type\""), std::string::npos);
    EXPECT_NE(text.text().find("material 0 \"M\xE9tal\": diffuse"), std::string::npos) << text.text();
}

// Every cut and a changed word at many places must give a VkmError (or, for
// changes the format cannot detect, a model): never a crash.
TEST(ReadVkm, RejectsTruncatedAndCorruptedFilesWithAnOffset) {
    const std::vector<std::uint8_t> good = vehicleBytes();
    for (size_t cut = 0; cut < good.size(); cut += 7)
        EXPECT_THROW(modelfile::readVkm(std::span(good.data(), cut)), modelfile::VkmError) << cut;
    std::vector<std::uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_THROW(modelfile::readVkm(longer), modelfile::VkmError);
    int rejected = 0;
    for (size_t at = 0; at + 4 <= good.size(); at += 4) {
        std::vector<std::uint8_t> bad = good;
        bad[at + 3] ^= 0x40;  // a count, size or index becomes huge or negative
        try {
            modelfile::readVkm(bad);
        } catch (const modelfile::VkmError& e) {
            EXPECT_LE(e.offset, bad.size());
            ++rejected;
        }
    }
    EXPECT_GT(rejected, 100);
}

// The 412-byte record every element starts with; `mark` names its fields.
template <typename Mark>
void elementRecord(common::ByteWriter& w, const std::string& name, std::uint32_t type, std::int32_t parent, Mark mark) {
    mark(name + " name");
    w.text(name, 256);
    w.u32(type);
    mark(name + " parent");
    w.i32(parent);
    const struct {
        const char* field;
        std::vector<float> values;
    } fields[] = {
        {" local position", {1, 2, 3}},
        {" world position", {1, 2, 3}},
        {" local matrix", {1, 0, 0, 0, 1, 0, 0, 0, 1}},
        {" world matrix", {1, 0, 0, 0, 1, 0, 0, 0, 1}},
        {" local rotation", {0, 0, 0, 1}},
        {" world rotation", {0, 0, 0, 1}},
        {" origin radius", {2}},
        {" sphere centre", {0.5f, 0.5f, 0}},
        {" sphere radius", {0.75f}},
    };
    for (const auto& f : fields) {
        mark(name + f.field);
        for (float v : f.values) w.f32(v);
    }
}

// A small valid model in the VKM byte layout, written field by field so that a
// test can name the field it changes: one material; a mesh (a triangle in LOD
// 0, an empty LOD 1), a camera under it and a light under the camera.
struct SmallModel {
    std::vector<std::uint8_t> bytes;
    std::map<std::string, size_t> at;  // field name -> offset

    SmallModel() {
        common::ByteWriter w;
        auto mark = [&](const std::string& field) { at[field] = w.size(); };
        mark("magic");
        w.raw("VKM2");
        mark("version");
        w.u32(512);
        mark("element count");
        w.u32(3);
        mark("material count");
        w.u32(1);
        w.u32(2);
        mark("header padding");
        w.zeros(12);
        mark("material list");
        w.chunk(1, 536);
        mark("material name");
        w.text("Paint", 256);
        for (int c : {200, 100, 50, 10, 10, 10}) w.u8(static_cast<std::uint8_t>(c));
        mark("material padding");
        w.zeros(2);
        w.f32(25);
        w.f32(1);
        w.u32(0);
        w.u32(1);
        mark("bitmap name");
        w.text("paint.tga", 256);

        const float bounds[6] = {0, 0, 0, 1, 1, 0};
        mark("mesh");
        w.chunk(2, 412 + 24 + (8 + 224) + (8 + 40));
        elementRecord(w, "mesh", 1, -1, mark);
        mark("mesh bounds");
        for (float b : bounds) w.f32(b);
        mark("LOD 0");
        w.chunk(1, 40 + (8 + 3 * 36) + (8 + 6 * 4) + (8 + 7 * 4));
        mark("LOD 0 vertex count");
        w.u32(3);
        mark("LOD 0 index words");
        w.u32(6);
        mark("LOD 0 edge words");
        w.u32(7);
        w.f32(1);
        for (float b : bounds) w.f32(b);
        mark("vertex list");
        w.chunk(1, 3 * 36);
        const float corners[3][2] = {{0, 0}, {1, 0}, {0, 1}};
        for (int v = 0; v < 3; ++v) {
            mark("vertex " + std::to_string(v) + " position");
            w.f32(corners[v][0]), w.f32(corners[v][1]), w.f32(0);
            mark("vertex " + std::to_string(v) + " normal");
            w.f32(0), w.f32(0), w.f32(1);
            w.u8(255), w.u8(255), w.u8(255);
            mark("vertex " + std::to_string(v) + " colour padding");
            w.u8(0);
            w.f32(corners[v][0]), w.f32(corners[v][1]);
        }
        mark("index stream");
        w.chunk(2, 6 * 4);
        mark("group material");
        w.i32(0);
        mark("group faces");
        w.u32(1);
        mark("triangle");
        w.u32(0), w.u32(1), w.u32(2);
        mark("group end");
        w.i32(-1);
        mark("edge list");
        w.chunk(3, 7 * 4);
        mark("edge count");
        w.u32(3);
        mark("edges");
        for (std::uint32_t e : {0, 1, 1, 2, 2, 0}) w.u32(e);
        mark("LOD 1");
        w.chunk(1, 40);
        mark("LOD 1 vertex count");
        w.zeros(40);

        mark("camera");
        w.chunk(2, 412);
        elementRecord(w, "camera", 2, 0, mark);
        mark("light");
        w.chunk(2, 416);
        elementRecord(w, "light", 3, 1, mark);
        w.i32(1);
        bytes = w.take();
    }
};

std::string errorOf(std::span<const std::uint8_t> bytes) {
    try {
        modelfile::readVkm(bytes, common::FloatValues::FiniteOnly);
    } catch (const modelfile::VkmError& e) {
        return e.what();
    }
    return "";
}

// Each check of the reader, reached by changing one field of a valid file:
// `copies` little-endian values of `width` bytes written `plus` bytes into it.
TEST(ReadVkm, NamesTheCheckThatAChangedFieldFails) {
    const SmallModel good;
    ASSERT_EQ("", errorOf(good.bytes));
    const struct {
        const char* field;
        size_t plus;
        std::uint32_t value;
        const char* message;
        size_t width = 4, copies = 1;
    } rows[] = {
        {"magic", 3, '3', "not a VKM file (no VKM2 magic)", 1},
        {"version", 0, 513, "version 513, expected 512"},
        {"header padding", 8, 1, "non-zero byte in header"},
        {"element count", 0, 4, "truncated element"},
        {"element count", 0, 2, "424 unexpected bytes at the end of file (after the header's element count)"},
        {"material count", 0, 2, "material chunk size does not match the header's material count"},
        {"material list", 0, 9, "material list: chunk kind 9, expected 1"},
        {"material list", 4, 0xFFFFFF00, "material list: chunk size 4294967040 runs past its parent"},
        {"material name", 0, 'A', "material name has no terminating NUL", 1, 256},
        {"material name", 100, 'A', "material name has bytes after its terminator", 1},
        {"material padding", 1, 1, "non-zero byte in material padding", 1},
        {"bitmap name", 255, 'A', "bitmap name has bytes after its terminator", 1},
        {"mesh", 0, 3, "element: chunk kind 3, expected 2"},
        {"mesh name", 0, 'A', "element name has no terminating NUL", 1, 256},
        {"mesh bounds", 0, 0x3F800000, "mesh bounds differ from its LOD 0 bounds"},
        {"camera", 4, 416, "4 unexpected bytes at the end of element chunk"},
        {"LOD 0", 0, 2, "LOD: chunk kind 2, expected 1"},
        {"LOD 0", 4, 232, "8 unexpected bytes at the end of LOD chunk"},
        {"LOD 0 vertex count", 0, 4, "vertex chunk size does not match the vertex count"},
        {"LOD 0 index words", 0, 7, "index chunk size does not match the index word count"},
        {"LOD 0 edge words", 0, 5, "edge chunk size does not match the edge word count"},
        {"LOD 0 edge words", 0, 0, "a LOD holds vertices, an index stream and an edge list, or none of them"},
        {"LOD 1 vertex count", 0, 1, "truncated vertex list"},
        {"vertex list", 0, 5, "vertex list: chunk kind 5, expected 1"},
        {"vertex 1 colour padding", 0, 7, "non-zero byte in vertex colour padding", 1},
        {"index stream", 0, 1, "index stream: chunk kind 1, expected 2"},
        {"group material", 0, 1, "material group refers to material 1 of 1"},
        {"group material", 0, 0xFFFFFFFE, "material group refers to material -2 of 1"},
        {"group material", 0, 0xFFFFFFFF, "20 unexpected bytes at the end of index stream (after its -1)"},
        {"group faces", 0, 2, "material group face count 2 does not fit"},
        {"group faces", 0, 0, "material group face count 0 does not fit"},
        {"triangle", 8, 3, "vertex index 3 out of range"},
        {"group end", 0, 0, "truncated word"},
        {"edge list", 0, 2, "edge list: chunk kind 2, expected 3"},
        {"edge count", 0, 2, "edge count does not match the edge word count"},
        {"edges", 4, 3, "edge vertex index 3 out of range"},
        {"mesh parent", 0, 3, "element 0 has parent 3"},
        {"mesh parent", 0, 0xFFFFFFFE, "element 0 has parent -2"},
        {"mesh parent", 0, 2, "the parent chain of element 0 loops"},
        {"camera parent", 0, 2, "the parent chain of element 1 loops"},
        {"light parent", 0, 2, "the parent chain of element 2 loops"},
        {"vertex 1 position", 4, 0x7FC00000, "vertex 1 position has a non-finite value"},
        {"vertex 2 normal", 8, 0x7F800000, "vertex 2 normal has a non-finite value"},
        {"mesh local position", 0, 0x7FC00000, "element 0 local position has a non-finite value"},
        {"camera world position", 8, 0xFF800000, "element 1 world position has a non-finite value"},
        {"light local matrix", 32, 0x7F800000, "element 2 local matrix has a non-finite value"},
        {"mesh world matrix", 16, 0xFFC00000, "element 0 world matrix has a non-finite value"},
        {"camera local rotation", 12, 0x7FC00000, "element 1 local rotation has a non-finite value"},
        {"light world rotation", 0, 0x7FC00000, "element 2 world rotation has a non-finite value"},
        {"mesh sphere centre", 4, 0x7FC00000, "element 0 sphere centre has a non-finite value"},
        {"camera sphere radius", 0, 0x7F800000, "element 1 sphere radius has a non-finite value"},
        {"mesh origin radius", 0, 0x7FC00000, ""},  // shown, not used for placing
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(good.at.contains(row.field)) << row.field;
        std::vector<std::uint8_t> bad = good.bytes;
        size_t at = good.at.at(row.field) + row.plus;
        for (size_t copy = 0; copy < row.copies; ++copy)
            for (size_t i = 0; i < row.width; ++i) bad.at(at++) = static_cast<std::uint8_t>(row.value >> (8 * i));
        EXPECT_EQ(row.message, errorOf(bad)) << row.field << " + " << row.plus;
    }
    EXPECT_EQ("truncated header", errorOf(std::span(good.bytes.data(), 31)));
    std::vector<std::uint8_t> infinite = good.bytes;
    infinite.at(good.at.at("vertex 0 normal") + 3) = 0x7F;  // 0x7F000000 + 0x00800000: +inf
    infinite.at(good.at.at("vertex 0 normal") + 2) = 0x80;
    EXPECT_EQ("vertex 0 normal has a non-finite value", errorOf(infinite));
    EXPECT_NO_THROW(modelfile::readVkm(infinite));  // the format itself allows any value
}

// Cameras only; element i has parent parents[i].
std::vector<std::uint8_t> camerasWithParents(const std::vector<std::int32_t>& parents) {
    common::ByteWriter w;
    w.raw("VKM2");
    for (std::uint32_t word : {512u, static_cast<std::uint32_t>(parents.size()), 0u, 0u, 0u, 0u, 0u}) w.u32(word);
    w.chunk(1, 0);
    for (size_t i = 0; i < parents.size(); ++i) {
        w.chunk(2, 412);
        elementRecord(w, "e" + std::to_string(i), 2, parents[i], [](const std::string&) {});
    }
    return w.take();
}

TEST(ReadVkm, FollowsLongParentChainsAndFindsTheirLoops) {
    constexpr std::int32_t kCount = 20000;
    const struct {
        const char* shape;
        std::int32_t (*parentOf)(std::int32_t);
        std::string message;
    } rows[] = {
        {"each under the one before", [](std::int32_t i) { return i - 1; }, ""},
        {"each under the one after", [](std::int32_t i) { return i + 1 < kCount ? i + 1 : -1; }, ""},
        {"a binary tree", [](std::int32_t i) { return i == 0 ? -1 : (i - 1) / 2; }, ""},
        {"the last half a loop", [](std::int32_t i) { return i + 1 < kCount ? i + 1 : kCount / 2; },
         "the parent chain of element 0 loops"},
        {"the last its own parent", [](std::int32_t i) { return i + 1 < kCount ? i - 1 : i; },
         "the parent chain of element 19999 loops"},
    };
    for (const auto& row : rows) {
        std::vector<std::int32_t> parents(kCount);
        for (std::int32_t i = 0; i < kCount; ++i) parents[static_cast<size_t>(i)] = row.parentOf(i);
        EXPECT_EQ(row.message, errorOf(camerasWithParents(parents))) << row.shape;
    }
}

}  // namespace
