#include "sceneread/scene_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "common/input_error.h"
#include "tests/test_support.h"

namespace {

using sceneread::Scene;

const std::string kMaterials = R"(*3DSMAX_ASCIIEXPORT	200
*MATERIAL_LIST {
	*MATERIAL_COUNT 2
	*MATERIAL 0 {
		*MATERIAL_NAME "Hull paint"
		*MATERIAL_CLASS "Standard"
		*MATERIAL_DIFFUSE 0.5000	0.2500	1.0000
		*MATERIAL_SPECULAR 0.5880	1.5000	-0.5000
		*MATERIAL_SHINE 0.2500
		*MATERIAL_SHINESTRENGTH 0.0500
		*MATERIAL_TRANSPARENCY 0.2500
		*MATERIAL_SELFILLUM 0.3000
		*MATERIAL_TWOSIDED
		*MAP_DIFFUSE {
			*MAP_NAME "Map #1"
			*BITMAP "C:\maps\wall.tga"
		}
	}
	*MATERIAL 1 {
		*MATERIAL_NAME "Multi"
		*MATERIAL_CLASS "Multi/Sub-Object"
		*NUMSUBMTLS 3
		*SUBMATERIAL 0 {
			*MATERIAL_NAME "Sub0"
			*MATERIAL_CLASS "Standard"
		}
		*SUBMATERIAL 1 {
			*MATERIAL_NAME "Sub1"
			*MATERIAL_CLASS "Standard"
			*MATERIAL_SELFILLUM 0.0000
		}
		*SUBMATERIAL 2 {
			*MATERIAL_NAME "Sub2"
			*MATERIAL_CLASS "Standard"
			*MAP_DIFFUSE {
				*BITMAP "plain.tga"
			}
		}
	}
}
)";

std::string node(const std::string& name, const std::string& rows, const std::string& pos, const std::string& axis,
                 const std::string& angle) {
    return "\t*NODE_NAME \"" + name + "\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"" + name + "\"\n" + rows +
           "\t\t*TM_POS " + pos + "\n\t\t*TM_ROTAXIS " + axis + "\n\t\t*TM_ROTANGLE " + angle + "\n\t}\n";
}

const std::string kIdentityRows = "\t\t*TM_ROW0 1 0 0\n\t\t*TM_ROW1 0 1 0\n\t\t*TM_ROW2 0 0 1\n";

const std::string kMesh = "*GEOMOBJECT {\n" + node("Box 01", kIdentityRows, "0 0 0", "0 0 0", "0") + R"(	*MESH {
		*MESH_NUMVERTEX 3
		*MESH_NUMFACES 2
		*MESH_VERTEX_LIST {
			*MESH_VERTEX    2	7.0000	8.0000	9.0000
			*MESH_VERTEX    0	1.0000	2.0000	3.0000
			*MESH_VERTEX    1	4.0000	5.0000	6.0000
		}
		*MESH_FACE_LIST {
			*MESH_FACE    0:    A:    0 B:    1 C:    2 AB:    1 BC:    0 CA:    1	 *MESH_SMOOTHING 1,2 	*MESH_MTLID 2
			*MESH_FACE    1:    A:    2 B:    1 C:    0 AB:    0 BC:    1 CA:    0	 *MESH_SMOOTHING 	*MESH_MTLID 1
		}
		*MESH_NUMTVERTEX 2
		*MESH_TVERTLIST {
			*MESH_TVERT 0	0.2500	0.7500	0.0000
			*MESH_TVERT 1	1.0000	-0.5000	0.0000
		}
		*MESH_NUMTVFACES 1
		*MESH_TFACELIST {
			*MESH_TFACE 0	1	0	7
		}
		*MESH_NUMCVERTEX 2
		*MESH_CVERTLIST {
			*MESH_VERTCOL 0	1.0000	0.5000	0.0000
			*MESH_VERTCOL 1	0.0000	0.0000	1.0000
		}
		*MESH_NUMCVFACES 2
		*MESH_CFACELIST {
			*MESH_CFACE 0	1	0	1
			*MESH_CFACE 1	0x1	-1	0
		}
		*MESH_NORMALS {
			*MESH_FACENORMAL 0	0.0000	0.0000	1.0000
			*MESH_VERTEXNORMAL 0	0.0000	0.0000	1.0000
		}
	}
	*PROP_MOTIONBLUR 0
	*MATERIAL_REF 1
}
)";

