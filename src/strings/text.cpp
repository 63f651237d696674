#include "strings/text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace inhibra::strings {

namespace {
constexpr bool is_space_or_tab(char c) {
  return c == ' ' || c == '\t';
}
}  // namespace

std::string_view adjustl(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && is_space_or_tab(s[i]))
    ++i;
  return s.substr(i);
}

std::string_view trim(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && is_space_or_tab(s[n - 1]))
    --n;
  return s.substr(0, n);
}

std::string_view trim_both(std::string_view s) {
  return trim(adjustl(s));
}

std::string_view adjustl_controls(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && is_blank_or_control(s[i]))
    ++i;
  return s.substr(i);
}

std::string delete_blanks(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (!is_space_or_tab(c)) out.push_back(c);
  }
  return out;
}

int count_words(std::string_view s) {
  int words = 0;
  bool in_word = false;
  for (char c : s) {
    if (is_space_or_tab(c)) {
      in_word = false;
    } else if (is_blank_or_control(c)) {
      continue;  // dropped: neither part of a word nor a separator
    } else if (!in_word) {
      in_word = true;
      ++words;
    }
  }
  return words;
}

std::string pad(std::string_view s, int width) {
  const auto w = static_cast<std::size_t>(std::max(width, 0));
  std::string out(s.substr(0, std::min(s.size(), w)));
  out.resize(w, ' ');
  return out;
}

std::string int_text(long long value) {
  return std::to_string(value);
}

std::string to_upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string join_crlf(std::initializer_list<std::string_view> lines) {
  std::string out;
  bool first = true;
  for (auto line : lines) {
    if (!first) out += "\r\n";
    out += line;
    first = false;
  }
  return out;
}

namespace {

// Length of the well-formed UTF-8 sequence at the start of `s` (no overlong forms,
// no surrogates, nothing beyond U+10FFFF) and its code point; 0 when there is none.
std::size_t utf8_sequence(std::string_view s, std::uint32_t& code) {
  const auto lead = static_cast<unsigned char>(s[0]);
  std::size_t length = 0;
  std::uint32_t lowest = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    lowest = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  code = lead & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(s[k]);
    if ((c & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (c & 0x3Fu);
  }
  if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

void append_hex(std::string& out, std::string_view bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    out += "\\x";
    out += digits[u >> 4];
    out += digits[u & 0x0F];
  }
}

}  // namespace

std::string printable(std::string_view text, bool keep_tabs) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    std::uint32_t code = 0;
    const std::size_t length = utf8_sequence(text.substr(i), code);
    if (length == 0) {
      append_hex(out, text.substr(i, 1));
      ++i;
      continue;
    }
    const bool control = (code < 0x20 && !(keep_tabs && code == '\t')) || code == 0x7F ||
                         (code >= 0x80 && code <= 0x9F);
    if (control) {
      append_hex(out, text.substr(i, length));
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

std::optional<double> finite_number(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double value = 0.0;
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace inhibra::strings
