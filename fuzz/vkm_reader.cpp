// The VKM reader (modelfile) and vkminfo's reports over arbitrary bytes, read as the format allows
// and as vkminfo reads (no NaN or infinity where placing and drawing): anything
// but a VkmError escaping is a bug. What vkminfo accepts is also exported to
// glTF in memory (its first and last LOD).
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "export/gltf_writer.h"
#include "modelfile/vkm.h"
#include "tools/vkminfo/vkm_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    try {
        const modelfile::Model model = modelfile::readVkm(std::span(data, size));
        vkminfo::printText(fuzzsupport::sink(), model, true);
        vkminfo::printJson(fuzzsupport::sink(), model, true);
        const modelfile::Model checked = modelfile::readVkm(std::span(data, size), common::FloatValues::FiniteOnly);
        exporter::modelToGlb(checked, 0);
        if (checked.lodCount > 1) exporter::modelToGlb(checked, checked.lodCount - 1);
    } catch (const modelfile::VkmError&) {
    }
    return 0;
}
