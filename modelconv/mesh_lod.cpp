#include "modelconv/mesh_lod.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>

#include "geometry/sphere_solver.h"
#include "sceneread/report_error.h"

namespace modelconv {

using sceneread::GeometryObject;
using sceneread::SceneFace;

std::vector<std::uint32_t> selectionSortOrder(const std::vector<std::int32_t>& ids) {
    // Replays the selection sort instead of sorting: its swaps make the order
    // within one material depend on the whole history, and files must match
    // it byte for byte. A min-tree over positions finds each step's earliest
    // smallest id in O(log F).
    const size_t n = ids.size();
    std::vector<std::uint32_t> order(n);
    std::vector<std::int64_t> key(n);
    for (size_t i = 0; i < n; ++i) {
        order[i] = static_cast<std::uint32_t>(i);
        key[i] = ids[i];
    }
    size_t leaves = 1;
    while (leaves < n) leaves *= 2;
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> tree(2 * leaves, kNone);
    auto better = [&](std::uint32_t a, std::uint32_t b) {
        if (a == kNone) return b;
        if (b == kNone) return a;
        return key[b] < key[a] || (key[b] == key[a] && b < a) ? b : a;
    };
    for (size_t i = 0; i < n; ++i) tree[leaves + i] = static_cast<std::uint32_t>(i);
    for (size_t node = leaves - 1; node >= 1; --node) tree[node] = better(tree[2 * node], tree[2 * node + 1]);
    auto refresh = [&](size_t position) {
        for (size_t node = (leaves + position) / 2; node >= 1; node /= 2)
            tree[node] = better(tree[2 * node], tree[2 * node + 1]);
    };
    constexpr std::int64_t kDone = std::numeric_limits<std::int64_t>::max();
    for (size_t i = 0; i < n; ++i) {
        const std::uint32_t smallest = tree[1];  // earliest smallest among positions i..n-1
        if (smallest != i) {
            std::swap(order[i], order[smallest]);
            std::swap(key[i], key[smallest]);
            refresh(smallest);
        }
        key[i] = kDone;
        tree[leaves + i] = kNone;
        refresh(i);
    }
    return order;
}

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

bool hasNan(const Vec3f& p) { return std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z); }

// Float equality treats -0 and +0 as equal: hash them alike.
std::uint32_t keyBits(float f) { return f == 0.0f ? 0u : std::bit_cast<std::uint32_t>(f); }

std::uint64_t hashWords(std::initializer_list<std::uint32_t> words) {
    std::uint64_t h = 0x243F6A8885A308D3ull;
    for (std::uint32_t word : words) {
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 32;
    }
    return h;
}

// Lists longer than this move to a hash table: short lists keep the mesh's
// memory locality, the table keeps fans and collapsed meshes linear.
constexpr std::uint32_t kShortList = 16;

// Open-addressing set of 64-bit keys, growing at half load.
class KeySet {
public:
    bool insert(std::uint64_t key) {
        if (2 * (count_ + 1) > slots_.size()) grow();
        std::uint64_t& slot = slots_[slotOf(key)];
        if (slot == key) return false;
        slot = key;
        ++count_;
        return true;
    }
    bool contains(std::uint64_t key) const { return !slots_.empty() && slots_[slotOf(key)] == key; }

private:
    static constexpr std::uint64_t kEmpty = std::numeric_limits<std::uint64_t>::max();
    // The slot holding `key`, or the empty slot where it belongs.
    size_t slotOf(std::uint64_t key) const {
        const size_t mask = slots_.size() - 1;
        size_t at = (key * 0x9E3779B97F4A7C15ull) >> 20 & mask;
        while (slots_[at] != key && slots_[at] != kEmpty) at = (at + 1) & mask;
        return at;
    }
    void grow() {
        std::vector<std::uint64_t> old(slots_.empty() ? 16 : 2 * slots_.size(), kEmpty);
        old.swap(slots_);
        for (std::uint64_t key : old)
            if (key != kEmpty) slots_[slotOf(key)] = key;
    }
    std::vector<std::uint64_t> slots_;
    size_t count_ = 0;
};

