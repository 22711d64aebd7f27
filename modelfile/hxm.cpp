#include "modelfile/hxm.h"

#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "common/byte_reader.h"

namespace modelfile {

namespace {

constexpr std::size_t kHeaderBytes = 32;
constexpr std::size_t kNameBytes = 64;

using common::ByteError;
using common::Cursor;

void need(const Cursor& in, std::size_t count, const std::string& what) {
    if (count > in.left())
        in.fail(what + " needs " + std::to_string(count) + " bytes, " + std::to_string(in.left()) + " left");
}

void zeros(Cursor& in, std::size_t count, const std::string& what) {
    const std::size_t start = in.offset();
    if (!common::allZero(in.take(count, what))) throw ByteError(start, what + " is not zero");
}

bool finite(std::initializer_list<float> values) {
    for (const float v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

std::size_t count(Cursor& in, const std::string& what) {
    const std::size_t at = in.offset();
    const std::int32_t value = in.i32();
    if (value < 0) throw ByteError(at, what + " is negative (" + std::to_string(value) + ")");
    return static_cast<std::size_t>(value);
}

void chunkHeader(Cursor& in, const std::string& what, std::uint32_t type, std::uint64_t size) {
    need(in, 8, what + " chunk header");
    const std::size_t at = in.offset();
    const std::uint32_t gotType = in.u32();
    const std::uint32_t gotSize = in.u32();
    if (gotType != type)
        throw ByteError(at, what + " chunk has type " + std::to_string(gotType) + ", expected " + std::to_string(type));
    if (gotSize != size)
        throw ByteError(at, what + " chunk size " + std::to_string(gotSize) + " does not match its counts (expected " +
                               std::to_string(size) + ")");
}

// The vertex, plane and edge tables that follow a brush header, each checked
// against the counts the header gave.
void readTables(Cursor& in, BrushRecord& b, const std::array<std::size_t, 3>& counts, const std::string& where,
                bool chunked, bool finiteOnly) {
    const auto [vertices, planes, edges] = counts;
    if (chunked) chunkHeader(in, where + " vertex", 1, 16ull * vertices);
    need(in, 16 * vertices, where + " vertex table");
    for (std::size_t i = 0; i < vertices; ++i) {
        const std::size_t at = in.offset();
        BrushVertex v{in.f32(), in.f32(), in.f32(), in.f32()};
        if (std::bit_cast<std::uint32_t>(v.w) != 0)
            throw ByteError(at + 12, where + " vertex " + std::to_string(i) + " has a fourth component that is not 0");
        if (finiteOnly && !finite({v.x, v.y, v.z}))
            throw ByteError(at, where + " vertex " + std::to_string(i) + " has a non-finite coordinate");
        b.vertices.push_back(v);
    }
    if (chunked) chunkHeader(in, where + " plane", 2, 16ull * planes);
    need(in, 16 * planes, where + " plane table");
    for (std::size_t i = 0; i < planes; ++i) {
        const std::size_t at = in.offset();
        const Plane p{in.f32(), in.f32(), in.f32(), in.f32()};
        if (finiteOnly && !finite({p.a, p.b, p.c, p.d}))
            throw ByteError(at, where + " plane " + std::to_string(i) + " has a non-finite value");
        b.planes.push_back(p);
    }
    if (chunked) chunkHeader(in, where + " edge", 3, 8ull * edges);
    need(in, 8 * edges, where + " edge table");
    for (std::size_t i = 0; i < edges; ++i) {
        const std::size_t at = in.offset();
        const Edge e{in.u16(), in.u16(), in.u16(), in.u16()};
        if (e.end0 >= vertices || e.end1 >= vertices)
            throw ByteError(at, where + " edge " + std::to_string(i) + " names a vertex outside its " +
                                   std::to_string(vertices) + " vertices");
        if (e.plane0 >= planes || e.plane1 >= planes)
            throw ByteError(at, where + " edge " + std::to_string(i) + " names a plane outside its " +
                                   std::to_string(planes) + " planes");
        b.edges.push_back(e);
    }
}

BrushRecord readBrush(Cursor& in, std::size_t index, bool chunked, common::FloatValues check) {
    const bool finiteOnly = check == common::FloatValues::FiniteOnly;
    const std::string where = "brush " + std::to_string(index);
    const std::size_t start = in.offset();
    std::uint64_t chunkSize = 0;
    if (chunked) {
        need(in, 8, where + " chunk header");
        const std::uint32_t type = in.u32();
        chunkSize = in.u32();
        if (type != 1) throw ByteError(start, where + " chunk has type " + std::to_string(type) + ", expected 1");
    }
    need(in, chunked ? 96 : 80, where + " header");
    BrushRecord b;
    const std::uint8_t* name = in.take(kNameBytes, where + " name").data();
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(name, 0, kNameBytes));
    b.nameTerminated = end != nullptr;
    b.name.assign(reinterpret_cast<const char*>(name), end ? static_cast<std::size_t>(end - name) : kNameBytes);
    const std::size_t vertices = count(in, where + " vertex count");
    const std::size_t planes = count(in, where + " plane count");
    const std::size_t edges = count(in, where + " edge count");
    if (chunked) {
        b.hasSphere = true;
        const std::size_t at = in.offset();
        for (float& c : b.centre) c = in.f32();
        b.radius = in.f32();
        if (finiteOnly && !finite({b.centre[0], b.centre[1], b.centre[2], b.radius}))
            throw ByteError(at, where + " sphere has a non-finite value");
    }
    zeros(in, 4, where + " reserved field");
    const std::uint64_t tables = 16ull * vertices + 16ull * planes + 8ull * edges;
    if (chunked && chunkSize != 120 + tables)
        throw ByteError(start + 4, where + " chunk size " + std::to_string(chunkSize) +
                                      " does not match its counts (expected " + std::to_string(120 + tables) + ")");
    readTables(in, b, {vertices, planes, edges}, where, chunked, finiteOnly);
    return b;
}

}  // namespace

Layout layoutFor(std::int32_t version) {
    if (version == 0x101) return Layout::Flat;
    if (version >= 0x200) return Layout::Chunked;
    return Layout::HeaderOnly;
}

namespace {

HxmFile readFile(std::span<const std::uint8_t> bytes, common::FloatValues check) {
    Cursor in(bytes);
    need(in, kHeaderBytes, "file header");
    if (std::memcmp(in.take(4, "file header").data(), "HXM\0", 4) != 0)
        throw ByteError(0, "not an HXM file (magic is not \"HXM\\0\")");
    HxmFile file;
    file.size = bytes.size();
    file.brushCount = static_cast<std::int32_t>(count(in, "brush count"));
    file.version = in.i32();
    zeros(in, 20, "reserved header field");
    file.layout = layoutFor(file.version);
    if (file.layout != Layout::HeaderOnly)
        for (std::int32_t i = 0; i < file.brushCount; ++i)
            file.brushes.push_back(readBrush(in, static_cast<std::size_t>(i), file.layout == Layout::Chunked, check));
    if (in.left() != 0)
        throw ByteError(in.offset(), std::to_string(in.left()) + " bytes after the last " +
                                        (file.layout == Layout::HeaderOnly ? "header" : "brush"));
    return file;
}

}  // namespace

HxmFile readHxm(std::span<const std::uint8_t> bytes, common::FloatValues check) {
    try {
        return readFile(bytes, check);
    } catch (const ByteError& e) {
        throw HxmError(e.offset, e.what());
    }
}

}  // namespace modelfile
