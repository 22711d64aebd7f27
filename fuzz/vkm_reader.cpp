// The VKM reader (modelfile) and vkminfo's reports over arbitrary bytes, read as the format allows
// and as vkminfo reads (no NaN or infinity where placing and drawing): anything
// but a VkmError escaping is a bug. What vkminfo accepts is also exported to
// glTF in memory (its first and last LOD); what the reader alone accepts,
// NaN, infinity and 1e38 included, is drawn as a small PNG preview.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "export/gltf_writer.h"
#include "export/png_encoder.h"
#include "export/preview.h"
#include "modelfile/vkm.h"
#include "tools/vkminfo/vkm_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    try {
        const modelfile::Model model = modelfile::readVkm(std::span(data, size));
        vkminfo::printText(fuzzsupport::sink(), model, true);
        vkminfo::printJson(fuzzsupport::sink(), model, true);
        exporter::encodePng(exporter::modelPicture(model, 0, {64, 48}));
        const modelfile::Model checked = modelfile::readVkm(std::span(data, size), common::FloatValues::FiniteOnly);
        exporter::modelToGlb(checked, 0);
        if (checked.lodCount > 1) exporter::modelToGlb(checked, checked.lodCount - 1);
    } catch (const modelfile::VkmError&) {
    }
    return 0;
}
