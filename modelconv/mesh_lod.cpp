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

namespace {

// Replays the selection sort instead of sorting: its swaps make the order
// within one material depend on the whole history, and files must match it
// byte for byte. The sort takes the ids in increasing value; for one value it
// takes that value's faces in increasing current position (a face of the
// value is never displaced while the value is being taken), each swapping
// with the front. So a value's phase only needs its faces' positions in
// order: found by scanning the unsorted rest when the value holds a good
// share of it, by sorting them otherwise. Each scan costs at most 8 times the
// faces it places: linear in all.
void replaySelectionSort(std::span<const std::int32_t> ids, std::vector<std::uint32_t>& order,
                         std::vector<std::uint32_t>& where, std::vector<std::uint32_t>& byId) {
    const size_t n = ids.size();
    order.resize(n);
    for (size_t i = 0; i < n; ++i) order[i] = static_cast<std::uint32_t>(i);
    if (std::is_sorted(ids.begin(), ids.end())) return;  // no swap at all
    where.assign(order.begin(), order.end());

    // The faces by id, then by file position: a counting sort when the ids
    // span little more than their number.
    const auto [low, high] = std::minmax_element(ids.begin(), ids.end());
    const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(*high) - *low);
    byId.resize(n);
    if (span <= 2 * std::uint64_t{n}) {
        std::vector<std::uint32_t> start(static_cast<size_t>(span) + 2, 0);
        for (std::int32_t id : ids) ++start[static_cast<size_t>(id - *low) + 1];
        for (size_t v = 1; v < start.size(); ++v) start[v] += start[v - 1];
        for (size_t i = 0; i < n; ++i) byId[start[static_cast<size_t>(ids[i] - *low)]++] = static_cast<std::uint32_t>(i);
    } else {
        for (size_t i = 0; i < n; ++i) byId[i] = static_cast<std::uint32_t>(i);
        std::stable_sort(byId.begin(), byId.end(), [&](std::uint32_t a, std::uint32_t b) { return ids[a] < ids[b]; });
    }

    auto takeFront = [&](size_t front, size_t p) {
        const std::uint32_t a = order[front], b = order[p];
        order[front] = b;
        order[p] = a;
        where[b] = static_cast<std::uint32_t>(front);
        where[a] = static_cast<std::uint32_t>(p);
    };
    std::vector<std::uint32_t> positions;
    size_t front = 0;
    for (size_t run = 0, next = 0; run < n; run = next) {
        const std::int32_t id = ids[byId[run]];
        for (next = run + 1; next < n && ids[byId[next]] == id;) ++next;
        const size_t count = next - run;
        if (n - front <= 8 * count) {
            for (size_t p = front, taken = 0; taken < count; ++p)
                if (ids[order[p]] == id) {
                    takeFront(front++, p);
                    ++taken;
                }
        } else {
            positions.clear();
            for (size_t k = run; k < next; ++k) positions.push_back(where[byId[k]]);
            std::sort(positions.begin(), positions.end());
            for (std::uint32_t p : positions) takeFront(front++, p);
        }
    }
}

}  // namespace

std::vector<std::uint32_t> selectionSortOrder(const std::vector<std::int32_t>& ids) {
    std::vector<std::uint32_t> order, where, byId;
    replaySelectionSort(ids, order, where, byId);
    return order;
}

namespace {

// A face's corners in the order the file stores them. The scene reader turns
// the scene y-up by exchanging y and z, which mirrors the mesh, so the
// winding flips: corners are written c, b, a.
struct Corner {
    std::int32_t vertex, uv, colour;
};
Corner writtenCorner(const SceneFace& f, size_t corner) {
    switch (corner) {
        case 0: return {f.c, f.tc, f.colourC};
        case 1: return {f.b, f.tb, f.colourB};
        default: return {f.a, f.ta, f.colourA};
    }
}
std::array<Corner, 3> writtenCorners(const SceneFace& f) {
    return {writtenCorner(f, 0), writtenCorner(f, 1), writtenCorner(f, 2)};
}

bool hasNan(const Vec3f& p) { return std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z); }
bool samePosition(const Vec3f& p, const Vec3f& q) { return p.x == q.x && p.y == q.y && p.z == q.z; }

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

