#include "optim/detail/matrix_inverse.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace inhibra::optim {
namespace {

constexpr double identity_tol = 1e-10;

using matrix = std::vector<double>;
using inverter = std::function<void(matrix&, int, int)>;

// Largest |(A·X - I)(i, j)| for a, x of order n stored with leading dimension lda.
double identity_error(const matrix& a, const matrix& x, int n, int lda) {
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

class Inverse : public ::testing::TestWithParam<inverter> {
 protected:
  matrix inverse(matrix a, int n, int lda) const {
    GetParam()(a, n, lda);
    return a;
  }
};

TEST_P(Inverse, InvertsWellConditionedPermutedAndLargeMatrices) {
  // Order 4 stored in a 6-row array; the rows beyond 4 must stay untouched.
  const int lda = 6;
  matrix a(static_cast<std::size_t>(lda * 4), 99.0);
  const double m[4][4] = {{4, -2, 1, 0}, {3, 6, -4, 2}, {2, 1, 8, -1}, {-1, 2, 0, 5}};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      a[static_cast<std::size_t>(i + j * lda)] = m[i][j];
  matrix x = inverse(a, 4, lda);
  EXPECT_LT(identity_error(a, x, 4, lda), identity_tol);
  EXPECT_LT(identity_error(x, a, 4, lda), identity_tol);
  for (int j = 0; j < 4; ++j)
    for (int i = 4; i < lda; ++i)
      EXPECT_EQ(x[static_cast<std::size_t>(i + j * lda)], 99.0);

  // Zero leading entries need row interchanges: the inverse of a cyclic
  // permutation is its transpose.
  const matrix p{0, 1, 0, 0, 0, 1, 1, 0, 0};
  EXPECT_EQ(inverse(p, 3, 3), (matrix{0, 0, 1, 1, 0, 0, 0, 1, 0}));

  // Rows of scale 1e-8, 1 and 1e8. X·A = I is the residual that does not grow
  // with the scaling (A·X mixes entries of size 1e8 and 1e-8).
  const matrix scaled{1e-8, 2.0, 3e8, 2e-8, -1.0, 1e8, -1e-8, 4.0, 2e8};
  EXPECT_LT(identity_error(inverse(scaled, 3, 3), scaled, 3, 3), identity_tol);

  const int n = max_inverse_order;
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  matrix r(static_cast<std::size_t>(n * n));
  for (auto& v : r)
    v = u(gen);
  EXPECT_LT(identity_error(r, inverse(r, n, n), n, n), identity_tol);

  EXPECT_EQ(inverse({4.0}, 1, 1), matrix{0.25});
}

TEST_P(Inverse, IllConditionedMatricesAgainstTheirKnownInverses) {
  // Hilbert h(i, j) = 1/(i + j - 1), condition about 1.6e4; its inverse has
  // integer entries.
  matrix h(16);
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j)
      h[static_cast<std::size_t>(i - 1 + (j - 1) * 4)] = 1.0 / (i + j - 1);
  const matrix want{16,  -120,  240,  -140,  -120, 1200, -2700, 1680,
                    240, -2700, 6480, -4200, -140, 1680, -4200, 2800};
  const matrix x = inverse(h, 4, 4);
  for (std::size_t k = 0; k < want.size(); ++k)
    EXPECT_NEAR(x[k], want[k], 1e-9 * std::abs(want[k])) << k;

  // [[1, 1], [1, 1 + d]] with d = 2^-30 (condition about 4e9): the elimination is
  // exact in binary, so the inverse (1/d)·[[1 + d, -1], [-1, 1]] comes out exact.
  const double d = std::ldexp(1.0, -30);
  EXPECT_EQ(inverse({1, 1, 1, 1 + d}, 2, 2), (matrix{(1 + d) / d, -1 / d, -1 / d, 1 / d}));
}

INSTANTIATE_TEST_SUITE_P(BothRoutines, Inverse,
                         ::testing::Values([](matrix& a, int n, int lda) { mb01bd(a, n, lda); },
                                           [](matrix& a, int n, int lda) {
                                             ASSERT_EQ(mb01cd2(a, n, lda),
                                                       inverse_status::inverted);
                                           }));

TEST(MatrixInverse, ZeroSingularAndEmptyMatrices) {
  // mb01bd leaves a zero 1 x 1 matrix as it is and does nothing for order 0;
  // mb01cd2 reports both, and a singular matrix.
  matrix a{0.0};
  mb01bd(a, 1, 1);
  EXPECT_EQ(a[0], 0.0);
  matrix b{7.0};
  mb01bd(b, 0, 1);
  EXPECT_EQ(b[0], 7.0);
  matrix twice{1, 2, 2, 4};  // second column twice the first
  EXPECT_EQ(mb01cd2(twice, 2, 2), inverse_status::singular);
  EXPECT_EQ(mb01cd2(a, 1, 1), inverse_status::singular);
  EXPECT_EQ(mb01cd2(a, 0, 1), inverse_status::order_not_positive);
}

}  // namespace
}  // namespace inhibra::optim
