#include "sceneread/text_parser.h"

#include <gtest/gtest.h>

#include <array>
#include <iterator>
#include <optional>
#include <random>
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
    std::string_view words[3];
    sceneread::wordsFrom("*MESH_TFACE 7  12 13", 2, words);
    EXPECT_EQ("7 12 13", std::string(words[0]) + " " + std::string(words[1]) + " " + std::string(words[2]));
    sceneread::wordsFrom(" a b ", 2, words);  // past the last word: empty
    EXPECT_TRUE(words[0] == "b" && words[1].empty() && words[2].empty());
    EXPECT_TRUE(sceneread::startsObject("  *GEOMOBJECT {") && sceneread::startsObject("*HELPEROBJECT"));
    EXPECT_FALSE(sceneread::startsObject("*OBJECT") || sceneread::startsObject("x *GEOMOBJECT") ||
                 sceneread::startsObject("*GEOMOBJECTS"));
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

namespace {

// Every lookup answer, line number, crossing and error of a run of lookups.
std::string lookups(TextParser parser, bool fast, unsigned seed) {
    parser.setFastSkipping(fast);
    parser.setQuotesAsBlanks(seed % 2 == 0);
    const char* keywords[] = {"*MATERIAL_REF", "*MESH_VERTEX", "*NODE_NAME", "*MESH_NUMCVERTEX", "*TM_POS"};
    std::string log;
    std::mt19937 random(seed);
    try {
        parser.beginObject(false);
        for (int i = 0; i < 400; ++i) {
            const char* keyword = keywords[random() % std::size(keywords)];
            std::optional<std::string_view> found;
            switch (random() % 3) {
                case 0: found = parser.findEntry(keyword); break;
                case 1: found = parser.findValue(keyword); break;
                default: found = parser.findWord(keyword); break;
            }
            log += std::string(found.value_or("-")) + " @" + std::to_string(parser.lineNumber()) + "\n";
            if (!found) break;
        }
        if (auto crossing = parser.endObject()) {
            log += "crossed " + std::to_string(crossing->line) + " " + crossing->keyword;
            for (const auto& name : crossing->passedNames) log += " " + name.name + "@" + std::to_string(name.line);
        }
    } catch (const common::InputError& error) {
        log += std::string(error.what()) + " @" + std::to_string(error.line);
    }
    return log;
}

// Lines an export might hold, and some it should not.
std::string randomText(unsigned seed, size_t lines) {
    const char* pieces[] = {"\t\t\t*MESH_VERTEXNORMAL 0\t0.0000\t0.0000\t1.0000", "\t\t*MESH_FACENORMAL 3 0 0 1",
                            "\t*MATERIAL_REF 2", "*material_ref", "\t*Material_Ref 7 8", "x *MATERIAL_REF 3",
                            "\t\"*MATERIAL_REF 4", "*GEOMOBJECT {", "\t*CAMERAOBJECT {", "*NODE_NAME \"Box\"",
                            "\t\t\t*MESH_VERTEX 1 2 3 4", "*MESH_NUMCVERTEX 0", "  *TM_POS 1 2 3", "}", "",
                            "*MAT\0_REF 5", "OBJ ECT", "*OBJECTS", "*tm_pos 9", "\t*NODE_NAME Cone"};
    const char* ends[] = {"\n", "\n", "\n", "\r\n", "\r", "\n\n", "\r\r", "\n\r"};
    std::mt19937 random(seed);
    std::string text;
    for (size_t i = 0; i < lines; ++i) {
        const size_t pick = random() % std::size(pieces);
        text += pick == 15 ? std::string(pieces[pick], 10) : std::string(pieces[pick]);
        if (random() % 500 == 0) text += std::string(4000 + random() % 200, 'w');
        text += ends[random() % (seed % 3 == 0 ? 1 : std::size(ends))];
    }
    return text;
}

// Past the object's end, a line that starts with the keyword looked up is
// still one whose name the crossing records.
TEST(FastSkipping, RecordsTheNamesOfLinesThatAnswerALookupPastTheObjectsEnd) {
    for (const bool fast : {false, true}) {
        TextParser parser = TextParser::overText("*GEOMOBJECT {\n*NODE_NAME A\n*X 1\n\t*NODE_NAME B\n");
        parser.setFastSkipping(fast);
        parser.beginObject(false);
        EXPECT_EQ("A", *parser.findValue("*NODE_NAME"));
        EXPECT_EQ("B", *parser.findValue("*NODE_NAME"));
        const auto crossing = parser.endObject();
        ASSERT_TRUE(crossing.has_value());
        ASSERT_EQ(2u, crossing->passedNames.size()) << "fast " << fast;
        EXPECT_EQ("B", crossing->passedNames[1].name);
    }
}

TEST(FastSkipping, GivesEveryLookupTheAnswerLineNumberCrossingAndErrorOfReadingEachLine) {
    for (unsigned seed = 0; seed < 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string text = randomText(seed, 3000);
        EXPECT_EQ(lookups(TextParser::overText(text), false, seed), lookups(TextParser::overText(text), true, seed));
    }
    // A streamed file, whose window moves under the skipping.
    testsupport::TempDir dir;
    std::string text;
    while (text.size() < (size_t{3} << 20)) text += randomText(99, 1000);
    const std::string file = dir.write("big.ase", text + "\t*MATERIAL_REF 1\n");
    const std::string slow = lookups(TextParser::openFile(file), false, 8);
    EXPECT_EQ(slow, lookups(TextParser::openFile(file), true, 8));
    EXPECT_EQ(slow, lookups(TextParser::openFileReadingAhead(file), true, 8));
}

}  // namespace

