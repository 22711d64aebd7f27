#include "modelconv/mesh_lod.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <limits>
#include <span>
#include <string>

#include "modelconv/hash_index.h"
#include "common/input_error.h"

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

// A face's corners in the order the file stores them. The scene reader turns
// the scene y-up by exchanging y and z, which mirrors the mesh, so the
// winding flips: corners are written c, b, a.
struct Corner {
    std::int32_t vertex, uv, colour;
};
std::array<Corner, 3> writtenCorners(const SceneFace& f) {
    return {{{f.c, f.tc, f.colourC}, {f.b, f.tb, f.colourB}, {f.a, f.ta, f.colourA}}};
}

bool hasNan(const Vec3f& p) { return std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z); }
bool samePosition(const Vec3f& p, const Vec3f& q) { return p.x == q.x && p.y == q.y && p.z == q.z; }

// The object's faces in written order, grouped by model-wide material,
// without copying the faces.
struct FaceOrder {
    std::span<const SceneFace> faces;    // in file order
    std::vector<std::int32_t> material;  // per face in file order
    std::vector<std::uint32_t> order;    // order[k]: file position of the k-th written face

    size_t size() const { return order.size(); }
    const SceneFace& operator[](size_t k) const { return faces[order[k]]; }
    std::int32_t materialAt(size_t k) const { return material[order[k]]; }
};

// Material ids outside the object's group become its first entry, as the
// format has always done; the faces then sort the way the literal selection
// sort left them.
FaceOrder materialOrder(const std::vector<SceneFace>& faces, const std::vector<std::int32_t>& group,
                        std::int32_t firstMaterial) {
    FaceOrder result{faces, std::vector<std::int32_t>(faces.size()), {}};
    for (size_t i = 0; i < faces.size(); ++i) {
        const auto id = static_cast<std::uint32_t>(faces[i].materialId);
        result.material[i] = group[id < group.size() ? id : 0] + firstMaterial;
    }
    result.order = selectionSortOrder(result.material);
    return result;
}

struct Extent {
    float radius = 0;
    std::array<float, 6> bounds{};  // min x, max x, min y, max y, min z, max z
};

Extent measureExtent(const std::vector<Vec3f>& positions) {
    Extent extent{0, {FLT_MAX, -FLT_MAX, FLT_MAX, -FLT_MAX, FLT_MAX, -FLT_MAX}};
    for (const Vec3f& p : positions) {
        const double length = std::sqrt(static_cast<double>(p.x) * p.x + static_cast<double>(p.y) * p.y +
                                        static_cast<double>(p.z) * p.z);
        if (length > extent.radius) extent.radius = static_cast<float>(length);
        const float coordinates[3] = {p.x, p.y, p.z};
        for (int axis = 0; axis < 3; ++axis) {
            if (coordinates[axis] < extent.bounds[2 * axis]) extent.bounds[2 * axis] = coordinates[axis];
            if (coordinates[axis] > extent.bounds[2 * axis + 1]) extent.bounds[2 * axis + 1] = coordinates[axis];
        }
    }
    return extent;
}

// Unit normals in double, from the corners' float positions; a degenerate
// face keeps its zero normal.
std::vector<Vec3f> faceNormals(const FaceOrder& faces, const std::vector<Vec3f>& positions) {
    std::vector<Vec3f> normals(faces.size());
    for (size_t k = 0; k < faces.size(); ++k) {
        const SceneFace& f = faces[k];
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
        normals[k] = {static_cast<float>(nx), static_cast<float>(ny), static_cast<float>(nz)};
    }
    return normals;
}

