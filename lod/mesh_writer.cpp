#include "lod/mesh_writer.h"

#include <charconv>
#include <cmath>

namespace lod {

namespace {

void appendNumber(std::string& out, long long value, size_t width = 0) {
    char digits[24];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    const auto length = static_cast<size_t>(end - digits);
    if (length < width) out.append(width - length, ' ');
    out.append(digits, length);
}

// "%.4f", as the exporter writes normals.
void appendFixed(std::string& out, double value) {
    char digits[64];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 4);
    out.append(digits, static_cast<size_t>(end - digits));
}

std::string_view leadingBlanks(std::string_view s) { return s.substr(0, s.find_first_not_of(" \t")); }

// Each kept entry of one list, by its old index: the new index, or kNoIndex.
struct Renumbering {
    std::vector<std::uint32_t> next;
    std::uint32_t count = 0;

    explicit Renumbering(size_t size) : next(size, kNoIndex) {}
    void use(std::uint32_t index) {
        if (index != kNoIndex) next[index] = 0;
    }
    void number() {
        for (std::uint32_t& n : next)
            if (n != kNoIndex) n = count++;
    }
    std::uint32_t operator[](std::uint32_t index) const { return index == kNoIndex ? kNoIndex : next[index]; }
};

class MeshWriter {
public:
    MeshWriter(std::string& out, std::string_view text, const MeshBlock& mesh, const SimplifiedMesh& simplified)
        : out_(out), text_(text), mesh_(mesh), simplified_(simplified), vertices_(mesh.positions.size()),
          colours_(mesh.colours.vertexLines.size()) {
        for (const Channel& t : mesh.textures) textures_.emplace_back(t.vertexLines.size());
        for (const OutputFace& face : simplified.faces)
            for (std::uint32_t corner : face.corner) {
                const size_t f = corner / 3, k = corner % 3;
                vertices_.use(mesh.faces[f].vertex[k]);
                for (size_t c = 0; c < mesh.textures.size(); ++c)
                    if (mesh.textures[c].hasFaceList) textures_[c].use(mesh.textures[c].faces[f][k]);
                if (mesh.colours.hasFaceList) colours_.use(mesh.colours.faces[f][k]);
            }
        vertices_.number();
        for (Renumbering& t : textures_) t.number();
        colours_.number();
    }

    void write() {
        for (const MeshItem& item : mesh_.items) {
            switch (item.kind) {
                case ItemKind::Verbatim: copy(item.line); break;
                case ItemKind::Count:
                    out_.append(text_.substr(item.line.begin, item.valueBegin - item.line.begin));
                    appendNumber(out_, static_cast<long long>(count(item)));
                    out_.append(text_.substr(item.valueEnd, item.line.next - item.valueEnd));
                    break;
                case ItemKind::List:
                    copy(item.line);
                    list(item);
                    copy(item.closing);
                    break;
                case ItemKind::Normals:
                    copy(item.line);
                    normals(item);
                    copy(item.closing);
                    break;
            }
        }
    }

private:
    void copy(const TextLine& line) { out_.append(text_.substr(line.begin, line.next - line.begin)); }
    std::string_view lineEnd(const TextLine& line) const { return text_.substr(line.end, line.next - line.end); }
    std::string_view content(const TextLine& line) const { return text_.substr(line.begin, line.end - line.begin); }

    const Channel& channel(const MeshItem& item) const {
        switch (item.list) {
            case ListKind::ColourVertices:
            case ListKind::ColourFaces: return mesh_.colours;
            default: return mesh_.textures[static_cast<size_t>(item.channel)];
        }
    }
    const Renumbering& renumbering(const MeshItem& item) const {
        switch (item.list) {
            case ListKind::Vertices: return vertices_;
            case ListKind::ColourVertices:
            case ListKind::ColourFaces: return colours_;
            default: return textures_[static_cast<size_t>(item.channel)];
        }
    }

