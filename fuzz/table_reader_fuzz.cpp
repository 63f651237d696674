// Arbitrary bytes as a data table, read under each way of asking (layout worked out,
// long, wide, columns named). The reader must end in order (observations, or a
// message), and what it accepts must be what the table says: every rate finite and
// equal to the number in the cell it names, the curves in rising [I] with one [I]
// each, and each row of cells as the text holds it (lines rising, no empty cell at
// a row's end).
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/data_file.hpp"
#include "data/table_reader.hpp"
#include "data/table_text.hpp"

namespace {

using namespace inhibra;

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

// The number a cell holds, read independently of the reader (strtod in the C locale).
double cell_value(std::string cell, bool decimal_comma) {
  while (!cell.empty() && (cell.front() == ' ' || cell.front() == '\t' || cell.front() == '\r'))
    cell.erase(0, 1);
  while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t' || cell.back() == '\r'))
    cell.pop_back();
  if (decimal_comma) std::replace(cell.begin(), cell.end(), ',', '.');
  char* end = nullptr;
  const double v = std::strtod(cell.c_str(), &end);
  require(end == cell.c_str() + cell.size(), "an accepted cell is a number");
  return v;
}

const std::string* cell_at(const data::table_text& text, int line, int column) {
  for (const auto& row : text.rows) {
    if (row.line == line && column >= 1 && static_cast<std::size_t>(column) <= row.cells.size())
      return &row.cells[static_cast<std::size_t>(column - 1)];
  }
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  std::setlocale(LC_NUMERIC, "C");
  // The first byte chooses how the table is asked to be read.
  const std::uint8_t how = bytes[0];
  const std::string text(reinterpret_cast<const char*>(bytes) + 1, size - 1);

  const data::table_text cells = data::split_table(text);
  int previous = 0;
  for (const auto& row : cells.rows) {
    require(row.line > previous, "rows in the order of their lines");
    previous = row.line;
    require(!row.cells.empty() && !row.cells.back().empty(), "no empty cell closes a row");
  }
  if (!cells.error.empty()) {
    require(cells.rows.empty(), "no rows with an error");
    return 0;
  }

  core::table_request request;
  request.layout = static_cast<core::table_layout>(how % 3);
  if ((how & 0x04) != 0) request.columns = {1 + (how >> 4) % 3, 1 + (how >> 6) % 3, 3};
  if (request.columns.substrate == request.columns.inhibitor) request.columns = {};
  const bool decimal_comma = cells.separator == data::cell_separator::semicolon;
  const data::table_reading read = data::read_table(cells.rows, decimal_comma, request);
  if (!read.error.empty()) return 0;  // refused with its message
  require(!read.observations.empty(), "a table that was read holds rates");
  require(read.layout != core::table_layout::detect, "the layout is told");
  require(read.empty_cells >= 0 && read.most_replicates >= 1, "counts");

  int curves = 1;
  double reference = read.observations.front().inhibitor;
  for (const auto& o : read.observations) {
    require(std::isfinite(o.substrate) && std::isfinite(o.inhibitor) && std::isfinite(o.rate),
            "finite values");
    if (std::abs(o.inhibitor - reference) > data::curve_tolerance) {
      require(o.inhibitor > reference, "curves in rising [I]");
      reference = o.inhibitor;
      ++curves;
    }
    const std::string* rate = cell_at(cells, o.row, o.column);
    require(rate != nullptr, "a rate names its cell");
    require(cell_value(*rate, decimal_comma) == o.rate, "the rate as the cell writes it");
    if (read.layout == core::table_layout::long_table) {
      const std::string* s = cell_at(cells, o.row, read.columns.substrate);
      const std::string* i = cell_at(cells, o.row, read.columns.inhibitor);
      require(s != nullptr && i != nullptr, "[S] and [I] beside the rate");
      require(cell_value(*s, decimal_comma) == o.substrate, "[S] as the cell writes it");
      require(cell_value(*i, decimal_comma) == o.inhibitor, "[I] as the cell writes it");
    }
  }
  require(curves == read.curves, "one curve for each [I]");
  return 0;
}