// Values filed under keys 0..keyCount-1 in the order `forEach` hands them
// over (a counting sort): key k holds values[offsets[k]] up to
// values[offsets[k + 1]].
template <typename Value>
struct Filed {
    std::vector<std::uint32_t> offsets;
    std::vector<Value> values;
};
template <typename Value, typename ForEach>
Filed<Value> fileByKey(size_t keyCount, ForEach forEach) {
    Filed<Value> filed{std::vector<std::uint32_t>(keyCount + 1, 0), {}};
    forEach([&](std::int32_t key, const Value&) { ++filed.offsets[static_cast<size_t>(key) + 1]; });
    for (size_t k = 0; k < keyCount; ++k) filed.offsets[k + 1] += filed.offsets[k];
    filed.values.resize(filed.offsets[keyCount]);
    std::vector<std::uint32_t> fill(filed.offsets.begin(), filed.offsets.end() - 1);
    forEach([&](std::int32_t key, const Value& value) { filed.values[fill[static_cast<size_t>(key)]++] = value; });
    return filed;
}

struct Use {
    std::int32_t smoothing;
    std::uint32_t face;
};
struct Group {
    std::int32_t smoothing;
    Vec3f normal;
};

// The smoothing rule, one normal per written corner (3 per face). A face with
// smoothing value 0 keeps its face normal at every corner. A corner of a face
// with value s gets the mean of the face normals of every face with value s
// that uses the corner's vertex index (not merely its position): their sum in
// face order, times the float reciprocal of their number.
std::vector<Vec3f> cornerNormals(const FaceOrder& faces, const std::vector<Vec3f>& faceNormal, size_t vertexCount) {
    // Each smoothed face once at each vertex it uses, in face order.
    Filed<Use> uses = fileByKey<Use>(vertexCount, [&](auto file) {
        for (size_t k = 0; k < faces.size(); ++k) {
            const SceneFace& f = faces[k];
            if (f.smoothing == 0) continue;
            const Use use{f.smoothing, static_cast<std::uint32_t>(k)};
            file(f.a, use);
            if (f.b != f.a) file(f.b, use);
            if (f.c != f.a && f.c != f.b) file(f.c, use);
        }
    });
    // Per vertex, the mean normal of each smoothing value, in increasing value.
    std::vector<Group> groups;
    std::vector<std::uint32_t> groupStart(vertexCount + 1);
    auto bySmoothing = [](const Use& a, const Use& b) { return a.smoothing < b.smoothing; };
    for (size_t v = 0; v < vertexCount; ++v) {
        groupStart[v] = static_cast<std::uint32_t>(groups.size());
        const auto first = uses.values.begin() + uses.offsets[v], last = uses.values.begin() + uses.offsets[v + 1];
        // Most vertices see one value: skip the sort and its buffer then.
        if (!std::is_sorted(first, last, bySmoothing)) std::stable_sort(first, last, bySmoothing);
        for (auto run = first, end = first; run != last; run = end) {
            Vec3f sum{0.0f, 0.0f, 0.0f};
            for (end = run; end != last && end->smoothing == run->smoothing; ++end) {
                const Vec3f& n = faceNormal[end->face];
                sum = {sum.x + n.x, sum.y + n.y, sum.z + n.z};
            }
            const float reciprocal = 1.0f / static_cast<float>(end - run);
            groups.push_back({run->smoothing, {sum.x * reciprocal, sum.y * reciprocal, sum.z * reciprocal}});
        }
    }
    groupStart[vertexCount] = static_cast<std::uint32_t>(groups.size());

    std::vector<Vec3f> normals;
    normals.reserve(3 * faces.size());
    for (size_t k = 0; k < faces.size(); ++k) {
        const SceneFace& f = faces[k];
        for (const Corner& corner : writtenCorners(f)) {
            if (f.smoothing == 0) {
                normals.push_back(faceNormal[k]);
                continue;
            }
            const auto first = groups.begin() + groupStart[static_cast<size_t>(corner.vertex)];
            const auto last = groups.begin() + groupStart[static_cast<size_t>(corner.vertex) + 1];
            const auto group = std::lower_bound(first, last, f.smoothing,
                                                [](const Group& g, std::int32_t s) { return g.smoothing < s; });
            // The face asking used this vertex with this value, so it counted
            // itself and its group exists.
            assert(group != last && group->smoothing == f.smoothing);
            normals.push_back(group->normal);
        }
    }
    return normals;
}

