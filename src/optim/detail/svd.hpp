#pragma once
// Singular value decomposition of a square or tall matrix by Householder
// bidiagonalisation and implicitly shifted QR sweeps (the Golub-Reinsch method).
#include <span>

namespace inhibra::optim {

// Outcome codes of svd (historical numbers).
enum class svd_ier : int {
  ok = 0,
  no_convergence = 12,   // some singular value still moved after 30 sweeps
  bad_dimensions = 105,  // not 1 <= n <= m <= lda, n <= ldv, or an array too short
};

// Factorises the m x n matrix held column by column in a (leading dimension lda) as
// a = U * diag(w) * V^T.
//   n, m:  columns and rows (n <= m);
//   a:     in: the matrix; out: U (m x n, orthonormal columns), same storage;
//   v:     out: V (n x n, orthogonal), leading dimension ldv;
//   w:     out: the n singular values, non-negative for every converged value and in
//          no particular order (column j of U and V belongs to w(j));
//   rv1:   scratch of n values.
// Every Householder denominator and the stored diagonal carry an added 2.2e-16 so
// that a zero column never divides by zero; a column whose remaining norm is below
// about 1e-2 therefore gets a slightly inexact reflection.
// bad_dimensions: nothing is computed. no_convergence: the other values are still
// computed; the one that did not settle may be inaccurate.
[[nodiscard]] svd_ier svd(int n, int m, std::span<double> a, std::span<double> v,
                          std::span<double> w, int lda, int ldv, std::span<double> rv1);

}  // namespace inhibra::optim
