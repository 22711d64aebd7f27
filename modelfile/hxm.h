// Reads and validates an HXM collision file held in memory, independently of
// the writer in collision/, so that it can check what the writer wrote.
// Every size and count is checked against the bytes present: a file that is
// short, has chunk sizes that disagree with its counts, indices outside its
// tables, non-zero reserved bytes or bytes after its last brush is rejected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/byte_reader.h"

namespace modelfile {

struct HxmError : std::runtime_error {
    HxmError(std::size_t at, const std::string& message) : std::runtime_error(message), offset(at) {}
    std::size_t offset;  // where in the file the problem was found
};

enum class Layout {
    HeaderOnly,  // versions other than 0x101 and >= 0x200: no brush records
    Flat,        // 0x101
    Chunked,     // 0x200 and above (signed)
};

Layout layoutFor(std::int32_t version);

struct BrushVertex {
    float x, y, z, w;
};
struct Plane {
    float a, b, c, d;
};
struct Edge {
    std::uint16_t end0, end1, plane0, plane1;
};

struct BrushRecord {
    std::string name;              // the bytes up to the first NUL, at most 64
    bool nameTerminated = true;    // false when all 64 bytes are name
    bool hasSphere = false;        // format 2 only
    float centre[3] = {0, 0, 0};
    float radius = 0;
    std::vector<BrushVertex> vertices;
    std::vector<Plane> planes;
    std::vector<Edge> edges;
};

struct HxmFile {
    std::size_t size = 0;
    std::int32_t version = 0;
    std::int32_t brushCount = 0;
    Layout layout = Layout::HeaderOnly;
    std::vector<BrushRecord> brushes;  // empty for HeaderOnly
};

// Parses the whole file; throws HxmError on the first problem found. With
// FiniteOnly a NaN or infinity in a vertex, a plane or the sphere is one.
HxmFile readHxm(std::span<const std::uint8_t> bytes, common::FloatValues check = common::FloatValues::Any);

}  // namespace modelfile
