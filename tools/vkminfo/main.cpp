// vkminfo [--verbose|-v] [--json] <file.vkm>
// Checks a VKM model file and prints what it holds. Exit status: 0 valid,
// 1 unreadable or malformed (message on standard error), 2 usage.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>

#include "common/file_loader.h"
#include "common/model_input.h"
#include "modelfile/vkm.h"
#include "tools/vkminfo/vkm_report.h"

int main(int argc, char** argv) {
    bool verbose = false, json = false;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--verbose" || arg == "-v") verbose = true;
        else if (arg == "--json") json = true;
        else if (file.empty() && !arg.empty() && arg[0] != '-') file = arg;
        else file.clear(), argc = 0;
    }
    if (file.empty()) {
        std::fputs("usage: vkminfo [--verbose|-v] [--json] <file.vkm>\n", stderr);
        return 2;
    }
    const common::LoadedFile loaded = common::loadFile(file, common::kMaxModelFileBytes);
    if (loaded.failure == common::LoadFailure::CannotOpen) {
        std::fprintf(stderr, "vkminfo: %s: cannot open\n", file.c_str());
        return 1;
    }
    if (!loaded.ok()) {
        std::fprintf(stderr, "vkminfo: %s: %s%s\n", file.c_str(), common::describe(loaded.failure),
                     common::loadFailureDetail(loaded).c_str());
        return 1;
    }
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(loaded.bytes.data()), loaded.bytes.size());
    try {
        const modelfile::Model model = modelfile::readVkm(bytes, common::FloatValues::FiniteOnly);
        if (json)
            vkminfo::printJson(stdout, model, verbose);
        else
            vkminfo::printText(stdout, model, verbose);
    } catch (const modelfile::VkmError& e) {
        std::fprintf(stderr, "vkminfo: %s: malformed VKM file at offset %zu: %s\n", file.c_str(), e.offset, e.what());
        return 1;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "vkminfo: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
