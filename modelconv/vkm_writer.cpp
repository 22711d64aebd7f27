#include <cassert>
#include <cstdint>
#include <limits>
#include <string_view>

#include "common/atomic_file.h"
#include <algorithm>
#include <array>
#include <bit>
#include <string>
#include "modelconv/converted_model.h"
#include "common/input_error.h"

namespace modelconv {

namespace {

// Little-endian bytes gathered into pieces of about a mebibyte, each handed
// to a sink: the file never exists whole in memory.
class PieceWriter {
public:
    explicit PieceWriter(const common::PieceSink& sink) : sink_(sink) { buffer_.reserve(kPiece + kPiece / 8); }
    ~PieceWriter() = default;
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    void u8(std::uint8_t v) { put(&v, 1); }
    void u32(std::uint32_t v) {
        const std::array<std::uint8_t, 4> b = littleEndian(v);
        put(b.data(), 4);
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v) { u32(std::bit_cast<std::uint32_t>(v)); }
    void zeros(size_t count) {
        buffer_.append(count, '\0');
        if (buffer_.size() >= kPiece) flush();
    }
    void text(std::string_view value, size_t width) {
        const size_t n = value.size() < width ? value.size() : width;
        put(value.data(), n);
        zeros(width - n);
    }
    void chunk(std::uint32_t kind, std::uint32_t size) {
        u32(kind);
        u32(size);
    }
    // Several 32-bit words at once (a vertex, a list).
    template <typename Word>
    void words(const Word* values, size_t n) {
        static_assert(sizeof(Word) == 4);
        if constexpr (std::endian::native == std::endian::little) {
            put(values, 4 * n);
        } else {
            for (size_t i = 0; i < n; ++i) u32(std::bit_cast<std::uint32_t>(values[i]));
        }
    }

    std::uint64_t size() const { return flushed_ + buffer_.size(); }
    void flush() {
        if (buffer_.empty()) return;
        sink_(buffer_);
        flushed_ += buffer_.size();
        buffer_.clear();
    }

private:
    static constexpr size_t kPiece = size_t{1} << 20;

    static std::array<std::uint8_t, 4> littleEndian(std::uint32_t v) {
        return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
                static_cast<std::uint8_t>(v >> 24)};
    }
    void put(const void* data, size_t n) {
        buffer_.append(static_cast<const char*>(data), n);
        if (buffer_.size() >= kPiece) flush();
    }

