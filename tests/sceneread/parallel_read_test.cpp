// Reading the objects of an export on several threads must give exactly what
// one thread gives: the scene, the console text, and the first error with its
// lines, whatever the segment size and wherever the pieces are cut.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "common/input_error.h"
#include "sceneread/scene_reader.h"
#include "tests/test_support.h"

namespace {

using sceneread::Scene;
using sceneread::TextParser;

void put(std::string& out, float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    out += std::to_string(bits) + ' ';
}

void put(std::string& out, const sceneread::SceneNode& node) {
    out += node.name + " @" + std::to_string(node.line) + ' ';
    for (float v : node.matrix) put(out, v);
    for (float v : node.rotation) put(out, v);
    put(out, node.position.x);
    put(out, node.position.y);
    put(out, node.position.z);
    out += '\n';
}

std::string describe(const Scene& scene) {
    std::string out;
    for (const auto& m : scene.materials) out += m.name + ' ' + m.bitmap + '\n';
    for (const auto& object : scene.geometryObjects) {
        put(out, object);
        for (const auto& v : object.vertices) put(out, v.x), put(out, v.y), put(out, v.z);
        for (const auto& t : object.textureVertices) put(out, t.u), put(out, t.v);
        for (const auto& c : object.vertexColours) out += std::to_string(c.r + c.g * 256 + c.b * 65536) + ' ';
        for (const auto& f : object.faces)
            for (std::int32_t i : {f.a, f.b, f.c, f.ab, f.bc, f.ca, f.ta, f.tb, f.tc, f.colourA, f.colourB, f.colourC,
                                   f.materialId, f.smoothing})
                out += std::to_string(i) + ' ';
        out += "ref " + std::to_string(object.materialRef) + '\n';
    }
    for (const auto* nodes : {&scene.cameras, &scene.helpers})
        for (const auto& node : *nodes) put(out, node);
    for (const auto& light : scene.lights) put(out, light), out += std::to_string(light.useLight) + '\n';
    for (const auto& overrun : scene.overruns) {
        out += "overrun " + overrun.object + ' ' + overrun.keyword + ' ' + std::to_string(overrun.line);
        for (const auto& passed : overrun.passed) out += ' ' + passed.name + '@' + std::to_string(passed.line);
        out += '\n';
    }
    return out;
}

struct Outcome {
    std::string printed, scene, error;
    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& outcome, std::ostream* os) {
    *os << "error: " << outcome.error << "\nconsole:\n" << outcome.printed << "scene:\n" << outcome.scene.substr(0, 4000);
}

Outcome read(TextParser parser, unsigned threads, std::uint64_t segmentBytes, size_t* pieces = nullptr) {
    testsupport::CapturedOutput out;
    Scene scene;
    sceneread::ReadOptions options;
    options.threads = threads;
    options.segmentBytes = segmentBytes;
    options.piecesUsed = pieces;
    Outcome outcome;
    try {
        sceneread::loadScene(scene, parser, "s.ase", out.file(), options);
    } catch (const common::InputError& error) {
        outcome.error = std::string(error.what()) + " line " + std::to_string(error.line) + " at " +
                        std::to_string(error.diagnosticLine) + " in " + error.object;
        for (const auto& note : error.notes) outcome.error += " | " + note.text + " @" + std::to_string(note.line);
    }
    outcome.printed = out.text();
    outcome.scene = describe(scene);
    return outcome;
}

const std::string kHeader = R"(*3DSMAX_ASCIIEXPORT	200
*MATERIAL_LIST {
	*MATERIAL_COUNT 1
	*MATERIAL 0 {
		*MATERIAL_NAME "Paint"
		*MATERIAL_CLASS "Standard"
		*MATERIAL_DIFFUSE 0.5000	0.2500	1.0000
	}
}
)";

std::string mesh(const std::string& name, int seed, const std::string& tail = "\t*MATERIAL_REF 0\n") {
    std::string s = "*GEOMOBJECT {\n\t*NODE_NAME \"" + name + "\"\n\t*NODE_TM {\n\t\t*TM_ROW0 1 0 0\n\t\t*TM_ROW1 0 1 0\n" +
                    "\t\t*TM_ROW2 0 0 1\n\t\t*TM_POS " + std::to_string(seed) + " 0 0\n\t\t*TM_ROTAXIS 0 0 1\n" +
                    "\t\t*TM_ROTANGLE 0.5\n\t}\n\t*MESH {\n\t\t*MESH_NUMVERTEX 3\n\t\t*MESH_NUMFACES 1\n" +
                    "\t\t*MESH_VERTEX_LIST {\n";
    for (int i = 0; i < 3; ++i)
        s += "\t\t\t*MESH_VERTEX " + std::to_string(i) + "\t" + std::to_string(seed + i) + ".5\t1.0\t-2\n";
    s += "\t\t}\n\t\t*MESH_FACE_LIST {\n\t\t\t*MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 0 *MESH_SMOOTHING 1 "
         "*MESH_MTLID 0\n\t\t}\n\t\t*MESH_NUMTVERTEX 1\n\t\t*MESH_TVERTLIST {\n\t\t\t*MESH_TVERT 0\t0.25\t0.5\t0\n"
         "\t\t}\n\t\t*MESH_NUMTVFACES 1\n\t\t*MESH_TFACELIST {\n\t\t\t*MESH_TFACE 0\t0\t0\t0\n\t\t}\n"
         "\t\t*MESH_NUMCVERTEX 0\n\t\t*MESH_NORMALS {\n\t\t\t*MESH_FACENORMAL 0\t0\t0\t1\n\t\t}\n\t}\n";
    return s + tail + "}\n";
}

