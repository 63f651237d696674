#include "data/table_text.hpp"

#include <algorithm>
#include <array>
#include <optional>

#include "strings/text.hpp"

namespace inhibra::data {

namespace {

constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
// Lines looked at when the separator is worked out.
constexpr std::size_t sample_lines = 30;

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

char separator_char(cell_separator s) {
  switch (s) {
    case cell_separator::semicolon:
      return ';';
    case cell_separator::tab:
      return '\t';
    case cell_separator::blanks:
      return ' ';
    case cell_separator::comma:
      break;
  }
  return ',';
}

// The text's lines without their line ends (a CR before the LF goes too).
std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Cells of `line` at separator `sep`, outside quotes, for working out the separator.
std::size_t cells_in(std::string_view line, char sep) {
  std::size_t cells = 1;
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == sep) ++cells;
  }
  // Separators closing the row add no cells.
  std::size_t end = line.size();
  while (end > 0 && (line[end - 1] == sep || (sep != '\t' && is_blank(line[end - 1])))) {
    if (line[end - 1] == sep) --cells;
    --end;
  }
  return cells;
}

// The separator most of the first lines split into two or more cells; among equals,
// the one that gives every line as many cells as the first, then tab before
// semicolon before comma (a semicolon table may hold decimal commas, a tab table
// either).
cell_separator detect_separator(const std::vector<std::string_view>& lines) {
  constexpr std::array candidates{cell_separator::tab, cell_separator::semicolon,
                                  cell_separator::comma};
  std::optional<cell_separator> best;
  std::size_t best_split = 0;
  std::size_t best_even = 0;
  for (const auto candidate : candidates) {
    const char sep = separator_char(candidate);
    std::size_t split = 0;
    std::size_t even = 0;
    std::size_t first = 0;
    std::size_t seen = 0;
    for (const auto line : lines) {
      if (strings::adjustl_controls(line).empty()) continue;
      if (seen++ == sample_lines) break;
      const std::size_t n = cells_in(line, sep);
      if (first == 0) first = n;
      if (n >= 2) ++split;
      if (n == first) ++even;
    }
    if (split == 0) continue;
    if (!best || split > best_split || (split == best_split && even > best_even)) {
      best = candidate;
      best_split = split;
      best_even = even;
    }
  }
  return best.value_or(cell_separator::blanks);
}

std::string trimmed(std::string_view cell) {
  while (!cell.empty() && is_blank(cell.front()))
    cell.remove_prefix(1);
  while (!cell.empty() && is_blank(cell.back()))
    cell.remove_suffix(1);
  return std::string(cell);
}

}  // namespace

std::string_view separator_name(cell_separator s) {
  switch (s) {
    case cell_separator::semicolon:
      return "semicolon";
    case cell_separator::tab:
      return "tab";
    case cell_separator::blanks:
      return "blanks";
    case cell_separator::comma:
      break;
  }
  return "comma";
}

table_text split_table(std::string_view text) {
  table_text out;
  if (text.starts_with(byte_order_mark)) text.remove_prefix(byte_order_mark.size());
  const auto lines = lines_of(text);
  std::size_t first = 0;
  // A first line "sep=;" names the separator.
  std::optional<cell_separator> named;
  while (first < lines.size() && strings::adjustl_controls(lines[first]).empty())
    ++first;
  if (first < lines.size()) {
    const std::string_view top = strings::trim_both(lines[first]);
    if (top.size() == 5 && strings::to_upper(top.substr(0, 4)) == "SEP=") {
      switch (top[4]) {
        case ';':
          named = cell_separator::semicolon;
          break;
        case '\t':
          named = cell_separator::tab;
          break;
        case ',':
          named = cell_separator::comma;
          break;
        default:
          out.error = "line " + strings::int_text(static_cast<long long>(first) + 1) +
                      " names a separator that is not a comma, semicolon or tab";
          return out;
      }
      ++first;
    }
  }
  out.separator = named.value_or(detect_separator(std::vector<std::string_view>(
      lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end())));
  const char sep = separator_char(out.separator);
  const bool blanks = out.separator == cell_separator::blanks;

  table_row row;
  std::string cell;
  bool quoted = false;        // inside a quoted field
  bool was_quoted = false;    // the cell began with a quote
  bool cell_started = false;  // the cell holds something other than blanks
  int open_line = 0;          // where an open quote began
  auto end_cell = [&] {
    row.cells.push_back(was_quoted ? cell : trimmed(cell));
    cell.clear();
    was_quoted = false;
    cell_started = false;
  };
  auto end_row = [&] {
    while (!row.cells.empty() && row.cells.back().empty())
      row.cells.pop_back();
    const bool note = !row.cells.empty() && row.cells.front().starts_with('#');
    if (!row.cells.empty() && !note) out.rows.push_back(std::move(row));
    row = table_row{};
  };
  for (std::size_t n = first; n < lines.size(); ++n) {
    const std::string_view line = lines[n];
    if (!quoted) {
      row.line = static_cast<int>(n) + 1;
    } else {
      cell += '\n';  // a line end inside a quoted field belongs to it
    }
    for (std::size_t k = 0; k < line.size(); ++k) {
      const char c = line[k];
      if (quoted) {
        if (c == '"') {
          if (k + 1 < line.size() && line[k + 1] == '"') {
            cell += '"';
            ++k;
          } else {
            quoted = false;
          }
        } else {
          cell += c;
        }
      } else if (c == '"' && !cell_started) {
        quoted = true;
        was_quoted = true;
        cell_started = true;
        cell.clear();
        open_line = static_cast<int>(n) + 1;
      } else if (blanks ? is_blank(c) : c == sep) {
        if (blanks && !cell_started) continue;  // a run of blanks is one separator
        end_cell();
      } else {
        if (!is_blank(c)) cell_started = true;
        if (was_quoted) {
          if (!is_blank(c)) cell += c;  // text after a closing quote joins the cell
        } else {
          cell += c;
        }
      }
    }
    if (quoted) continue;
    if (cell_started || !cell.empty() || !row.cells.empty()) end_cell();
    end_row();
  }
  if (quoted) {
    out.error = "the quote opened on line " + strings::int_text(open_line) + " is never closed";
    out.rows.clear();
  }
  return out;
}

}  // namespace inhibra::data