// Unit normal in double, from the corners' float positions; a degenerate
// face keeps its zero normal.
Vec3f faceNormal(const SceneFace& f, const std::vector<Vec3f>& positions) {
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
    return {static_cast<float>(nx), static_cast<float>(ny), static_cast<float>(nz)};
}

// The faces of one smoothing value at one vertex index (not merely its
// position): their normals summed in face order, then the mean.
struct SmoothingKey {
    std::uint32_t vertex;
    std::int32_t smoothing;
};
struct SmoothingGroup {
    SmoothingKey key;
    Vec3f normal;
    std::uint32_t count;
};
struct SmoothingKeys {
    using Key = SmoothingKey;
    const std::vector<SmoothingGroup>* groups = nullptr;
    const SmoothingKey& keyOf(std::uint32_t g) const { return (*groups)[g].key; }
    static std::uint64_t hash(const SmoothingKey& k) {
        return hashWords({k.vertex, static_cast<std::uint32_t>(k.smoothing)});
    }
    static bool equal(const SmoothingKey& a, const SmoothingKey& b) {
        return a.vertex == b.vertex && a.smoothing == b.smoothing;
    }
};

struct PositionKeys {
    using Key = Vec3f;
    const std::vector<Vec3f>* positions = nullptr;
    const Vec3f& keyOf(std::uint32_t v) const { return (*positions)[v]; }
    static std::uint64_t hash(const Vec3f& p) {
        return hashWords({floatKeyBits(p.x), floatKeyBits(p.y), floatKeyBits(p.z)});
    }
    static bool equal(const Vec3f& p, const Vec3f& q) { return samePosition(p, q); }
};

// Corners are one vertex when position, texture coordinates and normal
// compare equal as floats; the colour does not count. Equal positions have
// one position id, which stands for all three coordinates.
struct CornerKey {
    std::uint32_t position;
    float u, v;
    Vec3f normal;
};
struct CornerKeys {
    using Key = CornerKey;
    const std::vector<CornerKey>* keys = nullptr;
    const CornerKey& keyOf(std::uint32_t k) const { return (*keys)[k]; }
    static std::uint64_t hash(const CornerKey& c) {
        return hashWords({c.position, floatKeyBits(c.u), floatKeyBits(c.v), floatKeyBits(c.normal.x),
                          floatKeyBits(c.normal.y), floatKeyBits(c.normal.z)});
    }
    static bool equal(const CornerKey& a, const CornerKey& b) {
        return a.position == b.position && a.u == b.u && a.v == b.v && samePosition(a.normal, b.normal);
    }
};

// An unordered pair of position ids or vertex indices, stored low first.
struct Pair {
    std::uint32_t low, high;
    static Pair of(std::uint32_t p, std::uint32_t q) { return {std::min(p, q), std::max(p, q)}; }
    bool operator==(const Pair&) const = default;
};

struct PairKeys {
    using Key = Pair;
    const std::vector<Pair>* pairs = nullptr;
    const Pair& keyOf(std::uint32_t e) const { return (*pairs)[e]; }
    static std::uint64_t hash(const Pair& p) { return hashWords({p.low, p.high}); }
    static bool equal(const Pair& a, const Pair& b) { return a == b; }
};

// A set of pairs, each filed under a bucket that the pair determines.
class PairSet {
public:
    PairSet() : index_(0, PairKeys{&pairs_}) {}
    PairSet(const PairSet&) = delete;  // the index refers to pairs_
    PairSet& operator=(const PairSet&) = delete;

    // Room for `pairs` pairs: reserved, not touched, so that growing never
    // copies (and touches fresh memory twice).
    void reset(size_t bucketCount, size_t pairs) {
        pairs_.clear();
        pairs_.reserve(pairs);
        index_.reset(bucketCount, PairKeys{&pairs_}, pairs);
    }
    bool contains(std::uint32_t bucket, Pair pair) const { return index_.find(bucket, pair) != kNoEntry; }
    // The pair's number: pairs are numbered in the order they are first added.
    std::uint32_t add(std::uint32_t bucket, Pair pair) {
        std::uint32_t number = index_.find(bucket, pair);
        if (number != kNoEntry) return number;
        number = static_cast<std::uint32_t>(pairs_.size());
        pairs_.push_back(pair);
        index_.insert(bucket, pair, number);
        return number;
    }
    size_t size() const { return pairs_.size(); }

private:
    std::vector<Pair> pairs_;
    BucketIndex<PairKeys> index_;
};

}  // namespace

