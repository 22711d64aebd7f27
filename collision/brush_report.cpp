#include "collision/brush_report.h"

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

bool checkConvex(const Brush& brush, std::FILE* out) {
    int i = 0;
    for (const BrushPlane& p : brush.planes) {
        int j = 0;
        for (const BrushVertex& v : brush.vertices) {
            const double value = p.a * v.x + p.b * v.y + p.c * v.z + p.d;
            if (value > kConvexErrorThreshold) {
                std::fputs("***** ERROR *****\n", out);
                std::fprintf(out, "Convex check failed: plane=%d, vertex=%d, diff=%lf\n", i, j, value);
                return false;
            }
            if (value > kConvexWarningThreshold) {
                std::fputs("***** WARNING *****\n", out);
                std::fprintf(out, "Convex check near critical: plane=%d, vertex=%d, diff=%lf\n", i, j, value);
            }
            ++j;
        }
        ++i;
    }
    return true;
}

}  // namespace collision
