#include "buffer/IntegerText.h"

#include <gtest/gtest.h>

namespace quennel {
namespace {

std::string ConversionMessage(std::string_view text) {
    try {
        StrToInt(text);
    } catch (const EConvertError& error) {
        return error.what();
    }
    return "converted";
}

TEST(StrToIntTest, ReadsDecimalWithLeadingBlanksAndSign) {
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("1023"), 1023);
    EXPECT_EQ(StrToInt("   42"), 42);
    EXPECT_EQ(StrToInt("-7"), -7);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("  -0012"), -12);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

TEST(StrToIntTest, ReadsHexAfterDollarInEitherCase) {
    EXPECT_EQ(StrToInt("$0"), 0);
    EXPECT_EQ(StrToInt("$3FF"), 1023);
    EXPECT_EQ(StrToInt("$ab"), 0xAB);
    EXPECT_EQ(StrToInt("$aB"), 0xAB);
    EXPECT_EQ(StrToInt("$7"), 7);
    EXPECT_EQ(StrToInt("$00000010"), 16);
    // A full 32-bit pattern reads as the signed value it encodes.
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt("$80000000"), INT32_MIN);
    EXPECT_EQ(StrToInt("-$10"), -16);
    EXPECT_EQ(StrToInt(" $10"), 16);
}

TEST(StrToIntTest, RejectsEverythingElseWithTheTextInTheMessage) {
    EXPECT_EQ(ConversionMessage("$G"), "'$G' is not a valid integer value");
    EXPECT_EQ(ConversionMessage("$F\r"), "'$F\r' is not a valid integer value");
    for (const char* text : {"", "$", "   ", "-", "12 ", "$ F", "$-F", "1A", "0x10", "--1", "2147483648",
                             "-2147483649", "99999999999999999999", "$100000000"})
        EXPECT_EQ(ConversionMessage(text), "'" + std::string(text) + "' is not a valid integer value");
}

TEST(ErrorReportTextTest, AddsAFullStopOnlyAfterACharacterAboveTheDot) {
    EXPECT_EQ(ErrorReportText("'$G' is not a valid integer value"), "'$G' is not a valid integer value.");
    EXPECT_EQ(ErrorReportText("Done."), "Done.");
    EXPECT_EQ(ErrorReportText("Why?"), "Why?.");  // '?' sorts above '.'
    EXPECT_EQ(ErrorReportText("Stop!"), "Stop!"); // '!' sorts below '.'
    EXPECT_EQ(ErrorReportText("a-"), "a-");       // '-' sorts below '.'
    EXPECT_EQ(ErrorReportText("ends in 0"), "ends in 0.");
    EXPECT_EQ(ErrorReportText(""), "");
}

TEST(HexDigitsTest, PadsAndTruncatesToTheWidth) {
    EXPECT_EQ(HexDigits(0, 4), "0000");
    EXPECT_EQ(HexDigits(0x1FE0, 4), "1FE0");
    EXPECT_EQ(HexDigits(0xAB, 2), "AB");
    EXPECT_EQ(HexDigits(0x123456, 2), "56");
    EXPECT_EQ(HexDigits(0x3FF, 6), "0003FF");
}

} // namespace
} // namespace quennel