// "Per face" and "per corner" mean in file order: the passes that look up
// hash tables run in file order, where neighbouring faces share vertices and
// the tables' working set stays small; the passes in written order, which
// sweeps the mesh once per material, only read and write small arrays.
struct MeshScratch {
    std::vector<std::int32_t> material;  // per face in file order
    std::vector<std::uint32_t> order;    // order[k]: file position of the k-th written face
    std::vector<std::uint32_t> where, byId;
    std::vector<Vec3f> faceNormal;           // per face
    std::vector<std::uint32_t> cornerGroup;  // per corner of a smoothed face
    std::vector<SmoothingGroup> groups;
    BucketIndex<SmoothingKeys> groupIndex{0, SmoothingKeys{}};
    std::vector<std::uint32_t> positionId;
    HashTable<PositionKeys> firstPosition{PositionKeys{}};
    // Corners that make one vertex form a class: per corner its class, per
    // class the key of its first corner, and, in written order, the vertex it
    // became and that vertex's last corner (in where and byId, which the
    // material order no longer needs).
    std::vector<std::uint32_t> cornerClass;
    std::vector<CornerKey> classKeys;
    BucketIndex<CornerKeys> classIndex{0, CornerKeys{}};
    // The visible edges as pairs of classes: per corner the one that starts at
    // it (or kNoEntry), and whether each has been written.
    PairSet flagged, edgeClasses;
    std::vector<std::uint32_t> edgeClass;
    std::vector<std::uint8_t> edgeWritten;
};

MeshWorkspace::MeshWorkspace() : scratch_(std::make_unique<MeshScratch>()) {}
MeshWorkspace::~MeshWorkspace() = default;
MeshWorkspace::MeshWorkspace(MeshWorkspace&&) noexcept = default;
MeshWorkspace& MeshWorkspace::operator=(MeshWorkspace&&) noexcept = default;

