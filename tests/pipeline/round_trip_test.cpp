#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/output_name.h"
#include <vector>

#include "modelconv/convert.h"
#include "modelconv/driver.h"
#include "modelconv/model_script.h"
#include "common/input_error.h"
#include "scriptgen/generator.h"
#include "tests/test_support.h"
#include "modelfile/vkm.h"

namespace {

namespace fs = std::filesystem;

// Runs in `dir` (the ASE names in scripts are relative to the working
// directory) and restores the old working directory afterwards.
class InDirectory {
public:
    explicit InDirectory(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~InDirectory() { fs::current_path(old_); }

private:
    fs::path old_;
};

TEST(RoundTrip, TheExampleExportConvertsWithEveryElementFound) {
    testsupport::TempDir dir;
    dir.write("vehicle.ase", testsupport::readFile(PIPELINE_SOURCE_DIR "/examples/vehicle.ase"));
    InDirectory in(dir.path());
    testsupport::CapturedOutput generated;
    const char* generate[] = {"SCENE2DKS", "vehicle.ase", "/L:2"};
    ASSERT_EQ(0, scriptgen::run(3, generate, generated.file()));
    EXPECT_EQ("", generated.text());

    testsupport::CapturedOutput converted;
    const char* convert[] = {"DKS2VKM", "vehicle.dks"};
    ASSERT_EQ(0, modelconv::run(2, convert, converted.file()));
    EXPECT_EQ(std::string::npos, converted.text().find("not found"));
    const std::string vkm = testsupport::readFile("vehicle.vkm");
    const modelfile::Model model = modelfile::readVkm(std::span(reinterpret_cast<const std::uint8_t*>(vkm.data()), vkm.size()));
    ASSERT_EQ(5u, model.elements.size());
    EXPECT_EQ(2u, model.lodCount);
    for (const modelfile::Element& e : model.elements)
        for (const modelfile::Lod& lod : e.lods) EXPECT_FALSE(lod.vertices.empty()) << e.name;
    EXPECT_EQ(8u, model.materials.size());  // both LODs' materials
}

bool isScriptMessage(const std::string& message) {
    for (const char* m : {"LODS definition not found!", "LOD definition required!", "ELEMENTS definition not found!",
                          "ELEMENT definition required!", "NAME definition required!", "PARENT definition not found!",
                          "DEFINITION definition required!", "Wrong number!", "Too many LODs", "Unknown element kind"})
        if (message.find(m) != std::string::npos) return true;
    return false;
}

// For every real export the script SCENE2DKS writes reads without a script
// error. Loading or converting may still stop with an ASE or conversion
// message (an export whose mesh lacks a keyword the reader asks for loses the
// objects after it), but never with a script message or anything else.
TEST(RoundTrip, ScriptsWrittenForRealExportsReadWithoutScriptErrors) {
    const fs::path corpus = PIPELINE_CORPUS_DIR;
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    int files = 0, converted = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(corpus)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".ase" && ext != ".ASE") continue;
        ++files;
        testsupport::TempDir dir;
        const std::string name = entry.path().filename().string();
        dir.write(name, testsupport::readFile(entry.path().string()));
        InDirectory in(dir.path());
        testsupport::CapturedOutput out;
        const char* generate[] = {"SCENE2DKS", name.c_str()};
        ASSERT_EQ(0, scriptgen::run(2, generate, out.file())) << name;
        const std::string script = common::makeOutputName(name, "dks");
        modelconv::ModelDefinition definition;
        try {
            modelconv::loadModelScript(definition, script, out.file());
        } catch (const common::InputError& e) {
            EXPECT_FALSE(isScriptMessage(e.what())) << name << ": " << e.what();
            continue;
        }
        modelconv::ConvertedModel model;
        try {
            modelconv::convert(definition, model, out.file());
            ++converted;
        } catch (const common::InputError& e) {
            EXPECT_FALSE(isScriptMessage(e.what())) << name << ": " << e.what();
        }
    }
    EXPECT_GT(files, 0);
    std::printf("%d of %d exports converted\n", converted, files);
}

}  // namespace
