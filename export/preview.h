// Pictures of checked model and collision files for a person to judge at a
// glance: Lambert-shaded triangles in each material's diffuse colour with the
// model's edges drawn dark over them, brushes translucent in a colour each,
// on a light background; framed on the bounding sphere from a fixed
// three-quarter view (above, front right), upright and unmirrored in the
// glTF frame of export/coordinates.h. Deterministic: the same records and
// size give the same pixels on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "modelfile/hxm.h"
#include "modelfile/vkm.h"

namespace exporter {

struct PictureSize {
    std::size_t width = 800, height = 600;
};

inline constexpr std::size_t kMaxPictureSide = 16384;
inline constexpr std::size_t kMaxPicturePixels = std::size_t{1} << 26;  // 8192 x 8192

// What parsePictureSize accepts, for the error message.
inline constexpr const char* kPictureSizeRule =
    "expected WIDTHxHEIGHT in pixels, each 1 to 16384, at most 67108864 pixels in all";

// "WxH" in decimal digits, each side 1..kMaxPictureSide and at most
// kMaxPicturePixels in all; nullopt for anything else.
std::optional<PictureSize> parsePictureSize(std::string_view text);

struct Picture {
    std::size_t width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // 8-bit RGB, rows top to bottom
};

// LOD `lod` of every mesh element, each placed by its chain of parents; with
// `collision`, its brushes placed as modelToGlb places them. Throws what
// requireLod throws. Non-finite or huge coordinates give an empty or clipped
// picture, never a failure.
Picture modelPicture(const modelfile::Model& model, std::uint32_t lod, PictureSize size,
                     const modelfile::HxmFile* collision = nullptr);

// Every LOD of the model side by side, LOD 0 on the left, each `size`
// (drawn as modelPicture draws it), parted by a thin grey line. Throws
// ExportError when the whole picture would pass kMaxPictureSide or
// kMaxPicturePixels.
Picture lodPictures(const modelfile::Model& model, PictureSize size, const modelfile::HxmFile* collision = nullptr);

// Every brush's faces rebuilt from its planes, and its edges.
Picture brushesPicture(const modelfile::HxmFile& file, PictureSize size);

}  // namespace exporter
