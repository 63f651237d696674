#include "optim/detail/svd.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "support/compare.hpp"

namespace inhibra::optim {
namespace {

constexpr double tight = support::tight;  // reconstruction and orthonormality
constexpr double zero_rel = 1e-14;        // a singular value that should vanish, relative

// A column-major m x n matrix with its leading dimension; entries given by column,
// or random in [-1, 1].
struct matrix {
  int m, n, ld;
  std::vector<double> a;
  matrix(int rows, int cols, std::vector<double> by_column = {}, int lead = 0)
      : m(rows), n(cols), ld(lead > 0 ? lead : rows), a(std::move(by_column)) {
    a.resize(static_cast<std::size_t>(ld * n), 0.0);
  }
  static matrix random(int m, int n, unsigned seed, int ld = 0) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    matrix r(m, n, {}, ld);
    for (int j = 1; j <= n; ++j)
      for (int i = 1; i <= m; ++i)
        r(i, j) = dist(gen);
    return r;
  }
  double& operator()(int i, int j) { return a[static_cast<std::size_t>((i - 1) + (j - 1) * ld)]; }
  double operator()(int i, int j) const {
    return a[static_cast<std::size_t>(i - 1 + (j - 1) * ld)];
  }
};

struct decomposition {
  matrix u, v;
  std::vector<double> w;
  svd_ier ier;
  explicit decomposition(const matrix& a, int ldv = 0)
      : u(a), v(a.n, a.n, {}, ldv), w(static_cast<std::size_t>(a.n), -1.0) {
    std::vector<double> rv1(static_cast<std::size_t>(a.n));
    ier = svd(a.n, a.m, u.a, v.a, w, a.ld, v.ld, rv1);
  }
  [[nodiscard]] std::vector<double> sorted() const {
    auto s = w;
    std::sort(s.begin(), s.end());
    return s;
  }
};

// ||U diag(w) V^T - A||_F / ||A||_F.
double reconstruction_error(const matrix& a, const decomposition& d) {
  double s = 0, norm = 0;
  for (int j = 1; j <= a.n; ++j)
    for (int i = 1; i <= a.m; ++i) {
      double r = 0;
      for (int k = 1; k <= a.n; ++k)
        r += d.u(i, k) * d.w[static_cast<std::size_t>(k - 1)] * d.v(j, k);
      s += (r - a(i, j)) * (r - a(i, j));
      norm += a(i, j) * a(i, j);
    }
  return std::sqrt(s / norm);
}

// Largest |Q^T Q - I| entry over the columns of an m x n matrix.
double orthonormality_error(const matrix& q) {
  double worst = 0;
  for (int j = 1; j <= q.n; ++j)
    for (int k = 1; k <= q.n; ++k) {
      double s = 0;
      for (int i = 1; i <= q.m; ++i)
        s += q(i, j) * q(i, k);
      worst = std::max(worst, std::abs(s - (j == k ? 1.0 : 0.0)));
    }
  return worst;
}

// Checks the decomposition of a; `orthonormal` is the tolerance for U and V.
decomposition expect_valid(const matrix& a, double orthonormal = tight, int ldv = 0) {
  decomposition d(a, ldv);
  EXPECT_EQ(d.ier, svd_ier::ok);
  EXPECT_LE(reconstruction_error(a, d), tight);
  EXPECT_LE(orthonormality_error(d.u), orthonormal);
  EXPECT_LE(orthonormality_error(d.v), orthonormal);
  for (double w : d.w)
    EXPECT_GE(w, 0.0);
  return d;
}

TEST(Svd, ReconstructsSquareTallAndBadlyScaledMatrices) {
  for (auto [m, n] : {std::pair{1, 1}, {3, 3}, {8, 8}, {2, 1}, {7, 3}, {25, 25}}) {
    SCOPED_TRACE(m * 100 + n);
    (void)expect_valid(matrix::random(m, n, 7u * static_cast<unsigned>(m + n)));
  }
  // Columns spanning nine orders of magnitude, and rows spanning six.
  matrix a = matrix::random(6, 4, 21u);
  matrix b = matrix::random(5, 5, 22u);
  for (int j = 1; j <= 5; ++j)
    for (int i = 1; i <= 6; ++i) {
      if (j <= 4) a(i, j) *= std::pow(10.0, 3 * (j - 1));
      if (i <= 5) b(i, j) *= std::pow(10.0, i + 1);
    }
  (void)expect_valid(a);
  (void)expect_valid(b);

  // Leading dimensions larger than the matrix: padding rows hold values that must
  // neither be read as data nor changed.
  matrix padded = matrix::random(4, 3, 5u, 6);
  for (int j = 1; j <= 3; ++j)
    for (int i = 5; i <= 6; ++i)
      padded(i, j) = 1e300;
  const decomposition d = expect_valid(padded, tight, 5);
  for (int j = 1; j <= 3; ++j)
    for (int i = 5; i <= 6; ++i)
      EXPECT_EQ(d.u(i, j), 1e300);
}

TEST(Svd, KnownSingularValues) {
  // [[3, 0], [4, 5]]: sigma^2 solves s^2 - 50 s + 225 = 0, so 45 and 5.
  support::expect_rel_near(expect_valid(matrix(2, 2, {3, 4, 0, 5})).sorted(),
                           {std::sqrt(5.0), 3.0 * std::sqrt(5.0)}, tight);
  // A column vector: its norm.
  support::expect_rel_near(expect_valid(matrix(3, 1, {2, -3, 6})).w, {7.0}, tight);
  // Negative diagonal entries: the values come out as their magnitudes, in the
  // order of the columns (unsorted), with V absorbing the signs.
  support::expect_rel_near(expect_valid(matrix(3, 3, {-1, 0, 0, 0, 3, 0, 0, 0, -2})).w,
                           {1.0, 3.0, 2.0}, 1e-15);

  // A dependent column: one value vanishes.
  matrix a = matrix::random(5, 4, 3u);
  for (int i = 1; i <= 5; ++i)
    a(i, 3) = a(i, 1) - 2.0 * a(i, 2);
  auto w = expect_valid(a).sorted();
  EXPECT_LE(w[0], zero_rel * w[3]);
  EXPECT_GT(w[1], 1e-3 * w[3]);

  // An outer product: rank one, its value is the product of the two norms.
  matrix b(4, 4);
  const double x[] = {1, -2, 0.5, 3};
  const double y[] = {2, 1, -1, 0.25};
  for (int j = 1; j <= 4; ++j)
    for (int i = 1; i <= 4; ++i)
      b(i, j) = x[i - 1] * y[j - 1];
  w = expect_valid(b).sorted();
  EXPECT_TRUE(support::rel_near(w[3], std::sqrt(14.25) * std::sqrt(6.0625), tight));
  for (int k = 0; k < 3; ++k)
    EXPECT_LE(w[static_cast<std::size_t>(k)], zero_rel * w[3]);
}

TEST(Svd, IllConditionedMatrix) {
  // The 6 x 6 Hilbert matrix (condition about 1.5e7), scaled by 1e4. Its small
  // singular values leave small remaining columns during the reduction, where the
  // constant added to each Householder denominator costs orthonormality: about
  // 2.2e-16 over the squared remaining norm.
  matrix h(6, 6);
  for (int j = 1; j <= 6; ++j)
    for (int i = 1; i <= 6; ++i)
      h(i, j) = 1e4 / (i + j - 1);
  const decomposition d = expect_valid(h, 1e-9);
  // The product of the singular values is |det|: det(H6) = c6^4 / c12 with
  // c_n = 1! 2! ... (n-1)!, times (1e4)^6.
  auto c = [](int n) {
    double p = 1, fact = 1;
    for (int i = 1; i < n; ++i)
      p *= (fact *= i);
    return p;
  };
  double product = 1;
  for (double w : d.w)
    product *= w;
  EXPECT_TRUE(support::rel_near(product, std::pow(c(6), 4) / c(12) * 1e24, 1e-8));
}

TEST(Svd, GivesUpOnAValueThatNeverSettles) {
  // A value that is not a number never meets the negligibility test: each singular
  // value gets its 30 sweeps and the decomposition still returns.
  matrix a = matrix::random(3, 3, 4u);
  a(2, 2) = std::nan("");
  EXPECT_EQ(decomposition(a).ier, svd_ier::no_convergence);
}

TEST(Svd, RefusesInconsistentDimensions) {
  const matrix a = matrix::random(4, 3, 1u);
  std::vector<double> store = a.a, v(9), w(3), rv1(3);
  struct dims {
    int n, m, lda, ldv;
  };
  for (const dims& t :
       {dims{0, 4, 4, 3}, dims{3, 2, 4, 3}, dims{3, 4, 3, 3}, dims{3, 4, 4, 2}, dims{-1, 4, 4, 3}})
    EXPECT_EQ(svd(t.n, t.m, store, v, w, t.lda, t.ldv, rv1), svd_ier::bad_dimensions);
  // Arrays too short for the stated dimensions.
  EXPECT_EQ(svd(3, 4, std::span(store).first(11), v, w, 4, 3, rv1), svd_ier::bad_dimensions);
  EXPECT_EQ(svd(3, 4, store, std::span(v).first(8), w, 4, 3, rv1), svd_ier::bad_dimensions);
  EXPECT_EQ(svd(3, 4, store, v, std::span(w).first(2), 4, 3, rv1), svd_ier::bad_dimensions);
  EXPECT_EQ(svd(3, 4, store, v, w, 4, 3, std::span(rv1).first(2)), svd_ier::bad_dimensions);
  EXPECT_EQ(store, a.a);
}

}  // namespace
}  // namespace inhibra::optim
