#include "fit/covariance.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fit/jacobian.hpp"
#include "support/numeric.hpp"

namespace inhibra::fit {
namespace {

using support::rel_near;

// Both products of the 3 x 3 matrices a and inv (by column) are the identity.
void expect_inverse(const std::vector<double>& a, const std::vector<double>& inv) {
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 3; ++i) {
      double left = 0.0, right = 0.0;
      for (int k = 0; k < 3; ++k) {
        left += a[i + k * 3] * inv[k + j * 3];
        right += inv[i + k * 3] * a[k + j * 3];
      }
      EXPECT_NEAR(left, i == j ? 1.0 : 0.0, 1e-14) << "(" << i + 1 << ", " << j + 1 << ")";
      EXPECT_NEAR(right, i == j ? 1.0 : 0.0, 1e-14) << "(" << i + 1 << ", " << j + 1 << ")";
    }
  }
}

TEST(TValue, TableBandsAndMonotonicFall) {
  EXPECT_EQ(tvalue(0), 0.0);
  EXPECT_EQ(tvalue(-3), 0.0);
  const std::pair<int, float> bands[] = {{1, 12.71f},   {8, 2.31f},     {20, 2.09f}, {21, 2.08f},
                                         {25, 2.06f},   {30, 2.04f},    {31, 2.04f}, {40, 2.02f},
                                         {50, 2.01f},   {60, 2.00f},    {80, 1.99f}, {120, 1.98f},
                                         {1000, 1.96f}, {100000, 1.96f}};
  for (const auto& [dof, t] : bands)
    EXPECT_EQ(tvalue(dof), double(t)) << "dof " << dof;
  for (int dof = 1; dof < 400; ++dof)
    EXPECT_LE(tvalue(dof + 1), tvalue(dof)) << "dof " << dof;
}

TEST(Balance, ScalesByPowersOfTwoKeepingDiagonalAndMirroredProducts) {
  // Row 1 carries 16, column 1 carries 1: a factor 4 evens them out, and the other
  // way round 1/4.
  for (std::vector<double> a :
       {std::vector<double>{1, 1, 16, 1}, std::vector<double>{1, 16, 1, 1}}) {
    balance(a, 2);
    EXPECT_EQ(a, (std::vector<double>{1, 4, 4, 1}));
  }
  std::vector<double> s{4, 1e-3, 2, 1e-3, 5, 7, 2, 7, 1};  // symmetric: left alone
  const auto s0 = s;
  balance(s, 3);
  EXPECT_EQ(s, s0);
  std::vector<double> a{2, 1e-4, 3e3, 5e2, 1, 7, 1e-3, 4e5, 6};
  const auto a0 = a;
  balance(a, 3);
  EXPECT_NE(a, a0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(a[i + 3 * i], a0[i + 3 * i]);
    for (int j = 0; j < i; ++j)
      EXPECT_TRUE(rel_near(a[i + 3 * j] * a[j + 3 * i], a0[i + 3 * j] * a0[j + 3 * i], 1e-15));
  }
}

TEST(Inversion, BothMethodsInvertMatricesThatNeedPivoting) {
  // [[0, 2, 1], [1, 1, 0], [3, 0, 4]] (by column) has a zero in the first pivot
  // position; the second has its largest entries off the diagonal.
  for (const std::vector<double>& a : {std::vector<double>{0, 1, 3, 2, 1, 0, 1, 0, 4},
                                       std::vector<double>{1, 9, 2, 8, 1, 3, 2, 4, 7}}) {
    auto lu = a;
    int info = -1;
    lumatinv(3, lu, info);
    EXPECT_EQ(info, 0);
    auto full = a;
    invertmat(full, 3);
    expect_inverse(a, lu);
    expect_inverse(a, full);
  }
}

TEST(Inversion, SingularMatrices) {
  // The factorisation reports the step of its zero pivot and leaves the matrix.
  for (const auto& [a, step] : {std::pair{std::vector<double>{0, 0, 1, 2}, 1},
                                std::pair{std::vector<double>{1, 2, 2, 4}, 2}}) {
    auto b = a;
    int info = 0;
    lumatinv(2, b, info);
    EXPECT_EQ(info, step);
    EXPECT_EQ(b, a);
  }
  // Full pivoting ends with a zero on the diagonal.
  std::vector<double> one{4}, zero{0}, rank_one{2, 4, 1, 2}, zeros(9, 0.0);
  invertmat(one, 1);
  EXPECT_EQ(one[0], 0.25);
  invertmat(zero, 1);
  EXPECT_EQ(zero[0], 0.0);
  invertmat(rank_one, 2);
  EXPECT_TRUE(rank_one[0] == 0.0 || rank_one[3] == 0.0);
  invertmat(zeros, 3);
  EXPECT_EQ(zeros, std::vector<double>(9, 0.0));
}

