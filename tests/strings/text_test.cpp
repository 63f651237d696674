#include "strings/text.hpp"

#include <gtest/gtest.h>

namespace inhibra::strings {
namespace {

TEST(Text, AdjustAndTrimTouchOnlyBlanksAndTabs) {
  EXPECT_EQ(adjustl(" \t a b "), "a b ");
  EXPECT_EQ(trim(" a b \t "), " a b");
  EXPECT_EQ(trim_both("\t x \t"), "x");
  EXPECT_EQ(adjustl_controls("\r\n \tx"), "x");
  EXPECT_EQ(trim_both(""), "");
}

TEST(Text, DeleteBlanksRemovesEveryBlank) {
  EXPECT_EQ(delete_blanks(" my data\tfile "), "mydatafile");
}

TEST(Text, CountWordsSeparatesOnBlankRunsOnly) {
  EXPECT_EQ(count_words("50    0\t\t0.032"), 3);
  EXPECT_EQ(count_words("50,0,0.032"), 1);    // commas do not separate
  EXPECT_EQ(count_words("50 0 0.032\r"), 3);  // a trailing CR is dropped
  EXPECT_EQ(count_words(""), 0);
  EXPECT_EQ(count_words("   "), 0);
}

TEST(Text, PadFillsOrCuts) {
  EXPECT_EQ(pad("ab", 4), "ab  ");
  EXPECT_EQ(pad("abcdef", 3), "abc");
  EXPECT_EQ(pad("x", 0), "");
}

TEST(Text, IntTextIsLeftAdjusted) {
  EXPECT_EQ(int_text(1000), "1000");
  EXPECT_EQ(int_text(-7), "-7");
}

TEST(Text, JoinUsesCrLf) {
  EXPECT_EQ(join_crlf({"a", "", "b"}), "a\r\n\r\nb");
  EXPECT_EQ(to_upper("data.in"), "DATA.IN");
}

}  // namespace
}  // namespace inhibra::strings
