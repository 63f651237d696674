#pragma once
// A data table as text, cut into cells: separated by commas, semicolons or tabs
// (whichever the first lines agree on; a "sep=" line as spreadsheets write it
// decides), or by blanks when none of these appear. Quoted fields may hold
// separators, doubled quotes and line ends. A UTF-8 byte-order mark, CR LF line
// ends, blank lines and separators at the ends of rows do no harm.
#include <string>
#include <string_view>
#include <vector>

namespace inhibra::data {

// One row of cells and the line of the file where it begins (1-based).
struct table_row {
  int line = 0;
  std::vector<std::string> cells;
};

// The separator the cells were split at.
enum class cell_separator { comma, semicolon, tab, blanks };

struct table_text {
  std::vector<table_row> rows;  // rows holding at least one cell that is not empty
  cell_separator separator = cell_separator::comma;
  std::string error;  // why the text could not be cut into cells; empty when it could
};

// Cuts `text` into rows of cells. Cells lose the blanks around them (inside quotes
// they stay); a row loses its empty cells at the end. A line that begins with "#"
// is a note and skipped. A quote left open at the end of the text is an error.
[[nodiscard]] table_text split_table(std::string_view text);

// "comma", "semicolon", "tab" or "blanks".
[[nodiscard]] std::string_view separator_name(cell_separator s);

}  // namespace inhibra::data
