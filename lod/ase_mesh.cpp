#include "lod/ase_mesh.h"

#include <cmath>
#include <cstring>
#include <optional>

#include "common/ase_signature.h"
#include "common/c_number.h"
#include "common/input_error.h"
#include "scriptgen/scene_scan.h"

namespace lod {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string_view leadingBlanks(std::string_view s) {
    size_t n = 0;
    while (n < s.size() && (s[n] == ' ' || s[n] == '\t')) ++n;
    return s.substr(0, n);
}

// The first blank-separated word of a trimmed line.
std::string_view firstWord(std::string_view s) {
    size_t n = 0;
    while (n < s.size() && !isBlank(s[n])) ++n;
    return s.substr(0, n);
}

// The word after `keyword` in `s` (blanks skipped), empty at the end.
std::string_view wordAfter(std::string_view s, size_t keywordEnd) {
    size_t b = keywordEnd;
    while (b < s.size() && isBlank(s[b])) ++b;
    size_t e = b;
    while (e < s.size() && !isBlank(s[e])) ++e;
    return s.substr(b, e - b);
}

bool opensBlock(std::string_view trimmed) { return !trimmed.empty() && trimmed.back() == '{'; }
bool closesBlock(std::string_view trimmed) { return trimmed == "}"; }

struct ListSpec {
    std::string_view keyword, entry;
    ListKind kind;
};
constexpr ListSpec kLists[] = {
    {"*MESH_VERTEX_LIST", "*MESH_VERTEX", ListKind::Vertices},
    {"*MESH_FACE_LIST", "*MESH_FACE", ListKind::Faces},
    {"*MESH_TVERTLIST", "*MESH_TVERT", ListKind::TextureVertices},
    {"*MESH_TFACELIST", "*MESH_TFACE", ListKind::TextureFaces},
    {"*MESH_CVERTLIST", "*MESH_VERTCOL", ListKind::ColourVertices},
    {"*MESH_CFACELIST", "*MESH_CFACE", ListKind::ColourFaces},
};

struct CountSpec {
    std::string_view keyword;
    ListKind kind;
};
constexpr CountSpec kCounts[] = {
    {"*MESH_NUMVERTEX", ListKind::Vertices},         {"*MESH_NUMFACES", ListKind::Faces},
    {"*MESH_NUMTVERTEX", ListKind::TextureVertices}, {"*MESH_NUMTVFACES", ListKind::TextureFaces},
    {"*MESH_NUMCVERTEX", ListKind::ColourVertices},  {"*MESH_NUMCVFACES", ListKind::ColourFaces},
};

std::string_view countKeyword(ListKind kind) {
    for (const CountSpec& c : kCounts)
        if (c.kind == kind) return c.keyword;
    return {};
}

std::string_view listKeyword(ListKind kind) {
    for (const ListSpec& l : kLists)
        if (l.kind == kind) return l.keyword;
    return {};
}

class Reader {
public:
    Reader(std::string_view text, const std::string& fileName) : text_(text), fileName_(fileName) {}

    AseFile read();

private:
    bool nextLine(TextLine& line);
    std::string_view content(const TextLine& line) const { return text_.substr(line.begin, line.end - line.begin); }

    [[noreturn]] void fail(long line, const std::string& message) const;

    void readMesh(const TextLine& opening, MeshBlock& mesh);
    void readList(const ListSpec& spec, int channel, const TextLine& opening, MeshBlock& mesh);
    void readNormals(const TextLine& opening, MeshBlock& mesh);
    void skipBlock(MeshBlock& mesh);
    void checkCounts(const MeshBlock& mesh) const;

    void readVertex(std::string_view rest, long line, MeshBlock& mesh);
    void readFace(std::string_view rest, long line, MeshBlock& mesh);
    void readChannelFace(std::string_view rest, long line, std::string_view keyword, Channel& channel, bool colours,
                         size_t faceCount);
    void checkFloats(std::string_view rest, long line, std::string_view keyword, bool finite, float* values) const;

