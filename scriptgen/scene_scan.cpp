#include "scriptgen/scene_scan.h"

#include <utility>

#include "common/dks_keywords.h"

namespace scriptgen {

namespace {

constexpr std::string_view kNodeName = "*NODE_NAME";
constexpr std::string_view kNodeParent = "*NODE_PARENT";
using common::dks::kNoParent;

bool contains(std::string_view line, std::string_view keyword) {
    return line.find(keyword) != std::string_view::npos;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    // Reads the next line; at the end of the data the line is empty and the
    // result false, so a block cut short by the end of file simply qualifies
    // for nothing.
    bool next() {
        if (position_ >= text_.size()) {
            line_ = {};
            return false;
        }
        size_t end = text_.find('\n', position_);
        if (end == std::string_view::npos) end = text_.size();
        line_ = text_.substr(position_, end - position_);
        position_ = end + 1;
        if (const size_t cr = line_.find('\r'); cr != std::string_view::npos) line_ = line_.substr(0, cr);
        return true;
    }
    std::string_view line() const { return line_; }

private:
    std::string_view text_;
    size_t position_ = 0;
    std::string_view line_;
};

// The line that decides whether a camera or light enters the list; a mesh
// always does.
std::string_view qualifyingLine(ElementKind kind) {
    switch (kind) {
        case ElementKind::Camera: return "*CAMERA_TYPE Free";
        case ElementKind::OmniLight: return "*LIGHT_TYPE Omni";
        case ElementKind::Mesh: break;
    }
    return {};
}

// Reads the lines of one object block after its keyword line. Lines read here
// are consumed whether they match or not: the main loop never sees them.
void scanObject(LineReader& reader, ElementKind kind, bool writeParents, std::vector<Element>& elements) {
    reader.next();
    if (!contains(reader.line(), kNodeName)) return;
    Element element{kind, nodeNameOf(reader.line(), kNodeName), std::string(kNoParent)};
    reader.next();
    if (contains(reader.line(), kNodeParent)) {
        if (writeParents) element.parent = nodeNameOf(reader.line(), kNodeParent);
        if (kind != ElementKind::Mesh) reader.next();
    }
    if (kind == ElementKind::Mesh || contains(reader.line(), qualifyingLine(kind)))
        elements.push_back(std::move(element));
}

}  // namespace

std::string_view kindWord(ElementKind kind) {
    switch (kind) {
        case ElementKind::Mesh: return common::dks::kMesh;
        case ElementKind::Camera: return common::dks::kCamera;
        case ElementKind::OmniLight: return common::dks::kOmniLight;
    }
    return {};
}

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
    // NOTE: with a single quote the line's last character is dropped, whatever
    // it is; exported files always close the quote, so this only shapes names
    // of hand-edited lines.
    const size_t end = last != first ? last : line.size() - 1;
    if (end <= first + 1) return {};
    return std::string(line.substr(first + 1, end - first - 1));
}

std::vector<Element> scanScene(std::string_view text, bool writeParents) {
    std::vector<Element> elements;
    LineReader reader(text);
    while (reader.next()) {
        const std::string_view line = reader.line();
        if (contains(line, "*GEOMOBJECT"))
            scanObject(reader, ElementKind::Mesh, writeParents, elements);
        else if (contains(line, "*CAMERAOBJECT"))
            scanObject(reader, ElementKind::Camera, writeParents, elements);
        else if (contains(line, "*LIGHTOBJECT"))
            scanObject(reader, ElementKind::OmniLight, writeParents, elements);
    }
    return elements;
}


}  // namespace scriptgen
