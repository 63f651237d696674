#include "data/table_reader.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <tuple>
#include <utility>

#include <fmt/format.h>

#include "data/data_file.hpp"
#include "strings/text.hpp"

namespace inhibra::data {

namespace {

using core::column_choice;
using core::table_layout;

enum class role { substrate, inhibitor, rate };

constexpr std::string_view columns_hint =
    "--columns S=1,I=2,v=3 (the column numbers of [S], [I] and the rate)";

std::string_view role_name(role r) {
  switch (r) {
    case role::substrate:
      return "[S]";
    case role::inhibitor:
      return "[I]";
    case role::rate:
      break;
  }
  return "the rate";
}

std::string trimmed(std::string_view s) {
  return std::string(strings::trim_both(s));
}

// A cell as a finite number. With `decimal_comma`, one comma between digits stands
// for the decimal point.
std::optional<double> cell_number(std::string_view cell, bool decimal_comma) {
  std::string text = trimmed(cell);
  if (decimal_comma) {
    const auto comma = text.find(',');
    if (comma != std::string::npos && text.find(',', comma + 1) == std::string::npos &&
        text.find('.') == std::string::npos) {
      text[comma] = '.';
    }
  }
  return strings::finite_number(text);
}

bool is_empty(std::string_view cell) {
  return strings::trim_both(cell).empty();
}

// A title and the unit it gives: "S (µM)", "[I] / nM", "v [µM/min]".
struct titled {
  std::string name;
  std::string unit;
};

titled split_unit(std::string_view cell) {
  const std::string text = trimmed(cell);
  auto part = [&](std::size_t from, std::size_t to) {
    return trimmed(std::string_view(text).substr(from, to - from));
  };
  if (text.ends_with(')')) {
    const auto open = text.rfind('(');
    if (open != std::string::npos && open > 0)
      return {part(0, open), part(open + 1, text.size() - 1)};
  }
  if (const auto slash = text.find('/'); slash != std::string::npos && slash > 0) {
    return {part(0, slash), part(slash + 1, text.size())};
  }
  if (text.ends_with(']')) {
    const auto open = text.rfind('[');
    if (open != std::string::npos && open > 0)
      return {part(0, open), part(open + 1, text.size() - 1)};
  }
  return {text, ""};
}

// The role a column title names, case, brackets and blanks aside.
std::optional<role> role_of(std::string_view name) {
  std::string key;
  for (const char c : name) {
    if (c == '[' || c == ']' || c == ' ' || c == '_' || c == '-' || c == '.') continue;
    key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  static const std::map<std::string, role, std::less<>> known{
      {"s", role::substrate},
      {"substrate", role::substrate},
      {"conc", role::substrate},
      {"concentration", role::substrate},
      {"substrateconc", role::substrate},
      {"substrateconcentration", role::substrate},
      {"i", role::inhibitor},
      {"inhibitor", role::inhibitor},
      {"inhibitorconc", role::inhibitor},
      {"inhibitorconcentration", role::inhibitor},
      {"v", role::rate},
      {"v0", role::rate},
      {"vi", role::rate},
      {"rate", role::rate},
      {"velocity", role::rate},
      {"activity", role::rate},
      {"initialrate", role::rate},
      {"initialvelocity", role::rate},
  };
  const auto found = known.find(key);
  if (found == known.end()) return std::nullopt;
  return found->second;
}

std::string cell_name(int row, int column) {
  return "row " + strings::int_text(row) + ", column " + strings::int_text(column) + " (" +
         column_letters(column) + ")";
}

std::string quoted(std::string_view cell) {
  return "\"" + strings::printable(cell) + "\"";
}

// The first row as found, for a message: "S (µM) | I | v".
std::string shown_row(const table_row& row) {
  std::string text;
  for (std::size_t k = 0; k < row.cells.size() && k < 12; ++k) {
    if (k > 0) text += " | ";
    text += strings::printable(row.cells[k]);
  }
  if (row.cells.size() > 12) text += " | ...";
  return text;
}

std::string with_found(std::string message, const table_row& first, std::string_view hint) {
  message += std::string(core::box_line_break) + "Row " + strings::int_text(first.line) + ": " +
             shown_row(first);
  if (!hint.empty()) message += std::string(core::box_line_break) + std::string(hint);
  return message;
}

std::string not_a_number(int row, int column, std::string_view cell, bool decimal_comma) {
  std::string text = "The cell at " + cell_name(row, column) + " is not a number: " + quoted(cell);
  if (!decimal_comma && cell.find(',') != std::string_view::npos) {
    text += std::string(core::box_line_break) +
            "a decimal comma is read only in tables separated by semicolons; write a decimal "
            "point, or separate the cells by \";\"";
  }
  return text;
}

std::string cell_at(const table_row& row, int column) {
  const auto k = static_cast<std::size_t>(column - 1);
  return k < row.cells.size() ? row.cells[k] : std::string();
}

// Puts the observations in curves of one [I] by rising [I], each curve in table order.
void group_into_curves(table_reading& out) {
  std::vector<double> references;
  std::vector<std::size_t> curve_of(out.observations.size());
  for (std::size_t k = 0; k < out.observations.size(); ++k) {
    const double value = out.observations[k].inhibitor;
    const auto same = std::find_if(references.begin(), references.end(), [&](double r) {
      return std::abs(r - value) <= curve_tolerance;
    });
    curve_of[k] = static_cast<std::size_t>(same - references.begin());
    if (same == references.end()) references.push_back(value);
  }
  std::vector<std::size_t> order(references.size());
  for (std::size_t k = 0; k < order.size(); ++k)
    order[k] = k;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return references[a] < references[b]; });
  std::vector<table_observation> grouped;
  grouped.reserve(out.observations.size());
  for (const std::size_t curve : order) {
    for (std::size_t k = 0; k < out.observations.size(); ++k) {
      if (curve_of[k] == curve) grouped.push_back(out.observations[k]);
    }
  }
  out.observations = std::move(grouped);
  out.curves = static_cast<int>(references.size());

