// Reads a VKM model file back, independently of the writer's code, and checks
// it: every chunk kind and size, every count against the header and the
// nesting, every index against what it indexes, the parent hierarchy, and the
// zero bytes the format demands.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/byte_reader.h"

namespace modelfile {

struct VkmError : std::runtime_error {
    VkmError(size_t at, const std::string& what) : std::runtime_error(what), offset(at) {}
    size_t offset;  // where in the file the problem was found
};

struct Material {
    std::string name;
    std::array<std::uint8_t, 3> diffuse{}, specular{};
    float shine = 0, opacity = 0;
    std::uint32_t twoSided = 0, selfIllum = 0;
    std::string bitmap;
};

struct Vertex {
    std::array<float, 3> position{}, normal{};
    std::array<std::uint8_t, 3> colour{};
    float u = 0, v = 0;
};

struct Group {
    std::uint32_t material = 0;
    std::vector<std::array<std::uint32_t, 3>> triangles;
};

struct Lod {
    float radius = 0;
    std::array<float, 6> bounds{};
    std::vector<Vertex> vertices;
    std::vector<Group> groups;
    bool hasIndexStream = false;  // false only for an empty LOD
    std::vector<std::array<std::uint32_t, 2>> edges;
    bool hasEdgeList = false;
};

struct Element {
    std::string name;
    std::uint32_t type = 0;
    std::int32_t parent = -1;
    std::array<float, 3> localPosition{}, worldPosition{};
    std::array<float, 9> localMatrix{}, worldMatrix{};
    std::array<float, 4> localRotation{}, worldRotation{};
    float originRadius = 0;
    std::array<float, 3> sphereCenter{};
    float sphereRadius = 0;
    std::int32_t useLight = 0;        // omni lights (type 3)
    std::array<float, 6> bounds{};    // meshes (type 1)
    std::vector<Lod> lods;            // meshes: exactly lodCount
};

struct Model {
    std::uint32_t lodCount = 0;
    std::vector<Material> materials;
    std::vector<Element> elements;
};

// Throws VkmError on anything the format does not allow, and with FiniteOnly
// also on a NaN or infinity in a vertex position or normal, an element's
// placement (positions, matrices, rotations) or its bounding sphere.
Model readVkm(std::span<const std::uint8_t> bytes, common::FloatValues check = common::FloatValues::Any);

const char* typeName(std::uint32_t type);

}  // namespace modelfile