struct PositionKeys {
    using Key = Vec3f;
    const std::vector<Vec3f>& positions;
    const Vec3f& keyOf(std::uint32_t v) const { return positions[v]; }
    static std::uint64_t hash(const Vec3f& p) {
        return hashWords({floatKeyBits(p.x), floatKeyBits(p.y), floatKeyBits(p.z)});
    }
    static bool equal(const Vec3f& p, const Vec3f& q) { return samePosition(p, q); }
};

// For each vertex, the lowest vertex index with an equal position (x, y and z
// compare equal as floats), or kNoEntry for a position holding a NaN, which
// equals nothing. Positions compare equal exactly when their ids do, so the
// later phases file corners and edges under these small integers.
std::vector<std::uint32_t> positionIds(const std::vector<Vec3f>& positions) {
    HashTable<PositionKeys> first(PositionKeys{positions});
    first.reserve(positions.size());
    std::vector<std::uint32_t> ids(positions.size(), kNoEntry);
    for (size_t v = 0; v < positions.size(); ++v) {
        if (hasNan(positions[v])) continue;
        ids[v] = first.find(positions[v]);
        if (ids[v] == kNoEntry) {
            ids[v] = static_cast<std::uint32_t>(v);
            first.insert(positions[v], ids[v]);
        }
    }
    return ids;
}

// Corners are one vertex when position, texture coordinates and normal
// compare equal as floats; the colour does not count.
struct CornerKeys {
    using Key = ModelVertex;
    const std::vector<ModelVertex>& vertices;
    const ModelVertex& keyOf(std::uint32_t v) const { return vertices[v]; }
    static std::uint64_t hash(const ModelVertex& c) {
        return hashWords({floatKeyBits(c.position.x), floatKeyBits(c.position.y), floatKeyBits(c.position.z),
                          floatKeyBits(c.u), floatKeyBits(c.v), floatKeyBits(c.normal.x), floatKeyBits(c.normal.y),
                          floatKeyBits(c.normal.z)});
    }
    static bool equal(const ModelVertex& a, const ModelVertex& b) {
        return samePosition(a.position, b.position) && a.u == b.u && a.v == b.v && samePosition(a.normal, b.normal);
    }
};

struct SharedVertices {
    std::vector<ModelVertex> vertices;
    std::vector<std::int32_t> cornerVertex;  // 3 per face, in written order
};

ModelVertex makeCorner(const GeometryObject& object, const Vec3f& position, const Corner& corner, const Vec3f& normal) {
    ModelVertex v;
    v.position = position;
    if (!object.textureVertices.empty()) {
        const bool inside = corner.uv >= 0 && static_cast<size_t>(corner.uv) < object.textureVertices.size();
        const sceneread::Vec2f& uv = object.textureVertices[inside ? static_cast<size_t>(corner.uv) : 0];
        v.u = uv.u;
        v.v = uv.v;
    }
    v.colour = corner.colour == -1 ? Colour{255, 255, 255, 255} : object.vertexColours[static_cast<size_t>(corner.colour)];
    v.colour.a = 255;
    v.normal = normal;
    return v;
}

