#pragma once
// What the fixed chain of stages does differently per model: the limits of its
// searches, which shape parameters it keeps off their floor and whether it runs a
// last simplex. Plain data, so that the model catalogue can hold it beside the
// searches' settings; the stage recipe reads it for the model it fits.

namespace inhibra::models {

// Stage 1: simplex passes, two for the linear models and three for the hyperbolic
// ones, each with an iteration limit (100, 150 for the general model).
inline constexpr int simplex_passes_linear = 2;
inline constexpr int simplex_passes_hyperbolic = 3;
inline constexpr int simplex_limit = 100;
inline constexpr int simplex_limit_general = 150;
// Stage 2: the variable metric method's evaluation limit.
inline constexpr int va10d_limit_linear = 30;
inline constexpr int va10d_limit_hyperbolic = 50;
// Stage 4: the SVD direction set's run limit.
inline constexpr int nminsvd_runs = 30;
inline constexpr int nminsvd_runs_short = 15;

struct chain_settings {
  int simplex_passes = simplex_passes_linear;
  int simplex_limit = models::simplex_limit;
  int va10d_limit = va10d_limit_linear;
  int nminsvd_runs = models::nminsvd_runs;
  // Shape parameters that restart above their floor once the direction set is done:
  // none, P4, or P4 and P5 (0, 1 or 2); with one or two, P4 is also held below its
  // cap after the last simplex.
  int restarted_shapes = 0;
  // One more simplex before the SQP stage, for the models whose a has no upper bound.
  bool extra_simplex = false;
};

}  // namespace inhibra::models
