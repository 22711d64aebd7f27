// The brush building rules as plain linear scans over the tables, exactly as
// worded: the reference the hashed BrushBuilder must agree with bit for bit.
#pragma once

#include <cstdint>
#include <vector>

#include "collision/brush.h"
#include "collision/brush_builder.h"

namespace literal {

struct Result {
    std::vector<collision::BrushVertex> vertices;
    std::vector<collision::BrushPlane> planes;
    std::vector<collision::BrushEdge> edges;
};

inline Result build(const std::vector<collision::BrushVertex>& points, const std::vector<std::array<size_t, 3>>& faces) {
    Result r;
    std::vector<std::uint32_t> map;
    for (const auto& p : points) {
        size_t i = 0;
        while (i < r.vertices.size() && !collision::verticesMerge(r.vertices[i], p)) ++i;
        if (i == r.vertices.size()) r.vertices.push_back(p);
        map.push_back(static_cast<std::uint32_t>(i));
    }
    for (const auto& f : faces) {
        const std::uint32_t u = map[f[0]], v = map[f[1]], w = map[f[2]];
        const collision::BrushPlane plane = collision::facePlane(r.vertices[u], r.vertices[v], r.vertices[w]);
        size_t p = 0;
        while (p < r.planes.size() && !collision::planesMerge(r.planes[p], plane)) ++p;
        if (p == r.planes.size()) r.planes.push_back(plane);
        const auto p16 = static_cast<std::uint16_t>(p);
        const std::uint32_t ends[3][2] = {{u, v}, {v, w}, {w, u}};
        for (const auto& end : ends) {
            const auto a = static_cast<std::uint16_t>(end[0]), b = static_cast<std::uint16_t>(end[1]);
            size_t e = 0;
            while (e < r.edges.size() && !((r.edges[e].end0 == a && r.edges[e].end1 == b) ||
                                           (r.edges[e].end0 == b && r.edges[e].end1 == a)))
                ++e;
            if (e == r.edges.size())
                r.edges.push_back({a, b, p16, p16});
            else if (r.edges[e].plane0 == p16)
                r.edges.erase(r.edges.begin() + static_cast<std::ptrdiff_t>(e));
            else
                r.edges[e].plane1 = p16;
        }
    }
    return r;
}

}  // namespace literal
