#pragma once
// The refinement stage after the fixed chain of optimizer stages: a bounded
// trust-region least-squares solve (Levenberg-Marquardt on the logarithms of the
// parameters, inside the model's reachable box) from the chain's point, from the
// optima of models already fitted, and from a few starts of its own. Model 8's
// b <= a is a box end of its own: the solve moves in log a and log(b / a) <= 0.
// The best point replaces the chain's only when its sum of squares is lower. In
// robust mode the solve is iteratively reweighted: the robust weights of the
// residuals are held fixed during a solve and recomputed after it until they settle;
// so are an error model's weights from the fitted rates.
//
// The stage never draws from the searches' random sequences, so the chain's result
// for every model stays the same with or without it.
#include <cstdint>
#include <span>
#include <vector>

#include "core/fit_context.hpp"
#include "models/model_forms.hpp"

namespace inhibra::fit {

using models::parameter_vector;

// Robust mode: weights count as settled when none moves by more than this, and a
// solve is repeated at most this many times.
inline constexpr double weights_settled = 1e-6;
inline constexpr int reweighting_rounds = 50;

// The sum of squares the report prints for the context's model, error model and
// weighting at p: each squared residual times its row's weight at p (see
// row_weights; 1 with equal weights and no robust weighting). weighting::fitted_rate
// divides each squared residual by the fitted rate's size.
[[nodiscard]] double reported_ssr(const core::fit_context& ctx, std::span<const double> p);

// A point and its reported sum of squares.
struct scored_point {
  parameter_vector p{};
  double ssr = 0.0;
  // The solver met points where the rates or their slopes are not finite numbers
  // (data far outside the model's range) and stopped there.
  bool solver_failed = false;
};

// How hard one solve tries: trust-region iterations per round of the active-set
// loop (parameters held at box ends), such rounds, and rounds of reweighting in
// robust mode.
struct solve_effort {
  int iterations = 0;
  int active_set_rounds = 0;
  int reweightings = 0;
  // Trial steps of the projected line search after each trust-region step (the
  // solver library's default; 1 is nearly as good from a nearby start, and cheaper).
  int line_search_steps = 20;
};
inline constexpr solve_effort full_effort{100, 12, reweighting_rounds};
// A brief look from a start, to choose the starts worth a full solve.
inline constexpr solve_effort scouting_effort{10, 2, 1};

// One refinement solve of the context's current model from `start` (inside the
// model's box). Returns the best point met, the start included. `evaluations`
// counts sweeps over the observations (value or value with derivatives).
[[nodiscard]] scored_point solve_from(const core::fit_context& ctx, const parameter_vector& start,
                                      std::int64_t& evaluations,
                                      const solve_effort& effort = full_effort);

// The sum of squares at p with the weights held at `weights`.
[[nodiscard]] double weighted_ssr(const core::fit_context& ctx, std::span<const double> p,
                                  std::span<const double> weights);

// A full solve with the weights held at `weights` and parameter `pinned` (0-based)
// held at its value in `start` (model 8: a pinned b keeps a above it). Returns the
// point and its sum of squares with those weights.
[[nodiscard]] scored_point solve_pinned(const core::fit_context& ctx, const parameter_vector& start,
                                        std::span<const double> weights, int pinned,
                                        std::int64_t& evaluations);

// A full solve with the weights held at `weights` (nothing pinned). Returns the point
// and its sum of squares with those weights.
[[nodiscard]] scored_point solve_weighted(const core::fit_context& ctx,
                                          const parameter_vector& start,
                                          std::span<const double> weights,
                                          std::int64_t& evaluations);

// The ends of brief looks worth a full solve: the lowest sums first, ends that agree
// to 1e-3 in every parameter (of n) taken once, at most three.
[[nodiscard]] std::vector<scored_point> lowest_distinct(std::vector<scored_point> scouted, int n);

// The model's own starts: Km, Vmax and Ki from `chain`, each shape parameter at
// its box ends and at log-spaced values between them.
[[nodiscard]] std::vector<parameter_vector> own_starts(int model, const parameter_vector& chain);

struct refinement {
  scored_point best;      // the chain's point unless a start did better
  bool improved = false;  // best is lower than the chain's sum of squares
  std::int64_t evaluations = 0;
  bool solver_failed = false;  // some solve stopped at a point it could not evaluate
};

// The whole stage for the context's current model: a full solve from the chain's
// point (clipped into the box); brief solves from `borrowed` (other models' optima
// carried into this model) and from the model's own starts, of which the lowest
// distinct ends are solved in full; keeps the lowest reported sum of squares. With
// an error model other than equal weights only points where the weights settled
// count, so the chain's point is never kept.
// `chain_ssr` is the chain's reported sum of squares at `chain`; a value that is
// not a number counts as worse than any number.
[[nodiscard]] refinement refine(const core::fit_context& ctx, const parameter_vector& chain,
                                double chain_ssr, std::span<const parameter_vector> borrowed);

// Robust weighting: the lowest robust sum from `start` by the reweighted solve and by
// the direct descent on the robust sum (from the start and from the solve's end).
// `scouting`: brief versions of both, to choose the starts worth the full search.
[[nodiscard]] scored_point robust_solve_from(const core::fit_context& ctx,
                                             const parameter_vector& start,
                                             std::int64_t& evaluations, bool scouting = false);

// The model's fit without robust weights from `chain`, then fits with the rows of the
// largest residuals left out one after another (at most `trimmed_rows`, and never so
// many that fewer rows than twice the parameters stay): starts for the robust
// search that an outlier has not pulled towards itself.
inline constexpr int trimmed_rows = 3;
[[nodiscard]] std::vector<parameter_vector> outlier_free_starts(const core::fit_context& ctx,
                                                                const parameter_vector& chain,
                                                                std::int64_t& evaluations);

// The whole stage in robust weighting: `refine`, then brief robust searches
// (robust_solve_from, scouting) from the outlier-free starts, from `borrowed` (other
// models' robust optima carried into this model) and from refine's point, of which
// the lowest distinct ends are searched in full; keeps the lowest robust sum.
[[nodiscard]] refinement refine_robust(const core::fit_context& ctx, const parameter_vector& chain,
                                       double chain_ssr,
                                       std::span<const parameter_vector> borrowed);

// The robust part of refine_robust after its `refine`, which left `plain`: brief
// robust searches from the outlier-free starts of `chain`, from `borrowed` and from
// plain's point, the lowest distinct ends searched in full; keeps the lowest robust
// sum (plain's point when nothing is lower).
[[nodiscard]] refinement robust_search(const core::fit_context& ctx, refinement plain,
                                       const parameter_vector& chain,
                                       std::span<const parameter_vector> borrowed);

// The lowest point of the context's model among `current` and the solves from those
// of `borrowed` (other models' optima carried into this model) that promise a lower
// sum: a start that is already lower (in robust weighting: whose brief search is
// lower) is solved in full. Returns `current` when nothing is lower.
[[nodiscard]] scored_point consistent_point(const core::fit_context& ctx,
                                            const scored_point& current,
                                            std::span<const parameter_vector> borrowed,
                                            std::int64_t& evaluations);

// True when `candidate` is a lower sum of squares than `best` (any number beats NaN).
[[nodiscard]] inline bool lower_ssr(double candidate, double best) {
  return candidate < best || (!(best == best) && candidate == candidate);
}

}  // namespace inhibra::fit
