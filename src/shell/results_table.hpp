#pragma once
// The results table of a run as plain data: one row per fitted model (its name, the
// textbook name, SSR, the textbook AICc (k = parameters + 1), its distance to the
// lowest, BIC, Akaike weight and evidence ratio, and the results report's own
// criterion), ranked by that AICc, with its parameters by name (value, standard
// error, 95 % limits and the warnings that qualify them, in words). The same figures
// the run computed and the machine-readable output gives; the window shows them, the
// clipboard and a CSV file take them as text.
#include <string>
#include <string_view>
#include <vector>

#include "evidence/nested_tests.hpp"
#include "fit/ezfit.hpp"
#include "toolkit/table_contents.hpp"

namespace inhibra::shell {

// The table window's title (the data file's name follows).
inline constexpr std::string_view results_table_title = "Results Table";

// Flag texts, as the table shows them.
inline constexpr std::string_view flag_at_bound = "at bound";
inline constexpr std::string_view flag_poorly_determined = "poorly determined";
inline constexpr std::string_view flag_clipped = "limits clipped to the model's range";
inline constexpr std::string_view flag_refined = "refined";
// The standard error of a parameter at an end of its range.
inline constexpr std::string_view se_at_bound = "not determined \u2014 at bound";

// Which 95 % limits a parameter shows.
enum class limit_kind {
  profile,    // profile-likelihood limits
  symmetric,  // value +- t * standard error
  none,       // a parameter at an end of its range without profile limits
};

// A parameter at an end of its range (at_bound) has no standard error and no
// symmetric limits; the other parameters' errors are then conditional on it (held
// at its end), and say so.
struct parameter_row {
  std::string name;  // "Km", "Vmax", "Ki", "a", "b"
  double value = 0.0;
  double se = 0.0;    // NaN when not available or at bound
  double low = 0.0;   // the 95 % limits offered: profile limits where the run computed
  double high = 0.0;  // them, else the symmetric ones; NaN when not available
  limit_kind limits = limit_kind::symmetric;
  double symmetric_low = 0.0;   // value -+ t * standard error, inside the model's range;
  double symmetric_high = 0.0;  // NaN when not available or at bound
  bool at_bound = false;
  std::vector<std::string> conditional_on;  // the parameters at bound its error holds fixed
  bool poorly_determined = false;
  bool clipped = false;  // a limit offered reached past the model's range and stops at its end
};

struct model_row {
  int model = 0;
  std::string name;      // the model's name ("4- Linear Mixed Inhib, LMx(Sp>Ca)I:")
  std::string textbook;  // "mixed, toward competitive (a > 1)"
  double ssr = 0.0;
  double aicc = 0.0;              // textbook AICc, k = parameters + 1
  double delta_aicc = 0.0;        // AICc minus the lowest AICc of the run
  double bic = 0.0;               // Bayesian information criterion, k = parameters + 1
  double weight = 1.0;            // Akaike weight from the AICc
  double evidence_ratio = 1.0;    // weight of the best model / this weight
  double report_criterion = 0.0;  // the results report's own criterion ("AICc" there)
  bool refined = false;
  int counts_as = 0;  // the model whose families it counts in for the verdict (0: no verdict)
  fit::residual_diagnostics diagnostics;  // the residual checks at the final point
  std::vector<parameter_row> parameters;
};

// The rows of a run, lowest textbook AICc first (the run's ranking; models it does
// not rank follow in the order of fitting). A run of one model gives that model
// distance 0, weight 1 and evidence ratio 1.
// Parameters carry their units after their names ("Km (µM)"): Km the unit of
// [S], Ki that of [I], Vmax that of the rate; a and b are ratios and have none.
[[nodiscard]] std::vector<model_row> results_rows(const fit::run_record& record,
                                                  const data::axis_units& units = {});

// Which file a run fitted, when, and how, for the line above its table: "Data.in,
// run 2026-12-07 20:41   |   Weights: equal, robust   |   Fitting: refined   |
// Rows left out: 4, 17" (the last part only when rows were left out).
[[nodiscard]] std::string run_line(const fit::run_record& record, std::string_view when);

// The mark before the best model's name when two or more models were ranked.
inline constexpr std::string_view best_mark = "★ ";

// The flags of a row in words, separated by "; " (empty when none); a parameter whose
// error is conditional says on which ("conditional on Ki at its bound").
[[nodiscard]] std::string flag_text(const model_row& row);
[[nodiscard]] std::string flag_text(const parameter_row& row);

// The residual checks of a row in a few words: the check with the smallest p value
// below the advice level and its p ("runs p = 0.0056"), with how many more advise
// something ("(+1)"); "no advice" when none does, "n/a" when no check could be made.
[[nodiscard]] std::string residual_summary(const model_row& row);

// Every residual check of a row, one line each, with its p value or "not
// available", and after them the advice in full: the summary's tooltip.
[[nodiscard]] std::string residual_details(const model_row& row);

// Where the table says how its rows are ranked.
inline constexpr std::string_view ranking_caption =
    "Models ranked by AICc (k = parameters + 1, from the likelihood under the run's error "
    "model); the results report ranks by its own criterion, shown as \"Report criterion\".";

// The table as a grid of texts: a header line, then each model's line followed by
// its parameters' lines. A model line fills the model columns, a parameter line the
// parameter columns; the first column holds the model number on both, so that
// every line of an exported table says which model it belongs to. `digits`:
// significant digits of the numbers, 0 for the shortest text that reads back as
// the same number. Figures that are not available are "n/a"; the standard error of a
// parameter at bound is se_at_bound. The limits offered come before the symmetric
// ones.
inline constexpr int exact_digits = 0;
[[nodiscard]] std::vector<std::vector<std::string>> results_grid(const std::vector<model_row>& rows,
                                                                 int digits);

// The nested F tests as a grid of texts: a header line ("Special model", "General
// model", "How", "F", "df1", "df2", "p", "Boundary test"), then one line per test;
// "yes" in the last column marks a special case at an end of the general model's
// range, whose p is conservative.
[[nodiscard]] std::vector<std::vector<std::string>> nested_grid(
    const std::vector<evidence::nested_test>& tests, int digits);

// What the table shows beside its rows: the nested tests, the verdict sentence and
// the rows to look at in the best model's fit.
struct table_evidence {
  std::vector<evidence::nested_test> nested;
  std::string verdict;
  std::vector<fit::flagged_row> flagged;
  std::string run;  // run_line, first above the table (empty: none)
};

// The grid as tab-separated lines (for the clipboard) and as CSV (RFC 4180 quoting,
// CR LF line ends), with exact numbers; the nested tests, when there are any, follow
// after an empty line, then the verdict ("Verdict: ...") and the line of flagged rows,
// each as one cell, so that a copy or an export carries what the window shows.
[[nodiscard]] std::string tab_separated(const std::vector<model_row>& rows,
                                        const table_evidence& beside = {});
[[nodiscard]] std::string csv_text(const std::vector<model_row>& rows,
                                   const table_evidence& beside = {});

// What the columns mean, for the table's window.
[[nodiscard]] std::string results_legend();

// The line under the table naming the rows of the best model's fit that robust
// weighting down-weighted or that influence the fit strongly, by their line numbers
// in the data file ("Rows to look at in the best model's fit (line numbers of the
// data file): 4 high influence; 6, 20 down-weighted. ..."); empty when none.
[[nodiscard]] std::string flagged_rows_text(const std::vector<fit::flagged_row>& flagged);

// The table window's texts: the verdict and the ranking caption above the table,
// each model a row with its parameters under it, the numbers to six significant
// digits, the nested tests as a second table, the legend (after the line of flagged
// rows, when there are any), and the tab-separated text.
[[nodiscard]] toolkit::table_contents results_contents(const std::vector<model_row>& rows,
                                                       const table_evidence& beside = {});

// Writes csv_text(rows) to `file_name` whole or not at all; returns an empty text
// when it did, else why it did not (an earlier file of that name then stays).
[[nodiscard]] std::string export_csv(const std::vector<model_row>& rows,
                                     const std::string& file_name,
                                     const table_evidence& beside = {});

}  // namespace inhibra::shell
