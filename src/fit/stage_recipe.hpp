#pragma once
// The fixed chain of optimizer stages that fits one model: simplex passes with a
// shrinking scale, the variable-metric method, golden-section searches along the
// coordinates, the SVD direction set, an extra simplex for the models with an
// unbounded a, and the constrained SQP stage, with keep-the-best bookkeeping between
// them. Every number that shapes the chain is named here.
#include <array>
#include <cstdint>

#include "core/capacities.hpp"
#include "core/fit_context.hpp"
#include "fit/model_result.hpp"

namespace inhibra::fit {

// Machine constants of a run.
struct run_constants {
  double eps = 0.0;  // smallest power-of-two multiple of 1e-60 that 1 + 0.1 eps resolves
  double big = 0.0;  // 10 / eps
  double t = 0.0;    // tolerance of the simplex and the constrained stage
};
[[nodiscard]] run_constants compute_run_constants();

using par_array = std::array<double, core::max_par>;

// The rule between stages: f and x go back to the best so far when the stage did
// not improve on it (a value that is not a number never counts as an improvement);
// otherwise the stage's result becomes the best.
void keep_best(double& f, par_array& x, double& f_best, par_array& x_best);

// Objective evaluations made through the context so far, of either kind.
[[nodiscard]] inline std::int64_t evaluations(const core::model_state& ctx) {
  return ctx.value_evaluations + ctx.full_evaluations;
}

// What differs per model (pass counts, limits, the shapes kept off their floor, the
// last simplex) is the model's chain_settings in the catalogue.
// Stage 1: simplex passes; the scale starts at 0.1 rms/max of all parameters but
// the last, halves after each pass, and a pass whose halved scale falls below the
// floor ends the stage without the keep-best rule.
inline constexpr double simplex_start_scale = 0.1;
inline constexpr double simplex_scale_factor = 0.5;
inline constexpr double simplex_scale_floor = 0.01;
// Stage 2: variable metric from the identity.
inline constexpr int va10d_mode_fresh = 1;
// Stage 4: SVD direction set, and the check that undoes a result more than this
// many times the value before it.
inline constexpr double nminsvd_undo_factor = 2.0;
// Shape parameters at or below the floor restart just above it.
inline constexpr double shape_floor = 2e-6;
inline constexpr double shape_restart = 2e-5;
// Stage 5: one more simplex for the models whose a has no upper bound, then P4
// above the cap is pulled back below it.
inline constexpr int extra_simplex_limit = 100;
inline constexpr double extra_simplex_scale = 0.1;
inline constexpr double shape_cap = 10000.0;
inline constexpr double shape_cap_value = 9900.99;
// Stage 6: two SQP calls, each with an iteration limit (300 unweighted, 100 robust);
// the stage stops once the iterations add up past the cap.
inline constexpr int sqp_limit_unweighted = 300;
inline constexpr int sqp_limit_robust = 100;
inline constexpr int sqp_iteration_cap = 499;
inline constexpr double sqp_divergence_factor = 10.0;  // a measure this far above the best ends it

// What the chain leaves: x in `x` (in/out: the start in), f its value, and the
// constrained stage's outcome for the report.
struct chain_outcome {
  double f = 0.0;
  int sqp_info = 0;             // the SQP method's last info code
  int sqp_iteration_limit = 0;  // its iteration limit
};

// Runs stages 1 to 6 for `model` with n parameters from the start in x. `k.t` may be
// lowered by the constrained stage, as it is for the rest of the run. `cost` gets
// the evaluations of the chain's stages, stage::simplex to stage::sqp.
[[nodiscard]] chain_outcome fit_chain(core::fit_context& ctx, run_constants& k, int n, int model,
                                      par_array& x, stage_costs& cost);

}  // namespace inhibra::fit
