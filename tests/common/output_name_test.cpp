#include "common/output_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(MakeOutputName, ReplacesTheLastExtensionOfTheFileNameOnly) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"scene.dks", "scene.vkm"},     {"scene.backup", "scene.vkm"},
        {"scene", "scene.vkm"},         {"..\\dir.2\\scene", "..\\dir.2\\scene.vkm"},
        {"dir.old/model", "dir.old/model.vkm"}, {"dir.old\\box", "dir.old\\box.vkm"},
        {"a.b.dks", "a.b.vkm"},         {"a.b.ASE", "a.b.vkm"},
        {"a.x", "a.vkm"},               {"scene.", "scene.vkm"},
        {".hidden", ".vkm"},            {"", ".vkm"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(out, common::makeOutputName(in, "vkm")) << in;
}

}  // namespace
