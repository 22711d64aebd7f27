#include "collision/mesh_reader.h"

#include <array>
#include <climits>
#include <optional>
#include <string>
#include <string_view>

#include "common/input_error.h"
#include "common/c_number.h"

namespace collision {

namespace {

using Row = std::array<double, 3>;

std::string_view require(AseLineReader& reader, std::optional<std::string_view> found, const char* keyword) {
    if (!found) common::reportError(reader.lineNumber(), "Error in ASE file! %s expected!", keyword);
    return *found;
}

std::string_view findValue(AseLineReader& reader, const char* keyword) {
    return require(reader, reader.findValue(keyword), keyword);
}

Row parseRow(AseLineReader& reader, std::string_view rest, const char* keyword) {
    Row row{};
    for (double& value : row) {
        const std::optional<double> number = common::scanDouble(rest);
        if (!number) common::reportError(reader.lineNumber(), "Error in ASE file! Wrong numbers in %s line!", keyword);
        if (!common::fitsFloat(*number))
            common::reportError(reader.lineNumber(), "Error in ASE file! Number out of range in %s line!", keyword);
        value = *number;
    }
    return row;
}

long readCount(AseLineReader& reader, const char* keyword) {
    const long count = common::atolC(findValue(reader, keyword));
    if (count < 0 || count > INT_MAX)
        common::reportError(reader.lineNumber(), "Error in ASE file! Wrong %s value!", keyword);
    return count;
}

double dot(const Row& row, const Row& d) { return row[0] * d[0] + row[1] * d[1] + row[2] * d[2]; }

// The word after the first occurrence of `label`, read as strtol base 10.
std::optional<long> cornerValue(std::string_view rest, std::string_view label) {
    const size_t at = rest.find(label);
    if (at == std::string_view::npos) return std::nullopt;
    std::string_view word = rest.substr(at + label.size());
    while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
    word = word.substr(0, word.find(' '));
    return common::atolC(word);
}

}  // namespace

int countMeshes(AseLineReader& reader) {
    int count = 0;
    while (reader.findValue("*MESH_VERTEX_LIST")) ++count;
    return count;
}

namespace {

// The row of `keyword`, or, reading leniently, `fallback` with a warning when
// the block has none.
Row rowOr(AseLineReader& reader, const char* keyword, const Row& fallback, const MeshReading& reading,
          const std::string& name) {
    if (!reading.lenient) return parseRow(reader, findValue(reader, keyword), keyword);
    if (const auto value = reader.findValue(keyword)) return parseRow(reader, *value, keyword);
    reading.diagnostics->warning(reading.fileName, reader.lineNumber(), name,
                                 name + ": no " + keyword + " in its block; read as " +
                                     (fallback == Row{} ? "0" : "the identity row"));
    return fallback;
}

Brush readNamedBrush(AseLineReader& reader, const std::string& name, std::int32_t version, BrushBuilder& builder,
                     std::FILE* out, const MeshReading& reading) {
    const Row r0 = rowOr(reader, "*TM_ROW0", {1, 0, 0}, reading, name);
    const Row r1 = rowOr(reader, "*TM_ROW1", {0, 1, 0}, reading, name);
    const Row r2 = rowOr(reader, "*TM_ROW2", {0, 0, 1}, reading, name);
    const Row position = rowOr(reader, "*TM_POS", {0, 0, 0}, reading, name);
    const long vertexCount = readCount(reader, "*MESH_NUMVERTEX");
    const long faceCount = readCount(reader, "*MESH_NUMFACES");

    std::fprintf(out, "Mesh: %s", name.c_str());
    builder.begin(name);

    findValue(reader, "*MESH_VERTEX_LIST");
    for (long k = 0; k < vertexCount; ++k) {
        std::string_view rest = findValue(reader, "*MESH_VERTEX");
        const bool numbered = common::scanLongI(rest).has_value();
        const std::optional<double> x = common::scanDouble(rest);
        const std::optional<double> y = x ? common::scanDouble(rest) : std::nullopt;
        const std::optional<double> z = y ? common::scanDouble(rest) : std::nullopt;
        // NOTE: a count larger than the list would otherwise take the mesh's
        // *MESH_VERTEXNORMAL lines, whose rest does not start with a number.
        if (!numbered || !z)
            common::reportError(reader.lineNumber(), "Error in ASE file! Wrong numbers in *MESH_VERTEX line!");
        if (!common::fitsFloat(*x) || !common::fitsFloat(*y) || !common::fitsFloat(*z))
            common::reportError(reader.lineNumber(), "Error in ASE file! Number out of range in *MESH_VERTEX line!");
        BrushVertex point;
        if (version >= kNodeFrameVersion) {
            const Row d{*x - position[0], *y - position[1], *z - position[2]};
            // The rows applied as the transposed rotation: the node transform is
            // taken as rotation and position only. Axes 2 and 3 exchanged.
            point = {dot(r0, d), dot(r2, d), dot(r1, d)};
        } else {
            point = {*x, *z, *y};
        }
        builder.addVertex(point, reader.lineNumber());
    }
    builder.computeSphere();

    findValue(reader, "*MESH_FACE_LIST");
    const size_t meshVertices = builder.meshVertexCount();
    for (long k = 0; k < faceCount; ++k) {
        const std::string_view rest = findValue(reader, "*MESH_FACE");
        const std::optional<long> a = cornerValue(rest, "A:");
        const std::optional<long> b = cornerValue(rest, "B:");
        const std::optional<long> c = cornerValue(rest, "C:");
        if (!a || !b || !c)
            common::reportError(reader.lineNumber(), "Error in ASE file! Corner label missing in *MESH_FACE line!");
        for (const long corner : {*a, *b, *c})
            if (corner < 0 || static_cast<unsigned long>(corner) >= meshVertices)
                common::reportError(reader.lineNumber(), "Error in ASE file! Vertex index out of range in *MESH_FACE line!");
        builder.addFace(static_cast<size_t>(*a), static_cast<size_t>(*b), static_cast<size_t>(*c),
                        reader.lineNumber());
    }
    return builder.finish();
}

}  // namespace

Brush readBrush(AseLineReader& reader, std::int32_t version, BrushBuilder& builder, std::FILE* out,
                const MeshReading& reading) {
    if (reading.lenient) {
        reader.seek("*GEOMOBJECT");
        reader.setObjectBounded(true);
    }
    const std::string name(require(reader, reader.findWord("*NODE_NAME"), "*NODE_NAME"));
    const long nameLine = reader.lineNumber();
    try {
        Brush brush = readNamedBrush(reader, name, version, builder, out, reading);
        reader.setObjectBounded(false);
        return brush;
    } catch (common::InputError& error) {
        if (error.object.empty()) error.object = name;
        error.notes.push_back({"while reading mesh " + name + ", which starts here", nameLine});
        throw;
    }
}

}  // namespace collision
