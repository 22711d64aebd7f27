// DKS2VKM's run, from the command line to the VKM file.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace modelconv {

// Runs the tool with its command line, printing to `out`; returns the exit
// status for success (0) and throws sceneread::InputError on any failure.
int run(int argc, const char* const* argv, std::FILE* out);

// The name with its extension (from the last '.' after the last '/' or '\\')
// replaced by `extension`, or with "." and the extension appended.
std::string makeOutputName(std::string_view name, std::string_view extension);

}  // namespace modelconv
