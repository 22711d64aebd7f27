#include "modelconv/model_script.h"

#include <string_view>

#include "common/c_number.h"
#include "sceneread/report_error.h"
#include "sceneread/scene_reader.h"
#include "sceneread/text_parser.h"

namespace modelconv {

using sceneread::reportError;

namespace {

std::string value(const sceneread::TextParser& parser, std::string_view text) {
    if (text.size() > sceneread::kMaxNameLength)
        reportError(parser.lineNumber(), "Name too long (more than %zu characters)!", sceneread::kMaxNameLength);
    return std::string(text);
}

std::string lodKeyword(int lod) { return "LOD" + std::to_string(lod); }

}  // namespace

void loadModelScript(ModelDefinition& definition, const std::string& fileName, std::FILE* out) {
    sceneread::TextParser parser(fileName);
    if (!parser.loaded()) reportError(-1, "Can't open DKS: %s!", fileName.c_str());

    auto lods = parser.findValue("LODS");
    if (!lods) reportError(parser.lineNumber(), "LODS definition not found!");
    const long lodCount = common::atolC(*lods);
    if (lodCount < 0 || !common::fitsInt32(lodCount)) reportError(parser.lineNumber(), "Wrong number!");
    if (lodCount > kMaxLods) reportError(parser.lineNumber(), "Too many LODs (at most %d)!", kMaxLods);
    definition.lodCount = static_cast<std::int32_t>(lodCount);
    definition.scenes.resize(static_cast<size_t>(lodCount));

    for (int i = 0; i < lodCount; ++i) {
        auto lodLine = parser.findValue(lodKeyword(i));
        if (!lodLine) reportError(parser.lineNumber(), "LOD definition required!");
        // Copied: the scene reader is about to read other lines.
        const std::string aseName = value(parser, sceneread::wordAt(*lodLine, 1));
        sceneread::loadScene(definition.scenes[static_cast<size_t>(i)], aseName, out);
    }

    auto elements = parser.findValue("ELEMENTS");
    if (!elements) reportError(-1, "ELEMENTS definition not found!");
    const long elementCount = common::atolC(*elements);
    if (elementCount < 0 || !common::fitsInt32(elementCount)) reportError(parser.lineNumber(), "Wrong number!");

    // Grown as blocks are read, not sized from the count: a count larger than
    // the script ends with the missing-definition message, not an allocation.
    for (long e = 0; e < elementCount; ++e) {
        auto kind = parser.findWord("ELEMENT");
        if (!kind) reportError(-1, "ELEMENT definition required!");
        ElementDefinition element;
        if (sceneread::equalsIgnoreCase(*kind, "MESH")) {
            element.type = ElementType::Mesh;
        } else if (sceneread::equalsIgnoreCase(*kind, "CAMERA")) {
            element.type = ElementType::Camera;
        } else if (sceneread::equalsIgnoreCase(*kind, "OMNILIGHT")) {
            element.type = ElementType::OmniLight;
        } else {
            reportError(parser.lineNumber(), "Unknown element kind: %s!", std::string(*kind).c_str());
        }

        auto name = parser.findWord("NAME");
        if (!name) reportError(-1, "NAME definition required!");
        element.name = value(parser, *name);

        if (element.type == ElementType::Mesh) {
            for (int i = 0; i < lodCount; ++i) {
                auto node = parser.findWord(lodKeyword(i));
                if (!node) reportError(-1, "LOD definition required!");
                element.definitions[static_cast<size_t>(i)] = value(parser, *node);
            }
        } else {
            auto node = parser.findWord("DEFINITION");
            if (!node) reportError(-1, "DEFINITION definition required!");
            element.definitions[0] = value(parser, *node);
        }

        auto parent = parser.findValue("PARENT");
        if (!parent) reportError(-1, "PARENT definition not found!");
        element.parent = value(parser, *parent);
        definition.elements.push_back(std::move(element));
    }
}

}  // namespace modelconv
