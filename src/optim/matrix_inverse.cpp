#include "optim/detail/matrix_inverse.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <utility>

#include "core/one_based.hpp"
#include "optim/detail/dot_products.hpp"

namespace inhibra::optim {

namespace {

using pivot_list = std::array<int, max_inverse_order>;

// Storage from element (i, j) onwards, for strided walks along a row (stride lda)
// or down a column (stride 1).
std::span<const double> from(std::span<double> a, int lda, int i, int j) {
  return a.subspan(static_cast<std::size_t>(i - 1) +
                   static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(lda));
}

void swap_rows(const core::mat1& a, int n, int r1, int r2) {
  for (int k = 1; k <= n; ++k)
    std::swap(a(r1, k), a(r2, k));
}

void swap_columns(const core::mat1& a, int n, int c1, int c2) {
  for (int i = 1; i <= n; ++i)
    std::swap(a(i, c1), a(i, c2));
}

// First row in j..n whose entry in column j has the largest magnitude.
int pivot_row(const core::mat1& a, int n, int j) {
  int p = j;
  for (int i = j + 1; i <= n; ++i)
    if (std::abs(a(i, j)) > std::abs(a(p, j))) p = i;
  return p;
}

// The interchanges of the decomposition, undone on the columns of the inverse in
// the reverse order.
void undo_interchanges(const core::mat1& a, int n, const pivot_list& piv) {
  for (int j = n - 1; j >= 1; --j) {
    const int p = piv[static_cast<std::size_t>(j - 1)];
    if (p != j) swap_columns(a, n, j, p);
  }
}

}  // namespace

void mb01bd(std::span<double> storage, int n, int lda) {
  if (n < 1) return;
  assert(n <= max_inverse_order);
  const core::mat1 a(storage, lda);
  if (n == 1) {
    if (a(1, 1) != 0.0) a(1, 1) = 1.0 / a(1, 1);
    return;
  }
  pivot_list piv{};

  // P·A = L·U by right-looking elimination; multipliers below the diagonal.
  for (int j = 1; j < n; ++j) {
    const int p = pivot_row(a, n, j);
    piv[static_cast<std::size_t>(j - 1)] = p;
    if (p != j) swap_rows(a, n, j, p);
    for (int i = j + 1; i <= n; ++i)
      a(i, j) = a(i, j) / a(j, j);
    for (int k = j + 1; k <= n; ++k) {
      const double t = a(j, k);
      for (int i = j + 1; i <= n; ++i)
        a(i, k) = a(i, k) - a(i, j) * t;
    }
  }
  piv[static_cast<std::size_t>(n - 1)] = n;

  // U⁻¹ in place, column by column: column j of U⁻¹ is -(1/u_jj) times the
  // combination of the earlier columns of U⁻¹ weighted by column j of U.
  for (int j = 1; j <= n; ++j) {
    const double d = 1.0 / a(j, j);
    a(j, j) = d;
    for (int k = 1; k < j; ++k) {
      const double u = a(k, j);
      a(k, j) = 0.0;
      for (int i = 1; i <= k; ++i)
        a(i, j) = a(i, j) + u * a(i, k);
    }
    for (int i = 1; i < j; ++i)
      a(i, j) = a(i, j) * -d;
  }

  // Y·L = U⁻¹ for Y = U⁻¹·L⁻¹, from the last column to the first.
  std::array<double, max_inverse_order> l{};
  for (int j = n - 1; j >= 1; --j) {
    for (int i = j + 1; i <= n; ++i) {
      l[static_cast<std::size_t>(i - 1)] = a(i, j);
      a(i, j) = 0.0;
    }
    for (int k = j + 1; k <= n; ++k) {
      const double t = l[static_cast<std::size_t>(k - 1)];
      for (int i = 1; i <= n; ++i)
        a(i, j) = a(i, j) - t * a(i, k);
    }
  }
  undo_interchanges(a, n, piv);
}

inverse_status mb01cd2(std::span<double> storage, int n, int lda) {
  if (n < 1) return inverse_status::order_not_positive;
  assert(n <= max_inverse_order);
  const core::mat1 a(storage, lda);
  pivot_list piv{};

  // Left-looking (Crout) decomposition P·A = L·U: column j is finished from the
  // columns before it by inner products, then pivoted and scaled.
  for (int j = 1; j <= n; ++j) {
    // a_ij - Σ_{k < min(i, j)} l_ik·u_kj, written as -((-a_ij) + Σ) so that sdsdot
    // starts its sum at the matrix entry.
    for (int i = 1; i <= n; ++i) {
      const int len = std::min(i, j) - 1;
      a(i, j) = -sdsdot(len, -a(i, j), from(storage, lda, i, 1), lda, from(storage, lda, 1, j), 1);
    }
    const int p = pivot_row(a, n, j);
    if (a(p, j) == 0.0) return inverse_status::singular;
    piv[static_cast<std::size_t>(j - 1)] = p;
    if (p != j) swap_rows(a, n, j, p);
    for (int i = j + 1; i <= n; ++i)
      a(i, j) = a(i, j) / a(j, j);
  }

  // U⁻¹ in place from X·U = I: x_ij = -x_jj · Σ_{k=i..j-1} x_ik·u_kj.
  for (int j = 1; j <= n; ++j) {
    a(j, j) = 1.0 / a(j, j);
    for (int i = 1; i < j; ++i) {
      const double s =
          sdsdot(j - i, 0.0, from(storage, lda, i, i), lda, from(storage, lda, i, j), 1);
      a(i, j) = -a(j, j) * s;
    }
  }

  // Y·L = U⁻¹, from the last column to the first, row by row.
  std::array<double, max_inverse_order> l{};
  const std::span<const double> lv(l);
  for (int j = n - 1; j >= 1; --j) {
    for (int i = j + 1; i <= n; ++i) {
      l[static_cast<std::size_t>(i - 1)] = a(i, j);
      a(i, j) = 0.0;
    }
    for (int i = 1; i <= n; ++i)
      a(i, j) = -sdsdot(n - j, -a(i, j), from(storage, lda, i, j + 1), lda,
                        lv.subspan(static_cast<std::size_t>(j)), 1);
  }
  undo_interchanges(a, n, piv);
  return inverse_status::inverted;
}

}  // namespace inhibra::optim
