#include "collision/brush_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <utility>

#include "common/input_error.h"
#include "tests/collision/ase_text.h"
#include "tests/collision/literal_brush.h"

namespace {

using collision::BrushBuilder;
using collision::BrushEdge;
using collision::BrushPlane;
using collision::BrushVertex;

using Faces = std::vector<std::array<size_t, 3>>;

collision::Brush build(const std::vector<BrushVertex>& points, const Faces& faces) {
    BrushBuilder builder;
    builder.begin("Brush");
    for (const BrushVertex& p : points) builder.addVertex(p);
    builder.computeSphere();
    for (const auto& f : faces) builder.addFace(f[0], f[1], f[2]);
    return builder.finish();
}

// The exporter's box, in the tool's frame (second and third axes exchanged).
std::pair<std::vector<BrushVertex>, Faces> boxInToolFrame(const asetext::Vec3& low, const asetext::Vec3& high) {
    const asetext::Mesh mesh = asetext::box("Box", low, high);
    std::vector<BrushVertex> points;
    for (const auto& v : mesh.vertices) points.push_back({v[0], v[2], v[1]});
    Faces faces;
    for (const auto& f : mesh.faces)
        faces.push_back({static_cast<size_t>(f[0]), static_cast<size_t>(f[1]), static_cast<size_t>(f[2])});
    return {points, faces};
}

double planeValue(const BrushPlane& p, const BrushVertex& v) { return p.a * v.x + p.b * v.y + p.c * v.z + p.d; }

std::pair<int, int> endPair(const BrushEdge& e) {
    return e.end0 < e.end1 ? std::make_pair(int(e.end0), int(e.end1)) : std::make_pair(int(e.end1), int(e.end0));
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool samePlane(const BrushPlane& p, const BrushPlane& q) {
    return sameBits(p.a, q.a) && sameBits(p.b, q.b) && sameBits(p.c, q.c) && sameBits(p.d, q.d);
}

TEST(BrushBuilder, BuildsABoxWithOutwardPlanesAndTwelveEdgesBetweenDifferentPlanes) {
    const auto [points, faces] = boxInToolFrame({-10, -10, 0}, {10, 10, 20});
    const collision::Brush brush = build(points, faces);
    ASSERT_EQ(brush.vertices.size(), 8u);
    ASSERT_EQ(brush.planes.size(), 6u);
    ASSERT_EQ(brush.edges.size(), 12u);
    for (const BrushPlane& p : brush.planes) {
        EXPECT_DOUBLE_EQ(std::abs(p.a) + std::abs(p.b) + std::abs(p.c), 1.0);
        // Outward: the centre lies behind, every corner on or behind.
        EXPECT_LT(planeValue(p, {0, 10, 0}), 0);
        for (const BrushVertex& v : brush.vertices) EXPECT_LE(planeValue(p, v), 0);
    }
    std::set<std::pair<int, int>> ends;
    for (const BrushEdge& e : brush.edges) {
        EXPECT_NE(e.plane0, e.plane1);
        ends.insert(endPair(e));
    }
    EXPECT_EQ(ends.size(), 12u);
    EXPECT_DOUBLE_EQ(brush.centre[0], 0);
    EXPECT_DOUBLE_EQ(brush.centre[1], 10);
    EXPECT_DOUBLE_EQ(brush.centre[2], 0);
    EXPECT_DOUBLE_EQ(brush.radius, std::sqrt(300.0));
}

TEST(BrushBuilder, NumbersEdgeEndsByMergedVerticesWhenTheMeshRepeatsPositions) {
    // Each face with its own three vertices, as exporters write split normals.
    const auto [box, boxFaces] = boxInToolFrame({0, 0, 0}, {1, 2, 3});
    std::vector<BrushVertex> points;
    Faces faces;
    for (const auto& f : boxFaces) {
        faces.push_back({points.size(), points.size() + 1, points.size() + 2});
        for (size_t corner : f) points.push_back(box[corner]);
    }
    const collision::Brush brush = build(points, faces);
    EXPECT_EQ(brush.vertices.size(), 8u);
    EXPECT_EQ(brush.planes.size(), 6u);
    ASSERT_EQ(brush.edges.size(), 12u);
    for (const BrushEdge& e : brush.edges) {
        EXPECT_LT(e.end0, 8);
        EXPECT_LT(e.end1, 8);
        EXPECT_NE(e.plane0, e.plane1);
    }
}

TEST(BrushBuilder, MergesVerticesStrictlyWithinTheToleranceAndTakesTheFirstMatch) {
    BrushBuilder builder;
    builder.begin("m");
    EXPECT_EQ(builder.addVertex({0, 0, 0}), 0u);
    EXPECT_EQ(builder.addVertex({1.5e-6, 0, 0}), 1u);   // too far from 0
    EXPECT_EQ(builder.addVertex({0.8e-6, 0, 0}), 0u);   // within both: the first wins
    EXPECT_EQ(builder.addVertex({1e-6, 0, 0}), 1u);     // exactly 1e-6 from 0 does not merge
    EXPECT_EQ(builder.addVertex({0, 0, -0.9e-6}), 0u);
    EXPECT_EQ(builder.addVertex({0, 1e-6, 0}), 2u);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(builder.addVertex({nan, 0, 0}), 3u);
    EXPECT_EQ(builder.addVertex({nan, 0, 0}), 4u);  // NaN never matches
    EXPECT_EQ(builder.meshVertexCount(), 8u);
}

TEST(BrushBuilder, SharesOnePlaneBetweenNearlyCoplanarTrianglesAndDropsTheirDiagonal) {
    // A unit quad in the plane y = 0 whose fourth corner is lifted slightly.
    auto quad = [](double lift) {
        return build({{0, 0, 0}, {0, 0, 1}, {1, 0, 1}, {1, lift, 0}}, {{0, 1, 2}, {0, 2, 3}});
    };
    const collision::Brush flat = quad(1e-5);  // normals differ by ~1e-5 < 2e-5
    EXPECT_EQ(flat.planes.size(), 1u);
    ASSERT_EQ(flat.edges.size(), 4u);  // the outline; the diagonal 0-2 is gone
    for (const BrushEdge& e : flat.edges) EXPECT_NE(endPair(e), std::make_pair(0, 2));
    const collision::Brush bent = quad(4e-5);
    EXPECT_EQ(bent.planes.size(), 2u);
    EXPECT_EQ(bent.edges.size(), 5u);

    // Parallel faces merge while their distances differ by less than 0.002.
    auto layers = [](double gap) {
        return build({{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, gap, 0}, {0, gap, 1}, {1, gap, 0}}, {{0, 1, 2}, {3, 4, 5}});
    };
    EXPECT_EQ(layers(0.0019).planes.size(), 1u);
    EXPECT_EQ(layers(0.0021).planes.size(), 2u);
}

// The normal formed at each corner, as the three formulas define them.
BrushVertex atCorner(int corner, const BrushVertex& a, const BrushVertex& b, const BrushVertex& c) {
    auto sub = [](const BrushVertex& p, const BrushVertex& q) { return BrushVertex{p.x - q.x, p.y - q.y, p.z - q.z}; };
    auto cross = [](const BrushVertex& u, const BrushVertex& v) {
        return BrushVertex{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    };
    BrushVertex n = corner == 0 ? cross(sub(c, a), sub(b, a)) : corner == 1 ? cross(sub(a, b), sub(c, b))
                                                                           : cross(sub(b, c), sub(a, c));
    const double inverse = 1 / std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    return {n.x * inverse, n.y * inverse, n.z * inverse};
}

bool normalIs(const BrushPlane& p, const BrushVertex& n) {
    return sameBits(p.a, n.x) && sameBits(p.b, n.y) && sameBits(p.c, n.z);
}

TEST(FacePlane, FormsTheNormalAtTheCornerOppositeTheLongestEdgeComparingInSinglePrecision) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(-1, 1);
    bool sawObtuseA = false, sawFloatTie = false;
    for (int trial = 0; trial < 200000 && !(sawObtuseA && sawFloatTie); ++trial) {
        const BrushVertex a{unit(random), unit(random), unit(random)};
        const BrushVertex u{unit(random), unit(random), unit(random)};
        BrushVertex b, c;
        if (trial % 2 == 0) {  // angle at A beyond 90 degrees: B-C is the longest edge
            b = {a.x + u.x, a.y + u.y, a.z + u.z};
            c = {a.x - u.x + 0.1 * unit(random), a.y - u.y, a.z - u.z};
        } else {  // |C-A| and |A-B| equal up to far below single precision
            const double s = 1 + 1e-12 * unit(random);
            b = {a.x + u.x, a.y + u.y, a.z + u.z};
            c = {a.x + s * u.y, a.y + s * u.z, a.z + s * u.x};
        }
        const double l1 = (b.x - c.x) * (b.x - c.x) + (b.y - c.y) * (b.y - c.y) + (b.z - c.z) * (b.z - c.z);
        const double l2 = (c.x - a.x) * (c.x - a.x) + (c.y - a.y) * (c.y - a.y) + (c.z - a.z) * (c.z - a.z);
        const double l3 = (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z);
        const BrushVertex n[3] = {atCorner(0, a, b, c), atCorner(1, a, b, c), atCorner(2, a, b, c)};
        const BrushPlane p = collision::facePlane(a, b, c);
        if (!sawObtuseA && l1 > l2 && l1 > l3 && !normalIs(p, n[1]) && !normalIs(p, n[2])) {
            EXPECT_TRUE(normalIs(p, n[0]));
            sawObtuseA = true;
        }
        // L2 > L3 in double, equal in single: corner C, not corner B.
        if (!sawFloatTie && l1 < l3 && l2 > l3 && float(l2) == float(l3) && !sameBits(n[1].x, n[2].x)) {
            EXPECT_TRUE(normalIs(p, n[2]));
            EXPECT_FALSE(normalIs(p, n[1]));
            sawFloatTie = true;
        }
        EXPECT_TRUE(sameBits(p.d, -(p.a * a.x + p.b * a.y + p.c * a.z)));
    }
    EXPECT_TRUE(sawObtuseA);
    EXPECT_TRUE(sawFloatTie);
}

TEST(FacePlane, GivesTheZeroPlaneForAFaceWithoutArea) {
    const BrushPlane p = collision::facePlane({1, 2, 3}, {2, 4, 6}, {3, 6, 9});
    EXPECT_EQ(p.a, 0);
    EXPECT_EQ(p.b, 0);
    EXPECT_EQ(p.c, 0);
    EXPECT_EQ(p.d, 0);
}

TEST(BrushBuilder, GivesEdgesOfASingleFaceTheirOnlyPlaneTwice) {
    const collision::Brush open = build({{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {5, 5, 5}}, {{0, 1, 2}});
    ASSERT_EQ(open.edges.size(), 3u);
    for (const BrushEdge& e : open.edges) {
        EXPECT_EQ(e.plane0, 0);
        EXPECT_EQ(e.plane1, 0);
    }
    // Four vertices, one unused: the sphere still holds every vertex.
    EXPECT_EQ(open.vertices.size(), 4u);
    EXPECT_GE(open.radius, std::sqrt(75.0) / 2);
}

TEST(BrushBuilder, LeavesAnEmptyBrushWithAZeroSphere) {
    const collision::Brush empty = build({}, {});
    EXPECT_TRUE(empty.vertices.empty() && empty.planes.empty() && empty.edges.empty());
    EXPECT_EQ(empty.centre, (std::array<double, 3>{0, 0, 0}));
    EXPECT_EQ(empty.radius, 0);
}

TEST(BrushBuilder, StopsAtMoreThan65535VerticesOrPlanes) {
    BrushBuilder builder;
    builder.begin("Big");
    for (int i = 0; i < 65535; ++i) builder.addVertex({double(i), 0, 0}, 9);
    builder.addVertex({0, 0, 0}, 9);  // a merged vertex is no new one
    try {
        builder.addVertex({-1, 0, 0}, 70000);
        FAIL() << "no error";
    } catch (const common::InputError& e) {
        EXPECT_STREQ(e.what(), "Brush Big has more than 65535 vertices!");
        EXPECT_EQ(e.line, 70000);
    }

    // Triangles over 100 points in general position: every one a plane of its own.
    builder.begin("Many");
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int i = 0; i < 100; ++i) builder.addVertex({unit(random), unit(random), unit(random)});
    size_t faces = 0;
    try {
        for (size_t i = 0; i < 100; ++i)
            for (size_t j = i + 1; j < 100; ++j)
                for (size_t k = j + 1; k < 100; ++k) {
                    builder.addFace(i, j, k, 12);
                    ++faces;
                }
        FAIL() << "no error";
    } catch (const common::InputError& e) {
        EXPECT_STREQ(e.what(), "Brush Many has more than 65535 planes!");
        EXPECT_EQ(e.line, 12);
        EXPECT_GE(faces, 65535u);
    }
}

// Random meshes on a lattice with steps just below and above the tolerances,
// so that merges, near misses, repeated planes and diagonals are common.
struct RandomMesh {
    std::vector<BrushVertex> points;
    Faces faces;
};

RandomMesh randomMesh(std::mt19937_64& random) {
    RandomMesh m;
    const int kind = static_cast<int>(random() % 3);
    const size_t n = 3 + random() % 200;
    auto coordinate = [&]() {
        // Integers lie on grid cell boundaries: steps to both sides cross them.
        const double base = static_cast<double>(random() % 3);
        const double step = static_cast<double>(random() % 5) - 2;
        switch (kind) {
            case 0: return base + step * 0.6e-6;
            case 1: return base * 1e5 + step * 0.7e-6;
            default: return base + step * 1.1e-5;
        }
    };
    for (size_t i = 0; i < n; ++i) m.points.push_back({coordinate(), coordinate(), coordinate()});
    if (random() % 5 == 0) m.points[random() % n].y = std::numeric_limits<double>::infinity();
    const size_t faces = random() % 400;
    for (size_t i = 0; i < faces; ++i) m.faces.push_back({random() % n, random() % n, random() % n});
    return m;
}

TEST(BrushBuilder, AgreesWithTheLiteralLinearScansOnRandomLatticeMeshes) {
    for (std::uint64_t seed = 1; seed <= 400; ++seed) {
        std::mt19937_64 random(seed);
        const RandomMesh m = randomMesh(random);
        const collision::Brush fast = build(m.points, m.faces);
        const literal::Result slow = literal::build(m.points, m.faces);
        ASSERT_EQ(fast.vertices.size(), slow.vertices.size()) << "seed " << seed;
        for (size_t i = 0; i < slow.vertices.size(); ++i)
            ASSERT_TRUE(sameBits(fast.vertices[i].x, slow.vertices[i].x) &&
                        sameBits(fast.vertices[i].y, slow.vertices[i].y) &&
                        sameBits(fast.vertices[i].z, slow.vertices[i].z))
                << "seed " << seed << " vertex " << i;
        ASSERT_EQ(fast.planes.size(), slow.planes.size()) << "seed " << seed;
        for (size_t i = 0; i < slow.planes.size(); ++i)
            ASSERT_TRUE(samePlane(fast.planes[i], slow.planes[i])) << "seed " << seed << " plane " << i;
        ASSERT_EQ(fast.edges.size(), slow.edges.size()) << "seed " << seed;
        for (size_t i = 0; i < slow.edges.size(); ++i) {
            const BrushEdge &f = fast.edges[i], &s = slow.edges[i];
            ASSERT_TRUE(f.end0 == s.end0 && f.end1 == s.end1 && f.plane0 == s.plane0 && f.plane1 == s.plane1)
                << "seed " << seed << " edge " << i;
        }
    }
}

}  // namespace
