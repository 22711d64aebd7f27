#include "modelconv/driver.h"

#include "common/atomic_file.h"
#include "common/depfile.h"
#include "common/input_error.h"
#include "common/output_name.h"
#include "common/output_options.h"
#include "modelconv/convert.h"
#include "modelconv/model_script.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <thread>
#include <vector>

namespace modelconv {

namespace {

[[noreturn]] void refuse(const std::string& message, const std::string& file) {
    common::InputError error(message);
    error.file = file;
    throw error;
}

// "--threads N" (N from 1 up): the threads that convert the meshes. The
// default is one per core, at most kMaxDefaultThreads.
constexpr unsigned kMaxDefaultThreads = 8;

unsigned takeThreads(std::vector<const char*>& arguments) {
    const unsigned cores = std::thread::hardware_concurrency();
    unsigned threads = std::clamp(cores, 1u, kMaxDefaultThreads);
    for (size_t i = 1; i < arguments.size();) {
        if (std::string_view(arguments[i]) != "--threads") {
            ++i;
            continue;
        }
        const std::string_view value = i + 1 < arguments.size() ? arguments[i + 1] : "";
        unsigned n = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (value.empty() || error != std::errc() || end != value.data() + value.size() || n == 0)
            throw common::InputError("Option --threads needs a number of threads, 1 or more!");
        threads = n;
        arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                        arguments.begin() + static_cast<std::ptrdiff_t>(i + 2));
    }
    return threads;
}

}  // namespace

int run(int argc, const char* const* argv, std::FILE* out, common::Diagnostics& diagnostics) {
    // Options may stand anywhere; the first other argument is the script.
    std::vector<const char*> arguments(argv, argv + argc);
    const common::OutputOptions files = common::takeOutputOptions(arguments, true);
    const unsigned threads = takeThreads(arguments);
    sceneread::ReadOptions options;
    options.diagnostics = &diagnostics;
    options.threads = threads;
    std::erase_if(arguments, [&](const char* argument) {
        const bool lenient = std::string_view(argument) == "--lenient";
        options.lenient |= lenient;
        return lenient;
    });
    argc = static_cast<int>(arguments.size());
    argv = arguments.data();
    std::fputs("DKS To VKM converter\n", out);
    std::fputs("Version 2.0\n", out);
    std::fputs("Copyright (c) the asset pipeline team. All rights reserved.\n", out);
    if (argc < 2) {
        std::fputs("Command - line parameters:\nDKS2VKM [filename]\n", out);
        std::fputs("\"filename\" is a full name of DKS script\n", out);
        common::noteOptions(diagnostics, {"--output FILE (or -o FILE): the VKM file to write, instead of beside the script",
                                          "--depfile FILE: after a successful run, a Make-syntax list of the files read",
                                          "--lenient: defaults, each with a warning, for what an export leaves out",
                                          "--threads N: large exports read and meshes converted on N threads "
                                          "(default: one per core, at most 8)"});
        return 0;
    }
    const std::string scriptName = argv[1];
    const std::string outputName = files.output.empty() ? common::makeOutputName(scriptName, "vkm") : files.output;
    if (common::sameFile(scriptName, outputName))
        refuse("Output file " + outputName + " would replace the script!", scriptName);
    const std::string& depfileName = files.depfile;
    if (!depfileName.empty() && common::sameFile(scriptName, depfileName))
        refuse("Depfile " + depfileName + " would replace the script!", scriptName);
    if (!depfileName.empty() && common::sameFile(outputName, depfileName))
        refuse("Depfile " + depfileName + " would replace the output!", scriptName);

    std::fprintf(out, "Loading DKS %s...\n", scriptName.c_str());
    ModelDefinition definition;
    sceneread::TextParser script = sceneread::TextParser::openFile(scriptName);
    // A lenient read goes back in a block, so it holds each export whole.
    // With more than one thread a large export is read ahead while it is parsed.
    const sceneread::TextOpener opener = options.lenient ? sceneread::TextParser::readFile
                                         : threads > 1   ? sceneread::TextParser::openFileReadingAhead
                                                         : sceneread::TextParser::openFile;
    loadModelScript(definition, script, scriptName, opener, out, options);
    for (size_t lod = 0; lod < definition.sceneFiles.size(); ++lod) {
        const std::string& aseName = definition.sceneFiles[lod];
        const bool overOutput = common::sameFile(aseName, outputName);
        if (!overOutput && (depfileName.empty() || !common::sameFile(aseName, depfileName))) continue;
        common::InputError error((overOutput ? "Output file " + outputName : "Depfile " + depfileName) +
                                 " would replace the ASE file " + aseName + "!");
        error.file = scriptName;
        error.diagnosticLine = definition.sceneLines[lod];
        error.notes.push_back({"name another output, or give the LOD another ASE file"});
        throw error;
    }
    std::fputs("Loading complete.\n", out);
    std::fputs("Converting...\n", out);
    ConvertedModel model;
    convertConsuming(definition, model, out, diagnostics, threads);
    std::fputs("Converting complete.\n", out);
    std::fprintf(out, "Saving into VKM %s...\n", outputName.c_str());
    try {
        model.save(outputName);
    } catch (common::InputError& error) {
        error.file = outputName;
        throw;
    }
    if (!depfileName.empty()) {
        std::vector<std::string> inputs{scriptName};
        inputs.insert(inputs.end(), definition.sceneFiles.begin(), definition.sceneFiles.end());
        if (const std::string failure = common::replaceFile(depfileName, common::depfileText(outputName, inputs));
            !failure.empty()) {
            common::InputError error("Can't write depfile: " + depfileName + "!", -1, common::ErrorKind::CannotWrite);
            error.file = depfileName;
            error.notes.push_back({failure});
            throw error;
        }
    }
    std::fputs("Saving complete.\n", out);
    return 0;
}

}  // namespace modelconv
