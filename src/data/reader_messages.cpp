#include "data/detail/reader_messages.hpp"

#include <fmt/format.h>

#include "strings/text.hpp"

namespace inhibra::data {

namespace {

constexpr std::string_view model_lines[] = {
    "1- Linear Specific Inhibition, LSpI",         "2- Linear Mixed Inhibition, LMx(Sp=Ca)I",
    "3- Linear Mixed Inhibition, LMx(Sp<Ca)I",     "4- Linear Mixed Inhibition, LMx(Sp>Ca)I",
    "5- Hyperbolic Specific Inhibition, HSpI",     "6- Hyperbolic Mixed Inhibition, HMx(Sp=Ca)I",
    "7- Hyperbolic Catalytic Inhibition, HCaI",    "8- Hyperbolic Mixed Inhibition, HMx(Sp<Ca)I",
    "9- Hyperbolic Mixed Inhibition, HMx(Sp>Ca)I", "10-General Hyperbolic Enzyme-Modifier Model",
};
constexpr std::string_view tilde_line = "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~";

// The line as the person wrote it, for a message: without its line end, control
// characters other than TAB shown as \xNN.
std::string quoted_line(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
    line.remove_suffix(1);
  return strings::printable(line, true);
}

constexpr std::string_view save_as_text =
    "read it as a table (a name ending in .csv, or inhibra-fit --table), or save the data as "
    "plain text: three columns [S] [I] rate separated by blanks, one row a line, no header row";

}  // namespace

std::string model_list_box(std::initializer_list<std::string_view> heading) {
  std::string text;
  for (auto line : heading) {
    text += line;
    text += core::box_line_break;
  }
  text += core::box_line_break;  // the empty line before the model list
  for (auto line : model_lines) {
    text += line;
    text += core::box_line_break;
  }
  text += tilde_line;
  return text;
}

std::optional<std::string> spreadsheet_hint(text_lines& file) {
  if (!file.rewind()) return std::nullopt;
  struct numbered {
    int number;
    std::string text;
  };
  std::vector<numbered> first;
  std::string line;
  while (first.size() < 2 && file.next(line)) {
    if (strings::adjustl_controls(line).empty()) continue;
    first.push_back({file.line_number(), line.substr(0, column_line_length)});
  }
  if (first.empty()) return std::nullopt;
  auto header_at = [&](std::size_t k) -> std::optional<std::string> {
    if (k >= first.size() || !spreadsheet_header(first[k].text)) return std::nullopt;
    return "Line " + strings::int_text(first[k].number) +
           " looks like a spreadsheet export with a header row:" +
           std::string(core::box_line_break) + quoted_line(first[k].text) +
           std::string(core::box_line_break) + std::string(save_as_text);
  };
  const std::string_view top = strings::adjustl_controls(first[0].text);
  if (strings::to_upper(top.substr(0, 4)) == "SEP=") {
    if (auto header = header_at(1)) return header;
    return "Line " + strings::int_text(first[0].number) + " (" + quoted_line(top) +
           ") looks like a spreadsheet export:" + std::string(core::box_line_break) +
           std::string(save_as_text);
  }
  if (auto header = header_at(0)) return header;
  const auto fields = loose_fields(top);
  if (top.find(';') != std::string_view::npos && !fields.empty() && parse_number(fields[0])) {
    return "The file looks like a spreadsheet export with values separated by \";\":" +
           std::string(core::box_line_break) + quoted_line(first[0].text) +
           std::string(core::box_line_break) + std::string(save_as_text);
  }
  return std::nullopt;
}

std::string unreadable_row_text(int line_number, std::string_view line, row_fault fault) {
  std::string text =
      "Data line " + strings::int_text(line_number) +
      " does not begin with three numbers [S] [I] Rate:" + std::string(core::box_line_break) +
      quoted_line(line);
  if (fault == row_fault::decimal_comma) {
    text += core::box_line_break;
    text += "decimal comma? use a point";
  } else if (fault == row_fault::control_character) {
    text += core::box_line_break;
    text += "control character in the line (shown as \\xNN); save the file as plain text";
  } else if (line_number == 1 && holds_titles(line)) {
    text += core::box_line_break;
    text += "the data begin on the first line: remove the header row";
  }
  return text;
}

std::string value_text(double v) {
  return fmt::format("{}", v);
}

std::string listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (k > 0) text += k + 1 == items.size() ? " and " : ", ";
    text += items[k];
  }
  return text;
}

std::string joined_by_semicolons(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts)
    text += (text.empty() ? "" : "; ") + part;
  return text;
}

std::string row_count_text(const data_extent& extent, int columns) {
  if (extent.rows == 0) {
    if (columns < 0) return "the file holds no data rows";
    return std::string("the data end at line 1, ") +
           (extent.end_is_blank ? "a blank line" : "a note line") +
           ", before any row: the data begin on the first line";
  }
  const std::string rows = strings::int_text(extent.rows);
  if (extent.rows < 3) {
    return "the data hold " + rows + (extent.rows == 1 ? " row" : " rows") +
           "; at least 3 are needed";
  }
  return "the data hold " + rows + " rows; at most " + strings::int_text(core::max_rows) +
         " can be read";
}

std::string table_count_text(std::size_t rates) {
  const std::string n = strings::int_text(static_cast<long long>(rates));
  if (rates < 3)
    return "the table holds " + n + (rates == 1 ? " rate" : " rates") + "; at least 3 are needed";
  return "the table holds " + n + " rates; at most " + strings::int_text(core::max_rows) +
         " can be read";
}

}  // namespace inhibra::data
