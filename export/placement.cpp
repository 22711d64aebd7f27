#include "export/placement.h"

#include <cmath>
#include <string>
#include <unordered_map>

namespace exporter {

namespace {

bool finite(const Vec3& v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

std::array<double, 4> multiply(const std::array<double, 4>& q, const std::array<double, 4>& r) {
    return {q[3] * r[0] + q[0] * r[3] + q[1] * r[2] - q[2] * r[1],
            q[3] * r[1] - q[0] * r[2] + q[1] * r[3] + q[2] * r[0],
            q[3] * r[2] + q[0] * r[1] - q[1] * r[0] + q[2] * r[3],
            q[3] * r[3] - q[0] * r[0] - q[1] * r[1] - q[2] * r[2]};
}

}  // namespace

Vec3 place(const Placement& placement, const Vec3& point) {
    return add(rotate(placement.rotation, point), placement.translation);
}

Placement compose(const Placement& parent, const Placement& child) {
    return {multiply(parent.rotation, child.rotation), place(parent, child.translation)};
}

Placement localPlacement(const modelfile::Element& element) {
    Placement p;
    p.rotation = rotationToGltf(element.localRotation);
    if (const Vec3 t = toGltf(element.localPosition); finite(t)) p.translation = t;
    return p;
}

std::vector<Placement> worldPlacements(const modelfile::Model& model) {
    const size_t count = model.elements.size();
    std::vector<Placement> world(count);
    std::vector<bool> done(count, false);
    std::vector<size_t> chain;
    // Each element is placed once: a chain stops at the first placed ancestor
    // (the reader guarantees that chains end).
    for (size_t i = 0; i < count; ++i) {
        for (size_t e = i; !done[e];) {
            chain.push_back(e);
            const std::int32_t parent = model.elements[e].parent;
            if (parent < 0) break;
            e = static_cast<size_t>(parent);
        }
        for (; !chain.empty(); chain.pop_back()) {
            const size_t e = chain.back();
            const std::int32_t parent = model.elements[e].parent;
            const Placement local = localPlacement(model.elements[e]);
            world[e] = parent < 0 ? local : compose(world[static_cast<size_t>(parent)], local);
            done[e] = true;
        }
    }
    return world;
}

std::vector<int> brushParents(const modelfile::Model& model, const modelfile::HxmFile& collision) {
    std::unordered_map<std::string, int> byName;
    for (size_t i = model.elements.size(); i-- > 0;) byName[model.elements[i].name] = static_cast<int>(i);
    std::vector<int> parents;
    for (const modelfile::BrushRecord& brush : collision.brushes) {
        const auto found = byName.find(brush.name);
        parents.push_back(found == byName.end() ? -1 : found->second);
    }
    return parents;
}

Placement flatBrushFrame(const modelfile::Element& element) {
    std::array<double, 4> q = rotationToGltf(element.worldRotation);
    q = {-q[0], -q[1], -q[2], q[3]};
    return {q, scale(rotate(q, toGltf(element.worldPosition)), -1)};
}

}  // namespace exporter
