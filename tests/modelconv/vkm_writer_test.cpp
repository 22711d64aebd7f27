#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "modelconv/converted_model.h"
#include "common/input_error.h"
#include "tests/test_support.h"

namespace {

using modelconv::ConvertedModel;

std::uint32_t word(const std::vector<std::uint8_t>& bytes, size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t{bytes.at(at + static_cast<size_t>(i))} << (8 * i);
    return v;
}

modelconv::ModelElement camera(const std::string& name) {
    modelconv::ModelElement e;
    e.name = name;
    e.type = modelconv::ElementType::Camera;
    e.localPosition = {1, 2, 3, 99};  // the fourth component is never written
    e.worldMatrix = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    return e;
}

TEST(VkmFile, HoldsOneMaterialAndOneCameraIn996Bytes) {
    ConvertedModel model;
    model.lodCount = 1;
    modelconv::ModelMaterial m;
    m.name = "steel";
    m.diffuse = {1, 2, 3, 255};
    m.specular = {4, 5, 6, 255};
    m.shine = 75;
    m.opacity = 0.5f;
    m.twoSided = 1;
    m.bitmap = "steel.tga";
    model.materials.push_back(m);
    model.elements.push_back(camera("view"));
    const std::vector<std::uint8_t> b = model.bytes();
    ASSERT_EQ(996u, b.size());
    EXPECT_EQ(0, std::memcmp(b.data(), "VKM2", 4));
    EXPECT_EQ(512u, word(b, 4));
    EXPECT_EQ(1u, word(b, 8));   // elements
    EXPECT_EQ(1u, word(b, 12));  // materials
    EXPECT_EQ(1u, word(b, 16));  // LODs
    EXPECT_EQ(1u, word(b, 32));
    EXPECT_EQ(536u, word(b, 36));
    const size_t record = 40;
    EXPECT_EQ("steel", std::string(reinterpret_cast<const char*>(&b[record])));
    EXPECT_EQ((std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 0, 0}),
              std::vector<std::uint8_t>(b.begin() + record + 256, b.begin() + record + 264));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(75.0f), word(b, record + 264));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(0.5f), word(b, record + 268));
    EXPECT_EQ(1u, word(b, record + 272));
    EXPECT_EQ("steel.tga", std::string(reinterpret_cast<const char*>(&b[record + 280])));
    const size_t element = 40 + 536;
    EXPECT_EQ(2u, word(b, element));
    EXPECT_EQ(412u, word(b, element + 4));
    EXPECT_EQ(2u, word(b, element + 8 + 256));                    // type
    EXPECT_EQ(0xFFFFFFFFu, word(b, element + 8 + 260));           // no parent
    EXPECT_EQ(std::bit_cast<std::uint32_t>(3.0f), word(b, element + 8 + 272));
    EXPECT_EQ(0u, word(b, element + 8 + 276));                    // world position follows at once
    EXPECT_EQ(std::bit_cast<std::uint32_t>(5.0f), word(b, element + 8 + 324 + 12));  // world row 1 starts
}

TEST(VkmFile, WritesTheMaterialChunkEvenWithoutMaterialsAndALightsUseLightLast) {
    ConvertedModel model;
    modelconv::LightElement light;
    light.name = std::string(255, 'x');
    light.type = modelconv::ElementType::OmniLight;
    light.useLight = -5;
    model.elements.push_back(light);
    const std::vector<std::uint8_t> b = model.bytes();
    ASSERT_EQ(40u + 8 + 416, b.size());
    EXPECT_EQ(1u, word(b, 32));
    EXPECT_EQ(0u, word(b, 36));
    EXPECT_EQ(2u, word(b, 40));
    EXPECT_EQ(416u, word(b, 44));
    EXPECT_EQ(0, b[48 + 255]);  // a 255-character name ends with its NUL in the last byte
    EXPECT_EQ('x', b[48 + 254]);
    EXPECT_EQ(static_cast<std::uint32_t>(-5), word(b, b.size() - 4));
}

TEST(VkmFile, WritesMeshLodsWithOnlyTheirNonEmptyLists) {
    ConvertedModel model;
    model.lodCount = 2;
    modelconv::MeshElement mesh;
    mesh.name = "m";
    mesh.type = modelconv::ElementType::Mesh;
    mesh.lods.resize(2);
    modelconv::ModelVertex v;
    v.colour = {9, 8, 7, 255};
    mesh.lods[0].vertices = {v, v, v};
    mesh.lods[0].indexStream = {0, 1, 0, 1, 2, -1};
    mesh.lods[0].edgeList = {0};
    mesh.lods[0].bounds = {1, 2, 3, 4, 5, 6};
    mesh.bounds = mesh.lods[0].bounds;
    model.elements.push_back(mesh);
    const std::vector<std::uint8_t> b = model.bytes();
    const size_t lod0 = 40 + 8 + 436;
    const std::uint32_t lod0Size = 40 + (8 + 3 * 36) + (8 + 6 * 4) + (8 + 4);
    EXPECT_EQ(436u + 8 + lod0Size + 8 + 40, word(b, 44));  // element chunk size
    EXPECT_EQ(1u, word(b, lod0));
    EXPECT_EQ(lod0Size, word(b, lod0 + 4));
    EXPECT_EQ(3u, word(b, lod0 + 8));
    EXPECT_EQ(6u, word(b, lod0 + 12));
    EXPECT_EQ(1u, word(b, lod0 + 16));
    const size_t vertices = lod0 + 8 + 40;
    EXPECT_EQ(1u, word(b, vertices));
    EXPECT_EQ(108u, word(b, vertices + 4));
    EXPECT_EQ((std::vector<std::uint8_t>{9, 8, 7, 0}),
              std::vector<std::uint8_t>(b.begin() + vertices + 8 + 24, b.begin() + vertices + 8 + 28));
    const size_t lod1 = lod0 + 8 + lod0Size;
    EXPECT_EQ(1u, word(b, lod1));
    EXPECT_EQ(40u, word(b, lod1 + 4));  // an empty LOD: its record only
    EXPECT_EQ(0u, word(b, lod1 + 8));
    EXPECT_EQ(b.size(), lod1 + 48);
}

TEST(VkmFile, SavesCompletelyOrReportsTheNameAndLeavesTheOldFile) {
    testsupport::TempDir dir;
    ConvertedModel model;
    model.elements.push_back(camera("c"));
    const std::string target = dir.write("out.vkm", "old");
    model.save(target);
    EXPECT_EQ(40u + 8 + 412, testsupport::readFile(target).size());

    const std::string blocked = dir.file("missing/out.vkm");
    try {
        model.save(blocked);
        FAIL();
    } catch (const common::InputError& e) {
        EXPECT_EQ("Can't write VKM: " + blocked + "!", e.what());
    }
    std::filesystem::create_directory(dir.file("taken.vkm"));
    EXPECT_THROW(model.save(dir.file("taken.vkm")), common::InputError);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.vkm")));
}

}  // namespace
