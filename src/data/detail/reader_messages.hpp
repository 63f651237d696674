#pragma once
// The data reader's messages: the model list of its information boxes, what it tells
// about a file a spreadsheet wrote, about a row it cannot read and about a row count
// out of bounds, and the warnings it shows and keeps for the run's record.
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit_context.hpp"
#include "data/detail/row_text.hpp"
#include "data/text_lines.hpp"

namespace inhibra::data {

// An information box: the heading's lines, an empty line, the list of the ten models
// and a closing line of tildes.
[[nodiscard]] std::string model_list_box(std::initializer_list<std::string_view> heading);

// What to tell about a file that a spreadsheet wrote (a header row, a "sep=" line,
// values separated by semicolons), judged from its first two non-blank lines;
// nothing for any other file.
[[nodiscard]] std::optional<std::string> spreadsheet_hint(text_lines& file);

// Why data line `line_number` (`line`) could not be read, with a hint for the fault.
[[nodiscard]] std::string unreadable_row_text(int line_number, std::string_view line,
                                              row_fault fault);

// A number of the data in a message: the shortest text that reads back as the same
// value ("100", "1e-07", "0.5").
[[nodiscard]] std::string value_text(double v);

// "1", "1 and 3", "1, 3 and 5".
[[nodiscard]] std::string listed(const std::vector<std::string>& items);

// Parts of a message that are lists themselves, apart: "a and b; c and d".
[[nodiscard]] std::string joined_by_semicolons(const std::vector<std::string>& parts);

// The second line of the row-limit message: what is actually wrong.
[[nodiscard]] std::string row_count_text(const data_extent& extent, int columns);

// The second line of the row-limit message for a table.
[[nodiscard]] std::string table_count_text(std::size_t rates);

// Warnings of the reader: shown as boxes and kept for the run's record.
struct reader_warnings {
  const core::fit_context& ctx;
  std::vector<std::string>& kept;
  void operator()(const std::string& text) const {
    core::show_message(ctx, core::box_kind::warning, text);
    kept.push_back(text);
  }
};

}  // namespace inhibra::data