Scene load(const std::string& text, std::string* printed = nullptr) {
    testsupport::CapturedOutput out;
    Scene scene;
    sceneread::TextParser parser = sceneread::TextParser::overText(text);
    sceneread::loadScene(scene, parser, "scene.ase", out.file());
    if (printed) *printed = out.text();
    return scene;
}

TEST(LoadScene, ReadsStandardAndMultiMaterialsIntoGroups) {
    std::string printed;
    const Scene scene = load(kMaterials, &printed);
    ASSERT_EQ(4u, scene.materials.size());
    EXPECT_EQ((std::vector<std::vector<std::int32_t>>{{0}, {1, 2, 3}}), scene.materialGroups);

    const sceneread::SceneMaterial& hull = scene.materials[0];
    EXPECT_EQ("Hull", hull.name);  // quotes read as blanks: the name ends at the inner blank
    EXPECT_EQ((std::array<int, 4>{127, 63, 255, 255}),
              (std::array<int, 4>{hull.diffuse.r, hull.diffuse.g, hull.diffuse.b, hull.diffuse.a}));
    // 0.588 -> 149; 1.5 -> 382 wraps to 126; -0.5 -> -127 wraps to 129.
    EXPECT_EQ((std::array<int, 3>{149, 126, 129}), (std::array<int, 3>{hull.specular.r, hull.specular.g, hull.specular.b}));
    EXPECT_EQ(0.25f, hull.shine);  // the shine-strength line reads no number
    EXPECT_EQ(1.0f - 0.25f, hull.opacity);
    EXPECT_EQ(1, hull.selfIllum);
    EXPECT_EQ(1, hull.twoSided);
    EXPECT_EQ("wall.tga ", hull.bitmap);  // the closing quote became a blank

    EXPECT_EQ(1.0f, scene.materials[1].opacity);  // no transparency line: opaque
    EXPECT_EQ(0, scene.materials[2].selfIllum);
    EXPECT_EQ(0, scene.materials[2].twoSided);
    EXPECT_EQ("plain.tga ", scene.materials[3].bitmap);

    EXPECT_EQ(0u, printed.find("Loading ASE "));
    EXPECT_NE(std::string::npos, printed.find("Loading materials... (2)\nMaterial name: Hull\nMaterial class: standard\n"
                                              "bitmap: wall.tga \nMaterial name: Multi\nMaterial class: multi\n"
                                              "  submaterial name: Sub0\n  submaterial name: Sub1\n"
                                              "  submaterial name: Sub2\nbitmap: plain.tga \nLoading objects...\n"
                                              "Seems that we've reached the end of file...\n"));
}

TEST(LoadScene, AcceptsLowerCaseStandardOnlyAtTheTopLevel) {
    const std::string top = "*MATERIAL_LIST {\n*MATERIAL_COUNT 1\n*MATERIAL 0 {\n*MATERIAL_NAME a\n"
                            "*MATERIAL_CLASS standard\n}\n}\n";
    EXPECT_EQ(1u, load(top).materials.size());
    const std::string sub = "*MATERIAL_LIST {\n*MATERIAL_COUNT 1\n*MATERIAL 0 {\n*MATERIAL_NAME a\n"
                            "*MATERIAL_CLASS Multi/Sub-Object\n*NUMSUBMTLS 1\n*SUBMATERIAL 0 {\n*MATERIAL_NAME b\n"
                            "*MATERIAL_CLASS standard\n}\n}\n}\n";
    EXPECT_THROW(load(sub), common::InputError);
}

