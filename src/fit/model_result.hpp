#pragma once
// Everything known about one fitted model once its statistics are done: what the
// run fills in for each model, and what the report, the summary and the
// machine-readable output read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/capacities.hpp"
#include "core/error_model.hpp"
#include "core/weighting.hpp"
#include "fit/likelihood_criteria.hpp"
#include "fit/mc50.hpp"
#include "fit/residual_diagnostics.hpp"
#include "fit/row_influence.hpp"

namespace inhibra::fit {

// The stages of a fit, in the order they run: the chain's six (simplex to the
// constrained stage) after the initial estimates, then the refinement and the
// profile limits.
enum class stage : std::size_t {
  estimates,
  simplex,
  variable_metric,
  golden,
  direction_set,
  extra_simplex,
  sqp,
  refinement,
  profiles,
  count  // the number of stages, not a stage
};

// Objective evaluations of a fit by stage, for cost measurements (the refinement's
// and the profiles': sweeps over the observations, with or without derivatives).
struct stage_costs {
  std::array<std::int64_t, static_cast<std::size_t>(stage::count)> by_stage{};

  [[nodiscard]] std::int64_t& operator[](stage s) { return by_stage[static_cast<std::size_t>(s)]; }
  [[nodiscard]] std::int64_t operator[](stage s) const {
    return by_stage[static_cast<std::size_t>(s)];
  }
};

// A parameter (1-based) at an end of its model's reachable box.
struct bound_hit {
  int index = 0;
  bool upper = false;
};

// Profile-likelihood 95 % limits of one parameter; an open side ends at the box.
struct profile_limit {
  double low = 0.0;
  double high = 0.0;
  bool low_open = false;
  bool high_open = false;
};

struct model_result {
  int model = 0;     // model number M, 1..10
  std::string name;  // the model's short name, trimmed ("3- Linear Mixed Inhib, LMx(Sp<Ca)I:")
  int n = 0;         // parameter count
  core::weighting weighting = core::weighting::none;    // how the fit weighted the rows
  core::error_model errors = core::error_model::equal;  // the error model of the fit

  std::array<double, core::max_par> p{};         // fitted parameters 1..n
  std::array<double, core::max_par> gradient{};  // objective gradient at p, as computed
  double ssr_objective = 0.0;  // objective value that the last optimizer stage ended with
  double ssr = 0.0;            // residual sum of squares under the weighting: reported, in AICc

  // Statistics. When se_produced is false (the inverse of the normal matrix was
  // unusable, or there were no more observations than parameters) se and cl hold
  // NaN and are shown as not available.
  bool se_produced = false;
  bool inverse_unusable = false;           // the inverse of J^T J had a diagonal entry not above 0
  std::array<double, core::max_par> se{};  // standard errors
  std::array<double, core::max_par> cl{};  // 95 % confidence half-widths se * t
  double t = 0.0;                          // the t quantile for N - n degrees of freedom
  // n x n matrices, column by column with leading dimension n.
  std::array<double, core::max_par * core::max_par> normal{};       // J^T J
  std::array<double, core::max_par * core::max_par> correlation{};  // correlation matrix

  double ratio_sum = 0.0;  // sum of min(se_i / p_i, 2)
  // Corrected Akaike criterion. With an error model other than equal weights it
  // includes error_log: sum of ln(1 / w_k) of the error model's weights, by which the
  // Gaussian likelihoods of two models differ beyond their weighted sums.
  double aicc = 0.0;
  double error_log = 0.0;
  // The textbook criteria from the same weighted sum (the variance counted as a
  // parameter, no standard-error term), which a reader can recompute.
  likelihood_criteria textbook{};

  // Outcome of the constrained last stage: its info code and its iteration limit
  // (the report mentions info 2, limit reached, and 4, uphill direction).
  int sqp_info = 0;
  int sqp_iteration_limit = 0;
  bool refitted = false;  // the fit was repeated because of poorly determined parameters

  // The refinement after the chain: the chain's own reported sum of squares, and
  // whether the refinement (or the consistency check after the last model) found a
  // lower one, which the fit then reports.
  double chain_ssr = 0.0;
  bool refined = false;
  std::vector<bound_hit> at_bound;  // parameters at an end of the model's box

  // The statistics shown outside the report (machine-readable output, results
  // table). A parameter at an end of its box is held there: it has no standard error
  // and no symmetric limits (its profile limits, which let it move, are the limits
  // offered). The other parameters' errors are conditional on the held ones: from the
  // exact Jacobian over the free parameters alone. With nothing held they are se and
  // cl. NaN where held or not produced.
  std::array<bool, core::max_par> held{};
  bool se_free_produced = false;
  std::array<double, core::max_par> se_free{};
  std::array<double, core::max_par> cl_free{};

  // Profile-likelihood limits (default fitting only; `profiled` tells whether they
  // were computed). Parameters 1..n, index 0..n-1.
  bool profiled = false;
  std::array<profile_limit, core::max_par> profile{};

  // Warnings about this fit (a Km, Vmax or Ki at an end of its range).
  std::vector<std::string> warnings;

  stage_costs stage_evaluations{};

  // Filled once the statistics are done (complete_result), for the report and the
  // plots.
  int constraints = 0;                          // the constraint count printed
  mc50_table mc50{};                            // the MC50 table (three levels printed, seven kept)
  std::array<double, core::max_rows> fitted{};  // fitted rate of each observation, as computed

  // Checks of the residuals at the final point (runs along [S], normality, the
  // spread's trend with the rate, lack of fit against replicates), each with its
  // advice; filled once the fits are final.
  residual_diagnostics diagnostics{};
  // Each row's weight, leverage and Cook's distance at the final fit (every
  // weighting; filled when the run has ranked its models).
  row_diagnostics influence;
};

}  // namespace inhibra::fit
