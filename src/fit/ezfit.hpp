#pragma once
// The run: reads a data file, fits every selected model by the fixed sequence of
// optimizer stages with keep-the-best bookkeeping, computes each fit's statistics
// and AICc, writes the results file section by section, shows each fit, ranks the
// models and leaves the best one in the context for the plots.
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit_context.hpp"
#include "core/run_status.hpp"
#include "data/table_reader.hpp"
#include "fit/fit_checks.hpp"
#include "fit/model_comparison.hpp"
#include "fit/model_result.hpp"
#include "fit/stage_recipe.hpp"

namespace inhibra::fit {

// How a run fitted its models: the fixed chain of stages and the refinement after
// it (the default), the chain alone, or the refinement's solves alone (fast).
enum class fit_method { chain_and_refinement, chain_only, fast };

// The name in the machine-readable output: "default", "chain-only", "fast".
[[nodiscard]] constexpr std::string_view fit_method_name(fit_method m) {
  switch (m) {
    case fit_method::chain_only:
      return "chain-only";
    case fit_method::fast:
      return "fast";
    case fit_method::chain_and_refinement:
      break;
  }
  return "default";
}

// What a run did, for callers that report more than the results file (the
// headless runner's machine-readable output).
struct run_record {
  std::string data_name;         // the data file as read (normalised name)
  std::string results_name;      // the results file beside it (empty: no data file)
  bool results_written = false;  // the run put its results file in place
  int curves_found = 0;          // curves in the data, the true count also beyond 10
  core::weighting weighting = core::weighting::none;     // the weighting the run used
  core::error_model errors = core::error_model::equal;   // the error model the run used
  fit_method method = fit_method::chain_and_refinement;  // how the run fitted
  std::vector<model_result> fitted;  // every model fitted, in the order of fitting
  std::vector<ranking_row> ranking;  // by the report's AICc; empty unless two or more were fitted
  measured_design design;            // the rows' ranges, for the evidence's next measurement
  int best_model = 0;                // model number left in the context, 0 if none
  // Rows that the best model's fit down-weighted or that influence it strongly.
  std::vector<flagged_row> flagged_rows;
  std::vector<std::string> warnings;  // warnings of the run (data, units, parameters at a box end)
  data::axis_units units;             // the units a data table's header row gave; empty for none
  // The rows the person left out, as the report names them; empty for none. The
  // row numbers of flagged_rows count all rows of the file, those left out included.
  std::vector<std::string> rows_left_out;
};

// Runs the fit of the models selected in ctx.selected_models on `file_name`
// (normalised in place) with the weighting switch ctx.weighting_switch and the error
// model ctx.error_switch (the chain of stages alone always fits with equal weights).
// Messages, pauses, window titles and the plot of each fit go through ctx.fe.
// `console` receives the data reader's console lines and, when the run stops in
// order, its closing line. The results file is put in place when the run ends; a run
// that stops before fitting a model writes none (an earlier one stays as it was).
// When ctx.stop asks for a stop, the run ends before its next model with status
// interrupted and writes no results file. Returns the run status.
[[nodiscard]] core::run_status ezfit(core::fit_context& ctx, std::string& file_name,
                                     std::ostream& console, run_record* record = nullptr);

}  // namespace inhibra::fit
