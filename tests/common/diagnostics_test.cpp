#include "common/diagnostics.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/test_support.h"

namespace {

TEST(Diagnostics, PrintsTheCompilersFormAndJsonLinesAndSilencesOnlyWarnings) {
    testsupport::CapturedOutput text, json, quiet;
    common::Diagnostics plain(text.file());
    common::InputError error("No material assigned!", 316);
    error.file = "a b.ase";
    error.notes.push_back({"assign a material to Box01 in the exporter"});
    error.notes.push_back({"its block starts here", 300});
    plain.error(error);
    plain.warning("s.dks", -1, "Hull", "PARENT Hul names no element");
    plain.report({common::Severity::Error, {}, -1, "out of memory", {}});
    EXPECT_EQ("a b.ase:316: error: No material assigned!\n"
              "a b.ase:316: note: assign a material to Box01 in the exporter\n"
              "a b.ase:300: note: its block starts here\n"
              "s.dks: warning: PARENT Hul names no element\n"
              "error: out of memory\n",
              text.text());
    EXPECT_EQ(1u, plain.warningCount());

    std::vector<const char*> arguments = {"TOOL", "--diagnostics=json", "x", "--no-warnings", "-v"};
    common::Diagnostics lines(json.file());
    lines.takeOptions(arguments);
    EXPECT_EQ((std::vector<const char*>{"TOOL", "x", "-v"}), arguments);
    lines.setWarnings(true);
    lines.warning("M\xE9tal \"1\".ase", 7, "Caf\xC3\xA9", "tab\there");
    lines.setWarnings(false);
    lines.warning("x.ase", 8, {}, "silenced");
    lines.error(error);
    EXPECT_EQ("{\"file\":\"M\xC3\xA9tal \\\"1\\\".ase\",\"line\":7,\"severity\":\"warning\",\"message\":\"tab\\u0009here\","
              "\"object\":\"Caf\xC3\xA9\"}\n"
              "{\"file\":\"a b.ase\",\"line\":316,\"severity\":\"error\",\"message\":\"No material assigned!\",\"object\":null}\n"
              "{\"file\":\"a b.ase\",\"line\":316,\"severity\":\"note\",\"message\":\"assign a material to Box01 in the "
              "exporter\",\"object\":null}\n"
              "{\"file\":\"a b.ase\",\"line\":300,\"severity\":\"note\",\"message\":\"its block starts here\",\"object\":null}\n",
              json.text());
}

}  // namespace
