#include "strings/text.hpp"

#include <algorithm>

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

}  // namespace inhibra::strings
