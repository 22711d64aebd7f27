#include "modelconv/mesh_lod.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "common/input_error.h"
#include "tests/modelconv/naive_mesh_lod.h"
#include "tests/test_support.h"

namespace {

using modelconv::MeshElement;
using modelconv::MeshLod;
using sceneread::GeometryObject;
using sceneread::Scene;
using sceneread::SceneFace;

GeometryObject object(const std::string& name, std::vector<sceneread::Vec3f> vertices, std::vector<SceneFace> faces) {
    GeometryObject o;
    o.name = name;
    o.matrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    o.rotation = {0, 0, 0, 1};
    o.vertices = std::move(vertices);
    o.faces = std::move(faces);
    return o;
}

SceneFace face(int a, int b, int c, int smoothing = 0, int materialId = 0) {
    SceneFace f;
    f.a = a;
    f.b = b;
    f.c = c;
    f.smoothing = smoothing;
    f.materialId = materialId;
    return f;
}

struct Converted {
    MeshLod lod;
    std::string printed;
};

// The phases as convert runs them, in the object's own frame.
Converted convertFast(const Scene& scene, std::int32_t firstMaterial = 0) {
    const GeometryObject& o = scene.geometryObjects[0];
    testsupport::CapturedOutput out;
    MeshLod lod = modelconv::convertMeshLod(o, modelconv::positionsInFrame(o.vertices, o),
                                            modelconv::materialGroupOf(o, scene, "mesh", 0), firstMaterial, out.file());
    return {std::move(lod), out.text()};
}

Converted convertNaive(const Scene& scene, std::int32_t firstMaterial = 0) {
    const GeometryObject& o = scene.geometryObjects[0];
    testsupport::CapturedOutput out;
    MeshLod lod = naive::convertMeshLod(o, o, scene.materialGroups.at(static_cast<size_t>(o.materialRef)),
                                        firstMaterial, out.file());
    return {std::move(lod), out.text()};
}

// The file bytes of a model holding just this LOD: compares every field the
// writer stores, bit for bit.
std::vector<std::uint8_t> fileBytes(const MeshLod& lod) {
    modelconv::ConvertedModel model;
    model.lodCount = 1;
    MeshElement e;
    e.type = modelconv::ElementType::Mesh;
    e.lods = {lod};
    model.elements.push_back(e);
    return model.bytes();
}

void expectSameAsNaive(const Scene& scene, std::int32_t firstMaterial, const std::string& what) {
    const Converted fast = convertFast(scene, firstMaterial), slow = convertNaive(scene, firstMaterial);
    ASSERT_EQ(slow.printed, fast.printed) << what;
    ASSERT_EQ(fileBytes(slow.lod), fileBytes(fast.lod)) << what;
}

TEST(ConvertMeshLod, TurnsOneTriangleIntoReversedCornersWithItsFaceNormal) {
    Scene scene;
    scene.materialGroups = {{0}};
    scene.geometryObjects.push_back(object("tri", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {face(0, 1, 2)}));
    const Converted c = convertFast(scene);
    const MeshLod& lod = c.lod;
    ASSERT_EQ(3u, lod.vertices.size());
    const float expected[3][3] = {{0, 1, 0}, {1, 0, 0}, {0, 0, 0}};  // corners c, b, a: the y-z exchange mirrors
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(expected[i][0], lod.vertices[static_cast<size_t>(i)].position.x);
        EXPECT_EQ(expected[i][1], lod.vertices[static_cast<size_t>(i)].position.y);
        EXPECT_EQ(expected[i][2], lod.vertices[static_cast<size_t>(i)].position.z);
    }
    EXPECT_EQ((std::vector<std::int32_t>{0, 1, 0, 1, 2, -1}), lod.indexStream);
    for (const modelconv::ModelVertex& v : lod.vertices) {
        EXPECT_EQ(0.0f, v.normal.x);
        EXPECT_EQ(0.0f, v.normal.y);
        EXPECT_EQ(-1.0f, v.normal.z);
        EXPECT_EQ(255, v.colour.r);  // no colour: white
    }
    EXPECT_EQ((std::vector<std::int32_t>{0}), lod.edgeList);
    EXPECT_EQ(".\n", c.printed);
}