// Each corner becomes the earliest vertex equal to it, which it overwrites
// (the later corner's colour wins), or a new vertex. Corners holding a NaN
// equal nothing and are never filed.
SharedVertices shareVertices(const FaceOrder& faces, const GeometryObject& object, const std::vector<Vec3f>& positions,
                             const std::vector<Vec3f>& normals, const std::vector<std::uint32_t>& positionId) {
    SharedVertices shared;
    shared.vertices.reserve(std::min<size_t>(3 * faces.size(), 2 * positions.size()));
    shared.cornerVertex.reserve(3 * faces.size());
    BucketIndex<CornerKeys> index(positions.size(), CornerKeys{shared.vertices});
    for (size_t k = 0; k < faces.size(); ++k) {
        const std::array<Corner, 3> corners = writtenCorners(faces[k]);
        for (size_t c = 0; c < 3; ++c) {
            const auto at = static_cast<size_t>(corners[c].vertex);
            const ModelVertex v = makeCorner(object, positions[at], corners[c], normals[3 * k + c]);
            const std::uint32_t position = positionId[at];
            const bool comparable = position != kNoEntry && !hasNan(v.normal) && !std::isnan(v.u) && !std::isnan(v.v);
            std::uint32_t vertex = comparable ? index.find(position, v) : kNoEntry;
            if (vertex != kNoEntry) {
                shared.vertices[vertex] = v;
            } else {
                vertex = static_cast<std::uint32_t>(shared.vertices.size());
                shared.vertices.push_back(v);
                if (comparable) index.insert(position, v, vertex);
            }
            shared.cornerVertex.push_back(static_cast<std::int32_t>(vertex));
        }
    }
    return shared;
}

// Per material group: its material, its face count and the vertices of its
// corners; then -1. The progress marks follow the faces as they are written.
std::vector<std::int32_t> indexStream(const FaceOrder& faces, const std::vector<std::int32_t>& cornerVertex,
                                      std::FILE* out) {
    std::vector<std::int32_t> stream;
    stream.reserve(3 * faces.size() + 64);
    for (size_t start = 0, end = 0; start < faces.size(); start = end) {
        const std::int32_t material = faces.materialAt(start);
        end = start + 1;
        while (end < faces.size() && faces.materialAt(end) == material) ++end;
        stream.push_back(material);
        stream.push_back(static_cast<std::int32_t>(end - start));
        for (size_t k = start; k < end; ++k) {
            if (k % 50 == 0) std::fputc('.', out);
            stream.insert(stream.end(), cornerVertex.begin() + 3 * k, cornerVertex.begin() + 3 * k + 3);
        }
        std::fputc('\n', out);
    }
    stream.push_back(-1);
    return stream;
}

// An unordered pair of position ids or vertex indices, stored low first.
struct Pair {
    std::uint32_t low, high;
    static Pair of(std::uint32_t p, std::uint32_t q) { return {std::min(p, q), std::max(p, q)}; }
    bool operator==(const Pair&) const = default;
};

struct PairKeys {
    using Key = Pair;
    const std::vector<Pair>& pairs;
    const Pair& keyOf(std::uint32_t e) const { return pairs[e]; }
    static std::uint64_t hash(const Pair& p) { return hashWords({p.low, p.high}); }
    static bool equal(const Pair& a, const Pair& b) { return a == b; }
};

// A set of pairs, each filed under its lower end.
class PairSet {
public:
    explicit PairSet(size_t endCount) : index_(endCount, PairKeys{pairs_}) {}
    PairSet(const PairSet&) = delete;  // the index refers to pairs_
    PairSet& operator=(const PairSet&) = delete;

    bool contains(Pair pair) const { return index_.find(pair.low, pair) != kNoEntry; }
    // False when the pair was already in the set.
    bool insert(Pair pair) {
        if (contains(pair)) return false;
        pairs_.push_back(pair);
        index_.insert(pair.low, pair, static_cast<std::uint32_t>(pairs_.size() - 1));
        return true;
    }

private:
    std::vector<Pair> pairs_;
    BucketIndex<PairKeys> index_;
};

