// Cross-checks brush building against an independent convex hull: for convex
// point sets triangulated into closed meshes, the brush's merged planes must be
// the hull's facets, and no vertex may lie in front of any plane.
#include <gtest/gtest.h>

extern "C" {
#include <libqhull_r/qhull_ra.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "collision/mesh_reader.h"
#include "tests/collision/ase_text.h"
#include "tests/test_support.h"

namespace {

using asetext::Vec3;

struct Facet {
    Vec3 normal;
    double offset;
};

struct Hull {
    std::vector<Facet> facets;          // merged facets, outward normals
    std::vector<asetext::Face> triangles;  // counter-clockwise seen from outside
};

// Runs qhull twice: once with coplanar facets merged, once triangulated.
Hull hullOf(const std::vector<Vec3>& points) {
    std::vector<coordT> coords;
    for (const Vec3& p : points) coords.insert(coords.end(), p.begin(), p.end());
    Hull hull;
    for (const bool triangulate : {false, true}) {
        qhT context;
        qhT* qh = &context;
        qh_zero(qh, stderr);
        char options[16];
        std::snprintf(options, sizeof options, "qhull%s", triangulate ? " Qt" : "");
        const int status = qh_new_qhull(qh, 3, static_cast<int>(points.size()), coords.data(), False, options,
                                        nullptr, stderr);
        EXPECT_EQ(status, 0);
        facetT* facet;
        vertexT *vertex, **vertexp;
        FORALLfacets {
            if (!triangulate) {
                hull.facets.push_back({{facet->normal[0], facet->normal[1], facet->normal[2]}, facet->offset});
                continue;
            }
            std::vector<int> ids;
            FOREACHvertex_(facet->vertices) ids.push_back(qh_pointid(qh, vertex->point));
            EXPECT_EQ(ids.size(), 3u);
            const Vec3 &a = points[ids[0]], &b = points[ids[1]], &c = points[ids[2]];
            const Vec3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            const Vec3 n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
            const double facing = n[0] * facet->normal[0] + n[1] * facet->normal[1] + n[2] * facet->normal[2];
            if (facing >= 0)
                hull.triangles.push_back({ids[0], ids[1], ids[2]});
            else
                hull.triangles.push_back({ids[0], ids[2], ids[1]});
        }
        int curlong = 0, totlong = 0;
        qh_freeqhull(qh, !qh_ALL);
        qh_memfreeshort(qh, &curlong, &totlong);
    }
    return hull;
}

// True when two hull facets lie within the brush's plane merging tolerances:
// the brush then rightly holds fewer planes than the hull has facets.
bool hasNearlyCoplanarFacets(const Hull& hull) {
    for (size_t i = 0; i < hull.facets.size(); ++i)
        for (size_t j = i + 1; j < hull.facets.size(); ++j) {
            const Facet &a = hull.facets[i], &b = hull.facets[j];
            if (std::abs(a.normal[0] - b.normal[0]) < 2e-5 && std::abs(a.normal[1] - b.normal[1]) < 2e-5 &&
                std::abs(a.normal[2] - b.normal[2]) < 2e-5 && std::abs(a.offset - b.offset) < 0.002)
                return true;
        }
    return false;
}

// Returns false (and checks nothing) for a set with nearly coplanar facets.
bool checkBrushAgainstHull(const std::vector<Vec3>& points, const std::string& label) {
    const Hull hull = hullOf(points);
    if (hasNearlyCoplanarFacets(hull)) return false;
    asetext::Mesh mesh;
    mesh.name = "Hull";
    mesh.vertices = points;
    mesh.faces = hull.triangles;
    collision::AseLineReader reader(asetext::sceneText({mesh}));
    collision::BrushBuilder builder;
    testsupport::CapturedOutput out;
    const collision::Brush brush = collision::readBrush(reader, 0x101, builder, out.file());

    EXPECT_EQ(brush.planes.size(), hull.facets.size()) << label;
    std::vector<bool> matched(hull.facets.size(), false);
    for (const collision::BrushPlane& p : brush.planes) {
        // Back to the ASE frame: the tool exchanges the second and third axes.
        const Vec3 n{p.a, p.c, p.b};
        bool found = false;
        for (size_t f = 0; f < hull.facets.size() && !found; ++f) {
            const Facet& h = hull.facets[f];
            if (!matched[f] && std::abs(n[0] - h.normal[0]) < 1e-6 && std::abs(n[1] - h.normal[1]) < 1e-6 &&
                std::abs(n[2] - h.normal[2]) < 1e-6 && std::abs(p.d - h.offset) < 1e-6 * (1 + std::abs(h.offset)))
                matched[f] = found = true;
        }
        EXPECT_TRUE(found) << label << ": plane " << n[0] << " " << n[1] << " " << n[2] << " " << p.d;
        for (const collision::BrushVertex& v : brush.vertices)
            EXPECT_LE(p.a * v.x + p.b * v.y + p.c * v.z + p.d, 1e-9 * (1 + std::abs(p.d))) << label;
    }
    // A closed convex brush: every edge joins two different planes.
    for (const collision::BrushEdge& e : brush.edges) EXPECT_NE(e.plane0, e.plane1) << label;
    return true;
}

TEST(QhullCrossCheck, BrushPlanesAreTheHullFacetsOfRandomConvexSets) {
    int checked = 0;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        std::mt19937_64 random(seed);
        std::uniform_real_distribution<double> unit(-1, 1);
        const double scale = std::pow(10.0, static_cast<double>(random() % 4)) / 2;
        const Vec3 offset{unit(random) * 100, unit(random) * 100, unit(random) * 100};
        const size_t n = 4 + random() % 150;
        std::vector<Vec3> points;
        while (points.size() < n) {
            Vec3 p{unit(random), unit(random), unit(random)};
            const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            if (seed % 2 == 0) {  // on a sphere: every point is a hull vertex
                if (length < 0.1) continue;
                for (double& c : p) c /= length;
            }
            points.push_back({p[0] * scale + offset[0], p[1] * scale + offset[1], p[2] * scale + offset[2]});
        }
        checked += checkBrushAgainstHull(points, "seed " + std::to_string(seed));
    }
    EXPECT_GE(checked, 50);
}

TEST(QhullCrossCheck, CoplanarFacesMergeIntoOnePlaneEachAsInTheHull) {
    // Boxes whose faces carry lattice points: each face is many coplanar triangles.
    for (int size = 1; size <= 4; ++size) {
        std::vector<Vec3> points;
        for (int x = 0; x <= size; ++x)
            for (int y = 0; y <= size + 1; ++y)
                for (int z = 0; z <= size + 2; ++z)
                    if (x == 0 || x == size || y == 0 || y == size + 1 || z == 0 || z == size + 2)
                        points.push_back({x * 2.5 - 3, y * 1.0 + 7, z * 0.5});
        EXPECT_TRUE(checkBrushAgainstHull(points, "box " + std::to_string(size)));
    }
    // A prism over a regular polygon: two caps and its sides.
    std::vector<Vec3> prism;
    const double pi = std::acos(-1.0);
    for (int i = 0; i < 24; ++i)
        for (const double z : {-4.0, 4.0}) prism.push_back({3 * std::cos(2 * pi * i / 24), 3 * std::sin(2 * pi * i / 24), z});
    EXPECT_TRUE(checkBrushAgainstHull(prism, "prism"));
}

}  // namespace