std::uint64_t pairKey(std::uint32_t low, std::uint32_t high) { return std::uint64_t{low} << 32 | high; }

// For each vertex, the lowest vertex index with an equal position (x, y and z
// compare equal as floats), or kNone for a position holding a NaN, which
// equals nothing. Positions compare equal exactly when their ids do, so the
// searches below can follow small per-position lists instead of hashing
// corners and edges.
std::vector<std::uint32_t> positionIds(const std::vector<Vec3f>& positions) {
    size_t size = 16;
    while (size < 2 * positions.size()) size *= 2;
    std::vector<std::uint32_t> slots(size, kNone);
    std::vector<std::uint32_t> ids(positions.size());
    for (size_t v = 0; v < positions.size(); ++v) {
        const Vec3f& p = positions[v];
        if (hasNan(p)) {
            ids[v] = kNone;
            continue;
        }
        const std::uint64_t h = hashWords({keyBits(p.x), keyBits(p.y), keyBits(p.z)});
        for (size_t at = h & (size - 1);; at = (at + 1) & (size - 1)) {
            if (slots[at] == kNone) {
                slots[at] = static_cast<std::uint32_t>(v);
                ids[v] = static_cast<std::uint32_t>(v);
                break;
            }
            const Vec3f& q = positions[slots[at]];
            if (q.x == p.x && q.y == p.y && q.z == p.z) {
                ids[v] = slots[at];
                break;
            }
        }
    }
    return ids;
}

// Smoothed normals: for each vertex, the face normals of every face with a
// given smoothing value that uses the vertex, summed in face order (as a
// literal scan over the faces would add them), times the float reciprocal of
// their number.
class SmoothNormals {
public:
    template <typename FaceAt>
    SmoothNormals(size_t faceCount, FaceAt faceAt, const std::vector<Vec3f>& faceNormals, size_t vertexCount) {
        std::vector<std::uint32_t> offsets(vertexCount + 1, 0);
        auto forEachUse = [&](auto visit) {
            for (size_t p = 0; p < faceCount; ++p) {
                const SceneFace& f = faceAt(p);
                if (f.smoothing == 0) continue;
                visit(f.a, p, f.smoothing);
                if (f.b != f.a) visit(f.b, p, f.smoothing);
                if (f.c != f.a && f.c != f.b) visit(f.c, p, f.smoothing);
            }
        };
        forEachUse([&](std::int32_t v, size_t, std::int32_t) { ++offsets[static_cast<size_t>(v) + 1]; });
        for (size_t v = 0; v < vertexCount; ++v) offsets[v + 1] += offsets[v];
        std::vector<Use> uses(offsets[vertexCount]);
        {
            std::vector<std::uint32_t> fill(offsets.begin(), offsets.end() - 1);
            forEachUse([&](std::int32_t v, size_t p, std::int32_t smoothing) {
                uses[fill[static_cast<size_t>(v)]++] = {smoothing, static_cast<std::uint32_t>(p)};
            });
        }
        // Per vertex: group the uses by smoothing value, keeping face order.
        groupStart_.resize(vertexCount + 1);
        for (size_t v = 0; v < vertexCount; ++v) {
            groupStart_[v] = static_cast<std::uint32_t>(groups_.size());
            const auto first = uses.begin() + offsets[v];
            const auto last = uses.begin() + offsets[v + 1];
            if (!std::is_sorted(first, last, [](const Use& a, const Use& b) { return a.smoothing < b.smoothing; }))
                std::stable_sort(first, last, [](const Use& a, const Use& b) { return a.smoothing < b.smoothing; });
            for (auto run = first; run != last;) {
                Vec3f sum{0.0f, 0.0f, 0.0f};
                std::uint32_t count = 0;
                auto end = run;
                for (; end != last && end->smoothing == run->smoothing; ++end, ++count) {
                    const Vec3f& n = faceNormals[end->face];
                    sum.x += n.x;
                    sum.y += n.y;
                    sum.z += n.z;
                }
                const float reciprocal = 1.0f / static_cast<float>(count);
                groups_.push_back({run->smoothing, {sum.x * reciprocal, sum.y * reciprocal, sum.z * reciprocal}});
                run = end;
            }
        }
        groupStart_[vertexCount] = static_cast<std::uint32_t>(groups_.size());
    }

