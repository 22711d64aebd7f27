// The HXM reader (modelfile) and hxminfo's reports over arbitrary bytes, read as the format allows
// and as hxminfo reads (no NaN or infinity in the geometry): anything but an
// HxmError escaping is a bug. What hxminfo accepts is also exported to glTF in
// memory; what the reader alone accepts, NaN, infinity and 1e38 included, is
// drawn as a small PNG preview.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "export/gltf_writer.h"
#include "export/png_encoder.h"
#include "export/preview.h"
#include "modelfile/hxm.h"
#include "tools/hxminfo/hxm_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    try {
        const modelfile::HxmFile file = modelfile::readHxm(std::span(data, size));
        hxminfo::describeText(file, "fuzz.hxm", true);
        hxminfo::describeJson(file, "fuzz.hxm", true);
        exporter::encodePng(exporter::brushesPicture(file, {64, 48}));
        exporter::brushesToGlb(modelfile::readHxm(std::span(data, size), common::FloatValues::FiniteOnly));
    } catch (const modelfile::HxmError&) {
    }
    return 0;
}
