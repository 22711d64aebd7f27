// The meshes of an ASE export as aselod needs them: what each mesh holds
// (positions, faces, texture and colour channels, normals) and where each of
// its lines stands in the text, so that a simplified mesh can be written back
// in place while every byte outside the mesh blocks stays as it was.
//
// Only the *MESH block directly inside a *GEOMOBJECT is read; everything else
// (scene, materials, transforms, cameras, lights, helpers, animation blocks)
// is structure to skip. The block is read as the exporter writes it: counts
// match their lists, and every index lies inside the list it indexes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lod {

inline constexpr std::uint32_t kNoIndex = 0xFFFFFFFFu;

// One line of the text: [begin, end) is its content without the line end,
// [end, next) the line end ("\n", "\r\n" or nothing at the end of the text).
struct TextLine {
    size_t begin = 0, end = 0, next = 0;
    long number = 0;  // from 1
};

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

struct MeshFace {
    std::array<std::uint32_t, 3> vertex{};
    std::array<std::int32_t, 3> edgeVisible{};  // AB, BC, CA as atoi reads them
    // The face line from "*MESH_SMOOTHING" (or "*MESH_MTLID" without it) to
    // its end: smoothing groups and material id as written. Faces with equal
    // tails are one class for the simplifier.
    std::string_view tail;
    std::int32_t materialId = 0;  // atoi of the word after *MESH_MTLID; 0 without
};

// The texture channel of the mesh or of one *MESH_MAPPINGCHANNEL, or the
// vertex colours: the entry lines (copied as they are, renumbered) and one
// index triple per face. A channel without a face list leaves its faces
// without entries; its vertex lines are then written back unchanged.
struct Channel {
    std::vector<TextLine> vertexLines;
    bool hasFaceList = false;
    // For every face when hasFaceList: a file with fewer face entries than
    // faces gets texture vertex 0 (DKS2VKM's reading of a missing texture
    // face) or no colour (kNoIndex) for the rest; texture indices outside the
    // list become 0 as DKS2VKM reads them.
    std::vector<std::array<std::uint32_t, 3>> faces;
};

enum class ItemKind {
    Verbatim,   // a line written back as it is
    Count,      // a count line whose number is replaced
    List,       // a list block whose entries are written anew
    Normals,    // the *MESH_NORMALS block, written anew
};

enum class ListKind { Vertices, Faces, TextureVertices, TextureFaces, ColourVertices, ColourFaces };

// The lines of a mesh block in order; lists and the normals block are one
// item from their opening line to their closing line.
struct MeshItem {
    ItemKind kind = ItemKind::Verbatim;
    ListKind list = ListKind::Vertices;
    int channel = 0;       // texture channel of texture items
    TextLine line;         // the line, or a list's opening line
    TextLine closing;      // a list's closing line
    size_t valueBegin = 0, valueEnd = 0;  // a count line's number
    std::string_view entryIndent;         // leading blanks of a list's entries
};

struct MeshBlock {
    std::string name;       // the *NODE_NAME of the object, as written between its quotes
    long objectLine = 0;    // the *GEOMOBJECT line
    size_t begin = 0, end = 0;  // the block's bytes, its closing line and line end included
    std::vector<MeshItem> items;

    std::vector<Vec3> positions;
    std::vector<TextLine> vertexLines;
    std::vector<MeshFace> faces;
    std::vector<Channel> textures;  // the mesh's own channel first, then mapping channels
    Channel colours;

    // Per face the three vertex normals' numbers as written (after the
    // vertex index), when the normals block holds one face normal and three
    // vertex normals for every face; empty otherwise.
    std::vector<std::array<std::string_view, 3>> vertexNormals;
    std::string_view faceNormalIndent, vertexNormalIndent;
};

struct AseFile {
    std::string_view text;  // what the blocks' offsets refer to; must outlive the record
    std::vector<MeshBlock> meshes;
};

// The keyword of a list's entries ("*MESH_VERTEX" for the vertex list, ...).
std::string_view entryKeyword(ListKind list);

// Reads `text` (the whole file in the exporter's code page; it must outlive
// the result). Throws common::InputError naming `fileName`, the line and the
// mesh for a malformed mesh block, and for a file without any mesh.
AseFile readAseFile(std::string_view text, const std::string& fileName);

}  // namespace lod