    const Vec3f& normal(std::int32_t vertex, std::int32_t smoothing) const {
        const auto first = groups_.begin() + groupStart_[static_cast<size_t>(vertex)];
        const auto last = groups_.begin() + groupStart_[static_cast<size_t>(vertex) + 1];
        // The face asking always counts itself, so its group exists.
        return std::lower_bound(first, last, smoothing,
                                [](const Group& g, std::int32_t s) { return g.smoothing < s; })->normal;
    }

private:
    struct Use {
        std::int32_t smoothing;
        std::uint32_t face;
    };
    struct Group {
        std::int32_t smoothing;
        Vec3f normal;
    };
    std::vector<std::uint32_t> groupStart_;
    std::vector<Group> groups_;
};

// Flagged (visible) edges by the position ids of their ends, each stored
// under its smaller id: a lookup scans the few edges of one position.
class FlaggedEdges {
public:
    template <typename FaceAt>
    FlaggedEdges(size_t faceCount, FaceAt faceAt, const std::vector<std::uint32_t>& ids) {
        offsets_.assign(ids.size() + 1, 0);
        auto forEachEdge = [&](auto visit) {
            for (size_t k = 0; k < faceCount; ++k) {
                const SceneFace& f = faceAt(k);
                const std::int32_t ends[3][2] = {{f.a, f.b}, {f.b, f.c}, {f.c, f.a}};
                const std::int32_t flags[3] = {f.ab, f.bc, f.ca};
                for (int e = 0; e < 3; ++e) {
                    if (flags[e] == 0) continue;
                    const std::uint32_t p = ids[static_cast<size_t>(ends[e][0])];
                    const std::uint32_t q = ids[static_cast<size_t>(ends[e][1])];
                    if (p != kNone && q != kNone) visit(std::min(p, q), std::max(p, q));
                }
            }
        };
        forEachEdge([&](std::uint32_t low, std::uint32_t) { ++offsets_[low + 1]; });
        for (size_t v = 0; v + 1 < offsets_.size(); ++v) offsets_[v + 1] += offsets_[v];
        partners_.resize(offsets_.back());
        std::vector<std::uint32_t> fill(offsets_.begin(), offsets_.end() - 1);
        forEachEdge([&](std::uint32_t low, std::uint32_t high) {
            partners_[fill[low]++] = high;
            if (offsets_[low + 1] - offsets_[low] > kShortList) long_.insert(pairKey(low, high));
        });
    }

    bool contains(std::uint32_t p, std::uint32_t q) const {
        if (p == kNone || q == kNone) return false;
        const std::uint32_t low = std::min(p, q), high = std::max(p, q);
        if (offsets_[low + 1] - offsets_[low] > kShortList) return long_.contains(pairKey(low, high));
        for (std::uint32_t at = offsets_[low]; at != offsets_[low + 1]; ++at)
            if (partners_[at] == high) return true;
        return false;
    }

private:
    std::vector<std::uint32_t> offsets_;
    std::vector<std::uint32_t> partners_;
    KeySet long_;  // the edges of positions with many flagged edges
};

bool sameCorner(const ModelVertex& a, const ModelVertex& b) {
    return a.position.x == b.position.x && a.position.y == b.position.y && a.position.z == b.position.z &&
           a.u == b.u && a.v == b.v && a.normal.x == b.normal.x && a.normal.y == b.normal.y &&
           a.normal.z == b.normal.z;
}

// The shared vertices made so far. The candidates for a corner are the
// vertices at its position id, chained in index order (at most one of them can
// equal it). A position with many distinct vertices (a collapsed mesh) moves
// to a hash of the compared floats. Corners holding a NaN equal nothing and
// are never indexed.
class VertexIndex {
public:
    explicit VertexIndex(size_t positionCount) : chains_(positionCount) {}

