// DKS2VKM from ASE text: loadScene, conversion of every object the scene holds
// (each parented to the one before it), VKM writing into memory, and the VKM
// reader over the result. Anything but an InputError escaping is a bug, and so
// is a written file that the independent reader rejects.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "modelconv/convert.h"
#include "common/input_error.h"
#include "sceneread/scene_reader.h"
#include "modelfile/vkm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    sceneread::TextParser parser = sceneread::TextParser::overText(fuzzsupport::text(data, size));
    modelconv::ModelDefinition definition;
    definition.lodCount = 1;
    definition.scenes.resize(1);
    try {
        sceneread::loadScene(definition.scenes[0], parser, "scene.ase", fuzzsupport::sink());
    } catch (const common::InputError&) {
        return 0;
    }
    const sceneread::Scene& scene = definition.scenes[0];
    std::string previous = "NONE";
    auto add = [&](modelconv::ElementType type, const std::string& name) {
        modelconv::ElementDefinition element;
        element.type = type;
        element.name = name;
        element.definitions[0] = name;
        element.parent = previous;
        previous = name;
        definition.elements.push_back(element);
    };
    for (const auto& object : scene.geometryObjects) add(modelconv::ElementType::Mesh, object.name);
    for (const auto& camera : scene.cameras) add(modelconv::ElementType::Camera, camera.name);
    for (const auto& light : scene.lights) add(modelconv::ElementType::OmniLight, light.name);
    modelconv::ConvertedModel model;
    try {
        modelconv::convert(definition, model, fuzzsupport::sink());
        const std::vector<std::uint8_t> bytes = model.bytes();
        modelfile::readVkm(bytes);
    } catch (const common::InputError&) {
    }
    return 0;
}
