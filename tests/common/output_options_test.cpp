#include "common/output_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/input_error.h"

namespace {

TEST(TakeOutputOptions, RemovesTheOptionsWithTheirValuesAndKeepsTheRestInOrder) {
    const struct {
        std::vector<const char*> arguments;
        bool depfile;
        std::vector<std::string> kept;
        std::string output, depfileName;
    } cases[] = {
        {{"-o", "a.dks", "-o", "x.vkm"}, false, {"-o", "a.dks"}, "x.vkm", ""},
        {{"tool", "a.ase", "--output", "1.hxm", "101", "-o", "2.hxm", "-v"}, false, {"tool", "a.ase", "101", "-v"}, "2.hxm", ""},
        {{"tool", "--depfile", "d", "a.dks"}, false, {"tool", "--depfile", "d", "a.dks"}, "", ""},
        {{"tool", "--depfile", "d", "a.dks", "--output", "-o"}, true, {"tool", "a.dks"}, "-o", "d"},
        {{"tool", "./-o", "-O", "--output=x"}, true, {"tool", "./-o", "-O", "--output=x"}, "", ""},
    };
    for (const auto& c : cases) {
        std::vector<const char*> arguments = c.arguments;
        const common::OutputOptions options = common::takeOutputOptions(arguments, c.depfile);
        EXPECT_EQ(c.kept, std::vector<std::string>(arguments.begin(), arguments.end()));
        EXPECT_EQ(c.output, options.output);
        EXPECT_EQ(c.depfileName, options.depfile);
    }
}

TEST(TakeOutputOptions, RefusesAnOptionWithoutAFileName) {
    const struct {
        std::vector<const char*> arguments;
        std::string option;
    } cases[] = {{{"tool", "a.dks", "-o"}, "-o"}, {{"tool", "--output", "", "a.dks"}, "--output"},
                 {{"tool", "a.dks", "--depfile"}, "--depfile"}};
    for (const auto& c : cases) {
        std::vector<const char*> arguments = c.arguments;
        try {
            common::takeOutputOptions(arguments, true);
            ADD_FAILURE() << c.option;
        } catch (const common::InputError& error) {
            EXPECT_EQ("option " + c.option + " needs a file name", error.what());
        }
    }
}

}  // namespace
