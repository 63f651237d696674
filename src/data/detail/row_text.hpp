#pragma once
// The lines of a data file in the native format: which lines end the data, how many
// words the column line has, how the three values of a row are read, which lines
// hold column titles rather than values, and where the data of a file lie.
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "data/text_lines.hpp"

namespace inhibra::data {

inline constexpr std::size_t column_line_length =
    256;  // characters read per line when counting columns
inline constexpr std::size_t row_line_length = 100;  // characters read per line when counting rows

// A note begins with one of # ! ' ".
[[nodiscard]] bool is_note_char(char c);

// A line ends the data when it is blank (control characters count as blanks) or
// starts, after blanks, with a note character.
[[nodiscard]] bool ends_data(std::string_view line);

// Word count of the column line, up to the first word that starts a note.
[[nodiscard]] int column_words(std::string_view line);

// One field as a finite number; D exponents are read like E exponents.
[[nodiscard]] std::optional<double> parse_number(std::string_view field);

enum class row_fault { none, unreadable, decimal_comma, control_character };

struct parsed_row {
  std::array<double, 3> values{};
  row_fault fault = row_fault::none;
};

// The first three values of a data line: separated by blanks and tabs, or by
// commas. A comma between two digits in a blank-separated row is a decimal comma:
// reading it as a separator would shift every value after it, so the row is
// refused. Anything after the three values is a note.
[[nodiscard]] parsed_row parse_row(std::string_view line);

// Fields of a line split at blanks, tabs, commas and semicolons, quotes left out:
// how a person reads the first lines of a file, whatever wrote them.
[[nodiscard]] std::vector<std::string_view> loose_fields(std::string_view line);

// Column titles rather than values: none of the first three fields is a number and
// the line holds a letter ("S I v", "[S] (uM);[I];rate").
[[nodiscard]] bool holds_titles(std::string_view line);

// A header row as spreadsheets write it: titles of three or more columns joined by
// commas, semicolons or tabs.
[[nodiscard]] bool spreadsheet_header(std::string_view line);

// Where the data of a file lie: the rows from the top to the line that ends them, and
// what lies below that line.
struct data_extent {
  int rows = 0;
  int long_row = 0;  // the first data row longer than max_line_length, 0 if none
  int end_line = 0;  // the blank or note line that ends the data, 0 at end of file
  bool end_is_blank = false;
  int rows_below = 0;  // lines below end_line that begin with three numbers
};

// Reads `file` from the top to its end. Meaningless when the reading stopped early
// (file.stopped()).
[[nodiscard]] data_extent scan_data(text_lines& file);

}  // namespace inhibra::data