TEST(ConvertMeshLod, AveragesSmoothedNormalsByVertexIndexNotByPosition) {
    Scene scene;
    scene.materialGroups = {{0}};
    // Faces 0 and 1 share vertices 1 and 2; face 2 touches vertex 1's position
    // through its own vertex 4.
    scene.geometryObjects.push_back(object("m", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}, {1, 0, 0}, {2, 0, 0}},
                                           {face(0, 1, 2, 1), face(1, 3, 2, 1), face(4, 5, 3, 1)}));
    const Converted converted = convertFast(scene);
    const MeshLod& lod = converted.lod;
    const std::vector<std::int32_t>& s = lod.indexStream;  // material, 3, then c, b, a of each face
    auto normal = [&](size_t at) { return lod.vertices[static_cast<size_t>(s[at])].normal; };
    auto same = [](const sceneread::Vec3f& p, const sceneread::Vec3f& q) { return p.x == q.x && p.y == q.y && p.z == q.z; };
    // Face 0 at vertices 2 and 1: both averaged over faces 0 and 1; at vertex 0: face 0 alone.
    EXPECT_TRUE(same(normal(2), normal(3)));
    EXPECT_FALSE(same(normal(3), normal(4)));
    EXPECT_TRUE(same({0, 0, -1}, normal(4)));
    // Face 2's vertex 4 lies where vertex 1 lies but is another index: not averaged with it.
    EXPECT_TRUE(same(lod.vertices[static_cast<size_t>(s[10])].position, lod.vertices[static_cast<size_t>(s[3])].position));
    EXPECT_NE(s[10], s[3]);
    EXPECT_FALSE(same(normal(10), normal(3)));
}

TEST(ConvertMeshLod, MergesCornersThatDifferOnlyInColourKeepingTheLaterColour) {
    Scene scene;
    scene.materialGroups = {{0}};
    GeometryObject o = object("m", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {face(0, 1, 2, 1), face(0, 1, 2, 1)});
    o.vertexColours = {{10, 20, 30, 255}, {40, 50, 60, 255}};
    o.faces[0].colourA = o.faces[0].colourB = o.faces[0].colourC = 0;
    o.faces[1].colourA = o.faces[1].colourB = o.faces[1].colourC = 1;
    scene.geometryObjects.push_back(o);
    const Converted converted = convertFast(scene);
    const MeshLod& lod = converted.lod;
    ASSERT_EQ(3u, lod.vertices.size());
    EXPECT_EQ(40, lod.vertices[0].colour.r);
}

TEST(ConvertMeshLod, GroupsFacesByModelWideMaterialAndMapsUnknownIdsToTheFirst) {
    Scene scene;
    scene.materialGroups = {{0}, {2, 0, 1}};
    GeometryObject o = object("m", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                              {face(0, 1, 2, 0, 0), face(0, 1, 2, 0, 1), face(0, 1, 2, 0, 2), face(0, 1, 2, 0, 7),
                               face(0, 1, 2, 0, -1)});
    o.materialRef = 1;
    scene.geometryObjects.push_back(o);
    const Converted converted = convertFast(scene, 10);
    const MeshLod& lod = converted.lod;
    // Ids 0,1,2,7,-1 become 12,10,11,12,12 and sort into groups 10, 11, 12.
    EXPECT_EQ((std::vector<std::int32_t>{10, 1, 0, 1, 2, 11, 1, 0, 1, 2, 12, 3, 0, 1, 2, 0, 1, 2, 0, 1, 2, -1}),
              lod.indexStream);
}

TEST(ConvertMeshLod, StoresEachFlaggedEdgeOnceAndPrintsADotEveryFiftyFaces) {
    Scene scene;
    scene.materialGroups = {{0}};
    std::vector<SceneFace> faces;
    for (int i = 0; i < 120; ++i) {
        SceneFace f = face(0, 1, 2);
        f.ab = f.bc = f.ca = 1;
        faces.push_back(f);
    }
    scene.geometryObjects.push_back(object("m", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, faces));
    const Converted c = convertFast(scene);
    EXPECT_EQ((std::vector<std::int32_t>{3, 0, 1, 1, 2, 2, 0}), c.lod.edgeList);
    EXPECT_EQ("...\n", c.printed);
}

TEST(MaterialGroupOf, RejectsAMaterialReferenceWithoutMaterials) {
    Scene scene;
    scene.materialGroups = {{0}, {}};
    scene.geometryObjects.push_back(object("m", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {face(0, 1, 2)}));
    for (int ref : {1, 2, -1}) {
        scene.geometryObjects[0].materialRef = ref;
        try {
            modelconv::materialGroupOf(scene.geometryObjects[0], scene, "hull", 3);
            ADD_FAILURE() << ref;
        } catch (const common::InputError& e) {
            EXPECT_EQ("Mesh hull refers to material " + std::to_string(ref) + ", which has no materials in lod 3!",
                      std::string(e.what()));
        }
    }
}

