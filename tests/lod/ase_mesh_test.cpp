#include <gtest/gtest.h>

#include <string>

#include "common/input_error.h"
#include "lod/ase_mesh.h"
#include "lod/mesh_writer.h"
#include "lod/simplify.h"
#include "tests/lod/grid_export.h"
#include "tests/test_support.h"

namespace {

const std::string kQuad =
    "*3DSMAX_ASCIIEXPORT\t200\n"                                                           // 1
    "*GEOMOBJECT {\n"                                                                      // 2
    "\t*NODE_NAME \"Quad\"\n"                                                              // 3
    "\t*MESH {\n"                                                                          // 4
    "\t\t*MESH_NUMVERTEX 4\n"                                                              // 5
    "\t\t*MESH_NUMFACES 2\n"                                                               // 6
    "\t\t*MESH_VERTEX_LIST {\n"                                                            // 7
    "\t\t\t*MESH_VERTEX    0\t0.0\t0.0\t0.0\n"                                             // 8
    "\t\t\t*MESH_VERTEX    1\t1.0\t0.0\t0.0\n"                                             // 9
    "\t\t\t*MESH_VERTEX    2\t1.0\t1.0\t0.0\n"                                             // 10
    "\t\t\t*MESH_VERTEX    3\t0.0\t1.0\t0.0\n"                                             // 11
    "\t\t}\n"                                                                              // 12
    "\t\t*MESH_FACE_LIST {\n"                                                              // 13
    "\t\t\t*MESH_FACE 0:  A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\n"  // 14
    "\t\t\t*MESH_FACE 1:  A: 2 B: 3 C: 0 AB: 1 BC: 1 CA: 0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\n"  // 15
    "\t\t}\n"                                                                              // 16
    "\t\t*MESH_NUMTVERTEX 2\n"                                                             // 17
    "\t\t*MESH_TVERTLIST {\n"                                                              // 18
    "\t\t\t*MESH_TVERT 0\t0.0\t0.0\t0.0\n"                                                 // 19
    "\t\t\t*MESH_TVERT 1\t1.0\t0.0\t0.0\n"                                                 // 20
    "\t\t}\n"                                                                              // 21
    "\t\t*MESH_NUMTVFACES 1\n"                                                             // 22
    "\t\t*MESH_TFACELIST {\n"                                                              // 23
    "\t\t\t*MESH_TFACE 0\t0\t1\t7\n"                                                       // 24
    "\t\t}\n"                                                                              // 25
    "\t\t*MESH_NUMCVERTEX 1\n"                                                             // 26
    "\t\t*MESH_CVERTLIST {\n"                                                              // 27
    "\t\t\t*MESH_VERTCOL 0\t1.0\t1.0\t1.0\n"                                               // 28
    "\t\t}\n"                                                                              // 29
    "\t\t*MESH_NUMCVFACES 1\n"                                                             // 30
    "\t\t*MESH_CFACELIST {\n"                                                              // 31
    "\t\t\t*MESH_CFACE 0\t0\t-1\t0\n"                                                      // 32
    "\t\t}\n"                                                                              // 33
    "\t}\n"                                                                                // 34
    "}\n";                                                                                 // 35

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at == std::string::npos) ADD_FAILURE() << "no " << from;
    return text.replace(at, from.size(), to);
}

TEST(ReadAseFile, FillsMissingTextureFacesWithVertexZeroAndMissingColoursWithNone) {
    const lod::AseFile file = lod::readAseFile(kQuad, "quad.ase");
    ASSERT_EQ(1u, file.meshes.size());
    const lod::MeshBlock& mesh = file.meshes[0];
    EXPECT_EQ("Quad", mesh.name);
    ASSERT_EQ(2u, mesh.textures[0].faces.size());
    EXPECT_EQ((std::array<std::uint32_t, 3>{0, 1, 0}), mesh.textures[0].faces[0]);  // 7 lies outside the list
    EXPECT_EQ((std::array<std::uint32_t, 3>{0, 0, 0}), mesh.textures[0].faces[1]);
    EXPECT_EQ((std::array<std::uint32_t, 3>{0, lod::kNoIndex, 0}), mesh.colours.faces[0]);
    EXPECT_EQ((std::array<std::uint32_t, 3>{lod::kNoIndex, lod::kNoIndex, lod::kNoIndex}), mesh.colours.faces[1]);
    EXPECT_EQ("*MESH_SMOOTHING 1 \t*MESH_MTLID 0", mesh.faces[1].tail);
}

struct BadMesh {
    std::string from, to, message;
    long line;
};

class ReadAseFileRejects : public ::testing::TestWithParam<BadMesh> {};

