#include "optim/ve02ad.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <sstream>
#include <vector>

#include "optim/qpsub.hpp"
#include "optim/vmcon4_mod.hpp"
#include "qp_reference.hpp"
#include "support/numeric.hpp"

namespace inhibra::optim {
namespace {

using testing::small_qp;

constexpr double qp_tol = 1e-10;

qp_limits limits() {
  qp_limits lim;
  mach_prec(lim.qeps, lim.qbig);
  return lim;
}

// Everything one call of ve02ad needs, laid out as the subproblem lays it out.
struct qp_run {
  std::vector<double> x = std::vector<double>(qp_solution_size, 0.0);
  std::vector<double> w = std::vector<double>(qp_work_ld * qp_work_ld, 0.0);
  std::vector<int> lt = std::vector<int>(qp_list_size, 0);
  int k = 0;
  qp_outcome outcome = qp_outcome::infeasible;
  std::ostringstream diag;

  // Solves qp from `start` with the equalities as the initial active set.
  void solve(const small_qp& qp, const std::vector<double>& start, bool with_diag = true) {
    std::vector<double> a;
    for (const auto& col : qp.a)
      a.insert(a.end(), col.begin(), col.end());
    std::copy(start.begin(), start.end(), x.begin());
    k = qp.ke;
    for (int j = 1; j <= qp.ke; ++j)
      lt[static_cast<std::size_t>(j - 1)] = 2 * qp.nv + j;
    outcome = ve02ad(qp.nv, 2 * qp.nv + qp.m(), qp.g, qp.nv, qp.cq, a, qp.nv, qp.b, qp.xl, qp.xu, x,
                     k, qp.ke, w, qp_work_ld, lt, 1, limits(), with_diag ? &diag : nullptr);
  }
  [[nodiscard]] double xi(int i) const { return x[static_cast<std::size_t>(i - 1)]; }
  [[nodiscard]] std::vector<int> active() const { return {lt.begin(), lt.begin() + k}; }
  // Multiplier of active entry i: row i of T times the gradient at the solution.
  [[nodiscard]] double multiplier(int nv, int i) const {
    double s = 0.0;
    for (int c = 1; c <= nv; ++c)
      s += w[static_cast<std::size_t>(nv + i - 1 + (c - 1) * qp_work_ld)] *
           x[static_cast<std::size_t>(6 * nv + c - 1)];
    return s;
  }
};

// (x1 - 1)² + (x2 - 2.5)² under five inequalities; the solution (1.4, 1.7) has the
// first general constraint active with multiplier 0.8 (a classic textbook case).
small_qp textbook_problem() {
  small_qp qp;
  qp.nv = 2;
  qp.g = {2, 0, 0, 2};
  qp.cq = {2, 5};
  qp.xl = {0, 0};
  qp.xu = {1000, 1000};
  qp.a = {{1, -2}, {-1, -2}, {-1, 2}};
  qp.b = {-2, -6, -2};
  return qp;
}

TEST(Ve02ad, SolvesTextbookInequalityProblem) {
  const auto qp = textbook_problem();
  qp_run run;
  run.solve(qp, {2, 0});
  ASSERT_EQ(run.outcome, qp_outcome::solved);
  EXPECT_NEAR(run.xi(1), 1.4, qp_tol);
  EXPECT_NEAR(run.xi(2), 1.7, qp_tol);
  // Gradient at the solution is left in block 7 of x.
  EXPECT_NEAR(run.x[12], 2 * 1.4 - 2, qp_tol);
  EXPECT_NEAR(run.x[13], 2 * 1.7 - 5, qp_tol);
  ASSERT_EQ(run.active(), std::vector<int>{5});
  EXPECT_NEAR(run.multiplier(2, 1), 0.8, qp_tol);
  EXPECT_TRUE(run.diag.str().empty());
}

TEST(Ve02ad, BoundsOnlyClampTheUnconstrainedMinimum) {
  // Diagonal G: the solution is the unconstrained minimum cq/G clamped to the box.
  small_qp qp;
  qp.nv = 3;
  qp.g = {1, 0, 0, 0, 2, 0, 0, 0, 4};
  qp.cq = {5, -3, 2};  // unconstrained minimum (5, -1.5, 0.5)
  qp.xl = {-1, -1, -1};
  qp.xu = {2, 2, 2};
  qp_run run;
  run.solve(qp, {0, 0, 0});
  ASSERT_EQ(run.outcome, qp_outcome::solved);
  auto act = run.active();
  std::sort(act.begin(), act.end());
  EXPECT_EQ(act, (std::vector<int>{2, 4}));  // lower bound of x2, upper bound of x1
  EXPECT_NEAR(run.xi(1), 2.0, qp_tol);
  EXPECT_NEAR(run.xi(2), -1.0, qp_tol);
  EXPECT_NEAR(run.xi(3), 0.5, qp_tol);
}

TEST(Ve02ad, KeepsEqualitiesActive) {
  // min ½|x|² with x1 + x2 + x3 = 3: (1, 1, 1); adding x1 >= 2 gives (2, ½, ½).
  small_qp qp;
  qp.nv = 3;
  qp.g = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  qp.cq = {0, 0, 0};
  qp.xl = {0, 0, 0};
  qp.xu = {10, 10, 10};
  qp.a = {{1, 1, 1}};
  qp.b = {3};
  qp.ke = 1;
  qp_run run;
  run.solve(qp, {0, 0, 0});
  ASSERT_EQ(run.outcome, qp_outcome::solved);
  for (int i = 1; i <= 3; ++i)
    EXPECT_NEAR(run.xi(i), 1.0, qp_tol);
  EXPECT_EQ(run.lt[0], 7);  // the equality stays first in the list
  EXPECT_NEAR(run.multiplier(3, 1), 1.0, qp_tol);

  qp.a.push_back({1, 0, 0});
  qp.b.push_back(2);
  qp_run run2;
  run2.solve(qp, {0, 0, 0});
  ASSERT_EQ(run2.outcome, qp_outcome::solved);
  EXPECT_NEAR(run2.xi(1), 2.0, qp_tol);
  EXPECT_NEAR(run2.xi(2), 0.5, qp_tol);
  EXPECT_NEAR(run2.xi(3), 0.5, qp_tol);
}

TEST(Ve02ad, StartVertexAlreadyOptimal) {
  // The nearer bounds of the start form the vertex (0, 0), which is optimal
  // (both multipliers 1).
  small_qp qp;
  qp.nv = 2;
  qp.g = {1, 0, 0, 1};
  qp.cq = {-1, -1};
  qp.xl = {0, 0};
  qp.xu = {5, 5};
  qp_run run;
  run.solve(qp, {0, 0});
  ASSERT_EQ(run.k, 2);
  EXPECT_EQ(run.xi(1), 0.0);
  EXPECT_EQ(run.xi(2), 0.0);
  EXPECT_EQ(run.active(), (std::vector<int>{1, 2}));
  EXPECT_NEAR(run.multiplier(2, 1), 1.0, qp_tol);
  EXPECT_NEAR(run.multiplier(2, 2), 1.0, qp_tol);
  EXPECT_TRUE(run.diag.str().empty());
}

TEST(Ve02ad, WarnsAboutZeroMultiplierAtTheSolution) {
  // The unconstrained minimum (1, 1) lies exactly on the corner of the upper
  // bounds, so both active bounds have multiplier 0.
  small_qp qp;
  qp.nv = 2;
  qp.g = {1, 0, 0, 1};
  qp.cq = {1, 1};
  qp.xl = {-5, -5};
  qp.xu = {1, 1};
  qp_run run;
  run.solve(qp, {1, 1});
  ASSERT_EQ(run.outcome, qp_outcome::solved);
  EXPECT_EQ(run.xi(1), 1.0);
  EXPECT_EQ(run.xi(2), 1.0);
  EXPECT_EQ(run.diag.str(), "\n     *** WARNING:   SOLUTION MAY BE A DEGENERATE LOCAL MINIMUM\n\n");

  qp_run quiet;  // no channel: same answer, nothing written anywhere
  quiet.solve(qp, {1, 1}, false);
  EXPECT_EQ(quiet.xi(1), 1.0);
  EXPECT_EQ(quiet.xi(2), 1.0);
}

TEST(Ve02ad, SolvesDegenerateVertex) {
  // Three constraints through the solution (1, 1) in the plane: x1 <= 1, x2 <= 1
  // and x1 + x2 <= 2, with the unconstrained minimum at (3, 2).
  small_qp qp;
  qp.nv = 2;
  qp.g = {1, 0, 0, 1};
  qp.cq = {3, 2};
  qp.xl = {-10, -10};
  qp.xu = {1, 1};
  qp.a = {{-1, -1}};
  qp.b = {-2};
  for (const auto& start : {std::vector<double>{0, 0}, std::vector<double>{-9, 0.5}}) {
    qp_run run;
    run.solve(qp, start);
    ASSERT_EQ(run.outcome, qp_outcome::solved);
    EXPECT_NEAR(run.xi(1), 1.0, qp_tol);
    EXPECT_NEAR(run.xi(2), 1.0, qp_tol);
  }
}

TEST(Ve02ad, ReportsInfeasibleProblem) {
  // x1 >= 2 and x1 <= 1 cannot both hold.
  small_qp qp;
  qp.nv = 2;
  qp.g = {1, 0, 0, 1};
  qp.cq = {0, 0};
  qp.xl = {-10, -10};
  qp.xu = {10, 10};
  qp.a = {{1, 0}, {-1, 0}};
  qp.b = {2, -1};
  qp_run run;
  run.solve(qp, {0, 0});
  EXPECT_EQ(run.outcome, qp_outcome::infeasible);
  EXPECT_EQ(run.k, 0);
}

TEST(Ve02ad, SingularHessianWithConstraintsOnly) {
  // A linear objective (G = 0) is minimised at a vertex: max x1 + 2·x2 over the
  // triangle x >= 0, x1 + x2 <= 3 is at (0, 3).
  small_qp qp;
  qp.nv = 2;
  qp.g = {0, 0, 0, 0};
  qp.cq = {1, 2};
  qp.xl = {0, 0};
  qp.xu = {100, 100};
  qp.a = {{-1, -1}};
  qp.b = {-3};
  qp_run run;
  run.solve(qp, {0, 0});
  ASSERT_EQ(run.outcome, qp_outcome::solved);
  EXPECT_NEAR(run.xi(1), 0.0, qp_tol);
  EXPECT_NEAR(run.xi(2), 3.0, qp_tol);
}

// Random strictly convex problems with a known feasible point, against the
// brute-force answer.
TEST(Ve02ad, AgreesWithEnumerationOnRandomProblems) {
  std::mt19937 gen(20240611);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  int solved = 0;
  for (int trial = 0; trial < 600; ++trial) {
    small_qp qp;
    qp.nv = 2 + trial % 3;
    const int nv = qp.nv;
    std::vector<double> m(static_cast<std::size_t>(nv * nv));
    for (auto& v : m)
      v = u(gen);
    qp.g.assign(static_cast<std::size_t>(nv * nv), 0.0);
    for (int i = 0; i < nv; ++i)
      for (int j = 0; j < nv; ++j) {
        double s = i == j ? 0.1 : 0.0;
        for (int r = 0; r < nv; ++r)
          s += m[static_cast<std::size_t>(r + i * nv)] * m[static_cast<std::size_t>(r + j * nv)];
        qp.g[static_cast<std::size_t>(i + j * nv)] = s;
      }
    std::vector<double> x0(static_cast<std::size_t>(nv));
    for (int i = 0; i < nv; ++i) {
      qp.cq.push_back(5.0 * u(gen));
      qp.xl.push_back(-2.0 + 0.5 * u(gen));
      qp.xu.push_back(2.0 + 0.5 * u(gen));
      x0[static_cast<std::size_t>(i)] = 1.5 * u(gen);
    }
    const int m_gen = trial % 5;
    qp.ke = (trial % 7 == 0 && m_gen > 0) ? 1 : 0;
    for (int j = 0; j < m_gen; ++j) {
      std::vector<double> a(static_cast<std::size_t>(nv));
      double ax = 0.0;
      for (int i = 0; i < nv; ++i) {
        a[static_cast<std::size_t>(i)] = u(gen);
        ax += a[static_cast<std::size_t>(i)] * x0[static_cast<std::size_t>(i)];
      }
      qp.a.push_back(a);
      qp.b.push_back(j < qp.ke ? ax : ax - 0.5 * (1.0 + u(gen)));
    }
    const auto want = testing::solve_by_enumeration(qp);
    ASSERT_TRUE(want.has_value()) << "trial " << trial;
    qp_run run;
    run.solve(qp, std::vector<double>(static_cast<std::size_t>(nv), 0.0));
    ASSERT_EQ(run.outcome, qp_outcome::solved) << "trial " << trial;
    for (int i = 1; i <= nv; ++i)
      EXPECT_NEAR(run.xi(i), (*want)[static_cast<std::size_t>(i - 1)], qp_tol)
          << "trial " << trial << " component " << i;
    ++solved;
  }
  EXPECT_EQ(solved, 600);
}

}  // namespace
}  // namespace inhibra::optim
