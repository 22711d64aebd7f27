#include "modelconv/driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/diagnostics.h"
#include "common/input_error.h"
#include "tests/test_support.h"

namespace {

const char kBanner[] = "DKS To VKM converter\nVersion 2.0\nCopyright (c) the asset pipeline team. All rights reserved.\n";

TEST(Run, PrintsBannerAndUsageWithoutArguments) {
    testsupport::CapturedOutput out;
    const char* argv[] = {"DKS2VKM"};
    EXPECT_EQ(0, modelconv::run(1, argv, out.file()));
    EXPECT_EQ(std::string(kBanner) +
                  "Command - line parameters:\nDKS2VKM [filename]\n\"filename\" is a full name of DKS script\n",
              out.text());
}

TEST(Run, RefusesAScriptThatAlreadyHasTheOutputNameBeforeReadingIt) {
    testsupport::TempDir dir;
    const std::string script = dir.write("x.vkm", "LODS 0\nELEMENTS 0\n");
    testsupport::CapturedOutput out;
    const char* argv[] = {"DKS2VKM", script.c_str()};
    try {
        modelconv::run(2, argv, out.file());
        FAIL();
    } catch (const common::InputError& e) {
        EXPECT_EQ(-1, e.line);
        EXPECT_EQ("Output file " + script + " would replace the script!", e.what());
    }
    EXPECT_EQ(kBanner, out.text());
    EXPECT_EQ("LODS 0\nELEMENTS 0\n", testsupport::readFile(script));
}

TEST(Run, RefusesToReplaceAnAseFileByNameOrByIdentity) {
    testsupport::TempDir dir;
    const std::string ase = "*MATERIAL_LIST {\n*MATERIAL_COUNT 0\n}\n";
    const std::string output = dir.write("model.vkm", ase);
    const std::string link = dir.file("link.ase");
    ASSERT_EQ(0, ::link(output.c_str(), link.c_str()));
    for (const std::string& lod : {output, link}) {
        const std::string script = dir.write("model.dks", "LODS 1\nLOD0 " + lod + "\nELEMENTS 0\n");
        testsupport::CapturedOutput out;
        const char* argv[] = {"DKS2VKM", script.c_str()};
        try {
            modelconv::run(2, argv, out.file());
            ADD_FAILURE() << lod;
        } catch (const common::InputError& e) {
            EXPECT_EQ("Output file " + output + " would replace the ASE file " + lod + "!", std::string(e.what()));
        }
        EXPECT_EQ(ase, testsupport::readFile(output));
    }
}

TEST(Run, UsesOnlyTheFirstArgumentAndPrintsItAsTyped) {
    testsupport::TempDir dir;
    const std::string script = dir.write("a.dks", "LODS 0\nELEMENTS 0\n");
    testsupport::CapturedOutput out;
    const char* argv[] = {"DKS2VKM", script.c_str(), "ignored", "also ignored"};
    EXPECT_EQ(0, modelconv::run(4, argv, out.file()));
    EXPECT_EQ(0u, out.text().find(std::string(kBanner) + "Loading DKS " + script + "...\nLoading complete.\n"));
}

// A fan of `faces` triangles in its own frame, with texture coordinates
// (or none), smoothing and material ids that vary face by face.
std::string meshAse(const std::string& name, int faces, int offset, bool uvs, int materialRef) {
    std::string t = "*GEOMOBJECT {\n*NODE_NAME \"" + name + "\"\n*NODE_TM {\n*NODE_NAME \"" + name + "\"\n";
    t += "*TM_ROW0 1 0 0\n*TM_ROW1 0 1 0\n*TM_ROW2 0 0 1\n*TM_POS " + std::to_string(offset) + " 0 0\n";
    t += "*TM_ROTAXIS 0 0 0\n*TM_ROTANGLE 0\n}\n*MESH {\n";
    t += "*MESH_NUMVERTEX " + std::to_string(faces + 2) + "\n*MESH_NUMFACES " + std::to_string(faces) + "\n*MESH_VERTEX_LIST {\n";
    for (int v = 0; v < faces + 2; ++v)
        t += "*MESH_VERTEX " + std::to_string(v) + " " + std::to_string(offset + v % 5) + " " +
             std::to_string(v / 5) + " " + std::to_string((v * 7) % 3) + "\n";
    t += "}\n*MESH_FACE_LIST {\n";
    for (int f = 0; f < faces; ++f)
        t += "*MESH_FACE " + std::to_string(f) + ": A: 0 B: " + std::to_string(f + 1) + " C: " +
             std::to_string(f + 2) + " AB: 1 BC: " + std::to_string(f % 2) + " CA: 0 *MESH_SMOOTHING " +
             std::to_string(f % 3) + " *MESH_MTLID " + std::to_string((f * 5) % 3) + "\n";
    t += "}\n*MESH_NUMTVERTEX " + std::to_string(uvs ? faces + 2 : 0) + "\n";
    if (uvs) {
        t += "*MESH_TVERTLIST {\n";
        for (int v = 0; v < faces + 2; ++v) t += "*MESH_TVERT " + std::to_string(v) + " 0." + std::to_string(v) + " 0.5 0\n";
        t += "}\n*MESH_NUMTVFACES " + std::to_string(faces) + "\n*MESH_TFACELIST {\n";
        for (int f = 0; f < faces; ++f)
            t += "*MESH_TFACE " + std::to_string(f) + " 0 " + std::to_string(f + 1) + " " + std::to_string(f + 2) + "\n";
        t += "}\n*MESH_NUMCVERTEX 0\n";
    }
    return t + "}\n*MATERIAL_REF " + std::to_string(materialRef) + "\n}\n";
}

struct Outcome {
    std::string console, diagnostics, file, error;
};

// Two LODs of seven meshes (one without texture coordinates, one missing
// from LOD 1), converted with `threads`; `badRef` gives LOD 1's sixth mesh a
// material that does not exist.
Outcome convertWithThreads(const testsupport::TempDir& dir, const std::string& threads, bool badRef) {
    const std::string materials =
        "*MATERIAL_LIST {\n*MATERIAL_COUNT 1\n*MATERIAL 0 {\n*MATERIAL_NAME \"Multi\"\n"
        "*MATERIAL_CLASS \"Multi/Sub-Object\"\n*NUMSUBMTLS 3\n"
        "*SUBMATERIAL 0 {\n*MATERIAL_NAME \"A\"\n*MATERIAL_CLASS \"Standard\"\n}\n"
        "*SUBMATERIAL 1 {\n*MATERIAL_NAME \"B\"\n*MATERIAL_CLASS \"Standard\"\n}\n"
        "*SUBMATERIAL 2 {\n*MATERIAL_NAME \"C\"\n*MATERIAL_CLASS \"Standard\"\n}\n}\n}\n";
    std::string lod0 = materials, lod1 = materials;
    std::string script = "LODS 2\nLOD0 " + dir.file("lod0.ase") + "\nLOD1 " + dir.file("lod1.ase") + "\nELEMENTS 7\n";
    for (int m = 0; m < 7; ++m) {
        const std::string name = "Part" + std::to_string(m);
        lod0 += meshAse(name, 40 + 97 * m, m * 10, m != 2, 0);
        if (m != 4) lod1 += meshAse(name, 20 + 31 * m, m * 10, m != 2, badRef && m == 5 ? 3 : 0);
        script += "ELEMENT MESH\nNAME " + name + "\nLOD0 " + name + "\nLOD1 " + name + "\nPARENT " +
                  (m == 0 ? std::string("NONE") : "Part0") + "\n";
    }
    dir.write("lod0.ase", lod0);
    dir.write("lod1.ase", lod1);
    const std::string dks = dir.write("model.dks", script);
    std::filesystem::remove(dir.file("model.vkm"));
    testsupport::CapturedOutput out, channel;
    common::Diagnostics diagnostics(channel.file());
    const char* argv[] = {"DKS2VKM", dks.c_str(), "--threads", threads.c_str()};
    Outcome outcome;
    try {
        modelconv::run(4, argv, out.file(), diagnostics);
    } catch (const common::InputError& e) {
        outcome.error = e.what();
        diagnostics.error(e);
    }
    outcome.console = out.text();
    outcome.diagnostics = channel.text();
    outcome.file = testsupport::readFile(dir.file("model.vkm"));
    return outcome;
}

TEST(Run, ConvertsAlikeOnAnyNumberOfThreads) {
    testsupport::TempDir dir;
    for (const bool badRef : {false, true}) {
        const Outcome one = convertWithThreads(dir, "1", badRef);
        ASSERT_NE(std::string::npos, one.diagnostics.find("has no texture coordinates")) << one.console;
        EXPECT_EQ(badRef, one.file.empty());
        EXPECT_EQ(badRef ? "Mesh Part5 refers to material 3, which has no materials in lod 1!" : "", one.error);
        for (const char* threads : {"2", "3", "16"}) {
            const Outcome many = convertWithThreads(dir, threads, badRef);
            EXPECT_EQ(one.console, many.console) << threads << " " << badRef;
            EXPECT_EQ(one.diagnostics, many.diagnostics) << threads << " " << badRef;
            EXPECT_EQ(one.file, many.file) << threads << " " << badRef;
            EXPECT_EQ(one.error, many.error) << threads << " " << badRef;
        }
    }
}

TEST(Run, RefusesAThreadCountThatIsNotAPositiveNumber) {
    for (const char* value : {"0", "-1", "two", "4x", ""}) {
        testsupport::CapturedOutput out;
        const char* argv[] = {"DKS2VKM", "model.dks", "--threads", value};
        try {
            modelconv::run(4, argv, out.file());
            ADD_FAILURE() << value;
        } catch (const common::InputError& e) {
            EXPECT_EQ("Option --threads needs a number of threads, 1 or more!", std::string(e.what())) << value;
        }
    }
}

}  // namespace
