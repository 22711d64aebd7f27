#include "lod/simplify.h"

#include <cfloat>
#include <cmath>
#include <string_view>
#include <unordered_map>

#include <meshoptimizer.h>

namespace lod {

namespace {

std::uint32_t u32(size_t value) { return static_cast<std::uint32_t>(value); }

// Faces grouped by class with a counting sort, classes numbered by first
// appearance.
void groupClasses(const MeshBlock& mesh, std::vector<std::uint32_t>& faceClass, PreparedMesh& prepared) {
    std::unordered_map<std::string_view, std::uint32_t> classes;
    faceClass.resize(mesh.faces.size());
    for (size_t f = 0; f < mesh.faces.size(); ++f)
        faceClass[f] = classes.try_emplace(mesh.faces[f].tail, u32(classes.size())).first->second;
    prepared.classStart.assign(classes.size() + 1, 0);
    for (std::uint32_t c : faceClass) ++prepared.classStart[c + 1];
    for (size_t c = 0; c < classes.size(); ++c) prepared.classStart[c + 1] += prepared.classStart[c];
    std::vector<std::uint32_t> fill(prepared.classStart.begin(), prepared.classStart.end() - 1);
    prepared.classFaces.resize(mesh.faces.size());
    for (size_t f = 0; f < mesh.faces.size(); ++f) prepared.classFaces[fill[faceClass[f]]++] = u32(f);
}

// One record per corner of everything a wedge is made of; the library's
// remap merges equal records.
void mergeWedges(const MeshBlock& mesh, const std::vector<std::uint32_t>& faceClass, PreparedMesh& prepared) {
    std::vector<const Channel*> channels;
    for (const Channel& t : mesh.textures)
        if (t.hasFaceList) channels.push_back(&t);
    if (mesh.colours.hasFaceList) channels.push_back(&mesh.colours);
    const size_t stride = 2 + channels.size();
    const size_t corners = 3 * mesh.faces.size();
    std::vector<std::uint32_t> records(corners * stride);
    for (size_t f = 0; f < mesh.faces.size(); ++f)
        for (size_t k = 0; k < 3; ++k) {
            std::uint32_t* record = &records[(3 * f + k) * stride];
            record[0] = faceClass[f];
            record[1] = mesh.faces[f].vertex[k];
            for (size_t c = 0; c < channels.size(); ++c) record[2 + c] = channels[c]->faces[f][k];
        }
    prepared.cornerWedge.resize(corners);
    const size_t wedges = meshopt_generateVertexRemap(prepared.cornerWedge.data(), nullptr, corners, records.data(),
                                                      corners, stride * sizeof(std::uint32_t));
    prepared.wedgeCorner.assign(wedges, kNoIndex);
    for (size_t corner = corners; corner-- > 0;) prepared.wedgeCorner[prepared.cornerWedge[corner]] = u32(corner);
}

void collectEdges(const MeshBlock& mesh, PreparedMesh& prepared) {
    prepared.edgeStart.assign(mesh.positions.size() + 1, 0);
    for (const MeshFace& face : mesh.faces)
        for (std::uint32_t v : face.vertex) ++prepared.edgeStart[v + 1];
    for (size_t v = 0; v < mesh.positions.size(); ++v) prepared.edgeStart[v + 1] += prepared.edgeStart[v];
    std::vector<std::uint32_t> fill(prepared.edgeStart.begin(), prepared.edgeStart.end() - 1);
    prepared.edges.resize(3 * mesh.faces.size());
    for (const MeshFace& face : mesh.faces)
        for (size_t k = 0; k < 3; ++k)
            prepared.edges[fill[face.vertex[k]]++] = {face.vertex[(k + 1) % 3], face.edgeVisible[k]};
}

std::int32_t edgeVisibility(const PreparedMesh& prepared, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t e = prepared.edgeStart[from]; e < prepared.edgeStart[from + 1]; ++e)
        if (prepared.edges[e].first == to) return prepared.edges[e].second;
    for (std::uint32_t e = prepared.edgeStart[to]; e < prepared.edgeStart[to + 1]; ++e)
        if (prepared.edges[e].first == from) return prepared.edges[e].second;
    return 1;
}

OutputFace outputFace(const MeshBlock& mesh, const PreparedMesh& prepared, std::array<std::uint32_t, 3> corners,
                      std::uint32_t classFace) {
    OutputFace face{corners, {}, classFace};
    std::array<std::uint32_t, 3> v{};
    for (size_t k = 0; k < 3; ++k) v[k] = mesh.faces[corners[k] / 3].vertex[corners[k] % 3];
    for (size_t k = 0; k < 3; ++k) face.edgeVisible[k] = edgeVisibility(prepared, v[k], v[(k + 1) % 3]);
    return face;
}

}  // namespace

