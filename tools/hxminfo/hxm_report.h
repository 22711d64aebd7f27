// hxminfo's views of a validated HXM file: plain text or JSON.
#pragma once

#include <string>

#include "modelfile/hxm.h"

namespace hxminfo {

// One summary line for the file, then one line per brush (name, counts,
// sphere); with `verbose` also one line per vertex, plane and edge. Floats are
// printed with 9 significant digits, which is exact for single precision.
std::string describeText(const modelfile::HxmFile& file, const std::string& fileName, bool verbose);

// The same as one JSON object. Non-finite floats become null; names are
// written by common::jsonString (UTF-8 kept, other bytes read as Windows-1252).
std::string describeJson(const modelfile::HxmFile& file, const std::string& fileName, bool verbose);

}  // namespace hxminfo