TEST(LoadScene, ReadsGeometryInTheYUpFrameInLineOrder) {
    const Scene scene = load(kMaterials + kMesh);
    ASSERT_EQ(1u, scene.geometryObjects.size());
    const sceneread::GeometryObject& box = scene.geometryObjects[0];
    EXPECT_EQ("Box", box.name);
    ASSERT_EQ(3u, box.vertices.size());
    EXPECT_EQ(7.0f, box.vertices[0].x);  // stored in line order, not by the numbers on the lines
    EXPECT_EQ(9.0f, box.vertices[0].y);
    EXPECT_EQ(8.0f, box.vertices[0].z);
    ASSERT_EQ(2u, box.faces.size());
    const sceneread::SceneFace& f0 = box.faces[0];
    EXPECT_EQ((std::array<int, 14>{0, 1, 2, 1, 0, 1, 1, 0, 7, 1, 0, 1, 2, 1}),
              (std::array<int, 14>{f0.a, f0.b, f0.c, f0.ab, f0.bc, f0.ca, f0.ta, f0.tb, f0.tc, f0.colourA, f0.colourB,
                                   f0.colourC, f0.materialId, f0.smoothing}));
    const sceneread::SceneFace& f1 = box.faces[1];
    EXPECT_EQ(0, f1.smoothing);  // an empty smoothing value reads the next word as 0
    EXPECT_EQ(-1, f1.ta);        // beyond the texture-face count
    EXPECT_EQ((std::array<int, 3>{1, -1, 0}), (std::array<int, 3>{f1.colourA, f1.colourB, f1.colourC}));
    ASSERT_EQ(2u, box.textureVertices.size());
    EXPECT_EQ(0.25f, box.textureVertices[0].u);
    EXPECT_EQ(-0.75f, box.textureVertices[0].v);
    ASSERT_EQ(2u, box.vertexColours.size());
    EXPECT_EQ(127, box.vertexColours[0].g);
    EXPECT_EQ(1, box.materialRef);
}

TEST(LoadScene, BuildsTransformsWithSwappedAxesAndAWellDefinedZeroAxisRotation) {
    const std::string rows = "\t\t*TM_ROW0 1 0 0\n\t\t*TM_ROW1 0 0 1\n\t\t*TM_ROW2 0 -1 0\n";
    const std::string text = kMaterials + "*CAMERAOBJECT {\n" + node("Camera01", rows, "1 2 3", "0 0 2", "1.5708") +
                             "}\n*HELPEROBJECT {\n" + node("Dummy", kIdentityRows, "0 0 0", "0 0 0", "0.5") +
                             "}\n*LIGHTOBJECT {\n" + node("Omni", kIdentityRows, "0 0 0", "1 0 0", "0") +
                             "\t*LIGHT_USELIGHT 1\n}\n";
    const Scene scene = load(text);
    ASSERT_EQ(1u, scene.cameras.size());
    const sceneread::SceneNode& camera = scene.cameras[0];
    EXPECT_EQ(1.0f, camera.position.x);
    EXPECT_EQ(3.0f, camera.position.y);
    EXPECT_EQ(2.0f, camera.position.z);
    EXPECT_EQ((std::array<float, 16>{1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1}), camera.matrix);
    EXPECT_NEAR(0, camera.rotation[0], 1e-7);
    EXPECT_NEAR(0.70711, camera.rotation[1], 1e-5);
    EXPECT_NEAR(0, camera.rotation[2], 1e-7);
    EXPECT_NEAR(0.70711, camera.rotation[3], 1e-5);

    ASSERT_EQ(1u, scene.helpers.size());
    EXPECT_EQ((std::array<float, 4>{0, 0, 0, static_cast<float>(std::cos(0.25))}), scene.helpers[0].rotation);
    ASSERT_EQ(1u, scene.lights.size());
    EXPECT_EQ(1, scene.lights[0].useLight);
    EXPECT_NE(nullptr, sceneread::findCamera(scene, "camera01"));
    EXPECT_EQ(nullptr, sceneread::findLight(scene, "camera01"));
}

TEST(LoadScene, KeepsAMeshWithoutUvsAndReadsTheNextObject) {
    std::string mesh = kMesh;
    mesh.replace(mesh.find("*MESH_NUMTVERTEX 2"), 18, "*MESH_NUMTVERTEX 0");
    std::string printed;
    const Scene scene = load(kMaterials + mesh + "*CAMERAOBJECT {\n" +
                             node("Cam", kIdentityRows, "0 0 0", "0 0 0", "0") + "}\n", &printed);
    ASSERT_EQ(1u, scene.geometryObjects.size());
    EXPECT_EQ(2u, scene.geometryObjects[0].faces.size());
    EXPECT_TRUE(scene.geometryObjects[0].textureVertices.empty());
    EXPECT_EQ(0, scene.geometryObjects[0].materialRef);
    EXPECT_EQ(1u, scene.cameras.size());
    EXPECT_NE(std::string::npos, printed.find("UV vertices : 0\nERROR! No UV vertices for element Box\n"));
}

