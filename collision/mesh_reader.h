// Reads the meshes of an ASE file, in the keyword order SCENE2HXM asks for
// them, and builds one brush per mesh.
#pragma once

#include <cstdint>
#include <cstdio>

#include "collision/ase_line_reader.h"
#include "common/diagnostics.h"
#include "collision/brush.h"
#include "collision/brush_builder.h"

namespace collision {

// Versions from this one on keep each brush in its node's own frame; below it
// brushes stay in scene coordinates (signed comparison).
inline constexpr std::int32_t kNodeFrameVersion = 0x200;

// Number of lines holding "*MESH_VERTEX_LIST" from the reader's position to the
// end of the text. Consumes the text: rewind the reader afterwards.
int countMeshes(AseLineReader& reader);

// Reads the next mesh from the reader's position and returns its brush. Prints
// "Mesh: <name>" (no line feed) once its counts are read. Throws common::InputError,
// with the reader's line number, when a keyword is missing, a transform or
// vertex line has unreadable numbers, a count is negative or beyond 32 bits, a
// face line lacks a corner or names a vertex outside the mesh, or the brush
// exceeds 65535 vertices or planes. `builder` is working storage, reused
// across meshes.
//
// A lenient read starts at the next *GEOMOBJECT line, keeps the lookups in
// that object's block, and reads missing transform rows as the identity and a
// missing *TM_POS as 0, each said as a warning on `diagnostics` (for `fileName`).
struct MeshReading {
    bool lenient = false;
    common::Diagnostics* diagnostics = &common::noDiagnostics();
    std::string fileName;
};
Brush readBrush(AseLineReader& reader, std::int32_t version, BrushBuilder& builder, std::FILE* out,
                const MeshReading& reading = {});

}  // namespace collision
