// The DKS model script: LODs with their ASE files, and elements with names,
// per-LOD node names and parents. loadModelScript reads it and loads one Scene
// per LOD.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/dks_keywords.h"
#include "sceneread/scene.h"
#include "sceneread/scene_reader.h"
#include "sceneread/text_parser.h"

namespace modelconv {

// The same codes in the script, the converted model and the VKM file.
enum class ElementType : std::uint32_t { Mesh = 1, Camera = 2, OmniLight = 3 };

inline constexpr int kMaxLods = common::dks::kMaxLods;

struct ElementDefinition {
    std::string name;
    // The whole rest of the PARENT line, inner and trailing blanks included.
    std::string parent;
    ElementType type = ElementType::Mesh;
    // MESH: slot i names the geometry object of LOD i. CAMERA/OMNILIGHT: slot 0
    // names the node in LOD 0's scene.
    std::array<std::string, kMaxLods> definitions;
    // Script lines, for messages: the NAME line, each definition's line, the PARENT line.
    long nameLine = -1;
    std::array<long, kMaxLods> definitionLines{};
    long parentLine = -1;
};

struct ModelDefinition {
    std::int32_t lodCount = 0;
    std::vector<ElementDefinition> elements;
    // Exactly lodCount scenes; entry i holds LOD i's ASE file.
    std::vector<sceneread::Scene> scenes;
    // The name of each LOD's ASE file as it was opened, and the script line
    // that names it.
    std::vector<std::string> sceneFiles;
    std::vector<long> sceneLines;
    std::string scriptFile;
};

// Fills an empty definition from the script and loads every LOD's scene,
// printing the loading progress to `out`. Throws common::InputError.
void loadModelScript(ModelDefinition& definition, const std::string& fileName, std::FILE* out);
// The same over a script parser of any source; `openAse` gives the text of
// each LOD's ASE file by the name the script gives it.
// A lenient read reads names whole (a NAME, LOD or DEFINITION line with a
// blank names one node) and reads the scenes leniently (see scene_reader.h).
void loadModelScript(ModelDefinition& definition, sceneread::TextParser& script, const std::string& fileName,
                     const sceneread::TextOpener& openAse, std::FILE* out, const sceneread::ReadOptions& options = {});

}  // namespace modelconv
