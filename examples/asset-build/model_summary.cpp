// Reads each VKM or HXM file named on the command line through the pipeline's
// reading library and writes one line per file to the first argument.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "modelfile/hxm.h"
#include "modelfile/vkm.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: model_summary <summary.txt> <file.vkm|file.hxm>...\n", stderr);
        return 2;
    }
    std::ofstream summary(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const std::string name = argv[i];
        std::ifstream in(name, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        try {
            if (name.ends_with(".hxm"))
                summary << name << ": " << modelfile::readHxm(bytes).brushCount << " brushes\n";
            else {
                const modelfile::Model model = modelfile::readVkm(bytes);
                summary << name << ": " << model.elements.size() << " elements, " << model.lodCount << " LODs\n";
            }
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s: %s\n", name.c_str(), error.what());
            return 1;
        }
    }
    return summary.flush() ? 0 : 1;
}
