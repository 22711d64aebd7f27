#include "modelconv/convert.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <new>
#include <optional>
#include <stdio.h>
#include <thread>

#include "geometry/sphere_solver.h"
#include "modelconv/mesh_lod.h"
#include "modelconv/name_index.h"
#include "modelconv/script_checks.h"
#include "common/input_error.h"
#include "common/printed_text.h"

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

// One mesh of one LOD: the conversions are independent once the elements
// are placed, so they run on any thread; what each prints is kept.
struct MeshJob {
    MeshElement* mesh;
    int lod;
    const sceneread::GeometryObject* object;
    const sceneread::SceneNode* frame;
    const std::vector<std::int32_t>* group;
    std::int32_t firstMaterial;
    // When the conversion consumes the scenes: the object, emptied by the
    // last job that reads it, and that count of jobs.
    sceneread::GeometryObject* consumed = nullptr;
    std::uint32_t* readers = nullptr;
    std::string printed;
    std::exception_ptr failure;
};

// Gives the storage back (clearing would keep it).
template <typename T>
void freeStorage(std::vector<T>& list) {
    std::vector<T>().swap(list);
}

void release(MeshJob& job) {
    if (job.consumed == nullptr || std::atomic_ref<std::uint32_t>(*job.readers).fetch_sub(1) != 1) return;
    freeStorage(job.consumed->vertices);
    freeStorage(job.consumed->faces);
    freeStorage(job.consumed->textureVertices);
    freeStorage(job.consumed->vertexColours);
}

void runJob(MeshJob& job, MeshWorkspace& workspace) {
    try {
        common::PrintedText text;
        positionsInFrame(job.object->vertices, *job.frame, workspace.positions);
        job.mesh->lods[static_cast<size_t>(job.lod)] =
            convertMeshLod(*job.object, workspace.positions, *job.group, job.firstMaterial, text.file(), workspace);
        if (job.lod == 0) setExtentFromLodZero(*job.mesh, workspace.positions);
        job.printed = text.take();
    } catch (...) {
        job.failure = std::current_exception();
    }
    release(job);
}

// Workers take the jobs in order, each with a workspace of its own.
void runJobs(std::vector<MeshJob>& jobs, unsigned threads) {
    std::atomic<size_t> next{0};
    auto work = [&] {
        MeshWorkspace workspace;
        for (size_t i = next++; i < jobs.size(); i = next++) runJob(jobs[i], workspace);
    };
    const size_t helpers = std::min<size_t>(std::max(threads, 1u), jobs.size()) - (jobs.empty() ? 0 : 1);
    std::vector<std::jthread> pool;
    pool.reserve(helpers);
    for (size_t i = 0; i < helpers; ++i) pool.emplace_back(work);
    work();
}

struct Warning {
    std::string file;
    long line;
    std::string object, message;
};

// What the console and the diagnostics show, in the one-thread order: a
// heading, a warning, a mesh's conversion text, a closing text.
struct Step {
    std::string heading;
    std::optional<Warning> warning;
    std::optional<size_t> job;
    std::string closing;
};

// A missing object, or one without vertices or faces, leaves the LOD empty.
void planMesh(MeshElement& mesh, int lod, const sceneread::GeometryObject* object, const sceneread::SceneNode& frame,
              const sceneread::Scene& scene, std::int32_t firstMaterial, const std::string& sceneFile,
              std::vector<Step>& steps, std::vector<MeshJob>& jobs) {
    Step& step = steps.emplace_back();
    step.heading = "Converting mesh " + mesh.name;
    if (object == nullptr || object->vertices.empty() || object->faces.empty()) {
        step.closing = ": not found\n";
        return;
    }
    if (object->textureVertices.empty())
        step.warning = Warning{sceneFile, object->line, mesh.name,
                               "mesh " + object->name + " has no texture coordinates; its vertices get u = v = 0"};
    const std::vector<std::int32_t>& group = materialGroupOf(*object, scene, mesh.name, lod);
    step.job = jobs.size();
    jobs.push_back({&mesh, lod, object, &frame, &group, firstMaterial, nullptr, nullptr, {}, {}});
}

