#pragma once
// Reading and checking a data file of initial rates: three numbers per line,
// [S], [I] and rate, grouped into curves of equal [I]. The checks and their
// messages are the same for a fit and for inhibra-fit --check.
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit_context.hpp"
#include "core/run_status.hpp"
#include "data/output_file.hpp"
#include "data/table_cells.hpp"
#include "data/table_reader.hpp"
#include "data/text_lines.hpp"

namespace inhibra::data {

// Two [I] values belong to one curve while they differ by at most this much.
inline constexpr double curve_tolerance = 1e-7;

// Words on the first data line (the first line that is neither blank nor a note,
// or, when every line is one, the first non-blank line). A word beginning with a
// note character and everything after it is not counted. An empty file gives -1
// and three warning lines on `console`. Reads `file` from the top; when its reading
// stops early (file.stopped()) the count means nothing.
[[nodiscard]] int file_column_count(text_lines& file, std::ostream& console);

// Data rows from the top of the file up to the first blank line, note line or end
// of file (rows longer than max_line_length included). As above, meaningless when
// the reading stopped early.
[[nodiscard]] int data_row_count(text_lines& file);

// Curve grouping of the rows in the context: fills id2 (the first ten curves) and
// idatasets (at most 10). Returns the true number of curves and the smallest
// curve's row count over all of them.
struct curve_summary {
  int curves = 0;
  int smallest = 0;
};
curve_summary ycurves(core::fit_context& ctx);

// Checks that `model` can be used with a file of `column_count` columns; shows the
// explaining box and returns model_undefined when not, success otherwise.
[[nodiscard]] core::run_status ncolmdl(const core::fit_context& ctx, int column_count, int model);

// A warning that names the results file and why it could not be written.
void warn_results_not_written(const core::fit_context& ctx, const output_file& results);

// Moves a finished results file into place. When that fails, a warning names the
// file and the reason, and false is returned; an earlier results file stays as it was.
[[nodiscard]] bool commit_results(const core::fit_context& ctx, output_file& results);

// The closing line of a run that stopped, " RESULTS FILE <name>", as one console line
// (control characters in the name shown as \xNN).
void console_closing_line(std::ostream& console, std::string_view results_file_name);

// The ordered stop of a run that has fitted nothing: the error box, then the closing
// line naming the results file on `console` (none when null: a check names no results
// file). A results file started for the run is discarded, so an earlier results file
// stays as it was and none is created: a run that fits nothing writes nothing.
void abort_run(const core::fit_context& ctx, output_file* results,
               std::string_view results_file_name, std::ostream* console);

// The whole reading stage of a run. `raw_name` is the data file name as given
// (data_file_name). Only a regular file is read. When `results` is not null the
// results file is started beside the data file (never when that name is the data
// file itself) and left open for the report on success; on a stop it is discarded
// and the closing line goes to `console`. When null (checking only) nothing is
// written. Data that read well but cannot describe inhibition sensibly (one [I]
// only, all rates equal, no positive rate, [S] not above 0, [I] below 0), rows below
// the end of the data that were not read, and curves that are not what the rows
// suggest get a warning and are kept. File names in messages show control
// characters as \xNN.
// A file whose name ends in .csv, .tsv, .tab or .xlsx, or any file when
// ctx.table.always is set, is read as a data table (ctx.table says how) instead:
// its rows are grouped into curves by [I] whatever their order, under the same
// limits and messages. The rows ctx.leave_out names are dropped before the counts are
// checked, and ctx.rows_left_out names them.
struct data_read {
  core::run_status status = core::run_status::success;
  std::string data_name;     // the data file read (data_file_name)
  std::string results_name;  // results file name derived from it; empty when the file is missing
  int curves_found = 0;      // true number of curves (may exceed 10 on a stop)
  std::vector<std::string> warnings;  // the warnings shown, in order
  // What a table held and how it was read; empty for a file in the native format.
  std::optional<table_reading> table;
  std::optional<cell_separator> separator;  // of a text table
  std::string sheet;                        // the sheet read, of a workbook
  // The place among the rows read (1-based, as ctx.leave_out counts) of each row
  // kept; empty when none was left out, so that row k is the k-th read.
  std::vector<int> source_rows;
};
[[nodiscard]] data_read read_data_file(core::fit_context& ctx, std::string_view raw_name,
                                       output_file* results, std::ostream& console);

// Where row k (0-based, in reading order, before any row was left out) stands in
// the file `read` came from: its line ("4"), or a table's cell ("C7").
[[nodiscard]] std::string row_source(const data_read& read, std::size_t k);

}  // namespace inhibra::data