    size_t count(const MeshItem& item) const {
        switch (item.list) {
            case ListKind::Vertices: return vertices_.count;
            case ListKind::Faces: return simplified_.faces.size();
            case ListKind::TextureVertices:
            case ListKind::ColourVertices:
                return channel(item).hasFaceList ? renumbering(item).count : channel(item).vertexLines.size();
            case ListKind::TextureFaces:
            case ListKind::ColourFaces: return channel(item).hasFaceList ? simplified_.faces.size() : 0;
        }
        return 0;
    }

    // An entry line with its index field (the blanks and number after the
    // keyword) replaced by `index`, right-aligned in the field's width.
    void renumbered(const TextLine& line, std::string_view keyword, std::uint32_t index) {
        const std::string_view s = content(line);
        const size_t at = s.find(keyword) + keyword.size();
        size_t end = at;
        while (end < s.size() && (s[end] == ' ' || s[end] == '\t')) ++end;
        while (end < s.size() && s[end] != ' ' && s[end] != '\t') ++end;
        out_.append(s.substr(0, at));
        out_ += ' ';
        appendNumber(out_, index, end - at > 1 ? end - at - 1 : 0);
        out_.append(text_.substr(line.begin + end, line.next - line.begin - end));
    }

    void list(const MeshItem& item) {
        const std::string_view keyword = entryKeyword(item.list);
        const std::string indent =
            item.entryIndent.empty() ? std::string(leadingBlanks(content(item.line))) + '\t' : std::string(item.entryIndent);
        const std::string_view end = lineEnd(item.line);
        switch (item.list) {
            case ListKind::Vertices:
                for (size_t v = 0; v < mesh_.vertexLines.size(); ++v)
                    if (vertices_[static_cast<std::uint32_t>(v)] != kNoIndex)
                        renumbered(mesh_.vertexLines[v], keyword, vertices_[static_cast<std::uint32_t>(v)]);
                break;
            case ListKind::TextureVertices:
            case ListKind::ColourVertices: {
                const Channel& c = channel(item);
                const Renumbering& numbers = renumbering(item);
                for (size_t v = 0; v < c.vertexLines.size(); ++v) {
                    if (!c.hasFaceList) copy(c.vertexLines[v]);
                    else if (numbers[static_cast<std::uint32_t>(v)] != kNoIndex)
                        renumbered(c.vertexLines[v], keyword, numbers[static_cast<std::uint32_t>(v)]);
                }
                break;
            }
            case ListKind::Faces:
                for (size_t n = 0; n < simplified_.faces.size(); ++n) face(indent, n, end);
                break;
            case ListKind::TextureFaces:
            case ListKind::ColourFaces: {
                const Channel& c = channel(item);
                if (!c.hasFaceList) break;
                const Renumbering& numbers = renumbering(item);
                for (size_t n = 0; n < simplified_.faces.size(); ++n) {
                    out_ += indent;
                    out_ += keyword;
                    out_ += ' ';
                    appendNumber(out_, static_cast<long long>(n));
                    for (std::uint32_t corner : simplified_.faces[n].corner) {
                        const std::uint32_t index = numbers[c.faces[corner / 3][corner % 3]];
                        out_ += '\t';
                        appendNumber(out_, index == kNoIndex ? -1 : static_cast<long long>(index));
                    }
                    out_ += end;
                }
                break;
            }
        }
    }

    std::uint32_t vertexOf(std::uint32_t corner) const { return mesh_.faces[corner / 3].vertex[corner % 3]; }

    void face(const std::string& indent, size_t n, std::string_view end) {
        const OutputFace& f = simplified_.faces[n];
        static constexpr std::string_view kCornerLabels[3] = {":    A: ", " B: ", " C: "};
        static constexpr std::string_view kEdgeLabels[3] = {" AB: ", " BC: ", " CA: "};
        out_ += indent;
        out_ += "*MESH_FACE ";
        appendNumber(out_, static_cast<long long>(n), 4);
        for (size_t k = 0; k < 3; ++k) {
            out_ += kCornerLabels[k];
            appendNumber(out_, vertices_[vertexOf(f.corner[k])], 4);
        }
        for (size_t k = 0; k < 3; ++k) {
            out_ += kEdgeLabels[k];
            appendNumber(out_, f.edgeVisible[k], 4);
        }
        const std::string_view tail = mesh_.faces[f.classFace].tail;
        if (!tail.empty()) {
            out_ += "\t ";
            out_ += tail;
        }
        out_ += end;
    }

