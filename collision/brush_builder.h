// Builds one brush from the vertices and faces of one ASE mesh: vertices merged
// within 1e-6 per coordinate, one plane per set of faces whose planes agree
// within 2e-5 (normal) and 0.002 (distance), the edges between faces of
// different planes, and the smallest sphere around the unmerged vertices.
//
// Every merge takes the first match in table order, exactly as a linear scan
// would; hashed grids only make finding it fast, so a hostile mesh of 100k
// faces costs seconds, not hours.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "collision/brush.h"
#include "geometry/sphere_solver.h"

namespace collision {

// The plane of the triangle (A, B, C), formed at the corner opposite its
// longest edge. Bit-exact: double precision in the order written.
BrushPlane facePlane(const BrushVertex& a, const BrushVertex& b, const BrushVertex& c);

// True when two vertices merge: every coordinate difference strictly within 1e-6.
bool verticesMerge(const BrushVertex& stored, const BrushVertex& added);
// True when two planes merge: a, b, c strictly within 2e-5, d within 0.002.
bool planesMerge(const BrushPlane& stored, const BrushPlane& added);

class BrushBuilder {
public:
    // Starts a new brush; everything of the previous one is dropped.
    void begin(std::string name);

    // Adds the next mesh vertex (already in the tool's frame) and returns its
    // merged index. Throws common::InputError (with `line`) when the brush would get
    // more than kMaxBrushEntries vertices.
    std::uint32_t addVertex(const BrushVertex& point, long line = -1);
    // The smallest sphere around every vertex added, duplicates included.
    void computeSphere();
    // Adds the triangle of mesh vertex numbers a, b, c, each below
    // meshVertexCount() (callers check). Throws common::InputError (with `line`) when
    // the brush would get more than kMaxBrushEntries planes.
    void addFace(std::size_t a, std::size_t b, std::size_t c, long line = -1);

    std::size_t meshVertexCount() const { return vertexMap_.size(); }
    // The finished brush; the builder is empty afterwards.
    Brush finish();

private:
    struct Cell3 {
        std::int64_t i[3];
        bool operator==(const Cell3&) const = default;
    };
    struct Cell4 {
        std::int64_t i[4];
        bool operator==(const Cell4&) const = default;
    };
    struct CellHash {
        size_t operator()(const Cell3& c) const;
        size_t operator()(const Cell4& c) const;
    };
    struct EdgeSlot {
        BrushEdge edge;
        bool removed = false;
    };

    std::uint32_t addPlane(const BrushPlane& plane, long line);
    void enterEdge(std::uint32_t u, std::uint32_t v, std::uint32_t plane);

    Brush brush_;
    std::vector<std::uint32_t> vertexMap_;
    geometry::SphereSolver solver_;
    // Grid cells hold table indices in increasing order.
    std::unordered_map<Cell3, std::vector<std::uint32_t>, CellHash> vertexGrid_;
    std::unordered_map<Cell4, std::vector<std::uint32_t>, CellHash> planeGrid_;
    // Edges in order of first appearance; removed ones stay as tombstones until
    // finish(), so positions never shift. At most one live slot per end pair.
    std::vector<EdgeSlot> edgeSlots_;
    std::unordered_map<std::uint32_t, std::uint32_t> liveEdges_;
};

}  // namespace collision