struct BadInput {
    const char* what;
    std::string text;
    long line;
    std::string message;
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at == std::string::npos) throw std::logic_error("fixture lacks " + from);
    return text.replace(at, from.size(), to);
}

long lineCount(const std::string& text) { return static_cast<long>(std::count(text.begin(), text.end(), '\n')); }

// Number of the line holding `needle` in `text`.
long lineOf(const std::string& text, const std::string& needle) {
    const size_t at = text.find(needle);
    if (at == std::string::npos) throw std::logic_error("no " + needle);
    return lineCount(text.substr(0, at)) + 1;
}

TEST(LoadScene, ReportsEachProblemWithItsMessageAndLine) {
    const std::string good = kMaterials + kMesh;
    const std::string noRotAngle = replaced(good, "\t\t*TM_ROTANGLE 0\n", "");
    const std::vector<BadInput> cases = {
        {"no material list", "*GEOMOBJECT {\n", -1, "Crap! Missing *MATERIAL_LIST..."},
        {"no material count", "*MATERIAL_LIST {\n}\n", -1, "Crap! Missing *MATERIAL_COUNT..."},
        {"count above materials", replaced(kMaterials, "*MATERIAL_COUNT 2", "*MATERIAL_COUNT 3"), -1,
         "Crap!.. Material list empty..."},
        {"unknown class", replaced(kMaterials, "\"Standard\"", "\"Raytrace\""), -1, "Crap!.. Unknown material class..."},
        {"end inside a material", "*MATERIAL_LIST {\n*MATERIAL_COUNT 1\n*MATERIAL 0 {\n*MATERIAL_NAME a\n"
                                  "*MATERIAL_CLASS Standard\n",
         -1, "Dammit... Seems that we've reached the end of file..."},
        {"no TM_POS", replaced(good, "\t\t*TM_POS 0 0 0\n", ""), lineCount(good) - 1,
         "Error in ASE file! *TM_POS expected!"},
        {"no rotation angle", noRotAngle, lineCount(noRotAngle), "Error in ASE file! *TM_ROTANGLE expected!"},
        {"unreadable row", replaced(good, "*TM_ROW1 0 1 0", "*TM_ROW1 0 x 0"), lineOf(good, "*TM_ROW1"),
         "Error in ASE file! Wrong numbers in *TM_ROW1 line!"},
        {"no material ref", replaced(good, "\t*MATERIAL_REF 1\n", ""), lineCount(good) - 1, "No material assigned!"},
        {"vertex index beyond the list", replaced(good, "C:    2 AB", "C:    3 AB"), lineOf(good, "*MESH_FACE    0"),
         "Error in ASE file! Vertex index out of range in *MESH_FACE line!"},
        {"face label missing", replaced(good, "C:    2 AB:    1 BC:    0 CA:    1", "AB:    1"), lineOf(good, "*MESH_FACE    0"),
         "Error in ASE file! Corner label missing in *MESH_FACE line!"},
        {"vertex count beyond the lines present", replaced(good, "*MESH_NUMVERTEX 3", "*MESH_NUMVERTEX 4"),
         lineOf(good, "*MESH_VERTEXNORMAL"),
         "Error in ASE file! Wrong numbers in *MESH_VERTEX line!"},
        {"absurd vertex count", replaced(good, "*MESH_NUMVERTEX 3", "*MESH_NUMVERTEX 2000000000"),
         lineOf(good, "*MESH_NUMVERTEX"),
         "Error in ASE file! *MESH_NUMVERTEX 2000000000 needs more lines than the file holds!"},
        {"negative face count", replaced(good, "*MESH_NUMFACES 2", "*MESH_NUMFACES -2"), lineOf(good, "*MESH_NUMFACES"),
         "Error in ASE file! Wrong *MESH_NUMFACES value!"},
        {"count beyond 32 bits", replaced(good, "*MESH_NUMFACES 2", "*MESH_NUMFACES 4294967298"),
         lineOf(good, "*MESH_NUMFACES"),
         "Error in ASE file! Wrong *MESH_NUMFACES value!"},
        {"more texture faces than faces", replaced(good, "*MESH_NUMTVFACES 1", "*MESH_NUMTVFACES 3"),
         lineOf(good, "*MESH_NUMTVFACES"),
         "Error in ASE file! Wrong *MESH_NUMTVFACES value: more texture faces than faces!"},
        {"more colour faces than faces", replaced(good, "*MESH_NUMCVFACES 2", "*MESH_NUMCVFACES 3"),
         lineOf(good, "*MESH_NUMCVFACES"),
         "Error in ASE file! Wrong *MESH_NUMCVFACES value: more colour faces than faces!"},
        {"colour index beyond the list", replaced(good, "*MESH_CFACE 0\t1\t0\t1", "*MESH_CFACE 0\t1\t0\t2"),
         lineOf(good, "*MESH_CFACE 0"),
         "Error in ASE file! Colour index out of range in *MESH_CFACE line!"},
        {"texture index beyond 32 bits", replaced(good, "*MESH_TFACE 0\t1\t0\t7", "*MESH_TFACE 0\t1\t0\t99999999999"),
         lineOf(good, "*MESH_TFACE 0"), "Error in ASE file! Number out of range in *MESH_TFACE line!"},
        {"overlong node name", replaced(good, "Box 01", std::string(256, 'n')), lineOf(good, "*NODE_NAME"),
         "Name too long (more than 255 characters)!"},
        {"NaN vertex", replaced(good, "2\t7.0000\t8.0000", "2\tnan\t8.0000"), lineOf(good, "*MESH_VERTEX    2"),
         "Error in ASE file! Number out of range in *MESH_VERTEX line!"},
        {"vertex beyond a float", replaced(good, "2\t7.0000\t8.0000", "2\t7.0000\t1e39"),
         lineOf(good, "*MESH_VERTEX    2"), "Error in ASE file! Number out of range in *MESH_VERTEX line!"},
        {"infinite texture vertex", replaced(good, "0\t0.2500\t0.7500", "0\t0.2500\t-inf"),
         lineOf(good, "*MESH_TVERT 0"), "Error in ASE file! Number out of range in *MESH_TVERT line!"},
        {"infinite transform row", replaced(good, "*TM_ROW1 0 1 0", "*TM_ROW1 0 inf 0"), lineOf(good, "*TM_ROW1"),
         "Error in ASE file! Number out of range in *TM_ROW1 line!"},
    };
    for (const BadInput& c : cases) {
        try {
            load(c.text);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const common::InputError& e) {
            EXPECT_EQ(c.message, e.what()) << c.what;
            EXPECT_EQ(c.line, e.line) << c.what;
        }
    }
}

