// SCENE2HXM in memory: line reader, brush building, report, convexity check
// and both file formats (the first byte picks version and verbosity), then
// the HXM reader over the result. Anything but a common::InputError escaping is a bug,
// and so is a written file that the independent reader rejects.
#include <cstdint>

#include "collision/ase_line_reader.h"
#include "collision/converter.h"
#include "common/input_error.h"
#include "fuzz/fuzz_support.h"
#include "modelfile/hxm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::int32_t versions[] = {0x200, 0x101, 0x100, 0x3FF};
    collision::Settings settings;
    settings.version = versions[data[0] & 3];
    settings.verbose = (data[0] & 4) != 0;
    collision::AseLineReader reader(std::string(fuzzsupport::text(data + 1, size - 1)));
    try {
        if (auto bytes = collision::convertScene(reader, settings, fuzzsupport::sink())) modelfile::readHxm(*bytes);
    } catch (const common::InputError&) {
    }
    return 0;
}
