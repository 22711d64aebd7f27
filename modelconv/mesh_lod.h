// Turns one geometry object of one LOD into the MeshLod of a mesh element, in
// phases that take and return values: element frame, material order, face
// normals, smoothing, shared vertices, index stream, visible edges. Each phase
// reproduces the literal quadratic algorithm (tests/modelconv/naive_mesh_lod.h)
// byte for byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "modelconv/converted_model.h"
#include "sceneread/scene.h"

namespace modelconv {

// The object's vertices in the element's frame (relative to `frame`'s
// position, turned by its matrix): every LOD of an element uses its LOD-0
// node's frame, so that the LODs line up.
std::vector<Vec3f> positionsInFrame(const std::vector<Vec3f>& vertices, const sceneread::SceneNode& frame);
// The same into `positions`, whose storage is reused.
void positionsInFrame(const std::vector<Vec3f>& vertices, const sceneread::SceneNode& frame,
                      std::vector<Vec3f>& positions);

struct MeshScratch;

// The working storage of convertMeshLod, kept from one mesh to the next: a
// worker that converts many meshes touches fresh memory (the slowest thing
// on the machines the tools run on) only for a mesh larger than any before.
// One workspace serves one thread at a time.
class MeshWorkspace {
public:
    MeshWorkspace();
    ~MeshWorkspace();
    MeshWorkspace(MeshWorkspace&&) noexcept;
    MeshWorkspace& operator=(MeshWorkspace&&) noexcept;

    MeshScratch& scratch() { return *scratch_; }
    // The positions of the mesh being converted (see positionsInFrame).
    std::vector<Vec3f> positions;

private:
    std::unique_ptr<MeshScratch> scratch_;
};

// The material group the object's material reference names. Throws InputError
// ("Mesh <element> refers to material <n>, which has no materials in lod
// <lod>!") when there is no such group or it is empty.
const std::vector<std::int32_t>& materialGroupOf(const sceneread::GeometryObject& object, const sceneread::Scene& scene,
                                                 std::string_view elementName, int lod);

// Converts an object with at least one vertex and one face; `positions` are
// positionsInFrame(object.vertices, ...), `materialGroup` is
// materialGroupOf(object, ...), `firstMaterial` the model-wide number of the
// LOD's first material. Prints a dot for every 50th face and a line end per
// material group to `out`. Reads the object without changing it, so two
// elements naming one object convert from the same data.
MeshLod convertMeshLod(const sceneread::GeometryObject& object, const std::vector<Vec3f>& positions,
                       const std::vector<std::int32_t>& materialGroup, std::int32_t firstMaterial, std::FILE* out);
// The same with the working storage of `workspace`.
MeshLod convertMeshLod(const sceneread::GeometryObject& object, const std::vector<Vec3f>& positions,
                       const std::vector<std::int32_t>& materialGroup, std::int32_t firstMaterial, std::FILE* out,
                       MeshWorkspace& workspace);

// The order in which a selection sort that swaps whole faces (smallest id
// first, earliest position on ties) leaves the faces: result[k] is the
// original position of the face that ends at position k. O(F log F), and
// O(F) for few distinct ids.
std::vector<std::uint32_t> selectionSortOrder(const std::vector<std::int32_t>& ids);

}  // namespace modelconv