std::string camera(const std::string& name) {
    return "*CAMERAOBJECT {\n\t*NODE_NAME \"" + name +
           "\"\n\t*NODE_TM {\n\t\t*TM_ROW0 1 0 0\n\t\t*TM_ROW1 0 1 0\n\t\t*TM_ROW2 0 0 1\n\t\t*TM_POS 1 2 3\n"
           "\t\t*TM_ROTAXIS 0 0 0\n\t\t*TM_ROTANGLE 0\n\t}\n}\n";
}

std::string scene(const std::vector<std::string>& objects) {
    std::string text = kHeader;
    for (const std::string& object : objects) text += object;
    return text;
}

std::vector<std::string> meshes(int count) {
    std::vector<std::string> objects;
    for (int i = 0; i < count; ++i) objects.push_back(mesh("Mesh " + std::to_string(i), i));
    return objects;
}

TEST(ParallelRead, GivesTheOneThreadSceneConsoleTextAndFirstError) {
    std::vector<std::pair<std::string, std::string>> cases;
    std::vector<std::string> objects = meshes(12);
    objects.insert(objects.begin() + 3, camera("Cam"));
    objects.insert(objects.begin() + 7, "\n\n\t*GEOMOBJECT {\n" + mesh("Indented", 40).substr(14));
    cases.emplace_back("meshes, a camera, an indented object", scene(objects));
    cases.emplace_back("the same with CR LF", testsupport::withCrLf(scene(objects)));
    std::vector<std::string> overrun = meshes(10);
    overrun[4] = mesh("No ref", 4, "");  // its lookup reads on into the next mesh
    cases.emplace_back("a lookup running into the next object", scene(overrun));
    std::vector<std::string> broken = meshes(10);
    broken[6] = mesh("Bad", 6);
    broken[6].replace(broken[6].find("6.5"), 3, "x6");
    broken[8] = mesh("Worse", 8);
    broken[8].replace(broken[8].find("A: 0"), 4, "A: 9");
    cases.emplace_back("two broken meshes", scene(broken));
    std::vector<std::string> noUv = meshes(8);
    noUv[5].replace(noUv[5].find("*MESH_NUMTVERTEX 1"), 18, "*MESH_NUMTVERTEX 0");
    cases.emplace_back("a mesh without texture vertices", scene(noUv));
    const std::string whole = scene(meshes(9));
    cases.emplace_back("cut in the last mesh", whole.substr(0, whole.size() - 200));
    cases.emplace_back("a mesh cut off by the next", scene(meshes(3)) + mesh("Cut", 3).substr(0, 300) + scene(meshes(3)));

    for (const auto& [what, text] : cases) {
        const Outcome alone = read(TextParser::overText(text), 1, 1);
        for (unsigned threads : {2u, 3u})
            for (std::uint64_t segment : {1u, 37u, 400u, 1500u}) {
                SCOPED_TRACE(what + ", " + std::to_string(threads) + " threads, segments of " +
                             std::to_string(segment));
                size_t pieces = 0;
                EXPECT_EQ(alone, read(TextParser::overText(text), threads, segment, &pieces));
                if (segment < 1500) {
                    EXPECT_GT(pieces, 1u);
                }
            }
    }
}

TEST(ParallelRead, ReadsAFileInPiecesAsOneThreadDoes) {
    testsupport::TempDir dir;
    // Over the size from which a file is read in pieces.
    std::string big;
    for (int i = 0; i < 4000; ++i) big += "\t\t\t*MESH_VERTEXNORMAL 0\t0.0000\t0.0000\t1.0000\n";
    std::vector<std::string> objects = meshes(60);
    for (std::string& object : objects) object.insert(object.find("\t\t}\n\t}\n"), big);
    const std::string file = dir.write("big.ase", scene(objects));
    ASSERT_GT(std::filesystem::file_size(file), std::uint64_t{4} << 20);
    const Outcome alone = read(TextParser::openFile(file), 1, 1);
    size_t pieces = 0;
    EXPECT_EQ(alone, read(TextParser::openFileReadingAhead(file), 2, 64 << 10, &pieces));
    EXPECT_GT(pieces, 10u);
}

TEST(ParallelRead, FailsAsForAReadErrorWhenTheFileShrinksMeanwhile) {
    testsupport::TempDir dir;
    std::vector<std::string> objects = meshes(3000);
    const std::string file = dir.write("shrinking.ase", scene(objects) + std::string(3 << 20, ' ') + "\n");
    TextParser parser = TextParser::openFileReadingAhead(file);
    std::filesystem::resize_file(file, 1 << 20);
    EXPECT_EQ("Can't read s.ase! line -1 at -1 in ", read(std::move(parser), 2, 64 << 10).error);
}

TEST(ParallelRead, ReadsTheCorpusAsOneThreadDoes) {
    const std::filesystem::path corpus = PIPELINE_CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    const std::filesystem::path example = std::filesystem::path(PIPELINE_SOURCE_DIR) / "examples" / "vehicle.ase";
    std::vector<std::filesystem::path> files{example};
    for (const auto& entry : std::filesystem::directory_iterator(corpus))
        if (entry.path().extension() == ".ase" || entry.path().extension() == ".ASE") files.push_back(entry.path());
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        const std::string text = testsupport::readFile(path.string());
        EXPECT_EQ(read(TextParser::overText(text), 1, 1), read(TextParser::overText(text), 2, 512));
    }
}

}  // namespace
