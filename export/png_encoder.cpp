#include "export/png_encoder.h"

#include <png.h>

#include <string>

#include "export/gltf_writer.h"

namespace exporter {

std::vector<std::uint8_t> encodePng(const Picture& picture) {
    // The simplified API reports failure by its result rather than a longjmp
    // across our frames.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, picture.rgb.data(), 0, nullptr) == 0) {
        const std::string why = image.message;
        png_image_free(&image);
        throw ExportError("cannot encode the PNG: " + why);
    }
    std::vector<std::uint8_t> bytes(size);
    if (png_image_write_to_memory(&image, bytes.data(), &size, 0, picture.rgb.data(), 0, nullptr) == 0) {
        const std::string why = image.message;
        png_image_free(&image);
        throw ExportError("cannot encode the PNG: " + why);
    }
    bytes.resize(size);
    return bytes;
}

}  // namespace exporter
