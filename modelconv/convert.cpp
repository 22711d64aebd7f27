#include "modelconv/convert.h"

#include "geometry/sphere_solver.h"
#include "modelconv/mesh_lod.h"
#include "modelconv/name_index.h"
#include "modelconv/script_checks.h"
#include "common/input_error.h"

namespace modelconv {

using common::reportError;

ModelMaterial convertMaterial(const sceneread::SceneMaterial& material) {
    ModelMaterial converted;
    converted.name = material.name;
    converted.diffuse = material.diffuse;
    converted.diffuse.a = 255;
    converted.specular = material.specular;
    converted.specular.a = 255;
    converted.shine = static_cast<float>((1.0 - static_cast<double>(material.shine)) * 100.0);
    converted.opacity = material.opacity;
    converted.twoSided = material.twoSided;
    converted.selfIllum = material.selfIllum;
    converted.bitmap = material.bitmap;
    return converted;
}

namespace {

const std::string kNoFile;

constexpr std::array<float, 16> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The name lookups in LOD 0's scene, each index built once.
struct SceneIndex {
    SceneIndex(const sceneread::Scene& lodZero, const NameIndex& meshIndex)
        : scene(lodZero), meshes(meshIndex), cameras(lodZero.cameras), lights(lodZero.lights) {}
    const sceneread::Scene& scene;
    const NameIndex& meshes;
    NameIndex cameras, lights;
};

// The element and the LOD-0 node it stands for.
struct CreatedElement {
    Element element;
    const sceneread::SceneNode* node;
};

CreatedElement createElement(const ElementDefinition& definition, const SceneIndex& index, std::uint32_t lodCount) {
    const std::string& nodeName = definition.definitions[0];
    CreatedElement created{ModelElement{}, nullptr};
    switch (definition.type) {
        case ElementType::Mesh: {
            MeshElement mesh;
            mesh.lods.resize(lodCount);
            created = {std::move(mesh), index.meshes.find(index.scene.geometryObjects, nodeName)};
            break;
        }
        case ElementType::Camera:
            created.node = index.cameras.find(index.scene.cameras, nodeName);
            break;
        case ElementType::OmniLight: {
            const sceneread::SceneLight* light = index.lights.find(index.scene.lights, nodeName);
            LightElement lightElement;
            if (light) lightElement.useLight = light->useLight;
            created = {std::move(lightElement), light};
            break;
        }
    }
    ModelElement& record = elementRecord(created.element);
    record.name = definition.name;
    record.type = definition.type;
    return created;
}

// A loop in the parent chain would make a hierarchy that no reader can walk.
void rejectParentLoops(const std::vector<Element>& elements) {
    enum class Mark { Unseen, OnPath, Done };
    std::vector<Mark> marks(elements.size(), Mark::Unseen);
    std::vector<size_t> path;
    for (size_t start = 0; start < elements.size(); ++start) {
        path.clear();
        size_t at = start;
        while (marks[at] == Mark::Unseen) {
            marks[at] = Mark::OnPath;
            path.push_back(at);
            const std::int32_t parent = elementRecord(elements[at]).parent;
            if (parent < 0) break;
            at = static_cast<size_t>(parent);
            if (marks[at] == Mark::OnPath)
                reportError(-1, "Element %s is its own ancestor: the PARENT lines form a loop!",
                            elementRecord(elements[at]).name.c_str());
        }
        for (size_t p : path) marks[p] = Mark::Done;
    }
}

void placeInParent(ModelElement& element, const sceneread::SceneNode& node, const sceneread::SceneNode* parent) {
    const std::array<float, 16>& pm = parent ? parent->matrix : kIdentity;
    const std::array<double, 3> pp = parent ? std::array<double, 3>{parent->position.x, parent->position.y,
                                                                    parent->position.z}
                                            : std::array<double, 3>{0, 0, 0};
    const std::array<float, 4> pq = parent ? parent->rotation : std::array<float, 4>{0, 0, 0, 1};

    element.worldMatrix = node.matrix;
    element.worldPosition = {node.position.x, node.position.y, node.position.z, 0};
    element.worldRotation = node.rotation;

    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += static_cast<double>(pm[static_cast<size_t>(4 * k + r)]) * node.matrix[static_cast<size_t>(4 * k + c)];
            element.localMatrix[static_cast<size_t>(4 * r + c)] = static_cast<float>(sum);
        }

    const double d[3] = {node.position.x - pp[0], node.position.y - pp[1], node.position.z - pp[2]};
    for (int r = 0; r < 3; ++r)
        element.localPosition[static_cast<size_t>(r)] = static_cast<float>(
            pm[static_cast<size_t>(4 * r)] * d[0] + pm[static_cast<size_t>(4 * r + 1)] * d[1] +
            pm[static_cast<size_t>(4 * r + 2)] * d[2]);
    element.localPosition[3] = 0;

