// The number helpers must agree with the C functions they stand in for, on
// every string: ordinary numbers take the from_chars fast path, odd ones the
// C library, and the two must never be told apart.
#include "common/c_number.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kAwkward = {
    "", " ", "0", "-0", "+0", "1", "-1", "+1", "12345", "  42", "\t-7", "\n\v\f\r 3",
    "0.5", ".5", "5.", "-.5", "+.5", ".", "-", "+", "+-1", "-+1", "--1", "1.5abc", "1.5 2.5",
    "1e5", "1E-5", "1e-50", "1e39", "-1e39", "1e-39", "1e-46", "3.4028235e38", "3.4028236e38",
    "1e", "1e+", "1e-", "1ex", "100ergs", "0x10", "0X1p3", "0x", "0xg", "-0x1.8p1", "010", "08", "0b1",
    "inf", "-inf", "INF", "infinity", "-Infinity", "nan", "-nan", "NaN(123)", "nanx", "in", "infx",
    "0.0000", "-52.4931", "86.5651\t-13.4349", "1,2", "1;", "2147483647", "2147483648", "-2147483648",
    "-2147483649", "4294967295", "4294967296", "4294967297", "9223372036854775807",
    "9223372036854775808", "-9223372036854775809", "99999999999999999999999", "123456789012345678",
    "1234567890123456789", "0000000000000000000001", "1_000", "1.2.3", "1..2", "0.1e1.5", "*MESH_MTLID",
    "  -  1", "0.5f", "1e400", "4.9e-324", "2.2250738585072014e-308", "7e-46", "1.17549435e-38",
    "-0.0", "00.5", "0x7fffffff", "0xffffffff", "-0x80000000", "0777", "09", "1 2 3",
    // Where exact short decimals end: 2^24 and past it, ten and eleven decimals, 18 and 19 digits.
    "16777216", "16777217", "1677721.7", "-1.6777215", "0.0000000001", "0.00000000001", "9.999999999",
    "99999.9999", "1234.5678", "0.1", "0.3", "2.675", "123456789012345678.", "0.000000000000000001e5",
    "1.0000000000000000001", "5.e2", "7.5-", "3.25_"};

std::string describe(const std::string& s) { return "input \"" + s + "\""; }

struct CFloat {
    int matched;
    float value;
    int consumed;
};

template <typename T>
void expectSameBits(T a, T b, const std::string& input) {
    if (std::isnan(a) && std::isnan(b)) return;
    if constexpr (sizeof(T) == 4)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(a), std::bit_cast<std::uint32_t>(b)) << describe(input);
    else
        EXPECT_EQ(std::bit_cast<std::uint64_t>(a), std::bit_cast<std::uint64_t>(b)) << describe(input);
}

void checkFloat(const std::string& input) {
    float expected = 0;
    int consumed = 0;
    const int matched = std::sscanf(input.c_str(), "%f%n", &expected, &consumed);
    std::string_view view = input;
    auto got = common::scanFloat(view);
    ASSERT_EQ(matched == 1, got.has_value()) << describe(input);
    if (matched != 1) {
        EXPECT_EQ(view.size(), input.size()) << describe(input);
        return;
    }
    expectSameBits(expected, *got, input);
    EXPECT_EQ(input.size() - static_cast<size_t>(consumed), view.size()) << describe(input);
}

void checkDouble(const std::string& input) {
    double expected = 0;
    int consumed = 0;
    const int matched = std::sscanf(input.c_str(), "%lf%n", &expected, &consumed);
    std::string_view view = input;
    auto got = common::scanDouble(view);
    ASSERT_EQ(matched == 1, got.has_value()) << describe(input);
    if (matched != 1) return;
    expectSameBits(expected, *got, input);
    EXPECT_EQ(input.size() - static_cast<size_t>(consumed), view.size()) << describe(input);
}

