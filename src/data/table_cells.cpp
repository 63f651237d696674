#include "data/table_cells.hpp"

#include <cstddef>

#include "core/capacities.hpp"
#include "data/file_names.hpp"
#include "strings/text.hpp"

namespace inhibra::data {

namespace {

// A table of more bytes than this is refused before it is cut into cells.
constexpr std::size_t max_table_bytes = 16 * 1024 * 1024;

}  // namespace

table_cells text_table_cells(text_lines& file) {
  table_cells out;
  std::string text;
  std::string line;
  while (file.next(line)) {
    if (file.cut()) {
      out.error = "Line " + strings::int_text(file.line_number()) + " is longer than " +
                  strings::int_text(static_cast<long long>(max_line_length)) + " characters";
      return out;
    }
    text += line;
    text += '\n';
    if (text.size() > max_table_bytes) {
      out.error = "The table is larger than " +
                  strings::int_text(static_cast<long long>(max_table_bytes / (1024 * 1024))) +
                  " MB: it cannot hold data for at most " + strings::int_text(core::max_rows) +
                  " rows";
      return out;
    }
  }
  if (file.stopped() != text_lines::stop::none) {
    out.read_error = true;
    return out;
  }
  table_text split = split_table(text);
  if (!split.error.empty()) {
    out.error = "The table cannot be cut into cells: " + split.error;
    return out;
  }
  out.rows = std::move(split.rows);
  out.separator = split.separator;
  return out;
}

table_cells workbook_cells(const core::table_request& request, const std::string& name) {
  table_cells out;
  if (!request.workbook) {
    out.error = "This program cannot read .xlsx workbooks: save the sheet as a CSV file";
    return out;
  }
  core::sheet_cells sheet = request.workbook(name, request.sheet);
  if (!sheet.error.empty()) {
    out.error = sheet.error;
    return out;
  }
  out.sheet = sheet.sheet;
  for (std::size_t k = 0; k < sheet.rows.size(); ++k) {
    auto& cells = sheet.rows[k];
    while (!cells.empty() && strings::trim_both(cells.back()).empty())
      cells.pop_back();
    if (cells.empty()) continue;
    out.rows.push_back({static_cast<int>(k) + 1, std::move(cells)});
  }
  return out;
}

table_cells read_table_cells(const std::string& name, const core::table_request& request) {
  if (is_workbook_name(name)) return workbook_cells(request, name);
  text_lines file;
  const bool opened = file.open(name) == text_lines::opened::ok;
  table_cells out = opened ? text_table_cells(file) : table_cells{};
  if (!opened || out.read_error) {
    out = {};
    out.read_error = true;
    out.error = "The file cannot be read (missing, not a regular file, or not allowed): " +
                strings::printable(name);
  }
  return out;
}

}  // namespace inhibra::data
