#pragma once
// Nelder-Mead simplex on a regular starting simplex, with restarts through the
// golden-section and random searches when the policy asks for them, and a
// positivity safeguard on the best vertex.
//
// Only objective values are used: every evaluation is one call of the problem's
// value function.
#include <cstdint>
#include <span>

#include "optim/golden_search.hpp"
#include "optim/problem.hpp"
#include "optim/search_settings.hpp"

namespace inhibra::optim {

// Largest parameter count the vertex table holds.
inline constexpr int simplex_max_n = 10;

// How a search ended.
enum class simplex_outcome : int {
  not_run = 0,          // n out of range: x left alone
  spread_reached = 1,   // the stop test found the spread at most ftol
  iteration_limit = 2,  // maxiter iterations made
};

// How a search runs.
struct simplex_policy {
  double ftol = 0.0;   // spread below which the search may stop (see simplex)
  double scale = 0.0;  // size of the regular starting simplex
  int maxiter = 0;     // iteration limit; the stop test waits for iteration maxiter/100 + 1
  simplex_restarts restarts = simplex_restarts::none;
  shape_search shape;  // the golden searches of a restart
};

// What a search did.
struct simplex_summary {
  simplex_outcome outcome = simplex_outcome::not_run;
  int iterations = 0;            // iterations made
  std::int64_t evaluations = 0;  // objective evaluations, the restarts' and the last included
};

// Minimises p from x over its n parameters (2 <= n <= 10 and x holding n entries;
// otherwise x is left alone and f := the value at x, one evaluation).
//
// x (in/out, at least n entries): the start point (vertex 0) in; on return the best
//   vertex. During the search x always holds the last point evaluated, and the
//   restart searches work on it; their result is not put into the simplex.
// f (out): a fresh evaluation at the returned x.
// policy.ftol: spread below which the search may stop; the spread is the root of the
//   squared deviations of the first n vertex values about their sum / (n + 1),
//   divided by n - 1.
// policy.scale: size of the regular starting simplex.
// policy.maxiter: iteration limit; from iteration maxiter/100 + 1 on the search
//   stops as soon as the spread is at most ftol.
// policy.restarts, policy.shape: the restart searches (simplex_restarts), during
//   iterations 1 to 19 only; the random search starts from seed 1024 + 64 per
//   restart. After an iteration's restart the stop test is skipped.
// rng (in/out): the state of the random stream of the restarts (see rangen).
// After every iteration that does not end the search, each coordinate i at which x
// is below 1e-6 moves the lowest vertex's coordinate i to 2*p*(atan|p|/pi) + 1e-6
// (its value is not re-evaluated; the sign of a negative coordinate is kept).
// Cost: n + 1, then 1 to 3 per iteration (4 with a shrink), the restarts, and 1.
// Returns how the search ended, its iterations and its evaluations. The chain of
// stages judges a search by the value it reached alone.
simplex_summary simplex(const value_problem& p, std::span<double> x, double& f,
                        const simplex_policy& policy, double& rng);

}  // namespace inhibra::optim
