#include "common/depfile.h"

#include <gtest/gtest.h>

#include <string>

#include "common/input_error.h"

namespace {

TEST(DepfilePath, EscapesWhatMakeAndNinjaWouldReadAsSyntax) {
    const struct {
        std::string path, escaped;
    } cases[] = {
        {"ship.ase", "ship.ase"},
        {"my ship/a b.ase", "my\\ ship/a\\ b.ase"},
        {"tab\there", "tab\\\there"},
        {"#1.ase", "\\#1.ase"},
        {"$HOME/x$", "$$HOME/x$$"},
        {"dir\\name.ase", "dir\\name.ase"},
        {"a\\ b", "a\\\\\\ b"},
        {"a\\\\ b", "a\\\\\\\\\\ b"},
        {"dir\\", "dir\\\\"},
        {"c:/x.ase", "c:/x.ase"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.escaped, common::depfilePath(c.path)) << c.path;
    EXPECT_THROW(common::depfilePath("two\nlines"), common::InputError);
}

TEST(DepfileText, NamesTheTargetThenEachPrerequisiteOnce) {
    EXPECT_EQ("out\\ dir/ship.vkm: ship.dks a.ase b.ase\n",
              common::depfileText("out dir/ship.vkm", {"ship.dks", "a.ase", "b.ase", "a.ase"}));
    EXPECT_EQ("x.hxm: in\\\\ \n", common::depfileText("x.hxm", {"in\\"}));
}

}  // namespace
