#include <gtest/gtest.h>

#include <filesystem>
#include <span>

#include "common/diagnostics.h"
#include "common/input_error.h"
#include "lod/driver.h"
#include "modelconv/driver.h"
#include "tests/lod/grid_export.h"
#include "tests/test_support.h"
#include "modelfile/vkm.h"

namespace {

namespace fs = std::filesystem;

struct CommandLine {
    std::vector<const char*> arguments;
    std::string reason;  // empty: accepted
};

class ParseOptions : public ::testing::TestWithParam<CommandLine> {};

TEST_P(ParseOptions, AcceptsOrTellsWhy) {
    lod::UsageError error;
    const auto options = lod::parseOptions(GetParam().arguments, error);
    EXPECT_EQ(GetParam().reason.empty(), options.has_value());
    EXPECT_EQ(GetParam().reason, error.reason);
}

INSTANTIATE_TEST_SUITE_P(Table, ParseOptions, ::testing::Values(
    CommandLine{{"a.ase", "--ratio", "0.5"}, ""},
    CommandLine{{"--ratio=1", "a.ase", "--error", "0.01", "--output", "b.ase"}, ""},
    CommandLine{{"a.ase", "--lods", "0.5,0.25,0.1"}, ""},
    CommandLine{{"a.ase"}, "give --ratio or --lods"},
    CommandLine{{"--ratio", "0.5"}, "no input file"},
    CommandLine{{"a.ase", "b.ase", "--ratio", "0.5"}, "more than one input file"},
    CommandLine{{"a.ase", "--ratio", "0.5", "--lods", "0.5"}, "give one --ratio or one --lods"},
    CommandLine{{"a.ase", "--ratio", "0"}, "a ratio is a number above 0 and at most 1: 0"},
    CommandLine{{"a.ase", "--ratio", "1.5"}, "a ratio is a number above 0 and at most 1: 1.5"},
    CommandLine{{"a.ase", "--ratio", "0.5x"}, "a ratio is a number above 0 and at most 1: 0.5x"},
    CommandLine{{"a.ase", "--lods", "0.5,,0.2"}, "a ratio is a number above 0 and at most 1: "},
    CommandLine{{"a.ase", "--lods", "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1"},
                "DKS2VKM reads at most 16 LODs: give at most 15 ratios"},
    CommandLine{{"a.ase", "--ratio", "0.5", "--error", "-1"}, "--error needs a number of at least 0: -1"},
    CommandLine{{"a.ase", "--ratio", "0.5", "--error", "nan"}, "--error needs a number of at least 0: nan"},
    CommandLine{{"a.ase", "--ratio"}, "--ratio needs a value"},
    CommandLine{{"a.ase", "--ratio", "0.5", "--verbose", "1"}, "unknown option --verbose"}));

TEST(OutputNames, FollowTheInputUnlessNamed) {
    const struct {
        lod::Options options;
        std::vector<std::string> names;
    } cases[] = {
        {{"dir.v2/ship.ase", {0.5}, false, {}, ""}, {"dir.v2/ship_lod.ase"}},
        {{"dir.v2/ship", {0.5}, false, {}, ""}, {"dir.v2/ship_lod.ase"}},
        {{"ship.ase", {0.5}, false, {}, "far.ase"}, {"far.ase"}},
        {{"ship.ase", {0.5, 0.25}, true, {}, ""}, {"ship_lod1.ase", "ship_lod2.ase", "ship.dks"}},
        {{"ship.ase", {0.5}, true, {}, "out/lods.dks"}, {"out/lods_lod1.ase", "out/lods.dks"}},
    };
    for (const auto& c : cases) EXPECT_EQ(c.names, lod::outputNames(c.options)) << c.options.input;
}

class InDirectory {
public:
    explicit InDirectory(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~InDirectory() { fs::current_path(old_); }

private:
    fs::path old_;
};

int runLod(std::vector<const char*> arguments, std::string* out = nullptr, std::string* err = nullptr) {
    arguments.insert(arguments.begin(), "aselod");
    testsupport::CapturedOutput o, e;
    const int status = lod::run(static_cast<int>(arguments.size()), arguments.data(), o.file(), e.file());
    if (out) *out = o.text();
    if (err) *err = e.text();
    return status;
}

TEST(Run, BadArgumentsPrintTheReasonAndTheUsageAndExitWithTwo) {
    std::string out, err;
    EXPECT_EQ(lod::kExitUsage, runLod({"a.ase"}, &out, &err));
    EXPECT_EQ("", out);
    EXPECT_TRUE(err.starts_with("aselod: give --ratio or --lods\nusage: aselod <in.ase> --ratio R")) << err;
}

TEST(Run, BadInputIsAnInputErrorThatNamesFileAndLine) {
    testsupport::TempDir dir;
    InDirectory in(dir.path());
    dir.write("camera.ase", "*3DSMAX_ASCIIEXPORT\t200\n*CAMERAOBJECT {\n\t*NODE_NAME \"Cam\"\n}\n");
    dir.write("lod.ase", "");
    fs::create_directory(dir.path() / "folder.ase");
    dir.write("alias_lod1.ase", "");
    fs::create_symlink("alias_lod1.ase", dir.path() / "alias.dks");
    const struct {
        std::vector<const char*> arguments;
        std::string diagnostic;
    } cases[] = {
        {{"missing.ase", "--ratio", "0.5"}, "missing.ase: error: Can't read missing.ase: it cannot be opened\n"},
        {{"folder.ase", "--ratio", "0.5"},
         "folder.ase: error: Can't read folder.ase: it is a directory or device, not a file\n"},
        {{"camera.ase", "--ratio", "0.5"},
         "camera.ase:4: error: no mesh in the file: it holds no *GEOMOBJECT with a *MESH block\n"},
        {{"lod.ase", "--ratio", "0.5", "--output", "./lod.ase"},
         "lod.ase: error: Output file ./lod.ase would replace the input\n"},
        {{"camera.ase", "--lods", "0.5", "--output", "alias.dks"},
         "camera.ase: error: Output file alias.dks is named twice\n"},
    };
    for (const auto& c : cases) {
        testsupport::CapturedOutput channel;
        common::Diagnostics diagnostics(channel.file());
        try {
            runLod(c.arguments);
            ADD_FAILURE() << "ran " << c.arguments[0];
        } catch (const common::InputError& error) {
            diagnostics.error(error);
        }
        EXPECT_EQ(c.diagnostic, channel.text());
    }
    EXPECT_EQ("", testsupport::readFile("lod.ase"));
}

// aselod --lods, then DKS2VKM on the script it wrote: every mesh element has
// geometry in every LOD, and the generated mesh loses triangles LOD by LOD.
TEST(Run, LodsConvertWithDksToVkmAsLodsOfTheOriginal) {
    const struct {
        std::string file, text;
        size_t elements;
    } models[] = {
        {"vehicle.ase", testsupport::readFile(PIPELINE_SOURCE_DIR "/examples/vehicle.ase"), 5},
        {"grid.ase", testlod::gridExport({}), 1},
    };
    for (const auto& model : models) {
        testsupport::TempDir dir;
        InDirectory in(dir.path());
        dir.write(model.file, model.text);
        std::string out;
        ASSERT_EQ(0, runLod({model.file.c_str(), "--lods", "0.5,0.25"}, &out)) << out;
        const std::string script = lod::outputNames({model.file, {0.5, 0.25}, true, {}, ""}).back();
        testsupport::CapturedOutput converted;
        const char* convert[] = {"DKS2VKM", script.c_str()};
        ASSERT_EQ(0, modelconv::run(2, convert, converted.file()));
        EXPECT_EQ(std::string::npos, converted.text().find("not found"));
        const std::string vkm = testsupport::readFile(fs::path(script).replace_extension("vkm").string());
        const modelfile::Model read =
            modelfile::readVkm(std::span(reinterpret_cast<const std::uint8_t*>(vkm.data()), vkm.size()));
        EXPECT_EQ(3u, read.lodCount);
        ASSERT_EQ(model.elements, read.elements.size());
        for (const modelfile::Element& e : read.elements) {
            size_t previous = SIZE_MAX;
            for (const modelfile::Lod& lod : e.lods) {
                size_t triangles = 0;
                for (const modelfile::Group& g : lod.groups) triangles += g.triangles.size();
                EXPECT_GT(triangles, 0u) << e.name;
                if (model.file == "grid.ase") {
                    EXPECT_LT(triangles, previous);
                }
                previous = triangles;
            }
        }
    }
}

}  // namespace