    // The index of the vertex equal to `corner`, overwritten by it (the later
    // corner's colour wins), or of the corner appended as a new vertex.
    std::int32_t place(std::vector<ModelVertex>& vertices, const ModelVertex& corner, std::uint32_t position) {
        const bool comparable =
            position != kNone && !hasNan(corner.normal) && !std::isnan(corner.u) && !std::isnan(corner.v);
        if (comparable) {
            const Chain& chain = chains_[position];
            if (chain.length > kShortList) {
                const std::uint32_t v = findLong(vertices, corner, position);
                if (v != kNone) return overwrite(vertices, v, corner);
            } else {
                for (std::uint32_t v = chain.first; v != kNone; v = next_[v])
                    if (sameCorner(vertices[v], corner)) return overwrite(vertices, v, corner);
            }
        }
        const auto fresh = static_cast<std::uint32_t>(vertices.size());
        vertices.push_back(corner);
        next_.push_back(kNone);
        positionOf_.push_back(position);
        if (comparable) {
            Chain& chain = chains_[position];
            if (chain.length > kShortList) {
                insertLong(vertices, fresh);
            } else {
                (chain.first == kNone ? chain.first : next_[chain.last]) = fresh;
                chain.last = fresh;
                if (++chain.length > kShortList)
                    for (std::uint32_t v = chain.first; v != kNone; v = next_[v]) insertLong(vertices, v);
            }
        }
        return static_cast<std::int32_t>(fresh);
    }

private:
    struct Chain {
        std::uint32_t first = kNone, last = kNone, length = 0;
    };

    static std::int32_t overwrite(std::vector<ModelVertex>& vertices, std::uint32_t v, const ModelVertex& corner) {
        vertices[v] = corner;
        return static_cast<std::int32_t>(v);
    }
    size_t slotOf(const ModelVertex& c, std::uint32_t position) const {
        const size_t mask = longSlots_.size() - 1;
        size_t at = hashWords({position, keyBits(c.u), keyBits(c.v), keyBits(c.normal.x), keyBits(c.normal.y),
                               keyBits(c.normal.z)}) & mask;
        return at;
    }
    std::uint32_t findLong(const std::vector<ModelVertex>& vertices, const ModelVertex& corner,
                           std::uint32_t position) const {
        const size_t mask = longSlots_.size() - 1;
        for (size_t at = slotOf(corner, position);; at = (at + 1) & mask) {
            const std::uint32_t v = longSlots_[at];
            if (v == kNone || (positionOf_[v] == position && sameCorner(vertices[v], corner))) return v;
        }
    }
    void insertLong(const std::vector<ModelVertex>& vertices, std::uint32_t v) {
        if (2 * (longCount_ + 1) > longSlots_.size()) {
            std::vector<std::uint32_t> old(longSlots_.empty() ? 64 : 2 * longSlots_.size(), kNone);
            old.swap(longSlots_);
            for (std::uint32_t w : old)
                if (w != kNone) store(vertices, w);
        }
        store(vertices, v);
        ++longCount_;
    }
    void store(const std::vector<ModelVertex>& vertices, std::uint32_t v) {
        const size_t mask = longSlots_.size() - 1;
        size_t at = slotOf(vertices[v], positionOf_[v]);
        while (longSlots_[at] != kNone) at = (at + 1) & mask;
        longSlots_[at] = v;
    }

    std::vector<Chain> chains_;
    std::vector<std::uint32_t> next_;
    std::vector<std::uint32_t> positionOf_;
    std::vector<std::uint32_t> longSlots_;
    size_t longCount_ = 0;
};

// The visible edges stored so far, as unordered vertex pairs chained per
// smaller index; a vertex with many edges (a fan's centre) moves to a hash.
class StoredEdges {
public:
    // False when the pair is already stored (in either order).
    bool insert(std::uint32_t low, std::uint32_t high) {
        if (low >= chains_.size()) chains_.resize(low + 1);
        Chain& chain = chains_[low];
        if (chain.length > kShortList) return long_.insert(pairKey(low, high));
        for (std::uint32_t e = chain.first; e != kNone; e = entries_[e].next)
            if (entries_[e].high == high) return false;
        entries_.push_back({high, chain.first});
        chain.first = static_cast<std::uint32_t>(entries_.size() - 1);
        if (++chain.length > kShortList)
            for (std::uint32_t e = chain.first; e != kNone; e = entries_[e].next) long_.insert(pairKey(low, entries_[e].high));
        return true;
    }

private:
    struct Chain {
        std::uint32_t first = kNone, length = 0;
    };
    struct Entry {
        std::uint32_t high, next;
    };
    std::vector<Chain> chains_;
    std::vector<Entry> entries_;
    KeySet long_;
};

}  // namespace

