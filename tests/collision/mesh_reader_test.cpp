#include "collision/mesh_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "common/input_error.h"
#include "tests/collision/ase_text.h"
#include "tests/test_support.h"

namespace {

using collision::AseLineReader;
using collision::Brush;

struct Outcome {
    std::string printed;
    std::string error;  // empty when the mesh was read
    long line = -1;
    Brush brush;
};

Outcome readFirst(const std::string& text, std::int32_t version = 0x200) {
    AseLineReader reader(text);
    collision::BrushBuilder builder;
    testsupport::CapturedOutput out;
    Outcome outcome;
    try {
        outcome.brush = collision::readBrush(reader, version, builder, out.file());
    } catch (const common::InputError& e) {
        outcome.error = e.what();
        outcome.line = e.line;
    }
    outcome.printed = out.text();
    return outcome;
}

long lineOf(const std::string& text, const std::string& piece) {
    return 1 + static_cast<long>(std::count(text.begin(), text.begin() + static_cast<long>(text.find(piece)), '\n'));
}

long lineCount(const std::string& text) { return static_cast<long>(std::count(text.begin(), text.end(), '\n')); }

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

const std::string kBox = asetext::sceneText({asetext::box("Box01", {-10, -10, 0}, {10, 10, 20})});

TEST(MeshReader, ReportsEachBadMeshWithItsMessageAndLine) {
    struct Case {
        std::string text;
        std::string message;
        long line;
    };
    const std::string noPos = replaced(kBox, "\t\t*TM_POS 0\t0\t0\n", "");
    const std::string shortList = replaced(kBox, "*MESH_NUMVERTEX 8", "*MESH_NUMVERTEX 9");
    // "C:" is also found inside "BC:", so both must go.
    const std::string noC = replaced(kBox, "C:    3 AB:    1 BC:", "c:    3 AB:    1 Bc:");
    const std::string outside = replaced(kBox, "B:    1 C:    0", "B:    8 C:    0");
    const std::string negative = replaced(kBox, "A:    4 B:    5", "A:    -1 B:    5");
    const Case cases[] = {
        {noPos, "Error in ASE file! *TM_POS expected!", lineCount(noPos)},
        {"*GEOMOBJECT {\n}\n", "Error in ASE file! *NODE_NAME expected!", 2},
        {replaced(kBox, "*TM_ROW1 0\t1\t0", "*TM_ROW1 0\tx\t0"), "Error in ASE file! Wrong numbers in *TM_ROW1 line!",
         lineOf(kBox, "*TM_ROW1")},
        {replaced(kBox, "*MESH_VERTEX 5\t10\t-10\t20", "*MESH_VERTEX 5\t10\t-10"),
         "Error in ASE file! Wrong numbers in *MESH_VERTEX line!", lineOf(kBox, "*MESH_VERTEX 5")},
        // A count beyond the list runs into the normals, which are no vertices.
        {shortList, "Error in ASE file! Wrong numbers in *MESH_VERTEX line!", lineOf(shortList, "*MESH_VERTEXNORMAL")},
        {replaced(kBox, "*MESH_NUMVERTEX 8", "*MESH_NUMVERTEX -8"), "Error in ASE file! Wrong *MESH_NUMVERTEX value!",
         lineOf(kBox, "*MESH_NUMVERTEX")},
        {replaced(kBox, "*MESH_NUMFACES 12", "*MESH_NUMFACES 99999999999"),
         "Error in ASE file! Wrong *MESH_NUMFACES value!", lineOf(kBox, "*MESH_NUMFACES")},
        {noC, "Error in ASE file! Corner label missing in *MESH_FACE line!", lineOf(noC, "c:    3")},
        {outside, "Error in ASE file! Vertex index out of range in *MESH_FACE line!", lineOf(outside, "B:    8")},
        {negative, "Error in ASE file! Vertex index out of range in *MESH_FACE line!", lineOf(negative, "A:    -1")},
        {replaced(kBox, "*MESH_VERTEX 5\t10\t-10\t20", "*MESH_VERTEX 5\t10\tnan\t20"),
         "Error in ASE file! Number out of range in *MESH_VERTEX line!", lineOf(kBox, "*MESH_VERTEX 5")},
        {replaced(kBox, "*MESH_VERTEX 5\t10\t-10\t20", "*MESH_VERTEX 5\t10\t-10\t1e39"),
         "Error in ASE file! Number out of range in *MESH_VERTEX line!", lineOf(kBox, "*MESH_VERTEX 5")},
        {replaced(kBox, "*TM_ROW1 0\t1\t0", "*TM_ROW1 0\tinf\t0"), "Error in ASE file! Number out of range in *TM_ROW1 line!",
         lineOf(kBox, "*TM_ROW1")},
    };
    for (const Case& c : cases) {
        const Outcome o = readFirst(c.text);
        EXPECT_EQ(o.error, c.message);
        EXPECT_EQ(o.line, c.line) << c.message;
    }
    // The mesh name is out before its lists are read, with no line feed.
    EXPECT_EQ(readFirst(outside).printed, "Mesh: Box01");
    EXPECT_EQ(readFirst(noPos).printed, "");
}

TEST(MeshReader, KeepsBrushesInTheNodeFrameFromVersion200AndInSceneCoordinatesBelow) {
    // A box turned 90 degrees about the ASE z axis and moved to (5, 6, 7).
    asetext::Mesh local = asetext::box("Turned", {-1, -2, -3}, {1, 2, 3});
    asetext::Mesh placed = local;
    placed.frame = {{{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {5, 6, 7}}};
    for (auto& v : placed.vertices) v = {-v[1] + 5, v[0] + 6, v[2] + 7};
    const std::string text = asetext::sceneText({placed});

    const Brush own = readFirst(text, 0x200).brush;
    const Brush scene = readFirst(text, 0x1FF).brush;
    ASSERT_EQ(own.vertices.size(), 8u);
    ASSERT_EQ(scene.vertices.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(own.vertices[i].x, local.vertices[i][0]);
        EXPECT_EQ(own.vertices[i].y, local.vertices[i][2]);
        EXPECT_EQ(own.vertices[i].z, local.vertices[i][1]);
        EXPECT_EQ(scene.vertices[i].x, placed.vertices[i][0]);
        EXPECT_EQ(scene.vertices[i].y, placed.vertices[i][2]);
        EXPECT_EQ(scene.vertices[i].z, placed.vertices[i][1]);
    }
    EXPECT_EQ(own.planes.size(), 6u);
    EXPECT_EQ(scene.planes.size(), 6u);
}

TEST(MeshReader, ReadsMeshesInFileOrderAndCountsThemByTheirVertexLists) {
    const std::string text = asetext::sceneText(
        {asetext::box("First", {0, 0, 0}, {1, 1, 1}), asetext::box("Second Box", {0, 0, 0}, {2, 2, 2})});
    AseLineReader reader(text);
    EXPECT_EQ(collision::countMeshes(reader), 2);
    reader.rewind();
    collision::BrushBuilder builder;
    testsupport::CapturedOutput out;
    EXPECT_EQ(collision::readBrush(reader, 0x200, builder, out.file()).name, "First");
    const Brush second = collision::readBrush(reader, 0x200, builder, out.file());
    EXPECT_EQ(second.name, "Second");  // a quoted name with a space keeps its first word
    EXPECT_DOUBLE_EQ(second.radius, std::sqrt(3.0));
    EXPECT_EQ(out.text(), "Mesh: FirstMesh: Second");
}

// Round brushes put many vertices on one sphere, where a sloppy solver leaves
// some outside.
TEST(MeshReader, GivesRoundBrushesSpheresThatHoldEveryVertex) {
    const double pi = std::acos(-1.0);
    std::vector<asetext::Mesh> meshes;
    for (int segments = 3; segments <= 64; segments += 7) {
        asetext::Mesh cylinder;
        cylinder.name = "Cylinder" + std::to_string(segments);
        const double radius = 0.5 + segments * 0.37, height = 1.0 + segments % 5;
        for (int ring = 0; ring < 2; ++ring)
            for (int i = 0; i < segments; ++i) {
                const double a = 2 * pi * i / segments;
                cylinder.vertices.push_back({radius * std::cos(a) + 3, radius * std::sin(a) - 1, ring * height});
            }
        const int n = segments;
        for (int i = 0; i < n; ++i) {
            const int j = (i + 1) % n;
            cylinder.faces.push_back({i, j, n + j});
            cylinder.faces.push_back({n + j, n + i, i});
        }
        for (int i = 1; i + 1 < n; ++i) {
            cylinder.faces.push_back({0, i + 1, i});
            cylinder.faces.push_back({n, n + i, n + i + 1});
        }
        meshes.push_back(cylinder);
    }
    for (int level = 0; level <= 3; ++level) {
        // A geodesic sphere: an icosahedron subdivided `level` times.
        const double g = (1 + std::sqrt(5.0)) / 2;
        std::vector<asetext::Vec3> v = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                                        {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
        std::vector<asetext::Face> f = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                        {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                        {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                        {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
        auto unit = [](asetext::Vec3 p) {
            const double l = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            return asetext::Vec3{p[0] / l, p[1] / l, p[2] / l};
        };
        for (auto& p : v) p = unit(p);
        for (int step = 0; step < level; ++step) {
            std::vector<asetext::Face> next;
            for (const auto& t : f) {
                int mid[3];
                for (int e = 0; e < 3; ++e) {
                    const auto& p = v[t[e]];
                    const auto& q = v[t[(e + 1) % 3]];
                    v.push_back(unit({(p[0] + q[0]) / 2, (p[1] + q[1]) / 2, (p[2] + q[2]) / 2}));
                    mid[e] = static_cast<int>(v.size()) - 1;
                }
                next.push_back({t[0], mid[0], mid[2]});
                next.push_back({t[1], mid[1], mid[0]});
                next.push_back({t[2], mid[2], mid[1]});
                next.push_back({mid[0], mid[1], mid[2]});
            }
            f = next;
        }
        asetext::Mesh sphere;
        sphere.name = "Geosphere" + std::to_string(level);
        for (const auto& p : v) sphere.vertices.push_back({25 * p[0] - 7, 25 * p[1] + 2, 25 * p[2] + 11});
        sphere.faces = f;
        meshes.push_back(sphere);
    }
    const std::string text = asetext::sceneText(meshes);
    AseLineReader reader(text);
    collision::BrushBuilder builder;
    testsupport::CapturedOutput out;
    for (const asetext::Mesh& mesh : meshes) {
        const Brush brush = collision::readBrush(reader, 0x101, builder, out.file());
        ASSERT_EQ(brush.name, mesh.name);
        double worst = 0;
        for (const auto& p : brush.vertices) {
            const double dx = p.x - brush.centre[0], dy = p.y - brush.centre[1], dz = p.z - brush.centre[2];
            worst = std::max(worst, std::sqrt(dx * dx + dy * dy + dz * dz) - brush.radius);
        }
        EXPECT_LE(worst, 1e-9 * brush.radius) << mesh.name;
        EXPECT_GT(brush.radius, 0) << mesh.name;
    }
}

}  // namespace
