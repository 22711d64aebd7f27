#include "collision/ase_line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/test_support.h"

namespace {

using collision::AseLineReader;

// Every line the reader hands out, with the line number it stood at.
std::vector<std::pair<long, std::string>> allLines(const std::string& text) {
    AseLineReader reader(text);
    std::vector<std::pair<long, std::string>> lines;
    while (reader.readLine()) lines.emplace_back(reader.lineNumber(), std::string(reader.line()));
    return lines;
}

TEST(LineReader, SplitsLinesIntoPiecesOf254BytesAsCLineInputDoes) {
    const std::string x253(253, 'x'), x254(254, 'x');
    // 253 characters and the line break fit one piece.
    EXPECT_EQ(allLines(x253 + "\n*B\n"), (std::vector<std::pair<long, std::string>>{{1, x253}, {2, "*B"}}));
    // 254 characters fill the piece; the bare line break after them is skipped but counted.
    EXPECT_EQ(allLines(x254 + "\n*B\n"), (std::vector<std::pair<long, std::string>>{{1, x254}, {3, "*B"}}));
    const std::string x600(600, 'x');
    EXPECT_EQ(allLines(x600 + "\n"), (std::vector<std::pair<long, std::string>>{
                                          {1, x600.substr(0, 254)}, {2, x600.substr(0, 254)}, {3, x600.substr(0, 92)}}));
    // A keyword cut by a piece boundary is not found; the line counter reaches the end.
    AseLineReader reader(std::string(250, ' ') + "*MESH_VERTEX 1\n");
    EXPECT_FALSE(reader.findValue("*MESH_VERTEX"));
    EXPECT_EQ(reader.lineNumber(), 2);
}

TEST(LineReader, SkipsEmptyAndCommentLinesButCountsThem) {
    const std::string text = "\n;comment *NODE_NAME Nope\n\n*NODE_NAME Box ; note\n*TM_POS 1 2 3;4\n;\n*END\n";
    EXPECT_EQ(allLines(text),
              (std::vector<std::pair<long, std::string>>{{4, "*NODE_NAME Box "}, {5, "*TM_POS 1 2 3"}, {7, "*END"}}));
    AseLineReader reader(text);
    EXPECT_EQ(reader.findWord("*NODE_NAME"), "Box");
    EXPECT_EQ(reader.lineNumber(), 4);
}

TEST(LineReader, TurnsTabsAndInnerQuotesIntoSpacesAndEndsAtAClosingQuote) {
    AseLineReader reader("*NODE_NAME \"Big Box\"\n*MATERIAL_NAME\t\"a\"b\"\n*NUM\t8\n*BITMAP \"x;y\"\n");
    EXPECT_EQ(reader.findWord("*NODE_NAME"), "Big");
    EXPECT_EQ(reader.line(), "*NODE_NAME  Big Box");
    EXPECT_EQ(reader.findValue("*MATERIAL_NAME"), "a b");
    EXPECT_EQ(reader.findValue("*NUM"), "8");
    // The comment rule applies inside quotes too.
    EXPECT_EQ(reader.findValue("*BITMAP"), "x");
    // A NUL byte ends the text of its piece.
    EXPECT_EQ(allLines(std::string("*A 1\0*B 2\n", 10)), (std::vector<std::pair<long, std::string>>{{1, "*A 1"}}));
}

TEST(LineReader, FindsKeywordsAnywhereInALineAlsoInsideLongerWords) {
    AseLineReader reader("*MESH_VERTEX_LIST {\n\t*MESH_VERTEXNORMAL 0 1 2 3\n*X\n");
    EXPECT_EQ(reader.findValue("*MESH_VERTEX"), "_LIST {");
    EXPECT_EQ(reader.findValue("*MESH_VERTEX"), "NORMAL 0 1 2 3");
    EXPECT_EQ(reader.findWord("*X"), "");
    EXPECT_FALSE(reader.findWord("*X"));
    EXPECT_EQ(reader.lineNumber(), 3);
}

TEST(LineReader, ReadsCrLfAndLfFilesAlikeWithTheSameLineNumbers) {
    const std::string lf = "*NODE_NAME \"Box\"\n\n;c\n*TM_POS 1 2 3\n" + std::string(253, 'y') + "\n" +
                           std::string(254, 'z') + "\n*MESH_NUMVERTEX 8\n*LAST \"q\"\n";
    const auto expected = allLines(lf);
    EXPECT_EQ(allLines(testsupport::withCrLf(lf)), expected);
    EXPECT_EQ(expected.front().second, "*NODE_NAME  Box");
    EXPECT_EQ(expected.back(), (std::pair<long, std::string>{9, "*LAST  q"}));
    // A CR that is not followed by a line break stays in the text.
    EXPECT_EQ(allLines("*A 1\r2\n"), (std::vector<std::pair<long, std::string>>{{1, "*A 1\r2"}}));
}

TEST(LineReader, RewindStartsOverWithTheLineCounterAtZero) {
    AseLineReader reader("*MESH_VERTEX_LIST\n*MESH_VERTEX_LIST\n");
    int count = 0;
    while (reader.findValue("*MESH_VERTEX_LIST")) ++count;
    EXPECT_EQ(count, 2);
    reader.rewind();
    EXPECT_EQ(reader.lineNumber(), 0);
    EXPECT_TRUE(reader.findValue("*MESH_VERTEX_LIST"));
    EXPECT_EQ(reader.lineNumber(), 1);
}


}  // namespace