void convertMeshLod(MeshElement& element, int lod, const GeometryObject* object, const sceneread::Scene& scene,
                    std::int32_t firstMaterial, std::FILE* out) {
    std::fprintf(out, "Converting mesh %s", element.name.c_str());
    if (object == nullptr || object->vertices.empty() || object->faces.empty()) {
        std::fputs(": not found\n", out);
        return;
    }
    MeshLod& result = element.lods[static_cast<size_t>(lod)];
    result.radius = 0;
    result.bounds = {FLT_MAX, -FLT_MAX, FLT_MAX, -FLT_MAX, FLT_MAX, -FLT_MAX};

    // Vertices in the element's frame: always the LOD-0 node's, so that every
    // LOD shares it.
    const sceneread::SceneNode& source = *element.sourceNode;
    const std::array<float, 16>& m = source.matrix;
    std::vector<Vec3f> positions;
    positions.reserve(object->vertices.size());
    geometry::SphereSolver solver;
    for (const Vec3f& v : object->vertices) {
        const double dx = static_cast<double>(v.x) - source.position.x;
        const double dy = static_cast<double>(v.y) - source.position.y;
        const double dz = static_cast<double>(v.z) - source.position.z;
        const Vec3f p{static_cast<float>(m[0] * dx + m[1] * dy + m[2] * dz),
                      static_cast<float>(m[4] * dx + m[5] * dy + m[6] * dz),
                      static_cast<float>(m[8] * dx + m[9] * dy + m[10] * dz)};
        positions.push_back(p);
        const double length = std::sqrt(static_cast<double>(p.x) * p.x + static_cast<double>(p.y) * p.y +
                                        static_cast<double>(p.z) * p.z);
        if (length > result.radius) result.radius = static_cast<float>(length);
        const float coordinates[3] = {p.x, p.y, p.z};
        for (int axis = 0; axis < 3; ++axis) {
            if (coordinates[axis] < result.bounds[2 * axis]) result.bounds[2 * axis] = coordinates[axis];
            if (coordinates[axis] > result.bounds[2 * axis + 1]) result.bounds[2 * axis + 1] = coordinates[axis];
        }
        if (lod == 0) solver.addPoint(p.x, p.y, p.z);
    }
    if (lod == 0) {
        solver.build();
        element.sphereCentre = {static_cast<float>(solver.centre()[0]), static_cast<float>(solver.centre()[1]),
                                static_cast<float>(solver.centre()[2])};
        element.sphereRadius = static_cast<float>(solver.radius());
        element.originRadius = result.radius;
        element.bounds = result.bounds;
    }

    // Model-wide material numbers; ids outside the object's group become 0.
    const auto ref = static_cast<size_t>(object->materialRef);
    if (object->materialRef < 0 || ref >= scene.materialGroups.size() || scene.materialGroups[ref].empty())
        sceneread::reportError(-1, "Mesh %s refers to material %d, which has no materials in lod %d!",
                               element.name.c_str(), object->materialRef, lod);
    const std::vector<std::int32_t>& group = scene.materialGroups[ref];
    std::vector<std::int32_t> ids(object->faces.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        const auto id = static_cast<std::uint32_t>(object->faces[i].materialId);
        ids[i] = group[id < group.size() ? id : 0] + firstMaterial;
    }
    const std::vector<std::uint32_t> order = selectionSortOrder(ids);
    auto faceAt = [&](size_t k) -> const SceneFace& { return object->faces[order[k]]; };
    const size_t faceCount = order.size();

    std::vector<Vec3f> faceNormals(faceCount);
    for (size_t k = 0; k < faceCount; ++k) {
        const SceneFace& f = faceAt(k);
        const Vec3f& a = positions[static_cast<size_t>(f.a)];
        const Vec3f& b = positions[static_cast<size_t>(f.b)];
        const Vec3f& c = positions[static_cast<size_t>(f.c)];
        const double ux = static_cast<double>(b.x) - c.x, uy = static_cast<double>(b.y) - c.y,
                     uz = static_cast<double>(b.z) - c.z;
        const double vx = static_cast<double>(a.x) - c.x, vy = static_cast<double>(a.y) - c.y,
                     vz = static_cast<double>(a.z) - c.z;
        double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (length != 0) {
            const double inverse = 1 / length;
            nx *= inverse;
            ny *= inverse;
            nz *= inverse;
        }
        faceNormals[k] = {static_cast<float>(nx), static_cast<float>(ny), static_cast<float>(nz)};
    }
    const SmoothNormals smooth(faceCount, faceAt, faceNormals, positions.size());
    const std::vector<std::uint32_t> positionId = positionIds(positions);
    const FlaggedEdges flagged(faceCount, faceAt, positionId);

    VertexIndex vertexIndex(positions.size());
    StoredEdges storedEdges;
    const bool hasUv = !object->textureVertices.empty();
    const auto uvCount = static_cast<std::int64_t>(object->textureVertices.size());
    result.vertices.reserve(std::min<size_t>(3 * faceCount, 2 * positions.size()));
    result.indexStream.reserve(3 * faceCount + 64);
    result.edgeList.push_back(0);

    for (size_t start = 0; start < faceCount;) {
        const std::int32_t material = ids[order[start]];
        size_t end = start + 1;
        while (end < faceCount && ids[order[end]] == material) ++end;
        result.indexStream.push_back(material);
        result.indexStream.push_back(static_cast<std::int32_t>(end - start));
        for (size_t k = start; k < end; ++k) {
            if (k % 50 == 0) std::fputc('.', out);
            const SceneFace& f = faceAt(k);
            // The scene reader turns the scene y-up by exchanging y and z,
            // which mirrors the mesh, so the winding flips: c, b, a.
            const std::int32_t vertex[3] = {f.c, f.b, f.a};
            const std::int32_t uv[3] = {f.tc, f.tb, f.ta};
            const std::int32_t colour[3] = {f.colourC, f.colourB, f.colourA};
            std::int32_t placed[3];
            for (int corner = 0; corner < 3; ++corner) {
                const auto at = static_cast<size_t>(vertex[corner]);
                ModelVertex v;
                v.position = positions[at];
                if (hasUv) {
                    const std::int64_t t = uv[corner] >= 0 && uv[corner] < uvCount ? uv[corner] : 0;
                    v.u = object->textureVertices[static_cast<size_t>(t)].u;
                    v.v = object->textureVertices[static_cast<size_t>(t)].v;
                }
                if (colour[corner] == -1) {
                    v.colour = {255, 255, 255, 255};
                } else {
                    v.colour = object->vertexColours[static_cast<size_t>(colour[corner])];
                    v.colour.a = 255;
                }
                v.normal = f.smoothing == 0 ? faceNormals[k] : smooth.normal(vertex[corner], f.smoothing);
                placed[corner] = vertexIndex.place(result.vertices, v, positionId[at]);
                result.indexStream.push_back(placed[corner]);
            }
            for (int e = 0; e < 3; ++e) {
                const int next = (e + 1) % 3;
                if (!flagged.contains(positionId[static_cast<size_t>(vertex[e])],
                                      positionId[static_cast<size_t>(vertex[next])]))
                    continue;
                const std::int32_t i = placed[e], j = placed[next];
                if (!storedEdges.insert(static_cast<std::uint32_t>(std::min(i, j)), static_cast<std::uint32_t>(std::max(i, j))))
                    continue;
                ++result.edgeList[0];
                result.edgeList.push_back(i);
                result.edgeList.push_back(j);
            }
        }
        std::fputc('\n', out);
        start = end;
    }
    result.indexStream.push_back(-1);
}

}  // namespace modelconv