TEST(LoadScene, ReportsAnUnreadableFileByName) {
    testsupport::TempDir dir;
    testsupport::CapturedOutput out;
    Scene scene;
    try {
        sceneread::loadScene(scene, dir.file("none.ase"), out.file());
        FAIL();
    } catch (const common::InputError& e) {
        EXPECT_EQ(-1, e.line);
        EXPECT_EQ("Can't open ASE: " + dir.file("none.ase") + "!", e.what());
    }
    EXPECT_EQ("", out.text());
}

// Every prefix and every single-byte change of a small scene either loads or
// fails with an InputError: nothing else may escape, and nothing may crash.
TEST(LoadScene, SurvivesTruncationAndByteChangesAnywhere) {
    const std::string good = kMaterials + kMesh;
    int errors = 0, loads = 0;
    auto attempt = [&](const std::string& text) {
        testsupport::CapturedOutput out;
        Scene scene;
        try {
            sceneread::TextParser parser = sceneread::TextParser::overText(text);
            sceneread::loadScene(scene, parser, "x.ase", out.file());
            ++loads;
        } catch (const common::InputError&) {
            ++errors;
        }
    };
    for (size_t at = good.find('\n'); at != std::string::npos; at = good.find('\n', at + 1)) attempt(good.substr(0, at));
    const char replacements[] = {'\0', '\n', '\r', '"', '}', '-', '9', ' ', 'A'};
    for (size_t at = 0; at < good.size(); at += 3) {
        std::string changed = good;
        changed[at] = replacements[at % sizeof replacements];
        attempt(changed);
    }
    EXPECT_GT(errors, 0);
    EXPECT_GT(loads, 0);
}

