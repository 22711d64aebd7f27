#include "collision/hxm_writer.h"

#include <cassert>
#include <climits>

#include "common/input_error.h"

namespace collision {

namespace {

constexpr size_t kNameBytes = 64;
constexpr std::uint32_t kBrushChunk = 1;
constexpr std::uint32_t kVertexChunk = 1;
constexpr std::uint32_t kPlaneChunk = 2;
constexpr std::uint32_t kEdgeChunk = 3;

void writeTables(common::ByteWriter& out, const Brush& brush, bool chunked) {
    if (chunked) out.chunk(kVertexChunk, static_cast<std::uint32_t>(16 * brush.vertices.size()));
    for (const BrushVertex& v : brush.vertices) {
        out.f32(static_cast<float>(v.x));
        out.f32(static_cast<float>(v.y));
        out.f32(static_cast<float>(v.z));
        out.f32(0.0f);
    }
    if (chunked) out.chunk(kPlaneChunk, static_cast<std::uint32_t>(16 * brush.planes.size()));
    for (const BrushPlane& p : brush.planes) {
        out.f32(static_cast<float>(p.a));
        out.f32(static_cast<float>(p.b));
        out.f32(static_cast<float>(p.c));
        out.f32(static_cast<float>(p.d));
    }
    if (chunked) out.chunk(kEdgeChunk, static_cast<std::uint32_t>(8 * brush.edges.size()));
    for (const BrushEdge& e : brush.edges) {
        out.u16(e.end0);
        out.u16(e.end1);
        out.u16(e.plane0);
        out.u16(e.plane1);
    }
}

}  // namespace

HxmFormat formatFor(std::int32_t version) {
    if (version == 0x101) return HxmFormat::Flat;
    if (version >= 0x200) return HxmFormat::Chunked;
    return HxmFormat::HeaderOnly;
}

void writeFileHeader(common::ByteWriter& out, std::int32_t brushCount, std::int32_t version) {
    out.raw(std::string_view("HXM\0", 4));
    out.i32(brushCount);
    out.i32(version);
    out.zeros(20);
}

void writeBrush(common::ByteWriter& out, const Brush& brush, std::int32_t version) {
    const HxmFormat format = formatFor(version);
    if (format == HxmFormat::HeaderOnly) return;
    // Vertices and planes are limited to 65535, but a degenerate mesh may hold
    // any number of edges.
    const size_t tables = 16 * brush.vertices.size() + 16 * brush.planes.size() + 8 * brush.edges.size();
    if (brush.edges.size() > INT_MAX || tables > INT_MAX - 120)
        common::reportError(-1, "Brush %s is too large for the HXM file!", brush.name.c_str());
    const size_t start = out.size();
    if (format == HxmFormat::Chunked) out.chunk(kBrushChunk, static_cast<std::uint32_t>(120 + tables));
    out.text(brush.name, kNameBytes);
    out.i32(static_cast<std::int32_t>(brush.vertices.size()));
    out.i32(static_cast<std::int32_t>(brush.planes.size()));
    out.i32(static_cast<std::int32_t>(brush.edges.size()));
    if (format == HxmFormat::Chunked) {
        out.f32(static_cast<float>(brush.centre[0]));
        out.f32(static_cast<float>(brush.centre[1]));
        out.f32(static_cast<float>(brush.centre[2]));
        out.f32(static_cast<float>(brush.radius));
    }
    out.zeros(4);
    writeTables(out, brush, format == HxmFormat::Chunked);
    assert(out.size() - start == (format == HxmFormat::Chunked ? 128 : 80) + tables);
    (void)start;
}

}  // namespace collision
