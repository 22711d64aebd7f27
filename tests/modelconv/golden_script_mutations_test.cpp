// Every golden DKS script, cut at every length and changed at every byte,
// read with the ASE files of its case from memory and converted: each run
// ends in a model the independent reader accepts or in an InputError.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "common/input_error.h"
#include "modelconv/convert.h"
#include "modelconv/model_script.h"
#include "tests/test_support.h"
#include "modelfile/vkm.h"

namespace fs = std::filesystem;

namespace {

void convertScript(const std::string& script, const std::map<std::string, std::string>& files, std::FILE* sink) {
    sceneread::TextParser parser = sceneread::TextParser::overText(script);
    try {
        modelconv::ModelDefinition definition;
        modelconv::loadModelScript(definition, parser, "model.dks", sceneread::textsInMemory(files), sink);
        modelconv::ConvertedModel model;
        modelconv::convert(definition, model, sink);
        modelfile::readVkm(model.bytes());
    } catch (const common::InputError&) {
    }
}

TEST(GoldenScripts, ConvertOrFailCleanlyWhenCutOrChangedAnywhere) {
    std::FILE* sink = std::fopen("/dev/null", "w");
    ASSERT_NE(nullptr, sink);
    size_t scripts = 0;
    for (const auto& entry : fs::recursive_directory_iterator(PIPELINE_SOURCE_DIR "/tests/golden/DKS2VKM")) {
        if (entry.path().extension() != ".dks" || entry.path().parent_path().filename() != "in") continue;
        std::map<std::string, std::string> files;
        for (const auto& file : fs::directory_iterator(entry.path().parent_path()))
            files[file.path().filename().string()] = testsupport::readFile(file.path().string());
        const std::string script = files[entry.path().filename().string()];
        SCOPED_TRACE(entry.path().string());
        for (size_t at = 0; at < script.size(); ++at) {
            convertScript(script.substr(0, at), files, sink);
            std::string changed = script;
            changed[at] = static_cast<char>(changed[at] ^ (at % 2 ? 0x20 : 0x01));
            convertScript(changed, files, sink);
        }
        ++scripts;
    }
    std::fclose(sink);
    EXPECT_GT(scripts, 0u);
}

}  // namespace
