// SCENE2DKS's scan and script writing, in memory. The first byte picks the
// options. Nothing may escape: the scan accepts any text.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "scriptgen/generator.h"
#include "scriptgen/scene_scan.h"
#include "scriptgen/script_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::uint8_t flags = data[0];
    const std::string_view text = fuzzsupport::text(data + 1, size - 1);
    const std::vector<scriptgen::Element> elements = scriptgen::scanScene(text, (flags & 1) != 0);
    scriptgen::ScriptHeader header;
    header.parameterCount = 1 + (flags >> 1 & 3) % 3;
    header.aseName = text.substr(0, text.find('\n'));
    header.lodCount = 1 + (flags >> 3 & 3);
    header.gibNames = (flags & 0x20) != 0;
    const std::string script = scriptgen::buildScript(header, elements);
    if (script.empty()) __builtin_trap();
    scriptgen::parseLodCount(header.aseName);
    scriptgen::scriptNameFor(header.aseName);
    scriptgen::modelNameFor(header.aseName);
    return 0;
}