TEST(SelectionSortOrder, ReproducesTheUnstableSelectionSort) {
    std::mt19937 random(11);
    // Few distinct ids (counted, their phases scanned), ids over the whole
    // range (sorted), and one common id among rare ones (whose phases sort
    // their positions).
    for (int trial = 0; trial < 900; ++trial) {
        std::vector<std::int32_t> ids(random() % 200);
        const int distinct = 1 + static_cast<int>(random() % 6);
        for (std::int32_t& id : ids) {
            if (trial % 3 == 0) id = static_cast<std::int32_t>(random() % static_cast<unsigned>(distinct)) - 1;
            if (trial % 3 == 1) id = static_cast<std::int32_t>(random());
            if (trial % 3 == 2) id = random() % 20 == 0 ? static_cast<std::int32_t>(random() % 1000) : 500;
        }
        EXPECT_EQ(naive::selectionSortOrder(ids), modelconv::selectionSortOrder(ids)) << "trial " << trial;
    }
}

// Random meshes on a small integer grid, so that repeated positions, shared
// and degenerate faces, -0.0 and coinciding normals are common.
Scene randomScene(std::mt19937& random) {
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto coordinate = [&]() -> float {
        const int v = pick(7) - 3;
        return v == 0 && pick(2) == 0 ? -0.0f : static_cast<float>(v) * 0.5f;
    };
    Scene scene;
    scene.materialGroups = {{0}, {1, 2, 3}, {4, 1}};
    GeometryObject o;
    o.name = "random";
    // Identity, a right-angle turn, or an arbitrary rotation with an offset.
    const int frame = pick(3);
    const double angle = frame == 0 ? 0 : frame == 1 ? std::numbers::pi / 2 : 0.3 + pick(100) * 0.01;
    const float c = static_cast<float>(std::cos(angle)), s = static_cast<float>(std::sin(angle));
    o.matrix = {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
    o.position = frame == 2 ? sceneread::Vec3f{0.25f, -1.5f, 2} : sceneread::Vec3f{};
    const int vertexCount = 1 + pick(25);
    for (int i = 0; i < vertexCount; ++i) o.vertices.push_back({coordinate(), coordinate(), coordinate()});
    const int uvCount = pick(4) == 0 ? 0 : 1 + pick(8);
    for (int i = 0; i < uvCount; ++i) o.textureVertices.push_back({coordinate(), coordinate()});
    const int colourCount = pick(3) == 0 ? 0 : 1 + pick(4);
    for (int i = 0; i < colourCount; ++i)
        o.vertexColours.push_back({static_cast<std::uint8_t>(pick(256)), static_cast<std::uint8_t>(pick(256)),
                                   static_cast<std::uint8_t>(pick(256)), 255});
    const int faceCount = 1 + pick(70);
    const int smoothingValues[] = {0, 1, 2, 3, 0x40000000, -1};
    for (int i = 0; i < faceCount; ++i) {
        SceneFace f = face(pick(vertexCount), pick(vertexCount), pick(vertexCount),
                           smoothingValues[pick(pick(2) == 0 ? 2 : 6)], pick(6) - 1);
        f.ab = pick(3) == 0;
        f.bc = pick(2);
        f.ca = pick(4) == 0 ? 7 : 0;
        if (i < uvCount * 3) {
            f.ta = pick(uvCount + 2) - 1;
            f.tb = pick(uvCount + 2) - 1;
            f.tc = pick(uvCount + 2) - 1;
        }
        if (colourCount > 0 && pick(2) == 0) {
            f.colourA = pick(colourCount + 1) - 1;
            f.colourB = pick(colourCount + 1) - 1;
            f.colourC = pick(colourCount + 1) - 1;
        }
        o.faces.push_back(f);
    }
    o.materialRef = pick(3);
    scene.geometryObjects.push_back(o);
    return scene;
}

TEST(ConvertMeshLod, MatchesTheLiteralAlgorithmByteForByteOnRandomMeshes) {
    std::mt19937 random(20261207);
    for (int trial = 0; trial < 3000; ++trial) {
        const Scene scene = randomScene(random);
        expectSameAsNaive(scene, trial % 5, "trial " + std::to_string(trial));
        if (HasFatalFailure()) return;
    }
}

TEST(ConvertMeshLod, MatchesTheLiteralAlgorithmOnNanPositionsAndLargeMeshes) {
    std::mt19937 random(5);
    Scene scene = randomScene(random);
    GeometryObject& o = scene.geometryObjects[0];
    o.vertices[0].y = std::nanf("");
    // A larger grid mesh with many shared vertices and one material per row.
    for (int i = 0; i < 400; ++i) o.vertices.push_back({static_cast<float>(i % 20), 0, static_cast<float>(i / 20)});
    for (int row = 0; row < 19; ++row)
        for (int col = 0; col < 19; ++col) {
            const int a = 1 + static_cast<int>(o.vertices.size()) - 400 - 1 + row * 20 + col;
            SceneFace f = face(a, a + 1, a + 21, row % 3 == 0 ? 0 : 1, row % 4);
            f.ab = f.bc = 1;
            o.faces.push_back(f);
            o.faces.push_back(face(a + 21, a + 20, a, 1, row % 4));
        }
    expectSameAsNaive(scene, 0, "grid");
}

// An export's layout: a grid whose material changes every three faces, so
// the written order sweeps it once per material while vertex classes and
// edges are filed in file order; flat and smoothed patches, a texture seam,
// and vertex colours that differ between the corners of one vertex (the
// last corner written gives the vertex its colour).
TEST(ConvertMeshLod, MatchesTheLiteralAlgorithmOnAGridWithInterleavedMaterials) {
    Scene scene;
    scene.materialGroups = {{0, 1, 2, 3}};
    GeometryObject o = object("grid", {}, {});
    const int w = 24, h = 20;
    for (int j = 0; j <= h; ++j)
        for (int i = 0; i <= w; ++i) {
            o.vertices.push_back({static_cast<float>(i), static_cast<float>((i * j) % 3) * 0.5f, static_cast<float>(j)});
            o.textureVertices.push_back({static_cast<float>(i) / w, static_cast<float>(j) / h});
        }
    for (int j = 0; j <= h; ++j) o.textureVertices.push_back({0.25f, static_cast<float>(j) / h});  // the seam
    for (int c = 0; c < 5; ++c)
        o.vertexColours.push_back({static_cast<std::uint8_t>(40 * c), 7, static_cast<std::uint8_t>(200 - c), 255});
    auto at = [&](int i, int j) { return j * (w + 1) + i; };
    // Quads right of the seam give its column their own texture vertices.
    auto uv = [&](int i, int j, bool right) { return i == w / 2 && right ? (w + 1) * (h + 1) + j : at(i, j); };
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const int smoothing = ((i / 6) + (j / 6)) % 3;  // 0: flat
            const int quad[2][3] = {{at(i, j), at(i + 1, j), at(i + 1, j + 1)}, {at(i + 1, j + 1), at(i, j + 1), at(i, j)}};
            const bool r = i >= w / 2;
            const int uvs[2][3] = {{uv(i, j, r), uv(i + 1, j, r), uv(i + 1, j + 1, r)},
                                   {uv(i + 1, j + 1, r), uv(i, j + 1, r), uv(i, j, r)}};
            for (int t = 0; t < 2; ++t) {
                const int n = static_cast<int>(o.faces.size());
                SceneFace f = face(quad[t][0], quad[t][1], quad[t][2], smoothing, (n / 3) % 4);
                f.ab = f.bc = 1;
                f.ta = uvs[t][0];
                f.tb = uvs[t][1];
                f.tc = uvs[t][2];
                f.colourA = n % 5;
                f.colourB = (n / 7) % 5;
                f.colourC = -1 + (n % 3 == 0);
                o.faces.push_back(f);
            }
        }
    scene.geometryObjects.push_back(o);
    expectSameAsNaive(scene, 2, "grid");
}

