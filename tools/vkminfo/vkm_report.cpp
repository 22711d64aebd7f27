#include "tools/vkminfo/vkm_report.h"

#include <cmath>
#include <string>

#include "common/json_text.h"

namespace vkminfo {

using modelfile::Element;
using modelfile::Group;
using modelfile::Lod;
using modelfile::Material;
using modelfile::Model;
using modelfile::typeName;
using modelfile::Vertex;

namespace {

// %.9g round-trips every float; JSON has no NaN or infinity.
std::string number(float value, bool json) {
    if (json && !std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

template <size_t N>
std::string list(const std::array<float, N>& values, bool json) {
    std::string out = json ? "[" : "(";
    for (size_t i = 0; i < N; ++i) out += (i ? json ? ", " : " " : "") + number(values[i], json);
    return out + (json ? "]" : ")");
}

// The text view's quoting: name bytes as they are, controls escaped.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

size_t triangleCount(const Lod& lod) {
    size_t n = 0;
    for (const Group& g : lod.groups) n += g.triangles.size();
    return n;
}

}  // namespace

void printText(std::FILE* out, const Model& model, bool verbose) {
    std::fprintf(out, "VKM model: %zu materials, %zu elements, %u LODs\n", model.materials.size(),
                 model.elements.size(), model.lodCount);
    for (size_t i = 0; i < model.materials.size(); ++i) {
        const Material& m = model.materials[i];
        std::fprintf(out, "material %zu %s: diffuse %u %u %u, specular %u %u %u, shine %s, opacity %s%s%s", i,
                     quoted(m.name).c_str(), m.diffuse[0], m.diffuse[1], m.diffuse[2], m.specular[0], m.specular[1],
                     m.specular[2], number(m.shine, false).c_str(), number(m.opacity, false).c_str(),
                     m.twoSided ? ", two-sided" : "", m.selfIllum ? ", self-illuminated" : "");
        std::fprintf(out, "%s%s\n", m.bitmap.empty() ? "" : ", bitmap ", m.bitmap.empty() ? "" : quoted(m.bitmap).c_str());
    }
    for (size_t i = 0; i < model.elements.size(); ++i) {
        const Element& e = model.elements[i];
        std::fprintf(out, "element %zu %s %s, parent %d\n", i, typeName(e.type), quoted(e.name).c_str(), e.parent);
        std::fprintf(out, "  local position %s, rotation %s\n", list(e.localPosition, false).c_str(),
                     list(e.localRotation, false).c_str());
        std::fprintf(out, "  world position %s, rotation %s\n", list(e.worldPosition, false).c_str(),
                     list(e.worldRotation, false).c_str());
        if (verbose)
            std::fprintf(out, "  local matrix %s\n  world matrix %s\n", list(e.localMatrix, false).c_str(),
                         list(e.worldMatrix, false).c_str());
        if (e.type == 3) std::fprintf(out, "  use light %d\n", e.useLight);
        if (e.type != 1) continue;
        std::fprintf(out, "  origin radius %s, sphere %s radius %s, bounds %s\n", number(e.originRadius, false).c_str(),
                     list(e.sphereCenter, false).c_str(), number(e.sphereRadius, false).c_str(),
                     list(e.bounds, false).c_str());
        for (size_t l = 0; l < e.lods.size(); ++l) {
            const Lod& lod = e.lods[l];
            if (lod.vertices.empty()) {
                std::fprintf(out, "  LOD %zu: empty\n", l);
                continue;
            }
            std::fprintf(out, "  LOD %zu: %zu vertices, %zu triangles, %zu edges, radius %s, bounds %s\n", l,
                         lod.vertices.size(), triangleCount(lod), lod.edges.size(), number(lod.radius, false).c_str(),
                         list(lod.bounds, false).c_str());
            for (const Group& g : lod.groups)
                std::fprintf(out, "    material %u: %zu triangles\n", g.material, g.triangles.size());
            if (!verbose) continue;
            for (size_t v = 0; v < lod.vertices.size(); ++v) {
                const Vertex& x = lod.vertices[v];
                std::fprintf(out, "    v%zu position %s normal %s colour %u %u %u uv %s %s\n", v,
                             list(x.position, false).c_str(), list(x.normal, false).c_str(), x.colour[0], x.colour[1],
                             x.colour[2], number(x.u, false).c_str(), number(x.v, false).c_str());
            }
            for (const auto& edge : lod.edges) std::fprintf(out, "    edge %u %u\n", edge[0], edge[1]);
        }
    }
}

void printJson(std::FILE* out, const Model& model, bool verbose) {
    std::fprintf(out, "{\n  \"lodCount\": %u,\n  \"materials\": [", model.lodCount);
    for (size_t i = 0; i < model.materials.size(); ++i) {
        const Material& m = model.materials[i];
        std::fprintf(out,
                     "%s\n    {\"name\": %s, \"diffuse\": [%u, %u, %u], \"specular\": [%u, %u, %u], \"shine\": %s, "
                     "\"opacity\": %s, \"twoSided\": %u, \"selfIllum\": %u, \"bitmap\": %s}",
                     i ? "," : "", common::jsonString(m.name).c_str(), m.diffuse[0], m.diffuse[1], m.diffuse[2],
                     m.specular[0], m.specular[1], m.specular[2], number(m.shine, true).c_str(),
                     number(m.opacity, true).c_str(), m.twoSided, m.selfIllum, common::jsonString(m.bitmap).c_str());
    }
    std::fputs(model.materials.empty() ? "],\n  \"elements\": [" : "\n  ],\n  \"elements\": [", out);
    for (size_t i = 0; i < model.elements.size(); ++i) {
        const Element& e = model.elements[i];
        std::fprintf(out,
                     "%s\n    {\"name\": %s, \"type\": \"%s\", \"parent\": %d, \"localPosition\": %s, "
                     "\"worldPosition\": %s, \"localMatrix\": %s, \"worldMatrix\": %s, \"localRotation\": %s, "
                     "\"worldRotation\": %s, \"originRadius\": %s, \"sphereCenter\": %s, \"sphereRadius\": %s",
                     i ? "," : "", common::jsonString(e.name).c_str(), typeName(e.type), e.parent,
                     list(e.localPosition, true).c_str(), list(e.worldPosition, true).c_str(),
                     list(e.localMatrix, true).c_str(), list(e.worldMatrix, true).c_str(),
                     list(e.localRotation, true).c_str(), list(e.worldRotation, true).c_str(),
                     number(e.originRadius, true).c_str(), list(e.sphereCenter, true).c_str(),
                     number(e.sphereRadius, true).c_str());
        if (e.type == 3) std::fprintf(out, ", \"useLight\": %d", e.useLight);
        if (e.type == 1) {
            std::fprintf(out, ", \"bounds\": %s, \"lods\": [", list(e.bounds, true).c_str());
            for (size_t l = 0; l < e.lods.size(); ++l) {
                const Lod& lod = e.lods[l];
                std::fprintf(out, "%s{\"vertices\": %zu, \"triangles\": %zu, \"edges\": %zu, \"radius\": %s, \"bounds\": %s, \"groups\": [",
                             l ? ", " : "", lod.vertices.size(), triangleCount(lod), lod.edges.size(),
                             number(lod.radius, true).c_str(), list(lod.bounds, true).c_str());
                for (size_t g = 0; g < lod.groups.size(); ++g)
                    std::fprintf(out, "%s{\"material\": %u, \"triangles\": %zu}", g ? ", " : "", lod.groups[g].material,
                                 lod.groups[g].triangles.size());
                std::fputs("]", out);
                if (verbose) {
                    std::fputs(", \"vertexList\": [", out);
                    for (size_t v = 0; v < lod.vertices.size(); ++v) {
                        const Vertex& x = lod.vertices[v];
                        std::fprintf(out, "%s{\"position\": %s, \"normal\": %s, \"colour\": [%u, %u, %u], \"uv\": [%s, %s]}",
                                     v ? ", " : "", list(x.position, true).c_str(), list(x.normal, true).c_str(),
                                     x.colour[0], x.colour[1], x.colour[2], number(x.u, true).c_str(),
                                     number(x.v, true).c_str());
                    }
                    std::fputs("], \"edgeList\": [", out);
                    for (size_t k = 0; k < lod.edges.size(); ++k)
                        std::fprintf(out, "%s[%u, %u]", k ? ", " : "", lod.edges[k][0], lod.edges[k][1]);
                    std::fputs("]", out);
                }
                std::fputs("}", out);
            }
            std::fputs("]", out);
        }
        std::fputs("}", out);
    }
    std::fputs(model.elements.empty() ? "]\n}\n" : "\n  ]\n}\n", out);
}

}  // namespace vkminfo