// Points each job at the object it reads in `consumed` (the definition
// being converted), and counts the jobs of each object.
void consumeScenes(std::vector<MeshJob>& jobs, ModelDefinition& consumed, std::vector<std::uint32_t>& readers) {
    std::vector<size_t> firstObject;
    for (const sceneread::Scene& scene : consumed.scenes) {
        firstObject.push_back(readers.size());
        readers.resize(readers.size() + scene.geometryObjects.size(), 0);
    }
    for (MeshJob& job : jobs) {
        std::vector<sceneread::GeometryObject>& objects = consumed.scenes[static_cast<size_t>(job.lod)].geometryObjects;
        const auto index = static_cast<size_t>(job.object - objects.data());
        job.consumed = &objects[index];
        job.readers = &readers[firstObject[static_cast<size_t>(job.lod)] + index];
        ++*job.readers;
    }
}

void convertModel(const ModelDefinition& definition, ModelDefinition* consumed, ConvertedModel& model,
                  std::FILE* out, common::Diagnostics& diagnostics, unsigned threads) {
    model.lodCount = static_cast<std::uint32_t>(definition.lodCount);
    warnAboutScript(definition, diagnostics);
    if (definition.scenes.empty() && !definition.elements.empty())
        reportError(-1, "The script declares %zu elements but no LOD to find them in!", definition.elements.size());
    // Everything that can fail for the input is checked in order first, up to
    // the first failure; then the meshes convert, and the steps are shown.
    std::vector<Step> steps;
    std::vector<MeshJob> jobs;
    std::exception_ptr failure;
    std::vector<const sceneread::SceneNode*> frames;
    try {
        for (size_t lod = 0; lod < definition.scenes.size(); ++lod) {
            steps.push_back({"Converting lod " + std::to_string(lod) + "...\n", {}, {}, {}});
            const sceneread::Scene& scene = definition.scenes[lod];
            const auto firstMaterial = static_cast<std::int32_t>(model.materials.size());
            for (const sceneread::SceneMaterial& material : scene.materials)
                model.materials.push_back(convertMaterial(material));
            const NameIndex meshes(scene.geometryObjects);
            if (lod == 0) frames = buildElements(definition, meshes, model);
            const std::string& sceneFile = lod < definition.sceneFiles.size() ? definition.sceneFiles[lod] : kNoFile;
            for (size_t i = 0; i < model.elements.size(); ++i)
                if (auto* mesh = std::get_if<MeshElement>(&model.elements[i]))
                    planMesh(*mesh, static_cast<int>(lod),
                             meshes.find(scene.geometryObjects, definition.elements[i].definitions[lod]), *frames[i],
                             scene, firstMaterial, sceneFile, steps, jobs);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    std::vector<std::uint32_t> readers;
    if (consumed != nullptr) consumeScenes(jobs, *consumed, readers);
    runJobs(jobs, threads);
    for (const Step& step : steps) {
        std::fputs(step.heading.c_str(), out);
        if (step.warning) diagnostics.warning(step.warning->file, step.warning->line, step.warning->object,
                                              step.warning->message);
        if (step.job) {
            const MeshJob& job = jobs[*step.job];
            if (job.failure) std::rethrow_exception(job.failure);
            std::fwrite(job.printed.data(), 1, job.printed.size(), out);
        }
        std::fputs(step.closing.c_str(), out);
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

void convert(const ModelDefinition& definition, ConvertedModel& model, std::FILE* out,
             common::Diagnostics& diagnostics, unsigned threads) {
    convertModel(definition, nullptr, model, out, diagnostics, threads);
}

void convertConsuming(ModelDefinition& definition, ConvertedModel& model, std::FILE* out,
                      common::Diagnostics& diagnostics, unsigned threads) {
    convertModel(definition, &definition, model, out, diagnostics, threads);
}

}  // namespace modelconv
