// aselod's run: the command line, the simplified files and the LOD script.
#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lod {

inline constexpr int kExitUsage = 2;

struct Options {
    std::string input;
    std::vector<double> ratios;  // one with --ratio, several with --lods
    bool lods = false;           // --lods: a file per ratio and the script
    std::optional<double> maxError;
    std::string output;          // --output: the file (--ratio) or the script (--lods)
};

struct UsageError {
    std::string reason;
};

// The command line after the program name. Returns nullopt with `error`
// set for anything it cannot run: no input or more than one, neither or both
// of --ratio and --lods, a ratio outside (0, 1], more ratios than DKS2VKM
// reads LODs besides LOD 0, a negative or non-finite --error, an unknown option.
std::optional<Options> parseOptions(std::span<const char* const> arguments, UsageError& error);

// The files a run writes: one simplified file per ratio, then the script
// (--lods only). Without --output: "<in>_lod.ase" for --ratio, and for --lods
// "<in>_lod<i>.ase" (i from 1) and "<in>.dks", where <in> is the input's name
// without the extension of its file name.
std::vector<std::string> outputNames(const Options& options);

// Runs the tool (argv[0] is the program), printing a line per mesh and file
// to `out`. Bad arguments print their reason and the usage text to `err` and
// return kExitUsage; success returns 0. Throws common::InputError for an
// input that cannot be read or holds no well-formed mesh, an output that
// would replace the input, and an output that cannot be written (earlier
// outputs of the run then stay written; the script is written last).
int run(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace lod
