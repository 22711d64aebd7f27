#include "geometry/sphere_solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

using Point = std::array<double, 3>;

struct Sphere {
    Point centre{};
    double radius = -1;
};

Sphere solve(const std::vector<Point>& points) {
    geometry::SphereSolver solver;
    for (const Point& p : points) solver.addPoint(p[0], p[1], p[2]);
    solver.build();
    return {solver.centre(), solver.radius()};
}

double distance(const Point& a, const Point& b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

Point sub(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Point cross(const Point& a, const Point& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Point& a, const Point& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Largest distance of any point outside the sphere, relative to its radius.
double worstOutside(const std::vector<Point>& points, const Sphere& s) {
    double worst = 0;
    for (const Point& p : points) worst = std::max(worst, distance(p, s.centre) - s.radius);
    return s.radius > 0 ? worst / s.radius : worst;
}

// The smallest sphere through each subset of up to four points; the smallest
// of those that encloses every point is the minimum. Exponential, for n <= 8.
double bruteForceRadius(const std::vector<Point>& pts) {
    double best = INFINITY;
    const size_t n = pts.size();
    auto consider = [&](const Point& c, double r) {
        for (const Point& p : pts)
            if (distance(p, c) > r * (1 + 1e-9) + 1e-12) return;
        best = std::min(best, r);
    };
    for (size_t i = 0; i < n; ++i) {
        consider(pts[i], 0);
        for (size_t j = i + 1; j < n; ++j) {
            const Point mid = {(pts[i][0] + pts[j][0]) / 2, (pts[i][1] + pts[j][1]) / 2, (pts[i][2] + pts[j][2]) / 2};
            consider(mid, distance(mid, pts[i]));
            for (size_t k = j + 1; k < n; ++k) {
                const Point a = sub(pts[j], pts[i]), c = sub(pts[k], pts[i]);
                const Point axc = cross(a, c);
                const double d = 2 * dot(axc, axc);
                if (d > 1e-18) {
                    const Point t = {dot(a, a) * c[0] - dot(c, c) * a[0], dot(a, a) * c[1] - dot(c, c) * a[1],
                                     dot(a, a) * c[2] - dot(c, c) * a[2]};
                    const Point off = cross(t, axc);
                    const Point centre = {pts[i][0] + off[0] / d, pts[i][1] + off[1] / d, pts[i][2] + off[2] / d};
                    consider(centre, distance(centre, pts[i]));
                }
                for (size_t l = k + 1; l < n; ++l) {
                    // 2 (Pm - Pi) . x = |Pm|^2 - |Pi|^2 for m = j, k, l, by Cramer's rule.
                    const Point r1 = sub(pts[j], pts[i]), r2 = sub(pts[k], pts[i]), r3 = sub(pts[l], pts[i]);
                    const double det = 2 * dot(r1, cross(r2, r3));
                    if (std::fabs(det) < 1e-12) continue;
                    const double b1 = dot(r1, r1), b2 = dot(r2, r2), b3 = dot(r3, r3);
                    const Point c23 = cross(r2, r3), c31 = cross(r3, r1), c12 = cross(r1, r2);
                    const Point off = {(b1 * c23[0] + b2 * c31[0] + b3 * c12[0]) / det,
                                       (b1 * c23[1] + b2 * c31[1] + b3 * c12[1]) / det,
                                       (b1 * c23[2] + b2 * c31[2] + b3 * c12[2]) / det};
                    const Point centre = {pts[i][0] + off[0], pts[i][1] + off[1], pts[i][2] + off[2]};
                    consider(centre, distance(centre, pts[i]));
                }
            }
        }
    }
    return best;
}

TEST(SphereSolver, GivesThePointItselfForOnePointAndTheMidpointForTwo) {
    const Sphere one = solve({{1, 2, 3}});
    EXPECT_EQ((Point{1, 2, 3}), one.centre);
    EXPECT_EQ(0, one.radius);
    geometry::SphereSolver two;
    two.addPoint(0, 0, 0);
    two.addPoint(2, 4, 4);
    two.build();
    EXPECT_EQ((Point{1, 2, 2}), two.centre());
    EXPECT_DOUBLE_EQ(9, two.squaredRadius());
}

TEST(SphereSolver, EnclosesABoxWithItsHalfDiagonalAndIgnoresRepeatedPoints) {
    std::vector<Point> box;
    for (int i = 0; i < 8; ++i) box.push_back({i & 1 ? 3.0 : 1.0, i & 2 ? 6.0 : 2.0, i & 4 ? 9.0 : 3.0});
    const Sphere s = solve(box);
    EXPECT_NEAR(2, s.centre[0], 1e-12);
    EXPECT_NEAR(4, s.centre[1], 1e-12);
    EXPECT_NEAR(6, s.centre[2], 1e-12);
    EXPECT_NEAR(std::sqrt(4 + 16 + 36) / 2, s.radius, 1e-12);

    std::vector<Point> repeated = box;
    repeated.insert(repeated.end(), box.begin(), box.end());
    repeated.insert(repeated.begin(), box[3]);
    const Sphere again = solve(repeated);
    EXPECT_NEAR(s.radius, again.radius, 1e-12);
}

TEST(SphereSolver, LeavesTheEmptySphereForNoPointsAndReportsRadiusZero) {
    geometry::SphereSolver solver;
    solver.build();
    EXPECT_EQ((Point{0, 0, 0}), solver.centre());
    EXPECT_EQ(-1, solver.squaredRadius());
    EXPECT_EQ(0, solver.radius());
}

TEST(SphereSolver, MatchesTheBruteForceMinimumOnSmallSets) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<Point> pts(2 + random() % 7);
        const bool grid = trial % 2 == 0;
        for (Point& p : pts)
            for (double& v : p)
                v = grid ? static_cast<double>(random() % 5) : std::uniform_real_distribution<double>(-10, 10)(random);
        const Sphere s = solve(pts);
        const double expected = bruteForceRadius(pts);
        EXPECT_LE(worstOutside(pts, s), 1e-9) << "trial " << trial;
        EXPECT_NEAR(expected, s.radius, 1e-7 * std::max(1.0, expected)) << "trial " << trial;
    }
}

// Points on one sphere (UV spheres, cylinders, regular solids) and integer
// grids are where a sphere solver that trusts nearly dependent support points
// returns a sphere that leaves points outside.
std::vector<Point> uvSphere(std::mt19937& random, int rings, int segments) {
    const double r = std::uniform_real_distribution<double>(0.5, 200)(random);
    const Point c = {std::uniform_real_distribution<double>(-100, 100)(random),
                     std::uniform_real_distribution<double>(-100, 100)(random),
                     std::uniform_real_distribution<double>(-100, 100)(random)};
    std::vector<Point> pts;
    for (int i = 0; i <= rings; ++i) {
        const double theta = std::numbers::pi * i / rings;
        for (int j = 0; j < segments; ++j) {
            const double phi = 2 * std::numbers::pi * j / segments;
            pts.push_back({c[0] + r * std::sin(theta) * std::cos(phi), c[1] + r * std::cos(theta),
                           c[2] + r * std::sin(theta) * std::sin(phi)});
        }
    }
    return pts;
}

std::vector<Point> cylinder(std::mt19937& random, int segments) {
    const double r = std::uniform_real_distribution<double>(0.5, 50)(random);
    const double h = std::uniform_real_distribution<double>(0.1, 100)(random);
    std::vector<Point> pts;
    for (int j = 0; j < segments; ++j) {
        const double phi = 2 * std::numbers::pi * j / segments;
        pts.push_back({r * std::cos(phi), 0, r * std::sin(phi)});
        pts.push_back({r * std::cos(phi), h, r * std::sin(phi)});
    }
    return pts;
}

TEST(SphereSolver, EnclosesEveryPointOfCoSphericalAndGridSets) {
    std::mt19937 random(2026);
    int sets = 0;
    for (int trial = 0; trial < 600; ++trial) {
        std::vector<Point> pts;
        switch (trial % 4) {
            case 0: pts = uvSphere(random, 4 + static_cast<int>(random() % 20), 4 + static_cast<int>(random() % 32)); break;
            case 1: pts = cylinder(random, 3 + static_cast<int>(random() % 61)); break;
            case 2: {
                const int n = 4 + static_cast<int>(random() % 300);
                for (int i = 0; i < n; ++i)
                    pts.push_back({double(random() % 9), double(random() % 9), double(random() % 9)});
                break;
            }
            default: {
                // An icosahedron, scaled and shifted by integers.
                const double g = (1 + std::sqrt(5.0)) / 2, s = static_cast<double>(1 + random() % 50);
                for (double a : {-1.0, 1.0})
                    for (double b : {-g, g}) {
                        pts.push_back({0, a * s, b * s});
                        pts.push_back({a * s, b * s, 0});
                        pts.push_back({b * s, 0, a * s});
                    }
                break;
            }
        }
        std::shuffle(pts.begin(), pts.end(), random);
        const Sphere s = solve(pts);
        EXPECT_LE(worstOutside(pts, s), 1e-9) << "trial " << trial << " with " << pts.size() << " points";
        ++sets;
    }
    EXPECT_EQ(600, sets);
}

}  // namespace
