#include "data/data_file.hpp"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "data/detail/curve_checks.hpp"
#include "data/detail/reader_messages.hpp"
#include "data/detail/row_text.hpp"
#include "data/file_names.hpp"
#include "strings/text.hpp"

namespace inhibra::data {

namespace {

using core::box_kind;
using core::run_status;

}  // namespace

int file_column_count(text_lines& file, std::ostream& console) {
  if (!file.rewind()) return 0;
  std::string line;
  std::optional<std::string> first_non_blank;
  while (file.next(line)) {
    const std::string_view head = std::string_view(line).substr(0, column_line_length);
    if (!strings::adjustl_controls(head).empty() && !first_non_blank) {
      first_non_blank = std::string(head);
    }
    if (!ends_data(head)) return column_words(strings::adjustl(head));
  }
  if (file.stopped() != text_lines::stop::none) return 0;
  if (first_non_blank) return column_words(strings::adjustl(*first_non_blank));
  console << " -\n"
          << "FILE_COLUMN_COUNT - Warning.\n"
          << "  The file does not contain any data.\n";
  return -1;
}

int data_row_count(text_lines& file) {
  return scan_data(file).rows;
}

core::run_status ncolmdl(const core::fit_context& ctx, int column_count, int model) {
  if (column_count >= 3) {
    if (model >= 11 && column_count == 3) {
      core::show_message(ctx, box_kind::information,
                         model_list_box({"THE CHOSEN MODEL IS UNDEFINED, BUT",
                                         "SINCE THE FILE CONTAINS 3 DATA COLUMNS,",
                                         "YOU MAY SELECT A NEW MODEL FROM THE MAIN",
                                         "MENU AND RERUN WITH [S],[I],Rate COLUMNS."}));
      return run_status::model_undefined;
    }
    return run_status::success;
  }
  core::show_message(ctx, box_kind::information,
                     model_list_box({"THE MODEL FUNCTION REQUIRES 3 DATA COLUMNS,",
                                     "BUT THE FILE CONTAINS ONLY X,Y DATA.",
                                     "TO RUN ENTER [S],[I],Rate (3 DATA COLUMNS)",
                                     "AND SELECT A MODEL FROM THE MAIN MENU:"}));
  return run_status::model_undefined;
}

void warn_results_not_written(const core::fit_context& ctx, const output_file& results) {
  core::show_message(ctx, box_kind::warning,
                     "Results file not written: " + strings::printable(results.final_name()) +
                         " (" + results.error() +
                         "); an earlier file of that name is left as it was");
}

bool commit_results(const core::fit_context& ctx, output_file& results) {
  if (results.commit()) return true;
  warn_results_not_written(ctx, results);
  return false;
}

void console_closing_line(std::ostream& console, std::string_view results_file_name) {
  console << " RESULTS FILE " << strings::printable(strings::trim_both(results_file_name)) << '\n';
}

void abort_run(const core::fit_context& ctx, output_file* results,
               std::string_view results_file_name, std::ostream* console) {
  core::show_message(ctx, box_kind::error, "* * * ERROR: RUN ABORTED * * *");
  if (results != nullptr && results->is_open()) results->discard();
  if (console != nullptr) console_closing_line(*console, results_file_name);
}

namespace {

// True when the results file would take the place of the data it was made from
// (the same name, or another name of the same file).
bool results_replace_data(const text_lines& file, const std::string& data_name,
                          const std::string& results_name) {
  struct stat target {};
  return results_name == data_name ||
         (::stat(results_name.c_str(), &target) == 0 && target.st_dev == file.device() &&
          target.st_ino == file.inode());
}

// A row that could not be read: its line and why.
struct unread_row {
  int number = 0;  // 0: every row was read
  std::string line;
  row_fault fault = row_fault::none;
};

// Reads the first `rows` lines into the context's observations, up to the first line
// that is not three numbers.
unread_row read_rows(core::fit_context& ctx, text_lines& file, int rows) {
  std::string line;
  for (int k = 0; k < rows; ++k) {
    if (!file.next(line)) line.clear();
    const parsed_row row = parse_row(line);
    if (row.fault != row_fault::none) return {k + 1, line, row.fault};
    const auto i = static_cast<std::size_t>(k);
    ctx.substrate[i] = row.values[0];
    ctx.inhibitor[i] = row.values[1];
    ctx.rate[i] = row.values[2];
  }
  return {};
}

// Takes the rows ctx.leave_out names out of the first `rows` observations, the
// others keeping their order, and names the dropped ones in ctx.rows_left_out by
// `label(k)` (k 0-based, in reading order). Returns the places (1-based) of the rows
// kept, empty when none was dropped. Places beyond the rows read name nothing.
std::vector<int> drop_left_out(core::fit_context& ctx, int rows,
                               const std::function<std::string(std::size_t)>& label) {
  ctx.rows_left_out.clear();
  const auto count = static_cast<std::size_t>(std::clamp(rows, 0, core::max_rows));
  std::vector<bool> dropped(count, false);
  bool any = false;
  for (const std::int32_t place : ctx.leave_out) {
    if (place >= 1 && static_cast<std::size_t>(place) <= count) {
      dropped[static_cast<std::size_t>(place) - 1] = true;
      any = true;
    }
  }
  if (!any) return {};
  std::vector<int> kept;
  std::size_t to = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (dropped[k]) {
      ctx.rows_left_out.push_back(label(k));
      continue;
    }
    ctx.substrate[to] = ctx.substrate[k];
    ctx.inhibitor[to] = ctx.inhibitor[k];
    ctx.rate[to] = ctx.rate[k];
    ++to;
    kept.push_back(static_cast<int>(k) + 1);
  }
  return kept;
}

// The reading stage's state, shared by its steps. Each step returns false when the
// run stops there; `out.status` then says why, and the boxes have been shown.
struct data_reader {
  data_reader(core::fit_context& c, output_file* r, std::ostream& out_console)
      : ctx(c), results(r), console(out_console) {}

