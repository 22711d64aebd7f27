#include "modelconv/driver.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "common/input_error.h"
#include "tests/test_support.h"

namespace {

const char kBanner[] = "DKS To VKM converter\nVersion 2.0\nCopyright (c) the asset pipeline team. All rights reserved.\n";

TEST(Run, PrintsBannerAndUsageWithoutArguments) {
    testsupport::CapturedOutput out;
    const char* argv[] = {"DKS2VKM"};
    EXPECT_EQ(0, modelconv::run(1, argv, out.file()));
    EXPECT_EQ(std::string(kBanner) +
                  "Command - line parameters:\nDKS2VKM [filename]\n\"filename\" is a full name of DKS script\n",
              out.text());
}

TEST(Run, RefusesAScriptThatAlreadyHasTheOutputNameBeforeReadingIt) {
    testsupport::TempDir dir;
    const std::string script = dir.write("x.vkm", "LODS 0\nELEMENTS 0\n");
    testsupport::CapturedOutput out;
    const char* argv[] = {"DKS2VKM", script.c_str()};
    try {
        modelconv::run(2, argv, out.file());
        FAIL();
    } catch (const common::InputError& e) {
        EXPECT_EQ(-1, e.line);
        EXPECT_EQ("Output file " + script + " would replace the script!", e.what());
    }
    EXPECT_EQ(kBanner, out.text());
    EXPECT_EQ("LODS 0\nELEMENTS 0\n", testsupport::readFile(script));
}

TEST(Run, RefusesToReplaceAnAseFileByNameOrByIdentity) {
    testsupport::TempDir dir;
    const std::string ase = "*MATERIAL_LIST {\n*MATERIAL_COUNT 0\n}\n";
    const std::string output = dir.write("model.vkm", ase);
    const std::string link = dir.file("link.ase");
    ASSERT_EQ(0, ::link(output.c_str(), link.c_str()));
    for (const std::string& lod : {output, link}) {
        const std::string script = dir.write("model.dks", "LODS 1\nLOD0 " + lod + "\nELEMENTS 0\n");
        testsupport::CapturedOutput out;
        const char* argv[] = {"DKS2VKM", script.c_str()};
        try {
            modelconv::run(2, argv, out.file());
            ADD_FAILURE() << lod;
        } catch (const common::InputError& e) {
            EXPECT_EQ("Output file " + output + " would replace the ASE file " + lod + "!", std::string(e.what()));
        }
        EXPECT_EQ(ase, testsupport::readFile(output));
    }
}

TEST(Run, UsesOnlyTheFirstArgumentAndPrintsItAsTyped) {
    testsupport::TempDir dir;
    const std::string script = dir.write("a.dks", "LODS 0\nELEMENTS 0\n");
    testsupport::CapturedOutput out;
    const char* argv[] = {"DKS2VKM", script.c_str(), "ignored", "also ignored"};
    EXPECT_EQ(0, modelconv::run(4, argv, out.file()));
    EXPECT_EQ(0u, out.text().find(std::string(kBanner) + "Loading DKS " + script + "...\nLoading complete.\n"));
}

}  // namespace
