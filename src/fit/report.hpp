#pragma once
// The results report: one section per fitted model, the best-fit summary when
// several models were fitted, and the closing line. Every line ends in CR LF; the
// caller opens the stream in binary mode. Columns, widths and decimal counts are
// fixed so that reports of different runs line up.
#include <ctime>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "core/observations.hpp"
#include "fit/model_comparison.hpp"
#include "fit/model_result.hpp"

namespace inhibra::fit {

inline constexpr std::string_view report_line_end = "\r\n";
inline constexpr int report_dash_width = 78;  // the dash lines around tables

// "Www Mmm dd hh:mm:ss yyyy" (24 characters, English names, day right-aligned in 2).
[[nodiscard]] std::string date_time_text(const std::tm& t);
// The moment a SOURCE_DATE_EPOCH text names: a whole number of seconds since 1970,
// up to the end of 9999 (the date line has room for four year digits). nullopt for
// any other text.
[[nodiscard]] std::optional<std::time_t> parse_source_date_epoch(std::string_view text);
// The date and time for a report: now on the local clock, or, when the environment
// sets SOURCE_DATE_EPOCH to a valid moment, that moment in UTC, so that a report can
// be reproduced byte for byte.
[[nodiscard]] std::string report_date_time();

// The model block: title, rate equation and parameter form of `model`; a single
// empty line for a number outside 1..10.
void model_names(std::ostream& out, int model);

// The gradient block: parameters and gradient components p(1..n), g(1..n), two
// parameters a line.
void print_grad(std::ostream& out, int n, std::span<const double> p, std::span<const double> g);

// The text of one correlation cell: "  ........" for exactly 0, otherwise a sign
// (blank or "-"), |r| to six decimals cut (not rounded) after being rounded to ten.
[[nodiscard]] std::string correlation_cell(double r);

// The correlation block for the n x n matrix corr (column by column, leading
// dimension n), four columns a group.
void matprnt(std::ostream& out, int n, std::span<const double> corr);

// The constraint count a model's section reports.
[[nodiscard]] int model_constraint_count(int model);

// The complete section of a fitted model whose result is complete (complete_result).
// date_time: the 24-character text of report_date_time. Reads from ctx the row and
// curve counts and the observations; everything else from r.
void write_model_section(std::ostream& out, const core::observations& ctx, const model_result& r,
                         std::string_view date_time);

// The best-fit summary. ranking: rank_models' rows; fitted(k - 1): the k-th model
// fitted in the run (the rows' index).
void write_summary(std::ostream& out, std::span<const ranking_row> ranking,
                   std::span<const model_result> fitted);

// The closing line of every run, aborted runs included.
void write_closing_line(std::ostream& out, std::string_view results_file);

}  // namespace inhibra::fit
