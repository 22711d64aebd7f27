#include "modelconv/model_script.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/input_error.h"
#include "tests/test_support.h"

namespace {

using modelconv::ElementType;
using modelconv::ModelDefinition;

// A scene with one geometry object "hull" and one camera "view".
const std::string kScene = R"(*MATERIAL_LIST {
	*MATERIAL_COUNT 0
}
*GEOMOBJECT {
	*NODE_NAME "hull"
	*NODE_TM {
		*TM_ROW0 1 0 0
		*TM_ROW1 0 1 0
		*TM_ROW2 0 0 1
		*TM_POS 0 0 0
		*TM_ROTAXIS 0 0 0
		*TM_ROTANGLE 0
	}
	*MESH {
		*MESH_NUMVERTEX 0
		*MESH_NUMFACES 0
		*MESH_NUMTVERTEX 0
	}
}
*CAMERAOBJECT {
	*NODE_NAME "view"
	*CAMERA_TYPE Free
	*NODE_TM {
		*TM_ROW0 1 0 0
		*TM_ROW1 0 1 0
		*TM_ROW2 0 0 1
		*TM_POS 0 0 0
		*TM_ROTAXIS 0 0 0
		*TM_ROTANGLE 0
	}
}
)";

class ModelScript : public ::testing::Test {
protected:
    ModelDefinition load(const std::string& script) {
        ModelDefinition definition;
        sceneread::TextParser parser = sceneread::TextParser::overText(script);
        modelconv::loadModelScript(definition, parser, "model.dks", sceneread::textsInMemory(files_), out_.file());
        return definition;
    }

    // Loads the script and returns the error it must report.
    common::InputError error(const std::string& script) {
        try {
            load(script);
        } catch (const common::InputError& e) {
            return e;
        }
        ADD_FAILURE() << "no error for:\n" << script;
        return common::InputError("", -2);
    }

    const std::string ase_ = "tank.ase";
    const std::map<std::string, std::string> files_ = {{ase_, kScene}};
    testsupport::CapturedOutput out_;
};

TEST_F(ModelScript, LoadsAScriptAsTheGeneratorWritesIt) {
    const std::string script = testsupport::withCrLf(
        "1\nDKS  2.0\nMODEL tank\n\nRADIUS 10\n\nLODS 2\nLOD0 " + ase_ + "\t0\nLOD1 " + ase_ +
        "\t0\n\nELEMENTS 2\n\nELEMENT MESH\nNAME hull\nLOD0 hull\nLOD1 hull\nPARENT NONE\n\n"
        "ELEMENT CAMERA\nNAME view\nDEFINITION view\nPARENT hull\n");
    const ModelDefinition d = load(script);
    EXPECT_EQ(2, d.lodCount);
    ASSERT_EQ(2u, d.scenes.size());
    EXPECT_EQ(1u, d.scenes[1].geometryObjects.size());
    ASSERT_EQ(2u, d.elements.size());
    EXPECT_EQ(ElementType::Mesh, d.elements[0].type);
    EXPECT_EQ("hull", d.elements[0].name);
    EXPECT_EQ("hull", d.elements[0].definitions[0]);
    EXPECT_EQ("hull", d.elements[0].definitions[1]);
    EXPECT_EQ("NONE", d.elements[0].parent);
    EXPECT_EQ(ElementType::Camera, d.elements[1].type);
    EXPECT_EQ("view", d.elements[1].definitions[0]);
    EXPECT_EQ("hull", d.elements[1].parent);
    const std::string printed = out_.text();
    EXPECT_EQ(0u, printed.find("Loading ASE " + ase_ + "...\nLoading materials... (0)\nLoading objects...\n"));
    EXPECT_NE(std::string::npos, printed.find("Loading ASE", 1));  // each LOD reads its file
}

TEST_F(ModelScript, ReadsOnlyKeywordLinesWhereverTheyStand) {
    const ModelDefinition d = load("LODS 1\nLOD0 " + ase_ + "\nELEMENTS 1\nELEMENT omnilight\nNAME lamp\n"
                                   "junk\nDEFINITION lamp\nPARENT  two words  \n");
    ASSERT_EQ(1u, d.elements.size());
    EXPECT_EQ(ElementType::OmniLight, d.elements[0].type);
    EXPECT_EQ("lamp", d.elements[0].name);
    EXPECT_EQ("two words  ", d.elements[0].parent);  // PARENT keeps the rest
}

