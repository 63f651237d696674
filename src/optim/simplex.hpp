#pragma once
// Nelder-Mead simplex on a regular starting simplex, with restarts through the
// golden-section and random searches for the models with shape parameters, and a
// positivity safeguard on the best vertex.
//
// Only objective values are used, so no gradient or constraint arrays are taken:
// every evaluation is models::objective_value (counted in ctx.value_evaluations).
#include <cstdint>
#include <span>

#include "core/fit_context.hpp"

namespace inhibra::optim {

// Largest parameter count the vertex table holds.
inline constexpr int simplex_max_n = 10;

// How a search ended.
enum class simplex_outcome : int {
  not_run = 0,          // n out of range: x left alone
  spread_reached = 1,   // the stop test found the spread at most ftol
  iteration_limit = 2,  // maxiter iterations made
};

// What a search did.
struct simplex_summary {
  simplex_outcome outcome = simplex_outcome::not_run;
  int iterations = 0;            // iterations made
  std::int64_t evaluations = 0;  // objective evaluations, the restarts' and the last included
};

// Minimises from x over n parameters (2 <= n <= 10 and x holding n entries;
// otherwise x is left alone and f := the value at x, one evaluation).
//
// x (in/out, at least n entries): the start point (vertex 0) in; on return the best
//   vertex. During the search x always holds the last point evaluated, and the
//   restart searches work on it; their result is not put into the simplex.
// f (out): a fresh evaluation at the returned x.
// ftol (in): spread below which the search may stop; the spread is the root of the
//   squared deviations of the first n vertex values about their sum / (n + 1),
//   divided by n - 1.
// scale (in): size of the regular starting simplex.
// maxiter (in): iteration limit; from iteration maxiter/100 + 1 on the search stops
//   as soon as the spread is at most ftol.
//
// Restarts by the model ctx.model, during iterations 1 to 19 only:
//   models 1-2: none;
//   models 3-7: golden_ab_search while the spread exceeds ftol;
//   models 8-10: golden_ab_search, dorunrun (15 runs), golden_ab_search while the
//     spread exceeds ftol or is exactly 0.
// After an iteration's restart the stop test is skipped. After every iteration that
// does not end the search, each coordinate i at which x is below 1e-6 moves the
// lowest vertex's coordinate i to 2*p*(atan|p|/pi) + 1e-6 (its value is not
// re-evaluated; the sign of a negative coordinate is kept).
// Cost: n + 1, then 1 to 3 per iteration (4 with a shrink), the restarts, and 1.
// Returns how the search ended, its iterations and its evaluations. The chain of
// stages judges a search by the value it reached alone.
simplex_summary simplex(core::fit_context& ctx, int n, std::span<double> x, double& f, double ftol,
                        double scale, int maxiter);

}  // namespace inhibra::optim