  std::map<std::pair<double, double>, int> measured;
  for (const auto& o : out.observations)
    ++measured[{o.substrate, o.inhibitor}];
  for (const auto& [pair, count] : measured) {
    if (count > 1) ++out.replicate_sets;
    out.most_replicates = std::max(out.most_replicates, count);
  }
}

// The columns of a long table named by its header row.
bool columns_from_header(const table_row& header, table_reading& out) {
  std::map<role, std::vector<int>> found;
  std::vector<std::pair<int, titled>> others;
  for (std::size_t k = 0; k < header.cells.size(); ++k) {
    const int column = static_cast<int>(k) + 1;
    if (is_empty(header.cells[k])) continue;
    const titled t = split_unit(header.cells[k]);
    if (const auto r = role_of(t.name)) {
      found[*r].push_back(column);
    } else if (const auto whole = role_of(header.cells[k])) {
      found[*whole].push_back(column);
    } else {
      others.emplace_back(column, t);
    }
  }
  for (const role r : {role::substrate, role::inhibitor, role::rate}) {
    const auto& columns = found[r];
    if (columns.size() > 1) {
      std::vector<std::string> named;
      for (const int c : columns)
        named.push_back(strings::int_text(c) + " " + quoted(cell_at(header, c)));
      std::string list;
      for (std::size_t k = 0; k < named.size(); ++k)
        list += (k == 0 ? "" : k + 1 == named.size() ? " and " : ", ") + named[k];
      out.error = with_found("Two columns could be " + std::string(role_name(r)) + ": columns " +
                                 list + ". Say which columns to use: " + std::string(columns_hint),
                             header, "");
      return false;
    }
  }
  std::vector<std::string> missing;
  for (const role r : {role::substrate, role::inhibitor, role::rate}) {
    if (found[r].empty()) missing.emplace_back(role_name(r));
  }
  if (!missing.empty()) {
    std::string list;
    for (std::size_t k = 0; k < missing.size(); ++k)
      list += (k == 0 ? "" : k + 1 == missing.size() ? " and " : ", ") + missing[k];
    out.error = with_found(
        "The header row names no column for " + list +
            " (known titles: S, [S], substrate, conc; I, [I], inhibitor; v, rate, velocity, "
            "activity)",
        header,
        "Name the columns in the header row, or say which to use: " + std::string(columns_hint) +
            "; a plate layout ([S] down, [I] across) is read with --layout wide");
    return false;
  }
  out.columns = {found[role::substrate][0], found[role::inhibitor][0], found[role::rate][0]};
  out.units.substrate = split_unit(cell_at(header, out.columns.substrate)).unit;
  out.units.inhibitor = split_unit(cell_at(header, out.columns.inhibitor)).unit;
  out.units.rate = split_unit(cell_at(header, out.columns.rate)).unit;
  for (const auto& [column, t] : others) {
    out.unused_columns.push_back(strings::int_text(column) + " (" + strings::printable(t.name) +
                                 (t.unit.empty() ? "" : " " + strings::printable(t.unit)) + ")");
  }
  return true;
}

void read_long_rows(const std::vector<table_row>& rows, std::size_t first, bool decimal_comma,
                    table_reading& out) {
  const column_choice c = out.columns;
  for (std::size_t k = first; k < rows.size(); ++k) {
    const table_row& row = rows[k];
    const std::string s = cell_at(row, c.substrate);
    const std::string i = cell_at(row, c.inhibitor);
    const std::string v = cell_at(row, c.rate);
    if (is_empty(v)) {
      // A rate not measured: a missing value, whatever the row holds besides.
      ++out.empty_cells;
      continue;
    }
    for (const auto& [text, column, what] : {std::tuple{&s, c.substrate, role::substrate},
                                             std::tuple{&i, c.inhibitor, role::inhibitor}}) {
      if (is_empty(*text)) {
        out.error = "The rate at " + cell_name(row.line, c.rate) + " has no " +
                    std::string(role_name(what)) + " beside it (column " +
                    strings::int_text(column) + " is empty)";
        return;
      }
    }
    table_observation o;
    o.row = row.line;
    o.column = c.rate;
    for (const auto& [text, column, value] :
         {std::tuple{&s, c.substrate, &o.substrate}, std::tuple{&i, c.inhibitor, &o.inhibitor},
          std::tuple{&v, c.rate, &o.rate}}) {
      const auto number = cell_number(*text, decimal_comma);
      if (!number) {
        out.error = not_a_number(row.line, column, *text, decimal_comma);
        return;
      }
      *value = *number;
    }
    out.observations.push_back(o);
  }
}

// The corner cell of a wide table: which of [S] and [I] runs down the first column,
// and the units it gives. "S \ I" and "[S] (µM) / [I] (nM)" name the row's quantity
// first; a corner naming [I] alone puts [I] down the rows.
struct corner_reading {
  bool transposed = false;
  axis_units units;
};

corner_reading read_corner(std::string_view corner) {
  corner_reading out;
  auto set_unit = [&](role r, const std::string& unit) {
    (r == role::substrate   ? out.units.substrate
     : r == role::inhibitor ? out.units.inhibitor
                            : out.units.rate) = unit;
  };
  for (const char sep : {'\\', '|', '/'}) {
    const auto at = corner.find(sep);
    if (at == std::string_view::npos) continue;
    const titled down = split_unit(corner.substr(0, at));
    const titled across = split_unit(corner.substr(at + 1));
    const auto r_down = role_of(down.name);
    const auto r_across = role_of(across.name);
    if (r_down && r_across && *r_down != *r_across && *r_down != role::rate &&
        *r_across != role::rate) {
      out.transposed = *r_down == role::inhibitor;
      set_unit(*r_down, down.unit);
      set_unit(*r_across, across.unit);
      return out;
    }
  }
  const titled one = split_unit(corner);
  if (const auto r = role_of(one.name)) {
    out.transposed = *r == role::inhibitor;
    set_unit(*r, one.unit);
  }
  return out;
}

void read_wide(const std::vector<table_row>& rows, bool decimal_comma, table_reading& out) {
  const table_row& header = rows.front();
  const corner_reading corner = read_corner(header.cells.front());
  out.transposed = corner.transposed;
  out.units = corner.units;
  out.header = true;
  const role across = out.transposed ? role::substrate : role::inhibitor;
  const role down = out.transposed ? role::inhibitor : role::substrate;
  std::vector<std::optional<double>> heads(header.cells.size());
  for (std::size_t k = 1; k < header.cells.size(); ++k) {
    if (is_empty(header.cells[k])) continue;
    heads[k] = cell_number(header.cells[k], decimal_comma);
    if (!heads[k]) {
      out.error = with_found(
          "The header row of a plate layout holds " + std::string(role_name(across)) +
              " values, but the cell at " + cell_name(header.line, static_cast<int>(k) + 1) +
              " is not a number: " + quoted(header.cells[k]),
          header, "A table with one observation a row is read with --layout long");
      return;
    }
  }
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const table_row& row = rows[r];
    const auto label = cell_number(row.cells.front(), decimal_comma);
    if (!label) {
      out.error = is_empty(row.cells.front())
                      ? "Row " + strings::int_text(row.line) + " holds rates but no " +
                            std::string(role_name(down)) + " in its first column"
                      : not_a_number(row.line, 1, row.cells.front(), decimal_comma);
      return;
    }
    for (std::size_t k = 1; k < std::max(row.cells.size(), heads.size()); ++k) {
      const int column = static_cast<int>(k) + 1;
      const std::string cell = k < row.cells.size() ? row.cells[k] : std::string();
      if (is_empty(cell)) {
        if (k < heads.size() && heads[k]) ++out.empty_cells;
        continue;
      }
      if (k >= heads.size() || !heads[k]) {
        out.error = "The rate at " + cell_name(row.line, column) + " has no " +
                    std::string(role_name(across)) + " above it in the header row";
        return;
      }
      const auto rate = cell_number(cell, decimal_comma);
      if (!rate) {
        out.error = not_a_number(row.line, column, cell, decimal_comma);
        return;
      }
      table_observation o;
      o.substrate = out.transposed ? *heads[k] : *label;
      o.inhibitor = out.transposed ? *label : *heads[k];
      o.rate = *rate;
      o.row = row.line;
      o.column = column;
      out.observations.push_back(o);
    }
  }
  // A plate is read by columns of one [I] (or rows, transposed), so the curves keep
  // the rising [S] of the table whatever the replicates' order.
  if (!out.transposed) {
    std::stable_sort(
        out.observations.begin(), out.observations.end(),
        [](const table_observation& a, const table_observation& b) { return a.column < b.column; });
  }
}

