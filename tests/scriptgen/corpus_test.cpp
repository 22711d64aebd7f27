// Runs the tool over real exports and reads each script back the way the
// converter's reader walks it: every keyword line where it must be, every
// element's node present in the export.
#include "scriptgen/generator.h"
#include "scriptgen/script_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_loader.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempDir;

constexpr int kLods = 3;

std::vector<fs::path> corpusExports() {
    std::vector<fs::path> exports;
    for (const fs::directory_entry& entry : fs::directory_iterator(PIPELINE_CORPUS_DIR)) {
        std::string extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (entry.is_regular_file() && extension == ".ase") exports.push_back(entry.path());
    }
    std::sort(exports.begin(), exports.end());
    return exports;
}

// Splits a text whose every line ends with CR LF; fails on any other line end.
std::vector<std::string> crLfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line not ended by CR LF";
            break;
        }
        lines.push_back(text.substr(start, end - start));
        EXPECT_EQ(std::string::npos, lines.back().find_first_of("\r\n")) << "stray line end in line " << lines.size();
        start = end + 2;
    }
    return lines;
}

// Checks one script; returns its element count.
size_t checkScript(const std::vector<std::string>& lines, const std::string& aseName, const std::string& ase) {
    size_t at = 0;
    auto next = [&]() -> std::string { return at < lines.size() ? lines[at++] : std::string("<end of script>"); };
    EXPECT_EQ("2", next());
    EXPECT_EQ("DKS  2.0", next());
    EXPECT_EQ("MODEL " + fs::path(aseName).stem().string(), next());
    EXPECT_EQ("", next());
    EXPECT_EQ("RADIUS 10", next());
    EXPECT_EQ("", next());
    EXPECT_EQ("LODS " + std::to_string(kLods), next());
    for (int i = 0; i < kLods; ++i) EXPECT_EQ("LOD" + std::to_string(i) + " " + aseName + "\t0", next());
    EXPECT_EQ("", next());
    const std::string count = next();
    EXPECT_TRUE(count.starts_with("ELEMENTS ")) << count;
    const size_t elements = std::stoul(count.substr(count.find(' ') + 1));
    for (size_t e = 0; e < elements && at < lines.size(); ++e) {
        EXPECT_EQ("", next()) << "element " << e;
        const std::string kind = next();
        const std::string name = next();
        if (!name.starts_with("NAME ")) {
            ADD_FAILURE() << "element " << e << ": " << name;
            break;
        }
        const std::string node = name.substr(5);
        if (kind == "ELEMENT MESH") {
            for (int i = 0; i < kLods; ++i) EXPECT_EQ("LOD" + std::to_string(i) + " " + node, next());
        } else {
            EXPECT_TRUE(kind == "ELEMENT CAMERA" || kind == "ELEMENT OMNILIGHT") << kind;
            EXPECT_EQ("DEFINITION " + node, next());
        }
        EXPECT_TRUE(next().starts_with("PARENT ")) << "element " << node;
        EXPECT_NE(std::string::npos, ase.find("*NODE_NAME \"" + node + "\"")) << node << " is no node of the export";
    }
    EXPECT_EQ(lines.size(), at) << "lines after the last element";
    return elements;
}

TEST(CorpusScripts, DeclareEveryElementCompletelyForEachExport) {
    if (!fs::is_directory(PIPELINE_CORPUS_DIR)) GTEST_SKIP() << PIPELINE_CORPUS_DIR << " is absent";
    const std::vector<fs::path> exports = corpusExports();
    ASSERT_FALSE(exports.empty());
    size_t total = 0;
    for (const fs::path& original : exports) {
        SCOPED_TRACE(original.filename().string());
        // The exports are read in place; only the script goes to a folder of ours.
        TempDir dir;
        const std::string aseName = dir.file(original.filename().string());
        fs::create_symlink(original, aseName);
        const std::string lods = "/L:" + std::to_string(kLods);
        const char* argv[] = {"SCENE2DKS", aseName.c_str(), lods.c_str()};
        std::FILE* console = std::tmpfile();
        ASSERT_NE(nullptr, console);
        EXPECT_EQ(0, scriptgen::run(3, argv, console));
        EXPECT_EQ(0L, std::ftell(console)) << "a successful run prints nothing";
        std::fclose(console);
        const std::string script = readFile(scriptgen::scriptNameFor(aseName));
        // A UTF-16 export's names are those of its 8-bit text.
        total += checkScript(crLfLines(script), aseName, common::loadTextFile(original.string()).bytes);
    }
    EXPECT_GT(total, 0u);
}

}  // namespace
