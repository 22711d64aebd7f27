#include "tools/vkminfo/vkm_reader.h"

#include <bit>
#include <cstring>

namespace vkminfo {

namespace {

class Cursor {
public:
    Cursor(std::span<const std::uint8_t> bytes, size_t begin, size_t end) : bytes_(bytes), at_(begin), end_(end) {}

    size_t at() const { return at_; }
    size_t left() const { return end_ - at_; }
    [[noreturn]] void fail(const std::string& what) const { throw VkmError(at_, what); }

    void need(size_t n, const char* what) const {
        if (left() < n) fail(std::string("truncated ") + what);
    }
    std::uint8_t u8() {
        need(1, "byte");
        return bytes_[at_++];
    }
    std::uint32_t u32() {
        need(4, "word");
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= std::uint32_t{bytes_[at_ + static_cast<size_t>(i)]} << (8 * i);
        at_ += 4;
        return v;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    float f32() { return std::bit_cast<float>(u32()); }
    template <size_t N>
    std::array<float, N> floats() {
        std::array<float, N> out{};
        for (float& f : out) f = f32();
        return out;
    }
    void zeros(size_t n, const char* what) {
        need(n, what);
        for (size_t i = 0; i < n; ++i)
            if (bytes_[at_ + i] != 0) fail(std::string("non-zero byte in ") + what);
        at_ += n;
    }
    // A fixed-width text field: NUL-terminated, zero after the terminator.
    std::string text(size_t width, const char* what) {
        need(width, what);
        const auto* first = reinterpret_cast<const char*>(bytes_.data() + at_);
        const void* nul = std::memchr(first, 0, width);
        if (nul == nullptr) fail(std::string(what) + " has no terminating NUL");
        const auto length = static_cast<size_t>(static_cast<const char*>(nul) - first);
        for (size_t i = length; i < width; ++i)
            if (first[i] != 0) fail(std::string(what) + " has bytes after its terminator");
        at_ += width;
        return std::string(first, length);
    }
    // A chunk header of the expected kind whose body fits; returns the body's cursor.
    Cursor chunk(std::uint32_t kind, const char* what) {
        need(8, what);
        const std::uint32_t found = u32();
        if (found != kind) {
            at_ -= 4;
            fail(std::string(what) + ": chunk kind " + std::to_string(found) + ", expected " + std::to_string(kind));
        }
        const std::uint32_t size = u32();
        if (size > left()) fail(std::string(what) + ": chunk size " + std::to_string(size) + " runs past its parent");
        Cursor body(bytes_, at_, at_ + size);
        at_ += size;
        return body;
    }
    void done(const char* what) const {
        if (left() != 0) fail(std::to_string(left()) + " unexpected bytes at the end of " + what);
    }

private:
    std::span<const std::uint8_t> bytes_;
    size_t at_, end_;
};

Material readMaterial(Cursor& c) {
    Material m;
    m.name = c.text(256, "material name");
    for (auto& v : m.diffuse) v = c.u8();
    for (auto& v : m.specular) v = c.u8();
    c.zeros(2, "material padding");
    m.shine = c.f32();
    m.opacity = c.f32();
    m.twoSided = c.u32();
    m.selfIllum = c.u32();
    m.bitmap = c.text(256, "bitmap name");
    return m;
}

Lod readLod(Cursor& parent, size_t materialCount) {
    Cursor c = parent.chunk(1, "LOD");
    Lod lod;
    const std::uint32_t vertexCount = c.u32(), indexWords = c.u32(), edgeWords = c.u32();
    lod.radius = c.f32();
    lod.bounds = c.floats<6>();
    if (vertexCount > 0) {
        Cursor v = c.chunk(1, "vertex list");
        if (v.left() != 36 * std::uint64_t{vertexCount}) v.fail("vertex chunk size does not match the vertex count");
        lod.vertices.resize(vertexCount);
        for (Vertex& vertex : lod.vertices) {
            vertex.position = v.floats<3>();
            vertex.normal = v.floats<3>();
            for (auto& b : vertex.colour) b = v.u8();
            v.zeros(1, "vertex colour padding");
            vertex.u = v.f32();
            vertex.v = v.f32();
        }
    }
    if (indexWords > 0) {
        Cursor s = c.chunk(2, "index stream");
        if (s.left() != 4 * std::uint64_t{indexWords}) s.fail("index chunk size does not match the index word count");
        lod.hasIndexStream = true;
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
            lod.groups.push_back(std::move(group));
        }
        s.done("index stream (after its -1)");
    }
    if (edgeWords > 0) {
        Cursor e = c.chunk(3, "edge list");
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
    c.done("LOD chunk");
    return lod;
}

void checkHierarchy(const std::vector<Element>& elements, size_t at) {
    // Every parent index first: following a chain reads its members' parents.
    for (size_t i = 0; i < elements.size(); ++i) {
        const std::int32_t parent = elements[i].parent;
        if (parent < -1 || parent >= static_cast<std::int32_t>(elements.size()))
            throw VkmError(at, "element " + std::to_string(i) + " has parent " + std::to_string(parent));
    }
    for (size_t i = 0; i < elements.size(); ++i) {
        size_t steps = 0;
        for (std::int32_t p = elements[i].parent; p >= 0; p = elements[static_cast<size_t>(p)].parent)
            if (++steps > elements.size()) throw VkmError(at, "the parent chain of element " + std::to_string(i) + " loops");
    }
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

Model readVkm(std::span<const std::uint8_t> bytes) {
    Cursor file(bytes, 0, bytes.size());
    file.need(32, "header");
    if (std::memcmp(bytes.data(), "VKM2", 4) != 0) file.fail("not a VKM file (no VKM2 magic)");
    file.u32();
    if (const std::uint32_t version = file.u32(); version != 512)
        file.fail("version " + std::to_string(version) + ", expected 512");
    const std::uint32_t elementCount = file.u32(), materialCount = file.u32();
    Model model;
    model.lodCount = file.u32();
    file.zeros(12, "header");

    Cursor materials = file.chunk(1, "material list");
    if (materials.left() != 536 * std::uint64_t{materialCount})
        materials.fail("material chunk size does not match the header's material count");
    for (std::uint32_t i = 0; i < materialCount; ++i) model.materials.push_back(readMaterial(materials));

    for (std::uint32_t i = 0; i < elementCount; ++i) {
        Cursor c = file.chunk(2, "element");
        Element e;
        e.name = c.text(256, "element name");
        e.type = c.u32();
        e.parent = c.i32();
        e.localPosition = c.floats<3>();
        e.worldPosition = c.floats<3>();
        e.localMatrix = c.floats<9>();
        e.worldMatrix = c.floats<9>();
        e.localRotation = c.floats<4>();
        e.worldRotation = c.floats<4>();
        e.originRadius = c.f32();
        e.sphereCenter = c.floats<3>();
        e.sphereRadius = c.f32();
        if (e.type == 3) {
            e.useLight = c.i32();
        } else if (e.type == 1) {
            e.bounds = c.floats<6>();
            for (std::uint32_t lod = 0; lod < model.lodCount; ++lod) e.lods.push_back(readLod(c, materialCount));
            if (!e.lods.empty() && std::memcmp(e.bounds.data(), e.lods[0].bounds.data(), sizeof e.bounds) != 0 &&
                !e.lods[0].vertices.empty())
                c.fail("mesh bounds differ from its LOD 0 bounds");
        }
        c.done("element chunk");
        model.elements.push_back(std::move(e));
    }
    file.done("file (after the header's element count)");
    checkHierarchy(model.elements, bytes.size());
    return model;
}

}  // namespace vkminfo
