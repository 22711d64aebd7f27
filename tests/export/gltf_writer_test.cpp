#include "export/gltf_writer.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

#include "export/brush_faces.h"
#include "export/coordinates.h"
#include "tests/test_support.h"

namespace {

using exporter::Vec3;

std::vector<std::uint8_t> bytesOf(const std::string& path) {
    const std::string text = testsupport::readFile(std::string(PIPELINE_SOURCE_DIR) + "/" + path);
    return {text.begin(), text.end()};
}

modelfile::Model golden(const std::string& path) { return modelfile::readVkm(bytesOf(path)); }
modelfile::HxmFile goldenHxm(const std::string& path) { return modelfile::readHxm(bytesOf(path)); }

tinygltf::Model load(const std::vector<std::uint8_t>& glb) {
    tinygltf::TinyGLTF reader;
    tinygltf::Model model;
    std::string error, warning;
    EXPECT_TRUE(reader.LoadBinaryFromMemory(&model, &error, &warning, glb.data(), static_cast<unsigned>(glb.size())))
        << error;
    return model;
}

template <typename T>
std::vector<T> values(const tinygltf::Model& m, int accessor) {
    const tinygltf::Accessor& a = m.accessors.at(static_cast<size_t>(accessor));
    const tinygltf::BufferView& v = m.bufferViews.at(static_cast<size_t>(a.bufferView));
    const size_t width = a.type == TINYGLTF_TYPE_SCALAR ? 1 : a.type == TINYGLTF_TYPE_VEC2 ? 2 : 3;
    std::vector<T> out(a.count * width);
    std::memcpy(out.data(), m.buffers.at(0).data.data() + v.byteOffset + a.byteOffset, out.size() * sizeof(T));
    return out;
}

using Placement = std::pair<std::array<double, 4>, Vec3>;  // rotation, translation

Placement placed(const Placement& parent, const tinygltf::Node& c) {
    const auto& [q, t] = parent;
    const std::array<double, 4> r = c.rotation.empty() ? std::array<double, 4>{0, 0, 0, 1}
                                                       : std::array<double, 4>{c.rotation[0], c.rotation[1], c.rotation[2], c.rotation[3]};
    const Vec3 local = c.translation.empty() ? Vec3{0, 0, 0} : Vec3{c.translation[0], c.translation[1], c.translation[2]};
    const std::array<double, 4> qr{q[3] * r[0] + q[0] * r[3] + q[1] * r[2] - q[2] * r[1],
                                   q[3] * r[1] - q[0] * r[2] + q[1] * r[3] + q[2] * r[0],
                                   q[3] * r[2] + q[0] * r[1] - q[1] * r[0] + q[2] * r[3],
                                   q[3] * r[3] - q[0] * r[0] - q[1] * r[1] - q[2] * r[2]};
    return {qr, exporter::add(t, exporter::rotate(q, local))};
}

// Each node's world placement, from the roots down.
std::vector<Placement> worldPlacements(const tinygltf::Model& m) {
    std::vector<Placement> world(m.nodes.size());
    std::vector<std::pair<int, Placement>> stack;
    for (const int root : m.scenes[0].nodes) stack.push_back({root, {{0, 0, 0, 1}, {0, 0, 0}}});
    while (!stack.empty()) {
        const auto [at, parent] = stack.back();
        stack.pop_back();
        world[static_cast<size_t>(at)] = placed(parent, m.nodes[static_cast<size_t>(at)]);
        for (const int child : m.nodes[static_cast<size_t>(at)].children) stack.push_back({child, world[static_cast<size_t>(at)]});
    }
    return world;
}

std::vector<Vec3> points(const std::vector<float>& flat) {
    std::vector<Vec3> out;
    for (size_t i = 0; i + 2 < flat.size(); i += 3) out.push_back({flat[i], flat[i + 1], flat[i + 2]});
    return out;
}

// Six times the signed volume the triangles enclose: positive when every
// face winds counter-clockwise seen from outside.
double signedVolume(const std::vector<Vec3>& p, const std::vector<std::uint32_t>& corners) {
    double sum = 0;
    for (size_t i = 0; i + 2 < corners.size(); i += 3)
        sum += exporter::dot(p[corners[i]], exporter::cross(p[corners[i + 1]], p[corners[i + 2]]));
    return sum;
}

TEST(ModelToGlb, KeepsEveryCountAndBoundOfTheLod) {
    for (const char* path : {"tests/golden/DKS2VKM/vehicle/out/vehicle.vkm", "tests/golden/DKS2VKM/lod_with_missing_mesh/out/model.vkm",
                             "tests/golden/DKS2VKM/one_material_one_camera/out/model.vkm"}) {
        const modelfile::Model vkm = golden(path);
        for (std::uint32_t lod = 0; lod < vkm.lodCount; ++lod) {
            const tinygltf::Model m = load(exporter::modelToGlb(vkm, lod));
            for (size_t i = 0; i < vkm.elements.size(); ++i) {
                const modelfile::Element& e = vkm.elements[i];
                const tinygltf::Node& node = m.nodes.at(i);
                if (e.type != 1 || e.lods[lod].vertices.empty()) {
                    EXPECT_EQ(node.mesh, -1) << path << " " << e.name;
                    continue;
                }
                const modelfile::Lod& source = e.lods[lod];
                const tinygltf::Mesh& mesh = m.meshes.at(static_cast<size_t>(node.mesh));
                ASSERT_EQ(mesh.primitives.size(), source.groups.size()) << path << " " << e.name;
                const int position = mesh.primitives[0].attributes.at("POSITION");
                EXPECT_EQ(m.accessors[static_cast<size_t>(position)].count, source.vertices.size());
                for (size_t g = 0; g < source.groups.size(); ++g)
                    EXPECT_EQ(values<std::uint32_t>(m, mesh.primitives[g].indices).size(), 3 * source.groups[g].triangles.size());
                const tinygltf::Node& edges = m.nodes.at(static_cast<size_t>(node.children.at(0)));
                EXPECT_EQ(values<std::uint32_t>(m, m.meshes.at(static_cast<size_t>(edges.mesh)).primitives[0].indices).size(),
                          2 * source.edges.size());
                const std::array<float, 6>& b = source.bounds;  // x, y, z pairs of min and max
                const tinygltf::Accessor& a = m.accessors[static_cast<size_t>(position)];
                EXPECT_EQ(a.minValues, (std::vector<double>{b[0], b[2], -b[5]})) << e.name;
                EXPECT_EQ(a.maxValues, (std::vector<double>{b[1], b[3], -b[4]})) << e.name;
            }
        }
    }
}

// The example vehicle's ASE export (the copy the golden VKM was made from)
// holds every mesh vertex in scene coordinates; an export point (x, y, z) must
// land at glTF (x, z, -y) once the node placements (translations and
// quaternions) are applied, so nothing is mirrored.
TEST(ModelToGlb, PlacesTheExampleWhereItsExportSaysUnmirrored) {
    std::map<std::string, std::vector<Vec3>> exported;
    std::istringstream ase(
        testsupport::readFile(std::string(PIPELINE_SOURCE_DIR) + "/tests/golden/DKS2VKM/vehicle/in/vehicle.ase"));
    std::string line, node;
    while (std::getline(ase, line)) {
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (keyword == "*NODE_NAME" && node.empty()) words >> std::quoted(node);
        if (keyword == "*GEOMOBJECT" || keyword == "*CAMERAOBJECT" || keyword == "*LIGHTOBJECT") node.clear();
        if (keyword == "*MESH_VERTEX") {
            int index = 0;
            double x = 0, y = 0, z = 0;
            words >> index >> x >> y >> z;
            exported[node].push_back({x, z, -y});
        }
    }
    const modelfile::Model vkm = golden("tests/golden/DKS2VKM/vehicle/out/vehicle.vkm");
    const tinygltf::Model m = load(exporter::modelToGlb(vkm, 0));
    const auto world = worldPlacements(m);
    size_t checked = 0;
    for (size_t i = 0; i < vkm.elements.size(); ++i) {
        if (m.nodes[i].mesh < 0) continue;
        const auto& [q, t] = world[i];
        const auto& expected = exported.at(vkm.elements[i].name);
        const int position = m.meshes[static_cast<size_t>(m.nodes[i].mesh)].primitives[0].attributes.at("POSITION");
        for (const Vec3& p : points(values<float>(m, position))) {
            const Vec3 w = exporter::add(t, exporter::rotate(q, p));
            double nearest = INFINITY;
            for (const Vec3& e : expected) nearest = std::min(nearest, std::sqrt(exporter::dot(exporter::sub(w, e), exporter::sub(w, e))));
            EXPECT_LT(nearest, 2e-3) << vkm.elements[i].name << " (" << w[0] << ", " << w[1] << ", " << w[2] << ")";
            ++checked;
        }
    }
    EXPECT_EQ(checked, 28u + 34u + 44u);
}

TEST(ModelToGlb, WindsTheExampleMeshesOutwards) {
    const modelfile::Model vkm = golden("tests/golden/DKS2VKM/vehicle/out/vehicle.vkm");
    const tinygltf::Model m = load(exporter::modelToGlb(vkm, 0));
    for (const char* name : {"Hull", "Turret", "Barrel"}) {
        const tinygltf::Mesh& mesh = m.meshes.at(static_cast<size_t>(
            m.nodes[static_cast<size_t>(std::find_if(vkm.elements.begin(), vkm.elements.end(),
                                                     [&](const auto& e) { return e.name == name; }) -
                                        vkm.elements.begin())].mesh));
        const std::vector<Vec3> p = points(values<float>(m, mesh.primitives[0].attributes.at("POSITION")));
        std::vector<std::uint32_t> corners;
        for (const tinygltf::Primitive& prim : mesh.primitives) {
            const auto more = values<std::uint32_t>(m, prim.indices);
            corners.insert(corners.end(), more.begin(), more.end());
        }
        EXPECT_GT(signedVolume(p, corners), 0) << name;
    }
}

TEST(ModelToGlb, RefusesALodTheModelLacks) {
    EXPECT_THROW(exporter::modelToGlb(golden("tests/golden/DKS2VKM/vehicle/out/vehicle.vkm"), 1), exporter::ExportError);
    EXPECT_NO_THROW(exporter::modelToGlb(golden("tests/golden/DKS2VKM/empty_model/out/model.vkm"), 0));
}

TEST(BrushesToGlb, RebuildsClosedOutwardFacesOfTheRightVolume) {
    const modelfile::HxmFile hxm = goldenHxm("tests/golden/SCENE2HXM/example_brushes_format2/out/brushes.hxm");
    const tinygltf::Model m = load(exporter::brushesToGlb(hxm));
    ASSERT_EQ(m.scenes[0].nodes.size(), hxm.brushes.size());
    const tinygltf::Mesh& box = m.meshes.at(static_cast<size_t>(m.nodes.at(static_cast<size_t>(m.scenes[0].nodes[0])).mesh));
    const auto p = points(values<float>(m, box.primitives[0].attributes.at("POSITION")));
    const auto corners = values<std::uint32_t>(m, box.primitives[0].indices);
    EXPECT_EQ(corners.size(), 3u * 12u);                  // six quads
    EXPECT_NEAR(signedVolume(p, corners) / 6, 16.0 * 10 * 12, 1e-3);  // Box01: 16 x 10 x 12
    for (const int root : m.scenes[0].nodes) {
        const tinygltf::Node& n = m.nodes[static_cast<size_t>(root)];
        const tinygltf::Primitive& faces = m.meshes.at(static_cast<size_t>(n.mesh)).primitives[0];
        EXPECT_GT(signedVolume(points(values<float>(m, faces.attributes.at("POSITION"))), values<std::uint32_t>(m, faces.indices)), 0) << n.name;
    }
}

// Format 2 keeps a brush in its node's frame, format 1 in the scene's: under
// the element of its name, the first moves with the element, the second
// stays where the file has it.
TEST(ModelToGlb, PlacesBrushesUnderTheElementOfTheirName) {
    modelfile::Model vkm = golden("tests/golden/DKS2VKM/vehicle/out/vehicle.vkm");
    for (const char* path : {"tests/golden/SCENE2HXM/node_frame_and_scene_coordinates/out/turned.hxm",
                             "tests/golden/SCENE2HXM/scene_coordinates_format1/out/turned.hxm"}) {
        const modelfile::HxmFile hxm = goldenHxm(path);
        vkm.elements[2].name = hxm.brushes.at(0).name;  // the barrel: turned twice
        const tinygltf::Model m = load(exporter::modelToGlb(vkm, 0, &hxm));
        const int brush = m.nodes[2].children.back();
        ASSERT_EQ(m.nodes[static_cast<size_t>(brush)].name, hxm.brushes[0].name);
        const auto world = worldPlacements(m);
        const auto& [q, t] = world[static_cast<size_t>(brush)];
        const auto& [elementQ, elementT] = world[2];
        const exporter::BrushShape shape = exporter::brushShape(hxm.brushes[0]);
        for (const Vec3& p : shape.positions) {
            const Vec3 w = exporter::add(t, exporter::rotate(q, p));
            const Vec3 expected = hxm.layout == modelfile::Layout::Flat ? p : exporter::add(elementT, exporter::rotate(elementQ, p));
            for (size_t c = 0; c < 3; ++c) EXPECT_NEAR(w[c], expected[c], 1e-3) << path;  // local and world placements round apart
        }
    }
}

}  // namespace
