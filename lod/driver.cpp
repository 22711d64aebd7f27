#include "lod/driver.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "common/atomic_file.h"
#include "common/dks_keywords.h"
#include "common/file_loader.h"
#include "common/input_error.h"
#include "common/output_name.h"
#include "lod/ase_mesh.h"
#include "lod/mesh_writer.h"
#include "lod/simplify.h"
#include "scriptgen/scene_scan.h"
#include "scriptgen/script_text.h"

namespace lod {

namespace {

constexpr std::string_view kUsage =
    "usage: aselod <in.ase> --ratio R [--error E] [--output out.ase]\n"
    "       aselod <in.ase> --lods R1,R2,... [--error E] [--output script.dks]\n"
    "Simplifies every mesh of an ASE export to about R of its triangles (0 < R <= 1).\n"
    "  --ratio R     writes one file: <in>_lod.ase, or the --output name\n"
    "  --lods R,...  writes a DKS script, <in>.dks or the --output name, whose LOD 0 is\n"
    "                the input, and beside it <script>_lod1.ase, ... (one per ratio)\n"
    "  --error E     stops where the error would pass E times the mesh's largest extent\n";

std::optional<double> number(std::string_view text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<double> ratio(std::string_view text) {
    const std::optional<double> value = number(text);
    if (!value || !(*value > 0 && *value <= 1)) return std::nullopt;
    return value;
}

[[noreturn]] void fail(const std::string& message, const std::string& file,
                       common::ErrorKind kind = common::ErrorKind::Content) {
    common::InputError error(message, -1, kind);
    error.file = file;
    throw error;
}

std::string stem(const std::string& input) {
    const size_t at = input.find_last_of("/\\.");
    return at != std::string::npos && input[at] == '.' ? input.substr(0, at) : input;
}

void writeOutput(const std::string& name, std::string_view bytes) {
    if (const std::string failure = common::replaceFile(name, bytes); !failure.empty())
        fail("Can't write " + name + ": " + failure, name, common::ErrorKind::CannotWrite);
}

}  // namespace

std::optional<Options> parseOptions(std::span<const char* const> arguments, UsageError& error) {
    const auto bad = [&error](std::string reason) -> std::optional<Options> {
        error.reason = std::move(reason);
        return std::nullopt;
    };
    Options options;
    bool ratioSeen = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (!argument.starts_with("--")) {
            if (!options.input.empty()) return bad("more than one input file");
            options.input = argument;
            continue;
        }
        std::string_view value;
        if (const size_t equals = argument.find('='); equals != std::string_view::npos) {
            value = argument.substr(equals + 1);
            argument = argument.substr(0, equals);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            return bad(std::string(argument) + " needs a value");
        }
        if (argument == "--ratio" || argument == "--lods") {
            if (ratioSeen) return bad("give one --ratio or one --lods");
            ratioSeen = true;
            options.lods = argument == "--lods";
            for (size_t start = 0;;) {
                const size_t comma = options.lods ? value.find(',', start) : std::string_view::npos;
                const std::string_view part = value.substr(start, comma == std::string_view::npos ? comma : comma - start);
                const std::optional<double> r = ratio(part);
                if (!r) return bad("a ratio is a number above 0 and at most 1: " + std::string(part));
                options.ratios.push_back(*r);
                if (comma == std::string_view::npos) break;
                start = comma + 1;
            }
            if (options.ratios.size() >= static_cast<size_t>(common::dks::kMaxLods))
                return bad("DKS2VKM reads at most " + std::to_string(common::dks::kMaxLods) +
                           " LODs: give at most " + std::to_string(common::dks::kMaxLods - 1) + " ratios");
        } else if (argument == "--error") {
            const std::optional<double> e = number(value);
            if (!e || *e < 0) return bad("--error needs a number of at least 0: " + std::string(value));
            options.maxError = e;
        } else if (argument == "--output") {
            if (value.empty()) return bad("--output needs a file name");
            options.output = value;
        } else {
            return bad("unknown option " + std::string(argument));
        }
    }
    if (options.input.empty()) return bad("no input file");
    if (!ratioSeen) return bad("give --ratio or --lods");
    return options;
}

std::vector<std::string> outputNames(const Options& options) {
    if (!options.lods) return {options.output.empty() ? stem(options.input) + "_lod.ase" : options.output};
    // The LOD files go where the script goes, so that a build can keep both out
    // of the source tree by naming the script alone.
    const std::string script = options.output.empty() ? common::makeOutputName(options.input, "dks") : options.output;
    const std::string base = stem(script);
    std::vector<std::string> names;
    for (size_t i = 1; i <= options.ratios.size(); ++i) names.push_back(base + "_lod" + std::to_string(i) + ".ase");
    names.push_back(script);
    return names;
}

int run(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    const std::span<const char* const> arguments(argv + 1, static_cast<size_t>(argc > 0 ? argc - 1 : 0));
    if (arguments.size() == 1 && (std::strcmp(arguments[0], "--help") == 0 || std::strcmp(arguments[0], "-h") == 0)) {
        std::fwrite(kUsage.data(), 1, kUsage.size(), out);
        return 0;
    }
    UsageError usage;
    const std::optional<Options> options = parseOptions(arguments, usage);
    if (!options) {
        std::fprintf(err, "aselod: %s\n", usage.reason.c_str());
        std::fwrite(kUsage.data(), 1, kUsage.size(), err);
        return kExitUsage;
    }
    const std::vector<std::string> names = outputNames(*options);
    for (size_t i = 0; i < names.size(); ++i) {
        if (common::sameFile(names[i], options->input))
            fail("Output file " + names[i] + " would replace the input", options->input);
        for (size_t j = 0; j < i; ++j)
            if (common::sameFile(names[i], names[j])) fail("Output file " + names[i] + " is named twice", options->input);
    }

    const common::LoadedFile loaded = common::loadTextFile(options->input);
    if (!loaded.ok())
        fail("Can't read " + options->input + ": it " + common::describe(loaded.failure), options->input,
             common::ErrorKind::CannotOpen);
    const AseFile file = readAseFile(loaded.bytes, options->input);
    std::vector<PreparedMesh> prepared;
    for (const MeshBlock& mesh : file.meshes) prepared.push_back(prepareMesh(mesh));

    for (size_t r = 0; r < options->ratios.size(); ++r) {
        const SimplifyOptions simplify{options->ratios[r], options->maxError};
        std::vector<SimplifiedMesh> meshes;
        for (size_t m = 0; m < file.meshes.size(); ++m) {
            meshes.push_back(simplifyMesh(file.meshes[m], prepared[m], simplify));
            const SimplifiedMesh& s = meshes.back();
            std::fprintf(out, "%s: mesh %s: %zu of %zu triangles (target %zu), error %.6g\n", names[r].c_str(),
                         file.meshes[m].name.c_str(), s.faces.size(), s.sourceTriangles, s.targetTriangles, s.error);
        }
        writeOutput(names[r], writeFile(file, meshes));
        std::fprintf(out, "Wrote %s\n", names[r].c_str());
    }
    if (options->lods) {
        std::vector<std::string> lodFiles{options->input};
        lodFiles.insert(lodFiles.end(), names.begin(), names.end() - 1);
        const scriptgen::ScriptHeader header{1, lodFiles[0], static_cast<int>(lodFiles.size()), false, lodFiles};
        writeOutput(names.back(), scriptgen::buildScript(header, scriptgen::scanScene(loaded.bytes, true)));
        std::fprintf(out, "Wrote %s\n", names.back().c_str());
    }
    return 0;
}

}  // namespace lod
