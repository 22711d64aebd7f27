// The converted model: every material of every LOD in one list, and one
// element record per script element, each placed relative to its parent;
// mesh elements carry their geometry per LOD. The VKM writer reads only this,
// and it holds only values: no pointer into the scenes it was converted from.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "modelconv/model_script.h"
#include "sceneread/scene.h"

namespace modelconv {

using sceneread::Colour;
using sceneread::Vec3f;

// A material as the file stores it.
struct ModelMaterial {
    std::string name;
    Colour diffuse;   // alpha 255, not written
    Colour specular;  // alpha 255, not written
    float shine = 0;  // (1 - the scene's shine) x 100
    float opacity = 1.0f;
    std::int32_t twoSided = 0;
    std::int32_t selfIllum = 0;
    std::string bitmap;
};

struct ModelVertex {
    Vec3f position;
    Vec3f normal;
    Colour colour;  // alpha always 255
    float u = 0, v = 0;
};

// One mesh element's geometry in one LOD. Empty (no count word, no -1) when
// the LOD's mesh is missing or has no vertex or no face; radius and bounds
// are then 0.
struct MeshLod {
    std::vector<ModelVertex> vertices;
    // Per material group: material, face count n, 3n vertex indices; then -1.
    std::vector<std::int32_t> indexStream;
    // Edge count e, then e pairs of vertex indices.
    std::vector<std::int32_t> edgeList;
    float radius = 0;
    // min x, max x, min y, max y, min z, max z.
    std::array<float, 6> bounds{};
};

// The common element record (a camera is exactly this).
struct ModelElement {
    std::string name;
    ElementType type = ElementType::Camera;
    std::int32_t parent = -1;
    std::array<float, 4> localPosition{};
    std::array<float, 4> worldPosition{};
    std::array<float, 16> localMatrix{};
    std::array<float, 16> worldMatrix{};
    std::array<float, 4> localRotation{};
    std::array<float, 4> worldRotation{};
    // Meshes only (0 for cameras and lights): LOD 0's radius, and the
    // smallest sphere around LOD 0's vertices.
    float originRadius = 0;
    std::array<float, 3> sphereCentre{};
    float sphereRadius = 0;
};

struct LightElement : ModelElement {
    std::int32_t useLight = 0;
};

struct MeshElement : ModelElement {
    std::vector<MeshLod> lods;  // exactly lodCount entries
    std::array<float, 6> bounds{};  // LOD 0's
};

using Element = std::variant<ModelElement, MeshElement, LightElement>;

// The record every kind of element starts with.
inline ModelElement& elementRecord(Element& element) {
    return std::visit([](auto& e) -> ModelElement& { return e; }, element);
}
inline const ModelElement& elementRecord(const Element& element) {
    return std::visit([](const auto& e) -> const ModelElement& { return e; }, element);
}

struct ConvertedModel {
    std::uint32_t lodCount = 0;
    std::vector<ModelMaterial> materials;
    std::vector<Element> elements;

    // The VKM file's bytes, built in one forward pass.
    std::vector<std::uint8_t> bytes() const;
    // Writes the VKM file completely or not at all; throws InputError
    // ("Can't write VKM: <name>!") when it cannot be written.
    void save(const std::string& fileName) const;
};

}  // namespace modelconv