bool all_numbers(const table_row& row, std::size_t from, bool decimal_comma) {
  bool any = false;
  for (std::size_t k = from; k < row.cells.size(); ++k) {
    if (is_empty(row.cells[k])) continue;
    if (!cell_number(row.cells[k], decimal_comma)) return false;
    any = true;
  }
  return any;
}

std::size_t widest_row(const std::vector<table_row>& rows) {
  std::size_t widest = 0;
  for (const auto& r : rows)
    widest = std::max(widest, r.cells.size());
  return widest;
}

// A long table with the columns the person named.
void read_chosen_columns(const std::vector<table_row>& rows, bool decimal_comma,
                         const column_choice& chosen, table_reading& out) {
  out.layout = table_layout::long_table;
  out.columns = chosen;
  const auto widest = static_cast<int>(widest_row(rows));
  for (const int c : {chosen.substrate, chosen.inhibitor, chosen.rate}) {
    if (c > widest) {
      out.error = with_found("--columns names column " + strings::int_text(c) +
                                 ", but the table has " + strings::int_text(widest) + " columns",
                             rows.front(), "");
      return;
    }
  }
  const table_row& first = rows.front();
  int titles = 0;
  for (const int c : {chosen.substrate, chosen.inhibitor, chosen.rate}) {
    const std::string cell = cell_at(first, c);
    if (!is_empty(cell) && !cell_number(cell, decimal_comma)) ++titles;
  }
  if (titles > 0 && titles < 3) {
    out.error = with_found(
        "The first row holds numbers and titles in the columns chosen: it is neither a header "
        "row nor a row of data",
        first, "Give the first row titles for all three columns, or none");
    return;
  }
  out.header = titles == 3;
  if (out.header) {
    out.units.substrate = split_unit(cell_at(first, chosen.substrate)).unit;
    out.units.inhibitor = split_unit(cell_at(first, chosen.inhibitor)).unit;
    out.units.rate = split_unit(cell_at(first, chosen.rate)).unit;
  }
  for (int c = 1; c <= widest; ++c) {
    if (c == chosen.substrate || c == chosen.inhibitor || c == chosen.rate) continue;
    const std::string title = out.header ? cell_at(first, c) : std::string();
    out.unused_columns.push_back(strings::int_text(c) +
                                 (title.empty() ? "" : " (" + strings::printable(title) + ")"));
  }
  read_long_rows(rows, out.header ? 1 : 0, decimal_comma, out);
}

}  // namespace

