#include "data/detail/row_text.hpp"

#include <algorithm>
#include <string>

#include "strings/text.hpp"

namespace inhibra::data {

namespace {

// Blanks between the values of a row; a CR counts as one.
bool is_row_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Control characters other than TAB and CR have no place in a text row: a NUL or
// an escape inside a number must not split it into two values.
bool is_stray_control(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u < 0x20 && c != '\t' && c != '\r') || u == 0x7f;
}

bool has_decimal_comma(std::string_view text) {
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == ',' && is_digit(text[i - 1]) && is_digit(text[i + 1])) return true;
  }
  return false;
}

using row_fields = std::array<std::string_view, 3>;

// What may follow the three values of a row: nothing, a note (anything that does not
// begin with a comma), or commas closing the row as spreadsheets write them
// ("100,0,0.055,"), with nothing or a note starting with a note character after
// them. Anything else after a comma leaves it unclear where the values end.
bool clean_row_end(std::string_view rest) {
  std::size_t i = 0;
  while (i < rest.size() && is_row_blank(rest[i]))
    ++i;
  if (i == rest.size() || rest[i] != ',') return true;
  while (i < rest.size() && (rest[i] == ',' || is_row_blank(rest[i])))
    ++i;
  return i == rest.size() || is_note_char(rest[i]);
}

// Three values separated by commas, with or without blanks around them
// ("50,0,0.032", "50, 0, 0.032"), as spreadsheets export them. `end` is set to where
// the third value ends.
std::optional<row_fields> comma_fields(std::string_view s, std::size_t& end) {
  row_fields fields;
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < s.size() && is_row_blank(s[i]))
      ++i;
  };
  skip_blanks();
  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t start = i;
    while (i < s.size() && !is_row_blank(s[i]) && s[i] != ',')
      ++i;
    if (i == start) return std::nullopt;
    fields[k] = s.substr(start, i - start);
    end = i;
    if (k < 2) {
      skip_blanks();
      if (i >= s.size() || s[i] != ',') return std::nullopt;
      ++i;
      skip_blanks();
    }
  }
  return fields;
}

// The first three blank-separated words; `end` is set to where the third ends. A
// third word followed only by closing commas ("0.055,") ends before them.
std::optional<row_fields> blank_fields(std::string_view s, std::size_t& end) {
  row_fields fields;
  std::size_t i = 0;
  for (std::size_t k = 0; k < 3; ++k) {
    while (i < s.size() && is_row_blank(s[i]))
      ++i;
    const std::size_t start = i;
    while (i < s.size() && !is_row_blank(s[i]))
      ++i;
    if (i == start) return std::nullopt;
    fields[k] = s.substr(start, i - start);
  }
  end = i;
  const auto comma = fields[2].find(',');
  if (comma != std::string_view::npos && comma > 0) {
    const std::size_t at = static_cast<std::size_t>(fields[2].data() - s.data()) + comma;
    if (clean_row_end(s.substr(at))) {
      fields[2] = fields[2].substr(0, comma);
      end = at;
    }
  }
  return fields;
}

}  // namespace

bool is_note_char(char c) {
  return c == '#' || c == '!' || c == '\'' || c == '"';
}

bool ends_data(std::string_view line) {
  const auto rest = strings::adjustl_controls(line);
  return rest.empty() || is_note_char(rest.front());
}

int column_words(std::string_view line) {
  std::size_t cut = line.size();
  bool word_start = true;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t') {
      word_start = true;
    } else if (strings::is_blank_or_control(c)) {
      continue;
    } else {
      if (word_start && is_note_char(c)) {
        cut = i;
        break;
      }
      word_start = false;
    }
  }
  return strings::count_words(line.substr(0, cut));
}

std::optional<double> parse_number(std::string_view field) {
  std::string text(field);
  for (char& c : text) {
    if (c == 'd' || c == 'D') c = 'e';
  }
  return strings::finite_number(text);
}

parsed_row parse_row(std::string_view line) {
  parsed_row row;
  if (std::any_of(line.begin(), line.end(), is_stray_control)) {
    row.fault = row_fault::control_character;
    return row;
  }
  std::size_t end = 0;
  auto fields = comma_fields(line, end);
  if (!fields) {
    fields = blank_fields(line, end);
    if (!fields) {
      row.fault = row_fault::unreadable;
      return row;
    }
  }
  const auto& f = *fields;
  // A further comma field after the values ("50,0,0,032", "50 0 0,032") leaves it
  // unclear where the values end.
  if (!clean_row_end(line.substr(end)) ||
      std::any_of(f.begin(), f.end(), [](auto v) { return has_decimal_comma(v); })) {
    row.fault = has_decimal_comma(line) ? row_fault::decimal_comma : row_fault::unreadable;
    return row;
  }
  for (std::size_t k = 0; k < 3; ++k) {
    const auto value = parse_number(f[k]);
    if (!value) {
      row.fault = row_fault::unreadable;
      return row;
    }
    row.values[k] = *value;
  }
  return row;
}

std::vector<std::string_view> loose_fields(std::string_view line) {
  auto separates = [](char c) {
    return is_row_blank(c) || c == ',' || c == ';' || c == '"' || c == '\'';
  };
  std::vector<std::string_view> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && separates(line[i]))
      ++i;
    const std::size_t start = i;
    while (i < line.size() && !separates(line[i]))
      ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

bool holds_titles(std::string_view line) {
  const auto fields = loose_fields(line);
  const std::size_t first = std::min<std::size_t>(fields.size(), 3);
  return std::any_of(line.begin(), line.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }) &&
         std::none_of(fields.begin(), fields.begin() + static_cast<std::ptrdiff_t>(first),
                      [](std::string_view f) { return parse_number(f).has_value(); });
}

bool spreadsheet_header(std::string_view line) {
  const auto separators = std::count_if(line.begin(), line.end(),
                                        [](char c) { return c == ',' || c == ';' || c == '\t'; });
  return separators >= 2 && loose_fields(line).size() >= 3 && holds_titles(line);
}

data_extent scan_data(text_lines& file) {
  data_extent extent;
  if (!file.rewind()) return extent;
  std::string line;
  while (file.next(line)) {
    if (extent.end_line == 0) {
      const std::string_view head = std::string_view(line).substr(0, row_line_length);
      if (ends_data(head)) {
        extent.end_line = file.line_number();
        extent.end_is_blank = strings::adjustl_controls(head).empty();
        continue;
      }
      ++extent.rows;
      if (file.cut() && extent.long_row == 0) extent.long_row = file.line_number();
    } else if (!ends_data(line) && parse_row(line).fault == row_fault::none) {
      ++extent.rows_below;
    }
  }
  return extent;
}

}  // namespace inhibra::data
