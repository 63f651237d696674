#include "fit/covariance.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "core/one_based.hpp"
#include "fit/jacobian.hpp"

namespace inhibra::fit {

namespace {

constexpr double cov_big = 5.0e15;  // 1 / cov_eps
// 0.95 as a single-precision value widened to double.
constexpr double balance_ratio = double(0.95f);  // 0.949999988079071

void mark_not_produced(int n, std::span<double> se, std::span<double> cl) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::fill_n(se.begin(), n, nan);
  std::fill_n(cl.begin(), n, nan);
}

}  // namespace

stderr_outcome stderrpar(int N, int n, std::span<const double> J, std::span<double> A, double ssq,
                         std::span<double> se, std::span<double> R, std::span<double> cl) {
  const auto nn = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
  const core::cmat1 jac(J, jac_ld);
  const core::mat1 a(A.first(nn), n);
  std::fill_n(A.begin(), nn, 0.0);
  for (int k = 1; k <= N; ++k) {
    for (int j = 1; j <= n; ++j) {
      for (int i = 1; i <= n; ++i)
        a(i, j) += jac(k, i) * jac(k, j);
    }
  }

  std::vector<double> m_store(A.begin(), A.begin() + static_cast<std::ptrdiff_t>(nn));
  const core::mat1 m(std::span<double>(m_store), n);
  for (double& v : m_store) {
    if (std::abs(v) < cov_eps) v = cov_eps;
  }
  for (int j = 2; j <= n; ++j) {
    for (int i = 1; i < j; ++i)
      m(j, i) = (m(j, i) + m(i, j)) / 2.0;
  }
  for (int i = 1; i <= n; ++i)
    m(i, i) = m(i, i) * (1.0 + cov_sqrt_eps);
  for (double& v : m_store) {
    if (v > cov_big) v = cov_big;
    if (v < -cov_big) v = -cov_big;
  }
  std::vector<double> v_store = m_store;

  balance(m_store, n);
  int info = 0;
  lumatinv(n, m_store, info);
  if (info != 0) {
    // The unbalanced copy goes to the full-pivoting elimination instead.
    m_store = v_store;
    invertmat(m_store, n);
  }
  v_store = m_store;
  const core::mat1 v(std::span<double>(v_store), n);

  const core::mat1 r(R.first(nn), n);
  std::fill_n(R.begin(), nn, 0.0);
  for (int i = 1; i <= n; ++i) {
    if (v(i, i) <= 0.0) {
      mark_not_produced(n, se, cl);
      return stderr_outcome::diagonal_not_positive;
    }
  }

  std::vector<double> s_store(static_cast<std::size_t>(n));
  const core::vec1 s{std::span<double>(s_store)};
  for (int i = 1; i <= n; ++i) {
    s(i) = std::sqrt(std::abs(v(i, i)));
    if (s(i) <= cov_se_floor) s(i) = cov_sqrt_eps;
  }
  // The lower triangle of the balanced inverse carries the balancing factors d_j/d_i;
  // the correlations keep them, and the upper triangle mirrors the lower.
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= i; ++j)
      r(i, j) = v(i, j) / s(i) / s(j);
  }
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j < i; ++j)
      r(j, i) = r(i, j);
    r(i, i) = 1.0;
  }

  if (N <= n) {
    // No residual variance can be formed from as many parameters as observations.
    mark_not_produced(n, se, cl);
    return stderr_outcome::no_degrees_of_freedom;
  }
  const core::vec1 se1(se);
  const core::vec1 cl1(cl);
  for (int i = 1; i <= n; ++i)
    se1(i) = s(i) * std::sqrt(ssq / static_cast<double>(N - n));
  const double t = tvalue(N - n);
  for (int i = 1; i <= n; ++i)
    cl1(i) = se1(i) * t;
  return stderr_outcome::produced;
}

