#include "collision/brush_builder.h"

#include <cmath>

#include "common/input_error.h"

namespace collision {

namespace {

constexpr double kVertexTolerance = 1e-6;
constexpr double kNormalTolerance = 2e-5;
constexpr double kDistanceTolerance = 0.002;

// Cell sizes are powers of two, so scaling is exact, and at least twice the
// tolerance, so a query touches at most two cells per axis.
constexpr double kVertexCellScale = 65536.0;   // cells of 2^-16 ~ 1.5e-5
constexpr double kNormalCellScale = 16384.0;   // 2^-14 ~ 6.1e-5
constexpr double kDistanceCellScale = 128.0;   // 2^-7 ~ 0.0078
constexpr double kCellLimit = 4611686018427387904.0;  // 2^62

BrushVertex minus(const BrushVertex& p, const BrushVertex& q) { return {p.x - q.x, p.y - q.y, p.z - q.z}; }

BrushVertex cross(const BrushVertex& u, const BrushVertex& v) {
    return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

double squaredLength(const BrushVertex& v) { return v.x * v.x + v.y * v.y + v.z * v.z; }

bool within(double stored, double added, double tolerance) {
    const double difference = stored - added;
    return -tolerance < difference && difference < tolerance;
}

// Monotonic in v, so with lo = fl(p - t) and hi = fl(p + t) every stored q with
// |fl(q - p)| < t has cellOf(lo) <= cellOf(q) <= cellOf(hi): rounding never
// moves p - t past a representable q that lies above it.
std::int64_t cellOf(double v, double scale) {
    const double s = std::floor(v * scale);
    if (s <= -kCellLimit) return -static_cast<std::int64_t>(kCellLimit);
    if (s >= kCellLimit) return static_cast<std::int64_t>(kCellLimit);
    return static_cast<std::int64_t>(s);
}

size_t mix(size_t seed, std::int64_t value) {
    std::uint64_t h = static_cast<std::uint64_t>(value) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    return seed ^ (static_cast<size_t>(h) + 0x9E3779B9u + (seed << 6) + (seed >> 2));
}

}  // namespace

bool verticesMerge(const BrushVertex& stored, const BrushVertex& added) {
    return within(stored.x, added.x, kVertexTolerance) && within(stored.y, added.y, kVertexTolerance) &&
           within(stored.z, added.z, kVertexTolerance);
}

bool planesMerge(const BrushPlane& stored, const BrushPlane& added) {
    return within(stored.a, added.a, kNormalTolerance) && within(stored.b, added.b, kNormalTolerance) &&
           within(stored.c, added.c, kNormalTolerance) && within(stored.d, added.d, kDistanceTolerance);
}

BrushPlane facePlane(const BrushVertex& a, const BrushVertex& b, const BrushVertex& c) {
    const double l1 = squaredLength(minus(b, c));
    // NOTE: the two other lengths are compared in single precision; nearly
    // isosceles faces pick their corner by it, and the normal's bits follow.
    const float l2 = static_cast<float>(squaredLength(minus(c, a)));
    const float l3 = static_cast<float>(squaredLength(minus(a, b)));
    BrushVertex n;
    if (l1 > l2 && l1 > l3)
        n = cross(minus(c, a), minus(b, a));
    else if (l2 > l3)
        n = cross(minus(a, b), minus(c, b));
    else
        n = cross(minus(b, c), minus(a, c));
    const double length = std::sqrt(squaredLength(n));
    if (length != 0) {
        const double inverse = 1 / length;
        n = {n.x * inverse, n.y * inverse, n.z * inverse};
    }
    return {n.x, n.y, n.z, -(n.x * a.x + n.y * a.y + n.z * a.z)};
}

size_t BrushBuilder::CellHash::operator()(const Cell3& c) const {
    return mix(mix(mix(0, c.i[0]), c.i[1]), c.i[2]);
}

size_t BrushBuilder::CellHash::operator()(const Cell4& c) const {
    return mix(mix(mix(mix(0, c.i[0]), c.i[1]), c.i[2]), c.i[3]);
}

void BrushBuilder::begin(std::string name) {
    brush_ = Brush{};
    brush_.name = std::move(name);
    vertexMap_.clear();
    solver_ = geometry::SphereSolver{};
    vertexGrid_.clear();
    planeGrid_.clear();
    edgeSlots_.clear();
    liveEdges_.clear();
}

std::uint32_t BrushBuilder::addVertex(const BrushVertex& point, long line) {
    solver_.addPoint(point.x, point.y, point.z);
    auto& vertices = brush_.vertices;
    // Non-finite coordinates never compare within a tolerance: such a point
    // neither matches nor is matched, so it stays out of the grid.
    const bool finite = std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.z);
    std::uint32_t found = UINT32_MAX;
    if (finite) {
        const double p[3] = {point.x, point.y, point.z};
        std::int64_t lo[3], hi[3];
        for (int k = 0; k < 3; ++k) {
            lo[k] = cellOf(p[k] - kVertexTolerance, kVertexCellScale);
            hi[k] = cellOf(p[k] + kVertexTolerance, kVertexCellScale);
        }
        for (std::int64_t x = lo[0]; x <= hi[0]; ++x)
            for (std::int64_t y = lo[1]; y <= hi[1]; ++y)
                for (std::int64_t z = lo[2]; z <= hi[2]; ++z) {
                    const auto cell = vertexGrid_.find(Cell3{{x, y, z}});
                    if (cell == vertexGrid_.end()) continue;
                    for (const std::uint32_t index : cell->second) {
                        if (index >= found) break;
                        if (verticesMerge(vertices[index], point)) {
                            found = index;
                            break;
                        }
                    }
                }
    }
    if (found == UINT32_MAX) {
        if (vertices.size() >= kMaxBrushEntries)
            common::reportError(line, "Brush %s has more than 65535 vertices!", brush_.name.c_str());
        found = static_cast<std::uint32_t>(vertices.size());
        vertices.push_back(point);
        if (finite) {
            const Cell3 cell{{cellOf(point.x, kVertexCellScale), cellOf(point.y, kVertexCellScale),
                              cellOf(point.z, kVertexCellScale)}};
            vertexGrid_[cell].push_back(found);
        }
    }
    vertexMap_.push_back(found);
    return found;
}

void BrushBuilder::computeSphere() {
    solver_.build();
    brush_.centre = solver_.centre();
    brush_.radius = solver_.radius();
}

std::uint32_t BrushBuilder::addPlane(const BrushPlane& plane, long line) {
    auto& planes = brush_.planes;
    const bool finite =
        std::isfinite(plane.a) && std::isfinite(plane.b) && std::isfinite(plane.c) && std::isfinite(plane.d);
    const double value[4] = {plane.a, plane.b, plane.c, plane.d};
    const double tolerance[4] = {kNormalTolerance, kNormalTolerance, kNormalTolerance, kDistanceTolerance};
    const double scale[4] = {kNormalCellScale, kNormalCellScale, kNormalCellScale, kDistanceCellScale};
    std::uint32_t found = UINT32_MAX;
    if (finite) {
        std::int64_t lo[4], hi[4];
        for (int k = 0; k < 4; ++k) {
            lo[k] = cellOf(value[k] - tolerance[k], scale[k]);
            hi[k] = cellOf(value[k] + tolerance[k], scale[k]);
        }
        for (std::int64_t a = lo[0]; a <= hi[0]; ++a)
            for (std::int64_t b = lo[1]; b <= hi[1]; ++b)
                for (std::int64_t c = lo[2]; c <= hi[2]; ++c)
                    for (std::int64_t d = lo[3]; d <= hi[3]; ++d) {
                        const auto cell = planeGrid_.find(Cell4{{a, b, c, d}});
                        if (cell == planeGrid_.end()) continue;
                        for (const std::uint32_t index : cell->second) {
                            if (index >= found) break;
                            if (planesMerge(planes[index], plane)) {
                                found = index;
                                break;
                            }
                        }
                    }
    }
    if (found != UINT32_MAX) return found;
    if (planes.size() >= kMaxBrushEntries)
        common::reportError(line, "Brush %s has more than 65535 planes!", brush_.name.c_str());
    found = static_cast<std::uint32_t>(planes.size());
    planes.push_back(plane);
    if (finite) {
        Cell4 cell;
        for (int k = 0; k < 4; ++k) cell.i[k] = cellOf(value[k], scale[k]);
        planeGrid_[cell].push_back(found);
    }
    return found;
}

void BrushBuilder::enterEdge(std::uint32_t u, std::uint32_t v, std::uint32_t plane) {
    const std::uint32_t key = u < v ? (u << 16 | v) : (v << 16 | u);
    const auto live = liveEdges_.find(key);
    if (live == liveEdges_.end()) {
        const auto p = static_cast<std::uint16_t>(plane);
        liveEdges_.emplace(key, static_cast<std::uint32_t>(edgeSlots_.size()));
        edgeSlots_.push_back({BrushEdge{static_cast<std::uint16_t>(u), static_cast<std::uint16_t>(v), p, p}});
        return;
    }
    EdgeSlot& slot = edgeSlots_[live->second];
    if (slot.edge.plane0 == plane) {
        // Both faces lie in one merged plane: a diagonal inside a polygon.
        slot.removed = true;
        liveEdges_.erase(live);
    } else {
        slot.edge.plane1 = static_cast<std::uint16_t>(plane);
    }
}

void BrushBuilder::addFace(std::size_t a, std::size_t b, std::size_t c, long line) {
    const std::uint32_t u = vertexMap_[a], v = vertexMap_[b], w = vertexMap_[c];
    const auto& vertices = brush_.vertices;
    const std::uint32_t plane = addPlane(facePlane(vertices[u], vertices[v], vertices[w]), line);
    enterEdge(u, v, plane);
    enterEdge(v, w, plane);
    enterEdge(w, u, plane);
}

Brush BrushBuilder::finish() {
    for (const EdgeSlot& slot : edgeSlots_)
        if (!slot.removed) brush_.edges.push_back(slot.edge);
    Brush result = std::move(brush_);
    begin({});
    return result;
}

}  // namespace collision
