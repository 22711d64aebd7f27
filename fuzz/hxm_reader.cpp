// hxminfo's reader and reports over arbitrary bytes, read as the format allows
// and as hxminfo reads (no NaN or infinity in the geometry): anything but an
// HxmError escaping is a bug.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "tools/hxminfo/hxm_reader.h"
#include "tools/hxminfo/hxm_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    try {
        const hxminfo::HxmFile file = hxminfo::readHxm(std::span(data, size));
        hxminfo::describeText(file, "fuzz.hxm", true);
        hxminfo::describeJson(file, "fuzz.hxm", true);
        hxminfo::readHxm(std::span(data, size), common::FloatValues::FiniteOnly);
    } catch (const hxminfo::HxmError&) {
    }
    return 0;
}
