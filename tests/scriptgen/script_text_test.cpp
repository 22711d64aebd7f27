#include "scriptgen/script_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <new>
#include <string>
#include <vector>

namespace {

using scriptgen::buildScript;
using scriptgen::Element;
using scriptgen::ElementKind;
using scriptgen::ScriptHeader;

TEST(ScriptText, EndsEveryLineWithCrLfUpToTheElementCountWhenNothingWasFound) {
    EXPECT_EQ("3\r\nDKS  2.0\r\nMODEL empty\r\n\r\nRADIUS 10\r\n\r\nLODS 1\r\nLOD0 in/empty.ase\t0\r\n"
              "\r\nELEMENTS 0\r\n",
              buildScript({3, "in/empty.ase", 1, false}, {}));
}

TEST(ScriptText, NamesTheAseFileOnEveryLodLineAndTheNodeOnEveryMeshLodLine) {
    const std::vector<Element> elements = {{ElementKind::Mesh, "Gib_Part_03", "Base_01"},
                                           {ElementKind::OmniLight, "Lamp_2", "Gib_Part_03"}};
    std::string expected = "2\r\nDKS  2.0\r\nMODEL s\r\n\r\nRADIUS 10\r\n\r\nLODS 12\r\n";
    for (int i = 0; i < 12; ++i) expected += "LOD" + std::to_string(i) + " s.ase\t0\r\n";
    expected += "\r\nELEMENTS 2\r\n\r\nELEMENT MESH\r\nNAME Gib_Part\r\n";
    for (int i = 0; i < 12; ++i) expected += "LOD" + std::to_string(i) + " Gib_Part_03\r\n";
    expected += "PARENT Base_01\r\n\r\nELEMENT OMNILIGHT\r\nNAME Lamp\r\nDEFINITION Lamp_2\r\nPARENT Gib_Part_03\r\n";
    EXPECT_EQ(expected, buildScript({2, "s.ase", 12, true}, elements));
}

TEST(ScriptText, NamesEachLodFileOnceAndEveryMeshNodeInEveryLod) {
    const std::vector<Element> elements = {{ElementKind::Mesh, "Hull", "NONE"},
                                           {ElementKind::Camera, "Cam", "Hull"}};
    const std::vector<std::string> files = {"dir/tank.ase", "dir/tank_lod1.ase", "dir/tank_lod2.ase"};
    EXPECT_EQ("1\r\nDKS  2.0\r\nMODEL tank\r\n\r\nRADIUS 10\r\n\r\nLODS 3\r\n"
              "LOD0 dir/tank.ase\t0\r\nLOD1 dir/tank_lod1.ase\t0\r\nLOD2 dir/tank_lod2.ase\t0\r\n\r\nELEMENTS 2\r\n"
              "\r\nELEMENT MESH\r\nNAME Hull\r\nLOD0 Hull\r\nLOD1 Hull\r\nLOD2 Hull\r\nPARENT NONE\r\n"
              "\r\nELEMENT CAMERA\r\nNAME Cam\r\nDEFINITION Cam\r\nPARENT Hull\r\n",
              buildScript({1, files[0], 3, false, files}, elements));
}

#if defined(__SANITIZE_ADDRESS__)
#define PIPELINE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIPELINE_ADDRESS_SANITIZER 1
#endif
#endif

TEST(ScriptText, FailsAtOnceWhenTheScriptCannotFitInMemory) {
#if defined(PIPELINE_ADDRESS_SANITIZER)
    GTEST_SKIP() << "the sanitizer's allocator aborts on such a request instead of failing it";
#else
    // About 2^31 LOD lines of 100 kB each: more than the address space holds.
    const std::vector<Element> elements = {{ElementKind::Mesh, std::string(100000, 'm'), "NONE"}};
    EXPECT_THROW(buildScript({2, "s.ase", INT_MAX, false}, elements), std::bad_alloc);
#endif
}

struct NameCase {
    std::string aseName;
    std::string scriptName;
    std::string modelName;
};

TEST(ScriptNames, ReplaceTheExtensionOfTheFileNameOnly) {
    const std::vector<NameCase> cases = {
        {"scene.ase", "scene.dks", "scene"},
        {"scene", "scene.dks", "scene"},
        {"scene.", "scene.dks", "scene"},
        {"a.b.ase", "a.b.dks", "a.b"},
        {"models/ship.ase", "models/ship.dks", "ship"},
        {"models\\ship.ase", "models\\ship.dks", "ship"},
        {"dir.v2/scene", "dir.v2/scene.dks", "scene"},
        {"dir.v2\\scene", "dir.v2\\scene.dks", "scene"},
        {"a/b\\c.d/e.ASE", "a/b\\c.d/e.dks", "e"},
        {".hidden", ".dks", ""},
        {"dir/.hidden", "dir/.dks", ""},
        {"dir/", "dir/.dks", ""},
        {"/abs/x.ase", "/abs/x.dks", "x"},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(c.scriptName, scriptgen::scriptNameFor(c.aseName)) << c.aseName;
        EXPECT_EQ(c.modelName, scriptgen::modelNameFor(c.aseName)) << c.aseName;
    }
}

TEST(GibNames, CutTheNameBeforeItsLastUnderscore) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Gib_Part_03", "Gib_Part"}, {"Wing_", "Wing"}, {"_x", ""}, {"Hull", "Hull"}, {"", ""}, {"a__b", "a_"}};
    for (const auto& [name, cut] : cases) EXPECT_EQ(cut, scriptgen::gibName(name)) << name;
}

}  // namespace
