#pragma once
// The texts of a table window, as plain data: the caller fills them without Qt.
#include <functional>
#include <string>
#include <vector>

namespace inhibra::toolkit {

// One row: its cells (one per column, missing cells are empty), the rows under it,
// and the tooltips of its cells (one per column; missing or empty: none).
struct table_row {
  std::vector<std::string> cells;
  std::vector<table_row> children;
  std::vector<std::string> tooltips = {};  // (an initializer, so rows may leave it out)
};

struct table_contents {
  std::string heading;               // shown above the table (empty: nothing)
  std::vector<std::string> columns;  // header texts
  std::vector<bool> right_aligned;   // per column; numbers line up on the right
  std::vector<table_row> rows;
  std::string legend;          // shown below the table
  std::string clipboard_text;  // what "Copy" puts on the clipboard
  // A second, smaller table below the first (none when it has no columns).
  std::string second_title;
  std::vector<std::string> second_columns;
  std::vector<table_row> second_rows;
};

// Writes the table to the file named; returns an empty text when it did, else why
// it did not.
using table_writer = std::function<std::string(const std::string& file_name)>;

}  // namespace inhibra::toolkit
