#include "export/gltf_writer.h"

#include <tiny_gltf.h>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <sstream>

#include "common/json_text.h"
#include "export/brush_faces.h"
#include "export/coordinates.h"
#include "export/placement.h"

namespace exporter {

namespace {

// A glTF camera looks down its node's -z with +y up; the exported camera
// frames look down their -y (the export's -z) with -z (the export's y) up.
constexpr double kHalfTurn = 0.70710678118654752;
const std::vector<double> kCameraTurn{-kHalfTurn, 0, 0, kHalfTurn};
constexpr double kBrushOpacity = 0.35;

double linear(std::uint8_t srgb) {
    const double c = srgb / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// The bitmap's file name (after the last '/' or '\', blanks trimmed),
// percent-encoded so that any byte makes a valid URI.
std::string imageUri(const std::string& bitmap) {
    std::string_view name = bitmap;
    if (const size_t slash = name.find_last_of("/\\"); slash != std::string_view::npos) name.remove_prefix(slash + 1);
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    std::string uri;
    for (const unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

class GltfBuilder {
public:
    GltfBuilder() {
        model_.asset.version = "2.0";
        model_.asset.generator = "asset pipeline exporter";
        // NOTE: tinygltf writes a scene without nodes or name as null, which is invalid.
        model_.scenes.emplace_back();
        model_.scenes[0].name = "scene";
        model_.defaultScene = 0;
    }

    // Float vectors of `width` components; POSITION accessors carry bounds.
    int floats(const std::vector<float>& values, int width, bool bounds) {
        const int type = width == 2 ? TINYGLTF_TYPE_VEC2 : TINYGLTF_TYPE_VEC3;
        tinygltf::Accessor a = accessor(values.data(), values.size() * 4, TINYGLTF_TARGET_ARRAY_BUFFER);
        a.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        a.type = type;
        a.count = values.size() / static_cast<size_t>(width);
        if (bounds) {
            a.minValues.assign(static_cast<size_t>(width), INFINITY);
            a.maxValues.assign(static_cast<size_t>(width), -INFINITY);
            for (size_t i = 0; i < values.size(); ++i) {
                double& low = a.minValues[i % static_cast<size_t>(width)];
                double& high = a.maxValues[i % static_cast<size_t>(width)];
                low = std::min(low, static_cast<double>(values[i]));
                high = std::max(high, static_cast<double>(values[i]));
            }
        }
        model_.accessors.push_back(std::move(a));
        return static_cast<int>(model_.accessors.size() - 1);
    }

    int indices(const std::vector<std::uint32_t>& values) {
        tinygltf::Accessor a = accessor(values.data(), values.size() * 4, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        a.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
        a.type = TINYGLTF_TYPE_SCALAR;
        a.count = values.size();
        model_.accessors.push_back(std::move(a));
        return static_cast<int>(model_.accessors.size() - 1);
    }

    int material(tinygltf::Material m) {
        model_.materials.push_back(std::move(m));
        return static_cast<int>(model_.materials.size() - 1);
    }

    int mesh(tinygltf::Mesh m) {
        model_.meshes.push_back(std::move(m));
        return static_cast<int>(model_.meshes.size() - 1);
    }

    int node(tinygltf::Node n) {
        model_.nodes.push_back(std::move(n));
        return static_cast<int>(model_.nodes.size() - 1);
    }

    void attach(int child, int parent) {
        if (parent < 0)
            model_.scenes[0].nodes.push_back(child);
        else
            model_.nodes[static_cast<size_t>(parent)].children.push_back(child);
    }

    tinygltf::Model& model() { return model_; }

    std::vector<std::uint8_t> glb() {
        if (!data_.empty()) {
            tinygltf::Buffer buffer;
            buffer.data = data_;
            model_.buffers.push_back(std::move(buffer));
        }
        tinygltf::TinyGLTF gltf;
        gltf.SetImageWriter(nullptr, nullptr);  // images stay references by name
        std::ostringstream out;
        gltf.WriteGltfSceneToStream(&model_, out, false, true);
        const std::string bytes = out.str();
        return {bytes.begin(), bytes.end()};
    }

private:
    tinygltf::Accessor accessor(const void* bytes, size_t size, int target) {
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = data_.size();
        view.byteLength = size;
        view.target = target;
        const auto* first = static_cast<const unsigned char*>(bytes);
        data_.insert(data_.end(), first, first + size);
        model_.bufferViews.push_back(view);
        tinygltf::Accessor a;
        a.bufferView = static_cast<int>(model_.bufferViews.size() - 1);
        return a;
    }

    tinygltf::Model model_;
    std::vector<unsigned char> data_;  // every piece is 4-byte aligned: all components are 4 bytes
};

tinygltf::Material plainMaterial(const std::string& name, const Vec3& colour, double alpha) {
    tinygltf::Material m;
    m.name = name;
    m.pbrMetallicRoughness.baseColorFactor = {colour[0], colour[1], colour[2], alpha};
    m.pbrMetallicRoughness.metallicFactor = 0;
    m.pbrMetallicRoughness.roughnessFactor = 1;
    if (alpha < 1) m.alphaMode = "BLEND";
    m.doubleSided = alpha < 1;
    return m;
}

tinygltf::Material exported(GltfBuilder& gltf, const modelfile::Material& source) {
    const Vec3 colour{linear(source.diffuse[0]), linear(source.diffuse[1]), linear(source.diffuse[2])};
    const double opacity = std::isfinite(source.opacity) ? std::clamp(static_cast<double>(source.opacity), 0.0, 1.0) : 1.0;
    tinygltf::Material m = plainMaterial(utf8Name(source.name), colour, opacity);
    m.doubleSided = source.twoSided != 0;
    // The file keeps (1 - shininess) x 100, which reads directly as roughness.
    const double rough = source.shine / 100.0;
    m.pbrMetallicRoughness.roughnessFactor = std::isfinite(rough) ? std::clamp(rough, 0.0, 1.0) : 1.0;
    if (source.selfIllum != 0) m.emissiveFactor = {colour[0], colour[1], colour[2]};
    if (const std::string uri = imageUri(source.bitmap); !uri.empty()) {
        tinygltf::Image image;
        image.uri = uri;
        gltf.model().images.push_back(std::move(image));
        tinygltf::Texture texture;
        texture.source = static_cast<int>(gltf.model().images.size() - 1);
        gltf.model().textures.push_back(texture);
        m.pbrMetallicRoughness.baseColorTexture.index = static_cast<int>(gltf.model().textures.size() - 1);
    }
    return m;
}

// A child node holding lines between the given vertices.
void addLines(GltfBuilder& gltf, int parent, const std::string& name, int positions,
              const std::vector<std::array<std::uint32_t, 2>>& edges, int material) {
    if (edges.empty()) return;
    std::vector<std::uint32_t> ends;
    for (const auto& e : edges) ends.insert(ends.end(), {e[0], e[1]});
    tinygltf::Primitive lines;
    lines.mode = TINYGLTF_MODE_LINE;
    lines.attributes["POSITION"] = positions;
    lines.indices = gltf.indices(ends);
    lines.material = material;
    tinygltf::Mesh mesh;
    mesh.name = name;
    mesh.primitives.push_back(std::move(lines));
    tinygltf::Node node;
    node.name = name;
    node.mesh = gltf.mesh(std::move(mesh));
    gltf.attach(gltf.node(std::move(node)), parent);
}

std::vector<float> flat(const std::vector<Vec3>& points) {
    std::vector<float> out;
    for (const Vec3& p : points)
        for (const double c : p) out.push_back(static_cast<float>(c));
    return out;
}

// The brush's faces (when it has any) in `node`, its edges in a child node.
void addBrush(GltfBuilder& gltf, tinygltf::Node node, int parent, const modelfile::BrushRecord& brush, size_t index,
              int edgeMaterial) {
    const BrushShape shape = brushShape(brush);
    const std::string name = utf8Name(brush.name);
    node.name = name;
    int positions = -1;
    if (!shape.positions.empty()) positions = gltf.floats(flat(shape.positions), 3, true);
    if (!shape.triangles.empty()) {
        std::vector<std::uint32_t> corners;
        for (const auto& t : shape.triangles) corners.insert(corners.end(), t.begin(), t.end());
        tinygltf::Primitive faces;
        faces.mode = TINYGLTF_MODE_TRIANGLES;
        faces.attributes["POSITION"] = positions;
        faces.indices = gltf.indices(corners);
        faces.material = gltf.material(plainMaterial(name, brushColour(index), kBrushOpacity));
        tinygltf::Mesh mesh;
        mesh.name = name;
        mesh.primitives.push_back(std::move(faces));
        node.mesh = gltf.mesh(std::move(mesh));
    }
    const int at = gltf.node(std::move(node));
    gltf.attach(at, parent);
    if (positions >= 0) addLines(gltf, at, name + " edges", positions, shape.edges, edgeMaterial);
}

void addMeshLod(GltfBuilder& gltf, tinygltf::Node& node, int& edgesOf, const modelfile::Lod& lod,
                const std::string& name) {
    if (lod.vertices.empty() || lod.groups.empty()) return;
    std::vector<float> positions, normals, uvs, colours;
    for (const modelfile::Vertex& v : lod.vertices) {
        for (const double c : toGltf(v.position)) positions.push_back(static_cast<float>(c));
        Vec3 n = normalized(toGltf(v.normal));
        if (dot(n, n) == 0) n = {0, 1, 0};  // glTF wants unit normals; a degenerate one gets any
        for (const double c : n) normals.push_back(static_cast<float>(c));
        uvs.insert(uvs.end(), {std::isfinite(v.u) ? v.u : 0.0f, std::isfinite(v.v) ? v.v : 0.0f});
        for (const std::uint8_t c : v.colour) colours.push_back(static_cast<float>(linear(c)));
    }
    const int position = gltf.floats(positions, 3, true);
    const int normal = gltf.floats(normals, 3, false);
    const int uv = gltf.floats(uvs, 2, false);
    const int colour = gltf.floats(colours, 3, false);
    tinygltf::Mesh mesh;
    mesh.name = name;
    for (const modelfile::Group& group : lod.groups) {
        std::vector<std::uint32_t> corners;
        // The mirror reverses the winding.
        for (const auto& t : group.triangles) corners.insert(corners.end(), {t[0], t[2], t[1]});
        tinygltf::Primitive p;
        p.mode = TINYGLTF_MODE_TRIANGLES;
        p.attributes = {{"POSITION", position}, {"NORMAL", normal}, {"TEXCOORD_0", uv}, {"COLOR_0", colour}};
        p.indices = gltf.indices(corners);
        p.material = static_cast<int>(group.material);
        mesh.primitives.push_back(std::move(p));
    }
    node.mesh = gltf.mesh(std::move(mesh));
    edgesOf = position;
}

}  // namespace

std::string utf8Name(const std::string& bytes) {
    return nlohmann::json::parse(common::jsonString(bytes)).get<std::string>();
}

void requireLod(const modelfile::Model& model, std::uint32_t lod) {
    if (lod >= model.lodCount && !(lod == 0 && model.lodCount == 0))
        throw ExportError("LOD " + std::to_string(lod) + " does not exist: the model has " +
                          std::to_string(model.lodCount) + " LODs");
}

std::vector<std::uint8_t> modelToGlb(const modelfile::Model& model, std::uint32_t lod,
                                     const modelfile::HxmFile* collision) {
    requireLod(model, lod);
    GltfBuilder gltf;
    for (const modelfile::Material& m : model.materials) gltf.material(exported(gltf, m));
    const int edgeMaterial = gltf.material(plainMaterial("edges", {0.02, 0.02, 0.02}, 1));

    // Nodes first, in element order, so that node i is element i.
    std::vector<int> edgePositions(model.elements.size(), -1);
    for (size_t i = 0; i < model.elements.size(); ++i) {
        const modelfile::Element& e = model.elements[i];
        tinygltf::Node node;
        node.name = utf8Name(e.name);
        const Vec3 t = toGltf(e.localPosition);
        if (std::isfinite(t[0]) && std::isfinite(t[1]) && std::isfinite(t[2])) node.translation = {t[0], t[1], t[2]};
        const std::array<double, 4> q = rotationToGltf(e.localRotation);
        node.rotation = {q[0], q[1], q[2], q[3]};
        if (e.type == 1 && lod < e.lods.size()) addMeshLod(gltf, node, edgePositions[i], e.lods[lod], node.name);
        if (e.type == 3) {
            tinygltf::Light light;
            light.name = node.name;
            light.type = "point";
            light.color = {1, 1, 1};
            gltf.model().lights.push_back(std::move(light));
            node.extensions["KHR_lights_punctual"] = tinygltf::Value(
                tinygltf::Value::Object{{"light", tinygltf::Value(static_cast<int>(gltf.model().lights.size() - 1))}});
        }
        gltf.node(std::move(node));
    }
    for (size_t i = 0; i < model.elements.size(); ++i) {
        const modelfile::Element& e = model.elements[i];
        const int at = static_cast<int>(i);
        gltf.attach(at, e.parent);
        if (edgePositions[i] >= 0)
            addLines(gltf, at, utf8Name(e.name) + " edges", edgePositions[i], e.lods[lod].edges, edgeMaterial);
        if (e.type == 2) {
            tinygltf::Camera camera;
            camera.type = "perspective";
            camera.perspective.yfov = 0.785398;
            camera.perspective.znear = 0.1;
            camera.perspective.zfar = 100000;
            gltf.model().cameras.push_back(camera);
            tinygltf::Node view;
            view.name = utf8Name(e.name) + " view";
            view.rotation = kCameraTurn;
            view.camera = static_cast<int>(gltf.model().cameras.size() - 1);
            gltf.attach(gltf.node(std::move(view)), at);
        }
    }
    if (collision != nullptr) {
        const std::vector<int> parents = brushParents(model, *collision);
        for (size_t b = 0; b < collision->brushes.size(); ++b) {
            const int parent = parents[b];
            tinygltf::Node node;
            if (parent >= 0 && collision->layout == modelfile::Layout::Flat) {
                const auto [q, t] = flatBrushFrame(model.elements[static_cast<size_t>(parent)]);
                if (std::isfinite(t[0]) && std::isfinite(t[1]) && std::isfinite(t[2]))
                    node.translation = {t[0], t[1], t[2]};
                node.rotation = {q[0], q[1], q[2], q[3]};
            }
            addBrush(gltf, std::move(node), parent, collision->brushes[b], b, edgeMaterial);
        }
    }
    return gltf.glb();
}

std::vector<std::uint8_t> brushesToGlb(const modelfile::HxmFile& file) {
    GltfBuilder gltf;
    const int edgeMaterial = gltf.material(plainMaterial("edges", {0.02, 0.02, 0.02}, 1));
    for (size_t b = 0; b < file.brushes.size(); ++b) addBrush(gltf, {}, -1, file.brushes[b], b, edgeMaterial);
    return gltf.glb();
}

}  // namespace exporter
