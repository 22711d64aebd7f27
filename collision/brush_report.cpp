#include "collision/brush_report.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace collision {

void printBrush(const Brush& brush, bool verbose, std::FILE* out) {
    if (verbose) std::fputs("\n", out);
    std::fprintf(out, " Vertices: %i", static_cast<int>(brush.vertices.size()));
    if (verbose) {
        std::fputs("\n", out);
        int index = 0;
        for (const BrushVertex& v : brush.vertices) std::fprintf(out, " V(%02d): %f %f %f\n", index++, v.x, v.y, v.z);
    }
    std::fprintf(out, " Planes: %i", static_cast<int>(brush.planes.size()));
    if (verbose) {
        std::fputs("\n", out);
        int index = 0;
        for (const BrushPlane& p : brush.planes)
            std::fprintf(out, " P(%02d): %f %f %f %f\n", index++, p.a, p.b, p.c, p.d);
    }
    std::fprintf(out, " Edges: %i\n", static_cast<int>(brush.edges.size()));
    if (verbose) {
        int index = 0;
        for (const BrushEdge& e : brush.edges)
            std::fprintf(out, " E(%02d): V:%d %d P:%d %d\n", index++, e.end0, e.end1, e.plane0, e.plane1);
        std::fprintf(out, " Sphere: %f %f %f R: %f\n", brush.centre[0], brush.centre[1], brush.centre[2],
                     brush.radius);
    }
}

namespace {

void printSuppressed(size_t warnings, std::FILE* out) {
    if (warnings > kMaxWarningsPerBrush)
        std::fprintf(out, "... %zu more warnings for this brush\n", warnings - kMaxWarningsPerBrush);
}

constexpr size_t kBlock = 32;

struct Box {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
};

// The bounding box of every kBlock consecutive vertices.
std::vector<Box> blockBoxes(const std::vector<BrushVertex>& vertices) {
    std::vector<Box> boxes((vertices.size() + kBlock - 1) / kBlock);
    for (size_t j = 0; j < vertices.size(); ++j) {
        const BrushVertex& v = vertices[j];
        Box& box = boxes[j / kBlock];
        const double c[3] = {v.x, v.y, v.z};
        for (int axis = 0; axis < 3; ++axis) {  // a NaN coordinate updates nothing: its values print nothing
            if (c[axis] < box.lo[axis]) box.lo[axis] = c[axis];
            if (c[axis] > box.hi[axis]) box.hi[axis] = c[axis];
        }
    }
    return boxes;
}

}  // namespace

bool checkConvex(const Brush& brush, std::FILE* out, ConvexSummary* summary) {
    // Every plane against every vertex, but a block of consecutive vertices is
    // skipped when a bound on its plane values stays at or below the warning
    // threshold. The bound takes, per term, the box corner that maximises it and
    // sums in the same order as the exact value; rounding is monotonic, so it is
    // never below any exact value in the block, and the printed pairs and the
    // first error are those of the plain double loop.
    const size_t vertexCount = brush.vertices.size();
    const std::vector<Box> boxes = blockBoxes(brush.vertices);
    size_t warnings = 0;
    double worst = 0;
    std::vector<std::uint32_t> planesInFront(summary ? vertexCount : 0);
    int i = 0;
    for (const BrushPlane& p : brush.planes) {
        for (size_t block = 0; block < boxes.size(); ++block) {
            const Box& box = boxes[block];
            const double bound = p.a * (p.a >= 0 ? box.hi[0] : box.lo[0]) + p.b * (p.b >= 0 ? box.hi[1] : box.lo[1]) +
                                 p.c * (p.c >= 0 ? box.hi[2] : box.lo[2]) + p.d;
            if (bound <= kConvexWarningThreshold) continue;
            const size_t end = std::min(vertexCount, (block + 1) * kBlock);
            for (size_t j = block * kBlock; j < end; ++j) {
                const BrushVertex& v = brush.vertices[j];
                const double value = p.a * v.x + p.b * v.y + p.c * v.z + p.d;
                if (value > kConvexErrorThreshold) {
                    printSuppressed(warnings, out);
                    std::fputs("***** ERROR *****\n", out);
                    std::fprintf(out, "Convex check failed: plane=%d, vertex=%d, diff=%lf\n", i, static_cast<int>(j), value);
                    return false;
                }
                if (value > kConvexWarningThreshold && summary) {
                    worst = std::max(worst, value);
                    ++planesInFront[j];
                }
                if (value > kConvexWarningThreshold && ++warnings <= kMaxWarningsPerBrush) {
                    std::fputs("***** WARNING *****\n", out);
                    std::fprintf(out, "Convex check near critical: plane=%d, vertex=%d, diff=%lf\n", i, static_cast<int>(j),
                                 value);
                }
            }
        }
        ++i;
    }
    printSuppressed(warnings, out);
    if (summary) {
        const auto mostPlanes = [&](std::uint32_t n) { return 2 * size_t{n} > brush.planes.size(); };
        const auto front = static_cast<size_t>(std::count_if(planesInFront.begin(), planesInFront.end(), mostPlanes));
        *summary = {warnings, worst, 2 * front > vertexCount};
    }
    return true;
}

}  // namespace collision