TEST_F(ModelScript, AcceptsZeroLodsWithMeshesThatNeedNoLodLines) {
    const ModelDefinition d = load("LODS 0\nELEMENTS 1\nELEMENT MESH\nNAME m\nPARENT NONE\n");
    EXPECT_EQ(0, d.lodCount);
    EXPECT_TRUE(d.scenes.empty());
    ASSERT_EQ(1u, d.elements.size());
    EXPECT_EQ("", d.elements[0].definitions[0]);
}

struct BadScript {
    const char* what;
    std::string script;
    long line;
    std::string message;
};

TEST_F(ModelScript, ReportsEachMissingOrWrongDefinition) {
    const std::string lod = "LOD0 " + ase_ + "\n";
    const std::vector<BadScript> cases = {
        {"lower-case keyword", "x\nlods 1\n", 2, "LODS definition not found!"},
        {"minus one LODs", "\nLODS -1\n", 2, "Wrong number!"},
        {"negative LODs", "LODS -5\n", 1, "Wrong number!"},
        {"LODs beyond 32 bits", "LODS 4294967297\n", 1, "Wrong number!"},
        {"too many LODs", "LODS 17\n", 1, "Too many LODs (at most 16)!"},
        {"missing LOD line", "LODS 2\n" + lod + "x\n", 3, "LOD definition required!"},
        {"no ELEMENTS", "LODS 1\n" + lod, -1, "ELEMENTS definition not found!"},
        {"negative ELEMENTS", "LODS 1\n" + lod + "ELEMENTS -1\n", 3, "Wrong number!"},
        {"count above blocks", "LODS 0\nELEMENTS 2\nELEMENT CAMERA\nNAME a\nDEFINITION a\nPARENT NONE\n", -1,
         "ELEMENT definition required!"},
        {"unknown kind", "LODS 0\nELEMENTS 1\nELEMENT LIGHT\nNAME a\n", 3, "Unknown element kind: LIGHT!"},
        {"no NAME", "LODS 0\nELEMENTS 1\nELEMENT MESH\n", -1, "NAME definition required!"},
        {"mesh without its LOD line", "LODS 1\n" + lod + "ELEMENTS 1\nELEMENT MESH\nNAME a\nPARENT x\n", -1,
         "LOD definition required!"},
        {"camera without DEFINITION", "LODS 0\nELEMENTS 1\nELEMENT CAMERA\nNAME a\nPARENT x\n", -1,
         "DEFINITION definition required!"},
        {"no PARENT", "LODS 0\nELEMENTS 1\nELEMENT CAMERA\nNAME a\nDEFINITION a\n", -1,
         "PARENT definition not found!"},
        {"overlong value", "LODS 0\nELEMENTS 1\nELEMENT CAMERA\nNAME " + std::string(256, 'a') + "\n", 4,
         "Name too long (more than 255 characters)!"},
        {"missing ASE file", "LODS 1\nLOD0 nowhere.ase 0\n", -1, "Can't open ASE: nowhere.ase!"},
        {"name of two words", "LODS 0\nELEMENTS 1\nELEMENT MESH\nNAME Left Wheel \n", 4,
         "NAME line holds more than one word: Left Wheel!"},
        {"LOD node of two words", "LODS 1\n" + lod + "ELEMENTS 1\nELEMENT MESH\nNAME a\nLOD0 Box 01\n", 6,
         "LOD0 line holds more than one word: Box 01!"},
        {"definition of two words", "LODS 0\nELEMENTS 1\nELEMENT CAMERA\nNAME a\nDEFINITION Cam\t01\n", 5,
         "DEFINITION line holds more than one word: Cam 01!"},
    };
    for (const BadScript& c : cases) {
        const common::InputError e = error(c.script);
        EXPECT_EQ(c.message, e.what()) << c.what;
        EXPECT_EQ(c.line, e.line) << c.what;
    }
}

TEST_F(ModelScript, ReportsAnUnreadableScriptByName) {
    testsupport::TempDir dir;
    for (const std::string& name : {dir.file("none.dks"), dir.write("empty.dks", "")}) {
        ModelDefinition d;
        try {
            modelconv::loadModelScript(d, name, out_.file());
            ADD_FAILURE();
        } catch (const common::InputError& e) {
            EXPECT_EQ(-1, e.line);
            EXPECT_EQ("Can't open DKS: " + name + "!", e.what());
        }
    }
}

}  // namespace
