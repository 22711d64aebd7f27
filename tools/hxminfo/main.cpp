// hxminfo: validates an HXM collision file and prints its brushes.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/hxminfo/hxm_reader.h"
#include "tools/hxminfo/hxm_report.h"

namespace {

constexpr int kExitMalformed = 1;
constexpr int kExitUsage = 2;

int usage() {
    std::fputs("Usage: hxminfo [--verbose] [--json] <file.hxm>\n", stderr);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    bool verbose = false, json = false;
    std::string fileName;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--verbose") == 0 || std::strcmp(argv[i], "-v") == 0)
            verbose = true;
        else if (std::strcmp(argv[i], "--json") == 0)
            json = true;
        else if (argv[i][0] == '-' || !fileName.empty())
            return usage();
        else
            fileName = argv[i];
    }
    if (fileName.empty()) return usage();

    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "hxminfo: %s: cannot open the file\n", fileName.c_str());
        return kExitMalformed;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        std::fprintf(stderr, "hxminfo: %s: cannot read the file\n", fileName.c_str());
        return kExitMalformed;
    }
    try {
        const hxminfo::HxmFile file = hxminfo::readHxm(bytes, common::FloatValues::FiniteOnly);
        const std::string text = json ? hxminfo::describeJson(file, fileName, verbose)
                                      : hxminfo::describeText(file, fileName, verbose);
        std::fwrite(text.data(), 1, text.size(), stdout);
    } catch (const hxminfo::HxmError& error) {
        std::fprintf(stderr, "hxminfo: %s: malformed HXM file at offset %zu: %s\n", fileName.c_str(), error.offset,
                     error.what());
        return kExitMalformed;
    }
    return std::fflush(stdout) == 0 ? 0 : kExitMalformed;
}
