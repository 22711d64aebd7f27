#include "collision/converter.h"

#include <climits>
#include <cstring>
#include <cstdlib>

#include "collision/brush_report.h"
#include "common/input_error.h"
#include "collision/hxm_writer.h"
#include "collision/mesh_reader.h"
#include "common/atomic_file.h"
#include "common/depfile.h"
#include "common/ase_signature.h"
#include "common/byte_writer.h"
#include "common/file_loader.h"
#include "common/output_name.h"
#include "common/output_options.h"

namespace collision {

namespace {

void printBanner(std::FILE* out) {
    std::fputs("ASE To HXM Converter\n", out);
    std::fputs("Version 1.21\n", out);
    std::fputs("Copyright (c) the asset pipeline team. All rights reserved.\n", out);
    std::fputs("This tool converts ASE files exported from 3D Studio Max\n", out);
    std::fputs("into ORNA collision model file (HXM).\n", out);
}

void printUsage(std::FILE* out) {
    std::fputs("\nUsage:", out);
    std::fputs(" SCENE2HXM <filename> [version] [-v]\n", out);
    std::fputs("  <filename>\t- full name of ASE file\n", out);
    std::fputs("  <version>\t- version of HXM file (in HEX)\n", out);
    std::fputs("  -v\t\t- verbose output\n", out);
}

}  // namespace

Settings parseSettings(int argc, const char* const* argv) {
    Settings settings;
    if (argc > 2) {
        // "%X" converts like strtoul base 16 and stores the low 32 bits; the
        // differential test pins this to sscanf.
        const char* text = argv[2];
        char* end = nullptr;
        const unsigned long value = std::strtoul(text, &end, 16);
        if (end != text) settings.version = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    for (int i = 2; i < argc; ++i)
        if (argv[i][0] == '-' && (argv[i][1] == 'v' || argv[i][1] == 'V')) settings.verbose = true;
    return settings;
}

std::optional<std::vector<std::uint8_t>> convertScene(AseLineReader& reader, const Settings& settings,
                                                      std::FILE* out, const MeshReading& reading) {
    const int meshCount = countMeshes(reader);
    if (meshCount == 0) {
        std::fputs("No meshes in file!\n", out);
        return std::nullopt;
    }
    std::fprintf(out, "Processing %i mesh(es) in file...\n", meshCount);
    common::ByteWriter file;
    writeFileHeader(file, meshCount, settings.version);
    reader.rewind();
    BrushBuilder builder;
    for (int i = 0; i < meshCount; ++i) {
        const Brush brush = readBrush(reader, settings.version, builder, out, reading);
        printBrush(brush, settings.verbose, out);
        ConvexSummary summary;
        const bool convex = checkConvex(brush, out, &summary);
        if (convex && summary.warnings > 0) {
            char worst[32];
            std::snprintf(worst, sizeof worst, "%g", summary.worst);
            reading.diagnostics->warning(reading.fileName, -1, brush.name,
                                         "brush " + brush.name + ": " + std::to_string(summary.warnings) +
                                             " vertex/plane pairs near critical, the worst " + worst + " in front" +
                                             (summary.insideOut ? "; the brush may be inside out" : ""));
        }
        if (!convex) common::reportError(-1, "Brush %s is non-convex!", brush.name.c_str());
        writeBrush(file, brush, settings.version);
    }
    return file.take();
}

namespace {

void refuseReplacingInputs(const std::string& inputName, const std::string& outputName, const std::string& depfile) {
    if (common::sameFile(inputName, outputName)) {
        common::InputError error("Output file " + outputName + " would replace the input!");
        error.file = inputName;
        throw error;
    }
    for (const std::string& taken : {inputName, outputName}) {
        if (depfile.empty() || !common::sameFile(taken, depfile)) continue;
        common::InputError error("Depfile " + depfile + " would replace the " + (taken == inputName ? "input!" : "output!"));
        error.file = inputName;
        throw error;
    }
}

// Writes `bytes` as `name` (whole or not at all), or throws "<what><name>"
// with the reason as its note.
void writeOrFail(const std::string& name, std::string_view bytes, const char* what) {
    const std::string failure = common::replaceFile(name, bytes);
    if (failure.empty()) return;
    common::InputError error(what + name, -1, common::ErrorKind::CannotWrite);
    error.file = name;
    error.notes.push_back({failure});
    throw error;
}

}  // namespace

int run(int argc, const char* const* argv, std::FILE* out, common::Diagnostics& diagnostics) {
    // The options may stand anywhere; the other arguments keep their places.
    std::vector<const char*> arguments(argv, argv + argc);
    const common::OutputOptions files = common::takeOutputOptions(arguments, true);
    const bool lenient = std::erase_if(arguments, [](const char* a) { return std::string_view(a) == "--lenient"; }) > 0;
    argc = static_cast<int>(arguments.size());
    argv = arguments.data();
    printBanner(out);
    if (argc < 2) {
        printUsage(out);
        common::noteOptions(diagnostics, {"--output FILE (or -o FILE): the HXM file to write, instead of beside the ASE file",
                                          "--depfile FILE: after a successful run, a Make-syntax list of the files read",
                                          "--lenient: defaults, each with a warning, for what an export leaves out"});
        return kExitUsage;
    }
    const Settings settings = parseSettings(argc, argv);
    const std::string inputName = argv[1];
    const MeshReading reading{lenient, &diagnostics, inputName};
    common::LoadedFile input = common::loadTextFile(inputName);
    if (!input.ok()) {
        std::string what = common::describe(input.failure);
        if (input.error != 0) what += std::string(": ") + std::strerror(input.error);
        common::InputError error(what, -1, common::ErrorKind::CannotOpen);
        error.file = inputName;
        throw error;
    }
    AseLineReader reader(std::move(input.bytes));
    const std::string outputName = files.output.empty() ? common::makeOutputName(inputName, "hxm") : files.output;
    refuseReplacingInputs(inputName, outputName, files.depfile);

    if (formatFor(settings.version) == HxmFormat::HeaderOnly) {
        char version[16];
        std::snprintf(version, sizeof version, "%X", static_cast<unsigned>(settings.version));
        diagnostics.warning(outputName, -1, {},
                            std::string("version ") + version +
                                " writes only the file header, no brushes (format 1 is 101, format 2 is 200 and above)");
    }
    std::optional<std::vector<std::uint8_t>> bytes;
    try {
        bytes = convertScene(reader, settings, out, reading);
    } catch (common::InputError& error) {
        if (error.file.empty()) error.file = inputName;
        throw;
    }
    if (!bytes) {
        diagnostics.report({common::Severity::Error, inputName, -1, "no meshes in file (no *MESH_VERTEX_LIST line)", {}});
        if (const auto reason = common::notAseReason(reader.text()))
            diagnostics.note(inputName, -1, inputName + " does not look like an ASE export: " + *reason);
        return kExitUsage;
    }
    writeOrFail(outputName, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
                "Can't write HXM: ");
    if (!files.depfile.empty())
        writeOrFail(files.depfile, common::depfileText(outputName, {inputName}), "Can't write depfile: ");
    std::fputs("Done.\n", out);
    return kExitSuccess;
}

}  // namespace collision
