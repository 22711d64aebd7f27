#include "modelconv/script_checks.h"

#include <string>
#include <unordered_map>

#include "common/ascii.h"

namespace modelconv {

namespace {

// A name as a person would mistype it: letter case and blanks ignored.
std::string looseName(std::string_view name) {
    std::string loose = common::lowerCased(name);
    std::erase(loose, ' ');
    return loose;
}

const std::string& sceneFile(const ModelDefinition& definition, size_t lod) {
    static const std::string none;
    return lod < definition.sceneFiles.size() ? definition.sceneFiles[lod] : none;
}

// Name (folded) -> how many records carry it, and the first one's line.
template <typename Record>
std::unordered_map<std::string, std::pair<size_t, long>> nameCounts(const std::vector<Record>& records) {
    std::unordered_map<std::string, std::pair<size_t, long>> counts;
    for (const Record& record : records) {
        auto [at, fresh] = counts.try_emplace(common::lowerCased(record.name), 0, record.line);
        ++at->second.first;
    }
    return counts;
}

void warnAboutParents(const ModelDefinition& definition, common::Diagnostics& diagnostics) {
    std::unordered_map<std::string, size_t> first, loose;
    for (size_t i = 0; i < definition.elements.size(); ++i) {
        const ElementDefinition& element = definition.elements[i];
        loose.try_emplace(looseName(element.name), i);
        if (!first.try_emplace(common::lowerCased(element.name), i).second)
            diagnostics.warning(definition.scriptFile, element.nameLine, element.name,
                                "element name " + element.name +
                                    " is taken already (ignoring case); PARENT lines naming it find the first");
    }
    for (const ElementDefinition& element : definition.elements) {
        if (element.parent == "NONE" || first.count(common::lowerCased(element.parent)) != 0) continue;
        std::string message = "PARENT " + element.parent + " names no element; " + element.name + " becomes a root";
        const auto close = loose.find(looseName(element.parent));
        if (close != loose.end()) message += " (did you mean " + definition.elements[close->second].name + "?)";
        diagnostics.warning(definition.scriptFile, element.parentLine, element.name, message);
    }
}

void warnAboutMatches(const ModelDefinition& definition, common::Diagnostics& diagnostics) {
    for (size_t lod = 0; lod < definition.scenes.size(); ++lod) {
        const sceneread::Scene& scene = definition.scenes[lod];
        const auto meshes = nameCounts(scene.geometryObjects);
        const auto cameras = nameCounts(scene.cameras);
        const auto lights = nameCounts(scene.lights);
        std::unordered_map<std::string, const ElementDefinition*> used;
        for (const ElementDefinition& element : definition.elements) {
            if (lod > 0 && element.type != ElementType::Mesh) continue;
            const auto& counts = element.type == ElementType::Mesh     ? meshes
                                 : element.type == ElementType::Camera ? cameras
                                                                       : lights;
            const std::string& node = element.definitions[lod];
            const long line = element.definitionLines[lod];
            const auto found = counts.find(common::lowerCased(node));
            if (found == counts.end()) continue;
            if (found->second.first > 1)
                diagnostics.warning(definition.scriptFile, line, element.name,
                                    node + " matches " + std::to_string(found->second.first) + " nodes of " +
                                        sceneFile(definition, lod) + " (ignoring case); the first, at line " +
                                        std::to_string(found->second.second) + ", is used");
            const std::string key = std::to_string(static_cast<int>(element.type)) + common::lowerCased(node);
            const auto [first, fresh] = used.try_emplace(key, &element);
            if (!fresh)
                diagnostics.warning(definition.scriptFile, line, element.name,
                                    "element " + element.name + " stands for node " + node + " of LOD " +
                                        std::to_string(lod) + ", as element " + first->second->name + " does");
        }
    }
}

void warnAboutOverruns(const ModelDefinition& definition, common::Diagnostics& diagnostics) {
    for (size_t lod = 0; lod < definition.scenes.size(); ++lod)
        for (const sceneread::ObjectOverrun& overrun : definition.scenes[lod].overruns) {
            std::string lost;
            for (const auto& passed : overrun.passed)
                lost += (lost.empty() ? "" : ", ") + passed.name + " (line " + std::to_string(passed.line) + ")";
            diagnostics.warning(sceneFile(definition, lod), overrun.line, overrun.object,
                                overrun.object + " has no " + overrun.keyword +
                                    "; its lookups continued into the next objects" +
                                    (lost.empty() ? std::string() : ", which are lost: " + lost));
        }
}

}  // namespace

void warnAboutScript(const ModelDefinition& definition, common::Diagnostics& diagnostics) {
    warnAboutOverruns(definition, diagnostics);
    warnAboutParents(definition, diagnostics);
    warnAboutMatches(definition, diagnostics);
}

void reportMissingNode(const ModelDefinition& definition, const ElementDefinition& element) {
    const std::string& node = element.definitions[0];
    common::InputError error("Can't find " + node + " in lod 0");
    error.object = element.name;
    if (!definition.scenes.empty())
        for (const sceneread::ObjectOverrun& overrun : definition.scenes[0].overruns)
            for (const auto& passed : overrun.passed) {
                if (!common::equalsIgnoreCase(passed.name, node)) continue;
                error.file = sceneFile(definition, 0);
                error.diagnosticLine = overrun.line;
                error.notes.push_back({overrun.object + " has no " + overrun.keyword +
                                       "; its lookups continued into the next objects here"});
                error.notes.push_back({node + " starts here, inside what they read", passed.line});
                throw error;
            }
    error.file = definition.scriptFile;
    error.diagnosticLine = element.definitionLines[0];
    error.notes.push_back({"no " + std::string(element.type == ElementType::Mesh ? "mesh" : element.type == ElementType::Camera ? "camera" : "omni light") +
                           " of that name in " + sceneFile(definition, 0)});
    throw error;
}

}  // namespace modelconv
