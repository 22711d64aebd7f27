// SCENE2HXM's run, from the command line to the HXM file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "collision/ase_line_reader.h"
#include "collision/mesh_reader.h"
#include "common/diagnostics.h"

namespace collision {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUsage = -1;  // no file name, or no mesh in the file

struct Settings {
    std::int32_t version = 0x200;
    bool verbose = false;
};

// The settings of the arguments after the file name (argv[2] on): the first
// is read as "%X" would read it (blanks, a sign, an optional 0x; an unsigned
// value wrapped to 32 bits), 0x200 when it holds no number; every argument
// starting with "-v" or "-V" sets verbose.
Settings parseSettings(int argc, const char* const* argv);

// Counts the meshes, prints "Processing %i mesh(es) in file...\n", then reads,
// reports, checks and encodes every brush. Returns the whole HXM file, or
// nullopt after "No meshes in file!\n" when the text holds no mesh. Throws
// common::InputError on bad input or a non-convex brush; nothing is written here.
std::optional<std::vector<std::uint8_t>> convertScene(AseLineReader& reader, const Settings& settings,
                                                      std::FILE* out, const MeshReading& reading = {});

// Runs the tool with its command line, printing to `out` ("--output FILE" /
// "-o FILE" and "--lenient" may stand anywhere); returns the exit
// status (kExitSuccess, kExitUsage) and throws common::InputError on every
// failure (kind CannotOpen for an input that cannot be read). The output
// file is replaced only after the last brush has been encoded.
int run(int argc, const char* const* argv, std::FILE* out,
        common::Diagnostics& diagnostics = common::noDiagnostics());

}  // namespace collision
