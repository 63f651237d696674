#include "optim/detail/svd.hpp"

#include <cmath>
#include <cstddef>

#include "core/one_based.hpp"

namespace inhibra::optim {

namespace {

// Added to every Householder denominator, to the stored diagonal and to the divisors
// of the accumulations, so that an exactly zero column or row never divides by zero.
constexpr double tiny = 2.2e-16;
constexpr int max_sweeps = 30;  // QR sweeps allowed per singular value

// |a| carrying the sign of b (b = 0 counts as positive).
double with_sign_of(double a, double b) {
  return b >= 0.0 ? std::abs(a) : -std::abs(a);
}

double hypotenuse(double a, double b) {
  return std::sqrt(a * a + b * b);
}

bool long_enough(std::span<double> s, int rows, int ld, int cols) {
  const auto need = static_cast<std::size_t>(ld) * static_cast<std::size_t>(cols - 1) +
                    static_cast<std::size_t>(rows);
  return s.size() >= need;
}

}  // namespace

svd_ier svd(int n, int m, std::span<double> a_store, std::span<double> v_store,
            std::span<double> w_store, int lda, int ldv, std::span<double> rv1_store) {
  if (!(1 <= n && n <= m && m <= lda && n <= ldv)) return svd_ier::bad_dimensions;
  if (!long_enough(a_store, m, lda, n) || !long_enough(v_store, n, ldv, n) ||
      w_store.size() < static_cast<std::size_t>(n) ||
      rv1_store.size() < static_cast<std::size_t>(n)) {
    return svd_ier::bad_dimensions;
  }
  const core::mat1 a(a_store, lda);
  const core::mat1 v(v_store, ldv);
  const core::vec1 w(w_store.first(static_cast<std::size_t>(n)));
  const core::vec1 rv1(rv1_store.first(static_cast<std::size_t>(n)));

  // Householder reduction to upper bidiagonal form: diagonal in w, superdiagonal in
  // rv1(2..n) (rv1(1) = 0). Column and row norms are plain sums of squares.
  double g = 0.0;
  double anorm = 0.0;
  for (int i = 1; i <= n; ++i) {
    const int l = i + 1;
    rv1(i) = g;
    g = 0.0;
    double s = 0.0;
    for (int k = i; k <= m; ++k)
      s += a(k, i) * a(k, i);
    if (s != 0.0) {
      const double f = a(i, i);
      g = -with_sign_of(std::sqrt(s), f);
      const double h = f * g - s + tiny;
      a(i, i) = f - g;
      for (int j = l; j <= n; ++j) {
        double sj = 0.0;
        for (int k = i; k <= m; ++k)
          sj += a(k, i) * a(k, j);
        const double fj = sj / h;
        for (int k = i; k <= m; ++k)
          a(k, j) += fj * a(k, i);
      }
    }
    w(i) = g + tiny;
    g = 0.0;
    s = 0.0;
    if (i != n) {
      for (int k = l; k <= n; ++k)
        s += a(i, k) * a(i, k);
      if (s != 0.0) {
        const double f = a(i, l);
        g = -with_sign_of(std::sqrt(s), f);
        const double h = f * g - s + tiny;
        a(i, l) = f - g;
        for (int k = l; k <= n; ++k)
          rv1(k) = a(i, k) / h;
        for (int j = l; j <= m; ++j) {
          double sj = 0.0;
          for (int k = l; k <= n; ++k)
            sj += a(j, k) * a(i, k);
          for (int k = l; k <= n; ++k)
            a(j, k) += sj * rv1(k);
        }
      }
    }
    anorm = std::fmax(anorm, std::abs(w(i)) + std::abs(rv1(i)));
  }

  // Accumulate the right-hand transformations in v.
  {
    int l = n + 1;
    for (int i = n; i >= 1; --i) {
      if (i < n) {
        if (g != 0.0) {
          for (int j = l; j <= n; ++j)
            v(j, i) = a(i, j) / (a(i, l) * g + tiny);
          for (int j = l; j <= n; ++j) {
            double s = 0.0;
            for (int k = l; k <= n; ++k)
              s += a(i, k) * v(k, j);
            for (int k = l; k <= n; ++k)
              v(k, j) += s * v(k, i);
          }
        }
        for (int j = l; j <= n; ++j) {
          v(i, j) = 0.0;
          v(j, i) = 0.0;
        }
      }
      v(i, i) = 1.0;
      g = rv1(i);
      l = i;
    }
  }

  // Accumulate the left-hand transformations in a, which becomes U.
  for (int i = n; i >= 1; --i) {
    const int l = i + 1;
    g = w(i);
    for (int j = l; j <= n; ++j)
      a(i, j) = 0.0;
    if (g != 0.0) {
      const double divisor = a(i, i) * g + tiny;
      for (int j = l; j <= n; ++j) {
        double s = 0.0;
        for (int k = l; k <= m; ++k)
          s += a(k, i) * a(k, j);
        const double f = s / divisor;
        for (int k = i; k <= m; ++k)
          a(k, j) += f * a(k, i);
      }
      // Column i of the transformation is e(i) + u u(i) / divisor, u being the stored
      // Householder vector. With the divisor's added constant negligible this is
      // e(i) + u / g; for a column that was already zero to rounding (a rank-deficient
      // matrix) g is itself of the order of the constant, and dividing by g alone
      // would leave U without orthonormal columns.
      const double scale = a(i, i) / divisor;
      for (int j = i; j <= m; ++j)
        a(j, i) *= scale;
    } else {
      for (int j = i; j <= m; ++j)
        a(j, i) = 0.0;
    }
    a(i, i) += 1.0;
  }

  // Diagonalise the bidiagonal form, from the last singular value to the first.
  const double tol = tiny * anorm;
  svd_ier ier = svd_ier::ok;
  for (int k = n; k >= 1; --k) {
    for (int its = 0;; ++its) {
      // Split: find the start l of the unreduced block that ends at k. rv1(1) is
      // zero by construction, so the search always stops at l = 1.
      int l = k;
      bool cancel = false;
      for (; l >= 1; --l) {
        if (l == 1 || tol > std::abs(rv1(l))) break;
        if (tol > std::abs(w(l - 1))) {
          cancel = true;
          break;
        }
      }
      if (cancel) {
        // w(l-1) is negligible: chase rv1(l) out of the block with rotations.
        const int nm = l - 1;
        double c = 0.0;
        double s = 1.0;
        for (int i = l; i <= k; ++i) {
          const double f = s * rv1(i);
          rv1(i) = c * rv1(i);
          if (tol > std::abs(f)) break;
          g = w(i);
          double h = hypotenuse(f, g);
          w(i) = h;
          h = 1.0 / h;
          c = g * h;
          s = -f * h;
          for (int j = 1; j <= m; ++j) {
            const double y = a(j, nm);
            const double z = a(j, i);
            a(j, nm) = y * c + z * s;
            a(j, i) = -y * s + z * c;
          }
        }
      }
      double z = w(k);
      if (l == k) {
        // Converged; a negative value is made positive with its column of V.
        if (z < 0.0) {
          w(k) = -z;
          for (int j = 1; j <= n; ++j)
            v(j, k) = -v(j, k);
        }
        break;
      }
      if (its == max_sweeps) {
        ier = svd_ier::no_convergence;
        break;
      }
      // Shift from the trailing 2 x 2 block.
      double x = w(l);
      const int nm = k - 1;
      double y = w(nm);
      g = rv1(nm);
      double h = rv1(k);
      double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
      g = with_sign_of(hypotenuse(f, 1.0), f);
      f = ((x - z) * (x + z) + h * (y / (f + g) - h)) / x;
      // One implicit QR sweep over the block l..k.
      double c = 1.0;
      double s = 1.0;
      for (int j = l; j <= nm; ++j) {
        const int i = j + 1;
        g = rv1(i);
        y = w(i);
        h = s * g;
        g = c * g;
        z = hypotenuse(f, h);
        rv1(j) = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = -x * s + g * c;
        h = y * s;
        y = y * c;
        for (int jj = 1; jj <= n; ++jj) {
          x = v(jj, j);
          z = v(jj, i);
          v(jj, j) = x * c + z * s;
          v(jj, i) = -x * s + z * c;
        }
        z = hypotenuse(f, h);
        w(j) = z;
        if (z != 0.0) {
          z = 1.0 / z;
          c = f * z;
          s = h * z;
        }
        f = c * g + s * y;
        x = -s * g + c * y;
        for (int jj = 1; jj <= m; ++jj) {
          y = a(jj, j);
          z = a(jj, i);
          a(jj, j) = y * c + z * s;
          a(jj, i) = -y * s + z * c;
        }
      }
      rv1(l) = 0.0;
      rv1(k) = f;
      w(k) = x;
    }
  }
  return ier;
}

}  // namespace inhibra::optim
