#pragma once
// Text helpers for the fixed-length, blank-padded texts of the program: names,
// labels, report lines. All take and return ordinary strings; "blank" means a
// space or a tab unless a routine says otherwise.
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace inhibra::strings {

// True for a space, a tab or any other control character (CR included).
[[nodiscard]] constexpr bool is_blank_or_control(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u == ' ' || u < 0x20 || u == 0x7f;
}

// Removes leading blanks and tabs.
[[nodiscard]] std::string_view adjustl(std::string_view s);
// Removes trailing blanks and tabs.
[[nodiscard]] std::string_view trim(std::string_view s);
// Removes leading and trailing blanks and tabs.
[[nodiscard]] std::string_view trim_both(std::string_view s);
// Removes leading blanks and control characters (a CR counts as blank).
[[nodiscard]] std::string_view adjustl_controls(std::string_view s);
// Deletes every blank (space or tab) anywhere in the text.
[[nodiscard]] std::string delete_blanks(std::string_view s);
// Number of words separated by runs of blanks and tabs; other control characters
// are dropped before counting (they neither form nor split words).
[[nodiscard]] int count_words(std::string_view s);
// Pads with blanks to exactly `width` characters, or cuts to it.
[[nodiscard]] std::string pad(std::string_view s, int width);
// An integer as text, left-adjusted and trimmed ("42", "-7").
[[nodiscard]] std::string int_text(long long value);
// The whole of `text` as a finite number written as C writes one (a leading + allowed);
// nothing when it is not one.
[[nodiscard]] std::optional<double> finite_number(std::string_view text);
// Upper-case copy (ASCII letters only).
[[nodiscard]] std::string to_upper(std::string_view s);
// Joins lines with CR LF, the line break of message boxes and written files.
[[nodiscard]] std::string join_crlf(std::initializer_list<std::string_view> lines);
// The text as it may be shown in one line of a message or on a terminal: control
// characters (a TAB too, unless `keep_tabs`), DEL, the C1 controls and every byte
// that is not part of well-formed UTF-8 are shown as \xNN. A file name or a line of
// a file can then neither send an escape sequence to a terminal nor break a line.
[[nodiscard]] std::string printable(std::string_view text, bool keep_tabs = false);

}  // namespace inhibra::strings