std::string column_letters(int column) {
  std::string letters;
  for (int n = column; n > 0; n = (n - 1) / 26)
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  return letters;
}

bool parse_column_choice(std::string_view text, column_choice& out, std::string& error) {
  column_choice chosen;
  std::size_t start = 0;
  while (start <= text.size()) {
    auto end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view item = strings::trim_both(text.substr(start, end - start));
    const auto equals = item.find('=');
    int column = 0;
    const std::string_view number = equals == std::string_view::npos
                                        ? std::string_view()
                                        : strings::trim_both(item.substr(equals + 1));
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), column);
    if (equals == std::string_view::npos || ec != std::errc{} ||
        ptr != number.data() + number.size() || column < 1 || column > 16384) {
      error = "--columns takes S=N,I=N,v=N with column numbers from 1: \"" +
              strings::printable(item) + "\" is not one of them";
      return false;
    }
    const auto r = role_of(strings::trim_both(item.substr(0, equals)));
    int* slot = !r                      ? nullptr
                : *r == role::substrate ? &chosen.substrate
                : *r == role::inhibitor ? &chosen.inhibitor
                                        : &chosen.rate;
    if (slot == nullptr || *slot != 0) {
      error = "--columns names S, I and v once each: \"" + strings::printable(item) + "\"" +
              (slot == nullptr ? " names none of them" : " names one again");
      return false;
    }
    *slot = column;
    start = end + 1;
  }
  if (chosen.substrate == 0 || chosen.inhibitor == 0 || chosen.rate == 0) {
    error = "--columns needs the columns of all three: S=N,I=N,v=N";
    return false;
  }
  if (chosen.substrate == chosen.inhibitor || chosen.substrate == chosen.rate ||
      chosen.inhibitor == chosen.rate) {
    error = "--columns names one column for two quantities";
    return false;
  }
  out = chosen;
  return true;
}

