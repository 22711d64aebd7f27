// Reads one ASE file into a Scene. Progress lines go to `out`; any problem
// throws InputError (see report_error.h) with the tool's message.
#pragma once

#include <cstdio>
#include <string>

#include "sceneread/scene.h"

namespace sceneread {

void loadScene(Scene& scene, const std::string& fileName, std::FILE* out);

// A colour component as the formats store it: (value x 255) truncated toward
// zero in double precision, then the low 8 bits of that integer.
std::uint8_t colourComponent(float value);

}  // namespace sceneread
