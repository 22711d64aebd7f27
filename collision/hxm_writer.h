// The HXM collision file: a 32-byte header, then one record per brush in the
// format the file version selects. Little-endian; coordinates as 32-bit floats
// rounded to nearest from the brush's doubles.
#pragma once

#include <cstdint>

#include "collision/brush.h"
#include "common/byte_writer.h"

namespace collision {

enum class HxmFormat {
    HeaderOnly,  // any version but the two below: no brush records
    Flat,        // 0x101: 80-byte brush header, vertices, planes, edges
    Chunked,     // 0x200 and above (signed): nested chunks, with the sphere
};

HxmFormat formatFor(std::int32_t version);

// Magic "HXM\0", brush count, version, 20 zero bytes.
void writeFileHeader(common::ByteWriter& out, std::int32_t brushCount, std::int32_t version);

// Appends the brush in the format of `version` (nothing for HeaderOnly). The
// name field holds the first 64 bytes of the name, NUL-padded, with no
// terminator when the name has 64 bytes or more. Throws common::InputError when a
// size does not fit its 32-bit field.
void writeBrush(common::ByteWriter& out, const Brush& brush, std::int32_t version);

}  // namespace collision
