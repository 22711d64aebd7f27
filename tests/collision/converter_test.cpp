#include "collision/converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/input_error.h"
#include "tests/collision/ase_text.h"
#include "tests/test_support.h"

namespace {

const std::string kBanner =
    "ASE To HXM Converter\nVersion 1.21\nCopyright (c) the asset pipeline team. All rights reserved.\n"
    "This tool converts ASE files exported from 3D Studio Max\ninto ORNA collision model file (HXM).\n";

struct RunOutcome {
    int status = 0;
    std::string printed;
    std::string error;  // what() of a common::InputError, empty without one
    common::ErrorKind kind = common::ErrorKind::Content;
};

RunOutcome runTool(std::vector<std::string> args) {
    args.insert(args.begin(), "SCENE2HXM");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    testsupport::CapturedOutput out;
    RunOutcome r;
    try {
        r.status = collision::run(static_cast<int>(argv.size()), argv.data(), out.file());
    } catch (const common::InputError& e) {
        r.status = -2;
        r.error = e.what();
        r.kind = e.kind;
    }
    r.printed = out.text();
    return r;
}

std::vector<std::string> filesIn(const testsupport::TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Run, PrintsTheUsageWithoutAFileName) {
    const RunOutcome r = runTool({});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.printed, kBanner +
                             "\nUsage: SCENE2HXM <filename> [version] [-v]\n  <filename>\t- full name of ASE file\n"
                             "  <version>\t- version of HXM file (in HEX)\n  -v\t\t- verbose output\n");
}

TEST(Run, ReportsAMissingFileAndAFileWithoutMeshesWithoutWritingAnything) {
    testsupport::TempDir dir;
    RunOutcome r = runTool({dir.file("missing.ase")});
    EXPECT_EQ(r.status, -2);
    EXPECT_EQ(r.printed, kBanner);
    EXPECT_EQ(r.kind, common::ErrorKind::CannotOpen);
    dir.write("empty.ase", "*3DSMAX_ASCIIEXPORT\t200\n*CAMERAOBJECT {\n}\n");
    r = runTool({dir.file("empty.ase")});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.printed, kBanner + "No meshes in file!\n");
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"empty.ase"});
}

TEST(Run, WritesNothingAndKeepsAnOldOutputWhenAnyBrushFails) {
    testsupport::TempDir dir;
    asetext::Mesh bad = asetext::box("Bent", {0, 0, 0}, {1, 1, 1});
    bad.vertices[7] = {1, 1, -20000};  // 20000 units in front of the bottom's plane
    dir.write("scene.ase", asetext::sceneText({asetext::box("Good", {0, 0, 0}, {1, 1, 1}), bad}));
    dir.write("scene.hxm", "old");
    const RunOutcome r = runTool({dir.file("scene.ase"), "-v"});
    EXPECT_EQ(r.status, -2);
    EXPECT_EQ(r.error, "Brush Bent is non-convex!");
    EXPECT_NE(r.printed.find("***** ERROR *****\nConvex check failed: plane=0, vertex=7, diff=20000.000000\n"),
              std::string::npos);
    EXPECT_EQ(testsupport::readFile(dir.file("scene.hxm")), "old");
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"scene.ase", "scene.hxm"}));
}

TEST(Run, RefusesToWriteOverItsInputOrIntoSomethingUnwritable) {
    testsupport::TempDir dir;
    const std::string box = asetext::sceneText({asetext::box("Box", {0, 0, 0}, {1, 1, 1})});
    dir.write("box.hxm", box);
    RunOutcome r = runTool({dir.file("box.hxm")});
    EXPECT_EQ(r.error, "Output file " + dir.file("box.hxm") + " would replace the input!");
    EXPECT_EQ(r.printed, kBanner);
    EXPECT_EQ(testsupport::readFile(dir.file("box.hxm")), box);

    dir.write("dir.ase", box);
    std::filesystem::create_directory(dir.file("dir.hxm"));
    r = runTool({dir.file("dir.ase")});
    EXPECT_EQ(r.error, "Can't write HXM: " + dir.file("dir.hxm"));
    EXPECT_EQ(r.printed.find("Done."), std::string::npos);
}

TEST(Run, ReadsTheVersionAsHexAndTakesVerboseFromAnyLaterArgument) {
    const char* strings[] = {"101", "0x200", "0X1ff", "200", " 7fffffff", "-1", "+a", "ffffffff", "123456789",
                             "fffffffffffffffffffff", "-v", "v", "", "0x", "g1", "1g", "-0x10", "0xG"};
    for (const char* s : strings) {
        unsigned int expected = 0x200;
        std::sscanf(s, "%X", &expected);
        const char* argv[] = {"SCENE2HXM", "x.ase", s};
        EXPECT_EQ(static_cast<unsigned int>(collision::parseSettings(3, argv).version), expected) << s;
    }
    const char* late[] = {"SCENE2HXM", "x.ase", "101", "extra", "-Verbose"};
    EXPECT_TRUE(collision::parseSettings(5, late).verbose);
    EXPECT_EQ(collision::parseSettings(5, late).version, 0x101);
    const char* first[] = {"SCENE2HXM", "-v", "101"};
    EXPECT_FALSE(collision::parseSettings(3, first).verbose);
    const char* plain[] = {"SCENE2HXM", "x.ase"};
    EXPECT_EQ(collision::parseSettings(2, plain).version, 0x200);
}

std::vector<std::uint8_t> convert(const std::string& text, collision::Settings settings, std::string* printed) {
    collision::AseLineReader reader(text);
    testsupport::CapturedOutput out;
    auto bytes = collision::convertScene(reader, settings, out.file());
    *printed = out.text();
    return bytes.value_or(std::vector<std::uint8_t>{});
}

TEST(ConvertScene, GivesIdenticalFilesForCrLfAndLfLineEnds) {
    asetext::Mesh turned = asetext::box("Long name with a very long tail that runs far beyond sixty-four bytes",
                                        {-1, -2, -3}, {4, 5, 6});
    turned.frame = {{{0.6, 0.8, 0}, {-0.8, 0.6, 0}, {0, 0, 1}, {1.5, 2.5, -3.25}}};
    const std::string lf = asetext::sceneText({asetext::box("A", {0, 0, 0}, {1, 1, 1}), turned});
    for (const std::int32_t version : {0x200, 0x101, 0x100}) {
        std::string lfPrinted, crlfPrinted;
        const auto fromLf = convert(lf, {version, true}, &lfPrinted);
        const auto fromCrLf = convert(testsupport::withCrLf(lf), {version, true}, &crlfPrinted);
        EXPECT_EQ(fromLf, fromCrLf);
        EXPECT_EQ(lfPrinted, crlfPrinted);
        EXPECT_EQ(fromLf.size(), version == 0x200 ? 32u + 2 * 448 : version == 0x101 ? 32u + 2 * 400 : 32u);
        EXPECT_NE(lfPrinted.find("Processing 2 mesh(es) in file...\nMesh: A\n Vertices: 8\n"), std::string::npos);
        EXPECT_NE(lfPrinted.find("Mesh: Long\n"), std::string::npos);
    }
}

}  // namespace