    const common::PieceSink& sink_;
    std::string buffer_;
    std::uint64_t flushed_ = 0;
};

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
void checkChunk([[maybe_unused]] const PieceWriter& w, [[maybe_unused]] std::uint64_t start,
                [[maybe_unused]] std::uint64_t announced) {
    assert(w.size() - start == 8 + announced);
}

void writeFloats(PieceWriter& w, const float* values, size_t n) { w.words(values, n); }

void writeMaterial(PieceWriter& w, const ModelMaterial& m) {
    w.text(m.name, 256);
    for (std::uint8_t c : {m.diffuse.r, m.diffuse.g, m.diffuse.b, m.specular.r, m.specular.g, m.specular.b}) w.u8(c);
    w.zeros(2);
    w.f32(m.shine);
    w.f32(m.opacity);
    w.u32(static_cast<std::uint32_t>(m.twoSided));
    w.u32(static_cast<std::uint32_t>(m.selfIllum));
    w.text(m.bitmap, 256);
}

void writeElementRecord(PieceWriter& w, const ModelElement& e) {
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

void writeList(PieceWriter& w, std::uint32_t kind, const std::vector<std::int32_t>& words) {
    if (words.empty()) return;
    const std::uint64_t start = w.size();
    w.chunk(kind, static_cast<std::uint32_t>(4 * words.size()));
    w.words(words.data(), words.size());
    checkChunk(w, start, 4 * std::uint64_t{words.size()});
}

void writeLod(PieceWriter& w, const MeshLod& lod, const std::string& owner) {
    const std::uint64_t start = w.size();
    const std::uint32_t size = field(lodChunkSize(lod), "Mesh " + owner);
    w.chunk(1, size);
    w.u32(static_cast<std::uint32_t>(lod.vertices.size()));
    w.u32(static_cast<std::uint32_t>(lod.indexStream.size()));
    w.u32(static_cast<std::uint32_t>(lod.edgeList.size()));
    w.f32(lod.radius);
    writeFloats(w, lod.bounds.data(), 6);
    if (!lod.vertices.empty()) {
        const std::uint64_t vertices = w.size();
        w.chunk(1, static_cast<std::uint32_t>(36 * lod.vertices.size()));
        // Records are gathered a few hundred at a time: appended one by one,
        // the bookkeeping of each append would cost more than the copy.
        constexpr size_t kBatch = 256;
        std::array<std::uint32_t, 9 * kBatch> batch;
        for (size_t first = 0; first < lod.vertices.size(); first += kBatch) {
            const size_t count = std::min(kBatch, lod.vertices.size() - first);
            for (size_t i = 0; i < count; ++i) {
                const ModelVertex& v = lod.vertices[first + i];
                // Position, normal, colour (r, g, b, 0), u, v.
                std::uint32_t* record = batch.data() + 9 * i;
                record[0] = std::bit_cast<std::uint32_t>(v.position.x);
                record[1] = std::bit_cast<std::uint32_t>(v.position.y);
                record[2] = std::bit_cast<std::uint32_t>(v.position.z);
                record[3] = std::bit_cast<std::uint32_t>(v.normal.x);
                record[4] = std::bit_cast<std::uint32_t>(v.normal.y);
                record[5] = std::bit_cast<std::uint32_t>(v.normal.z);
                record[6] = std::uint32_t{v.colour.r} | std::uint32_t{v.colour.g} << 8 | std::uint32_t{v.colour.b} << 16;
                record[7] = std::bit_cast<std::uint32_t>(v.u);
                record[8] = std::bit_cast<std::uint32_t>(v.v);
            }
            w.words(batch.data(), 9 * count);
        }
        checkChunk(w, vertices, 36 * std::uint64_t{lod.vertices.size()});
    }
    writeList(w, 2, lod.indexStream);
    writeList(w, 3, lod.edgeList);
    checkChunk(w, start, size);
}

std::uint64_t fileSize(const ConvertedModel& model) {
    std::uint64_t total = 32 + 8 + std::uint64_t{kMaterialRecord} * model.materials.size();
    for (const Element& element : model.elements) total += 8 + elementChunkSize(element);
    return total;
}

// The file in one forward pass.
void writeModel(const ConvertedModel& model, const common::PieceSink& sink) {
    PieceWriter w(sink);
    w.u8('V');
    w.u8('K');
    w.u8('M');
    w.u8('2');
    w.u32(512);
    w.u32(field(model.elements.size(), "The element list"));
    w.u32(field(model.materials.size(), "The material list"));
    w.u32(model.lodCount);
    w.zeros(12);

    const std::uint64_t materialStart = w.size();
    const std::uint32_t materialSize =
        field(std::uint64_t{kMaterialRecord} * model.materials.size(), "The material list");
    w.chunk(1, materialSize);
    for (const ModelMaterial& material : model.materials) writeMaterial(w, material);
    checkChunk(w, materialStart, materialSize);

    for (const Element& element : model.elements) {
        const ModelElement& record = elementRecord(element);
        const std::uint64_t start = w.size();
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
    assert(w.size() == fileSize(model));
    w.flush();
}

}  // namespace

std::vector<std::uint8_t> ConvertedModel::bytes() const {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(fileSize(*this));
    writeModel(*this, [&](std::string_view piece) { bytes.insert(bytes.end(), piece.begin(), piece.end()); });
    return bytes;
}

void ConvertedModel::save(const std::string& fileName) const {
    const std::string failure =
        common::replaceFile(fileName, fileSize(*this), [&](const common::PieceSink& sink) { writeModel(*this, sink); });
    if (!failure.empty()) {
        common::InputError error("Can't write VKM: " + fileName + "!", -1, common::ErrorKind::CannotWrite);
        error.file = fileName;
        error.notes.push_back({failure});
        throw error;
    }
}

}  // namespace modelconv