    std::string_view text_;
    const std::string& fileName_;
    size_t position_ = 0;
    long lineNumber_ = 0;
    TextLine last_;

    // The mesh being read, for messages and the count checks.
    std::string meshName_;
    long objectLine_ = -1;
    std::vector<std::pair<size_t, long>> countItems_;  // item index, line
};

bool Reader::nextLine(TextLine& line) {
    if (position_ >= text_.size()) return false;
    const void* found = std::memchr(text_.data() + position_, '\n', text_.size() - position_);
    const size_t newline = found ? static_cast<size_t>(static_cast<const char*>(found) - text_.data()) : text_.size();
    line.begin = position_;
    line.end = newline > position_ && text_[newline - 1] == '\r' && found ? newline - 1 : newline;
    line.next = found ? newline + 1 : newline;
    line.number = ++lineNumber_;
    position_ = line.next;
    last_ = line;
    return true;
}

void Reader::fail(long line, const std::string& message) const {
    common::InputError error(message, line);
    error.file = fileName_;
    if (objectLine_ >= 0) {
        error.object = meshName_;
        error.notes.push_back({"while reading mesh " + meshName_ + ", which starts here", objectLine_});
    }
    throw error;
}

AseFile Reader::read() {
    AseFile file{text_, {}};
    TextLine line;
    int depth = 0;
    bool inObject = false, named = false, meshed = false;
    std::string name;
    long objectLine = 0;
    while (nextLine(line)) {
        const std::string_view s = trim(content(line));
        const std::string_view word = firstWord(s);
        if (depth == 0 && word == "*GEOMOBJECT" && opensBlock(s)) {
            inObject = true;
            named = meshed = false;
            name.clear();
            objectLine = line.number;
            depth = 1;
            continue;
        }
        if (inObject && depth == 1) {
            if (word == "*NODE_NAME" && !named) {
                name = scriptgen::nodeNameOf(s, "*NODE_NAME");
                named = true;
            } else if (word == "*MESH" && opensBlock(s) && !meshed) {
                meshed = true;
                MeshBlock& mesh = file.meshes.emplace_back();
                mesh.name = name;
                mesh.objectLine = objectLine;
                readMesh(line, mesh);
                continue;
            }
        }
        if (opensBlock(s)) {
            ++depth;
        } else if (closesBlock(s) && depth > 0) {
            if (--depth == 0) inObject = false;
        }
    }
    if (file.meshes.empty()) {
        common::InputError error("no mesh in the file: it holds no *GEOMOBJECT with a *MESH block", last_.number);
        error.file = fileName_;
        if (const auto reason = common::notAseReason(text_.substr(0, common::kSignatureBytes)))
            error.notes.push_back({fileName_ + " does not look like an ASE export: " + *reason});
        throw error;
    }
    return file;
}

void Reader::readMesh(const TextLine& opening, MeshBlock& mesh) {
    meshName_ = mesh.name;
    objectLine_ = mesh.objectLine;
    countItems_.clear();
    mesh.begin = opening.begin;
    mesh.textures.resize(1);
    mesh.items.push_back({ItemKind::Verbatim, ListKind::Vertices, 0, opening, {}, 0, 0, {}});
    int channel = 0;
    bool inMapping = false;
    TextLine line;
    while (nextLine(line)) {
        const std::string_view s = trim(content(line));
        const std::string_view word = firstWord(s);
        MeshItem item{ItemKind::Verbatim, ListKind::Vertices, inMapping ? channel : 0, line, {}, 0, 0, {}};
        if (closesBlock(s)) {
            mesh.items.push_back(item);
            if (inMapping) {
                inMapping = false;
                continue;
            }
            mesh.end = line.next;
            checkCounts(mesh);
            for (size_t c = 0; c < mesh.textures.size(); ++c) {
                Channel& t = mesh.textures[c];
                // No texture vertex to point at: the faces' entries go too.
                if (t.vertexLines.empty()) t.hasFaceList = false, t.faces.clear();
                if (t.hasFaceList) t.faces.resize(mesh.faces.size(), {0, 0, 0});
            }
            if (mesh.colours.vertexLines.empty()) mesh.colours.hasFaceList = false, mesh.colours.faces.clear();
            if (mesh.colours.hasFaceList) mesh.colours.faces.resize(mesh.faces.size(), {kNoIndex, kNoIndex, kNoIndex});
            objectLine_ = -1;
            return;
        }
        const CountSpec* count = nullptr;
        for (const CountSpec& c : kCounts)
            if (word == c.keyword) count = &c;
        const ListSpec* list = nullptr;
        for (const ListSpec& l : kLists)
            if (word == l.keyword) list = &l;
        if (count != nullptr) {
            const std::string_view value = wordAfter(s, word.size());
            const long n = value.empty() ? -1 : common::atolC(value);
            if (n < 0 || !common::fitsInt32(n) || value.find_first_not_of("0123456789") != std::string_view::npos)
                fail(line.number, "Wrong " + std::string(word) + " value: " + std::string(value));
            item.kind = ItemKind::Count;
            item.list = count->kind;
            item.valueBegin = static_cast<size_t>(value.data() - text_.data());
            item.valueEnd = item.valueBegin + value.size();
            countItems_.push_back({mesh.items.size(), line.number});
            mesh.items.push_back(item);
        } else if (list != nullptr && opensBlock(s)) {
            readList(*list, item.channel, line, mesh);
        } else if (word == "*MESH_NORMALS" && opensBlock(s)) {
            readNormals(line, mesh);
        } else if (word == "*MESH_MAPPINGCHANNEL" && opensBlock(s) && !inMapping) {
            mesh.items.push_back(item);
            inMapping = true;
            channel = static_cast<int>(mesh.textures.size());
            mesh.textures.emplace_back();
        } else if (opensBlock(s)) {
            mesh.items.push_back(item);
            skipBlock(mesh);
        } else {
            mesh.items.push_back(item);
        }
    }
    fail(last_.number, "the file ends inside the *MESH block of " + mesh.name);
}

// Lines of a block the reader does not know, kept as they are, up to its
// closing line.
void Reader::skipBlock(MeshBlock& mesh) {
    int depth = 1;
    TextLine line;
    while (depth > 0 && nextLine(line)) {
        const std::string_view s = trim(content(line));
        if (opensBlock(s)) ++depth;
        else if (closesBlock(s)) --depth;
        mesh.items.push_back({ItemKind::Verbatim, ListKind::Vertices, 0, line, {}, 0, 0, {}});
    }
}

void Reader::readList(const ListSpec& spec, int channel, const TextLine& opening, MeshBlock& mesh) {
    MeshItem item{ItemKind::List, spec.kind, channel, opening, {}, 0, 0, {}};
    Channel& texture = mesh.textures[static_cast<size_t>(channel)];
    const bool seen = [&] {
        switch (spec.kind) {
            case ListKind::Vertices: return !mesh.vertexLines.empty();
            case ListKind::Faces: return !mesh.faces.empty();
            case ListKind::TextureVertices: return !texture.vertexLines.empty();
            case ListKind::TextureFaces: return texture.hasFaceList;
            case ListKind::ColourVertices: return !mesh.colours.vertexLines.empty();
            case ListKind::ColourFaces: return mesh.colours.hasFaceList;
        }
        return false;
    }();
    if (seen) fail(opening.number, "a second " + std::string(spec.keyword) + " in one mesh");
    if (spec.kind == ListKind::TextureFaces) texture.hasFaceList = true;
    if (spec.kind == ListKind::ColourFaces) mesh.colours.hasFaceList = true;
    bool first = true;
    TextLine line;
    while (nextLine(line)) {
        const std::string_view raw = content(line);
        const std::string_view s = trim(raw);
        if (closesBlock(s)) {
            item.closing = line;
            mesh.items.push_back(item);
            return;
        }
        if (s.empty()) continue;
        const std::string_view word = firstWord(s);
        if (word != spec.entry)
            fail(line.number, std::string(spec.keyword) + " holds a line that is no " + std::string(spec.entry) + " entry");
        if (first) {
            item.entryIndent = leadingBlanks(raw);
            first = false;
        }
        const std::string_view rest = s.substr(word.size());
        float values[4];
        switch (spec.kind) {
            case ListKind::Vertices:
                readVertex(rest, line.number, mesh);
                mesh.vertexLines.push_back(line);
                break;
            case ListKind::Faces: readFace(rest, line.number, mesh); break;
            case ListKind::TextureVertices:
                checkFloats(rest, line.number, spec.entry, true, values);
                texture.vertexLines.push_back(line);
                break;
            case ListKind::TextureFaces:
                readChannelFace(rest, line.number, spec.entry, texture, false, mesh.faces.size());
                break;
            case ListKind::ColourVertices:
                checkFloats(rest, line.number, spec.entry, false, values);
                mesh.colours.vertexLines.push_back(line);
                break;
            case ListKind::ColourFaces:
                readChannelFace(rest, line.number, spec.entry, mesh.colours, true, mesh.faces.size());
                break;
        }
    }
    fail(last_.number, "the file ends inside the *MESH block of " + mesh.name);
}

void Reader::checkFloats(std::string_view rest, long line, std::string_view keyword, bool finite, float* values) const {
    for (int i = 0; i < 4; ++i) {
        const std::optional<float> value = common::scanFloat(rest);
        if (!value) fail(line, "Wrong numbers in " + std::string(keyword) + " line");
        if (finite && !std::isfinite(*value)) fail(line, "Number out of range in " + std::string(keyword) + " line");
        values[i] = *value;
    }
}

void Reader::readVertex(std::string_view rest, long line, MeshBlock& mesh) {
    float v[4];
    checkFloats(rest, line, "*MESH_VERTEX", true, v);
    mesh.positions.push_back({v[1], v[2], v[3]});
}

void Reader::readFace(std::string_view rest, long line, MeshBlock& mesh) {
    MeshFace face;
    size_t at = 0;
    // Corner labels in the order the exporter writes them; each search
    // starts after the previous label, so "A:" never matches inside "CA:".
    const char* corners[3] = {"A:", "B:", "C:"};
    for (int k = 0; k < 3; ++k) {
        const size_t found = rest.find(corners[k], at);
        if (found == std::string_view::npos) fail(line, "Corner label missing in *MESH_FACE line");
        at = found + 2;
        const long n = common::atolC(wordAfter(rest, at));
        if (n < 0 || static_cast<size_t>(n) >= mesh.positions.size())
            fail(line, "Vertex index out of range in *MESH_FACE line");
        face.vertex[static_cast<size_t>(k)] = static_cast<std::uint32_t>(n);
    }
    const char* flags[3] = {"AB:", "BC:", "CA:"};
    for (int k = 0; k < 3; ++k) {
        const size_t found = rest.find(flags[k], at);
        if (found == std::string_view::npos) continue;
        at = found + 3;
        face.edgeVisible[static_cast<size_t>(k)] = common::atoiC(wordAfter(rest, at));
    }
    size_t tail = rest.find("*MESH_SMOOTHING", at);
    const size_t material = rest.find("*MESH_MTLID", at);
    if (tail == std::string_view::npos) tail = material;
    if (tail != std::string_view::npos) face.tail = rest.substr(tail);
    if (material != std::string_view::npos)
        face.materialId = common::atoiC(wordAfter(rest, material + std::strlen("*MESH_MTLID")));
    mesh.faces.push_back(face);
}

void Reader::readChannelFace(std::string_view rest, long line, std::string_view keyword, Channel& channel,
                             bool colours, size_t faceCount) {
    // Texture and colour faces follow the face list in every export.
    if (channel.faces.size() >= faceCount)
        fail(line, "more " + std::string(keyword) + " entries than the mesh has faces");
    const std::string_view index = wordAfter(rest, 0);
    size_t at = static_cast<size_t>(index.data() + index.size() - rest.data());
    const auto vertexCount = static_cast<long>(channel.vertexLines.size());
    std::array<std::uint32_t, 3> corners{};
    for (std::uint32_t& corner : corners) {
        const std::string_view word = wordAfter(rest, at);
        if (word.empty()) fail(line, "Wrong numbers in " + std::string(keyword) + " line");
        at = static_cast<size_t>(word.data() + word.size() - rest.data());
        const long n = common::atolC(word);
        if (!common::fitsInt32(n)) fail(line, "Number out of range in " + std::string(keyword) + " line");
        if (colours) {
            if (n < -1 || n >= vertexCount) fail(line, "Colour index out of range in " + std::string(keyword) + " line");
            corner = n < 0 ? kNoIndex : static_cast<std::uint32_t>(n);
        } else {
            corner = n < 0 || n >= vertexCount ? 0 : static_cast<std::uint32_t>(n);
        }
    }
    channel.faces.push_back(corners);
}

void Reader::readNormals(const TextLine& opening, MeshBlock& mesh) {
    MeshItem item{ItemKind::Normals, ListKind::Vertices, 0, opening, {}, 0, 0, {}};
    std::vector<std::array<std::string_view, 3>> normals;
    size_t pending = 3;
    bool usable = true;
    TextLine line;
    while (nextLine(line)) {
        const std::string_view raw = content(line);
        const std::string_view s = trim(raw);
        if (closesBlock(s)) {
            item.closing = line;
            mesh.items.push_back(item);
            if (usable && pending == 3 && normals.size() == mesh.faces.size()) mesh.vertexNormals = std::move(normals);
            return;
        }
        const std::string_view word = firstWord(s);
        if (word == "*MESH_FACENORMAL") {
            if (pending != 3) usable = false;
            if (normals.empty()) mesh.faceNormalIndent = leadingBlanks(raw);
            normals.emplace_back();
            pending = 0;
        } else if (word == "*MESH_VERTEXNORMAL" && pending < 3) {
            if (pending == 0 && normals.size() == 1) mesh.vertexNormalIndent = leadingBlanks(raw);
            const std::string_view index = wordAfter(s, word.size());
            normals.back()[pending++] = s.substr(static_cast<size_t>(index.data() + index.size() - s.data()));
        } else if (!s.empty()) {
            usable = false;
        }
    }
    fail(last_.number, "the file ends inside the *MESH block of " + mesh.name);
}

void Reader::checkCounts(const MeshBlock& mesh) const {
    for (const auto& [index, line] : countItems_) {
        const MeshItem& item = mesh.items[index];
        const size_t c = static_cast<size_t>(item.channel);
        size_t entries = 0;
        switch (item.list) {
            case ListKind::Vertices: entries = mesh.positions.size(); break;
            case ListKind::Faces: entries = mesh.faces.size(); break;
            case ListKind::TextureVertices: entries = mesh.textures[c].vertexLines.size(); break;
            case ListKind::TextureFaces: entries = mesh.textures[c].faces.size(); break;
            case ListKind::ColourVertices: entries = mesh.colours.vertexLines.size(); break;
            case ListKind::ColourFaces: entries = mesh.colours.faces.size(); break;
        }
        const std::string_view value = text_.substr(item.valueBegin, item.valueEnd - item.valueBegin);
        if (static_cast<size_t>(common::atolC(value)) != entries)
            fail(line, std::string(countKeyword(item.list)) + " " + std::string(value) + " does not match the " +
                           std::to_string(entries) + " entries of its " + std::string(listKeyword(item.list)));
    }
}

}  // namespace

std::string_view entryKeyword(ListKind list) {
    for (const ListSpec& l : kLists)
        if (l.kind == list) return l.entry;
    return {};
}

AseFile readAseFile(std::string_view text, const std::string& fileName) { return Reader(text, fileName).read(); }

}  // namespace lod
