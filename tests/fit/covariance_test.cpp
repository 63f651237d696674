#include "fit/covariance.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fit/jacobian.hpp"
#include "support/numeric.hpp"
#include "support/recording_frontend.hpp"

namespace inhibra::fit {
namespace {

using support::rel_near;

// n x n product a * b, both column by column.
std::vector<double> product(const std::vector<double>& a, const std::vector<double>& b, int n) {
  std::vector<double> c(a.size(), 0.0);
  for (int j = 0; j < n; ++j)
    for (int k = 0; k < n; ++k)
      for (int i = 0; i < n; ++i)
        c[i + j * n] += a[i + k * n] * b[k + j * n];
  return c;
}

void expect_identity(const std::vector<double>& c, int n, double tol) {
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i)
      EXPECT_NEAR(c[i + j * n], i == j ? 1.0 : 0.0, tol) << "(" << i + 1 << ", " << j + 1 << ")";
}

// A 3 x 3 matrix with a zero in the first pivot position, so both inversions must
// interchange rows: [[0, 2, 1], [1, 1, 0], [3, 0, 4]] stored by column.
const std::vector<double> needs_pivoting{0, 1, 3, 2, 1, 0, 1, 0, 4};

TEST(TValue, TableBandsAndMonotonicFall) {
  EXPECT_EQ(tvalue(0), 0.0);
  EXPECT_EQ(tvalue(-3), 0.0);
  EXPECT_EQ(tvalue(1), 12.710000038146973);
  EXPECT_EQ(tvalue(8), double(2.31f));
  EXPECT_EQ(tvalue(20), double(2.09f));
  const std::pair<int, float> bands[] = {{21, 2.08f},  {25, 2.06f},   {30, 2.04f},    {31, 2.04f},
                                         {40, 2.02f},  {50, 2.01f},   {60, 2.00f},    {80, 1.99f},
                                         {120, 1.98f}, {1000, 1.96f}, {100000, 1.96f}};
  for (const auto& [dof, t] : bands)
    EXPECT_EQ(tvalue(dof), double(t)) << "dof " << dof;
  for (int dof = 1; dof < 400; ++dof)
    EXPECT_LE(tvalue(dof + 1), tvalue(dof)) << "dof " << dof;
}

TEST(Balance, ScalesAnUnevenPairByPowersOfTwo) {
  // Row 1 carries 16, column 1 carries 1: a factor 4 evens them out.
  std::vector<double> a{1, 1, 16, 1};
  balance(a, 2);
  EXPECT_EQ(a, (std::vector<double>{1, 4, 4, 1}));
  // The other way round the factor is 1/4.
  std::vector<double> b{1, 16, 1, 1};
  balance(b, 2);
  EXPECT_EQ(b, (std::vector<double>{1, 4, 4, 1}));
}

TEST(Balance, LeavesSymmetricMatricesAlone) {
  std::vector<double> s{4, 1e-3, 2, 1e-3, 5, 7, 2, 7, 1};
  const auto s0 = s;
  balance(s, 3);
  EXPECT_EQ(s, s0);
}

TEST(Balance, KeepsDiagonalAndProductsOfMirroredEntries) {
  std::vector<double> a{2, 1e-4, 3e3, 5e2, 1, 7, 1e-3, 4e5, 6};
  const auto a0 = a;
  balance(a, 3);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(a[i + 3 * i], a0[i + 3 * i]);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < i; ++j)
      EXPECT_TRUE(rel_near(a[i + 3 * j] * a[j + 3 * i], a0[i + 3 * j] * a0[j + 3 * i], 1e-15));
  EXPECT_NE(a, a0);
}

TEST(Lumatinv, InverseTimesMatrixIsIdentity) {
  auto inv = needs_pivoting;
  int info = -1;
  lumatinv(3, inv, info);
  EXPECT_EQ(info, 0);
  expect_identity(product(needs_pivoting, inv, 3), 3, 1e-15);
  expect_identity(product(inv, needs_pivoting, 3), 3, 1e-15);
  // A hand-checked entry: det = -11, inverse(1, 1) = (1*4 - 0*0) / det.
  EXPECT_NEAR(inv[0], -4.0 / 11.0, 1e-15);
}

TEST(Lumatinv, ZeroPivotReportsItsStepAndLeavesTheMatrix) {
  std::vector<double> first_column_zero{0, 0, 1, 2};
  const auto a0 = first_column_zero;
  int info = 0;
  lumatinv(2, first_column_zero, info);
  EXPECT_EQ(info, 1);
  EXPECT_EQ(first_column_zero, a0);

  std::vector<double> rank_one{1, 2, 2, 4};
  const auto b0 = rank_one;
  lumatinv(2, rank_one, info);
  EXPECT_EQ(info, 2);
  EXPECT_EQ(rank_one, b0);
}

TEST(Invertmat, FullPivotingInverseTimesMatrixIsIdentity) {
  auto inv = needs_pivoting;
  invertmat(inv, 3);
  expect_identity(product(needs_pivoting, inv, 3), 3, 1e-15);
  expect_identity(product(inv, needs_pivoting, 3), 3, 1e-15);

  // Largest entries off the diagonal force column interchanges as well.
  const std::vector<double> off{1, 9, 2, 8, 1, 3, 2, 4, 7};
  auto inv2 = off;
  invertmat(inv2, 3);
  expect_identity(product(off, inv2, 3), 3, 1e-14);
}

