// Turns one geometry object of one LOD into the MeshLod of a mesh element:
// element frame, radius and box, model-wide material numbers, faces ordered by
// material, face and smoothed normals, shared vertices, the index stream and
// the visible edges. In LOD 0 it also sets the element's sphere, origin radius
// and bounds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "modelconv/converted_model.h"
#include "sceneread/scene.h"

namespace modelconv {

// `object` is the LOD's geometry object the element names, nullptr for none.
// Reads the scene without changing it, so two elements naming one object both
// convert from the same data. Prints "Converting mesh <name>", the progress
// dots and line ends (or ": not found\n") to `out`. `firstMaterial` is the
// model-wide number of the LOD's first material. Throws InputError when the
// object's material reference names no usable material group.
void convertMeshLod(MeshElement& element, int lod, const sceneread::GeometryObject* object, const sceneread::Scene& scene,
                    std::int32_t firstMaterial, std::FILE* out);

// The order in which a selection sort that swaps whole faces (smallest id
// first, earliest position on ties) leaves the faces: result[k] is the
// original position of the face that ends at position k. O(F log F).
std::vector<std::uint32_t> selectionSortOrder(const std::vector<std::int32_t>& ids);

}  // namespace modelconv
