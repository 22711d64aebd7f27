#include "scriptgen/generator.h"

#include <charconv>
#include <string>
#include <system_error>
#include <vector>

#include "common/ascii.h"
#include "common/atomic_file.h"
#include "common/dks_keywords.h"
#include "common/file_loader.h"
#include "common/input_error.h"
#include "common/output_options.h"
#include "scriptgen/scene_scan.h"
#include "scriptgen/script_text.h"

namespace scriptgen {

namespace {

constexpr std::string_view kUsage =
    "DKS Generator\r\n"
    "Version 1.6\r\n"
    "Copyright (c) the asset pipeline team. All rights reserved.\r\n"
    "This tool generates DKS script from ASE files, exported by 3D Studio MAX\r\n"
    "\r\n"
    "Usage:\r\n"
    "SCENE2DKS [filename] [/noparent] [/gib] [/L:Number of LODS]\r\n"
    "\tfilename - name of ASE file\r\n"
    "\t/noparent - do not write info about parent objects\r\n"
    "\t/gib - generate gib script\r\n"
    "\t/L:Number of LODS - number of LODS to generate\r\n";

constexpr std::string_view kLodPrefix = "/L:";

void print(std::FILE* out, std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); }

// `line` is the whole console line; `file` the file it concerns.
[[noreturn]] void fail(const std::string& line, const std::string& file,
                       common::ErrorKind kind = common::ErrorKind::Content) {
    common::InputError error(line, -1, kind);
    error.file = file;
    throw error;
}

// DKS2VKM reads a name as one word: "Box 01" would find the first node whose
// name reads "Box". The script is still written as the exporter named things.
void warnAboutBlanks(const std::string& aseName, const std::vector<Element>& elements,
                     common::Diagnostics& diagnostics) {
    for (const Element& element : elements) {
        const size_t blank = element.nodeName.find_first_of(" \t");
        if (blank == std::string::npos) continue;
        diagnostics.warning(aseName, -1, element.nodeName,
                            "node name \"" + element.nodeName +
                                "\" holds a blank; DKS2VKM reads names as one word and refuses it");
    }
}

}  // namespace

std::optional<int> parseLodCount(std::string_view text) {
    const char* first = text.data();
    const char* last = first + text.size();
    // from_chars takes a '-' but not a '+'; a second sign must still fail.
    if (first != last && *first == '+' && first + 1 != last && first[1] != '-') ++first;
    int value = 0;
    const auto [end, ec] = std::from_chars(first, last, value, 10);
    if (ec != std::errc() || end != last) return std::nullopt;
    return value;
}

Options parseOptions(std::span<const char* const> parameters, std::FILE* out) {
    Options options;
    for (const char* parameter : parameters) {
        const std::string upper = common::upperCased(parameter);
        if (upper == "/NOPARENT") options.writeParents = false;
        if (upper == "/GIB") options.gibNames = true;
        if (upper.starts_with(kLodPrefix)) {
            const std::string_view value = std::string_view(upper).substr(kLodPrefix.size());
            if (const std::optional<int> count = parseLodCount(value)) {
                options.lodCount = *count;
            } else {
                print(out, "Oops. Something goes wrong:'");
                print(out, value);
                print(out, "' is not a valid integer value\r\n");
            }
        }
    }
    if (options.lodCount < 1) options.lodCount = 1;
    return options;
}

int run(int argc, const char* const* argv, std::FILE* out, common::Diagnostics& diagnostics) {
    // "--output" and its value are no parameters: the usage rule and the
    // count written into the script see the command line without them.
    std::vector<const char*> arguments(argv, argv + argc);
    common::OutputOptions files;
    try {
        files = common::takeOutputOptions(arguments, false);
    } catch (const common::InputError& error) {
        fail(std::string("Error: ") + error.what(), {});
    }
    argc = static_cast<int>(arguments.size());
    argv = arguments.data();
    const int parameterCount = argc - 1;
    if (parameterCount < 1 || parameterCount > 3) {
        print(out, kUsage);
        common::noteOptions(diagnostics, {"--output FILE (or -o FILE): the DKS script to write, instead of beside the ASE file"});
        return 0;
    }
    const std::string aseName = argv[1];
    const common::LoadedFile scene = common::loadTextFile(aseName);
    if (scene.failure == common::LoadFailure::ReadFailed)
        fail("Error reading file " + aseName, aseName, common::ErrorKind::CannotOpen);
    if (!scene.ok()) fail("Error opening file " + aseName, aseName, common::ErrorKind::CannotOpen);
    const Options options = parseOptions(std::span(argv + 2, static_cast<size_t>(parameterCount - 1)), out);

    const std::string scriptName = files.output.empty() ? scriptNameFor(aseName) : files.output;
    if (common::sameFile(aseName, scriptName))
        fail("Error: the script " + scriptName + " would replace the ASE file", aseName);
    const std::vector<Element> elements = scanScene(scene.bytes, options.writeParents);
    warnAboutBlanks(aseName, elements, diagnostics);
    if (options.lodCount > common::dks::kMaxLods)
        diagnostics.warning(scriptName, -1, {},
                            "/L:" + std::to_string(options.lodCount) + " asks for more LODs than DKS2VKM reads (at most " +
                                std::to_string(common::dks::kMaxLods) + "); the script will not convert");

    const std::string text = buildScript({parameterCount, aseName, options.lodCount, options.gibNames}, elements);
    if (const std::string failure = common::replaceFile(scriptName, text); !failure.empty())
        fail("Error writing file " + scriptName + ": " + failure, scriptName, common::ErrorKind::CannotWrite);
    return 0;
}

}  // namespace scriptgen