void balance(std::span<double> storage, int n) {
  const core::mat1 a(storage, n);
  bool changed = true;
  while (changed) {
    changed = false;
    for (int i = 1; i <= n; ++i) {
      double c = 0.0;
      double r = 0.0;
      for (int j = 1; j <= n; ++j) {
        if (j == i) continue;
        c += std::abs(a(j, i));
        r += std::abs(a(i, j));
      }
      // Rows with non-finite sums are left alone (their scaling would never settle).
      if (c == 0.0 || r == 0.0 || !std::isfinite(c) || !std::isfinite(r)) continue;
      const double g = r / 2.0;
      double f = 1.0;
      const double s = c + r;
      while (c < g) {
        f = 2.0 * f;
        c = 4.0 * c;
      }
      while (c > 2.0 * r) {
        f = f / 2.0;
        c = c / 4.0;
      }
      if ((c + r) / f < balance_ratio * s) {
        changed = true;
        const double inv_f = 1.0 / f;
        for (int j = 1; j <= n; ++j)
          a(i, j) = a(i, j) * inv_f;
        for (int j = 1; j <= n; ++j)
          a(j, i) = a(j, i) * f;
      }
    }
  }
}

void lumatinv(int n, std::span<double> a, int& info) {
  info = 0;
  if (n <= 0) return;
  const auto nn = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
  std::vector<double> l_store(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(nn));
  const core::mat1 L(std::span<double>(l_store), n);
  std::vector<int> pivot_store(static_cast<std::size_t>(n));
  const core::ivec1 pivot{std::span<int>(pivot_store)};

  // Factorisation: P A = L U, the negated multipliers below the diagonal.
  for (int k = 1; k <= n - 1; ++k) {
    int l = k;
    for (int i = k + 1; i <= n; ++i) {
      if (std::abs(L(i, k)) > std::abs(L(l, k))) l = i;
    }
    pivot(k) = l;
    if (L(l, k) == 0.0) {
      info = k;
      return;
    }
    std::swap(L(l, k), L(k, k));
    for (int i = k + 1; i <= n; ++i)
      L(i, k) = -L(i, k) / L(k, k);
    for (int j = k + 1; j <= n; ++j) {
      if (l != k) std::swap(L(l, j), L(k, j));
      const double t = L(k, j);
      for (int i = k + 1; i <= n; ++i)
        L(i, j) = L(i, j) + L(i, k) * t;
    }
  }
  pivot(n) = n;
  if (L(n, n) == 0.0) {
    info = n;
    return;
  }

  // Inverse of the upper factor, in place.
  for (int k = 1; k <= n; ++k) {
    L(k, k) = 1.0 / L(k, k);
    const double t = -L(k, k);
    for (int i = 1; i <= k - 1; ++i)
      L(i, k) = L(i, k) * t;
    for (int j = k + 1; j <= n; ++j) {
      const double tj = L(k, j);
      L(k, j) = 0.0;
      for (int i = 1; i <= k; ++i)
        L(i, j) = L(i, j) + tj * L(i, k);
    }
  }

  // Times the inverse of the lower factor, undoing the row interchanges as column
  // interchanges.
  std::vector<double> w_store(static_cast<std::size_t>(n));
  const core::vec1 w{std::span<double>(w_store)};
  for (int k = n - 1; k >= 1; --k) {
    for (int i = k + 1; i <= n; ++i) {
      w(i) = L(i, k);
      L(i, k) = 0.0;
    }
    for (int j = k + 1; j <= n; ++j) {
      const double t = w(j);
      for (int i = 1; i <= n; ++i)
        L(i, k) = L(i, k) + t * L(i, j);
    }
    const int l = pivot(k);
    if (l != k) {
      for (int i = 1; i <= n; ++i)
        std::swap(L(i, k), L(i, l));
    }
  }
  std::copy(l_store.begin(), l_store.end(), a.begin());
}