TEST_P(ReadAseFileRejects, NamingTheLineAndTheMesh) {
    const BadMesh& bad = GetParam();
    try {
        lod::readAseFile(replaced(kQuad, bad.from, bad.to), "quad.ase");
        FAIL() << "accepted";
    } catch (const common::InputError& error) {
        EXPECT_EQ(bad.message, error.what());
        EXPECT_EQ(bad.line, error.line);
        EXPECT_EQ("quad.ase", error.file);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ReadAseFileRejects, ::testing::Values(
    BadMesh{"NUMVERTEX 4", "NUMVERTEX 5", "*MESH_NUMVERTEX 5 does not match the 4 entries of its *MESH_VERTEX_LIST", 5},
    BadMesh{"NUMFACES 2", "NUMFACES -2", "Wrong *MESH_NUMFACES value: -2", 6},
    BadMesh{"NUMTVFACES 1", "NUMTVFACES 2", "*MESH_NUMTVFACES 2 does not match the 1 entries of its *MESH_TFACELIST", 22},
    BadMesh{"1.0\t1.0\t0.0", "1.0\tone\t0.0", "Wrong numbers in *MESH_VERTEX line", 10},
    BadMesh{"1.0\t1.0\t0.0", "1.0\tnan\t0.0", "Number out of range in *MESH_VERTEX line", 10},
    BadMesh{"B: 3", "B: 4", "Vertex index out of range in *MESH_FACE line", 15},
    BadMesh{"A: 2", "X: 2", "Corner label missing in *MESH_FACE line", 15},
    BadMesh{"0\t-1\t0", "0\t1\t0", "Colour index out of range in *MESH_CFACE line", 32},
    BadMesh{"\t\t\t*MESH_TFACE 0\t0\t1\t7\n", "\t\t\t*MESH_TFACE 0\t0\t1\t7\n\t\t\t*MESH_TFACE 1\t0\t1\t1\n\t\t\t*MESH_TFACE 2\t0\t1\t1\n",
            "more *MESH_TFACE entries than the mesh has faces", 26},
    BadMesh{"\t\t\t*MESH_VERTEX    3", "\t\t\t*MESH_VERTEXNORMAL 3", "*MESH_VERTEX_LIST holds a line that is no *MESH_VERTEX entry", 11},
    BadMesh{"\t}\n}\n", "", "the file ends inside the *MESH block of Quad", 33},
    BadMesh{"*GEOMOBJECT", "*HELPEROBJECT", "no mesh in the file: it holds no *GEOMOBJECT with a *MESH block", 35}));

// Read, simplify and write again: whatever a byte or a cut does to the
// example, the outcome is an output that reads back, or an InputError.
TEST(ReadAseFile, TheExampleCutAtEveryLineOrWithAnyByteChangedReadsOrFailsWithAnInputError) {
    const std::string example = testsupport::readFile(PIPELINE_SOURCE_DIR "/examples/vehicle.ase");
    std::vector<std::string> inputs;
    for (size_t at = example.find('\n'); at != std::string::npos; at = example.find('\n', at + 1))
        inputs.push_back(example.substr(0, at + 1));
    const char replacements[] = {'9', '-', '{', '}', '\n', ' ', '*', '\0'};
    for (size_t i = 0; i < example.size(); ++i) {
        std::string changed = example;
        changed[i] = replacements[i % sizeof replacements];
        inputs.push_back(std::move(changed));
    }
    size_t read = 0;
    for (const std::string& input : inputs) {
        try {
            const lod::AseFile file = lod::readAseFile(input, "vehicle.ase");
            std::vector<lod::SimplifiedMesh> meshes;
            for (const lod::MeshBlock& mesh : file.meshes)
                meshes.push_back(lod::simplifyMesh(mesh, lod::prepareMesh(mesh), {0.3, {}}));
            const std::string output = lod::writeFile(file, meshes);
            EXPECT_EQ(file.meshes.size(), lod::readAseFile(output, "out.ase").meshes.size());
            ++read;
        } catch (const common::InputError&) {
        }
    }
    EXPECT_GT(read, inputs.size() / 2);
}

TEST(WriteFile, RenumbersAMappingChannelLikeTheMeshOwnChannel) {
    // The mesh's texture lists again as mapping channel 2.
    std::string text = testlod::gridExport({});
    const size_t from = text.find("\t\t*MESH_NUMTVERTEX"), to = text.find("\t\t*MESH_NUMCVERTEX");
    text.insert(text.find("\t\t*MESH_NORMALS"), "\t\t*MESH_MAPPINGCHANNEL 2 {\n" + text.substr(from, to - from) + "\t\t}\n");
    const lod::AseFile file = lod::readAseFile(text, "grid.ase");
    const lod::MeshBlock& mesh = file.meshes.at(0);
    const std::string output = lod::writeFile(file, {lod::simplifyMesh(mesh, lod::prepareMesh(mesh), {0.3, {}})});
    const lod::AseFile read = lod::readAseFile(output, "out.ase");
    const lod::MeshBlock& out = read.meshes.at(0);
    ASSERT_EQ(2u, out.textures.size());
    EXPECT_LT(out.faces.size(), mesh.faces.size() / 2);
    EXPECT_EQ(out.textures[0].faces, out.textures[1].faces);
    EXPECT_EQ(out.textures[0].vertexLines.size(), out.textures[1].vertexLines.size());
}

}  // namespace
