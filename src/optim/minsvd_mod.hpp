#pragma once
// Derivative-free minimisation by line searches along a set of conjugate directions
// that is rebuilt after every iteration from a singular value decomposition of the
// curvature-scaled directions. Line searches evaluate the objective at the absolute
// value of every coordinate; the point is projected into the problem's box after
// every iteration.
#include <span>

#include "optim/detail/svd.hpp"
#include "optim/problem.hpp"

namespace inhibra::optim {

// Outcome codes of the direction-set minimiser (historical numbers).
enum class minsvd_ier : int {
  ok = 0,
  svd_no_convergence = 12,   // the decomposition did not settle: the run stopped
  line_search_limit = 56,    // a line search met its tolerance in no 25 rounds
  svd_bad_dimensions = 105,  // the decomposition refused its dimensions: the run stopped
  too_few_parameters = 504,  // n <= 1 (or x shorter than n): nothing was done
  iteration_limit = 529,     // maxit iterations without convergence
};

// Runs nminf from x until two successive runs agree: at most ten runs, rel = 1e-8,
// abs = 1e-8 * 2.2e-8.
//   p:     the objective, its box and its parameter count n;
//   np:    the declared length of the caller's arrays (not used);
//   x:     start point in, the last run's point out (at least n entries);
//   f:     in: a value to compare the first run with; out: the value before the
//          last run when that run agreed with it within max(1e-8 |new|, 2.2e-16),
//          otherwise (tenth run) the tenth run's value;
//   maxit: iterations allowed per run (in);
//   nfe:   out: evaluations made by the runs (see nminf).
// Returns the outcome of the last run.
[[nodiscard]] minsvd_ier nminsvd(const value_problem& p, int np, std::span<double> x, double& f,
                                 int maxit, int& nfe);

// One run of the direction-set iteration from x with identity directions.
//   p:        the objective, its box and its parameter count n;
//   x:        start point in, final point out (inside the box unless the run stopped
//             at maxit);
//   f:        out: the value at the final x;
//   maxit:    iterations allowed (in);
//   nfe:      in/out: raised by one for the start point and by one per line-search
//             evaluation (the evaluation after the projection is not counted);
//   rel, abs: relative and absolute tolerances of the line searches and of the
//             convergence test |f - f0| < max(abs, rel |f|) over one iteration.
// Outcomes: ok; line_search_limit (the iteration is finished, then the run stops);
// svd_no_convergence, svd_bad_dimensions; too_few_parameters; iteration_limit.
[[nodiscard]] minsvd_ier nminf(const value_problem& p, int np, std::span<double> x, double& f,
                               int maxit, int& nfe, double rel, double abs);

// Minimisation along the line x0 + t d by golden bracketing steps and parabolic
// interpolation.
//   value: the objective;
//   t:     in: the current best step (0 on a line's first call); out: the best step;
//   h:     in: a first trial step; out: the last trial end on that side;
//   fmin:  in: the value at t; out: the value at the returned t;
//   rel, abs: the search ends when both bracket ends lie less than
//          max(abs, rel |fmin|) above fmin;
//   d, x0: direction and base point, n values each (in);
//   nfe:   in/out, raised by every evaluation.
// Returns ok, or line_search_limit after 25 rounds (t and fmin then stay the best
// found).
[[nodiscard]] minsvd_ier linmnf(const value_function& value, double& t, double& h, double& fmin,
                                double rel, double abs, std::span<const double> d,
                                std::span<const double> x0, int n, int np, int& nfe);

// Objective at the point |x0 + h d| (absolute value of every coordinate); raises nfe.
[[nodiscard]] double fln(const value_function& value, double h, std::span<const double> d,
                         std::span<const double> x0, int n, int np, int& nfe);

}  // namespace inhibra::optim