namespace {

TEST(CornerLabelWords, FindsEachLabelWhereWordAfterFindsIt) {
    const char* tokens[] = {"A:", "B:", "C:", "AB:", "BC:", "CA:", "a:", "ab:", "CAB:", "ABC:", "BCA:", ":",
                            "0:", "  ", " ", "7", "12", "x", "A", "B", "C", "*MESH_MTLID", "AB", ":C:"};
    std::mt19937 random(5);
    std::vector<std::string> lines = {"A:", "a:", "Ab:", "bC:", "ca:", "", ":", "C", "CA: 4"};
    for (int i = 0; i < 20000; ++i) {
        std::string line;
        for (int n = static_cast<int>(random() % 14); n > 0; --n) line += tokens[random() % std::size(tokens)];
        lines.push_back(line);
    }
    const char* labels[] = {"A:", "B:", "C:", "AB:", "BC:", "CA:"};
    // Face lines as exporters write them, with a character replaced in some:
    // the one-walk reading of the usual layout must fall back on any change.
    const std::string alphabet = "0123456789 :-ABCabc*x";
    size_t walked = 0;
    for (int i = 0; i < 5000; ++i) {
        std::string line = std::to_string(random() % 5000) + ":";
        for (const char* label : labels)
            line += std::string(1 + random() % 4, ' ') + label + std::string(random() % 5, ' ') +
                    (random() % 9 == 0 ? "-" : "") + std::to_string(random() % 100000);
        line += random() % 2 ? "   *MESH_SMOOTHING 1,4  *MESH_MTLID 3" : "";
        if (random() % 2) line[random() % line.size()] = alphabet[random() % alphabet.size()];
        lines.push_back(line);
    }
    std::array<std::optional<std::string_view>, 6> words;
    for (const std::string& line : lines) {
        const size_t labelled = sceneread::cornerLabelWords(line, words);
        walked += labelled != 0;
        for (size_t k = 0; k < 6; ++k) EXPECT_EQ(sceneread::wordAfter(line, labels[k]), words[k]) << line << " " << labels[k];
        for (const char* keyword : {"*MESH_SMOOTHING", "*MESH_MTLID"})
            EXPECT_EQ(sceneread::wordAfter(line, keyword), sceneread::wordAfter(line, keyword, labelled)) << line;
    }
    EXPECT_GT(walked, 2000u);
}

}  // namespace
