// The public exports beside the project: every one either converts or stops
// with one of the tool's own messages, never anything else.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "collision/converter.h"
#include "common/input_error.h"
#include "tests/test_support.h"
#include "modelfile/hxm.h"

namespace {

const std::regex kDefinedMessages(
    "Error in ASE file! \\*[A-Z_0-9]+ expected!|"
    "Error in ASE file! Wrong numbers in \\*[A-Z_0-9]+ line!|"
    "Error in ASE file! Wrong \\*MESH_NUM(VERTEX|FACES) value!|"
    "Error in ASE file! Corner label missing in \\*MESH_FACE line!|"
    "Error in ASE file! Vertex index out of range in \\*MESH_FACE line!|"
    "Brush .* has more than 65535 (vertices|planes)!|"
    "Brush .* is non-convex!|"
    "Brush .* is too large for the HXM file!");

// "converted", "no meshes", or the error message.
std::string outcome(const std::string& text, collision::Settings settings) {
    collision::AseLineReader reader(text);
    testsupport::CapturedOutput out;
    try {
        const auto bytes = collision::convertScene(reader, settings, out.file());
        if (!bytes) return "no meshes";
        modelfile::readHxm(*bytes);  // what was written must read back
        return "converted";
    } catch (const common::InputError& e) {
        EXPECT_TRUE(std::regex_match(e.what(), kDefinedMessages)) << e.what();
        return e.what();
    }
}

TEST(Corpus, EveryExportConvertsOrStopsWithADefinedMessage) {
    const std::filesystem::path dir = PIPELINE_CORPUS_DIR;
    if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no corpus at " << dir;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".ase" && extension != ".ASE") continue;
        ++files;
        const std::string text = testsupport::readFile(entry.path().string());
        SCOPED_TRACE(entry.path().filename().string());
        const std::string first = outcome(text, {0x200, true});
        EXPECT_EQ(outcome(testsupport::withCrLf(text), {0x200, false}), first);
        outcome(text, {0x101, false});
        // Cut short anywhere, a file still ends in one of the defined outcomes.
        if (text.size() < 64 * 1024)
            for (size_t cut = 1; cut < 40; ++cut) outcome(text.substr(0, text.size() * cut / 40), {0x200, false});
    }
    EXPECT_GT(files, 0);
}

}  // namespace
