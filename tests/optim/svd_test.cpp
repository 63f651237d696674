#include "optim/svd.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "support/numeric.hpp"

namespace inhibra::optim {
namespace {

constexpr double tight = support::tight;  // reconstruction and orthonormality
constexpr double zero_rel = 1e-14;        // a singular value that should vanish, relative

// A column-major matrix with its leading dimension.
struct matrix {
  int m = 0;
  int n = 0;
  int ld = 0;
  std::vector<double> a;
  double& operator()(int i, int j) { return a[static_cast<std::size_t>((i - 1) + (j - 1) * ld)]; }
  double operator()(int i, int j) const {
    return a[static_cast<std::size_t>((i - 1) + (j - 1) * ld)];
  }
};

matrix make(int m, int n, int ld = 0) {
  matrix r;
  r.m = m;
  r.n = n;
  r.ld = ld > 0 ? ld : m;
  r.a.assign(static_cast<std::size_t>(r.ld * n), 0.0);
  return r;
}

matrix random_matrix(int m, int n, unsigned seed, int ld = 0) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  matrix r = make(m, n, ld);
  for (int j = 1; j <= n; ++j)
    for (int i = 1; i <= m; ++i)
      r(i, j) = dist(gen);
  return r;
}

struct decomposition {
  matrix u;
  matrix v;
  std::vector<double> w;
  svd_ier ier = svd_ier::ok;
};

decomposition decompose(const matrix& a, int ldv = 0) {
  decomposition d;
  d.u = a;
  d.v = make(a.n, a.n, ldv);
  d.w.assign(static_cast<std::size_t>(a.n), -1.0);
  std::vector<double> rv1(static_cast<std::size_t>(a.n));
  d.ier = svd(a.n, a.m, d.u.a, d.v.a, d.w, a.ld, d.v.ld, rv1);
  return d;
}

double frobenius(const matrix& a) {
  double s = 0;
  for (int j = 1; j <= a.n; ++j)
    for (int i = 1; i <= a.m; ++i)
      s += a(i, j) * a(i, j);
  return std::sqrt(s);
}

// ||U diag(w) V^T - A||_F / ||A||_F.
double reconstruction_error(const matrix& a, const decomposition& d) {
  double s = 0;
  for (int j = 1; j <= a.n; ++j) {
    for (int i = 1; i <= a.m; ++i) {
      double r = 0;
      for (int k = 1; k <= a.n; ++k)
        r += d.u(i, k) * d.w[static_cast<std::size_t>(k - 1)] * d.v(j, k);
      s += (r - a(i, j)) * (r - a(i, j));
    }
  }
  return std::sqrt(s) / frobenius(a);
}

// Largest |Q^T Q - I| entry over the columns of an m x n matrix.
double orthonormality_error(const matrix& q) {
  double worst = 0;
  for (int j = 1; j <= q.n; ++j) {
    for (int k = 1; k <= q.n; ++k) {
      double s = 0;
      for (int i = 1; i <= q.m; ++i)
        s += q(i, j) * q(i, k);
      worst = std::max(worst, std::abs(s - (j == k ? 1.0 : 0.0)));
    }
  }
  return worst;
}

void expect_valid(const matrix& a, const decomposition& d) {
  ASSERT_EQ(d.ier, svd_ier::ok);
  EXPECT_LE(reconstruction_error(a, d), tight);
  EXPECT_LE(orthonormality_error(d.u), tight);
  EXPECT_LE(orthonormality_error(d.v), tight);
  for (double w : d.w)
    EXPECT_GE(w, 0.0);
}

std::vector<double> sorted(std::vector<double> w) {
  std::sort(w.begin(), w.end());
  return w;
}

TEST(Svd, ReconstructsSquareAndTallMatrices) {
  for (int n : {1, 2, 3, 5, 8}) {
    SCOPED_TRACE(n);
    const matrix a = random_matrix(n, n, 11u + static_cast<unsigned>(n));
    expect_valid(a, decompose(a));
  }
  for (auto [m, n] : {std::pair{2, 1}, {7, 3}, {12, 5}, {25, 25}}) {
    SCOPED_TRACE(m * 100 + n);
    const matrix a = random_matrix(m, n, 7u * static_cast<unsigned>(m + n));
    expect_valid(a, decompose(a));
  }
}

TEST(Svd, HonoursLeadingDimensionsLargerThanTheMatrix) {
  matrix a = random_matrix(4, 3, 5u, 6);
  // Padding rows hold values that must neither be read as data nor changed.
  for (int j = 1; j <= 3; ++j)
    for (int i = 5; i <= 6; ++i)
      a(i, j) = 1e300;
  const decomposition d = decompose(a, 5);
  expect_valid(a, d);
  for (int j = 1; j <= 3; ++j)
    for (int i = 5; i <= 6; ++i)
      EXPECT_EQ(d.u(i, j), 1e300);
}

TEST(Svd, KnownSingularValues) {
  // [[3, 0], [4, 5]]: sigma^2 solves s^2 - 50 s + 225 = 0, so 45 and 5.
  matrix a = make(2, 2);
  a(1, 1) = 3;
  a(2, 1) = 4;
  a(2, 2) = 5;
  decomposition d = decompose(a);
  expect_valid(a, d);
  const auto w = sorted(d.w);
  EXPECT_TRUE(support::rel_near(w[0], std::sqrt(5.0), tight));
  EXPECT_TRUE(support::rel_near(w[1], 3.0 * std::sqrt(5.0), tight));

  // A column vector: its norm.
  matrix c = make(3, 1);
  c(1, 1) = 2;
  c(2, 1) = -3;
  c(3, 1) = 6;
  d = decompose(c);
  expect_valid(c, d);
  EXPECT_TRUE(support::rel_near(d.w[0], 7.0, tight));
}

TEST(Svd, LeavesValuesUnsortedAndPositive) {
  // Negative diagonal entries: the values come out as their magnitudes, in the
  // order of the columns, with V absorbing the signs.
  matrix a = make(3, 3);
  a(1, 1) = -1;
  a(2, 2) = 3;
  a(3, 3) = -2;
  const decomposition d = decompose(a);
  expect_valid(a, d);
  EXPECT_TRUE(support::rel_near(d.w[0], 1.0, 1e-15));
  EXPECT_TRUE(support::rel_near(d.w[1], 3.0, 1e-15));
  EXPECT_TRUE(support::rel_near(d.w[2], 2.0, 1e-15));
}

TEST(Svd, RankDeficientMatrices) {
  // A dependent column: one value vanishes.
  matrix a = random_matrix(5, 4, 3u);
  for (int i = 1; i <= 5; ++i)
    a(i, 3) = a(i, 1) - 2.0 * a(i, 2);
  decomposition d = decompose(a);
  expect_valid(a, d);
  auto w = sorted(d.w);
  EXPECT_LE(w[0], zero_rel * w[3]);
  EXPECT_GT(w[1], 1e-3 * w[3]);

  // An outer product: rank one, its value is the product of the two norms.
  matrix b = make(4, 4);
  const double x[] = {1, -2, 0.5, 3};
  const double y[] = {2, 1, -1, 0.25};
  for (int j = 1; j <= 4; ++j)
    for (int i = 1; i <= 4; ++i)
      b(i, j) = x[i - 1] * y[j - 1];
  d = decompose(b);
  expect_valid(b, d);
  w = sorted(d.w);
  EXPECT_TRUE(support::rel_near(w[3], std::sqrt(14.25) * std::sqrt(6.0625), tight));
  for (int k = 0; k < 3; ++k)
    EXPECT_LE(w[static_cast<std::size_t>(k)], zero_rel * w[3]);

  // A zero column in the middle.
  matrix c = random_matrix(4, 3, 9u);
  for (int i = 1; i <= 4; ++i)
    c(i, 2) = 0.0;
  d = decompose(c);
  expect_valid(c, d);
  EXPECT_LE(sorted(d.w)[0], zero_rel * sorted(d.w)[2]);
}

TEST(Svd, BadlyScaledMatrices) {
  // Columns spanning nine orders of magnitude.
  matrix a = random_matrix(6, 4, 21u);
  const double scale[] = {1.0, 1e3, 1e6, 1e9};
  for (int j = 1; j <= 4; ++j)
    for (int i = 1; i <= 6; ++i)
      a(i, j) *= scale[j - 1];
  expect_valid(a, decompose(a));

  // Rows spanning six orders of magnitude, large entries.
  matrix b = random_matrix(5, 5, 22u);
  for (int j = 1; j <= 5; ++j)
    for (int i = 1; i <= 5; ++i)
      b(i, j) *= std::pow(10.0, i + 1);
  expect_valid(b, decompose(b));
}

TEST(Svd, IllConditionedMatrix) {
  // The 6 x 6 Hilbert matrix (condition about 1.5e7), scaled by 1e4. Its small
  // singular values leave small remaining columns during the reduction, where the
  // constant added to each Householder denominator costs orthonormality: about
  // 2.2e-16 over the squared remaining norm.
  constexpr double small_remainder = 1e-9;
  matrix h = make(6, 6);
  for (int j = 1; j <= 6; ++j)
    for (int i = 1; i <= 6; ++i)
      h(i, j) = 1e4 / (i + j - 1);
  const decomposition d = decompose(h);
  ASSERT_EQ(d.ier, svd_ier::ok);
  EXPECT_LE(reconstruction_error(h, d), tight);
  EXPECT_LE(orthonormality_error(d.u), small_remainder);
  EXPECT_LE(orthonormality_error(d.v), small_remainder);
  // The product of the singular values is |det|: det(H6) = c6^4 / c12 with
  // c_n = 1! 2! ... (n-1)!, times (1e4)^6.
  auto c = [](int n) {
    double p = 1, fact = 1;
    for (int i = 1; i < n; ++i) {
      fact *= i;
      p *= fact;
    }
    return p;
  };
  double product = 1;
  for (double w : d.w) {
    EXPECT_GT(w, 0.0);
    product *= w;
  }
  EXPECT_TRUE(support::rel_near(product, std::pow(c(6), 4) / c(12) * 1e24, 1e-8));
}

TEST(Svd, GivesUpOnAValueThatNeverSettles) {
  // A value that is not a number never meets the negligibility test: each singular
  // value gets its 30 sweeps and the decomposition still returns.
  matrix a = random_matrix(3, 3, 4u);
  a(2, 2) = std::nan("");
  EXPECT_EQ(decompose(a).ier, svd_ier::no_convergence);
}

TEST(Svd, RefusesInconsistentDimensions) {
  const matrix a = random_matrix(4, 3, 1u);
  std::vector<double> v(9);
  std::vector<double> w(3);
  std::vector<double> rv1(3);
  struct dims {
    int n, m, lda, ldv;
  };
  for (const dims& t : {dims{0, 4, 4, 3}, dims{3, 2, 4, 3}, dims{3, 4, 3, 3}, dims{3, 4, 4, 2},
                        dims{-1, 4, 4, 3}}) {
    std::vector<double> store = a.a;
    EXPECT_EQ(svd(t.n, t.m, store, v, w, t.lda, t.ldv, rv1), svd_ier::bad_dimensions);
    EXPECT_EQ(store, a.a);
  }
  // Arrays too short for the stated dimensions.
  std::vector<double> store = a.a;
  EXPECT_EQ(svd(3, 4, std::span(store).first(11), v, w, 4, 3, rv1), svd_ier::bad_dimensions);
  EXPECT_EQ(svd(3, 4, store, std::span(v).first(8), w, 4, 3, rv1), svd_ier::bad_dimensions);
  EXPECT_EQ(svd(3, 4, store, v, std::span(w).first(2), 4, 3, rv1), svd_ier::bad_dimensions);
  EXPECT_EQ(svd(3, 4, store, v, w, 4, 3, std::span(rv1).first(2)), svd_ier::bad_dimensions);
  EXPECT_EQ(store, a.a);
}

}  // namespace
}  // namespace inhibra::optim
