// The mesh conversion written literally: it changes a copy of the geometry
// object in place, sorts faces with a selection sort, and finds shared
// vertices, smoothing partners and visible edges with plain linear scans.
// Quadratic, kept only as the reference the fast conversion must match byte
// for byte.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "modelconv/converted_model.h"

namespace naive {

using modelconv::MeshLod;
using modelconv::ModelVertex;
using sceneread::SceneFace;
using sceneread::Vec3f;

// The smoothing rule: the normal of the corner at `vertex` of face k.
inline Vec3f cornerNormal(const std::vector<SceneFace>& faces, const std::vector<Vec3f>& normals, size_t k,
                          std::int32_t vertex) {
    const SceneFace& f = faces[k];
    if (f.smoothing == 0) return normals[k];
    Vec3f sum{0, 0, 0};
    int count = 0;
    for (size_t o = 0; o < faces.size(); ++o) {
        const SceneFace& other = faces[o];
        if (other.smoothing == f.smoothing && (other.a == vertex || other.b == vertex || other.c == vertex)) {
            sum.x += normals[o].x;
            sum.y += normals[o].y;
            sum.z += normals[o].z;
            ++count;
        }
    }
    const float reciprocal = 1.0f / static_cast<float>(count);
    return {sum.x * reciprocal, sum.y * reciprocal, sum.z * reciprocal};
}

// The object in the frame of `frame`, its material ids mapped through `group`.
inline MeshLod convertMeshLod(const sceneread::GeometryObject& found, const sceneread::SceneNode& frame,
                              const std::vector<std::int32_t>& group, std::int32_t firstMaterial, std::FILE* out) {
    sceneread::GeometryObject object = found;  // the literal algorithm changes the object
    MeshLod r;
    r.radius = 0;
    r.bounds = {FLT_MAX, -FLT_MAX, FLT_MAX, -FLT_MAX, FLT_MAX, -FLT_MAX};
    for (Vec3f& v : object.vertices) {
        double d[3] = {static_cast<double>(v.x) - frame.position.x, static_cast<double>(v.y) - frame.position.y,
                       static_cast<double>(v.z) - frame.position.z};
        float p[3];
        for (int row = 0; row < 3; ++row)
            p[row] = static_cast<float>(frame.matrix[4 * row] * d[0] + frame.matrix[4 * row + 1] * d[1] +
                                        frame.matrix[4 * row + 2] * d[2]);
        v = {p[0], p[1], p[2]};
        const double length = std::sqrt(static_cast<double>(p[0]) * p[0] + static_cast<double>(p[1]) * p[1] +
                                        static_cast<double>(p[2]) * p[2]);
        if (length > r.radius) r.radius = static_cast<float>(length);
        for (int axis = 0; axis < 3; ++axis) {
            if (p[axis] < r.bounds[2 * axis]) r.bounds[2 * axis] = p[axis];
            if (p[axis] > r.bounds[2 * axis + 1]) r.bounds[2 * axis + 1] = p[axis];
        }
    }
    for (SceneFace& f : object.faces) {
        std::int32_t m = f.materialId;
        if (static_cast<std::uint32_t>(m) >= group.size()) m = 0;
        f.materialId = group[static_cast<size_t>(m)] + firstMaterial;
    }
    auto& faces = object.faces;
    for (size_t i = 0; i < faces.size(); ++i) {
        size_t smallest = i;
        for (size_t j = i; j < faces.size(); ++j)
            if (faces[j].materialId < faces[smallest].materialId) smallest = j;
        if (smallest != i) std::swap(faces[i], faces[smallest]);
    }
    std::vector<Vec3f> normals;
    for (const SceneFace& f : faces) {
        const Vec3f &a = object.vertices[static_cast<size_t>(f.a)], &b = object.vertices[static_cast<size_t>(f.b)],
                    &c = object.vertices[static_cast<size_t>(f.c)];
        const double e[3] = {static_cast<double>(b.x) - c.x, static_cast<double>(b.y) - c.y, static_cast<double>(b.z) - c.z};
        const double g[3] = {static_cast<double>(a.x) - c.x, static_cast<double>(a.y) - c.y, static_cast<double>(a.z) - c.z};
        double n[3] = {e[1] * g[2] - e[2] * g[1], e[2] * g[0] - e[0] * g[2], e[0] * g[1] - e[1] * g[0]};
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length != 0) {
            const double inverse = 1 / length;
            for (double& x : n) x *= inverse;
        }
        normals.push_back({static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])});
    }
    std::vector<size_t> bounds = {0};
    for (size_t k = 1; k < faces.size(); ++k)
        if (faces[k].materialId != faces[k - 1].materialId) bounds.push_back(k);
    bounds.push_back(faces.size());
    r.edgeList.push_back(0);
    auto same = [](const Vec3f& p, const Vec3f& q) { return p.x == q.x && p.y == q.y && p.z == q.z; };
    for (size_t g = 0; g + 1 < bounds.size(); ++g) {
        r.indexStream.push_back(faces[bounds[g]].materialId);
        r.indexStream.push_back(static_cast<std::int32_t>(bounds[g + 1] - bounds[g]));
        for (size_t k = bounds[g]; k < bounds[g + 1]; ++k) {
            if (k % 50 == 0) std::fputs(".", out);
            const SceneFace& f = faces[k];
            const std::int32_t vi[3] = {f.c, f.b, f.a}, ti[3] = {f.tc, f.tb, f.ta},
                               ci[3] = {f.colourC, f.colourB, f.colourA};
            std::int32_t index[3];
            for (int corner = 0; corner < 3; ++corner) {
                ModelVertex v;
                v.position = object.vertices[static_cast<size_t>(vi[corner])];
                if (!object.textureVertices.empty()) {
                    std::int32_t t = ti[corner];
                    if (t < 0 || static_cast<size_t>(t) >= object.textureVertices.size()) t = 0;
                    v.u = object.textureVertices[static_cast<size_t>(t)].u;
                    v.v = object.textureVertices[static_cast<size_t>(t)].v;
                }
                v.colour = ci[corner] == -1 ? sceneread::Colour{255, 255, 255, 255}
                                            : object.vertexColours[static_cast<size_t>(ci[corner])];
                v.colour.a = 255;
                v.normal = cornerNormal(faces, normals, k, vi[corner]);
                size_t match = 0;
                for (; match < r.vertices.size(); ++match) {
                    const ModelVertex& w = r.vertices[match];
                    if (w.position.x == v.position.x && w.position.y == v.position.y && w.position.z == v.position.z &&
                        w.u == v.u && w.v == v.v && w.normal.x == v.normal.x && w.normal.y == v.normal.y &&
                        w.normal.z == v.normal.z)
                        break;
                }
                if (match == r.vertices.size())
                    r.vertices.push_back(v);
                else
                    r.vertices[match] = v;
                index[corner] = static_cast<std::int32_t>(match);
                r.indexStream.push_back(index[corner]);
            }
            for (int e = 0; e < 3; ++e) {
                const std::int32_t i = index[e], j = index[(e + 1) % 3];
                const Vec3f& p = object.vertices[static_cast<size_t>(vi[e])];
                const Vec3f& q = object.vertices[static_cast<size_t>(vi[(e + 1) % 3])];
                for (const SceneFace& other : faces) {
                    const std::pair<std::int32_t, std::int32_t> edges[3] = {{other.a, other.b}, {other.b, other.c},
                                                                            {other.c, other.a}};
                    const std::int32_t flags[3] = {other.ab, other.bc, other.ca};
                    for (int x = 0; x < 3; ++x) {
                        if (flags[x] == 0) continue;
                        const Vec3f& e0 = object.vertices[static_cast<size_t>(edges[x].first)];
                        const Vec3f& e1 = object.vertices[static_cast<size_t>(edges[x].second)];
                        if (!((same(p, e0) && same(q, e1)) || (same(p, e1) && same(q, e0)))) continue;
                        bool present = false;
                        for (size_t y = 1; y + 1 < r.edgeList.size(); y += 2)
                            if ((r.edgeList[y] == i && r.edgeList[y + 1] == j) ||
                                (r.edgeList[y] == j && r.edgeList[y + 1] == i))
                                present = true;
                        if (!present) {
                            ++r.edgeList[0];
                            r.edgeList.push_back(i);
                            r.edgeList.push_back(j);
                        }
                    }
                }
            }
        }
        std::fputs("\n", out);
    }
    r.indexStream.push_back(-1);
    return r;
}

// The selection sort itself, on ids alone: the order it leaves.
inline std::vector<std::uint32_t> selectionSortOrder(std::vector<std::int32_t> ids) {
    std::vector<std::uint32_t> order(ids.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
    for (size_t i = 0; i < ids.size(); ++i) {
        size_t smallest = i;
        for (size_t j = i; j < ids.size(); ++j)
            if (ids[j] < ids[smallest]) smallest = j;
        if (smallest != i) {
            std::swap(ids[i], ids[smallest]);
            std::swap(order[i], order[smallest]);
        }
    }
    return order;
}

}  // namespace naive
