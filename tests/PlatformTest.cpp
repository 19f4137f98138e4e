#include "platform/CodePage.h"
#include "platform/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class FormatFixture : public ::testing::Test {
protected:
    void SetUp() override { saved = FormatSettings(); }
    void TearDown() override { FormatSettings() = saved; }
    TFormatSettings saved;
};

} // namespace

TEST(CodePage, VendorCharactersSurviveRoundTrip) {
    for (const char* s : {"軟岩Ⅰ", "軟岩Ⅱ", "①㈱髙", "盛土 ABC 123", "～−‖"}) {
        const std::string cp = Utf8ToCp932(s);
        EXPECT_EQ(Cp932ToUtf8(cp), Cp932ToUtf8(Utf8ToCp932(Cp932ToUtf8(cp)))) << s;
    }
    EXPECT_EQ(Utf8ToCp932("軟岩Ⅰ"), "\x93\xee\x8a\xe2\x87\x54");
    EXPECT_EQ(Cp932ToUtf8("\x93\xee\x8a\xe2\x87\x54"), "軟岩Ⅰ");
    // The wave dash that Linux input methods produce is the CP932 tilde.
    EXPECT_EQ(Utf8ToCp932("〜"), "\x81\x60");
}

TEST(CodePage, UnmappableAndInvalidBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp932("a😀b"), "a?b");
    EXPECT_EQ(Utf8ToCp932("a\xff"
                          "b"),
              "a?b");
    EXPECT_EQ(Cp932ToUtf8("a\x81"), "a?"); // cut double-byte character
    EXPECT_EQ(Cp932ToUtf8("\xa0x"), "?x"); // not a code point
}

TEST(CodePage, CutNeverSplitsADoubleByteCharacter) {
    const std::string s = "ab" + Utf8ToCp932("土量"); // 2 + 4 bytes
    EXPECT_EQ(Cp932CutLength(s, 6), 6u);
    EXPECT_EQ(Cp932CutLength(s, 5), 4u);
    EXPECT_EQ(Cp932CutLength(s, 3), 2u);
    EXPECT_EQ(Cp932CutLength(s, 100), 6u);
    EXPECT_EQ(Cp932CutLength("", 4), 0u);
}

TEST_F(FormatFixture, ParseFloatDefAcceptsOnlyWholeNumbers) {
    struct Case {
        const char* text;
        long double expect;
    } cases[] = {
        {"12.5", 12.5L},    {"  -3 ", -3.0L},   {"+.5", 0.5L},   {"5.", 5.0L},    {"1e3", 1000.0L},
        {"1.5E-2", 0.015L}, {"", -1.0L},        {"  ", -1.0L},   {"abc", -1.0L},  {"1,000", -1.0L},
        {"1e", -1.0L},      {"--1", -1.0L},     {".", -1.0L},    {"1 2", -1.0L},  {"inf", -1.0L},
        {"nan", -1.0L},     {"1e99999", -1.0L}, {"0x10", -1.0L}, {"１２", -1.0L},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseFloatDef(c.text, -1.0L), c.expect) << c.text;
    EXPECT_EQ(ParseFloatDef("0.1", 0), 0.1L); // read in extended precision
}

TEST_F(FormatFixture, SeparatorsComeFromTheSettings) {
    FormatSettings().DecimalSeparator = ",";
    FormatSettings().ThousandSeparator = ".";
    EXPECT_EQ(ParseFloatDef("12,5", 0), 12.5L);
    EXPECT_EQ(ParseFloatDef("12.5", 0), 0.0L);
    EXPECT_EQ(FormatThousands(1234567, 0), "1.234.567");
    EXPECT_EQ(FormatFixed(0.9, 3), "0,900");
}

TEST_F(FormatFixture, NumberFormats) {
    struct Case {
        double v;
        int decimals;
        const char* thousands;
        const char* fixed;
    } cases[] = {
        {0, 0, "0", "0"},
        {999, 0, "999", "999"},
        {1200, 0, "1,200", "1200"},
        {-1234567, 0, "-1,234,567", "-1234567"},
        {2147483647, 0, "2,147,483,647", "2147483647"},
        {1.15, 3, "1.150", "1.150"},
        {1234.5678, 3, "1,234.568", "1234.568"},
        {-0.0001, 3, "0.000", "0.000"},
        // Halves round away from zero on the decimal the value reads as.
        {12.3455, 3, "12.346", "12.346"},
        {1.0625, 3, "1.063", "1.063"},
        {-1.0625, 3, "-1.063", "-1.063"},
        {0.9995, 3, "1.000", "1.000"},
        {999999.9995, 3, "1,000,000.000", "1000000.000"},
        {2.5, 0, "3", "3"},
        {-0.5, 0, "-1", "-1"},
        {0.49999999999999994, 0, "0", "0"},
        {0.1 + 0.2, 3, "0.300", "0.300"},
        {5e-324, 3, "0.000", "0.000"},
        {1e21, 2, "1,000,000,000,000,000,000,000.00", "1000000000000000000000.00"},
        {NAN, 3, "NAN", "NAN"},
        {-INFINITY, 0, "-INF", "-INF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatThousands(c.v, c.decimals), c.thousands) << c.v;
        EXPECT_EQ(FormatFixed(c.v, c.decimals), c.fixed) << c.v;
    }
}
