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

// Sets on which the textbook degeneracy bound (1e-32 of the squared radius)
// lets nearly dependent support points through and the sphere misses a point
// by a fifth of its radius; found among sets like those above and cut down to
// the points (in the order) that still show it.
const std::vector<Point> kNearlyDependentSets[] = {
    // points of one sphere
    {{-51.785263979049439, -97.069979879613527, -141.25680299498578}, {-51.785263979049446, -59.679339757471851, -188.14318270797122},
     {-51.785263979049418, -59.679339757471851, 22.562295106490225}, {-51.785263979049418, 145.74331181345457, -24.324084606495227}},
    // points of one sphere
    {{64.027385208151244, 6.9010898120830095, -92.120481422376358}, {18.681602782176739, 47.730615700280374, -92.120481422376358},
     {-26.664179643797773, -2.630977756728587, -92.120481422376358}, {64.027385208151259, -2.630977756728587, -92.120481422376358}},
    // points of one sphere
    {{101.78233146183518, -36.358685258253516, 4.2676203292543704}, {-71.101698779314759, -36.358685258253516, -74.685870793774228},
     {-148.46178319877779, -36.358685258253516, 118.55027823517918}, {-19.50927480573862, -36.358685258253516, 193.00104366857781}},
    // points of a cylinder
    {{10.761266353452694, 65.638298866780872, 29.056285169582065}, {28.47394243947668, 0, -12.219131038637599},
     {-7.7664781621045433, 0, -29.995906026382684}, {-29.564040832385448, 65.638298866780872, 9.2757776518777035}},
    // points of a cylinder
    {{39.542156313956163, 0, 14.392167896981418}, {-36.44224838081734, 0, 21.039941912540112},
     {36.442248380817354, 76.215943549017112, -21.039941912540083}, {-39.542156313956163, 76.215943549017112, -14.392167896981414}},
    // points of a cylinder
    {{45.534301377264747, 61.592950324075034, 5.8709980320987878}, {36.793886687070696, 0, -27.459991301300224},
     {-34.958922017397391, 61.592950324075034, 29.76096421808289}, {-45.816902406969547, 0, -2.9415427310698492}},
    // integer grid points
    {{5, 6, 3}, {0, 2, 0}, {8, 8, 3}, {0, 1, 8}, {3, 8, 8}, {8, 1, 0}},
    // integer grid points
    {{6, 0, 8}, {0, 0, 7}, {6, 7, 0}, {1, 7, 0}, {7, 0, 7}, {8, 8, 8}},
    // integer grid points
    {{2, 8, 0}, {8, 0, 8}, {8, 8, 8}, {0, 6, 0}, {8, 0, 0}, {0, 0, 8}},
};

TEST(SphereSolver, EnclosesNearlyDependentSetsWithTheSmallestSphere) {
    for (size_t i = 0; i < std::size(kNearlyDependentSets); ++i) {
        const std::vector<Point>& pts = kNearlyDependentSets[i];
        const Sphere s = solve(pts);
        EXPECT_LE(worstOutside(pts, s), 1e-6) << "set " << i;
        EXPECT_NEAR(bruteForceRadius(pts), s.radius, 1e-7 * s.radius) << "set " << i;
    }
}

}  // namespace
