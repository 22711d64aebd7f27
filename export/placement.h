// Where the elements of a model and the brushes of its collision file stand
// in the glTF frame, composed as the GLB's node tree composes them, so that
// the preview and a glTF viewer show the same scene.
#pragma once

#include <array>
#include <vector>

#include "export/coordinates.h"
#include "modelfile/hxm.h"
#include "modelfile/vkm.h"

namespace exporter {

// A rotation (unit quaternion x, y, z, w) followed by a translation.
struct Placement {
    std::array<double, 4> rotation{0, 0, 0, 1};
    Vec3 translation{0, 0, 0};
};

Vec3 place(const Placement& placement, const Vec3& point);

// `child` given in the frame of `parent`, as one placement.
Placement compose(const Placement& parent, const Placement& child);

// The element's local placement in its parent as the GLB writes it: a
// non-finite translation is none.
Placement localPlacement(const modelfile::Element& element);

// Each element's placement in the scene, by the chain of its parents.
std::vector<Placement> worldPlacements(const modelfile::Model& model);

// For each brush the element it hangs under: the first of the same name, -1
// for none.
std::vector<int> brushParents(const modelfile::Model& model, const modelfile::HxmFile& collision);

// A format 1 brush is in scene coordinates: this frame, inside its element,
// undoes the element's world placement. Its translation may be non-finite.
Placement flatBrushFrame(const modelfile::Element& element);

}  // namespace exporter
