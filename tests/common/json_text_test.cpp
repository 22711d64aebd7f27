#include "common/json_text.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonString, KeepsUtf8AndReadsEveryOtherByteAsWindows1252) {
    const struct {
        std::string bytes, json;
    } rows[] = {
        {"Box01", "\"Box01\""},
        {"a\"b\\c/", "\"a\\\"b\\\\c/\""},
        {std::string("\0\n\x1F\x7F", 4), "\"\\u0000\\u000a\\u001f\\u007f\""},
        {"M\xC3\xA9tal \xE2\x82\xAC \xF0\x9F\x98\x80", "\"M\xC3\xA9tal \xE2\x82\xAC \xF0\x9F\x98\x80\""},
        {"M\xE9tal", "\"M\xC3\xA9tal\""},
        {"\x80\x8A\x9F\xA0\xFF", "\"\xE2\x82\xAC\xC5\xA0\xC5\xB8\xC2\xA0\xC3\xBF\""},
        {"\x81\x8D\x8F\x90\x9D", "\"\\u0081\\u008d\\u008f\\u0090\\u009d\""},
        {"\xC2\x85", "\"\\u0085\""},                                           // a C1 control in UTF-8
        {"\xC0\x80", "\"\xC3\x80\xE2\x82\xAC\""},                              // overlong NUL
        {"\xE0\x9F\xBF", "\"\xC3\xA0\xC5\xB8\xC2\xBF\""},                      // overlong
        {"\xED\xA0\x80", "\"\xC3\xAD\xC2\xA0\xE2\x82\xAC\""},                  // a surrogate
        {"\xF4\x90\x80\x80", "\"\xC3\xB4\\u0090\xE2\x82\xAC\xE2\x82\xAC\""},   // above U+10FFFF
        {"\xE2\x82", "\"\xC3\xA2\xE2\x80\x9A\""},                              // cut short
        {"\xE9t\xC3", "\"\xC3\xA9t\xC3\x83\""},
    };
    for (const auto& row : rows) EXPECT_EQ(common::jsonString(row.bytes), row.json) << row.bytes;
}

}  // namespace
