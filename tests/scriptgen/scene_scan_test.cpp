#include "scriptgen/scene_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using scriptgen::Element;
using scriptgen::ElementKind;
using scriptgen::nodeNameOf;
using scriptgen::scanScene;

struct NameCase {
    std::string line;
    std::string keyword;
    std::string name;
};

TEST(NodeNameRule, TakesTheNameFromQuotesOrElseFromTheFirstWordAfterTheKeyword) {
    const std::vector<NameCase> cases = {
        {"\t*NODE_NAME \"Box01\"", "*NODE_NAME", "Box01"},
        {"\t*NODE_NAME \"Box01\" ", "*NODE_NAME", "Box01"},
        {"\t*NODE_NAME \"Box01\"\t", "*NODE_NAME", "Box01"},
        {"\t*NODE_NAME \"Bip01 L Hand\"", "*NODE_NAME", "Bip01 L Hand"},
        {"\t*NODE_PARENT \"a \"b\" c\"", "*NODE_PARENT", "a \"b\" c"},
        {"\t*NODE_NAME \"\"", "*NODE_NAME", ""},
        // One quote: everything after it but the line's last character.
        {"\t*NODE_NAME \"Box01", "*NODE_NAME", "Box0"},
        {"\t*NODE_NAME \"Box01 ", "*NODE_NAME", "Box01"},
        {"\t*NODE_NAME \"x", "*NODE_NAME", ""},
        {"\t*NODE_NAME \"", "*NODE_NAME", ""},
        // No quote: one word, blanks and tabs separating words.
        {"\t*NODE_NAME Box01", "*NODE_NAME", "Box01"},
        {"\t*NODE_PARENT\t Base\textra words", "*NODE_PARENT", "Base"},
        {"\t*NODE_NAME   ", "*NODE_NAME", ""},
        {"*NODE_NAME", "*NODE_NAME", ""},
    };
    for (const NameCase& c : cases) EXPECT_EQ(c.name, nodeNameOf(c.line, c.keyword)) << c.line;
}

TEST(NodeNameRule, TakesNamesFromLinesOfAnyLength) {
    const std::string name(1 << 20, 'n');
    EXPECT_EQ(name, nodeNameOf("*NODE_NAME \"" + name + "\"", "*NODE_NAME"));
    EXPECT_EQ(name, nodeNameOf("*NODE_NAME " + name, "*NODE_NAME"));
    const auto found = scanScene("*GEOMOBJECT {\n*NODE_NAME \"" + name + "\"\n", true);
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ(name, found[0].nodeName);
}

TEST(SceneScan, KeepsObjectsOfAllKindsInFileOrderWithTheirParents) {
    const std::string ase =
        "*3DSMAX_ASCIIEXPORT\t200\n"
        "*LIGHTOBJECT {\n\t*NODE_NAME \"Omni01\"\n\t*LIGHT_TYPE Omni\n}\n"
        "*GEOMOBJECT {\n\t*NODE_NAME \"Hull\"\n\t*NODE_TM {\n}\n"
        "*CAMERAOBJECT {\n\t*NODE_NAME \"View\"\n\t*NODE_PARENT \"Hull\"\n\t*CAMERA_TYPE Free\n}\n"
        "*GEOMOBJECT {\n\t*NODE_NAME \"Turret\"\n\t*NODE_PARENT \"Hull\"\n}\n";
    const auto found = scanScene(ase, true);
    ASSERT_EQ(4u, found.size());
    const std::vector<ElementKind> kinds = {ElementKind::OmniLight, ElementKind::Mesh, ElementKind::Camera,
                                            ElementKind::Mesh};
    const std::vector<std::string> names = {"Omni01", "Hull", "View", "Turret"};
    const std::vector<std::string> parents = {"NONE", "NONE", "Hull", "Hull"};
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(kinds[i], found[i].kind) << i;
        EXPECT_EQ(names[i], found[i].nodeName) << i;
        EXPECT_EQ(parents[i], found[i].parent) << i;
    }
    for (const Element& element : scanScene(ase, false)) EXPECT_EQ("NONE", element.parent);
}