  core::fit_context& ctx;
  output_file* results;
  std::ostream& console;
  data_read out{};
  std::string shown{};  // the data file's name in a message
  reader_warnings warn{ctx, out.warnings};
  // Only a run names its results file when it stops; a check has none.
  std::ostream* run_console = results != nullptr ? &console : nullptr;
  text_lines file{};
  bool table = false;
  int columns = 3;
  data_extent extent{};
  table_cells cells{};
  int rows = 0;

  // A data file that exists but cannot be read (no permission, a folder, a pipe)
  // stops the run before anything is written; a failure must not look like success.
  bool cannot_open_data() {
    core::show_message(ctx, box_kind::error, "Data input file error at Line 381");
    abort_run(ctx, nullptr, out.results_name, run_console);
    out.status = run_status::file_not_opened;
    return false;
  }

  bool reject() {
    abort_run(ctx, results, out.results_name, run_console);
    out.status = run_status::file_rejected;
    return false;
  }

  std::optional<std::string> hint() { return spreadsheet_hint(file); }

  // The data file exists, is a regular file that opens, and is not where the results
  // file would be written.
  bool open_data(std::string_view raw_name);

  // A table's cells, or a native file's column count and where its data lie.
  bool survey();

  // The results file is started now, so that a run that could not write it stops
  // before fitting; a run that stops later discards it.
  bool start_results();

  // The rows of a native file; a refusal has shown its boxes (file_not_opened: the
  // file could not be read again).
  run_status read_native_rows();

  // The observations of a table, taken from its cells.
  bool read_table_rows();

  // The observations of the file: a table's, or a native file's rows.
  bool read_observations();

  // The rows ctx.leave_out names are dropped; a place that names no row read is told.
  bool leave_out_rows();

