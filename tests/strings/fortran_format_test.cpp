#include "strings/fortran_format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace inhibra::strings {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
const double nan = std::nan("");

TEST(FormatF, RightAlignsRoundsLikePrintfAndDropsTheLeadingZeroWhenTight) {
  EXPECT_EQ(format_f(123.4567, 10, 3), "   123.457");
  // Ties are decided on the exact binary value: 0.125 and 0.375 are exact halves
  // (to even), 2.675 is stored just below its half.
  EXPECT_EQ(format_f(0.125, 5, 2), " 0.12");
  EXPECT_EQ(format_f(0.375, 5, 2), " 0.38");
  EXPECT_EQ(format_f(2.675, 5, 2), " 2.67");
  EXPECT_EQ(format_f(0.9996, 6, 3), " 1.000");
  EXPECT_EQ(format_f(12.0, 4, 0), " 12.");
  EXPECT_EQ(format_f(0.5, 5, 3), "0.500");
  EXPECT_EQ(format_f(0.5, 4, 3), ".500");
  EXPECT_EQ(format_f(0.5, 3, 3), "***");
  EXPECT_EQ(format_f(-0.25, 6, 3), "-0.250");
  EXPECT_EQ(format_f(-0.25, 5, 3), "-.250");
  EXPECT_EQ(format_f(-1.25, 8, 3), "  -1.250");
  EXPECT_EQ(format_f(-12345.678, 10, 3), "-12345.678");
  EXPECT_EQ(format_f(-12345.678, 9, 3), "*********");
  EXPECT_EQ(format_f(-0.0001, 7, 3), " -0.000");
}

TEST(FormatF, TooWideNumbersGiveAsterisksAndSpecialValuesTheirNames) {
  EXPECT_EQ(format_f(99999.99999999, 14, 8), "99999.99999999");
  EXPECT_EQ(format_f(100000.0, 14, 8), "**************");
  EXPECT_EQ(format_f(1e300, 12, 3), "************");
  EXPECT_EQ(format_f(10.0, 4, 1), "10.0");
  EXPECT_EQ(format_f(100.0, 4, 1), "****");
  EXPECT_EQ(format_f(nan, 14, 8), "           NaN");
  EXPECT_EQ(format_f(inf, 14, 8), "      Infinity");
  EXPECT_EQ(format_f(-inf, 14, 8), "     -Infinity");
  EXPECT_EQ(format_f(inf, 8, 2), "Infinity");
  EXPECT_EQ(format_f(inf, 7, 2), "    Inf");
  EXPECT_EQ(format_f(-inf, 9, 2), "-Infinity");
  EXPECT_EQ(format_f(-inf, 8, 2), "    -Inf");
  EXPECT_EQ(format_f(nan, 5, 2), "  NaN");
  EXPECT_EQ(format_f(nan, 2, 0), "**");
  EXPECT_EQ(format_f(inf, 2, 0), "**");
  EXPECT_EQ(format_f(-inf, 3, 1), "***");
}

TEST(FormatE, LeadingZeroPointLayoutRoundingWideExponentsAndSpecialValues) {
  EXPECT_EQ(format_e(-1.234567, 14, 7), "-0.1234567E+01");
  EXPECT_EQ(format_e(0.0, 14, 7), " 0.0000000E+00");
  EXPECT_EQ(format_e(123.456, 10, 3), " 0.123E+03");
  EXPECT_EQ(format_e(0.99999999, 14, 7), " 0.1000000E+01");
  EXPECT_EQ(format_e(0.000123456789, 14, 7), " 0.1234568E-03");
  EXPECT_EQ(format_e(1.5e150, 14, 7), " 0.1500000+151");
  EXPECT_EQ(format_e(-2.5e-120, 14, 7), "-0.2500000-119");
  EXPECT_EQ(format_e(-123.456, 9, 3), "-.123E+03");
  EXPECT_EQ(format_e(-123.456, 8, 3), "********");
  EXPECT_EQ(format_e(nan, 14, 7), "           NaN");
  EXPECT_EQ(format_e(-inf, 14, 7), "     -Infinity");
}

TEST(FormatIAndA, RightAlignedIntegersOrAsterisksAndTextsCutToTheirFirstCharacters) {
  EXPECT_EQ(format_i(7, 3), "  7");
  EXPECT_EQ(format_i(-12, 3), "-12");
  EXPECT_EQ(format_i(1000, 3), "***");
  EXPECT_EQ(format_i(-100, 3), "***");
  EXPECT_EQ(format_a("RANK", 4), "RANK");
  EXPECT_EQ(format_a("Delta(AICc)", 12), " Delta(AICc)");
  EXPECT_EQ(format_a("abcdef", 3), "abc");
  EXPECT_EQ(format_a("", 2), "  ");
}

TEST(FixedLine, SkipsAndTabsBecomeBlanksBeforeWrittenTextAndTabsLeftOverwrite) {
  EXPECT_EQ(fixed_line().x(3).a("ab").x(2).text(), "   ab");
  EXPECT_EQ(fixed_line().a("x").t(5).a("y").text(), "x   y");
  EXPECT_EQ(fixed_line().x(2).i(42, 4).x(1).f(0.5, 5, 2).text(), "    42  0.50");
  EXPECT_EQ(fixed_line().x(10).text(), "");
  EXPECT_EQ(fixed_line().a("abcdef").t(3).a("XY").text(), "abXYef");
  EXPECT_EQ(fixed_line().a("abc").t(2).a("WXYZ").text(), "aWXYZ");
  EXPECT_EQ(fixed_line().a("ab").t(1).x(3).a("c").text(), "ab c");
  EXPECT_EQ(fixed_line().a("|").e(2.0, 14, 7).x(4).stars(3).text(), "| 0.2000000E+01    ***");
}

}  // namespace
}  // namespace inhibra::strings
