#pragma once
// Fixed-field formatting for the report: every number sits right-aligned in a field
// of known width, and a number that does not fit fills its field with asterisks, so
// columns never shift.
//
//   F w.d  fixed point, d decimals, rounded as printf rounds. A value below 1 in
//          magnitude shows its leading "0" when the field has room for it.
//   E w.d  "0." followed by d significant digits, then E, the exponent sign and two
//          exponent digits (1.234567 in E14.7 is " 0.1234567E+01"). Exponents of
//          three digits drop the letter E ("0.1234567+100").
//   I w    integer.
//   A k    text right-aligned in k characters; a longer text keeps its first k.
//
// Not-a-number and infinities print right-aligned as "NaN", "Infinity" and
// "-Infinity"; a field too narrow for the long forms gets "Inf" / "-Inf", and one too
// narrow even for those gets asterisks.
#include <string>
#include <string_view>

namespace inhibra::strings {

[[nodiscard]] std::string format_f(double value, int width, int decimals);
[[nodiscard]] std::string format_e(double value, int width, int digits);
[[nodiscard]] std::string format_i(long long value, int width);
[[nodiscard]] std::string format_a(std::string_view text, int width);
// A field of `width` asterisks: the mark of a number that cannot be shown.
[[nodiscard]] std::string asterisks(int width);

// One output line assembled field by field, left to right:
//
//   fixed_line().x(10).a("RESIDUAL SUM OF SQUARES=").x(10).f(ssr, 14, 8).text()
//
// x(n) skips n columns and t(c) moves to column c (1-based); neither writes anything
// by itself. Skipped columns become blanks once something is written after them,
// so a skip at the end of a line leaves no trailing blanks. Writing after a move
// to the left overwrites what is there.
class fixed_line {
 public:
  fixed_line& x(int n);
  fixed_line& t(int column);
  fixed_line& a(std::string_view text);
  fixed_line& a(std::string_view text, int width);
  fixed_line& i(long long value, int width);
  fixed_line& f(double value, int width, int decimals);
  fixed_line& e(double value, int width, int digits);
  fixed_line& stars(int width);

  [[nodiscard]] const std::string& text() const { return text_; }

 private:
  void put(std::string_view s);

  std::string text_;
  std::size_t pos_ = 0;  // 0-based column of the next character
};

}  // namespace inhibra::strings
