#include "sceneread/text_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/input_error.h"
#include "tests/test_support.h"

namespace {

using sceneread::TextParser;

struct Line {
    long number;
    std::string text;
    bool operator==(const Line&) const = default;
};

std::vector<Line> linesOf(TextParser& parser, bool quotesAsBlanks) {
    parser.setQuotesAsBlanks(quotesAsBlanks);
    std::vector<Line> lines;
    while (parser.readLine() == 0) lines.push_back({parser.lineNumber(), std::string(parser.currentLine())});
    EXPECT_EQ(1, parser.readLine());
    return lines;
}

std::vector<Line> allLines(const std::string& bytes, bool quotesAsBlanks = false) {
    TextParser parser = TextParser::overText(bytes);
    return linesOf(parser, quotesAsBlanks);
}

TEST(ReadLine, StreamsAFileAsItReadsTheSameTextInMemory) {
    // Longer than the streaming window and than a read-ahead file must be,
    // with line ends split across its edges.
    std::string text;
    for (int i = 0; text.size() < (5u << 20); ++i)
        text += std::string(static_cast<size_t>(i % 4000), 'a' + static_cast<char>(i % 26)) + (i % 3 ? "\r\n" : "\n");
    testsupport::TempDir dir;
    const std::string name = dir.write("f.txt", text);
    TextParser file = TextParser::openFile(name);
    TextParser ahead = TextParser::openFileReadingAhead(name);
    const std::vector<Line> expected = allLines(text);
    EXPECT_EQ(linesOf(file, false), expected);
    EXPECT_EQ(linesOf(ahead, false), expected);
}

TEST(ReadLine, CountsCrLfCrLfAndLfLfAsOneLineEndButCrCrAsTwo) {
    const std::vector<Line> expected = {{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}, {5, ""}, {6, "e"}, {7, "f"}};
    EXPECT_EQ(expected, allLines("a\r\nb\rc\nd\r\re\n\nf"));
    // A blank line between LF line ends is swallowed, so numbering differs from
    // the same text with CR LF ends once blank lines occur.
    EXPECT_EQ((std::vector<Line>{{1, "x"}, {2, "y"}}), allLines("x\n\ny\n"));
    EXPECT_EQ((std::vector<Line>{{1, "x"}, {2, ""}, {3, "y"}}), allLines("x\r\n\r\ny\r\n"));
}

TEST(ReadLine, ReadsTheLastLineWithoutLineEndAndCutsAtAnEmbeddedNul) {
    EXPECT_EQ((std::vector<Line>{{1, "first"}, {2, "last"}}), allLines("first\nlast"));
    EXPECT_EQ((std::vector<Line>{{1, "ab"}, {2, "next"}}), allLines(std::string("ab\0cd\nnext", 10)));
}

TEST(ReadLine, TurnsTabsIntoBlanksAndQuotesOnlyWhenAsked) {
    EXPECT_EQ("*NODE_NAME \"Box 01\"", allLines("*NODE_NAME\t\"Box 01\"")[0].text);
    EXPECT_EQ("*NODE_NAME  Box 01 ", allLines("*NODE_NAME\t\"Box 01\"", true)[0].text);
}

TEST(ReadLine, ReadsAUtf16FileAsItsEightBitText) {
    const std::string text = "*NODE_NAME \"M\xE9tal\"\r\n\r\n*TM_POS 1 2 3";
    std::string wide = "\xFF\xFE";
    for (char c : text) wide += {c, '\0'};
    testsupport::TempDir dir;
    TextParser file = TextParser::openFile(dir.write("wide.ase", wide));
    EXPECT_EQ(linesOf(file, false), allLines(text));
}

TEST(ReadLine, RejectsLinesLongerThan4095BytesWithTheirLineNumber) {
    const std::string fitting = "a\n" + std::string(4095, 'x') + "\n";
    TextParser fits = TextParser::overText(fitting);
    EXPECT_EQ(0, fits.readLine());
    EXPECT_EQ(0, fits.readLine());
    EXPECT_EQ(4095u, fits.currentLine().size());

    const std::string longer = "a\n" + std::string(4096, 'x') + "\nb\n";
    TextParser tooLong = TextParser::overText(longer);
    EXPECT_EQ(0, tooLong.readLine());
    try {
        tooLong.readLine();
        FAIL() << "no error";
    } catch (const common::InputError& e) {
        EXPECT_EQ(2, e.line);
        EXPECT_STREQ("Line too long (more than 4095 bytes)!", e.what());
    }
}

TEST(ReadLine, GivesMinusOneWhenNothingIsLoaded) {
    testsupport::TempDir dir;
    for (const std::string& name : {dir.file("missing"), dir.write("empty", ""), dir.path().string()}) {
        TextParser parser = TextParser::openFile(name);
        EXPECT_FALSE(parser.loaded()) << name;
        EXPECT_EQ(-1, parser.readLine());
        EXPECT_FALSE(parser.findValue("x"));
    }
}

TEST(ReadLine, ReadsAWriteProtectedFile) {
    testsupport::TempDir dir;
    const std::string name = dir.write("ro.txt", "LODS 1\n");
    std::filesystem::permissions(name, std::filesystem::perms::owner_read);
    TextParser parser = TextParser::openFile(name);
    EXPECT_TRUE(parser.loaded());
}

TEST(KeywordPosition, FindsSubstringsWithCaseButWholeLinesIgnoringCase) {
    EXPECT_EQ(0, sceneread::keywordPosition("*MESH_VERTEX_LIST {", "*MESH_VERTEX"));
    EXPECT_EQ(0, sceneread::keywordPosition("elements", "ELEMENTS"));
    EXPECT_EQ(-1, sceneread::keywordPosition("elements 3", "ELEMENTS"));
    EXPECT_EQ(0, sceneread::keywordPosition("ELEMENTS 3", "ELEMENT"));
    EXPECT_EQ(4, sceneread::keywordPosition("abc LOD10 x", "LOD1"));
    EXPECT_EQ(-1, sceneread::keywordPosition("LOD", "LODS"));
    EXPECT_EQ(0, sceneread::keywordPosition("anything", ""));
}

TEST(LineFunctions, SplitWordsAtBlanksOnly) {
    EXPECT_EQ("_LIST", *sceneread::wordAfter("*MESH_VERTEX_LIST {", "*MESH_VERTEX"));
    EXPECT_EQ("", *sceneread::wordAfter("x LODS", "LODS"));
    EXPECT_FALSE(sceneread::wordAfter("x", "LODS"));
    EXPECT_EQ("3  ", *sceneread::restAfter("LODS   3  ", "LODS"));
    EXPECT_EQ("3", *sceneread::wordAfter("LODS   3  ", "LODS"));
    EXPECT_EQ("b", sceneread::wordAt("  a   b  c ", 2));
    EXPECT_EQ("", sceneread::wordAt("  a   b  c ", 4));
    EXPECT_EQ(3u, sceneread::countWords("  a   b  c "));
    EXPECT_EQ(0u, sceneread::countWords("    "));
    EXPECT_TRUE(sceneread::closesBlock("  x }"));
    EXPECT_FALSE(sceneread::closesBlock("{"));
}

TEST(StripDirectory, KeepsThePartAfterTheLastBackslashAndDropsATrailingQuoteOnlyThen) {
    EXPECT_EQ("wall.tga", sceneread::stripDirectory("C:\\maps\\wall.tga\""));
    EXPECT_EQ("wall.tga\"", sceneread::stripDirectory("wall.tga\""));
    EXPECT_EQ("wall.tga ", sceneread::stripDirectory("C:\\maps\\wall.tga "));
    EXPECT_EQ("maps/wall.tga", sceneread::stripDirectory("maps/wall.tga"));
}

TEST(FindEntry, SkipsLineHoldingKeywordAloneAndIgnoresCaseOfFirstWord) {
    TextParser parser = TextParser::overText("*MATERIAL_COUNT\n*MATERIAL_COUNTS 3\n  *material_count 4\nx 5\n");
    auto entry = parser.findEntry("*MATERIAL_COUNT");
    ASSERT_TRUE(entry);
    EXPECT_EQ("4", *entry);
    EXPECT_EQ(3, parser.lineNumber());
    EXPECT_FALSE(parser.findEntry("*MATERIAL_COUNT"));
    EXPECT_EQ(4, parser.lineNumber());
}

TEST(FindValue, NeverLooksAtTheCurrentLineAgainAndStopsForGoodAtTheEnd) {
    TextParser parser = TextParser::overText("LODS 3  \nLODS 4\n");
    EXPECT_EQ("3  ", *parser.findValue("LODS"));
    EXPECT_EQ("4", *parser.findWord("LODS"));
    EXPECT_FALSE(parser.findValue("LODS"));
    EXPECT_EQ(2, parser.lineNumber());
    EXPECT_FALSE(parser.findWord("LODS"));
}

}  // namespace