PreparedMesh prepareMesh(const MeshBlock& mesh) {
    PreparedMesh prepared;
    std::vector<std::uint32_t> faceClass;
    groupClasses(mesh, faceClass, prepared);
    mergeWedges(mesh, faceClass, prepared);
    collectEdges(mesh, prepared);
    if (!mesh.positions.empty())
        prepared.scale = meshopt_simplifyScale(&mesh.positions[0].x, mesh.positions.size(), sizeof(Vec3));
    return prepared;
}

SimplifiedMesh simplifyMesh(const MeshBlock& mesh, const PreparedMesh& prepared, const SimplifyOptions& options) {
    SimplifiedMesh result;
    result.sourceTriangles = mesh.faces.size();
    result.faces.reserve(mesh.faces.size());
    std::vector<std::uint32_t> local(prepared.wedgeCorner.size(), kNoIndex);
    std::vector<std::uint32_t> global, indices, kept;
    std::vector<float> positions;
    for (size_t c = 0; c + 1 < prepared.classStart.size(); ++c) {
        const std::uint32_t* first = &prepared.classFaces[prepared.classStart[c]];
        const size_t count = prepared.classStart[c + 1] - prepared.classStart[c];
        const size_t target = std::max<size_t>(1, static_cast<size_t>(std::llround(options.ratio * double(count))));
        result.targetTriangles += std::min(target, count);
        if (target >= count || prepared.scale <= 0) {
            for (size_t i = 0; i < count; ++i) {
                const std::uint32_t f = first[i];
                result.faces.push_back({{3 * f, 3 * f + 1, 3 * f + 2}, mesh.faces[f].edgeVisible, first[0]});
            }
            continue;
        }
        global.clear();
        indices.clear();
        positions.clear();
        for (size_t i = 0; i < count; ++i)
            for (std::uint32_t k = 0; k < 3; ++k) {
                const std::uint32_t wedge = prepared.cornerWedge[3 * first[i] + k];
                if (local[wedge] == kNoIndex) {
                    local[wedge] = u32(global.size());
                    global.push_back(wedge);
                    const std::uint32_t corner = prepared.wedgeCorner[wedge];
                    const Vec3& p = mesh.positions[mesh.faces[corner / 3].vertex[corner % 3]];
                    positions.insert(positions.end(), {p.x, p.y, p.z});
                }
                indices.push_back(local[wedge]);
            }
        for (std::uint32_t wedge : global) local[wedge] = kNoIndex;
        // The library measures error against the extent of the vertices it is
        // given: a class's own bound is the mesh's, scaled.
        const float classScale = meshopt_simplifyScale(positions.data(), global.size(), 3 * sizeof(float));
        float limit = FLT_MAX;
        if (options.maxError && classScale > 0)
            limit = static_cast<float>(*options.maxError * prepared.scale / classScale);
        kept.resize(indices.size());
        float error = 0;
        kept.resize(meshopt_simplify(kept.data(), indices.data(), indices.size(), positions.data(), global.size(),
                                     3 * sizeof(float), 3 * target, limit, meshopt_SimplifyLockBorder, &error));
        result.error = std::max(result.error, static_cast<double>(error) * classScale / prepared.scale);
        for (size_t i = 0; i < kept.size(); i += 3) {
            std::array<std::uint32_t, 3> corners{};
            for (size_t k = 0; k < 3; ++k) corners[k] = prepared.wedgeCorner[global[kept[i + k]]];
            result.faces.push_back(outputFace(mesh, prepared, corners, first[0]));
        }
    }
    return result;
}

}  // namespace lod
