#pragma once
// How a person asked for a data table to be read: whether a file is read as a table
// whatever its name, which layout and columns it has when the reader should not
// work them out, and which sheet of a workbook. A workbook is opened through a
// loader handed in by the front end (reading one needs libraries the core does not
// link); without one, workbooks are refused with a message.
#include <functional>
#include <string>
#include <vector>

namespace inhibra::core {

// The layout of a table: worked out from its header row, or as the person said.
enum class table_layout { detect, long_table, wide_table };

// Columns (1-based) of [S], [I] and the rate in a long table; 0: worked out.
struct column_choice {
  int substrate = 0;
  int inhibitor = 0;
  int rate = 0;
  [[nodiscard]] bool given() const { return substrate > 0 || inhibitor > 0 || rate > 0; }
};

// The cells of one sheet as text, row by row (numbers written with a decimal point),
// or why the sheet could not be read. `sheet` names the sheet read.
struct sheet_cells {
  std::vector<std::vector<std::string>> rows;
  std::string sheet;
  std::string error;  // empty when the sheet was read
};

// Reads the sheet named `sheet` (the first sheet when empty) of a workbook file.
using sheet_loader = std::function<sheet_cells(const std::string& file, const std::string& sheet)>;

struct table_request {
  bool always = false;  // read the file as a table whatever its name
  table_layout layout = table_layout::detect;
  column_choice columns;
  std::string sheet;  // of a workbook; empty: the first
  sheet_loader workbook;
};

}  // namespace inhibra::core
