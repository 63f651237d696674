#pragma once
// Everything one run shares between the data reader, the objective, the
// optimizers, the statistics, the report and the plots, plus the run state the
// desktop shell hands to the driver. One context per data file being fitted; it is
// passed by reference to every stage, so two contexts in two threads can fit two
// files at once.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/capacities.hpp"
#include "core/error_model.hpp"
#include "core/frontend.hpp"
#include "core/table_request.hpp"
#include "core/weighting.hpp"

namespace inhibra::core {

struct fit_context {
  // --- observations -------------------------------------------------------------
  std::array<double, max_rows> substrate{};  // [S] of row k (index k-1)
  std::array<double, max_rows> inhibitor{};  // [I] of row k
  std::array<double, max_rows> rate{};       // measured rate of row k
  std::array<double, max_rows> fitted{};     // fitted rate of row k (statistics stage)
  std::int32_t model = 0;                    // current model number M, 1..10

  // Untouched copies of the columns as read; the driver restores the arrays above
  // from them before every model.
  std::array<double, max_rows> xtmp{};
  std::array<double, max_rows> x2tmp{};
  std::array<double, max_rows> ytmp{};

  // --- constraints ----------------------------------------------------------------
  std::int32_t m = 0;            // constraint count of the current model
  std::int32_t meq = 0;          // equality constraints among them (always 0)
  std::int32_t model_limit = 0;  // largest model number the objective accepts

  // --- counts ----------------------------------------------------------------------
  std::int32_t rows = 0;                              // N, observations in use
  std::int32_t columns = 0;                           // columns on the first data line
  std::int32_t n_par = 0;                             // n, parameters of the current model
  core::weighting weighting = core::weighting::none;  // how the rows are weighted
  // The error model of the current fit. It weights the refinement, the statistics,
  // the profiles and the criterion, never the fixed chain of stages.
  error_model errors = error_model::equal;

  // --- MC50 table of the best model ------------------------------------------------
  std::array<double, mc50_levels> mc50_substrate{};
  std::array<double, mc50_levels> mc50_value{};

  // --- machine limits set at run start ----------------------------------------------
  double eps = 0.0;
  double big = 0.0;

  // --- shell run state --------------------------------------------------------------
  // The model selection and the weighting switch are written by the window thread's
  // menu and dialog callbacks while the command thread may read them.
  std::array<std::atomic<std::int32_t>, max_models> imdl{};  // model i selected when > 0
  std::atomic<std::int32_t> nwt_global{0};  // weighting switch: a weighting's switch_value
  std::atomic<error_model> errors_global{error_model::equal};  // the error model switch
  std::int32_t global_mdl_count = 0;                           // models selected in the run
  std::int32_t idat = 0;                                       // rows read
  std::int32_t idatasets = 0;                                  // curves (at most 10 stored)
  std::array<std::int32_t, max_curves> id2{};                  // rows per curve, file order
  std::int32_t mdl_number = 0;                                 // copy of M
  std::string strmdl;                       // left-adjusted name of the (best) model
  std::array<double, max_par> variables{};  // fitted parameters of the (best) model
  // Rows (1-based) that the best model's fit down-weighted or that influence it
  // strongly, for the plots; empty until a run has ranked its models.
  std::vector<std::int32_t> flagged_rows;

  // Fit with the fixed chain of stages alone, without the refinement after it (to
  // reproduce results files written before the refinement existed). Set by the
  // front end; a run takes one copy at its start.
  std::atomic<bool> chain_only{false};
  // Fit by the refinement's solves alone, without the fixed chain of stages before
  // them (faster; ignored with chain_only). Set by the front end; a run takes one copy.
  std::atomic<bool> fast{false};
  // The rate plot shows rows of equal [S] and [I] (replicates) as their mean with an
  // error bar of their standard deviation instead of a dot each; the fit is the same.
  // Set by the front end.
  std::atomic<bool> replicate_means{false};
  // Profile-likelihood limits after the fits (refined fitting only).
  std::atomic<bool> profiles{true};

  // --- random-number states of the searches; they live as long as the context -------
  double rangen_state = 0.0;   // the coordinate searches' generator
  double randgen_state = 0.0;  // the initial estimates' generator

  // --- objective evaluations made through this context (for cost checks) ---------
  std::int64_t full_evaluations = 0;   // value, gradient and constraints
  std::int64_t value_evaluations = 0;  // value only

  // --- how a data table is read (set by the front end before the run) -------------
  table_request table;

  // --- rows the person left out (set by the front end before the run) -------------
  // By their place among the rows read, 1-based: a native file's line number, a
  // table's rates in the order its reader takes them. The reader drops them before
  // anything is fitted; the data file is never changed.
  std::vector<std::int32_t> leave_out;
  // How the report names the rows the reader dropped ("4", or a table's cell "C7").
  std::vector<std::string> rows_left_out;

  // --- the person watching; null means nobody (messages are dropped) ----------------
  frontend* fe = nullptr;

  // --- a stop asked from outside the run (a signal, a closing window) ---------------
  // When it points at a value other than 0, the run ends before its next model and
  // leaves no results file; null: never.
  const std::atomic<int>* stop = nullptr;
};

// Shows a box through the context's front end, if it has one.
inline void show_message(const fit_context& ctx, box_kind kind, std::string_view text) {
  if (ctx.fe != nullptr) ctx.fe->message(kind, text);
}

}  // namespace inhibra::core
