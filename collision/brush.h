// One collision brush as SCENE2HXM builds, reports and writes it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace collision {

// Edges hold 16-bit vertex and plane numbers, so a brush holds at most this
// many vertices and as many planes.
inline constexpr size_t kMaxBrushEntries = 65535;

struct BrushVertex {
    double x = 0, y = 0, z = 0;
};

// (a, b, c) is the unit outward normal; a point p lies on the plane when
// a*p.x + b*p.y + c*p.z + d == 0. A face of zero area has (0, 0, 0, 0).
struct BrushPlane {
    double a = 0, b = 0, c = 0, d = 0;
};

// Ends are indices into the brush's own (merged) vertex table. An edge that
// only one face reaches has plane1 == plane0.
struct BrushEdge {
    std::uint16_t end0 = 0, end1 = 0, plane0 = 0, plane1 = 0;
};

struct Brush {
    std::string name;
    std::vector<BrushVertex> vertices;
    std::vector<BrushPlane> planes;
    std::vector<BrushEdge> edges;
    std::array<double, 3> centre{};  // (0, 0, 0) and radius 0 without vertices
    double radius = 0;
};

}  // namespace collision