TEST(SceneScan, ReadsLfAndCrLfLinesAlikeAndIgnoresTextAfterACarriageReturn) {
    const std::string lf = "*GEOMOBJECT {\n\t*NODE_NAME \"Box01\"\n\t*NODE_PARENT \"Base\"\n}\n";
    const std::string crlf = "*GEOMOBJECT {\r\n\t*NODE_NAME \"Box01\"\r\n\t*NODE_PARENT \"Base\"\r\n}\r\n";
    // Without the cut, the quote after the CR would become the name's end.
    const std::string strayCr = "*GEOMOBJECT {\n\t*NODE_NAME \"Box01\"\rjunk\"\n\t*NODE_PARENT \"Base\"\n";
    for (const std::string& text : {lf, crlf, strayCr}) {
        const auto found = scanScene(text, true);
        ASSERT_EQ(1u, found.size());
        EXPECT_EQ("Box01", found[0].nodeName);
        EXPECT_EQ("Base", found[0].parent);
    }
}

struct ScanCase {
    const char* what;
    std::string ase;
    bool writeParents;
    std::vector<std::string> nodes;  // node:parent of each element found
};

TEST(SceneScan, KeepsOnlyFreeCamerasAndOmniLightsAndConsumesTheLinesOfEveryBlock) {
    const std::vector<ScanCase> cases = {
        {"free camera", "*CAMERAOBJECT {\n*NODE_NAME \"C\"\n*CAMERA_TYPE Free\n", true, {"C:NONE"}},
        {"target camera", "*CAMERAOBJECT {\n*NODE_NAME \"C\"\n*CAMERA_TYPE Target\n", true, {}},
        {"type in lower case", "*CAMERAOBJECT {\n*NODE_NAME \"C\"\n*camera_type free\n", true, {}},
        {"camera with parent", "*CAMERAOBJECT {\n*NODE_NAME \"C\"\n*NODE_PARENT \"P\"\n*CAMERA_TYPE Free\n", true,
         {"C:P"}},
        {"parent line still skipped without parents",
         "*CAMERAOBJECT {\n*NODE_NAME \"C\"\n*NODE_PARENT \"P\"\n*CAMERA_TYPE Free\n", false, {"C:NONE"}},
        {"type line not right after the names", "*CAMERAOBJECT {\n*NODE_NAME \"C\"\n*NODE_TM {\n*CAMERA_TYPE Free\n",
         true, {}},
        {"omni light", "*LIGHTOBJECT {\n*NODE_NAME \"L\"\n*LIGHT_TYPE Omni\n", true, {"L:NONE"}},
        {"spot light", "*LIGHTOBJECT {\n*NODE_NAME \"L\"\n*LIGHT_TYPE Target\n", true, {}},
        {"light with parent", "*LIGHTOBJECT {\n*NODE_NAME \"L\"\n*NODE_PARENT \"P\"\n*LIGHT_TYPE Omni\n", true,
         {"L:P"}},
        {"object line not followed by a name", "*GEOMOBJECT {\n*GEOMOBJECT {\n*NODE_NAME \"A\"\n", true, {}},
        {"consumed line holds another object", "*GEOMOBJECT {\n*LIGHTOBJECT {\n*NODE_NAME \"L\"\n*LIGHT_TYPE Omni\n",
         true, {}},
        {"line after the name is consumed", "*GEOMOBJECT {\n*NODE_NAME \"A\"\n*GEOMOBJECT {\n*NODE_NAME \"B\"\n", true,
         {"A:NONE"}},
        {"mesh cut off after its name", "*GEOMOBJECT {\n*NODE_NAME \"A\"", true, {"A:NONE"}},
        {"camera cut off after its name", "*CAMERAOBJECT {\n*NODE_NAME \"C\"\n", true, {}},
        {"object keyword on the last line", "*GEOMOBJECT {", true, {}},
        {"keyword inside a longer line", "x*LIGHTOBJECTy\n  *NODE_NAME L\n*LIGHT_TYPE Omni\n", true, {"L:NONE"}},
    };
    for (const ScanCase& c : cases) {
        std::vector<std::string> nodes;
        for (const Element& element : scanScene(c.ase, c.writeParents))
            nodes.push_back(element.nodeName + ":" + element.parent);
        EXPECT_EQ(c.nodes, nodes) << c.what;
    }
}

}  // namespace
