// PNG encoding of previews (libpng): 8-bit RGB with an sRGB chunk and no
// chunk that varies between runs (no time, no text).
#pragma once

#include <cstdint>
#include <vector>

#include "export/preview.h"

namespace exporter {

// Throws ExportError when libpng fails (it reports only running out of memory here).
std::vector<std::uint8_t> encodePng(const Picture& picture);

}  // namespace exporter
