#include "strings/text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(Text, PrintableShowsEveryControlAndStrayByteAsHex) {
  struct shown {
    std::string text;
    std::string plain;      // keep_tabs false
    std::string with_tabs;  // keep_tabs true
  };
  const std::vector<shown> cases = {
      {"Data.in", "Data.in", "Data.in"},
      {"a\tb", "a\\x09b", "a\tb"},
      {"x\ny\r", "x\\x0Ay\\x0D", "x\\x0Ay\\x0D"},
      {"\x1b[31mred", "\\x1B[31mred", "\\x1B[31mred"},  // a terminal escape
      {std::string("a\0b", 3), "a\\x00b", "a\\x00b"},   // NUL
      {"del\x7f", "del\\x7F", "del\\x7F"},              // DEL
      {"\302\2332J", "\\xC2\\x9B2J", "\\xC2\\x9B2J"},   // C1 CSI (octal 233), as UTF-8
      {"\2332J", "\\x9B2J", "\\x9B2J"},                 // C1 CSI, a lone byte
      {"data\xff\xfe.in", "data\\xFF\\xFE.in", "data\\xFF\\xFE.in"},
      {"\xc0\xaf", "\\xC0\\xAF", "\\xC0\\xAF"},                // overlong "/"
      {"\xe2\x82", "\\xE2\\x82", "\\xE2\\x82"},                // cut short
      {"\xed\xa0\x80", "\\xED\\xA0\\x80", "\\xED\\xA0\\x80"},  // a surrogate
      {"\xc2\xb5M \xe2\x82\xac \xf0\x9f\x98\x80", "\xc2\xb5M \xe2\x82\xac \xf0\x9f\x98\x80",
       "\xc2\xb5M \xe2\x82\xac \xf0\x9f\x98\x80"},  // UTF-8 stays as written
  };
  for (const auto& c : cases) {
    EXPECT_EQ(printable(c.text), c.plain) << c.plain;
    EXPECT_EQ(printable(c.text, true), c.with_tabs) << c.plain;
  }
}

}  // namespace
}  // namespace inhibra::strings
