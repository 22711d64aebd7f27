#include "tools/vkminfo/vkm_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

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
    const vkminfo::Model model = vkminfo::readVkm(vehicleBytes());
    ASSERT_EQ(5u, model.elements.size());
    EXPECT_EQ(4u, model.materials.size());
    EXPECT_EQ("Hull", model.elements[0].name);
    EXPECT_EQ(1u, model.elements[0].type);
    EXPECT_EQ(1, model.elements[2].parent);
    EXPECT_EQ(3u, model.elements[4].type);
    const vkminfo::Lod& hull = model.elements[0].lods.at(0);
    size_t triangles = 0;
    for (const vkminfo::Group& g : hull.groups) triangles += g.triangles.size();
    EXPECT_EQ(20u, triangles);
    EXPECT_GT(hull.edges.size(), 0u);
    // Every vertex lies inside the element's sphere and within its origin radius.
    for (const vkminfo::Element& e : model.elements) {
        if (e.type != 1) continue;
        for (const vkminfo::Vertex& v : e.lods[0].vertices) {
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

// Every cut and a changed word at many places must give a VkmError (or, for
// changes the format cannot detect, a model): never a crash.
TEST(ReadVkm, RejectsTruncatedAndCorruptedFilesWithAnOffset) {
    const std::vector<std::uint8_t> good = vehicleBytes();
    for (size_t cut = 0; cut < good.size(); cut += 7)
        EXPECT_THROW(vkminfo::readVkm(std::span(good.data(), cut)), vkminfo::VkmError) << cut;
    std::vector<std::uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_THROW(vkminfo::readVkm(longer), vkminfo::VkmError);
    int rejected = 0;
    for (size_t at = 0; at + 4 <= good.size(); at += 4) {
        std::vector<std::uint8_t> bad = good;
        bad[at + 3] ^= 0x40;  // a count, size or index becomes huge or negative
        try {
            vkminfo::readVkm(bad);
        } catch (const vkminfo::VkmError& e) {
            EXPECT_LE(e.offset, bad.size());
            ++rejected;
        }
    }
    EXPECT_GT(rejected, 100);
}

}  // namespace