namespace {

// The object's faces in written order: grouped by model-wide material, the
// way the literal selection sort left them. Material ids outside the object's
// group become its first entry, as the format has always done.
void materialOrder(const std::vector<SceneFace>& faces, const std::vector<std::int32_t>& group,
                   std::int32_t firstMaterial, MeshScratch& s) {
    s.material.resize(faces.size());
    for (size_t i = 0; i < faces.size(); ++i) {
        const auto id = static_cast<std::uint32_t>(faces[i].materialId);
        s.material[i] = group[id < group.size() ? id : 0] + firstMaterial;
    }
    replaySelectionSort(s.material, s.order, s.where, s.byId);
}

// The smoothing rule. A face with smoothing value 0 keeps its face normal at
// every corner. A corner of a face with value s gets the mean of the face
// normals of every face with value s that uses the corner's vertex index:
// their sum in written face order, times the float reciprocal of their
// number. Each smoothed face counts once at each vertex it uses. Leaves the
// group of each smoothed corner in cornerGroup.
void smoothingGroups(std::span<const SceneFace> faces, size_t vertexCount, MeshScratch& s) {
    // At most one group per corner: reserved, not touched.
    s.groups.clear();
    s.groups.reserve(3 * faces.size());
    s.groupIndex.reset(vertexCount, SmoothingKeys{&s.groups}, 3 * faces.size());
    s.cornerGroup.resize(3 * faces.size());
    for (size_t i = 0; i < faces.size(); ++i) {
        const SceneFace& f = faces[i];
        if (f.smoothing == 0) continue;
        auto groupOf = [&](std::int32_t vertex) {
            const SmoothingKey key{static_cast<std::uint32_t>(vertex), f.smoothing};
            std::uint32_t g = s.groupIndex.find(key.vertex, key);
            if (g == kNoEntry) {
                g = static_cast<std::uint32_t>(s.groups.size());
                s.groups.push_back({key, {0.0f, 0.0f, 0.0f}, 0});
                s.groupIndex.insert(key.vertex, key, g);
            }
            return g;
        };
        // Written corners are c, b, a.
        s.cornerGroup[3 * i] = groupOf(f.c);
        s.cornerGroup[3 * i + 1] = groupOf(f.b);
        s.cornerGroup[3 * i + 2] = groupOf(f.a);
    }
    // A face adds to each group once: its corners' groups differ exactly
    // when their vertices do.
    for (const std::uint32_t i : s.order) {
        if (faces[i].smoothing == 0) continue;
        const Vec3f& n = s.faceNormal[i];
        const std::uint32_t* group = &s.cornerGroup[3 * size_t{i}];
        auto add = [&](std::uint32_t g) {
            SmoothingGroup& sum = s.groups[g];
            sum.normal = {sum.normal.x + n.x, sum.normal.y + n.y, sum.normal.z + n.z};
            ++sum.count;
        };
        add(group[2]);
        if (group[1] != group[2]) add(group[1]);
        if (group[0] != group[2] && group[0] != group[1]) add(group[0]);
    }
    for (SmoothingGroup& g : s.groups) {
        const float reciprocal = 1.0f / static_cast<float>(g.count);
        g.normal = {g.normal.x * reciprocal, g.normal.y * reciprocal, g.normal.z * reciprocal};
    }
}

// For each vertex, the lowest vertex index with an equal position (x, y and z
// compare equal as floats), or kNoEntry for a position holding a NaN, which
// equals nothing. Positions compare equal exactly when their ids do, so the
// later phases file corners and edges under these small integers.
void positionIds(const std::vector<Vec3f>& positions, MeshScratch& s) {
    s.firstPosition.reset(positions.size(), PositionKeys{&positions});
    s.positionId.assign(positions.size(), kNoEntry);
    for (size_t v = 0; v < positions.size(); ++v) {
        if (hasNan(positions[v])) continue;
        std::uint32_t& id = s.positionId[v];
        id = s.firstPosition.find(positions[v]);
        if (id == kNoEntry) {
            id = static_cast<std::uint32_t>(v);
            s.firstPosition.insert(positions[v], id);
        }
    }
}

// Texture coordinates outside the list are its first entry's; a mesh
// without any has u = v = 0.
sceneread::Vec2f cornerUv(const GeometryObject& object, std::int32_t index) {
    if (object.textureVertices.empty()) return {0, 0};
    const bool inside = index >= 0 && static_cast<size_t>(index) < object.textureVertices.size();
    return object.textureVertices[inside ? static_cast<size_t>(index) : 0];
}

// The edges that any face flags, as pairs of position ids (either direction).
void flaggedEdges(std::span<const SceneFace> faces, MeshScratch& s) {
    s.flagged.reset(s.positionId.size(), 3 * faces.size());
    for (const SceneFace& f : faces) {
        const std::int32_t ends[3][2] = {{f.a, f.b}, {f.b, f.c}, {f.c, f.a}};
        const std::int32_t flags[3] = {f.ab, f.bc, f.ca};
        for (int e = 0; e < 3; ++e) {
            const std::uint32_t p = s.positionId[static_cast<size_t>(ends[e][0])];
            const std::uint32_t q = s.positionId[static_cast<size_t>(ends[e][1])];
            if (flags[e] != 0 && p != kNoEntry && q != kNoEntry) {
                const Pair pair = Pair::of(p, q);
                s.flagged.add(pair.low, pair);
            }
        }
    }
}

const Vec3f& cornerNormal(const SceneFace& f, size_t corner, size_t faceIndex, const MeshScratch& s) {
    return f.smoothing == 0 ? s.faceNormal[faceIndex] : s.groups[s.cornerGroup[3 * faceIndex + corner]].normal;
}

// In file order: the class of every corner (corners holding a NaN equal
// nothing: each is a class of its own), and the edges between positions that
// a face flags as pairs of classes.
void classifyCorners(std::span<const SceneFace> faces, const GeometryObject& object,
                     const std::vector<Vec3f>& positions, MeshScratch& s) {
    const size_t corners = 3 * faces.size();
    s.cornerClass.resize(corners);
    s.classKeys.clear();
    s.classKeys.reserve(corners);
    s.classIndex.reset(positions.size(), CornerKeys{&s.classKeys}, corners);
    s.edgeClasses.reset(positions.size(), corners);
    s.edgeClass.resize(corners);
    for (size_t i = 0; i < faces.size(); ++i) {
        const SceneFace& f = faces[i];
        const std::array<Corner, 3> written = writtenCorners(f);
        std::uint32_t positionOf[3];
        std::uint32_t* cls = &s.cornerClass[3 * i];
        for (size_t c = 0; c < 3; ++c) {
            const std::uint32_t position = positionOf[c] = s.positionId[static_cast<size_t>(written[c].vertex)];
            const sceneread::Vec2f uv = cornerUv(object, written[c].uv);
            const CornerKey key{position, uv.u, uv.v, cornerNormal(f, c, i, s)};
            const bool comparable =
                position != kNoEntry && !hasNan(key.normal) && !std::isnan(key.u) && !std::isnan(key.v);
            std::uint32_t found = comparable ? s.classIndex.find(position, key) : kNoEntry;
            if (found == kNoEntry) {
                found = static_cast<std::uint32_t>(s.classKeys.size());
                s.classKeys.push_back(key);
                if (comparable) s.classIndex.insert(position, key, found);
            }
            cls[c] = found;
        }
        for (size_t e = 0; e < 3; ++e) {
            const size_t next = (e + 1) % 3;
            const std::uint32_t p = positionOf[e], q = positionOf[next];
            std::uint32_t& edge = s.edgeClass[3 * i + e];
            edge = kNoEntry;
            if (p == kNoEntry || q == kNoEntry || !s.flagged.contains(std::min(p, q), Pair::of(p, q))) continue;
            // A class pair is filed under the position of its lower class.
            edge = s.edgeClasses.add(cls[e] <= cls[next] ? p : q, Pair::of(cls[e], cls[next]));
        }
    }
}

// One pass over the written corners: each becomes the earliest vertex equal
// to it, which it overwrites (the later corner's colour wins), or a new
// vertex; it goes to the index stream (per material group: material, face
// count, the vertices of its corners; then -1); and a corner-to-corner edge
// between positions that a face flags is visible, each vertex pair stored
// once, in the direction it is first met. The progress marks follow the faces
// as they are written.
void shareCorners(std::span<const SceneFace> faces, const GeometryObject& object, const std::vector<Vec3f>& positions,
                  MeshScratch& s, MeshLod& lod, std::FILE* out) {
    classifyCorners(faces, object, positions, s);
    const size_t faceCount = s.order.size();
    size_t runs = 0;
    for (size_t k = 0; k < faceCount; ++k) runs += k == 0 || s.material[s.order[k]] != s.material[s.order[k - 1]];
    lod.indexStream.resize(2 * runs + 3 * faceCount + 1);
    // Every class becomes one vertex and every edge class one edge.
    const size_t vertexCount = s.classKeys.size();
    std::vector<std::uint32_t>& classVertex = s.where;
    std::vector<std::uint32_t>& lastCorner = s.byId;
    classVertex.assign(vertexCount, kNoEntry);
    lastCorner.resize(vertexCount);
    s.edgeWritten.assign(s.edgeClasses.size(), 0);
    lod.edgeList.resize(1 + 2 * s.edgeClasses.size());
    lod.edgeList[0] = static_cast<std::int32_t>(s.edgeClasses.size());

    std::uint32_t vertices = 0;
    size_t at = 0, edgeAt = 1;
    for (size_t start = 0, end = 0; start < faceCount; start = end) {
        const std::int32_t material = s.material[s.order[start]];
        for (end = start + 1; end < faceCount && s.material[s.order[end]] == material;) ++end;
        lod.indexStream[at++] = material;
        lod.indexStream[at++] = static_cast<std::int32_t>(end - start);
        for (size_t k = start; k < end; ++k) {
            if (k % 50 == 0) std::fputc('.', out);
            const size_t corner = 3 * size_t{s.order[k]};
            std::uint32_t vertexOf[3];
            for (size_t c = 0; c < 3; ++c) {
                std::uint32_t& vertex = classVertex[s.cornerClass[corner + c]];
                if (vertex == kNoEntry) vertex = vertices++;
                lastCorner[vertex] = static_cast<std::uint32_t>(corner + c);
                vertexOf[c] = vertex;
                lod.indexStream[at++] = static_cast<std::int32_t>(vertex);
            }
            for (size_t e = 0; e < 3; ++e) {
                const std::uint32_t edge = s.edgeClass[corner + e];
                if (edge == kNoEntry || s.edgeWritten[edge]) continue;
                s.edgeWritten[edge] = 1;
                lod.edgeList[edgeAt++] = static_cast<std::int32_t>(vertexOf[e]);
                lod.edgeList[edgeAt++] = static_cast<std::int32_t>(vertexOf[(e + 1) % 3]);
            }
        }
        std::fputc('\n', out);
    }
    lod.indexStream[at] = -1;
    lod.vertices.resize(vertexCount);
    for (size_t v = 0; v < vertexCount; ++v) {
        const size_t face = lastCorner[v] / 3, c = lastCorner[v] % 3;
        const SceneFace& f = faces[face];
        const Corner corner = writtenCorner(f, c);
        ModelVertex& vertex = lod.vertices[v];
        vertex.position = positions[static_cast<size_t>(corner.vertex)];
        const sceneread::Vec2f uv = cornerUv(object, corner.uv);
        vertex.u = uv.u;
        vertex.v = uv.v;
        vertex.colour = corner.colour == -1 ? Colour{255, 255, 255, 255}
                                            : object.vertexColours[static_cast<size_t>(corner.colour)];
        vertex.colour.a = 255;
        vertex.normal = cornerNormal(f, c, face, s);
    }
}

}  // namespace