// A corner-to-corner edge is visible when any face flags an edge between the
// same two positions (in either direction); each visible vertex pair is
// stored once, in the direction it is first met.
std::vector<std::int32_t> visibleEdges(const FaceOrder& faces, const std::vector<std::uint32_t>& positionId,
                                       const std::vector<std::int32_t>& cornerVertex, size_t vertexCount) {
    PairSet flagged(positionId.size());
    for (const SceneFace& f : faces.faces) {
        const std::int32_t ends[3][2] = {{f.a, f.b}, {f.b, f.c}, {f.c, f.a}};
        const std::int32_t flags[3] = {f.ab, f.bc, f.ca};
        for (int e = 0; e < 3; ++e) {
            const std::uint32_t p = positionId[static_cast<size_t>(ends[e][0])];
            const std::uint32_t q = positionId[static_cast<size_t>(ends[e][1])];
            if (flags[e] != 0 && p != kNoEntry && q != kNoEntry) flagged.insert(Pair::of(p, q));
        }
    }
    std::vector<std::int32_t> edges{0};
    PairSet stored(vertexCount);
    for (size_t k = 0; k < faces.size(); ++k) {
        const std::array<Corner, 3> corners = writtenCorners(faces[k]);
        for (size_t e = 0; e < 3; ++e) {
            const size_t next = (e + 1) % 3;
            const std::uint32_t p = positionId[static_cast<size_t>(corners[e].vertex)];
            const std::uint32_t q = positionId[static_cast<size_t>(corners[next].vertex)];
            if (p == kNoEntry || q == kNoEntry || !flagged.contains(Pair::of(p, q))) continue;
            const std::int32_t i = cornerVertex[3 * k + e], j = cornerVertex[3 * k + next];
            if (!stored.insert(Pair::of(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)))) continue;
            ++edges[0];
            edges.push_back(i);
            edges.push_back(j);
        }
    }
    return edges;
}

}  // namespace

std::vector<Vec3f> positionsInFrame(const std::vector<Vec3f>& vertices, const sceneread::SceneNode& frame) {
    const std::array<float, 16>& m = frame.matrix;
    std::vector<Vec3f> positions;
    positions.reserve(vertices.size());
    for (const Vec3f& v : vertices) {
        const double dx = static_cast<double>(v.x) - frame.position.x;
        const double dy = static_cast<double>(v.y) - frame.position.y;
        const double dz = static_cast<double>(v.z) - frame.position.z;
        positions.push_back({static_cast<float>(m[0] * dx + m[1] * dy + m[2] * dz),
                             static_cast<float>(m[4] * dx + m[5] * dy + m[6] * dz),
                             static_cast<float>(m[8] * dx + m[9] * dy + m[10] * dz)});
    }
    return positions;
}

const std::vector<std::int32_t>& materialGroupOf(const GeometryObject& object, const sceneread::Scene& scene,
                                                 std::string_view elementName, int lod) {
    const auto ref = static_cast<size_t>(object.materialRef);
    if (object.materialRef < 0 || ref >= scene.materialGroups.size() || scene.materialGroups[ref].empty())
        common::reportError(-1, "Mesh %s refers to material %d, which has no materials in lod %d!",
                               std::string(elementName).c_str(), object.materialRef, lod);
    return scene.materialGroups[ref];
}

MeshLod convertMeshLod(const GeometryObject& object, const std::vector<Vec3f>& positions,
                       const std::vector<std::int32_t>& materialGroup, std::int32_t firstMaterial, std::FILE* out) {
    assert(!object.faces.empty() && positions.size() == object.vertices.size());
    MeshLod lod;
    const Extent extent = measureExtent(positions);
    lod.radius = extent.radius;
    lod.bounds = extent.bounds;
    const FaceOrder faces = materialOrder(object.faces, materialGroup, firstMaterial);
    const std::vector<Vec3f> normals = cornerNormals(faces, faceNormals(faces, positions), positions.size());
    const std::vector<std::uint32_t> positionId = positionIds(positions);
    SharedVertices shared = shareVertices(faces, object, positions, normals, positionId);
    lod.indexStream = indexStream(faces, shared.cornerVertex, out);
    lod.edgeList = visibleEdges(faces, positionId, shared.cornerVertex, shared.vertices.size());
    lod.vertices = std::move(shared.vertices);
    return lod;
}

}  // namespace modelconv
