// Simplification of one ASE mesh with the meshoptimizer library.
//
// The design, in short: faces with the same smoothing groups and material id
// (the same face-line tail) form a class, and each class is simplified on its
// own with the class's open edges locked (meshopt_SimplifyLockBorder). So the
// borders between materials and between smoothing groups, and the mesh's own
// open borders, keep every vertex and edge: no face spans two materials, no
// material disappears, and shading creases stay where they are. Inside a
// class, corners are merged into wedges (equal position, texture vertex of
// every channel and colour vertex); where one position carries two wedges the
// library sees a seam and collapses its vertices only along it, both sides
// together, so texture and colour seams stay seams between the same
// attributes; where more than two meet, the vertex does not move.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "lod/ase_mesh.h"

namespace lod {

struct SimplifyOptions {
    double ratio = 1.0;              // triangles to keep, 0 < ratio <= 1
    std::optional<double> maxError;  // relative to the mesh's largest extent; none: unbounded
};

// What simplifying needs of a mesh whatever the ratio: its classes, wedges
// and edges. Indices refer to the mesh it was prepared from.
struct PreparedMesh {
    std::vector<std::uint32_t> classStart;  // faces of class c: classFaces[classStart[c] .. classStart[c + 1])
    std::vector<std::uint32_t> classFaces;  // in file order within a class; classes by first appearance
    std::vector<std::uint32_t> cornerWedge;  // per corner (3 * face + k)
    std::vector<std::uint32_t> wedgeCorner;  // per wedge, its first corner
    std::vector<std::uint32_t> edgeStart;    // half-edges leaving vertex v: edges[edgeStart[v] .. edgeStart[v + 1])
    std::vector<std::pair<std::uint32_t, std::int32_t>> edges;  // (end vertex, visibility flag)
    float scale = 0;  // the mesh's largest extent, as the library measures it
};

PreparedMesh prepareMesh(const MeshBlock& mesh);

struct OutputFace {
    // Corners of the source (3 * face + k) whose attributes each corner
    // takes: position, texture and colour vertices, normal.
    std::array<std::uint32_t, 3> corner{};
    // The visibility of each edge (AB, BC, CA): that of the source face edge
    // between the same two vertices, on the same side when there is one;
    // edges the source does not have are visible.
    std::array<std::int32_t, 3> edgeVisible{};
    std::uint32_t classFace = 0;  // a source face of its class, whose tail it takes
};

struct SimplifiedMesh {
    std::vector<OutputFace> faces;  // class by class
    size_t sourceTriangles = 0;
    size_t targetTriangles = 0;
    // The library's result error, relative to the mesh's largest extent:
    // the largest over the classes.
    double error = 0;
    // Every source triangle kept: the block can be written back as it is.
    bool unchanged() const { return faces.size() == sourceTriangles; }
};

SimplifiedMesh simplifyMesh(const MeshBlock& mesh, const PreparedMesh& prepared, const SimplifyOptions& options);

}  // namespace lod
