#include <gtest/gtest.h>

#include <filesystem>

#include "lod/lod_script.h"
#include "scriptgen/scene_scan.h"
#include "scriptgen/script_text.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

// With LOD 0 alone the script is SCENE2DKS's for `SCENE2DKS <file>`, byte for
// byte, on every export the project has.
TEST(BuildScript, OneLodIsWhatSceneToDksWrites) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(PIPELINE_SOURCE_DIR "/tests/golden/SCENE2DKS"))
        if (entry.is_regular_file() && entry.path().parent_path().filename() == "in") files.push_back(entry.path());
    for (const char* dir : {PIPELINE_SOURCE_DIR "/examples", PIPELINE_CORPUS_DIR})
        if (fs::is_directory(dir))
            for (const auto& entry : fs::directory_iterator(dir)) files.push_back(entry.path());
    ASSERT_GT(files.size(), 20u);
    for (const fs::path& path : files) {
        const std::string text = testsupport::readFile(path.string());
        const std::string name = path.filename().string();
        const std::string expected =
            scriptgen::buildScript({1, name, 1, false}, scriptgen::scanScene(text, true));
        EXPECT_EQ(expected, lod::buildScript({name}, lod::scanElements(text))) << path;
    }
}

TEST(BuildScript, NamesEveryMeshNodeInEveryLodAndCamerasAndLightsOnce) {
    const std::string text =
        "*GEOMOBJECT {\n\t*NODE_NAME \"Hull\"\n}\n*GEOMOBJECT {\n\t*NODE_NAME \"Gun\"\n\t*NODE_PARENT \"Hull\"\n}\n"
        "*CAMERAOBJECT {\n\t*NODE_NAME \"Cam\"\n\t*NODE_PARENT \"Gun\"\n\t*CAMERA_TYPE Free\n}\n"
        "*LIGHTOBJECT {\n\t*NODE_NAME \"Spot\"\n\t*LIGHT_TYPE Target\n}\n";
    EXPECT_EQ("1\r\nDKS  2.0\r\nMODEL tank\r\n\r\nRADIUS 10\r\n\r\nLODS 3\r\n"
              "LOD0 dir/tank.ase\t0\r\nLOD1 dir/tank_lod1.ase\t0\r\nLOD2 dir/tank_lod2.ase\t0\r\n\r\nELEMENTS 3\r\n"
              "\r\nELEMENT MESH\r\nNAME Hull\r\nLOD0 Hull\r\nLOD1 Hull\r\nLOD2 Hull\r\nPARENT NONE\r\n"
              "\r\nELEMENT MESH\r\nNAME Gun\r\nLOD0 Gun\r\nLOD1 Gun\r\nLOD2 Gun\r\nPARENT Hull\r\n"
              "\r\nELEMENT CAMERA\r\nNAME Cam\r\nDEFINITION Cam\r\nPARENT Gun\r\n",
              lod::buildScript({"dir/tank.ase", "dir/tank_lod1.ase", "dir/tank_lod2.ase"}, lod::scanElements(text)));
}

}  // namespace