TEST(ColourComponent, TruncatesTimes255AndKeepsTheLowEightBits) {
    EXPECT_EQ(255, sceneread::colourComponent(1.0f));
    EXPECT_EQ(127, sceneread::colourComponent(0.5f));
    EXPECT_EQ(149, sceneread::colourComponent(0.588f));
    EXPECT_EQ(0, sceneread::colourComponent(-0.001f));
    EXPECT_EQ((1000 * 255) & 0xFF, sceneread::colourComponent(1000.0f));
    EXPECT_EQ(0, sceneread::colourComponent(std::nanf("")));
    EXPECT_EQ(0, sceneread::colourComponent(3e38f));
}

}  // namespace

namespace {

struct Lenient {
    Scene scene;
    std::string warnings;
};

Lenient loadLeniently(const std::string& text) {
    testsupport::CapturedOutput out, warnings;
    common::Diagnostics diagnostics(warnings.file());
    Lenient read;
    sceneread::TextParser parser = sceneread::TextParser::overText(text);
    sceneread::loadScene(read.scene, parser, "s.ase", out.file(), {true, &diagnostics});
    read.warnings = warnings.text();
    return read;
}

TEST(LoadScene, LenientReadingKeepsLookupsInTheirBlockAndSaysWhatItAssumed) {
    const std::string good = kMaterials + kMesh;
    const Lenient same = loadLeniently(good);
    EXPECT_EQ("", same.warnings);
    EXPECT_EQ(load(good).materials.size(), same.scene.materials.size());

    // Without its texture list the first mesh no longer reads on into the next.
    std::string noUv = replaced(kMesh, "\t\t*MESH_NUMTVERTEX 2\n", "");
    noUv = replaced(noUv, "*MESH_NUMTVFACES 1", "*MESH_NUMTVFACE 1");
    const Lenient both = loadLeniently(kMaterials + noUv + replaced(kMesh, "Box 01", "Second"));
    ASSERT_EQ(2u, both.scene.geometryObjects.size());
    EXPECT_TRUE(both.scene.geometryObjects[0].textureVertices.empty());
    EXPECT_EQ(2u, both.scene.geometryObjects[1].textureVertices.size());
    EXPECT_NE(std::string::npos, both.warnings.find(": warning: Box 01: no *MESH_NUMTVERTEX in its block; read as 0\n"))
        << both.warnings;

    // No transform position, no material list, a wireframe colour instead of a material.
    std::string bare = replaced(kMesh, "\t\t*TM_POS 0 0 0\n", "");
    bare = replaced(bare, "\t*MATERIAL_REF 1\n", "\t*WIREFRAME_COLOR 1.0000 0.5000 0.0000\n");
    const Lenient own = loadLeniently(bare + replaced(bare, "Box 01", "Other"));
    ASSERT_EQ(2u, own.scene.materials.size());
    EXPECT_EQ("Box 01_wire", own.scene.materials[0].name);
    EXPECT_EQ(255, own.scene.materials[0].diffuse.r);
    EXPECT_EQ(127, own.scene.materials[0].diffuse.g);
    EXPECT_EQ(1, own.scene.geometryObjects[1].materialRef);
    EXPECT_NE(std::string::npos, own.warnings.find("no *MATERIAL_LIST before the first object"));
    EXPECT_NE(std::string::npos, own.warnings.find("Box 01: no *TM_POS in its block; read as position 0"));
    EXPECT_NE(std::string::npos, own.warnings.find("given material Box 01_wire (diffuse from *WIREFRAME_COLOR)"));

    // A reference beyond the list, and real faults that stay errors.
    const Lenient beyond = loadLeniently(kMaterials + replaced(kMesh, "*MATERIAL_REF 1", "*MATERIAL_REF 7"));
    EXPECT_EQ("Box 01_wire", beyond.scene.materials.back().name);
    EXPECT_NE(std::string::npos, beyond.warnings.find("material 7 does not exist; given material Box 01_wire (grey)"));
    EXPECT_THROW(loadLeniently(kMaterials + replaced(kMesh, "*MESH_NUMVERTEX 3", "*MESH_NUMVERTEX 4")),
                 common::InputError);
}

}  // namespace
