// The faces and edges of a collision brush in glTF coordinates, rebuilt from
// its planes for display.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "export/coordinates.h"
#include "modelfile/hxm.h"

namespace exporter {

struct BrushShape {
    std::vector<Vec3> positions;                           // the brush's vertices, glTF frame
    std::vector<std::array<std::uint32_t, 3>> triangles;   // counter-clockwise seen from outside
    std::vector<std::array<std::uint32_t, 2>> edges;       // the file's edges
};

// Each plane's face is the convex polygon of the brush vertices lying on it,
// sorted around its outward normal and fan-triangulated. The candidates for a
// plane are the ends of the edges that name it (linear in the brush's size);
// of those only the vertices within a small distance of the plane are kept.
// A plane with fewer than three such vertices gives no face.
BrushShape brushShape(const modelfile::BrushRecord& brush);

// The display colour of brush `index` (linear RGB, 0..1): neighbours differ.
Vec3 brushColour(size_t index);

}  // namespace exporter
