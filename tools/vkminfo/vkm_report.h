// Human-readable and JSON summaries of a checked VKM model.
#pragma once

#include <cstdio>

#include "tools/vkminfo/vkm_reader.h"

namespace vkminfo {

void printText(std::FILE* out, const Model& model, bool verbose);
void printJson(std::FILE* out, const Model& model, bool verbose);

}  // namespace vkminfo
