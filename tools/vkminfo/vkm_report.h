// Human-readable and JSON summaries of a checked VKM model.
#pragma once

#include <cstdio>

#include "modelfile/vkm.h"

namespace vkminfo {

void printText(std::FILE* out, const modelfile::Model& model, bool verbose);
void printJson(std::FILE* out, const modelfile::Model& model, bool verbose);

}  // namespace vkminfo
