#include "modelfile/vkm.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/byte_reader.h"

namespace modelfile {

namespace {

using common::ByteError;
using common::Cursor;

[[noreturn]] void failAt(size_t offset, const std::string& what) { throw ByteError(offset, what); }

void zeros(Cursor& c, size_t n, const char* what) {
    const size_t start = c.offset();
    if (!common::allZero(c.take(n, what))) failAt(start, std::string("non-zero byte in ") + what);
}

// A fixed-width text field: NUL-terminated, zero after the terminator.
std::string text(Cursor& c, size_t width, const char* what) {
    const size_t start = c.offset();
    const std::span<const std::uint8_t> field = c.take(width, what);
    const auto* first = reinterpret_cast<const char*>(field.data());
    const void* nul = std::memchr(first, 0, width);
    if (nul == nullptr) failAt(start, std::string(what) + " has no terminating NUL");
    const auto length = static_cast<size_t>(static_cast<const char*>(nul) - first);
    if (!common::allZero(field.subspan(length))) failAt(start, std::string(what) + " has bytes after its terminator");
    return std::string(first, length);
}

// A chunk header of the expected kind whose body fits; returns the body's cursor.
Cursor chunk(Cursor& c, std::uint32_t kind, const char* what) {
    c.need(8, std::string("truncated ") + what);
    const size_t start = c.offset();
    const std::uint32_t found = c.u32();
    if (found != kind)
        failAt(start,
               std::string(what) + ": chunk kind " + std::to_string(found) + ", expected " + std::to_string(kind));
    const std::uint32_t size = c.u32();
    if (size > c.left()) c.fail(std::string(what) + ": chunk size " + std::to_string(size) + " runs past its parent");
    return c.sub(size, what);
}

// `field` names the field for the message; it is only called on failure.
template <size_t N, typename Field>
std::array<float, N> floats(Cursor& c, common::FloatValues check, Field field) {
    const size_t start = c.offset();
    const std::array<float, N> values = c.floats<N>();
    if (check == common::FloatValues::FiniteOnly)
        for (const float v : values)
            if (!std::isfinite(v)) failAt(start, field() + " has a non-finite value");
    return values;
}

void done(const Cursor& c, const char* what) {
    if (c.left() != 0) c.fail(std::to_string(c.left()) + " unexpected bytes at the end of " + what);
}

Material readMaterial(Cursor& c) {
    Material m;
    m.name = text(c, 256, "material name");
    for (auto& v : m.diffuse) v = c.u8();
    for (auto& v : m.specular) v = c.u8();
    zeros(c, 2, "material padding");
    m.shine = c.f32();
    m.opacity = c.f32();
    m.twoSided = c.u32();
    m.selfIllum = c.u32();
    m.bitmap = text(c, 256, "bitmap name");
    return m;
}

// The material groups of an index stream, up to its closing -1.
std::vector<Group> readGroups(Cursor& s, size_t materialCount, std::uint32_t vertexCount) {
    std::vector<Group> groups;
    for (;;) {
        const std::int32_t material = s.i32();
        if (material == -1) break;
        if (material < 0 || static_cast<size_t>(material) >= materialCount)
            s.fail("material group refers to material " + std::to_string(material) + " of " +
                   std::to_string(materialCount));
        Group group;
        group.material = static_cast<std::uint32_t>(material);
        const std::uint32_t faces = s.u32();
        if (faces == 0 || s.left() / 12 < faces) s.fail("material group face count " + std::to_string(faces) + " does not fit");
        group.triangles.resize(faces);
        for (auto& triangle : group.triangles)
            for (auto& index : triangle) {
                index = s.u32();
                if (index >= vertexCount) s.fail("vertex index " + std::to_string(index) + " out of range");
            }
        groups.push_back(std::move(group));
    }
    done(s, "index stream (after its -1)");
    return groups;
}

Lod readLod(Cursor& parent, size_t materialCount, common::FloatValues check) {
    Cursor c = chunk(parent, 1, "LOD");
    Lod lod;
    const std::uint32_t vertexCount = c.u32(), indexWords = c.u32(), edgeWords = c.u32();
    lod.radius = c.f32();
    lod.bounds = c.floats<6>();
    if (vertexCount > 0) {
        Cursor v = chunk(c, 1, "vertex list");
        if (v.left() != 36 * std::uint64_t{vertexCount}) v.fail("vertex chunk size does not match the vertex count");
        lod.vertices.resize(vertexCount);
        for (size_t i = 0; i < lod.vertices.size(); ++i) {
            Vertex& vertex = lod.vertices[i];
            vertex.position = floats<3>(v, check, [i] { return "vertex " + std::to_string(i) + " position"; });
            vertex.normal = floats<3>(v, check, [i] { return "vertex " + std::to_string(i) + " normal"; });
            for (auto& b : vertex.colour) b = v.u8();
            zeros(v, 1, "vertex colour padding");
            vertex.u = v.f32();
            vertex.v = v.f32();
        }
    }
    if (indexWords > 0) {
        Cursor s = chunk(c, 2, "index stream");
        if (s.left() != 4 * std::uint64_t{indexWords}) s.fail("index chunk size does not match the index word count");
        lod.hasIndexStream = true;
        lod.groups = readGroups(s, materialCount, vertexCount);
    }
    if (edgeWords > 0) {
        Cursor e = chunk(c, 3, "edge list");
        if (e.left() != 4 * std::uint64_t{edgeWords}) e.fail("edge chunk size does not match the edge word count");
        lod.hasEdgeList = true;
        const std::uint32_t count = e.u32();
        if (edgeWords != 1 + 2 * std::uint64_t{count}) e.fail("edge count does not match the edge word count");
        lod.edges.resize(count);
        for (auto& edge : lod.edges)
            for (auto& index : edge) {
                index = e.u32();
                if (index >= vertexCount) e.fail("edge vertex index " + std::to_string(index) + " out of range");
            }
    }
    if (lod.hasIndexStream != (vertexCount > 0) || lod.hasEdgeList != lod.hasIndexStream)
        c.fail("a LOD holds vertices, an index stream and an edge list, or none of them");
    done(c, "LOD chunk");
    return lod;
}

void checkHierarchy(const std::vector<Element>& elements, size_t at) {
    // Every parent index first: following a chain reads its members' parents.
    for (size_t i = 0; i < elements.size(); ++i) {
        const std::int32_t parent = elements[i].parent;
        if (parent < -1 || parent >= static_cast<std::int32_t>(elements.size()))
            failAt(at, "element " + std::to_string(i) + " has parent " + std::to_string(parent));
    }
    // Linear: each element is walked once. The walk from `i` marks its chain and
    // stops at a root, at an element known to reach one, or back on its own
    // chain (a loop). Every earlier element reached a root, so `i` is the lowest
    // element whose chain loops.
    enum : std::uint8_t { kUnseen, kOnChain, kReachesRoot };
    constexpr size_t kRoot = SIZE_MAX;
    std::vector<std::uint8_t> state(elements.size(), kUnseen);
    auto parentOf = [&](size_t e) {
        const std::int32_t parent = elements[e].parent;
        return parent < 0 ? kRoot : static_cast<size_t>(parent);
    };
    for (size_t i = 0; i < elements.size(); ++i) {
        size_t p = i;
        for (; p != kRoot && state[p] == kUnseen; p = parentOf(p)) state[p] = kOnChain;
        if (p != kRoot && state[p] == kOnChain)
            failAt(at, "the parent chain of element " + std::to_string(i) + " loops");
        for (p = i; p != kRoot && state[p] == kOnChain; p = parentOf(p)) state[p] = kReachesRoot;
    }
}

Model readModel(std::span<const std::uint8_t> bytes, common::FloatValues check) {
    Cursor file(bytes);
    file.need(32, "truncated header");
    if (std::memcmp(bytes.data(), "VKM2", 4) != 0) file.fail("not a VKM file (no VKM2 magic)");
    file.u32();
    if (const std::uint32_t version = file.u32(); version != 512)
        file.fail("version " + std::to_string(version) + ", expected 512");
    const std::uint32_t elementCount = file.u32(), materialCount = file.u32();
    Model model;
    model.lodCount = file.u32();
    zeros(file, 12, "header");

    Cursor materials = chunk(file, 1, "material list");
    if (materials.left() != 536 * std::uint64_t{materialCount})
        materials.fail("material chunk size does not match the header's material count");
    for (std::uint32_t i = 0; i < materialCount; ++i) model.materials.push_back(readMaterial(materials));

    for (std::uint32_t i = 0; i < elementCount; ++i) {
        Cursor c = chunk(file, 2, "element");
        Element e;
        e.name = text(c, 256, "element name");
        e.type = c.u32();
        e.parent = c.i32();
        auto field = [i](const char* name) {
            return [i, name] { return "element " + std::to_string(i) + " " + name; };
        };
        e.localPosition = floats<3>(c, check, field("local position"));
        e.worldPosition = floats<3>(c, check, field("world position"));
        e.localMatrix = floats<9>(c, check, field("local matrix"));
        e.worldMatrix = floats<9>(c, check, field("world matrix"));
        e.localRotation = floats<4>(c, check, field("local rotation"));
        e.worldRotation = floats<4>(c, check, field("world rotation"));
        e.originRadius = c.f32();
        e.sphereCenter = floats<3>(c, check, field("sphere centre"));
        e.sphereRadius = floats<1>(c, check, field("sphere radius"))[0];
        if (e.type == 3) {
            e.useLight = c.i32();
        } else if (e.type == 1) {
            e.bounds = c.floats<6>();
            for (std::uint32_t lod = 0; lod < model.lodCount; ++lod) e.lods.push_back(readLod(c, materialCount, check));
            if (!e.lods.empty() && std::memcmp(e.bounds.data(), e.lods[0].bounds.data(), sizeof e.bounds) != 0 &&
                !e.lods[0].vertices.empty())
                c.fail("mesh bounds differ from its LOD 0 bounds");
        }
        done(c, "element chunk");
        model.elements.push_back(std::move(e));
    }
    done(file, "file (after the header's element count)");
    checkHierarchy(model.elements, bytes.size());
    return model;
}

}  // namespace

const char* typeName(std::uint32_t type) {
    switch (type) {
        case 1: return "MESH";
        case 2: return "CAMERA";
        case 3: return "OMNILIGHT";
        default: return "UNKNOWN";
    }
}

Model readVkm(std::span<const std::uint8_t> bytes, common::FloatValues check) {
    try {
        return readModel(bytes, check);
    } catch (const ByteError& e) {
        throw VkmError(e.offset, e.what());
    }
}

}  // namespace modelfile
