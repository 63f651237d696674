#pragma once
// Standard errors, correlations and 95 % confidence half-widths of fitted parameters
// from the sensitivity matrix, and the matrix tools they need. Matrices here are
// n x n, stored column by column with leading dimension n.
#include <span>

#include "core/fit_context.hpp"

namespace inhibra::fit {

inline constexpr double cov_eps = 2.0e-16;                    // smallest entry magnitude kept
inline constexpr double cov_sqrt_eps = 1.414213562373095e-8;  // diagonal damping, error floor
inline constexpr double cov_se_floor = 2.0e-15;               // below this sqrt(inverse diagonal)

enum class stderr_outcome : int {
  produced = 0,               // se, R and cl written
  diagonal_not_positive = 1,  // the inverse is unusable: R is 0, se and cl are NaN
  no_degrees_of_freedom = 2,  // N <= n: R written; no residual variance, se and cl are NaN
};

// N, n: observations and parameters; J: sensitivities (max_rows x max_par by
// column, from jacobian); ssq: residual sum of squares.
// A (out): J^T J; se (out): standard errors; R (out): correlation matrix; cl (out):
// confidence half-widths se * tvalue(N - n). se and cl hold at least n entries, A and
// R at least n*n.
// The inverse is taken of J^T J with tiny entries raised to cov_eps, symmetrised,
// its diagonal damped by (1 + sqrt eps) and every entry limited to +-1/cov_eps; the
// matrix is balanced before the LU inversion and the correlations are read from the
// inverse of the balanced matrix. When the inverse's diagonal is not positive the
// outcome says so; the driver tells the person once per model.
[[nodiscard]] stderr_outcome stderrpar(int N, int n, std::span<const double> J, std::span<double> A,
                                       double ssq, std::span<double> se, std::span<double> R,
                                       std::span<double> cl);

// Diagonal similarity scaling by powers of 2 that evens out the off-diagonal sums of
// each row and its column; a (n x n) is scaled in place.
void balance(std::span<double> a, int n);

// Inverse of a (n x n) in place by LU factorisation with partial pivoting; info 0.
// On a zero pivot, info is the elimination step (1..n) that met it and a is left
// as it was.
void lumatinv(int n, std::span<double> a, int& info);

// Inverse of a (n x n) in place by Gauss-Jordan elimination with full pivoting. A
// singular matrix ends the elimination where no non-zero pivot is left; some
// diagonal entry of the partly reduced result is then exactly 0.
void invertmat(std::span<double> a, int n);

// Two-sided 95 % quantile of Student's t for `dof` degrees of freedom, as a
// single-precision value (0 for dof <= 0).
[[nodiscard]] double tvalue(int dof);

}  // namespace inhibra::fit