// Sensitivities at full storage size with the given columns (k rows).
std::vector<double> sensitivities(const std::vector<std::vector<double>>& columns) {
  std::vector<double> J(static_cast<std::size_t>(jac_ld) * core::max_par, 0.0);
  for (std::size_t j = 0; j < columns.size(); ++j)
    for (std::size_t k = 0; k < columns[j].size(); ++k)
      J[k + j * jac_ld] = columns[j][k];
  return J;
}

struct stats {
  std::vector<double> A = std::vector<double>(core::max_par * core::max_par, -9.0);
  std::vector<double> se = std::vector<double>(core::max_par, -9.0);
  std::vector<double> R = std::vector<double>(core::max_par * core::max_par, -9.0);
  std::vector<double> cl = std::vector<double>(core::max_par, -9.0);
};

TEST(Stderrpar, StraightLineRegressionErrorsAndCorrelation) {
  // y = b1 + b2 x at x = 1..8: the textbook covariance is s^2 (X^T X)^-1.
  const int N = 8;
  std::vector<double> ones(N, 1.0), x(N);
  double sx = 0, sxx = 0;
  for (int k = 0; k < N; ++k) {
    x[k] = k + 1.0;
    sx += x[k];
    sxx += x[k] * x[k];
  }
  stats s;
  const double ssq = 0.6;
  ASSERT_EQ(stderrpar(N, 2, sensitivities({ones, x}), s.A, ssq, s.se, s.R, s.cl),
            stderr_outcome::produced);
  const double det = N * sxx - sx * sx;
  const double var = ssq / (N - 2);
  EXPECT_TRUE(rel_near(s.se[0], std::sqrt(var * sxx / det), 1e-7));
  EXPECT_TRUE(rel_near(s.se[1], std::sqrt(var * N / det), 1e-7));
  EXPECT_TRUE(rel_near(s.R[1], -sx / std::sqrt(N * sxx), 1e-7));
  EXPECT_EQ(s.R[1], s.R[2]);
  EXPECT_EQ(s.A[1], sx);
  EXPECT_EQ(s.A[3], sxx);
  EXPECT_TRUE(rel_near(s.cl[1], s.se[1] * double(2.45f), 1e-15));
}

TEST(Stderrpar, NoErrorsFromASingularMatrixOrWithoutDegreesOfFreedom) {
  // Two equal, very large columns: every entry of J^T J is clamped to the same
  // bound, the LU factorisation meets a zero pivot, the full-pivoting inversion
  // finds no second pivot.
  const std::vector<double> big(5, 1e9);
  stats s;
  EXPECT_EQ(stderrpar(5, 2, sensitivities({big, big}), s.A, 1.0, s.se, s.R, s.cl),
            stderr_outcome::diagonal_not_positive);
  EXPECT_EQ(s.A[0], 5e18);
  EXPECT_EQ(s.A[1], 5e18);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(s.R[i], 0.0);
  EXPECT_TRUE(std::isnan(s.se[0]) && std::isnan(s.se[1]));
  EXPECT_TRUE(std::isnan(s.cl[0]) && std::isnan(s.cl[1]));
  EXPECT_EQ(s.se[2], -9.0);  // nothing beyond n is touched

  const std::vector<double> c1{1, 0}, c2{0, 2};
  stats t;
  EXPECT_EQ(stderrpar(2, 2, sensitivities({c1, c2}), t.A, 0.0, t.se, t.R, t.cl),
            stderr_outcome::no_degrees_of_freedom);
  EXPECT_EQ(t.R[0], 1.0);
  EXPECT_EQ(t.R[3], 1.0);
  EXPECT_TRUE(std::isnan(t.se[0]) && std::isnan(t.cl[1]));
}

}  // namespace
}  // namespace inhibra::fit