  // The rows kept become the observations; their curves are counted and checked.
  bool check_curves();
};

bool data_reader::open_data(std::string_view raw_name) {
  ctx.rows_left_out.clear();
  out.data_name = data_file_name(raw_name);
  out.results_name = results_name(out.data_name);
  const std::string& name = out.data_name;
  shown = strings::printable(name);

  std::error_code ec;
  if (!std::filesystem::exists(name, ec)) {
    core::show_message(ctx, box_kind::warning, "File does not exist: " + shown);
    core::show_message(ctx, box_kind::error, "* * * OPEN ANOTHER DATA FILE * * *");
    out.status = run_status::file_not_found;
    out.results_name.clear();  // no data file, so no results file either
    return false;
  }

  switch (file.open(name)) {
    case text_lines::opened::ok:
      break;
    case text_lines::opened::not_regular:
      core::show_message(ctx, box_kind::warning,
                         "Not a regular file (a folder, pipe or device): " + shown);
      return cannot_open_data();
    case text_lines::opened::cannot_open:
      return cannot_open_data();
  }
  if (results != nullptr) {
    if (results_replace_data(file, name, out.results_name)) {
      core::show_message(ctx, box_kind::warning,
                         "Results file " + strings::printable(out.results_name) +
                             " is the data file " + shown +
                             " itself: give the data file another name");
      abort_run(ctx, nullptr, out.results_name, run_console);
      out.status = run_status::file_not_opened;
      return false;
    }
  }
  return true;
}

bool data_reader::survey() {
  const std::string& name = out.data_name;
  table = ctx.table.always || is_table_name(name);
  if (table) {
    cells = is_workbook_name(name) ? workbook_cells(ctx.table, name) : text_table_cells(file);
    if (cells.read_error) return cannot_open_data();
  } else {
    columns = file_column_count(file, console);
    if (file.stopped() == text_lines::stop::none) extent = scan_data(file);
    if (file.stopped() != text_lines::stop::none) return cannot_open_data();
  }
  ctx.columns = columns;
  return true;
}

bool data_reader::start_results() {
  if (results != nullptr && !results->open(out.results_name)) {
    core::show_message(ctx, box_kind::warning,
                       "Results file cannot be created: " + strings::printable(out.results_name) +
                           ": " + results->error());
    core::show_message(ctx, box_kind::error, "Data output file error at Line 395");
    abort_run(ctx, nullptr, out.results_name, run_console);
    out.status = run_status::file_not_opened;
    return false;
  }
  return true;
}

run_status data_reader::read_native_rows() {
  if (extent.long_row != 0) {
    core::show_message(ctx, box_kind::warning,
                       "Data line " + strings::int_text(extent.long_row) + " is longer than " +
                           strings::int_text(static_cast<long long>(max_line_length)) +
                           " characters");
    return run_status::file_rejected;
  }
  if (extent.rows_below > 0) {
    // The data end where they end; the person is told what was left out.
    const std::string below = strings::int_text(extent.rows_below);
    warn("The data end at line " + strings::int_text(extent.end_line) +
         (extent.end_is_blank ? " (a blank line)" : " (a note line)") + ", but " + below +
         (extent.rows_below == 1 ? " line below it begins" : " lines below it begin") +
         " with three numbers and " + (extent.rows_below == 1 ? "was" : "were") +
         " not read. The rows of all curves follow one another, without blank or note lines "
         "between them");
  }
  if (extent.rows < 3 || extent.rows > core::max_rows) {
    core::show_message(ctx, box_kind::warning,
                       "Data rows exceeded limit of " + strings::int_text(core::max_rows) +
                           std::string(core::box_line_break) + row_count_text(extent, columns));
    if (const auto told = hint()) core::show_message(ctx, box_kind::warning, *told);
    return run_status::file_rejected;
  }
  if (columns != 3) {
    core::show_message(ctx, box_kind::warning, "Data columns not equal to 3");
    if (const auto told = hint()) {
      core::show_message(ctx, box_kind::warning, *told);
    } else if (columns <= 2) {
      (void)ncolmdl(ctx, columns, 1);
    }
    return run_status::file_rejected;
  }

  if (!file.rewind()) return run_status::file_not_opened;
  const unread_row unread = read_rows(ctx, file, extent.rows);
  if (unread.number != 0) {
    const auto told = unread.number == 1 ? hint() : std::nullopt;
    core::show_message(
        ctx, box_kind::warning,
        told ? *told : unreadable_row_text(unread.number, unread.line, unread.fault));
    return run_status::file_rejected;
  }
  return run_status::success;
}

bool data_reader::read_table_rows() {
  out.separator = cells.separator;
  out.sheet = cells.sheet;
  if (!cells.error.empty()) {
    core::show_message(ctx, box_kind::warning, cells.error);
    return reject();
  }
  table_reading reading =
      read_table(cells.rows, cells.separator == cell_separator::semicolon, ctx.table);
  if (!reading.error.empty()) {
    core::show_message(ctx, box_kind::warning, reading.error);
    out.table = std::move(reading);
    return reject();
  }
  const std::size_t rates = reading.observations.size();
  if (rates < 3 || rates > static_cast<std::size_t>(core::max_rows)) {
    core::show_message(ctx, box_kind::warning,
                       "Data rows exceeded limit of " + strings::int_text(core::max_rows) +
                           std::string(core::box_line_break) + table_count_text(rates));
    out.table = std::move(reading);
    return reject();
  }
  for (std::size_t k = 0; k < rates; ++k) {
    ctx.substrate[k] = reading.observations[k].substrate;
    ctx.inhibitor[k] = reading.observations[k].inhibitor;
    ctx.rate[k] = reading.observations[k].rate;
  }
  rows = static_cast<int>(rates);
  out.table = std::move(reading);
  return true;
}

bool data_reader::read_observations() {
  if (table) return read_table_rows();
  const run_status native = read_native_rows();
  if (native == run_status::file_not_opened) return cannot_open_data();
  if (native != run_status::success) return reject();
  rows = extent.rows;
  return true;
}

bool data_reader::leave_out_rows() {
  if (ctx.leave_out.empty()) return true;
  // Where row k (0-based, in reading order) stands in the file.
  const auto source_label = [&](std::size_t k) { return row_source(out, k); };
  const int read_count = rows;
  out.source_rows = drop_left_out(ctx, rows, source_label);
  if (!out.source_rows.empty()) {
    const int kept = static_cast<int>(out.source_rows.size());
    if (kept < 3) {
      core::show_message(ctx, box_kind::warning,
                         "Only " + strings::int_text(kept) + (kept == 1 ? " row is" : " rows are") +
                             " left once the rows left out are dropped: at least 3 are needed");
      return reject();
    }
    rows = kept;
  }
  for (const std::int32_t place : ctx.leave_out) {
    if (place < 1 || place > static_cast<std::int32_t>(read_count)) {
      warn("Row " + strings::int_text(place) + " to be left out is not among the " +
           strings::int_text(static_cast<long long>(read_count)) +
           " rows read: nothing is left out for it");
    }
  }
  return true;
}

bool data_reader::check_curves() {
  ctx.idat = rows;
  ctx.rows = rows;
  const auto count = static_cast<std::ptrdiff_t>(rows);
  std::copy_n(ctx.substrate.begin(), count, ctx.xtmp.begin());
  std::copy_n(ctx.inhibitor.begin(), count, ctx.x2tmp.begin());
  std::copy_n(ctx.rate.begin(), count, ctx.ytmp.begin());

  const curve_summary curves = ycurves(ctx);
  out.curves_found = curves.curves;
  warn_about_curve_layout(ctx, warn);
  if (curves.smallest < core::min_curve_rows) {
    core::show_message(
        ctx, box_kind::warning,
        "Single curve data must be greater than " + strings::int_text(core::min_curve_rows));
    return reject();
  }
  if (curves.curves > core::max_curves) {
    core::show_message(
        ctx, box_kind::warning,
        "Curve limit of 10 exceeded! Number of curves = " + strings::int_text(curves.curves));
    return reject();
  }
  // A table's observations are grouped by [I], so they are named by their cells.
  warn_about_degenerate_data(ctx, warn, curves.curves, [&](std::size_t k) {
    if (!out.source_rows.empty()) k = static_cast<std::size_t>(out.source_rows[k]) - 1;
    if (!out.table) return "data line " + strings::int_text(static_cast<long long>(k) + 1);
    const table_observation& o = out.table->observations[k];
    return "the table at row " + strings::int_text(o.row) + ", column " +
           strings::int_text(o.column) + " (" + column_letters(o.column) + ")";
  });
  return true;
}

}  // namespace

std::string row_source(const data_read& read, std::size_t k) {
  if (!read.table || k >= read.table->observations.size())
    return strings::int_text(static_cast<long long>(k) + 1);
  const table_observation& o = read.table->observations[k];
  return column_letters(o.column) + strings::int_text(o.row);
}

data_read read_data_file(core::fit_context& ctx, std::string_view raw_name, output_file* results,
                         std::ostream& console) {
  data_reader reader(ctx, results, console);
  (void)(reader.open_data(raw_name) && reader.survey() && reader.start_results() &&
         reader.read_observations() && reader.leave_out_rows() && reader.check_curves());
  return std::move(reader.out);
}

}  // namespace inhibra::data
