// What a simplified mesh keeps, checked by reading source and output with
// DKS2VKM's own scene reader (independent of aselod's reader and writer).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "lod/ase_mesh.h"
#include "lod/mesh_writer.h"
#include "lod/simplify.h"
#include "sceneread/scene_reader.h"
#include "tests/lod/grid_export.h"
#include "tests/test_support.h"

namespace {

using sceneread::GeometryObject;
using sceneread::SceneFace;

std::string simplified(const std::string& text, const lod::SimplifyOptions& options, double* error = nullptr) {
    const lod::AseFile file = lod::readAseFile(text, "grid.ase");
    std::vector<lod::SimplifiedMesh> meshes;
    for (const lod::MeshBlock& mesh : file.meshes) meshes.push_back(simplifyMesh(mesh, lod::prepareMesh(mesh), options));
    if (error) *error = meshes.at(0).error;
    return lod::writeFile(file, meshes);
}

sceneread::Scene load(const std::string& text) {
    sceneread::Scene scene;
    sceneread::TextParser parser = sceneread::TextParser::overText(text);
    testsupport::CapturedOutput out;
    sceneread::loadScene(scene, parser, "grid.ase", out.file());
    return scene;
}

using Position = std::tuple<float, float, float>;
Position at(const GeometryObject& o, std::int32_t v) {
    const auto& p = o.vertices.at(static_cast<size_t>(v));
    return {p.x, p.y, p.z};
}

// A corner as the source has it: position, class and the texture and colour
// entries (by value, unique in the generated export).
using Corner = std::tuple<Position, int, int, std::pair<float, float>, std::tuple<int, int, int>>;
std::vector<Corner> corners(const GeometryObject& o, const SceneFace& f) {
    const std::int32_t v[3] = {f.a, f.b, f.c}, t[3] = {f.ta, f.tb, f.tc}, c[3] = {f.colourA, f.colourB, f.colourC};
    std::vector<Corner> result;
    for (int k = 0; k < 3; ++k) {
        const auto& uv = o.textureVertices.at(static_cast<size_t>(t[k]));
        std::tuple<int, int, int> rgb{-1, -1, -1};
        if (c[k] >= 0) {
            const auto& col = o.vertexColours.at(static_cast<size_t>(c[k]));
            rgb = {col.r, col.g, col.b};
        }
        result.emplace_back(at(o, v[k]), f.materialId, f.smoothing, std::pair(uv.u, uv.v), rgb);
    }
    return result;
}

// Edges between two positions with the classes (material, smoothing) of the
// faces on each side; for the source only borders and class borders count.
using Edge = std::pair<Position, Position>;
std::map<Edge, std::multiset<std::pair<int, int>>> edgeClasses(const GeometryObject& o) {
    std::map<Edge, std::multiset<std::pair<int, int>>> edges;
    for (const SceneFace& f : o.faces) {
        const std::int32_t v[3] = {f.a, f.b, f.c};
        for (int k = 0; k < 3; ++k) {
            Position p = at(o, v[k]), q = at(o, v[(k + 1) % 3]);
            edges[{std::min(p, q), std::max(p, q)}].insert({f.materialId, f.smoothing});
        }
    }
    return edges;
}

struct Kept {
    sceneread::Scene source, output;
    const GeometryObject& in() const { return source.geometryObjects.at(0); }
    const GeometryObject& out() const { return output.geometryObjects.at(0); }
};

class Simplified : public ::testing::TestWithParam<double> {
protected:
    static Kept run(const testlod::GridSpec& spec, double ratio) {
        const std::string text = testlod::gridExport(spec);
        return {load(text), load(simplified(text, {ratio, {}}))};
    }
};

TEST_P(Simplified, ReachesAboutItsTargetWithWellFormedLists) {
    const Kept k = run({}, GetParam());
    const size_t target = static_cast<size_t>(GetParam() * double(k.in().faces.size()));
    EXPECT_LE(k.out().faces.size(), target * 13 / 10);
    EXPECT_GE(k.out().faces.size(), target * 8 / 10);
    for (const SceneFace& f : k.out().faces)
        for (std::int32_t t : {f.ta, f.tb, f.tc}) EXPECT_LT(static_cast<size_t>(t), k.out().textureVertices.size());
}

TEST_P(Simplified, EveryCornerIsASourceCornerOfItsClassAndFacesStayInOneTextureAndColourIsland) {
    const Kept k = run({}, GetParam());
    std::set<Corner> source;
    std::set<int> sourceMaterials, outputMaterials;
    for (const SceneFace& f : k.in().faces) {
        for (const Corner& c : corners(k.in(), f)) source.insert(c);
        sourceMaterials.insert(f.materialId);
    }
    for (const SceneFace& f : k.out().faces) {
        const std::vector<Corner> cs = corners(k.out(), f);
        std::set<bool> textureIsland, colourIsland;
        for (const Corner& c : cs) {
            EXPECT_TRUE(source.contains(c)) << "a corner with attributes no source corner of its class has";
            // Right of the seam and above the middle row (the reader turns
            // the file's y into z), and the seams' own copies there.
            const auto [x, height, y] = std::get<0>(c);
            const float middle = static_cast<float>(testlod::GridSpec{}.side / 2);
            textureIsland.insert(x > middle || std::get<3>(c).first >= 10);
            colourIsland.insert(y > middle || std::get<2>(std::get<4>(c)) == 250);
        }
        EXPECT_EQ(1u, textureIsland.size());
        EXPECT_EQ(1u, colourIsland.size());
        outputMaterials.insert(f.materialId);
    }
    EXPECT_EQ(sourceMaterials, outputMaterials);
}

TEST_P(Simplified, OpenBordersAndMaterialAndSmoothingBordersKeepEveryEdge) {
    const Kept k = run({}, GetParam());
    const auto output = edgeClasses(k.out());
    size_t checked = 0;
    for (const auto& [edge, classes] : edgeClasses(k.in())) {
        if (classes.size() == 2 && *classes.begin() == *classes.rbegin()) continue;
        ++checked;
        const auto found = output.find(edge);
        ASSERT_NE(output.end(), found) << "a border edge was lost";
        EXPECT_EQ(classes, found->second);
    }
    EXPECT_GT(checked, 200u);
}

TEST_P(Simplified, KeptEdgesKeepTheirVisibilityFlags) {
    const Kept k = run({}, GetParam());
    std::map<Edge, std::int32_t> flags;
    for (const SceneFace& f : k.in().faces) {
        const std::int32_t v[3] = {f.a, f.b, f.c}, e[3] = {f.ab, f.bc, f.ca};
        for (int i = 0; i < 3; ++i) flags[{at(k.in(), v[i]), at(k.in(), v[(i + 1) % 3])}] = e[i];
    }
    size_t kept = 0, invisible = 0;
    for (const SceneFace& f : k.out().faces) {
        const std::int32_t v[3] = {f.a, f.b, f.c}, e[3] = {f.ab, f.bc, f.ca};
        for (int i = 0; i < 3; ++i) {
            const auto found = flags.find({at(k.out(), v[i]), at(k.out(), v[(i + 1) % 3])});
            if (found == flags.end()) continue;
            ++kept;
            invisible += found->second == 0;
            EXPECT_EQ(found->second, e[i]);
        }
    }
    EXPECT_GT(invisible, 10u);
    EXPECT_GT(kept, invisible);
}

INSTANTIATE_TEST_SUITE_P(Ratios, Simplified, ::testing::Values(0.5, 0.25));

// Removes every "*MESH {" block (to its closing brace).
std::string withoutMeshBlocks(const std::string& text) {
    std::string result;
    int depth = -1;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
        const std::string line = text.substr(at, end - at);
        if (depth < 0 && line.find("*MESH {") != std::string::npos) depth = 0;
        if (depth >= 0) {
            depth += line.find('{') != std::string::npos;
            depth -= line.find('}') != std::string::npos;
            if (depth == 0) depth = -1;
        } else {
            result += line;
        }
        at = end;
    }
    return result;
}