    // Smoothing group 0 (or none) shades every face flat: its vertex normals
    // are the face's.
    bool smoothed(const MeshFace& classFace) const {
        const std::string_view tail = classFace.tail;
        constexpr std::string_view kSmoothing = "*MESH_SMOOTHING";
        if (!tail.starts_with(kSmoothing)) return false;
        const size_t b = tail.find_first_not_of(" \t", kSmoothing.size());
        if (b == std::string_view::npos || tail[b] == '*') return false;
        const size_t e = tail.find_first_of(" \t", b);
        const std::string_view groups = tail.substr(b, e == std::string_view::npos ? e : e - b);
        return groups != "0";
    }

    void normals(const MeshItem& item) {
        const std::string blockIndent(leadingBlanks(content(item.line)));
        const std::string faceIndent =
            mesh_.faceNormalIndent.empty() ? blockIndent + '\t' : std::string(mesh_.faceNormalIndent);
        const std::string vertexIndent =
            mesh_.vertexNormalIndent.empty() ? faceIndent + '\t' : std::string(mesh_.vertexNormalIndent);
        const std::string_view end = lineEnd(item.line);
        std::string faceNumbers;
        for (size_t n = 0; n < simplified_.faces.size(); ++n) {
            const OutputFace& f = simplified_.faces[n];
            const Vec3& a = mesh_.positions[vertexOf(f.corner[0])];
            const Vec3& b = mesh_.positions[vertexOf(f.corner[1])];
            const Vec3& c = mesh_.positions[vertexOf(f.corner[2])];
            const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, uz = double(b.z) - a.z;
            const double vx = double(c.x) - a.x, vy = double(c.y) - a.y, vz = double(c.z) - a.z;
            double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
            const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
            if (length > 0) nx /= length, ny /= length, nz /= length;
            faceNumbers.clear();
            for (double value : {nx, ny, nz}) {
                faceNumbers += '\t';
                appendFixed(faceNumbers, value);
            }
            out_ += faceIndent;
            out_ += "*MESH_FACENORMAL ";
            appendNumber(out_, static_cast<long long>(n));
            out_ += faceNumbers;
            out_ += end;
            const bool smooth = smoothed(mesh_.faces[f.classFace]) && !mesh_.vertexNormals.empty();
            for (std::uint32_t corner : f.corner) {
                out_ += vertexIndent;
                out_ += "*MESH_VERTEXNORMAL ";
                appendNumber(out_, vertices_[vertexOf(corner)]);
                out_ += smooth ? mesh_.vertexNormals[corner / 3][corner % 3] : std::string_view(faceNumbers);
                out_ += end;
            }
        }
    }

    std::string& out_;
    std::string_view text_;
    const MeshBlock& mesh_;
    const SimplifiedMesh& simplified_;
    Renumbering vertices_;
    std::vector<Renumbering> textures_;
    Renumbering colours_;
};

}  // namespace

void appendMesh(std::string& out, std::string_view text, const MeshBlock& mesh, const SimplifiedMesh& simplified) {
    if (simplified.unchanged()) {
        out.append(text.substr(mesh.begin, mesh.end - mesh.begin));
        return;
    }
    MeshWriter(out, text, mesh, simplified).write();
}

std::string writeFile(const AseFile& file, const std::vector<SimplifiedMesh>& meshes) {
    std::string out;
    out.reserve(file.text.size());
    size_t at = 0;
    for (size_t i = 0; i < file.meshes.size(); ++i) {
        const MeshBlock& mesh = file.meshes[i];
        out.append(file.text.substr(at, mesh.begin - at));
        appendMesh(out, file.text, mesh, meshes[i]);
        at = mesh.end;
    }
    out.append(file.text.substr(at));
    return out;
}

}  // namespace lod
