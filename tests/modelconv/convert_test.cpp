#include "modelconv/convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "modelconv/name_index.h"
#include "common/input_error.h"
#include "tests/test_support.h"

namespace {

using modelconv::ConvertedModel;
using modelconv::ElementDefinition;
using modelconv::ElementType;
using modelconv::ModelDefinition;
using sceneread::Scene;

// A turn of `angle` radians about y, as the scene reader stores node frames.
template <typename Node>
Node node(const std::string& name, double angle, sceneread::Vec3f position) {
    Node n;
    n.name = name;
    const auto c = static_cast<float>(std::cos(angle)), s = static_cast<float>(std::sin(angle));
    n.matrix = {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
    n.position = position;
    n.rotation = {0, static_cast<float>(std::sin(angle / 2)), 0, static_cast<float>(std::cos(angle / 2))};
    return n;
}

sceneread::GeometryObject triangle(const std::string& name, double angle = 0, sceneread::Vec3f at = {}) {
    auto o = node<sceneread::GeometryObject>(name, angle, at);
    o.vertices = {{at.x, at.y, at.z}, {at.x + 1, at.y, at.z}, {at.x, at.y + 1, at.z}};
    sceneread::SceneFace f;
    f.a = 0, f.b = 1, f.c = 2, f.ab = 1;
    o.faces = {f};
    return o;
}

ElementDefinition definition(ElementType type, const std::string& name, const std::string& node,
                             const std::string& parent, int lods = 1) {
    ElementDefinition d;
    d.type = type;
    d.name = name;
    d.parent = parent;
    for (int i = 0; i < (type == ElementType::Mesh ? lods : 1); ++i) d.definitions[static_cast<size_t>(i)] = node;
    return d;
}

sceneread::SceneMaterial material(const std::string& name, float shine) {
    sceneread::SceneMaterial m;
    m.name = name;
    m.shine = shine;
    m.diffuse = {1, 2, 3, 0};
    return m;
}

struct Outcome {
    ConvertedModel model;
    std::string printed;
};

Outcome convert(const ModelDefinition& definition) {
    Outcome run;
    testsupport::CapturedOutput out;
    modelconv::convert(definition, run.model, out.file());
    run.printed = out.text();
    return run;
}

std::string errorOf(const ModelDefinition& definition) {
    try {
        convert(definition);
    } catch (const common::InputError& e) {
        EXPECT_EQ(-1, e.line);
        return e.what();
    }
    return "no error";
}

const modelconv::ModelElement& element(const Outcome& run, size_t i) { return modelconv::elementRecord(run.model.elements[i]); }

TEST(Convert, PlacesARootElementAtItsWorldFrame) {
    ModelDefinition d;
    d.lodCount = 1;
    d.scenes.resize(1);
    d.scenes[0].cameras.push_back(node<sceneread::SceneNode>("Cam", 0.5, {1, 2, 3}));
    d.elements.push_back(definition(ElementType::Camera, "view", "CAM", "NONE"));
    const Outcome run = convert(d);
    const modelconv::ModelElement& e = element(run, 0);
    EXPECT_EQ(-1, e.parent);
    EXPECT_EQ(d.scenes[0].cameras[0].matrix, e.localMatrix);
    EXPECT_EQ(e.worldMatrix, e.localMatrix);
    EXPECT_EQ((std::array<float, 4>{1, 2, 3, 0}), e.localPosition);
    EXPECT_EQ(e.worldRotation, e.localRotation);
    EXPECT_EQ(0.0f, e.sphereRadius);
    EXPECT_EQ(0.0f, e.originRadius);
    EXPECT_EQ(ElementType::Camera, e.type);
}

TEST(Convert, ExpressesAChildInItsParentsWorldFrame) {
    ModelDefinition d;
    d.lodCount = 1;
    d.scenes.resize(1);
    Scene& scene = d.scenes[0];
    scene.materialGroups = {{0}};
    scene.materials = {material("m", 0.25f)};
    scene.geometryObjects.push_back(triangle("body", 0.7, {4, 0, 0}));
    scene.cameras.push_back(node<sceneread::SceneNode>("same", 0.7, {4, 0, 0}));
    scene.lights.push_back(node<sceneread::SceneLight>("lamp", 0.7 + 1.5707963267948966, {4, 0, 2}));
    scene.lights[0].useLight = 7;
    // The parent stands after its children and is named in another letter case.
    d.elements.push_back(definition(ElementType::Camera, "eye", "same", "BODY"));
    d.elements.push_back(definition(ElementType::OmniLight, "lamp", "LAMP", "Body"));
    d.elements.push_back(definition(ElementType::Mesh, "body", "body", "NONE"));
    d.elements.push_back(definition(ElementType::Mesh, "Body", "body", "eye"));
    const Outcome run = convert(d);

    const modelconv::ModelElement& eye = element(run, 0);
    EXPECT_EQ(2, eye.parent);  // the first of "body" and "Body"
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(r == c ? 1 : 0, eye.localMatrix[static_cast<size_t>(4 * r + c)], 1e-6) << r << c;
    EXPECT_EQ((std::array<float, 4>{0, 0, 0, 0}), eye.localPosition);
    EXPECT_NEAR(0, eye.localRotation[1], 1e-7);
    EXPECT_NEAR(1, eye.localRotation[3], 1e-7);

    const auto& lamp = std::get<modelconv::LightElement>(run.model.elements[1]);
    EXPECT_EQ(7, lamp.useLight);
    EXPECT_EQ(2, lamp.parent);
    // The lamp sits 2 units along the world z axis from the body: in the body's
    // axes, turned by 0.7 about y, that is (2 sin 0.7 ... ) -- check the length
    // and that the turn between the two frames is a quarter turn about y.
    EXPECT_NEAR(2, std::hypot(lamp.localPosition[0], lamp.localPosition[2]), 1e-6);
    EXPECT_NEAR(0, lamp.localPosition[1], 1e-6);
    EXPECT_NEAR(std::sin(0.7853981633974483), lamp.localRotation[1], 1e-6);

    // The mesh whose parent is the camera still uses the camera's world frame.
    EXPECT_EQ(0, element(run, 3).parent);
    EXPECT_EQ(run.model.materials.size(), 1u);
    EXPECT_EQ(75.0f, run.model.materials[0].shine);
    EXPECT_EQ(255, run.model.materials[0].diffuse.a);
}

TEST(Convert, ConvertsEveryLodInOrderWithItsOwnMaterialBase) {
    ModelDefinition d;
    d.lodCount = 3;
    d.scenes.resize(3);
    for (int lod = 0; lod < 3; ++lod) {
        Scene& scene = d.scenes[static_cast<size_t>(lod)];
        const int materials = lod == 0 ? 3 : 2;
        for (int m = 0; m < materials; ++m) scene.materials.push_back(material("m", m == 0 ? 1.0f : 0.0f));
        scene.materialGroups = {{0}, {materials - 1}};
        scene.geometryObjects.push_back(triangle(lod == 2 ? "other" : "hull"));
        scene.geometryObjects[0].materialRef = 1;
    }
    d.elements.push_back(definition(ElementType::Mesh, "hull", "hull", "NONE", 3));
    const Outcome run = convert(d);
    EXPECT_EQ("Converting lod 0...\nConverting mesh hull.\nConverting lod 1...\nConverting mesh hull.\n"
              "Converting lod 2...\nConverting mesh hull: not found\n",
              run.printed);
    ASSERT_EQ(7u, run.model.materials.size());
    EXPECT_EQ(0.0f, run.model.materials[0].shine);
    EXPECT_EQ(100.0f, run.model.materials[1].shine);
    const auto& hull = std::get<modelconv::MeshElement>(run.model.elements[0]);
    ASSERT_EQ(3u, hull.lods.size());
    EXPECT_EQ(2, hull.lods[0].indexStream[0]);
    EXPECT_EQ(4, hull.lods[1].indexStream[0]);  // LOD 1's materials start at 3
    EXPECT_TRUE(hull.lods[2].indexStream.empty());
}

TEST(Convert, ConvertsTwoElementsNamingOneObjectFromTheSameData) {
    ModelDefinition d;
    d.lodCount = 1;
    d.scenes.resize(1);
    d.scenes[0].materials = {material("a", 0), material("b", 0)};
    d.scenes[0].materialGroups = {{1}};
    d.scenes[0].geometryObjects.push_back(triangle("hull", 0.3, {1, 2, 3}));
    d.elements.push_back(definition(ElementType::Mesh, "first", "hull", "NONE"));
    d.elements.push_back(definition(ElementType::Mesh, "second", "hull", "NONE"));
    const Outcome run = convert(d);
    const auto& first = std::get<modelconv::MeshElement>(run.model.elements[0]);
    const auto& second = std::get<modelconv::MeshElement>(run.model.elements[1]);
    EXPECT_EQ(first.lods[0].indexStream, second.lods[0].indexStream);
    EXPECT_EQ(first.lods[0].edgeList, second.lods[0].edgeList);
    ASSERT_EQ(first.lods[0].vertices.size(), second.lods[0].vertices.size());
    for (size_t v = 0; v < first.lods[0].vertices.size(); ++v)
        EXPECT_EQ(0, std::memcmp(&first.lods[0].vertices[v], &second.lods[0].vertices[v], sizeof(modelconv::ModelVertex)));
    EXPECT_EQ(first.sphereRadius, second.sphereRadius);
    EXPECT_EQ(1, first.lods[0].indexStream[0]);
}

TEST(Convert, TakesTheSphereAndBoundsFromAllOfLodZerosVertices) {
    ModelDefinition d;
    d.lodCount = 2;
    d.scenes.resize(2);
    for (Scene& scene : d.scenes) scene.materialGroups = {{0}};
    d.scenes[0].geometryObjects.push_back(triangle("hull", 0, {1, 2, 3}));
    d.scenes[0].geometryObjects[0].vertices.push_back({4, 2, 3});  // used by no face
    d.scenes[1].geometryObjects.push_back(triangle("hull", 0, {1, 2, 3}));
    d.scenes[1].geometryObjects[0].vertices[1].x = 11;
    d.elements.push_back(definition(ElementType::Mesh, "hull", "hull", "NONE", 2));
    const Outcome run = convert(d);
    const auto& hull = std::get<modelconv::MeshElement>(run.model.elements[0]);
    // The points (0 0 0), (1 0 0), (0 1 0), (3 0 0) lie in the sphere through the last three.
    EXPECT_NEAR(1.5, hull.sphereCentre[0], 1e-6);
    EXPECT_NEAR(0.5, hull.sphereCentre[1], 1e-6);
    EXPECT_NEAR(0, hull.sphereCentre[2], 1e-6);
    EXPECT_NEAR(std::sqrt(2.5), hull.sphereRadius, 1e-6);
    EXPECT_EQ(3.0f, hull.originRadius);
    EXPECT_EQ((std::array<float, 6>{0, 3, 0, 1, 0, 0}), hull.bounds);
    EXPECT_EQ(hull.lods[0].bounds, hull.bounds);
    EXPECT_EQ(10.0f, hull.lods[1].radius);
}

TEST(Convert, LeavesTheLodEmptyForAMissingOrEmptyMesh) {
    ModelDefinition d;
    d.lodCount = 2;
    d.scenes.resize(2);
    d.scenes[0].materialGroups = {{0}};
    d.scenes[0].geometryObjects.push_back(node<sceneread::GeometryObject>("m", 0, {}));
    d.scenes[0].geometryObjects[0].vertices = {{1, 1, 1}};  // a vertex, no face
    d.elements.push_back(definition(ElementType::Mesh, "mesh", "m", "NONE", 2));
    const Outcome run = convert(d);
    EXPECT_EQ("Converting lod 0...\nConverting mesh mesh: not found\nConverting lod 1...\nConverting mesh mesh: not found\n",
              run.printed);
    const auto& mesh = std::get<modelconv::MeshElement>(run.model.elements[0]);
    for (const modelconv::MeshLod& lod : mesh.lods) {
        EXPECT_TRUE(lod.vertices.empty());
        EXPECT_TRUE(lod.indexStream.empty());
        EXPECT_EQ(0.0f, lod.radius);
    }
    EXPECT_EQ(0.0f, mesh.bounds[1]);
    EXPECT_EQ(0.0f, mesh.sphereRadius);
}

// The hashed lookups must pick what the literal scans (sceneread's find
// functions) pick: the first name equal ignoring ASCII case only.
TEST(NameIndex, FindsTheFirstNameEqualIgnoringAsciiCaseLikeTheLiteralScan) {
    Scene scene;
    for (const char* name : {"Hull", "hull", "HULL", "gun_2", "", "\xC3\x84", "\xC3\xA4", "x y "})
        scene.cameras.push_back(node<sceneread::SceneNode>(name, 0, {}));
    const modelconv::NameIndex index(scene.cameras);
    for (const char* query : {"hull", "HULL", "hUlL", "Hull ", "GUN_2", "gun_2", "", "\xC3\x84", "\xC3\xA4",
                              "\xC3\xA4 ", "X Y ", "x y", "missing"})
        EXPECT_EQ(sceneread::findCamera(scene, query), index.find(scene.cameras, query)) << query;
    EXPECT_EQ(&scene.cameras[0], index.find(scene.cameras, "hULL"));

    std::mt19937 random(3);
    auto name = [&] {
        std::string text(random() % 4, ' ');
        for (char& c : text) c = "aAbB_@`"[random() % 7];  // '@' and '`' border the letters
        return text;
    };
    for (int trial = 0; trial < 50; ++trial) {
        Scene names;
        for (int i = 0; i < 40; ++i) names.lights.push_back(node<sceneread::SceneLight>(name(), 0, {}));
        const modelconv::NameIndex lights(names.lights);
        for (int q = 0; q < 40; ++q) {
            const std::string query = name();
            ASSERT_EQ(sceneread::findLight(names, query), lights.find(names.lights, query)) << trial << " " << query;
        }
    }
}

TEST(Convert, ReportsMissingNodesParentLoopsAndElementsWithoutLods) {
    ModelDefinition d;
    d.lodCount = 1;
    d.scenes.resize(1);
    d.scenes[0].cameras.push_back(node<sceneread::SceneNode>("cam", 0, {}));
    d.elements = {definition(ElementType::Mesh, "m", "cam", "NONE")};  // a camera is not a geometry object
    EXPECT_EQ("Can't find cam in lod 0", errorOf(d));

    d.elements = {definition(ElementType::Camera, "a", "cam", "a")};
    EXPECT_EQ("Element a is its own ancestor: the PARENT lines form a loop!", errorOf(d));
    d.elements = {definition(ElementType::Camera, "a", "cam", "NONE"), definition(ElementType::Camera, "b", "cam", "c"),
                  definition(ElementType::Camera, "c", "cam", "b")};
    EXPECT_EQ("Element b is its own ancestor: the PARENT lines form a loop!", errorOf(d));
    // Two elements of one name: a PARENT line naming it takes the first, no loop.
    d.elements = {definition(ElementType::Camera, "a", "cam", "NONE"), definition(ElementType::Camera, "a", "cam", "a")};
    EXPECT_EQ(0, element(convert(d), 1).parent);

    ModelDefinition empty;
    empty.elements = {definition(ElementType::Camera, "a", "cam", "NONE")};
    EXPECT_EQ("The script declares 1 elements but no LOD to find them in!", errorOf(empty));
    empty.elements.clear();
    const Outcome run = convert(empty);
    EXPECT_EQ(40u, run.model.bytes().size());
    EXPECT_EQ("", run.printed);
}

}  // namespace

namespace {

TEST(Convert, WarnsAboutTheTrapsThatStillConvert) {
    ModelDefinition d;
    d.lodCount = 1;
    d.scenes.resize(1);
    d.scriptFile = "m.dks";
    d.sceneFiles = {"m.ase"};
    sceneread::Scene& scene = d.scenes[0];
    scene.materialGroups = {{0}};
    scene.materials = {material("paint", 0)};
    scene.geometryObjects = {triangle("Box"), triangle("box"), triangle("Flat")};
    for (size_t i = 0; i < scene.geometryObjects.size(); ++i) {
        scene.geometryObjects[i].line = static_cast<long>(10 * (i + 1));
        if (i < 2) scene.geometryObjects[i].textureVertices = {{0, 0}};
    }
    scene.overruns = {{"Flat", "*MESH_NUMTVERTEX", 40, {{"Lost", 41}}}};
    d.elements = {definition(ElementType::Mesh, "Hull", "BOX", "NONE"), definition(ElementType::Mesh, "Copy", "Box", "hu ll"),
                  definition(ElementType::Mesh, "Flat", "Flat", "Hull")};
    for (size_t i = 0; i < d.elements.size(); ++i) {
        d.elements[i].definitionLines[0] = static_cast<long>(100 + i);
        d.elements[i].parentLine = static_cast<long>(200 + i);
    }
    testsupport::CapturedOutput out, warnings;
    common::Diagnostics diagnostics(warnings.file());
    ConvertedModel model;
    modelconv::convert(d, model, out.file(), diagnostics);
    EXPECT_EQ("m.ase:40: warning: Flat has no *MESH_NUMTVERTEX; its lookups continued into the next objects, which "
              "are lost: Lost (line 41)\n"
              "m.dks:201: warning: PARENT hu ll names no element; Copy becomes a root (did you mean Hull?)\n"
              "m.dks:100: warning: BOX matches 2 nodes of m.ase (ignoring case); the first, at line 10, is used\n"
              "m.dks:101: warning: Box matches 2 nodes of m.ase (ignoring case); the first, at line 10, is used\n"
              "m.dks:101: warning: element Copy stands for node Box of LOD 0, as element Hull does\n"
              "m.ase:30: warning: mesh Flat has no texture coordinates; its vertices get u = v = 0\n",
              warnings.text());
}

}  // namespace