TEST(SimplifiedFile, EverythingOutsideTheMeshBlocksIsCopiedAndNormalsMatchTheFaces) {
    for (const std::string& text : {testlod::gridExport({}), testsupport::readFile(PIPELINE_SOURCE_DIR "/examples/vehicle.ase"),
                                    testsupport::withCrLf(testlod::gridExport({.colours = false}))}) {
        const std::string output = simplified(text, {0.3, {}});
        EXPECT_EQ(withoutMeshBlocks(text), withoutMeshBlocks(output));
        const sceneread::Scene scene = load(output);
        size_t faces = 0, normals = 0;
        for (const GeometryObject& o : scene.geometryObjects) faces += o.faces.size();
        for (size_t at = output.find("*MESH_FACENORMAL"); at != std::string::npos; at = output.find("*MESH_FACENORMAL", at + 1))
            ++normals;
        EXPECT_EQ(faces, normals);
    }
}

TEST(SimplifiedFile, AnErrorBoundKeepsMoreTrianglesAndIsHonoured) {
    const std::string text = testlod::gridExport({.side = 32});
    double free = 0, bounded = 0;
    const size_t unbounded = load(simplified(text, {0.1, {}}, &free)).geometryObjects[0].faces.size();
    const size_t limited = load(simplified(text, {0.1, 0.002}, &bounded)).geometryObjects[0].faces.size();
    EXPECT_GT(free, 0.002);
    EXPECT_LE(bounded, 0.002);
    EXPECT_GT(limited, unbounded);
}

}  // namespace
