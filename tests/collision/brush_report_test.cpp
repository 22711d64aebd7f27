#include "collision/brush_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "collision/brush_builder.h"
#include "tests/collision/ase_text.h"
#include "tests/test_support.h"

namespace {

using collision::Brush;

Brush boxBrush() {
    const asetext::Mesh mesh = asetext::box("Box01", {-10, -10, 0}, {10, 10, 20});
    collision::BrushBuilder builder;
    builder.begin(mesh.name);
    for (const auto& v : mesh.vertices) builder.addVertex({v[0], v[2], v[1]});
    builder.computeSphere();
    for (const auto& f : mesh.faces)
        builder.addFace(static_cast<size_t>(f[0]), static_cast<size_t>(f[1]), static_cast<size_t>(f[2]));
    return builder.finish();
}

std::string report(const Brush& brush, bool verbose) {
    testsupport::CapturedOutput out;
    collision::printBrush(brush, verbose, out.file());
    return out.text();
}

TEST(BrushReport, PrintsOneLineOfCountsOrEveryTableWithTheVerboseOption) {
    const Brush box = boxBrush();
    EXPECT_EQ(report(box, false), " Vertices: 8 Planes: 6 Edges: 12\n");
    EXPECT_EQ(report(box, true),
              "\n Vertices: 8\n"
              " V(00): -10.000000 0.000000 -10.000000\n V(01): 10.000000 0.000000 -10.000000\n"
              " V(02): -10.000000 0.000000 10.000000\n V(03): 10.000000 0.000000 10.000000\n"
              " V(04): -10.000000 20.000000 -10.000000\n V(05): 10.000000 20.000000 -10.000000\n"
              " V(06): -10.000000 20.000000 10.000000\n V(07): 10.000000 20.000000 10.000000\n"
              " Planes: 6\n"
              " P(00): 0.000000 -1.000000 0.000000 0.000000\n P(01): 0.000000 1.000000 -0.000000 -20.000000\n"
              " P(02): 0.000000 0.000000 -1.000000 -10.000000\n P(03): 1.000000 -0.000000 0.000000 -10.000000\n"
              " P(04): 0.000000 0.000000 1.000000 -10.000000\n P(05): -1.000000 0.000000 0.000000 -10.000000\n"
              " Edges: 12\n"
              " E(00): V:0 2 P:0 5\n E(01): V:2 3 P:0 4\n E(02): V:3 1 P:0 3\n E(03): V:1 0 P:0 2\n"
              " E(04): V:4 5 P:1 2\n E(05): V:5 7 P:1 3\n E(06): V:7 6 P:1 4\n E(07): V:6 4 P:1 5\n"
              " E(08): V:1 5 P:2 3\n E(09): V:4 0 P:2 5\n E(10): V:3 7 P:3 4\n E(11): V:2 6 P:4 5\n"
              " Sphere: 0.000000 10.000000 0.000000 R: 17.320508\n");
    Brush big;
    big.vertices.resize(100);
    big.edges.push_back({65534, 65533, 65532, 7});
    EXPECT_NE(report(big, true).find(" V(99): 0.000000 0.000000 0.000000\n Planes: 0\n Edges: 1\n E(00): V:65534 65533 P:65532 7\n"),
              std::string::npos);
}

struct Check {
    bool passed;
    std::string printed;
};

Check check(const Brush& brush) {
    testsupport::CapturedOutput out;
    const bool passed = collision::checkConvex(brush, out.file());
    return {passed, out.text()};
}

TEST(ConvexCheck, WarnsAboveOneHundredthAndFailsAboveTenThousandStrictly) {
    // The plane y = 0 facing +y: a vertex's value is its y.
    auto withHeights = [](std::initializer_list<double> heights) {
        Brush b;
        b.planes.push_back({0, 1, 0, 0});
        for (double h : heights) b.vertices.push_back({3, h, -4});
        return b;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(check(withHeights({-5, 0, 0.0099, 0.01, nan})).printed, "");
    const Check warned = check(withHeights({0.02, 0.01, 10000.0}));
    EXPECT_TRUE(warned.passed);
    EXPECT_EQ(warned.printed,
              "***** WARNING *****\nConvex check near critical: plane=0, vertex=0, diff=0.020000\n"
              "***** WARNING *****\nConvex check near critical: plane=0, vertex=2, diff=10000.000000\n");
    const Check failed = check(withHeights({0.5, 20000.0, 0.7}));
    EXPECT_FALSE(failed.passed);
    EXPECT_EQ(failed.printed,
              "***** WARNING *****\nConvex check near critical: plane=0, vertex=0, diff=0.500000\n"
              "***** ERROR *****\nConvex check failed: plane=0, vertex=1, diff=20000.000000\n");
    EXPECT_TRUE(check(Brush{}).passed);

    // Plane-major order: one vertex in front of two planes warns twice.
    Brush corner = withHeights({0.25});
    corner.planes.push_back({1, 0, 0, -2.75});
    corner.planes.push_back({0, 0, 0, 0});  // a face without area never warns
    EXPECT_EQ(check(corner).printed,
              "***** WARNING *****\nConvex check near critical: plane=0, vertex=0, diff=0.250000\n"
              "***** WARNING *****\nConvex check near critical: plane=1, vertex=0, diff=0.250000\n");
}


// The plain double loop over every plane and vertex: the check must print
// exactly what it prints and stop where it stops.
bool literalCheck(const Brush& brush, std::FILE* out) {
    int i = 0;
    for (const collision::BrushPlane& p : brush.planes) {
        int j = 0;
        for (const collision::BrushVertex& v : brush.vertices) {
            const double value = p.a * v.x + p.b * v.y + p.c * v.z + p.d;
            if (value > 10000.0) {
                std::fputs("***** ERROR *****\n", out);
                std::fprintf(out, "Convex check failed: plane=%d, vertex=%d, diff=%lf\n", i, j, value);
                return false;
            }
            if (value > 0.01) {
                std::fputs("***** WARNING *****\n", out);
                std::fprintf(out, "Convex check near critical: plane=%d, vertex=%d, diff=%lf\n", i, j, value);
            }
            ++j;
        }
        ++i;
    }
    return true;
}

TEST(ConvexCheck, MatchesThePlainLoopOnRandomBrushesWhileSkippingBlocks) {
    std::mt19937 random(99);
    auto real = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    for (int trial = 0; trial < 300; ++trial) {
        Brush brush;
        // Points near a sphere (some pushed out past a plane), planes tangent
        // to it, and now and then NaN, infinity or a huge outlier.
        const int vertices = 1 + static_cast<int>(random() % 200), planes = 1 + static_cast<int>(random() % 40);
        for (int v = 0; v < vertices; ++v) {
            const double t = real(0, 6.28), u = real(-1, 1), r = 10 * (1 + (random() % 9 == 0 ? real(0, 0.01) : 0));
            collision::BrushVertex x{r * std::sqrt(1 - u * u) * std::cos(t), r * u, r * std::sqrt(1 - u * u) * std::sin(t)};
            if (random() % 97 == 0) x.y = std::nan("");
            if (random() % 151 == 0) x.x = HUGE_VAL;
            if (random() % 173 == 0) x.z = 30000;
            brush.vertices.push_back(x);
        }
        for (int p = 0; p < planes; ++p) {
            const double t = real(0, 6.28), u = real(-1, 1);
            collision::BrushPlane plane{std::sqrt(1 - u * u) * std::cos(t), u, std::sqrt(1 - u * u) * std::sin(t), -10};
            if (random() % 50 == 0) plane.d = std::nan("");
            brush.planes.push_back(plane);
        }
        testsupport::CapturedOutput fast, literal;
        const bool fastResult = collision::checkConvex(brush, fast.file());
        const bool literalResult = literalCheck(brush, literal.file());
        ASSERT_EQ(literalResult, fastResult) << "trial " << trial;
        ASSERT_EQ(literal.text(), fast.text()) << "trial " << trial;
    }
}

TEST(ConvexCheck, PrintsTheFirstThousandWarningsOfABrushAndCountsTheRest) {
    // The plane y = 0 and `warned` vertices 0.5 in front of it, then an error or not.
    auto brush = [](int warned, bool error) {
        Brush b;
        b.planes.push_back({0, 1, 0, 0});
        b.vertices.assign(static_cast<size_t>(warned), {1, 0.5, 2});
        if (error) b.vertices.push_back({1, 20000, 2});
        return b;
    };
    const struct {
        int warned;
        bool error;
        std::string summary;  // after the first 1000 pairs
    } cases[] = {{1000, false, ""},
                 {1001, false, "... 1 more warnings for this brush\n"},
                 {1500, true, "... 500 more warnings for this brush\n"},
                 {1000, true, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.warned);
        const Brush b = brush(c.warned, c.error);
        testsupport::CapturedOutput literal;
        literalCheck(b, literal.file());
        const std::string all = literal.text();
        size_t pairsEnd = 0;
        for (int line = 0; line < 2000; ++line) pairsEnd = all.find('\n', pairsEnd) + 1;
        const std::string errorPair = c.error ? all.substr(all.rfind("***** ERROR")) : "";
        const Check result = check(b);
        EXPECT_EQ(!c.error, result.passed);
        EXPECT_EQ(all.substr(0, pairsEnd) + c.summary + errorPair, result.printed);
    }
    // The count starts again for the next brush.
    EXPECT_EQ(check(brush(1001, false)).printed, check(brush(1001, false)).printed);
}

}  // namespace

namespace {

TEST(ConvexCheck, SumsUpItsWarningsAndTellsAnInsideOutBrush) {
    Brush cube;
    for (int i = 0; i < 8; ++i) cube.vertices.push_back({i & 1 ? 1.0 : -1.0, i & 2 ? 1.0 : -1.0, i & 4 ? 1.0 : -1.0});
    // Outward planes x = +-1 and so on, slightly too small on one axis.
    const double planes[6][4] = {{1, 0, 0, -1}, {-1, 0, 0, -1}, {0, 1, 0, -1}, {0, -1, 0, -1}, {0, 0, 1, -0.9}, {0, 0, -1, -1}};
    for (const auto& p : planes) cube.planes.push_back({p[0], p[1], p[2], p[3]});
    testsupport::CapturedOutput out;
    collision::ConvexSummary summary;
    ASSERT_TRUE(collision::checkConvex(cube, out.file(), &summary));
    EXPECT_EQ(4u, summary.warnings);
    EXPECT_NEAR(0.1, summary.worst, 1e-12);
    EXPECT_FALSE(summary.insideOut);
    // Every plane turned to face inwards (and moved in by 0.5): each vertex lies in front of all of them.
    for (auto& p : cube.planes) p = {-p.a, -p.b, -p.c, -p.d + 0.5};
    ASSERT_TRUE(collision::checkConvex(cube, out.file(), &summary));
    EXPECT_TRUE(summary.insideOut);
}

}  // namespace
