#pragma once
// The cells of a table file before their meaning is worked out: a text table cut
// into rows of cells, or a workbook's sheet through the loader the front end hands in.
#include <optional>
#include <string>
#include <vector>

#include "core/table_request.hpp"
#include "data/table_text.hpp"
#include "data/text_lines.hpp"

namespace inhibra::data {

// The rows of cells of a table file, or why there are none.
struct table_cells {
  std::vector<table_row> rows;
  std::optional<cell_separator> separator;  // of a text table
  std::string sheet;                        // the sheet read, of a workbook
  std::string error;                        // the message when the cells could not be read
  bool read_error = false;                  // the file could not be read to its end
};

// The cells of the table file `name` as a run reads them (a workbook through
// request.workbook and request.sheet), before their meaning is worked out: what a
// preview shows. A file that cannot be read gives read_error and a message.
[[nodiscard]] table_cells read_table_cells(const std::string& name,
                                           const core::table_request& request);

// The cells of a text table read from `file` (from where it stands). A line longer
// than max_line_length or a table too large gives a message; a file that could not be
// read to its end gives read_error.
[[nodiscard]] table_cells text_table_cells(text_lines& file);

// The rows of a workbook's sheet, through the loader the front end handed in. Rows
// are numbered as in the sheet; empty rows and empty cells at the ends of rows go.
[[nodiscard]] table_cells workbook_cells(const core::table_request& request,
                                         const std::string& name);

}  // namespace inhibra::data
