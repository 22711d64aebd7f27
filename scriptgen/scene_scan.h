// The one pass of SCENE2DKS over an ASE export: a line-by-line keyword scan
// that finds geometry objects, free cameras and omni lights with the node and
// parent names on the lines right after their block keyword. Nothing else of
// the file is read; there is no grammar and no block nesting is followed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace scriptgen {

enum class ElementKind { Mesh, Camera, OmniLight };

// The script's word for a kind: "MESH", "CAMERA" or "OMNILIGHT".
std::string_view kindWord(ElementKind kind);

// One found object, in the order of the file.
struct Element {
    ElementKind kind = ElementKind::Mesh;
    std::string nodeName;  // the ASE node; also the element's NAME before /GIB cutting
    std::string parent;    // the parent's node name, or "NONE"
};

// The name on a *NODE_NAME or *NODE_PARENT line (`keyword` is the one the line
// holds): the text between the first and the last double quote when there are
// two or more; with exactly one quote, the text after it up to, not including,
// the line's last character; with none, the first word after the keyword
// (words separated by blanks and tabs). Empty when that text is empty.
std::string nodeNameOf(std::string_view line, std::string_view keyword);

// Scans the whole text, one line at a time (lines end with LF; a line's text
// stops before its first CR), and returns the qualifying objects. With
// `writeParents` off every parent is "NONE". Never throws for any content.
std::vector<Element> scanScene(std::string_view text, bool writeParents);

}  // namespace scriptgen