void invertmat(std::span<double> storage, int n) {
  if (n <= 0) return;
  const core::mat1 a(storage, n);
  if (n == 1) {
    if (a(1, 1) != 0.0) a(1, 1) = 1.0 / a(1, 1);
    return;
  }
  const auto size = static_cast<std::size_t>(n);
  std::vector<int> used_store(size, 0), row_store(size, 0), col_store(size, 0);
  const core::ivec1 used{std::span<int>(used_store)};
  const core::ivec1 pivot_row{std::span<int>(row_store)};
  const core::ivec1 pivot_col{std::span<int>(col_store)};

  for (int step = 1; step <= n; ++step) {
    // Largest remaining entry over the rows and columns not yet pivoted; the first
    // one found wins a tie.
    double biggest = 0.0;
    int prow = 0;
    int pcol = 0;
    for (int i = 1; i <= n; ++i) {
      if (used(i) != 0) continue;
      for (int j = 1; j <= n; ++j) {
        if (used(j) == 0 && std::abs(a(i, j)) > biggest) {
          biggest = std::abs(a(i, j));
          prow = i;
          pcol = j;
        }
      }
    }
    // Only zeros (or NaN) are left: the matrix is singular. The untouched block of
    // remaining rows and columns is all 0, its diagonal included.
    if (prow == 0) return;
    used(pcol) = used(pcol) + 1;
    if (prow != pcol) {
      for (int j = 1; j <= n; ++j)
        std::swap(a(prow, j), a(pcol, j));
    }
    pivot_row(step) = prow;
    pivot_col(step) = pcol;
    const double pivot = a(pcol, pcol);
    a(pcol, pcol) = 1.0;
    for (int j = 1; j <= n; ++j)
      a(pcol, j) = a(pcol, j) / pivot;
    for (int i = 1; i <= n; ++i) {
      if (i == pcol) continue;
      const double d = a(i, pcol);
      a(i, pcol) = 0.0;
      for (int j = 1; j <= n; ++j)
        a(i, j) = a(i, j) - a(pcol, j) * d;
    }
  }
  for (int step = n; step >= 1; --step) {
    if (pivot_row(step) == pivot_col(step)) continue;
    for (int i = 1; i <= n; ++i)
      std::swap(a(i, pivot_row(step)), a(i, pivot_col(step)));
  }
}

double tvalue(int dof) {
  // Two-sided 95 % points for 1 to 20 degrees of freedom.
  static constexpr float table[20] = {12.71f, 4.30f, 3.18f, 2.78f, 2.57f, 2.45f, 2.37f,
                                      2.31f,  2.26f, 2.23f, 2.20f, 2.18f, 2.16f, 2.15f,
                                      2.13f,  2.12f, 2.11f, 2.10f, 2.09f, 2.09f};
  constexpr double ln_8_2 = 2.1041341542702074;
  constexpr double ln_4 = 1.3862943611198906;
  constexpr double ln_2 = 0.6931471805599453;
  if (dof <= 0) return 0.0;
  if (dof <= 20) return double(table[dof - 1]);
  // Beyond the table each band runs geometrically from its first value towards its
  // second across its width, in hundredths cut towards zero.
  double t = 0.0;
  if (dof <= 30) {
    const double e = (std::log(12.3) - std::log(8.2)) / 10.0 * static_cast<double>(20 - dof);
    t = std::trunc(196.5 + 12.3 * std::exp(e)) / 100.0;
  } else if (dof <= 60) {
    const double e = (ln_8_2 - ln_4) * static_cast<double>(30 - dof) / 30.0;
    t = std::trunc(196.5 + 8.2 * std::exp(e)) / 100.0;
  } else {
    const double e = (std::log(3.9) - ln_2) * static_cast<double>(60 - dof) / 60.0;
    t = std::trunc(196.5 + 3.9 * std::exp(e)) / 100.0;
  }
  return double(static_cast<float>(t));
}

}  // namespace inhibra::fit
