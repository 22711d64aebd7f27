#include <cassert>
#include <cstdint>
#include <limits>
#include <string_view>

#include "common/atomic_file.h"
#include "common/byte_writer.h"
#include "modelconv/converted_model.h"
#include "common/input_error.h"

namespace modelconv {

namespace {

constexpr std::uint32_t kMaterialRecord = 536;
constexpr std::uint32_t kElementRecord = 412;
constexpr std::uint64_t kLodRecord = 40;

std::uint64_t lodChunkSize(const MeshLod& lod) {
    std::uint64_t size = kLodRecord;
    if (!lod.vertices.empty()) size += 8 + 36 * std::uint64_t{lod.vertices.size()};
    if (!lod.indexStream.empty()) size += 8 + 4 * std::uint64_t{lod.indexStream.size()};
    if (!lod.edgeList.empty()) size += 8 + 4 * std::uint64_t{lod.edgeList.size()};
    return size;
}

std::uint64_t elementChunkSize(const Element& element) {
    if (const auto* mesh = std::get_if<MeshElement>(&element)) {
        std::uint64_t size = kElementRecord + 24;
        for (const MeshLod& lod : mesh->lods) size += 8 + lodChunkSize(lod);
        return size;
    }
    return std::holds_alternative<LightElement>(element) ? kElementRecord + 4 : kElementRecord;
}

// Sizes and counts are 32-bit in the file; a model beyond them cannot be stored.
std::uint32_t field(std::uint64_t value, const std::string& what) {
    if (value > std::numeric_limits<std::uint32_t>::max())
        common::reportError(-1, "%s is too large for a VKM file!", what.c_str());
    return static_cast<std::uint32_t>(value);
}

// Sizes are announced before the data they describe (one forward pass): in
// debug builds each chunk's announced size is compared with what followed.
void checkChunk([[maybe_unused]] const common::ByteWriter& w, [[maybe_unused]] size_t start,
                [[maybe_unused]] std::uint64_t announced) {
    assert(w.size() - start == 8 + announced);
}

void writeFloats(common::ByteWriter& w, const float* values, size_t n) {
    for (size_t i = 0; i < n; ++i) w.f32(values[i]);
}

void writeMaterial(common::ByteWriter& w, const ModelMaterial& m) {
    w.text(m.name, 256);
    for (std::uint8_t c : {m.diffuse.r, m.diffuse.g, m.diffuse.b, m.specular.r, m.specular.g, m.specular.b}) w.u8(c);
    w.zeros(2);
    w.f32(m.shine);
    w.f32(m.opacity);
    w.u32(static_cast<std::uint32_t>(m.twoSided));
    w.u32(static_cast<std::uint32_t>(m.selfIllum));
    w.text(m.bitmap, 256);
}

void writeElementRecord(common::ByteWriter& w, const ModelElement& e) {
    w.text(e.name, 256);
    w.u32(static_cast<std::uint32_t>(e.type));
    w.i32(e.parent);
    writeFloats(w, e.localPosition.data(), 3);
    writeFloats(w, e.worldPosition.data(), 3);
    for (int row = 0; row < 3; ++row) writeFloats(w, e.localMatrix.data() + 4 * row, 3);
    for (int row = 0; row < 3; ++row) writeFloats(w, e.worldMatrix.data() + 4 * row, 3);
    writeFloats(w, e.localRotation.data(), 4);
    writeFloats(w, e.worldRotation.data(), 4);
    w.f32(e.originRadius);
    writeFloats(w, e.sphereCentre.data(), 3);
    w.f32(e.sphereRadius);
}

void writeList(common::ByteWriter& w, std::uint32_t kind, const std::vector<std::int32_t>& words) {
    if (words.empty()) return;
    const size_t start = w.size();
    w.chunk(kind, static_cast<std::uint32_t>(4 * words.size()));
    for (std::int32_t word : words) w.i32(word);
    checkChunk(w, start, 4 * std::uint64_t{words.size()});
}

void writeLod(common::ByteWriter& w, const MeshLod& lod, const std::string& owner) {
    const size_t start = w.size();
    const std::uint32_t size = field(lodChunkSize(lod), "Mesh " + owner);
    w.chunk(1, size);
    w.u32(static_cast<std::uint32_t>(lod.vertices.size()));
    w.u32(static_cast<std::uint32_t>(lod.indexStream.size()));
    w.u32(static_cast<std::uint32_t>(lod.edgeList.size()));
    w.f32(lod.radius);
    writeFloats(w, lod.bounds.data(), 6);
    if (!lod.vertices.empty()) {
        const size_t vertices = w.size();
        w.chunk(1, static_cast<std::uint32_t>(36 * lod.vertices.size()));
        for (const ModelVertex& v : lod.vertices) {
            w.f32(v.position.x);
            w.f32(v.position.y);
            w.f32(v.position.z);
            w.f32(v.normal.x);
            w.f32(v.normal.y);
            w.f32(v.normal.z);
            w.u8(v.colour.r);
            w.u8(v.colour.g);
            w.u8(v.colour.b);
            w.u8(0);
            w.f32(v.u);
            w.f32(v.v);
        }
        checkChunk(w, vertices, 36 * std::uint64_t{lod.vertices.size()});
    }
    writeList(w, 2, lod.indexStream);
    writeList(w, 3, lod.edgeList);
    checkChunk(w, start, size);
}

}  // namespace

std::vector<std::uint8_t> ConvertedModel::bytes() const {
    std::uint64_t total = 32 + 8 + std::uint64_t{kMaterialRecord} * materials.size();
    for (const Element& element : elements) total += 8 + elementChunkSize(element);
    common::ByteWriter w;
    w.reserve(total);

    w.raw("VKM2");
    w.u32(512);
    w.u32(field(elements.size(), "The element list"));
    w.u32(field(materials.size(), "The material list"));
    w.u32(lodCount);
    w.zeros(12);

    const size_t materialStart = w.size();
    const std::uint32_t materialSize = field(std::uint64_t{kMaterialRecord} * materials.size(), "The material list");
    w.chunk(1, materialSize);
    for (const ModelMaterial& material : materials) writeMaterial(w, material);
    checkChunk(w, materialStart, materialSize);

    for (const Element& element : elements) {
        const ModelElement& record = elementRecord(element);
        const size_t start = w.size();
        const std::uint32_t size = field(elementChunkSize(element), "Element " + record.name);
        w.chunk(2, size);
        writeElementRecord(w, record);
        if (const auto* light = std::get_if<LightElement>(&element)) {
            w.i32(light->useLight);
        } else if (const auto* mesh = std::get_if<MeshElement>(&element)) {
            writeFloats(w, mesh->bounds.data(), 6);
            for (const MeshLod& lod : mesh->lods) writeLod(w, lod, record.name);
        }
        checkChunk(w, start, size);
    }
    assert(w.size() == total);
    return w.take();
}

void ConvertedModel::save(const std::string& fileName) const {
    const std::vector<std::uint8_t> data = bytes();
    const std::string failure =
        common::replaceFile(fileName, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    if (!failure.empty()) {
        common::InputError error("Can't write VKM: " + fileName + "!", -1, common::ErrorKind::CannotWrite);
        error.file = fileName;
        error.notes.push_back({failure});
        throw error;
    }
}

}  // namespace modelconv
