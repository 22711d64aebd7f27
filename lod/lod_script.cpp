#include "lod/lod_script.h"

#include "common/dks_keywords.h"

namespace lod {

namespace {

namespace dks = common::dks;

constexpr std::string_view kLineEnd = "\r\n";

bool contains(std::string_view line, std::string_view keyword) { return line.find(keyword) != std::string_view::npos; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Lines end with LF; a line's text stops before its first CR.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    // At the end the line is empty: a block cut short qualifies for nothing.
    bool next() {
        if (position_ >= text_.size()) {
            line_ = {};
            return false;
        }
        size_t end = text_.find('\n', position_);
        if (end == std::string_view::npos) end = text_.size();
        line_ = text_.substr(position_, end - position_);
        position_ = end + 1;
        line_ = line_.substr(0, line_.find('\r'));
        return true;
    }
    std::string_view line() const { return line_; }

private:
    std::string_view text_;
    size_t position_ = 0;
    std::string_view line_;
};

// The lines of an object after its keyword line are consumed here whether
// they qualify or not: the scan never looks at them again.
void scanObject(LineReader& reader, ElementKind kind, std::vector<ScriptElement>& elements) {
    reader.next();
    if (!contains(reader.line(), "*NODE_NAME")) return;
    ScriptElement element{kind, nodeNameOf(reader.line(), "*NODE_NAME"), std::string(dks::kNoParent)};
    reader.next();
    if (contains(reader.line(), "*NODE_PARENT")) {
        element.parent = nodeNameOf(reader.line(), "*NODE_PARENT");
        if (kind != ElementKind::Mesh) reader.next();
    }
    const std::string_view qualifying = kind == ElementKind::Camera ? "*CAMERA_TYPE Free" : "*LIGHT_TYPE Omni";
    if (kind == ElementKind::Mesh || contains(reader.line(), qualifying)) elements.push_back(std::move(element));
}

std::string_view kindWord(ElementKind kind) {
    switch (kind) {
        case ElementKind::Mesh: return dks::kMesh;
        case ElementKind::Camera: return dks::kCamera;
        case ElementKind::OmniLight: return dks::kOmniLight;
    }
    return {};
}

void appendLine(std::string& text, std::string_view keyword, std::string_view value) {
    text += keyword;
    text += ' ';
    text += value;
    text += kLineEnd;
}

std::string modelName(std::string_view file) {
    const size_t slash = file.find_last_of("/\\");
    const size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t dot = file.rfind('.');
    const size_t end = dot != std::string_view::npos && dot >= start ? dot : file.size();
    return std::string(file.substr(start, end - start));
}

}  // namespace

std::string nodeNameOf(std::string_view line, std::string_view keyword) {
    const size_t first = line.find('"');
    if (first == std::string_view::npos) {
        const size_t at = line.find(keyword);
        size_t begin = at == std::string_view::npos ? 0 : at + keyword.size();
        while (begin < line.size() && isBlank(line[begin])) ++begin;
        size_t end = begin;
        while (end < line.size() && !isBlank(line[end])) ++end;
        return std::string(line.substr(begin, end - begin));
    }
    const size_t last = line.rfind('"');
    const size_t end = last != first ? last : line.size() - 1;
    if (end <= first + 1) return {};
    return std::string(line.substr(first + 1, end - first - 1));
}

std::vector<ScriptElement> scanElements(std::string_view text) {
    std::vector<ScriptElement> elements;
    LineReader reader(text);
    while (reader.next()) {
        const std::string_view line = reader.line();
        if (contains(line, "*GEOMOBJECT"))
            scanObject(reader, ElementKind::Mesh, elements);
        else if (contains(line, "*CAMERAOBJECT"))
            scanObject(reader, ElementKind::Camera, elements);
        else if (contains(line, "*LIGHTOBJECT"))
            scanObject(reader, ElementKind::OmniLight, elements);
    }
    return elements;
}

std::string buildScript(const std::vector<std::string>& lodFiles, const std::vector<ScriptElement>& elements) {
    // The first line is the parameter count of the SCENE2DKS run that would
    // write this script for LOD 0; DKS2VKM skips it.
    std::string text = "1";
    text += kLineEnd;
    text += "DKS  2.0\r\nMODEL ";
    text += modelName(lodFiles.at(0));
    text += "\r\n\r\nRADIUS 10\r\n\r\n";
    appendLine(text, dks::kLods, std::to_string(lodFiles.size()));
    for (size_t i = 0; i < lodFiles.size(); ++i) appendLine(text, dks::lodKeyword(int(i)), lodFiles[i] + "\t0");
    text += kLineEnd;
    appendLine(text, dks::kElements, std::to_string(elements.size()));
    for (const ScriptElement& element : elements) {
        text += kLineEnd;
        appendLine(text, dks::kElement, kindWord(element.kind));
        appendLine(text, dks::kName, element.node);
        if (element.kind == ElementKind::Mesh)
            for (size_t i = 0; i < lodFiles.size(); ++i) appendLine(text, dks::lodKeyword(int(i)), element.node);
        else
            appendLine(text, dks::kDefinition, element.node);
        appendLine(text, dks::kParent, element.parent);
    }
    return text;
}

}  // namespace lod
