// The DKS script of a model with several LODs, one ASE file each: the text
// SCENE2DKS writes for `SCENE2DKS <LOD 0 file>`, with one LOD line per file
// and every mesh element naming its node in each of them (aselod keeps node
// names, so they are the LOD 0 names throughout).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lod {

enum class ElementKind { Mesh, Camera, OmniLight };

struct ScriptElement {
    ElementKind kind = ElementKind::Mesh;
    std::string node;
    std::string parent;  // the parent's node name, or "NONE"
};

// The name on a *NODE_NAME or *NODE_PARENT line, as SCENE2DKS reads it: the
// text between the first and the last double quote; with one quote, the text
// after it up to, not including, the line's last character; with none, the
// first word after `keyword`.
std::string nodeNameOf(std::string_view line, std::string_view keyword);

// The elements SCENE2DKS finds in an export, in file order: every
// *GEOMOBJECT, free cameras and omni lights, each with the node and parent
// names on the lines right after its keyword line. Never throws.
std::vector<ScriptElement> scanElements(std::string_view text);

// The script text, CR LF line ends. `lodFiles` names the ASE file of each LOD
// as DKS2VKM will open them (LOD 0 first; at least one); the MODEL line is
// LOD 0's file name without directory and extension.
std::string buildScript(const std::vector<std::string>& lodFiles, const std::vector<ScriptElement>& elements);

}  // namespace lod
