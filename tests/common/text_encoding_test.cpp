#include "common/text_encoding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/file_loader.h"

namespace {

// `units` as UTF-16 with a byte-order mark.
std::string utf16(std::u16string_view units, bool little) {
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t u : units) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        bytes += little ? low : high;
        bytes += little ? high : low;
    }
    return bytes;
}

TEST(ToWindows1252, DecodesBothByteOrdersAndMarksWhatTheCodePageCannotHold) {
    // M, e-acute, euro sign, CJK, a surrogate pair, an unpaired surrogate, CR LF.
    const std::u16string text = u"M\u00E9\u20AC\u4E2D\U0001F600\xD800x\r\n";
    const std::string expected = "M\xE9\x80??" "?x\r\n";
    EXPECT_EQ(expected, common::toWindows1252(utf16(text, true)));
    EXPECT_EQ(expected, common::toWindows1252(utf16(text, false)));
    EXPECT_EQ("ab", common::toWindows1252(utf16(u"ab", true) + "\x01"));  // odd last byte
    const std::string noMark("\xFF\x00z", 3);
    EXPECT_EQ(noMark, common::toWindows1252(noMark));
    EXPECT_EQ("plain \x80", common::toWindows1252("plain \x80"));
}

TEST(ToWindows1252, RoundTripsEveryByteOfTheCodePage) {
    for (int byte = 0; byte < 256; ++byte) {
        const char32_t codePoint = common::windows1252ToUnicode(static_cast<std::uint8_t>(byte));
        EXPECT_EQ(byte, common::unicodeToWindows1252(codePoint).value_or(0xFFFF)) << byte;
    }
}

TEST(LoadTextFile, ReadsTheCorpusUtf16ExportAsItsEightBitTwin) {
    const std::filesystem::path corpus = PIPELINE_CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    const common::LoadedFile twin = common::loadTextFile((corpus / "ThreeCubesGreen.ASE").string());
    const common::LoadedFile wide = common::loadTextFile((corpus / "ThreeCubesGreen_UTF16LE.ASE").string());
    ASSERT_TRUE(twin.ok() && wide.ok());
    // The twins differ in their line ends only.
    std::string lf = wide.bytes;
    std::erase(lf, '\r');
    EXPECT_TRUE(lf == twin.bytes);
}

}  // namespace
