#include "optim/matrix_inverse.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace inhibra::optim {
namespace {

constexpr double identity_tol = 1e-10;

using inverter = std::function<void(std::vector<double>&, int, int)>;

void invert_bd(std::vector<double>& a, int n, int lda) {
  mb01bd(a, n, lda);
}
void invert_cd2(std::vector<double>& a, int n, int lda) {
  ASSERT_EQ(mb01cd2(a, n, lda), inverse_status::inverted);
}

// Largest |(A·X - I)(i, j)| for a, x of order n stored with leading dimension lda.
double identity_error(const std::vector<double>& a, const std::vector<double>& x, int n, int lda) {
  double worst = 0.0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = 0.0;
      for (int k = 0; k < n; ++k)
        s += a[static_cast<std::size_t>(i + k * lda)] * x[static_cast<std::size_t>(k + j * lda)];
      worst = std::max(worst, std::abs(s - (i == j ? 1.0 : 0.0)));
    }
  return worst;
}

// Hilbert matrix h(i, j) = 1/(i + j - 1) and its inverse, whose entries are the
// known integers (-1)^(i+j)·(i+j-1)·C(n+i-1, n-j)·C(n+j-1, n-i)·C(i+j-2, i-1)².
double binomial(int n, int k) {
  double r = 1.0;
  for (int i = 1; i <= k; ++i)
    r = r * (n - k + i) / i;
  return r;
}
std::vector<double> hilbert(int n) {
  std::vector<double> h(static_cast<std::size_t>(n * n));
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j)
      h[static_cast<std::size_t>(i - 1 + (j - 1) * n)] = 1.0 / (i + j - 1);
  return h;
}
double hilbert_inverse(int n, int i, int j) {
  const double sign = (i + j) % 2 == 0 ? 1.0 : -1.0;
  const double c = binomial(i + j - 2, i - 1);
  return sign * (i + j - 1) * binomial(n + i - 1, n - j) * binomial(n + j - 1, n - i) * c * c;
}

class Inverse : public ::testing::TestWithParam<inverter> {};

TEST_P(Inverse, WellConditionedMatrixWithLeadingDimension) {
  // Order 4 stored in a 6-row array; the rows beyond 4 must stay untouched.
  const int n = 4, lda = 6;
  std::vector<double> a(static_cast<std::size_t>(lda * n), 99.0);
  const double m[4][4] = {{4, -2, 1, 0}, {3, 6, -4, 2}, {2, 1, 8, -1}, {-1, 2, 0, 5}};
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      a[static_cast<std::size_t>(i + j * lda)] = m[i][j];
  auto x = a;
  GetParam()(x, n, lda);
  EXPECT_LT(identity_error(a, x, n, lda), identity_tol);
  EXPECT_LT(identity_error(x, a, n, lda), identity_tol);
  for (int j = 0; j < n; ++j)
    for (int i = n; i < lda; ++i)
      EXPECT_EQ(x[static_cast<std::size_t>(i + j * lda)], 99.0);
}

TEST_P(Inverse, NeedsRowInterchanges) {
  // Zero leading entries: without pivoting the first step would divide by 0.
  std::vector<double> a{0, 1, 0, 0, 0, 1, 1, 0, 0};  // a cyclic permutation
  auto x = a;
  GetParam()(x, 3, 3);
  // The inverse of a permutation matrix is its transpose.
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      EXPECT_EQ(x[static_cast<std::size_t>(i + j * 3)], a[static_cast<std::size_t>(j + i * 3)]);
}

TEST_P(Inverse, HilbertMatrixAgainstItsKnownInverse) {
  const int n = 5;  // condition number about 4.8e5
  const auto h = hilbert(n);
  auto x = h;
  GetParam()(x, n, n);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      const double want = hilbert_inverse(n, i, j);
      EXPECT_NEAR(x[static_cast<std::size_t>(i - 1 + (j - 1) * n)], want, 1e-7 * std::abs(want));
    }
  EXPECT_LT(identity_error(h, x, n, n), identity_tol);
}

TEST_P(Inverse, NearlySingularMatrixIsInvertedExactly) {
  // [[1, 1], [1, 1 + d]] with d = 2^-30 (condition about 4e9): the elimination is
  // exact in binary, so the inverse (1/d)·[[1 + d, -1], [-1, 1]] comes out exact.
  const double d = std::ldexp(1.0, -30);
  std::vector<double> a{1, 1, 1, 1 + d};
  auto x = a;
  GetParam()(x, 2, 2);
  EXPECT_EQ(x, (std::vector<double>{(1 + d) / d, -1 / d, -1 / d, 1 / d}));
  EXPECT_LT(identity_error(a, x, 2, 2), identity_tol);
}

TEST_P(Inverse, BadlyScaledMatrix) {
  // Rows of scale 1e-8, 1 and 1e8. X·A = I is the residual that does not grow
  // with the scaling (A·X mixes entries of size 1e8 and 1e-8).
  const int n = 3;
  std::vector<double> a{1e-8, 2.0, 3e8, 2e-8, -1.0, 1e8, -1e-8, 4.0, 2e8};
  auto x = a;
  GetParam()(x, n, n);
  EXPECT_LT(identity_error(x, a, n, n), identity_tol);
}

TEST_P(Inverse, RandomMatrixOfLargestOrder) {
  const int n = max_inverse_order;
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> a(static_cast<std::size_t>(n * n));
  for (auto& v : a)
    v = u(gen);
  auto x = a;
  GetParam()(x, n, n);
  EXPECT_LT(identity_error(a, x, n, n), identity_tol);
}

TEST_P(Inverse, OneByOne) {
  std::vector<double> a{4.0};
  GetParam()(a, 1, 1);
  EXPECT_EQ(a[0], 0.25);
}

INSTANTIATE_TEST_SUITE_P(BothRoutines, Inverse, ::testing::Values(invert_bd, invert_cd2));

TEST(Mb01bd, LeavesZeroOneByOneUnchanged) {
  std::vector<double> a{0.0};
  mb01bd(a, 1, 1);
  EXPECT_EQ(a[0], 0.0);
  std::vector<double> b{7.0};
  mb01bd(b, 0, 1);  // nothing to do
  EXPECT_EQ(b[0], 7.0);
}

TEST(Mb01cd2, ReportsSingularAndEmptyMatrices) {
  std::vector<double> a{1, 2, 2, 4};  // second column twice the first
  EXPECT_EQ(mb01cd2(a, 2, 2), inverse_status::singular);
  std::vector<double> z{0.0};
  EXPECT_EQ(mb01cd2(z, 1, 1), inverse_status::singular);
  EXPECT_EQ(mb01cd2(z, 0, 1), inverse_status::order_not_positive);
}

}  // namespace
}  // namespace inhibra::optim
