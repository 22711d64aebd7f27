#include "scriptgen/generator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "common/input_error.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using scriptgen::Options;
using testsupport::TempDir;
constexpr auto contents = testsupport::readFile;

using Console = testsupport::CapturedOutput;

TEST(LodOption, AcceptsOnlyASignedDecimalNumberThatFillsTheText) {
    const std::vector<std::pair<std::string, std::optional<int>>> cases = {
        {"3", 3},          {"+3", 3},          {"-2", -2},        {"007", 7},
        {"2147483647", 2147483647},            {"-2147483648", -2147483647 - 1},
        {"", std::nullopt}, {"+", std::nullopt}, {"-", std::nullopt}, {"+-3", std::nullopt},
        {"--3", std::nullopt}, {" 3", std::nullopt}, {"3 ", std::nullopt}, {"3X", std::nullopt},
        {"0X10", std::nullopt}, {"1E2", std::nullopt}, {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt}, {"99999999999999999999", std::nullopt},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(value, scriptgen::parseLodCount(text)) << '"' << text << '"';
}

Options optionsFrom(const std::vector<const char*>& parameters, Console& console) {
    return scriptgen::parseOptions(parameters, console.file());
}

TEST(CommandLineOptions, MatchTheirNamesInAnyLetterCaseAndIgnoreEverythingElse) {
    struct Case {
        std::vector<const char*> parameters;
        bool writeParents, gibNames;
        int lodCount;
    };
    const std::vector<Case> cases = {
        {{}, true, false, 1},
        {{"/gib"}, true, true, 1},
        {{"/Gib", "/NoParent"}, false, true, 1},
        {{"/GIB", "/noparent"}, false, true, 1},
        {{"/gibs", "/NOPARENTS"}, true, false, 1},
        {{"gib", "-gib"}, true, false, 1},
        {{"/l:3"}, true, false, 3},
        {{"/L:4", "/L:2"}, true, false, 2},
        {{"/L:0"}, true, false, 1},
        {{"/L:-2"}, true, false, 1},
        {{"/L:3", "/L:-2"}, true, false, 1},
    };
    for (const Case& c : cases) {
        Console console;
        const Options options = optionsFrom(c.parameters, console);
        const std::string what = ::testing::PrintToString(c.parameters);
        EXPECT_EQ(c.writeParents, options.writeParents) << what;
        EXPECT_EQ(c.gibNames, options.gibNames) << what;
        EXPECT_EQ(c.lodCount, options.lodCount) << what;
        EXPECT_EQ("", console.text()) << what;
    }
}

TEST(CommandLineOptions, ReportABadLodValueAndKeepTheCountSoFar) {
    Console console;
    const Options options = optionsFrom({"/L:5", "/l:x2", "/L:"}, console);
    EXPECT_EQ(5, options.lodCount);
    EXPECT_EQ("Oops. Something goes wrong:'X2' is not a valid integer value\r\n"
              "Oops. Something goes wrong:'' is not a valid integer value\r\n",
              console.text());
}

class Run : public ::testing::Test {
protected:
    // Runs the tool with `parameters` after the program name.
    int run(std::vector<const char*> parameters) {
        parameters.insert(parameters.begin(), "SCENE2DKS");
        common::Diagnostics diagnostics(diagnostics_.file());
        return scriptgen::run(static_cast<int>(parameters.size()), parameters.data(), console_.file(), diagnostics);
    }
    std::string printed() { return console_.text(); }

    TempDir dir_;
    Console console_;
    Console diagnostics_;
};

constexpr const char* kScene = "*GEOMOBJECT {\r\n\t*NODE_NAME \"Box01\"\r\n}\r\n";

TEST_F(Run, ReplacesAnExistingScriptWhole) {
    const std::string ase = dir_.file("scene.ase");
    std::ofstream(ase, std::ios::binary) << kScene;
    std::ofstream(dir_.file("scene.dks"), std::ios::binary) << std::string(5000, 'x');
    EXPECT_EQ(0, run({ase.c_str(), "/L:2"}));
    const std::string script = contents(dir_.file("scene.dks"));
    EXPECT_EQ(0u, script.find("2\r\nDKS  2.0\r\nMODEL scene\r\n"));
    EXPECT_NE(std::string::npos, script.find("\r\nLOD1 " + ase + "\t0\r\n"));
    EXPECT_TRUE(script.ends_with("LOD1 Box01\r\nPARENT NONE\r\n"));
    EXPECT_EQ("", printed());
}

TEST_F(Run, WritesNamesWithBlanksWholeAndWarnsAboutEach) {
    const std::string ase = dir_.file("scene.ase");
    std::ofstream(ase, std::ios::binary) << "*GEOMOBJECT {\n\t*NODE_NAME \"Box 00\"\n}\n*GEOMOBJECT {\n"
                                             "\t*NODE_NAME \"Box01\"\n}\n*GEOMOBJECT {\n\t*NODE_NAME \"Box\t02\"\n}\n";
    EXPECT_EQ(0, run({ase.c_str()}));
    EXPECT_NE(std::string::npos, contents(dir_.file("scene.dks")).find("\r\nNAME Box 00\r\nLOD0 Box 00\r\n"));
    EXPECT_EQ("", printed());
    const std::string tail = " holds a blank; DKS2VKM reads names as one word and refuses it\n";
    EXPECT_EQ(ase + ": warning: node name \"Box 00\"" + tail + ase + ": warning: node name \"Box\t02\"" + tail,
              diagnostics_.text());
}

TEST_F(Run, WarnsAboutMoreLodsThanTheConverterReads) {
    const std::string ase = dir_.file("scene.ase");
    std::ofstream(ase, std::ios::binary) << kScene;
    EXPECT_EQ(0, run({ase.c_str(), "/L:16"}));
    EXPECT_EQ("", diagnostics_.text());
    EXPECT_EQ(0, run({ase.c_str(), "/L:17"}));
    EXPECT_EQ(dir_.file("scene.dks") + ": warning: /L:17 asks for more LODs than DKS2VKM reads (at most 16); the "
                                       "script will not convert\n",
              diagnostics_.text());
}

TEST_F(Run, RefusesAScriptNameThatIsTheAseFileUnderAnotherName) {
    const std::string ase = dir_.file("scene.ase");
    std::ofstream(ase, std::ios::binary) << kScene;
    fs::create_symlink("scene.ase", dir_.file("scene.dks"));
    EXPECT_THROW(run({ase.c_str()}), common::InputError);
    EXPECT_EQ(kScene, contents(ase));
    EXPECT_TRUE(fs::is_symlink(dir_.file("scene.dks")));
}

TEST_F(Run, ReportsADirectoryAsAnUnopenableFile) {
    fs::create_directory(dir_.file("scene.ase"));
    try {
        run({dir_.file("scene.ase").c_str()});
        FAIL() << "no error";
    } catch (const common::InputError& error) {
        EXPECT_EQ("Error opening file " + dir_.file("scene.ase"), error.what());
    }
    EXPECT_FALSE(fs::exists(dir_.file("scene.dks")));
}

TEST_F(Run, ReportsAReadFailureInsteadOfWritingAShortScript) {
    // The process's own memory file opens but fails to read at offset 0.
    const char* unreadable = "/proc/self/mem";
    if (!std::ifstream(unreadable).is_open()) GTEST_SKIP() << unreadable << " cannot be opened here";
    try {
        run({unreadable});
        FAIL() << "no error";
    } catch (const common::InputError& error) {
        EXPECT_EQ(std::string("Error reading file ") + unreadable, error.what());
    }
    EXPECT_FALSE(fs::exists("/proc/self/mem.dks"));
}

}  // namespace
