#pragma once
// The fast path: a model fitted by the refinement's bounded least-squares solves
// alone, without the fixed chain of optimizer stages before them. The solves start
// from points made from the data (Km and Vmax of the rates without inhibitor, Ki
// across the inhibitor's range, a and b across their boxes) and from the optima of
// the models already fitted. Nothing here writes a file, shows anything or draws
// from the searches' random sequences, so the same data always give the same fit,
// and several contexts can be fitted at once.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/fit_context.hpp"
#include "fit/model_result.hpp"
#include "fit/refine.hpp"

namespace inhibra::fit {

// Ki starts at these multiples of the largest inhibitor concentration.
inline constexpr std::array<double, 3> ki_start_factors{0.1, 1.0, 10.0};

// The fast path's search: of all starts (data starts and borrowed optima) the
// fast_scouted_starts with the lowest sums are looked at briefly, and the
// fast_full_solves lowest distinct ends of those looks solved in full. Its solves try
// one step of the projected line search (a full one costs about twice as much and
// finds the same optima from these starts).
inline constexpr int fast_scouted_starts = 4;
inline constexpr int fast_full_solves = 2;
inline constexpr solve_effort fast_scouting_effort{10, 2, 1, 1};
inline constexpr solve_effort fast_full_effort{100, 12, reweighting_rounds, 1};

// sqp_info of a fit that never ran the constrained stage of the chain.
inline constexpr int sqp_not_run = -1;

// The starts of the context's model from the data alone. Km and Vmax: the
// Michaelis-Menten estimates (linearised, then one Gauss-Newton step) from the rows
// of the lowest inhibitor concentration; Ki at ki_start_factors times the largest
// concentration (at Km when no row has inhibitor); a and b at the model's own starts
// (refine's grid) around each.
[[nodiscard]] std::vector<parameter_vector> data_starts(const core::fit_context& ctx);

// What one fast fit found.
struct fast_outcome {
  // The fit: model, name, n, weighting, errors, p, ssr (the reported sum at p),
  // error_log, the textbook criteria, stage_evaluations (refinement), chain_ssr NaN
  // and sqp_info sqp_not_run. The statistics (standard errors, limits, the report's
  // criterion) are the caller's: they follow from p.
  model_result fit;
  bool solver_failed = false;  // some solve stopped at a point it could not evaluate
};

// Fits the context's current model: ctx.model, ctx.n_par, ctx.weighting and
// ctx.errors name the model and its weighting; the rows are ctx.substrate,
// ctx.inhibitor and ctx.rate. `borrowed`: optima of other models carried into this
// one (models::carry_into). With equal weights the fit is the fast search's. With
// weights that follow the fit (robust weighting, an error model), which can settle in
// more than one place, the fast search first runs with equal weights (the context's
// weighting is switched for it and restored), and its optimum then takes the place
// of the chain's point in the refinement (refine, or refine_robust).
[[nodiscard]] fast_outcome fast_fit(core::fit_context& ctx,
                                    std::span<const parameter_vector> borrowed);

// Fits `models` (model numbers, in this order) to the context's rows by fast_fit,
// each borrowing the optima of those before it, then makes them consistent: no model
// keeps a sum above the one another model's optimum gives it (a model beaten so is
// solved again from the better point). ctx.model, n_par and errors are set for each
// model in turn; ctx.weighting is kept. Returns the fits in the order of `models`.
[[nodiscard]] std::vector<model_result> fast_fits(core::fit_context& ctx,
                                                  std::span<const int> models);

// The textbook criteria of fit r at its point p with its sum r.ssr, on the context's
// rows for r's model (sets error_log and textbook).
void textbook_score(const core::fit_context& ctx, model_result& r);

}  // namespace inhibra::fit
