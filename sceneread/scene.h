// One ASE file as DKS2VKM reads it, already turned into the program's y-up
// frame (second and third coordinates exchanged, texture v negated).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sceneread {

// Longest name or value that fits the formats' 256-byte, NUL-terminated fields.
inline constexpr size_t kMaxNameLength = 255;

struct Vec3f {
    float x = 0, y = 0, z = 0;
};

struct Vec2f {
    float u = 0, v = 0;
};

struct Colour {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

struct SceneMaterial {
    std::string name;
    Colour diffuse;
    Colour specular;
    float shine = 0;
    // A block without a transparency line is opaque.
    float opacity = 1.0f;
    std::int32_t twoSided = 0;
    std::int32_t selfIllum = 0;
    std::string bitmap;
};

struct SceneNode {
    std::string name;
    long line = -1;  // the line of its *NODE_NAME, for messages
    Vec3f position;
    // Row-major 4x4: rotation in the upper 3x3, row 3 = (0, 0, 0, 1).
    std::array<float, 16> matrix{};
    // Quaternion x, y, z, w.
    std::array<float, 4> rotation{};
};

struct SceneFace {
    std::int32_t a = 0, b = 0, c = 0;
    std::int32_t ab = 0, bc = 0, ca = 0;
    std::int32_t ta = -1, tb = -1, tc = -1;
    std::int32_t colourA = -1, colourB = -1, colourC = -1;
    std::int32_t materialId = 0;
    std::int32_t smoothing = 0;
};

// Indices the reader has checked: a, b, c lie inside vertices; colour indices
// are -1 or inside vertexColours. Texture indices are not checked (conversion
// maps those out of range to 0).
struct GeometryObject : SceneNode {
    std::vector<Vec3f> vertices;
    std::vector<Colour> vertexColours;
    std::vector<Vec2f> textureVertices;
    std::vector<SceneFace> faces;
    std::int32_t materialRef = 0;
    // Lenient reading only: a *MATERIAL_REF line was read (or, for a mesh
    // without texture vertices, the format's material 0 applies), and the
    // block's *WIREFRAME_COLOR.
    bool hasMaterialRef = false;
    std::optional<Colour> wireframeColour;
};

struct SceneLight : SceneNode {
    std::int32_t useLight = 0;
};

// An object whose lookups read past its end into the next objects (a keyword
// it lacks), which the object pass then never saw.
struct ObjectOverrun {
    std::string object;   // whose lookups ran on
    std::string keyword;  // the first lookup that ran past the object's end
    long line = -1;       // where it crossed into the next object
    struct Passed {
        std::string name;
        long line = -1;
    };
    std::vector<Passed> passed;  // the objects read past, by their *NODE_NAME lines
};

struct Scene {
    std::vector<SceneMaterial> materials;
    // One entry per top-level material: indices into materials.
    std::vector<std::vector<std::int32_t>> materialGroups;
    std::vector<GeometryObject> geometryObjects;
    std::vector<SceneNode> cameras;
    std::vector<SceneLight> lights;
    std::vector<SceneNode> helpers;
    std::vector<ObjectOverrun> overruns;
};

// First record whose name equals `name` ignoring ASCII letter case.
const GeometryObject* findGeometryObject(const Scene& scene, std::string_view name);
const SceneNode* findCamera(const Scene& scene, std::string_view name);
const SceneLight* findLight(const Scene& scene, std::string_view name);

}  // namespace sceneread
