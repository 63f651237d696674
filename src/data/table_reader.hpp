#pragma once
// What the cells of a data table mean: a long table (one observation a row, columns
// named [S], [I] and rate in a header row) or a wide table as plate readers write it
// ([S] down the first column, [I] values across the header row, rates in the cells;
// repeated [I] values are replicate columns; empty cells are missing, not zero; the
// transposed form when the corner cell names [I] first). The layout and the columns
// are worked out from the header row; when they cannot be told for certain the
// reading stops with a message that shows what was found and how to say what is meant.
#include <string>
#include <vector>

#include "core/table_request.hpp"
#include "data/table_text.hpp"

namespace inhibra::data {

// One measured rate and the cell it came from (row: line of the file or row of the
// sheet; column: 1-based).
struct table_observation {
  double substrate = 0.0;
  double inhibitor = 0.0;
  double rate = 0.0;
  int row = 0;
  int column = 0;
};

// Units read from the header row; empty when it gives none.
struct axis_units {
  std::string substrate;
  std::string inhibitor;
  std::string rate;
};

struct table_reading {
  std::string error;  // why the table cannot be read; empty when it was read
  core::table_layout layout = core::table_layout::detect;  // long_table or wide_table when read
  bool transposed = false;  // a wide table with [I] down the first column
  bool header = false;      // the first row holds titles, not data
  core::column_choice columns;              // a long table's columns
  std::vector<std::string> unused_columns;  // columns left out: "4 (well)"
  axis_units units;
  // In curves of one [I] (within curve_tolerance), curves by rising [I], each in the
  // order of the table.
  std::vector<table_observation> observations;
  int curves = 0;
  int empty_cells = 0;      // rate cells left empty (missing values)
  int replicate_sets = 0;   // [S], [I] pairs measured more than once
  int most_replicates = 0;  // the most rates of one [S], [I] pair
};

// Reads the rows of a table. `decimal_comma`: a comma between digits is the decimal
// separator (only in tables separated by semicolons, where it cannot be a separator).
[[nodiscard]] table_reading read_table(const std::vector<table_row>& rows, bool decimal_comma,
                                       const core::table_request& request);

// "C" for column 3, "AA" for column 27: the spreadsheet name of a column.
[[nodiscard]] std::string column_letters(int column);

// Parses "S=2,I=1,v=4" (roles in any order, each once; "rate" may stand for "v").
// False with a message in `error` when it does not name all three columns.
[[nodiscard]] bool parse_column_choice(std::string_view text, core::column_choice& out,
                                       std::string& error);

}  // namespace inhibra::data
