#include "export/brush_faces.h"

#include <algorithm>
#include <cmath>

namespace exporter {

namespace {

// Planes that merged in the writer may lie up to 0.002 from a vertex.
constexpr double kOnPlane = 0.005;

}  // namespace

BrushShape brushShape(const modelfile::BrushRecord& brush) {
    BrushShape shape;
    Vec3 centre{0, 0, 0};
    double extent = 0;
    for (const modelfile::BrushVertex& v : brush.vertices) {
        shape.positions.push_back(toGltf(v.x, v.y, v.z));
        centre = add(centre, shape.positions.back());
        for (const double c : shape.positions.back()) extent = std::max(extent, std::abs(c));
    }
    if (!shape.positions.empty()) centre = scale(centre, 1.0 / static_cast<double>(shape.positions.size()));
    const double tolerance = kOnPlane + 1e-6 * extent;

    std::vector<std::vector<std::uint32_t>> onPlane(brush.planes.size());
    for (const modelfile::Edge& e : brush.edges) {
        shape.edges.push_back({e.end0, e.end1});
        for (const std::uint16_t plane : {e.plane0, e.plane1}) {
            onPlane[plane].push_back(e.end0);
            onPlane[plane].push_back(e.end1);
        }
    }
    for (size_t p = 0; p < brush.planes.size(); ++p) {
        const modelfile::Plane& plane = brush.planes[p];
        const Vec3 n = toGltf(plane.a, plane.b, plane.c);
        const double length = std::sqrt(dot(n, n));
        if (!(length > 0) || !std::isfinite(length)) continue;
        std::vector<std::uint32_t>& ring = onPlane[p];
        std::sort(ring.begin(), ring.end());
        ring.erase(std::unique(ring.begin(), ring.end()), ring.end());
        std::erase_if(ring, [&](std::uint32_t i) {
            return !(std::abs(dot(n, shape.positions[i]) + plane.d) / length <= tolerance);
        });
        if (ring.size() < 3) continue;

        Vec3 middle{0, 0, 0};
        for (const std::uint32_t i : ring) middle = add(middle, shape.positions[i]);
        middle = scale(middle, 1.0 / static_cast<double>(ring.size()));
        Vec3 normal = scale(n, 1 / length);
        if (dot(normal, sub(middle, centre)) < 0) normal = scale(normal, -1);  // face outwards whatever the file says
        const Vec3 helper = std::abs(normal[0]) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
        const Vec3 u = normalized(cross(helper, normal)), w = cross(normal, u);
        std::vector<std::pair<double, std::uint32_t>> around;
        for (const std::uint32_t i : ring) {
            const Vec3 d = sub(shape.positions[i], middle);
            around.emplace_back(std::atan2(dot(d, w), dot(d, u)), i);
        }
        std::sort(around.begin(), around.end());
        for (size_t k = 1; k + 1 < around.size(); ++k)
            shape.triangles.push_back({around[0].second, around[k].second, around[k + 1].second});
    }
    return shape;
}

Vec3 brushColour(size_t index) {
    static constexpr Vec3 kPalette[] = {{0.9, 0.3, 0.2}, {0.2, 0.6, 0.9}, {0.3, 0.8, 0.3},
                                        {0.9, 0.8, 0.2}, {0.7, 0.3, 0.8}, {0.2, 0.8, 0.8}};
    return kPalette[index % std::size(kPalette)];
}

}  // namespace exporter
