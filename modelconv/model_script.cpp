#include "modelconv/model_script.h"

#include <string_view>

#include "common/ascii.h"
#include "common/c_number.h"
#include "common/dks_keywords.h"
#include "common/input_error.h"
#include "sceneread/scene_reader.h"
#include "sceneread/text_parser.h"

namespace modelconv {

using common::reportError;
namespace dks = common::dks;

namespace {

std::string value(const sceneread::TextParser& parser, std::string_view text) {
    if (text.size() > sceneread::kMaxNameLength)
        reportError(parser.lineNumber(), "Name too long (more than %zu characters)!", sceneread::kMaxNameLength);
    return std::string(text);
}

// The one word of a NAME, LOD or DEFINITION line. Names are one word in the
// format; a second word means a node name with a blank, which would quietly
// match another node, so it is refused here.
std::string oneWord(const sceneread::TextParser& parser, std::string_view keyword, std::string_view word,
                    bool wholeNames) {
    const std::optional<std::string_view> rest = sceneread::restAfter(parser.currentLine(), keyword);
    if (rest && !sceneread::wordAt(*rest, 2).empty()) {
        std::string_view whole = *rest;
        while (!whole.empty() && whole.back() == ' ') whole.remove_suffix(1);
        if (wholeNames) return value(parser, whole);
        reportError(parser.lineNumber(), "%s line holds more than one word: %s!", std::string(keyword).c_str(),
                    std::string(whole).c_str());
    }
    return value(parser, word);
}

// One element block, from its ELEMENT line to its PARENT line.
ElementDefinition readElement(sceneread::TextParser& parser, int lodCount, bool wholeNames) {
    auto kind = parser.findWord(dks::kElement);
    if (!kind) reportError(-1, "ELEMENT definition required!");
    ElementDefinition element;
    if (common::equalsIgnoreCase(*kind, dks::kMesh)) {
        element.type = ElementType::Mesh;
    } else if (common::equalsIgnoreCase(*kind, dks::kCamera)) {
        element.type = ElementType::Camera;
    } else if (common::equalsIgnoreCase(*kind, dks::kOmniLight)) {
        element.type = ElementType::OmniLight;
    } else {
        reportError(parser.lineNumber(), "Unknown element kind: %s!", std::string(*kind).c_str());
    }

    auto name = parser.findWord(dks::kName);
    if (!name) reportError(-1, "NAME definition required!");
    element.name = oneWord(parser, dks::kName, *name, wholeNames);
    element.nameLine = parser.lineNumber();

    if (element.type == ElementType::Mesh) {
        for (int i = 0; i < lodCount; ++i) {
            auto node = parser.findWord(dks::lodKeyword(i));
            if (!node) reportError(-1, "LOD definition required!");
            element.definitions[static_cast<size_t>(i)] = oneWord(parser, dks::lodKeyword(i), *node, wholeNames);
            element.definitionLines[static_cast<size_t>(i)] = parser.lineNumber();
        }
    } else {
        auto node = parser.findWord(dks::kDefinition);
        if (!node) reportError(-1, "DEFINITION definition required!");
        element.definitions[0] = oneWord(parser, dks::kDefinition, *node, wholeNames);
        element.definitionLines[0] = parser.lineNumber();
    }

    auto parent = parser.findValue(dks::kParent);
    if (!parent) reportError(-1, "PARENT definition not found!");
    element.parent = value(parser, *parent);
    element.parentLine = parser.lineNumber();
    return element;
}

}  // namespace

namespace {
void readScript(ModelDefinition& definition, sceneread::TextParser& parser, const std::string& fileName,
                const sceneread::TextOpener& openAse, std::FILE* out, const sceneread::ReadOptions& options);
}  // namespace

void loadModelScript(ModelDefinition& definition, const std::string& fileName, std::FILE* out) {
    sceneread::TextParser parser = sceneread::TextParser::openFile(fileName);
    loadModelScript(definition, parser, fileName, sceneread::TextParser::openFile, out);
}

void loadModelScript(ModelDefinition& definition, sceneread::TextParser& parser, const std::string& fileName,
                     const sceneread::TextOpener& openAse, std::FILE* out, const sceneread::ReadOptions& options) {
    definition.scriptFile = fileName;
    try {
        readScript(definition, parser, fileName, openAse, out, options);
    } catch (common::InputError& error) {
        // The scene reader names its own file; everything else is the script's.
        if (error.file.empty()) {
            error.file = fileName;
            if (error.line < 0) error.diagnosticLine = parser.lineNumber();
        }
        throw;
    }
}

namespace {

void readScript(ModelDefinition& definition, sceneread::TextParser& parser, const std::string& fileName,
                const sceneread::TextOpener& openAse, std::FILE* out, const sceneread::ReadOptions& options) {
    if (!parser.loaded()) {
        common::InputError error("Can't open DKS: " + fileName + "!", -1, common::ErrorKind::CannotOpen);
        error.file = fileName;
        throw error;
    }

    auto lods = parser.findValue(dks::kLods);
    if (!lods) reportError(parser.lineNumber(), "LODS definition not found!");
    const long lodCount = common::atolC(*lods);
    if (lodCount < 0 || !common::fitsInt32(lodCount)) reportError(parser.lineNumber(), "Wrong number!");
    if (lodCount > dks::kMaxLods) reportError(parser.lineNumber(), "Too many LODs (at most %d)!", dks::kMaxLods);
    definition.lodCount = static_cast<std::int32_t>(lodCount);
    definition.scenes.resize(static_cast<size_t>(lodCount));

    for (int i = 0; i < lodCount; ++i) {
        auto lodLine = parser.findValue(dks::lodKeyword(i));
        if (!lodLine) reportError(parser.lineNumber(), "LOD definition required!");
        // Copied: the scene reader is about to read other lines.
        const std::string aseName = value(parser, sceneread::wordAt(*lodLine, 1));
        definition.sceneFiles.push_back(aseName);
        definition.sceneLines.push_back(parser.lineNumber());
        sceneread::TextParser ase = openAse(aseName);
        sceneread::loadScene(definition.scenes[static_cast<size_t>(i)], ase, aseName, out, options);
    }

    auto elements = parser.findValue(dks::kElements);
    if (!elements) reportError(-1, "ELEMENTS definition not found!");
    const long elementCount = common::atolC(*elements);
    if (elementCount < 0 || !common::fitsInt32(elementCount)) reportError(parser.lineNumber(), "Wrong number!");

    // Grown as blocks are read, not sized from the count: a count larger than
    // the script ends with the missing-definition message, not an allocation.
    for (long e = 0; e < elementCount; ++e) {
        definition.elements.push_back(readElement(parser, static_cast<int>(lodCount), options.lenient));
    }
}

}  // namespace

}  // namespace modelconv