// A fan (one vertex in every face, every edge flagged) and a collapsed mesh
// (hundreds of distinct corners at one position) push the per-position and
// per-vertex lists past their length limit into their hash tables.
TEST(ConvertMeshLod, MatchesTheLiteralAlgorithmOnFansAndCollapsedMeshes) {
    std::mt19937 random(17);
    for (int shape = 0; shape < 2; ++shape) {
        Scene scene;
        scene.materialGroups = {{0, 1}};
        GeometryObject o = object("m", {}, {});
        const int n = 300;
        o.vertices.push_back({0, 0, 0});
        for (int i = 0; i < n; ++i) {
            const double angle = 2 * std::numbers::pi * i / n;
            o.vertices.push_back(shape == 0 ? sceneread::Vec3f{static_cast<float>(std::cos(angle)), 0,
                                                                static_cast<float>(std::sin(angle))}
                                            : sceneread::Vec3f{0, 0, 0});
            o.textureVertices.push_back({static_cast<float>(i % 40), static_cast<float>(i % 7)});
        }
        for (int i = 0; i < n; ++i) {
            SceneFace f = face(0, 1 + i, 1 + (i + 1) % n, static_cast<int>(random() % 3), static_cast<int>(random() % 2));
            f.ab = f.bc = f.ca = 1;
            f.ta = 0;  // one centre vertex per smoothing value: a vertex with hundreds of edges
            f.tb = i;
            f.tc = (i + 1) % n;
            o.faces.push_back(f);
        }
        scene.geometryObjects.push_back(o);
        expectSameAsNaive(scene, 0, "shape " + std::to_string(shape));
        EXPECT_GT(convertFast(scene).lod.vertices.size(), 40u) << "shape " << shape;
    }
}

}  // namespace
