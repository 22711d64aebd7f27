// Runs a fuzz target's entry point once per file, for builds without
// libFuzzer (GCC, the normal test suite): replays committed corpora and the
// inputs of past findings. Arguments are files or directories.
//
//   replay_<target> [--mutate] [--lead BYTE] FILE_OR_DIR...
//
// --mutate runs, for every distinct file, each of its prefixes and the file
// with one byte changed at each position (spread evenly over the file when
// that would be more than kMaxMutations runs). --lead puts BYTE (decimal)
// before every input, for targets whose first byte picks options.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

constexpr size_t kMaxMutations = 20000;

void runOne(const std::string& lead, const std::string& bytes) {
    const std::string input = lead + bytes;
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

// The byte that replaces position `at`: in turn a bit flip and one of the
// bytes that end lines, blocks, names and numbers.
char changed(char original, size_t at) {
    static constexpr char kTokens[] = {'\0', '\n', '\r', '"', '}', '-', '9', ' ', 'A', '\xFF'};
    if (at % 2 == 0) return static_cast<char>(original ^ (1 << (at / 2 % 8)));
    const char token = kTokens[at / 2 % sizeof kTokens];
    return token == original ? static_cast<char>(original ^ 0x40) : token;
}

size_t mutate(const std::string& lead, const std::string& bytes) {
    const size_t stride = std::max<size_t>(1, (2 * bytes.size() + kMaxMutations - 1) / kMaxMutations);
    size_t runs = 0;
    for (size_t at = 0; at < bytes.size(); at += stride) {
        runOne(lead, bytes.substr(0, at));
        std::string flipped = bytes;
        flipped[at] = changed(bytes[at], at);
        runOne(lead, flipped);
        runs += 2;
    }
    return runs;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    bool mutating = false;
    std::string lead;
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--mutate") {
            mutating = true;
        } else if (arg == "--lead" && i + 1 < argc) {
            lead = std::string(1, static_cast<char>(std::stoi(argv[++i])));
        } else if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else if (std::filesystem::exists(arg)) {
            files.push_back(arg);
        }
    }
    std::sort(files.begin(), files.end());
    std::set<std::string> seen;
    size_t runs = 0;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!seen.insert(bytes).second) continue;
        runOne(lead, bytes);
        ++runs;
        if (mutating) runs += mutate(lead, bytes);
    }
    std::printf("ran %zu inputs from %zu distinct files\n", runs, seen.size());
    return 0;
}
