#include "strings/fortran_format.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace inhibra::strings {

namespace {

// printf with one precision argument and one double, into a string of any length.
std::string printf_text(const char* format, int precision, double value) {
  const int size = std::snprintf(nullptr, 0, format, precision, value);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(out.data(), out.size(), format, precision, value);
  out.resize(static_cast<std::size_t>(size));
  return out;
}

std::string right_aligned(std::string_view s, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (s.size() > w) return asterisks(width);
  return std::string(w - s.size(), ' ') + std::string(s);
}

// The text of a NaN or an infinity in a field of `width`.
std::string non_finite(double value, int width) {
  if (std::isnan(value)) return right_aligned("NaN", width);
  if (value > 0) return right_aligned(width >= 8 ? "Infinity" : "Inf", width);
  return right_aligned(width >= 9 ? "-Infinity" : "-Inf", width);
}

// Right-aligns a number text; when it is one character too wide and its magnitude
// starts with "0.", the optional leading zero goes.
std::string fit_number(std::string s, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (s.size() > w) {
    const std::size_t digits = (s[0] == '-') ? 1 : 0;
    if (s.compare(digits, 2, "0.") == 0) s.erase(digits, 1);
  }
  return right_aligned(s, width);
}

}  // namespace

std::string asterisks(int width) {
  return std::string(static_cast<std::size_t>(width > 0 ? width : 0), '*');
}

std::string format_f(double value, int width, int decimals) {
  if (width <= 0) return {};
  if (!std::isfinite(value)) return non_finite(value, width);
  // '#' keeps the decimal point when there are no decimals ("12.").
  return fit_number(printf_text("%#.*f", decimals, value), width);
}

std::string format_e(double value, int width, int digits) {
  if (width <= 0) return {};
  if (!std::isfinite(value)) return non_finite(value, width);
  if (digits < 1) return asterisks(width);
  std::string mantissa;
  int exponent = 0;
  if (value == 0.0) {
    mantissa.assign(static_cast<std::size_t>(digits), '0');
  } else {
    // d.ddd...e+XX with `digits` significant digits, rounded as printf rounds;
    // 0.dddd...E(XX+1) is the same number.
    const std::string s = printf_text("%.*e", digits - 1, std::fabs(value));
    const auto e_at = s.find('e');
    mantissa.push_back(s[0]);
    if (digits > 1) mantissa.append(s, 2, static_cast<std::size_t>(digits - 1));
    exponent = std::atoi(s.c_str() + e_at + 1) + 1;
  }
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude > 999) return asterisks(width);
  char exp_text[8];
  if (magnitude <= 99) {
    std::snprintf(exp_text, sizeof exp_text, "E%c%02d", exponent < 0 ? '-' : '+', magnitude);
  } else {
    std::snprintf(exp_text, sizeof exp_text, "%c%03d", exponent < 0 ? '-' : '+', magnitude);
  }
  std::string text = std::signbit(value) ? "-0." : "0.";
  text += mantissa;
  text += exp_text;
  return fit_number(std::move(text), width);
}

std::string format_i(long long value, int width) {
  if (width <= 0) return {};
  return right_aligned(std::to_string(value), width);
}

std::string format_a(std::string_view text, int width) {
  const auto w = static_cast<std::size_t>(width > 0 ? width : 0);
  if (text.size() >= w) return std::string(text.substr(0, w));
  return std::string(w - text.size(), ' ') + std::string(text);
}

fixed_line& fixed_line::x(int n) {
  if (n > 0) pos_ += static_cast<std::size_t>(n);
  return *this;
}

fixed_line& fixed_line::t(int column) {
  pos_ = static_cast<std::size_t>(column > 1 ? column - 1 : 0);
  return *this;
}

fixed_line& fixed_line::a(std::string_view text) {
  put(text);
  return *this;
}

fixed_line& fixed_line::a(std::string_view text, int width) {
  put(format_a(text, width));
  return *this;
}

fixed_line& fixed_line::i(long long value, int width) {
  put(format_i(value, width));
  return *this;
}

fixed_line& fixed_line::f(double value, int width, int decimals) {
  put(format_f(value, width, decimals));
  return *this;
}

fixed_line& fixed_line::e(double value, int width, int digits) {
  put(format_e(value, width, digits));
  return *this;
}

fixed_line& fixed_line::stars(int width) {
  put(asterisks(width));
  return *this;
}

void fixed_line::put(std::string_view s) {
  if (s.empty()) return;
  if (text_.size() < pos_) text_.resize(pos_, ' ');
  const std::size_t end = pos_ + s.size();
  if (text_.size() < end) text_.resize(end, ' ');
  text_.replace(pos_, s.size(), s);
  pos_ = end;
}

}  // namespace inhibra::strings
