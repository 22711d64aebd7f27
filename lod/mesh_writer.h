// Writes simplified meshes back into the text they were read from.
#pragma once

#include <string>
#include <vector>

#include "lod/ase_mesh.h"
#include "lod/simplify.h"

namespace lod {

// The mesh block of `mesh` holding `simplified`, in the exporter's layout:
// counts renumbered, the kept vertex, texture and colour vertex lines copied
// with new indices, face, texture face and colour face lines written anew,
// and the normals block recomputed (face normals from the positions; a
// corner of a smoothed face keeps the vertex normal its wedge had). Every
// other line of the block is copied. An unchanged mesh is copied whole.
void appendMesh(std::string& out, std::string_view text, const MeshBlock& mesh, const SimplifiedMesh& simplified);

// The whole text of `file` with mesh i replaced by meshes[i]; every byte
// outside the mesh blocks is copied.
std::string writeFile(const AseFile& file, const std::vector<SimplifiedMesh>& meshes);

}  // namespace lod