    // conjugate(parent) x world, in double.
    const double x1 = -static_cast<double>(pq[0]), y1 = -static_cast<double>(pq[1]), z1 = -static_cast<double>(pq[2]),
                 w1 = pq[3];
    const double x2 = node.rotation[0], y2 = node.rotation[1], z2 = node.rotation[2], w2 = node.rotation[3];
    element.localRotation = {static_cast<float>(w1 * x2 + x1 * w2 + y1 * z2 - z1 * y2),
                             static_cast<float>(w1 * y2 - x1 * z2 + y1 * w2 + z1 * x2),
                             static_cast<float>(w1 * z2 + x1 * y2 - y1 * x2 + z1 * w2),
                             static_cast<float>(w1 * w2 - x1 * x2 - y1 * y2 - z1 * z2)};
}

// Creates every element from LOD 0's scene and places it in its parent's
// frame; returns the LOD-0 node of each element, the frame of its meshes.
std::vector<const sceneread::SceneNode*> buildElements(const ModelDefinition& definition, const NameIndex& meshes,
                                                       ConvertedModel& model) {
    const SceneIndex index(definition.scenes[0], meshes);
    std::vector<const sceneread::SceneNode*> nodes;
    model.elements.reserve(definition.elements.size());
    nodes.reserve(definition.elements.size());
    for (const ElementDefinition& element : definition.elements) {
        CreatedElement created = createElement(element, index, model.lodCount);
        if (created.node == nullptr) reportMissingNode(definition, element);
        model.elements.push_back(std::move(created.element));
        nodes.push_back(created.node);
    }
    // A PARENT line names the first element of that name, ignoring case.
    const NameIndex parents(definition.elements);
    for (size_t i = 0; i < model.elements.size(); ++i) {
        const std::optional<size_t> parent = parents.find(definition.elements[i].parent);
        elementRecord(model.elements[i]).parent = parent ? static_cast<std::int32_t>(*parent) : -1;
    }
    rejectParentLoops(model.elements);
    for (size_t i = 0; i < model.elements.size(); ++i) {
        const std::int32_t parent = elementRecord(model.elements[i]).parent;
        placeInParent(elementRecord(model.elements[i]), *nodes[i],
                      parent < 0 ? nullptr : nodes[static_cast<size_t>(parent)]);
    }
    return nodes;
}

// The element's own extent, from LOD 0 only: its radius and bounds, and the
// smallest sphere around all of its vertices (used by a face or not).
void setExtentFromLodZero(MeshElement& mesh, const std::vector<Vec3f>& positions) {
    geometry::SphereSolver solver;
    for (const Vec3f& p : positions) solver.addPoint(p.x, p.y, p.z);
    solver.build();
    mesh.sphereCentre = {static_cast<float>(solver.centre()[0]), static_cast<float>(solver.centre()[1]),
                         static_cast<float>(solver.centre()[2])};
    mesh.sphereRadius = static_cast<float>(solver.radius());
    mesh.originRadius = mesh.lods[0].radius;
    mesh.bounds = mesh.lods[0].bounds;
}

// Where the conversion of one mesh reports, besides the console.
struct MeshReport {
    std::FILE* out;
    common::Diagnostics& diagnostics;
    const std::string& sceneFile;
};

// A missing object, or one without vertices or faces, leaves the LOD empty.
void convertMesh(MeshElement& mesh, int lod, const sceneread::GeometryObject* object, const sceneread::SceneNode& frame,
                 const sceneread::Scene& scene, std::int32_t firstMaterial, const MeshReport& report) {
    std::FILE* out = report.out;
    std::fprintf(out, "Converting mesh %s", mesh.name.c_str());
    if (object == nullptr || object->vertices.empty() || object->faces.empty()) {
        std::fputs(": not found\n", out);
        return;
    }
    if (object->textureVertices.empty())
        report.diagnostics.warning(report.sceneFile, object->line, mesh.name,
                                   "mesh " + object->name + " has no texture coordinates; its vertices get u = v = 0");
    const std::vector<Vec3f> positions = positionsInFrame(object->vertices, frame);
    const std::vector<std::int32_t>& group = materialGroupOf(*object, scene, mesh.name, lod);
    mesh.lods[static_cast<size_t>(lod)] = convertMeshLod(*object, positions, group, firstMaterial, out);
    if (lod == 0) setExtentFromLodZero(mesh, positions);
}

}  // namespace

void convert(const ModelDefinition& definition, ConvertedModel& model, std::FILE* out,
             common::Diagnostics& diagnostics) {
    model.lodCount = static_cast<std::uint32_t>(definition.lodCount);
    warnAboutScript(definition, diagnostics);
    if (definition.scenes.empty() && !definition.elements.empty())
        reportError(-1, "The script declares %zu elements but no LOD to find them in!", definition.elements.size());
    std::vector<const sceneread::SceneNode*> frames;
    for (size_t lod = 0; lod < definition.scenes.size(); ++lod) {
        std::fprintf(out, "Converting lod %d...\n", static_cast<int>(lod));
        const sceneread::Scene& scene = definition.scenes[lod];
        const auto firstMaterial = static_cast<std::int32_t>(model.materials.size());
        for (const sceneread::SceneMaterial& material : scene.materials)
            model.materials.push_back(convertMaterial(material));
        const NameIndex meshes(scene.geometryObjects);
        if (lod == 0) frames = buildElements(definition, meshes, model);
        for (size_t i = 0; i < model.elements.size(); ++i)
            if (auto* mesh = std::get_if<MeshElement>(&model.elements[i]))
                convertMesh(*mesh, static_cast<int>(lod),
                            meshes.find(scene.geometryObjects, definition.elements[i].definitions[lod]), *frames[i],
                            scene, firstMaterial,
                            {out, diagnostics, lod < definition.sceneFiles.size() ? definition.sceneFiles[lod] : kNoFile});
    }
}

}  // namespace modelconv
