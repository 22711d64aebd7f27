// vkminfo [--verbose|-v] [--json] [--gltf OUT.glb] [--png OUT.png [--size WxH]] [--lod N|all]
//         [--collision FILE.hxm] <file.vkm>
// Checks a VKM model file and prints what it holds; optionally writes a glTF
// view and a PNG preview of it. Exit status: 0 valid, 1 unreadable or
// malformed or not written (message on standard error), 2 usage.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/atomic_file.h"
#include "common/file_loader.h"
#include "common/model_input.h"
#include "export/gltf_writer.h"
#include "export/png_encoder.h"
#include "export/preview.h"
#include "modelfile/hxm.h"
#include "modelfile/vkm.h"
#include "tools/vkminfo/vkm_report.h"

namespace {

struct Options {
    bool verbose = false, json = false;
    std::string file, gltf, png, size, collision;
    std::uint32_t lod = 0;
    bool allLods = false;  // --lod all: every LOD side by side in the PNG
};

std::optional<std::uint32_t> number(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::optional<Options> parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--verbose" || arg == "-v") {
            o.verbose = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if ((arg == "--gltf" || arg == "--png" || arg == "--size" || arg == "--collision" || arg == "--lod") &&
                   hasValue) {
            const std::string value = argv[++i];
            if (value.empty()) return std::nullopt;
            if (arg == "--gltf") o.gltf = value;
            if (arg == "--png") o.png = value;
            if (arg == "--size") o.size = value;
            if (arg == "--collision") o.collision = value;
            if (arg == "--lod" && value == "all") {
                o.allLods = true;
            } else if (arg == "--lod") {
                const std::optional<std::uint32_t> lod = number(value);
                if (!lod) return std::nullopt;
                o.lod = *lod;
            }
        } else if (o.file.empty() && !arg.empty() && arg[0] != '-') {
            o.file = arg;
        } else {
            return std::nullopt;
        }
    }
    const bool views = !o.gltf.empty() || !o.png.empty();
    if (o.file.empty() || (!o.collision.empty() && !views) || (!o.size.empty() && o.png.empty())) return std::nullopt;
    if (o.allLods && (o.png.empty() || !o.gltf.empty())) return std::nullopt;
    return o;
}

// The file's bytes, or nullopt after printing why they cannot be had.
std::optional<std::string> load(const std::string& file) {
    common::LoadedFile loaded = common::loadFile(file, common::kMaxModelFileBytes);
    if (loaded.failure == common::LoadFailure::CannotOpen) {
        std::fprintf(stderr, "vkminfo: %s: cannot open\n", file.c_str());
        return std::nullopt;
    }
    if (!loaded.ok()) {
        std::fprintf(stderr, "vkminfo: %s: %s%s\n", file.c_str(), common::describe(loaded.failure),
                     common::loadFailureDetail(loaded).c_str());
        return std::nullopt;
    }
    return std::move(loaded.bytes);
}

std::span<const std::uint8_t> asBytes(const std::string& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

bool write(const std::string& target, const std::vector<std::uint8_t>& bytes) {
    const std::string failure =
        common::replaceFile(target, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!failure.empty()) {
        std::fprintf(stderr, "vkminfo: cannot write %s: %s\n", target.c_str(), failure.c_str());
        return false;
    }
    std::fprintf(stderr, "vkminfo: wrote %s (%zu bytes)\n", target.c_str(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = parse(argc, argv);
    if (!options) {
        std::fputs("usage: vkminfo [--verbose|-v] [--json] [--gltf OUT.glb] [--png OUT.png [--size WxH]] [--lod N|all] "
                   "[--collision FILE.hxm] <file.vkm>\n",
                   stderr);
        return 2;
    }
    const Options& o = *options;
    exporter::PictureSize size;
    if (!o.size.empty()) {
        const std::optional<exporter::PictureSize> parsed = exporter::parsePictureSize(o.size);
        if (!parsed) {
            std::fprintf(stderr, "vkminfo: --size %s: %s\n", o.size.c_str(), exporter::kPictureSizeRule);
            return 2;
        }
        size = *parsed;
    }
    for (const std::string& view : {o.gltf, o.png})
        for (const std::string& input : {o.file, o.collision})
            if (!view.empty() && !input.empty() && common::sameFile(view, input)) {
                std::fprintf(stderr, "vkminfo: %s would replace the input %s\n", view.c_str(), input.c_str());
                return 1;
            }
    const std::optional<std::string> bytes = load(o.file);
    if (!bytes) return 1;
    modelfile::Model model;
    try {
        model = modelfile::readVkm(asBytes(*bytes), common::FloatValues::FiniteOnly);
        if (o.json)
            vkminfo::printJson(stdout, model, o.verbose);
        else
            vkminfo::printText(stdout, model, o.verbose);
    } catch (const modelfile::VkmError& e) {
        std::fprintf(stderr, "vkminfo: %s: malformed VKM file at offset %zu: %s\n", o.file.c_str(), e.offset, e.what());
        return 1;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "vkminfo: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    if (o.gltf.empty() && o.png.empty()) return 0;

    std::optional<modelfile::HxmFile> collision;
    if (!o.collision.empty()) {
        const std::optional<std::string> hxm = load(o.collision);
        if (!hxm) return 1;
        try {
            collision = modelfile::readHxm(asBytes(*hxm), common::FloatValues::FiniteOnly);
        } catch (const modelfile::HxmError& e) {
            std::fprintf(stderr, "vkminfo: %s: malformed HXM file at offset %zu: %s\n", o.collision.c_str(), e.offset,
                         e.what());
            return 1;
        }
    }
    const modelfile::HxmFile* brushes = collision ? &*collision : nullptr;
    try {
        if (!o.gltf.empty() && !write(o.gltf, exporter::modelToGlb(model, o.lod, brushes))) return 1;
        if (!o.png.empty()) {
            const exporter::Picture picture = o.allLods ? exporter::lodPictures(model, size, brushes)
                                                        : exporter::modelPicture(model, o.lod, size, brushes);
            if (!write(o.png, exporter::encodePng(picture))) return 1;
        }
    } catch (const exporter::ExportError& e) {
        std::fprintf(stderr, "vkminfo: %s: %s\n", o.file.c_str(), e.what());
        return 1;
    }
    return 0;
}
