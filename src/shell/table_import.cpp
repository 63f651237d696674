#include "shell/table_import.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "core/capacities.hpp"
#include "data/table_reader.hpp"
#include "strings/text.hpp"

namespace inhibra::shell {

namespace {

using toolkit::import_layout;
using toolkit::import_mapping;

// The shortest text that reads back as the same number.
std::string number_text(double v) {
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

std::string unit_or_none(const std::string& unit) {
  return unit.empty() ? std::string("not given") : strings::printable(unit);
}

bool decimal_comma(const data::table_cells& cells) {
  return cells.separator == data::cell_separator::semicolon;
}

std::string plural(std::size_t n, std::string_view one, std::string_view many) {
  return strings::int_text(static_cast<long long>(n)) + " " + std::string(n == 1 ? one : many);
}

std::size_t widest_row(const std::vector<data::table_row>& rows) {
  std::size_t widest = 0;
  for (const auto& r : rows)
    widest = std::max(widest, r.cells.size());
  return widest;
}

// The curves of a reading: [I] and the number of rates, in the order of the reading.
struct curve_count {
  double inhibitor = 0.0;
  std::size_t rates = 0;
};

std::vector<curve_count> curves_of(const data::table_reading& reading) {
  std::vector<curve_count> out;
  for (const auto& o : reading.observations) {
    if (out.empty() || std::abs(o.inhibitor - out.back().inhibitor) > data::curve_tolerance) {
      out.push_back({o.inhibitor, 0});
    }
    ++out.back().rates;
  }
  return out;
}

// Why a run would refuse these curves, or nothing.
std::string over_limits(const data::table_reading& reading,
                        const std::vector<curve_count>& curves) {
  const std::size_t rates = reading.observations.size();
  if (rates < 3 || rates > static_cast<std::size_t>(core::max_rows)) {
    return "The table holds " + plural(rates, "rate", "rates") + "; a data file holds 3 to " +
           strings::int_text(core::max_rows);
  }
  if (curves.size() > static_cast<std::size_t>(core::max_curves)) {
    return "The table makes " + plural(curves.size(), "curve", "curves") + "; at most " +
           strings::int_text(core::max_curves) + " can be fitted";
  }
  for (const auto& c : curves) {
    if (c.rates < static_cast<std::size_t>(core::min_curve_rows)) {
      return "The curve at [I] = " + number_text(c.inhibitor) + " has " +
             plural(c.rates, "rate", "rates") + "; a curve needs at least " +
             strings::int_text(core::min_curve_rows);
    }
  }
  return {};
}

std::string layout_text(const data::table_reading& reading) {
  if (reading.layout == core::table_layout::wide_table) {
    return reading.transposed ? "plate, transposed ([I] down the first column, [S] across)"
                              : "plate ([S] down the first column, [I] across)";
  }
  std::string text = std::string("long (one rate a row, ") +
                     (reading.header ? "a header row" : "no header row") + ")";
  if (!reading.unused_columns.empty()) {
    text += "; left out: column";
    text += reading.unused_columns.size() == 1 ? " " : "s ";
    for (std::size_t k = 0; k < reading.unused_columns.size(); ++k)
      text += (k == 0 ? "" : ", ") + reading.unused_columns[k];
  }
  return text;
}

bool all_numbers(const data::table_row& row) {
  return std::all_of(row.cells.begin(), row.cells.end(), [](const std::string& cell) {
    return strings::trim_both(cell).empty() || strings::finite_number(strings::trim_both(cell));
  });
}

}  // namespace

std::string header_key(const std::vector<data::table_row>& rows) {
  if (rows.empty() || all_numbers(rows.front())) return {};
  std::string key;
  for (std::size_t k = 0; k < rows.front().cells.size(); ++k)
    key += (k == 0 ? "" : " | ") + strings::printable(strings::trim_both(rows.front().cells[k]));
  return key;
}

std::string reading_text(const import_mapping& m) {
  if (m.layout == import_layout::wide_table) return "wide";
  return "long S=" + strings::int_text(m.substrate) + ",I=" + strings::int_text(m.inhibitor) +
         ",v=" + strings::int_text(m.rate);
}

std::optional<import_mapping> reading_of(std::string_view text) {
  import_mapping m;
  if (text == "wide") {
    m.layout = import_layout::wide_table;
    return m;
  }
  if (!text.starts_with("long ")) return std::nullopt;
  core::column_choice columns;
  std::string error;
  if (!data::parse_column_choice(text.substr(5), columns, error)) return std::nullopt;
  m.substrate = columns.substrate;
  m.inhibitor = columns.inhibitor;
  m.rate = columns.rate;
  return m;
}

std::optional<import_mapping> remembered_reading(const std::vector<std::string>& kept,
                                                 std::string_view key) {
  if (key.empty()) return std::nullopt;
  for (const auto& entry : kept) {
    const auto tab = entry.find('\t');
    if (tab != std::string::npos && std::string_view(entry).substr(tab + 1) == key) {
      return reading_of(std::string_view(entry).substr(0, tab));
    }
  }
  return std::nullopt;
}

std::vector<std::string> with_reading(std::vector<std::string> kept, std::string_view key,
                                      const import_mapping& m) {
  if (key.empty()) return kept;
  std::erase_if(kept, [&](const std::string& entry) {
    const auto tab = entry.find('\t');
    return tab == std::string::npos || std::string_view(entry).substr(tab + 1) == key;
  });
  kept.insert(kept.begin(), reading_text(m) + "\t" + std::string(key));
  if (kept.size() > remembered_readings) kept.resize(remembered_readings);
  return kept;
}

core::table_request request_for(const import_mapping& m) {
  core::table_request request;
  request.always = true;
  if (m.layout == import_layout::wide_table) {
    request.layout = core::table_layout::wide_table;
  } else {
    request.layout = core::table_layout::long_table;
    request.columns = {m.substrate, m.inhibitor, m.rate};
  }
  return request;
}

toolkit::import_outcome describe_reading(const data::table_cells& cells, const import_mapping& m) {
  toolkit::import_outcome out;
  if (!cells.error.empty()) {
    out.error = cells.error;
    return out;
  }
  if (m.layout == import_layout::long_table && (m.substrate < 1 || m.inhibitor < 1 || m.rate < 1)) {
    out.error = "Choose the columns of [S], [I] and the rate";
    return out;
  }
  if (m.layout == import_layout::long_table &&
      (m.substrate == m.inhibitor || m.substrate == m.rate || m.inhibitor == m.rate)) {
    out.error = "[S], [I] and the rate need three different columns";
    return out;
  }
  const data::table_reading reading =
      data::read_table(cells.rows, decimal_comma(cells), request_for(m));
  if (!reading.error.empty()) {
    out.error = reading.error;
    return out;
  }
  out.layout = layout_text(reading);
  out.units = "[S] " + unit_or_none(reading.units.substrate) + ", [I] " +
              unit_or_none(reading.units.inhibitor) + ", rate " + unit_or_none(reading.units.rate);
  const std::vector<curve_count> curves = curves_of(reading);
  out.curves = plural(curves.size(), "curve", "curves") + " of " +
               plural(reading.observations.size(), "rate", "rates");
  if (reading.replicate_sets > 0) {
    out.curves += "; " +
                  plural(static_cast<std::size_t>(reading.replicate_sets), "pair of [S] and [I]",
                         "pairs of [S] and [I]") +
                  " measured up to " + strings::int_text(reading.most_replicates) + " times";
  }
  if (reading.empty_cells > 0) {
    out.curves +=
        "; " + plural(static_cast<std::size_t>(reading.empty_cells), "empty cell", "empty cells") +
        " left out";
  }
  for (const auto& c : curves)
    out.curves += "\r\n[I] = " + number_text(c.inhibitor) + ": " + plural(c.rates, "rate", "rates");
  out.error = over_limits(reading, curves);
  return out;
}

toolkit::import_table_view import_view(const std::string& file,
                                       const std::shared_ptr<const data::table_cells>& cells,
                                       const std::vector<std::string>& kept) {
  toolkit::import_table_view view;
  view.file = file;
  view.error = cells->error;
  const auto& rows = cells->rows;
  for (std::size_t k = 0; k < rows.size() && k < import_preview_rows; ++k)
    view.rows.push_back(rows[k].cells);
  view.columns = static_cast<int>(widest_row(rows));
  if (!rows.empty() && !all_numbers(rows.front())) {
    for (const auto& cell : rows.front().cells)
      view.column_titles.push_back(strings::printable(strings::trim_both(cell)));
  }
  view.describe = [cells](const import_mapping& m) { return describe_reading(*cells, m); };
  if (!view.error.empty()) return view;

  if (const auto remembered = remembered_reading(kept, header_key(rows))) {
    view.offered = *remembered;
    view.offered_from = "The reading chosen last time for this header row.";
    return view;
  }
  // What could not be worked out is not guessed: the columns stay unchosen.
  const data::table_reading detected = data::read_table(rows, decimal_comma(*cells), {});
  const core::column_choice columns =
      detected.error.empty() ? detected.columns : core::column_choice{};
  if (detected.layout == core::table_layout::wide_table) {
    view.offered.layout = import_layout::wide_table;
  } else {
    view.offered.substrate = columns.substrate;
    view.offered.inhibitor = columns.inhibitor;
    view.offered.rate = columns.rate;
  }
  view.offered_from = detected.error.empty() ? "Worked out from the table."
                                             : "Not worked out from the table: " + detected.error;
  return view;
}

}  // namespace inhibra::shell
