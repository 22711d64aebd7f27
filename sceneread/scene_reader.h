// Reads one ASE file into a Scene. Progress lines go to `out`; any problem
// throws common::InputError with the tool's message.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/diagnostics.h"
#include "sceneread/scene.h"
#include "sceneread/text_parser.h"

namespace sceneread {

struct ReadOptions {
    // Lookups stay inside their object's block, and what a block lacks takes a
    // default (identity transform, no texture vertices or colours, a material
    // of the mesh's own, appended after the file's), each said as a warning.
    bool lenient = false;
    common::Diagnostics* diagnostics = &common::noDiagnostics();
    // Threads that read the objects of a large export at once (strict reading
    // of a parser with ranges only): the scene, console text and errors are
    // those of one thread.
    unsigned threads = 1;
    // The stretch of the export a thread takes at a time.
    std::uint64_t segmentBytes = std::uint64_t{8} << 20;
    // When set, receives how many pieces of the object pass were read apart
    // and used (0 when one thread read it all).
    size_t* piecesUsed = nullptr;
};

void loadScene(Scene& scene, const std::string& fileName, std::FILE* out);
// The same over a parser of any source; `fileName` names it in messages. A
// parser that is not loaded is "Can't open ASE".
void loadScene(Scene& scene, TextParser& parser, const std::string& fileName, std::FILE* out,
               const ReadOptions& options = {});

// The material a lenient read gives a mesh without one: Standard, named
// "<mesh>_wire", diffuse from the mesh's *WIREFRAME_COLOR or grey.
SceneMaterial defaultMaterial(const GeometryObject& object);

// A colour component as the formats store it: (value x 255) truncated toward
// zero in double precision, then the low 8 bits of that integer.
std::uint8_t colourComponent(float value);

}  // namespace sceneread
