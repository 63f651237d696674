#pragma once
// Reading and checking a data file of initial rates: three numbers per line,
// [S], [I] and rate, grouped into curves of equal [I]. The checks and their
// messages are the same for a fit and for inhibra-fit --check.
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "fit/fit_context.hpp"
#include "fit/run_status.hpp"

namespace inhibra::data {

// Two [I] values belong to one curve while they differ by at most this much.
inline constexpr double curve_tolerance = 1e-7;

// Words on the first data line (the first line that is neither blank nor a note,
// or, when every line is one, the first non-blank line). A word beginning with a
// note character and everything after it is not counted. An empty file gives -1
// and three warning lines on `console`. nullopt when the file cannot be opened.
[[nodiscard]] std::optional<int> file_column_count(const std::string& file_name,
                                                   std::ostream& console);

// Data rows from the top of the file up to the first blank line, note line or end
// of file. nullopt when the file cannot be opened.
[[nodiscard]] std::optional<int> data_row_count(const std::string& file_name);

// Curve grouping of the rows in the context: fills id2 (the first ten curves) and
// idatasets (at most 10). Returns the true number of curves and the smallest
// curve's row count over all of them.
struct curve_summary {
  int curves = 0;
  int smallest = 0;
};
curve_summary ycurves(fit::fit_context& ctx);

// Checks that `model` can be used with a file of `column_count` columns; shows the
// explaining box and returns model_undefined when not, success otherwise.
[[nodiscard]] fit::run_status ncolmdl(const fit::fit_context& ctx, int column_count, int model);

// The ordered stop of a run: the error box, then (when the results file is open)
// the closing line naming the results file; the results file is closed.
void abort_run(const fit::fit_context& ctx, std::ofstream* results,
               std::string_view results_file_name);

// The whole reading stage of a run. `raw_name` is the data file name as given.
// When `results` is not null the results file is created (or overwritten) beside
// the data file and left open for the report on success; on a stop it holds the
// closing line only. When null (checking only) nothing is written.
struct data_read {
  fit::run_status status = fit::run_status::success;
  std::string data_name;     // normalised data file name
  std::string results_name;  // results file name derived from it
  int curves_found = 0;      // true number of curves (may exceed 10 on a stop)
};
[[nodiscard]] data_read read_data_file(fit::fit_context& ctx, std::string_view raw_name,
                                       std::ofstream* results, std::ostream& console);

}  // namespace inhibra::data