TEST(Invertmat, OneByOneAndSingularMatrices) {
  std::vector<double> a{4};
  invertmat(a, 1);
  EXPECT_EQ(a[0], 0.25);
  // A singular matrix ends with a zero on the diagonal.
  std::vector<double> z{0};
  invertmat(z, 1);
  EXPECT_EQ(z[0], 0.0);
  std::vector<double> b{2, 4, 1, 2};  // [[2, 1], [4, 2]]
  invertmat(b, 2);
  EXPECT_TRUE(b[0] == 0.0 || b[3] == 0.0);
  std::vector<double> zeros(9, 0.0);
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

TEST(Stderrpar, DiagonalWorkedExample) {
  core::fit_context ctx;
  support::recording_frontend fe;
  ctx.fe = &fe;
  // J^T J = diag(4, 1) over 10 observations.
  std::vector<double> c1(10, 0.0), c2(10, 0.0);
  c1[0] = 2.0;
  c2[1] = 1.0;
  const auto J = sensitivities({c1, c2});
  stats s;
  const auto outcome = stderrpar(ctx, 10, 2, J, s.A, 2.0, s.se, s.R, s.cl);
  EXPECT_EQ(outcome, stderr_outcome::produced);
  EXPECT_TRUE(fe.boxes.empty());
  EXPECT_EQ(s.A[0], 4.0);
  EXPECT_EQ(s.A[1], 0.0);
  EXPECT_EQ(s.A[2], 0.0);
  EXPECT_EQ(s.A[3], 1.0);
  // Inverse diagonal 1/(4(1 + sqrt eps)) and 1/(1 + sqrt eps), variance 2/8.
  const double damp = 1.0 + 1.414213562373095e-8;
  EXPECT_TRUE(rel_near(s.se[0], std::sqrt(1.0 / (4.0 * damp)) * 0.5, 1e-14));
  EXPECT_TRUE(rel_near(s.se[1], std::sqrt(1.0 / damp) * 0.5, 1e-14));
  EXPECT_NEAR(s.se[0], 0.25, 1e-8);
  EXPECT_NEAR(s.se[1], 0.5, 1e-8);
  EXPECT_NEAR(s.cl[0], 0.5775, 1e-6);  // times t = 2.31 for 8 degrees of freedom
  EXPECT_NEAR(s.cl[1], 1.155, 1e-6);
  // The off-diagonal zeros were raised to 2e-16 before the inversion.
  EXPECT_EQ(s.R[0], 1.0);
  EXPECT_EQ(s.R[3], 1.0);
  EXPECT_EQ(s.R[1], s.R[2]);
  EXPECT_LT(std::abs(s.R[1]), 1e-15);
  EXPECT_GT(std::abs(s.R[1]), 1e-17);
}

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
  core::fit_context ctx;
  stats s;
  const double ssq = 0.6;
  ASSERT_EQ(stderrpar(ctx, N, 2, sensitivities({ones, x}), s.A, ssq, s.se, s.R, s.cl),
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

TEST(Stderrpar, SingularMatrixFallsBackAndEndsInTheDiagonalBox) {
  // Two equal, very large columns: every entry of J^T J is clamped to the same
  // bound, the LU factorisation meets a zero pivot, the full-pivoting inversion
  // finds no second pivot.
  core::fit_context ctx;
  support::recording_frontend fe;
  ctx.fe = &fe;
  const std::vector<double> big(5, 1e9);
  stats s;
  const auto outcome = stderrpar(ctx, 5, 2, sensitivities({big, big}), s.A, 1.0, s.se, s.R, s.cl);
  EXPECT_EQ(outcome, stderr_outcome::diagonal_not_positive);
  ASSERT_EQ(fe.boxes.size(), 1u);
  EXPECT_EQ(fe.boxes[0].kind, core::box_kind::error);
  EXPECT_EQ(fe.boxes[0].text, "Mat Inversion: Matrix diagonal = 0!");
  EXPECT_EQ(s.A[0], 5e18);
  EXPECT_EQ(s.A[1], 5e18);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(s.R[i], 0.0);
  EXPECT_TRUE(std::isnan(s.se[0]) && std::isnan(s.se[1]));
  EXPECT_TRUE(std::isnan(s.cl[0]) && std::isnan(s.cl[1]));
  EXPECT_EQ(s.se[2], -9.0);  // nothing beyond n is touched
}

TEST(Stderrpar, NoMoreObservationsThanParametersGivesNoErrors) {
  core::fit_context ctx;
  support::recording_frontend fe;
  ctx.fe = &fe;
  const std::vector<double> c1{1, 0}, c2{0, 2};
  stats s;
  const auto outcome = stderrpar(ctx, 2, 2, sensitivities({c1, c2}), s.A, 0.0, s.se, s.R, s.cl);
  EXPECT_EQ(outcome, stderr_outcome::no_degrees_of_freedom);
  EXPECT_TRUE(fe.boxes.empty());
  EXPECT_EQ(s.R[0], 1.0);
  EXPECT_EQ(s.R[3], 1.0);
  EXPECT_TRUE(std::isnan(s.se[0]) && std::isnan(s.cl[1]));
}

}  // namespace
}  // namespace inhibra::fit
