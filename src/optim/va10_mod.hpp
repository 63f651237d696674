#pragma once
// Variable-metric (quasi-Newton) minimisation that needs only objective values:
// finite-difference gradients, a Hessian approximation kept as packed LDL^T factors,
// a line search with interpolation and extrapolation, and restarts.
#include <span>

#include "optim/problem.hpp"

namespace inhibra::optim {

// Outcome codes of va10d (historical numbers).
enum class va10_exit : int {
  no_start = 0,    // the last run did not start: its factors had a non-positive diagonal
  converged = 1,   // see va10d
  no_descent = 2,  // the last run found no descent direction, even with central differences
  hit_maxfn = 3,   // the last run used up its evaluations
  gave_up = 4,     // the tenth run ended without outcome 1 within its evaluations
};

// Minimises the objective from x by at most ten runs of a variable-metric iteration.
//   p:      the objective, its box and its number of parameters n;
//   x:      start point in (first projected into the box, every entry above 1e15
//           capped there), final point out; at least n entries;
//   f:      out: the value at the returned x (the value passed in is not read);
//   h:      the Hessian approximation as packed LDL^T factors, n(n+1)/2 entries: the
//           lower triangle column by column, each column starting with its diagonal
//           element D(j) followed by L(j+1, j), ..., L(n, j) (L has a unit diagonal);
//           read in modes 2 and 3, out: the factors of the last run;
//   mode:   1: start from the identity; 2: h holds a packed symmetric matrix (same
//           layout) that is factorised in place first; 3: start from the factors in h;
//   maxfn:  objective evaluations allowed per run (in).
// Each run evaluates its start point, builds forward-difference gradients (central
// ones once no progress is possible) with steps hh * (scale of the parameter), at
// least hh^2; hh starts at 0.00100001 and shrinks tenfold per run. A point accepted by
// a line search with a negative coordinate is projected into the box and
// re-evaluated. Later runs start from the previous final point shifted by +1e-15 in
// every coordinate, alternately from the identity and from the kept factors (always
// from the identity once a difference quotient was not a number).
// Outcome: converged when a run after the third changed the value by a relative
// amount of at most 1.49e-8 and some run changed it at all, or when the tenth run
// ended with a line search within its evaluations; gave_up when the tenth run ended
// otherwise. When the value never changed, the call ends after the fourth run with
// that run's own outcome (no_start, no_descent or hit_maxfn). n < 1, or x or h too
// short for n: no_start at once, nothing evaluated or changed.
[[nodiscard]] va10_exit va10d(const value_problem& p, std::span<double> x, double& f,
                              std::span<double> h, int mode, int maxfn);

// Building blocks of va10d on packed LDL^T factors (layout as for h above).

// Position (0-based) of element (i, j), i >= j, 1-based, in the packed layout.
[[nodiscard]] constexpr int packed_index(int n, int i, int j) {
  return (j - 1) * n - (j - 1) * (j - 2) / 2 + (i - j);
}

// Factorises the packed symmetric matrix in h into LDL^T in place. Returns false,
// leaving h partly overwritten, at the first pivot that is not positive.
[[nodiscard]] bool ldl_factorize(int n, std::span<double> h);

// Replaces the factors in h by those of L D L^T + sigma * v v^T. A diagonal element
// that would not be positive takes dmin, the smallest diagonal value seen so far
// (in/out: lowered by any smaller new element). v is destroyed; p and beta are
// scratch of n values each.
void ldl_rank_one(int n, std::span<double> h, double sigma, std::span<double> v,
                  std::span<double> p, std::span<double> beta, double& dmin);

}  // namespace inhibra::optim
