#include "optim/la02ad.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "optim/vmcon4_mod.hpp"

namespace inhibra::optim {
namespace {

constexpr double tol = 1e-12;

struct vertex_search {
  int nv = 0;
  std::vector<double> a{};  // normals by column, leading dimension nv
  std::vector<double> b{}, xl{}, xu{};
  int ke = 0;
  std::vector<double> x = std::vector<double>(qp_solution_size, 0.0);
  std::vector<double> w = std::vector<double>(qp_work_ld * qp_work_ld, 0.0);
  std::vector<int> lt = std::vector<int>(qp_list_size, 0);
  int k = 0;

  [[nodiscard]] int m() const { return static_cast<int>(b.size()); }
  // Starts from the given constraints (lt(1..k)).
  void run(const std::vector<int>& given = {}) {
    k = static_cast<int>(given.size());
    std::copy(given.begin(), given.end(), lt.begin());
    qp_limits lim;
    mach_prec(lim.qeps, lim.qbig);
    la02ad(nv, 2 * nv + m(), a, nv, b, xl, xu, x, k, ke, w, qp_work_ld, lt, lim);
  }
  [[nodiscard]] qp_constraints cons() const { return {nv, m(), a, nv, b, xl, xu}; }
  [[nodiscard]] double residual(int i) const {
    return cons().residual(i, core::cvec1(std::span<const double>(x)));
  }
  // Largest |(W·N - I)(r, c)| for N the matrix of the active normals.
  [[nodiscard]] double inverse_error() const {
    const auto c = cons();
    double worst = 0.0;
    for (int r = 1; r <= nv; ++r)
      for (int j = 1; j <= nv; ++j) {
        double s = 0.0;
        for (int q = 1; q <= nv; ++q)
          s += w[static_cast<std::size_t>(r - 1 + (q - 1) * qp_work_ld)] *
               c.normal(lt[static_cast<std::size_t>(j - 1)], q);
        worst = std::max(worst, std::abs(s - (r == j ? 1.0 : 0.0)));
      }
    return worst;
  }
  [[nodiscard]] std::vector<int> active() const { return {lt.begin(), lt.begin() + k}; }
};

TEST(La02ad, FindsFeasibleVertexFromTheNearerBounds) {
  // x1 + x2 >= 1 and x2 <= x1 + 1 in the box [-10, 10]²; the start (0, 0) puts
  // both variables on their lower bounds, where the first constraint is violated.
  vertex_search v{.nv = 2, .a = {1, 1, 1, -1}, .b = {1, -1}, .xl = {-10, -10}, .xu = {10, 10}};
  v.run();
  ASSERT_EQ(v.k, 2);
  for (int i = 1; i <= 6; ++i)
    EXPECT_GE(v.residual(i), -tol) << "constraint " << i;
  for (int i : v.active())
    EXPECT_NEAR(v.residual(i), 0.0, tol) << "active constraint " << i;
  EXPECT_LT(v.inverse_error(), tol);
}

TEST(La02ad, CompletesGivenConstraintsBySmallestProjection) {
  // Given x1 + 2·x2 = 0 (as an equality): the unit vectors project onto its
  // normal with values 1/5, 4/5 and 0, so x3 is fixed first and then x1, each at
  // its nearer bound (the lower one, 0).
  vertex_search v{.nv = 3, .a = {1, 2, 0}, .b = {0}, .xl = {0, 0, 0}, .xu = {10, 10, 10}, .ke = 1};
  v.x[0] = v.x[1] = v.x[2] = 0.5;
  v.run({7});
  ASSERT_EQ(v.k, 3);
  EXPECT_EQ(v.active(), (std::vector<int>{7, 3, 1}));
  EXPECT_EQ(v.lt[6 + 7 - 1], state_equality);
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(v.x[static_cast<std::size_t>(i)], 0.0, tol);
  EXPECT_LT(v.inverse_error(), tol);
}

TEST(La02ad, TiesGoToTheFirstVariableAndTheNearerBoundMayBeTheUpper) {
  // Given x1 + x2 >= 12: both projections are 1/2, so x1 is fixed; it is nearer
  // its upper bound 10, and the vertex is (10, 2).
  vertex_search v{.nv = 2, .a = {1, 1}, .b = {12}, .xl = {0, 0}, .xu = {10, 10}};
  v.x[0] = 9;
  v.x[1] = 1;
  v.run({5});
  ASSERT_EQ(v.k, 2);
  EXPECT_EQ(v.active(), (std::vector<int>{5, 3}));
  EXPECT_NEAR(v.x[0], 10.0, tol);
  EXPECT_NEAR(v.x[1], 2.0, tol);
}

TEST(La02ad, ReportsNoVertexForInconsistentOrDependentConstraints) {
  // x1 >= 2 and x1 <= 1.
  vertex_search inconsistent{
      .nv = 2, .a = {1, 0, -1, 0}, .b = {2, -1}, .xl = {-10, -10}, .xu = {10, 10}};
  inconsistent.run();
  EXPECT_EQ(inconsistent.k, 0);
  // Parallel normals given as the start.
  vertex_search dependent{
      .nv = 2, .a = {1, 1, 2, 2}, .b = {0, 0}, .xl = {-10, -10}, .xu = {10, 10}};
  dependent.run({5, 6});
  EXPECT_EQ(dependent.k, 0);
}

TEST(La02ad, AllowsTenExchanges) {
  // nv variables that all start on their lower bound -100 and each need one
  // exchange to meet x(i) >= 1.
  for (const int nv : {10, 11}) {
    vertex_search v{.nv = nv,
                    .a = std::vector<double>(static_cast<std::size_t>(nv * nv), 0.0),
                    .b = std::vector<double>(static_cast<std::size_t>(nv), 1.0),
                    .xl = std::vector<double>(static_cast<std::size_t>(nv), -100.0),
                    .xu = std::vector<double>(static_cast<std::size_t>(nv), 100.0)};
    for (int i = 0; i < nv; ++i)
      v.a[static_cast<std::size_t>(i + i * nv)] = 1.0;
    v.run();
    if (nv == 11) {
      EXPECT_EQ(v.k, 0);
      continue;
    }
    ASSERT_EQ(v.k, 10);
    for (int i = 0; i < 10; ++i)
      EXPECT_NEAR(v.x[static_cast<std::size_t>(i)], 1.0, tol);
  }
}

}  // namespace
}  // namespace inhibra::optim