std::vector<Vec3f> positionsInFrame(const std::vector<Vec3f>& vertices, const sceneread::SceneNode& frame) {
    std::vector<Vec3f> positions;
    positionsInFrame(vertices, frame, positions);
    return positions;
}

void positionsInFrame(const std::vector<Vec3f>& vertices, const sceneread::SceneNode& frame,
                      std::vector<Vec3f>& positions) {
    const std::array<float, 16>& m = frame.matrix;
    positions.resize(vertices.size());
    for (size_t i = 0; i < vertices.size(); ++i) {
        const Vec3f& v = vertices[i];
        const double dx = static_cast<double>(v.x) - frame.position.x;
        const double dy = static_cast<double>(v.y) - frame.position.y;
        const double dz = static_cast<double>(v.z) - frame.position.z;
        positions[i] = {static_cast<float>(m[0] * dx + m[1] * dy + m[2] * dz),
                        static_cast<float>(m[4] * dx + m[5] * dy + m[6] * dz),
                        static_cast<float>(m[8] * dx + m[9] * dy + m[10] * dz)};
    }
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
    MeshWorkspace workspace;
    return convertMeshLod(object, positions, materialGroup, firstMaterial, out, workspace);
}

MeshLod convertMeshLod(const GeometryObject& object, const std::vector<Vec3f>& positions,
                       const std::vector<std::int32_t>& materialGroup, std::int32_t firstMaterial, std::FILE* out,
                       MeshWorkspace& workspace) {
    assert(!object.faces.empty() && positions.size() == object.vertices.size());
    MeshScratch& s = workspace.scratch();
    MeshLod lod;
    const Extent extent = measureExtent(positions);
    lod.radius = extent.radius;
    lod.bounds = extent.bounds;
    const std::span<const SceneFace> faces = object.faces;
    materialOrder(object.faces, materialGroup, firstMaterial, s);
    s.faceNormal.resize(faces.size());
    for (size_t i = 0; i < faces.size(); ++i) s.faceNormal[i] = faceNormal(faces[i], positions);
    smoothingGroups(faces, positions.size(), s);
    positionIds(positions, s);
    flaggedEdges(faces, s);
    shareCorners(faces, object, positions, s, lod, out);
    return lod;
}

}  // namespace modelconv
