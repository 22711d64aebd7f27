// hxminfo: validates an HXM collision file and prints its brushes; optionally
// writes a glTF view and a PNG preview of them.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "common/atomic_file.h"
#include "common/file_loader.h"
#include "common/model_input.h"
#include "export/gltf_writer.h"
#include "export/png_encoder.h"
#include "export/preview.h"
#include "modelfile/hxm.h"
#include "tools/hxminfo/hxm_report.h"

namespace {

constexpr int kExitMalformed = 1;
constexpr int kExitUsage = 2;

int usage() {
    std::fputs("Usage: hxminfo [--verbose] [--json] [--gltf OUT.glb] [--png OUT.png [--size WxH]] <file.hxm>\n", stderr);
    return kExitUsage;
}

bool write(const std::string& target, const std::vector<std::uint8_t>& bytes) {
    const std::string failure =
        common::replaceFile(target, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!failure.empty()) {
        std::fprintf(stderr, "hxminfo: cannot write %s: %s\n", target.c_str(), failure.c_str());
        return false;
    }
    std::fprintf(stderr, "hxminfo: wrote %s (%zu bytes)\n", target.c_str(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool verbose = false, json = false;
    std::string fileName, gltf, png, sizeText;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc && argv[i + 1][0] != '\0';
        if (std::strcmp(argv[i], "--gltf") == 0 && hasValue)
            gltf = argv[++i];
        else if (std::strcmp(argv[i], "--png") == 0 && hasValue)
            png = argv[++i];
        else if (std::strcmp(argv[i], "--size") == 0 && hasValue)
            sizeText = argv[++i];
        else if (std::strcmp(argv[i], "--verbose") == 0 || std::strcmp(argv[i], "-v") == 0)
            verbose = true;
        else if (std::strcmp(argv[i], "--json") == 0)
            json = true;
        else if (argv[i][0] == '-' || !fileName.empty())
            return usage();
        else
            fileName = argv[i];
    }
    if (fileName.empty() || (!sizeText.empty() && png.empty())) return usage();
    exporter::PictureSize size;
    if (!sizeText.empty()) {
        const std::optional<exporter::PictureSize> parsed = exporter::parsePictureSize(sizeText);
        if (!parsed) {
            std::fprintf(stderr, "hxminfo: --size %s: %s\n", sizeText.c_str(), exporter::kPictureSizeRule);
            return kExitUsage;
        }
        size = *parsed;
    }
    for (const std::string& view : {gltf, png})
        if (!view.empty() && common::sameFile(view, fileName)) {
            std::fprintf(stderr, "hxminfo: %s would replace the input %s\n", view.c_str(), fileName.c_str());
            return kExitMalformed;
        }

    const common::LoadedFile loaded = common::loadFile(fileName, common::kMaxModelFileBytes);
    if (loaded.failure == common::LoadFailure::CannotOpen) {
        std::fprintf(stderr, "hxminfo: %s: cannot open the file\n", fileName.c_str());
        return kExitMalformed;
    }
    if (!loaded.ok()) {
        std::fprintf(stderr, "hxminfo: %s: %s%s\n", fileName.c_str(), common::describe(loaded.failure),
                     common::loadFailureDetail(loaded).c_str());
        return kExitMalformed;
    }
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(loaded.bytes.data()), loaded.bytes.size());
    modelfile::HxmFile file;
    try {
        file = modelfile::readHxm(bytes, common::FloatValues::FiniteOnly);
        const std::string text = json ? hxminfo::describeJson(file, fileName, verbose)
                                      : hxminfo::describeText(file, fileName, verbose);
        std::fwrite(text.data(), 1, text.size(), stdout);
    } catch (const modelfile::HxmError& error) {
        std::fprintf(stderr, "hxminfo: %s: malformed HXM file at offset %zu: %s\n", fileName.c_str(), error.offset,
                     error.what());
        return kExitMalformed;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "hxminfo: cannot write the output: %s\n", std::strerror(errno));
        return kExitMalformed;
    }
    if (!gltf.empty() && !write(gltf, exporter::brushesToGlb(file))) return kExitMalformed;
    try {
        if (!png.empty() && !write(png, exporter::encodePng(exporter::brushesPicture(file, size)))) return kExitMalformed;
    } catch (const exporter::ExportError& e) {
        std::fprintf(stderr, "hxminfo: %s: %s\n", fileName.c_str(), e.what());
        return kExitMalformed;
    }
    return 0;
}
