// The conversion step of DKS2VKM: merges the materials of all LODs, creates
// the elements from LOD 0's scene, places each relative to its parent, and
// converts every mesh of every LOD.
#pragma once

#include <cstdio>

#include "common/diagnostics.h"
#include "modelconv/converted_model.h"
#include "modelconv/model_script.h"

namespace modelconv {

// Fills an empty model from a loaded definition, printing progress to `out`.
// The model copies what it needs, so it outlives the definition. Throws
// InputError when an element's LOD-0 node is missing, parents form a loop,
// elements are declared without any LOD, or a mesh names no usable material
// group. Linear in the number of elements: names are looked up hashed.
// Warnings (see script_checks.h, and meshes without texture coordinates) go
// to `diagnostics`. The meshes convert on up to `threads` threads; the
// model, the console text and the diagnostics are those of one thread, and
// so is the error: the first one met in script order.
void convert(const ModelDefinition& definition, ConvertedModel& model, std::FILE* out,
             common::Diagnostics& diagnostics = common::noDiagnostics(), unsigned threads = 1);

// The same, emptying the lists of each geometry object (vertices, faces,
// texture vertices, colours) once every mesh that reads it has converted:
// the scenes and the model are then never whole in memory at once. The
// rest of the definition stays as it is.
void convertConsuming(ModelDefinition& definition, ConvertedModel& model, std::FILE* out,
                      common::Diagnostics& diagnostics, unsigned threads);

// A scene material as the model stores it: colours with alpha 255 and the
// shine turned into (1 - shine) x 100.
ModelMaterial convertMaterial(const sceneread::SceneMaterial& material);

}  // namespace modelconv