table_reading read_table(const std::vector<table_row>& rows, bool decimal_comma,
                         const core::table_request& request) {
  table_reading out;
  if (rows.empty()) {
    out.error = "The table holds no rows";
    return out;
  }
  const table_row& first = rows.front();
  const bool header_of_numbers = first.cells.size() >= 2 && all_numbers(first, 1, decimal_comma) &&
                                 !cell_number(first.cells.front(), decimal_comma);
  const bool first_all_numbers = all_numbers(first, 0, decimal_comma);

  if (request.columns.given()) {
    if (request.layout == table_layout::wide_table) {
      out.error = "--columns names the columns of a long table; a plate layout has none to name";
      return out;
    }
    read_chosen_columns(rows, decimal_comma, request.columns, out);
  } else if (request.layout == table_layout::wide_table ||
             (request.layout == table_layout::detect && header_of_numbers)) {
    out.layout = table_layout::wide_table;
    if (!header_of_numbers) {
      out.error = with_found(
          "A plate layout begins with a header row of [I] values (or [S] values) after a "
          "corner cell, but the first row is not one",
          first, "");
      return out;
    }
    read_wide(rows, decimal_comma, out);
  } else if (first_all_numbers) {
    const std::size_t widest = widest_row(rows);
    if (widest != 3) {
      out.error = with_found("The table has no header row and " +
                                 strings::int_text(static_cast<long long>(widest)) +
                                 " columns: which of them hold [S], [I] and the rate cannot be "
                                 "told",
                             first,
                             "Give the table a header row (S, I, v), or say which columns to "
                             "use: " +
                                 std::string(columns_hint));
      out.layout = table_layout::long_table;
      return out;
    }
    // Three columns without titles are [S], [I] and the rate, as in the native format.
    out.layout = table_layout::long_table;
    out.columns = {1, 2, 3};
    read_long_rows(rows, 0, decimal_comma, out);
  } else {
    out.layout = table_layout::long_table;
    out.header = true;
    // Numbers among the titles: a plate layout with a label in its header row, or a
    // long table whose header lost a title; either way it is not certain.
    bool numbers_in_header = false;
    for (const auto& cell : first.cells)
      numbers_in_header = numbers_in_header || cell_number(cell, decimal_comma).has_value();
    if (numbers_in_header) {
      out.error = with_found(
          "The header row holds both titles and numbers: it is not certain whether the table "
          "has one observation a row or is a plate layout",
          first,
          "Say which: --layout long (with the columns: " + std::string(columns_hint) +
              ") or --layout wide ([S] down the first column, [I] values across the first row)");
      return out;
    }
    if (!columns_from_header(first, out)) return out;
    read_long_rows(rows, 1, decimal_comma, out);
  }
  if (!out.error.empty()) return out;
  if (out.observations.empty()) {
    out.error = out.header
                    ? with_found("The table has a header row but no rates below it", first, "")
                    : "The table holds no rates";
    return out;
  }
  group_into_curves(out);
  return out;
}

}  // namespace inhibra::data