void checkLongI(const std::string& input) {
    long expected = 0;
    int consumed = 0;
    const int matched = std::sscanf(input.c_str(), "%li%n", &expected, &consumed);
    std::string_view view = input;
    auto got = common::scanLongI(view);
    ASSERT_EQ(matched == 1, got.has_value()) << describe(input);
    if (matched != 1) return;
    EXPECT_EQ(expected, *got) << describe(input);
    EXPECT_EQ(input.size() - static_cast<size_t>(consumed), view.size()) << describe(input);
}

void checkAtoi(const std::string& input) {
    EXPECT_EQ(std::atoi(input.c_str()), common::atoiC(input)) << describe(input);
    EXPECT_EQ(std::atol(input.c_str()), common::atolC(input)) << describe(input);
    EXPECT_EQ(std::strtol(input.c_str(), nullptr, 10), common::atolC(input)) << describe(input);
}

void checkAll(const std::string& input) {
    checkFloat(input);
    checkDouble(input);
    checkLongI(input);
    checkAtoi(input);
}

// Random numbers in the shapes exports actually contain, plus mutations of
// them (a character dropped, doubled or replaced) so the boundaries between
// the fast path and the C fallback are crossed often.
std::vector<std::string> generated(unsigned seed, int count) {
    std::mt19937 random(seed);
    std::vector<std::string> out;
    const std::string alphabet = "0123456789.-+eExX ainfINF\t,;:_";
    char text[64];
    for (int i = 0; i < count; ++i) {
        switch (random() % 5) {
            case 0:
                std::snprintf(text, sizeof text, "%.4f", std::uniform_real_distribution<double>(-1e4, 1e4)(random));
                break;
            case 1:
                std::snprintf(text, sizeof text, "%.9g", std::bit_cast<float>(static_cast<std::uint32_t>(random())));
                break;
            case 2:
                std::snprintf(text, sizeof text, "%.17g", std::uniform_real_distribution<double>(-1, 1)(random) *
                                                             std::pow(10.0, static_cast<int>(random() % 80) - 40));
                break;
            case 3:
                std::snprintf(text, sizeof text, "%ld", static_cast<long>(random()) - (1l << 31) +
                                                           static_cast<long>(random() % 3) * (1l << 32));
                break;
            default:
                std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(random() % 1000));
                break;
        }
        std::string s = text;
        out.push_back(s);
        const size_t at = random() % (s.size() + 1);
        switch (random() % 3) {
            case 0:
                if (at < s.size()) s.erase(at, 1);
                break;
            case 1:
                s.insert(at, 1, alphabet[random() % alphabet.size()]);
                break;
            default:
                if (at < s.size()) s[at] = alphabet[random() % alphabet.size()];
                break;
        }
        out.push_back(s);
    }
    return out;
}

TEST(NumberScanning, AgreesWithTheCLibraryOnAwkwardStrings) {
    for (const std::string& s : kAwkward) checkAll(s);
}

TEST(NumberScanning, AgreesWithTheCLibraryOnGeneratedAndMutatedNumbers) {
    for (const std::string& s : generated(20261207, 20000)) checkAll(s);
}

TEST(NumberScanning, ConsumesFieldsOneAfterAnotherAsAFormatWithSeveralConversionsWould) {
    const std::string line = "    0\t0.0000\t-52.4931\t-13.4349 tail";
    float expected[4];
    ASSERT_EQ(4, std::sscanf(line.c_str(), "%f%f%f%f", &expected[0], &expected[1], &expected[2], &expected[3]));
    std::string_view view = line;
    for (float e : expected) {
        auto got = common::scanFloat(view);
        ASSERT_TRUE(got);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(e), std::bit_cast<std::uint32_t>(*got));
    }
    EXPECT_EQ(" tail", view);
    EXPECT_FALSE(common::scanFloat(view));
}

TEST(NumberScanning, Int32RangeCheckSeparatesOverflowFromValidValues) {
    EXPECT_TRUE(common::fitsInt32(common::atolC("2147483647")));
    EXPECT_FALSE(common::fitsInt32(common::atolC("2147483648")));
    EXPECT_TRUE(common::fitsInt32(common::atolC("-2147483648")));
    EXPECT_FALSE(common::fitsInt32(common::atolC("99999999999999999999999")));
}

}  // namespace
