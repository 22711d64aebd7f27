// The DKS script that SCENE2DKS writes, and the names it derives from the ASE
// file name. Every line of the script ends with CR LF, the last one included.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scriptgen/scene_scan.h"

namespace scriptgen {

// What the script says besides the elements.
struct ScriptHeader {
    int parameterCount = 1;     // command-line parameters of the run, written first
    std::string_view aseName;   // as typed: every LOD line names it
    int lodCount = 1;           // at least 1
    bool gibNames = false;      // cut element names before their last '_'
    // When given, LOD i names lodFiles[i] instead of aseName (lodCount is
    // their number): a model whose LODs are separate exports of one scene.
    std::span<const std::string> lodFiles = {};
};

// The ASE name with the extension of its file name (from the last '.' after
// the last '/' or '\\', even a leading one) replaced by ".dks", or with ".dks"
// appended when the file name has no dot: "a.b/scene" gives "a.b/scene.dks",
// ".hidden" gives ".dks".
std::string scriptNameFor(std::string_view aseName);

// The file name without directory and extension, as the MODEL line shows it.
std::string modelNameFor(std::string_view aseName);

// The element name under /GIB: `name` cut before its last '_', or unchanged
// when it holds none ("Gib_Part_03" gives "Gib_Part", "Wing_" gives "Wing").
std::string_view gibName(std::string_view name);

// The whole script text. Throws std::bad_alloc when it cannot be held in
// memory; its size is computed first so that a huge LOD count fails at once
// instead of after filling memory.
std::string buildScript(const ScriptHeader& header, const std::vector<Element>& elements);

}  // namespace scriptgen
