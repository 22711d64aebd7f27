// Binary glTF 2.0 (GLB) views of checked model and collision files, for any
// glTF viewer. Coordinates follow export/coordinates.h; the file's bitmaps are
// referenced by file name (image uri), never embedded.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "modelfile/hxm.h"
#include "modelfile/vkm.h"

namespace exporter {

// What cannot be exported (a LOD the model lacks); the message is for the user.
struct ExportError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws ExportError when `lod` is not below the model's LOD count (LOD 0 of
// a model without LODs is allowed: it shows no geometry).
void requireLod(const modelfile::Model& model, std::uint32_t lod);

// One node per element, placed in its parent by its local position and
// rotation; each mesh element's LOD `lod` as one primitive per material
// group, its edges as a line primitive in a child node; cameras and omni
// lights (KHR_lights_punctual) in their elements. With `collision`, each brush
// is placed under the first element of the same name (at the root when none
// has it). Throws what requireLod throws.
std::vector<std::uint8_t> modelToGlb(const modelfile::Model& model, std::uint32_t lod,
                                     const modelfile::HxmFile* collision = nullptr);

// One root node per brush: translucent faces and its edges as lines.
std::vector<std::uint8_t> brushesToGlb(const modelfile::HxmFile& file);

// The name bytes as UTF-8, read as the inspectors' JSON reads them.
std::string utf8Name(const std::string& bytes);

}  // namespace exporter
