#include "optim/ve02ad.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <vector>

#include "optim/vmcon4_mod.hpp"

namespace inhibra::optim {
namespace {

constexpr double qp_tol = 1e-10;

//   minimise ½xᵀGx - cqᵀx  subject to  xl <= x <= xu,  aⱼᵀx >= bⱼ (= for j < ke)
struct small_qp {
  int nv = 2;
  std::vector<double> g{1, 0, 0, 1};  // nv x nv by column
  std::vector<double> cq{};
  std::vector<double> xl{}, xu{};
  std::vector<std::vector<double>> a{};  // normals of the general constraints
  std::vector<double> b{};
  int ke = 0;
};

// Everything one call of ve02ad needs, laid out as the subproblem lays it out.
struct qp_run {
  std::vector<double> x = std::vector<double>(qp_solution_size, 0.0);
  std::vector<double> w = std::vector<double>(qp_work_ld * qp_work_ld, 0.0);
  std::vector<int> lt = std::vector<int>(qp_list_size, 0);
  int k = 0;
  int nv = 0;
  qp_outcome outcome = qp_outcome::infeasible;
  std::ostringstream diag;

  // Solves qp from `start` with the equalities as the initial active set.
  qp_run(const small_qp& qp, const std::vector<double>& start, bool with_diag = true)
      : k(qp.ke), nv(qp.nv) {
    std::vector<double> a;
    for (const auto& col : qp.a)
      a.insert(a.end(), col.begin(), col.end());
    std::copy(start.begin(), start.end(), x.begin());
    for (int j = 1; j <= qp.ke; ++j)
      lt[static_cast<std::size_t>(j - 1)] = 2 * qp.nv + j;
    qp_limits lim;
    mach_prec(lim.qeps, lim.qbig);
    outcome =
        ve02ad(qp.nv, 2 * qp.nv + static_cast<int>(qp.a.size()), qp.g, qp.nv, qp.cq, a, qp.nv, qp.b,
               qp.xl, qp.xu, x, k, qp.ke, w, qp_work_ld, lt, 1, lim, with_diag ? &diag : nullptr);
  }
  [[nodiscard]] std::vector<double> solution() const { return {x.begin(), x.begin() + nv}; }
  [[nodiscard]] std::vector<int> active() const { return {lt.begin(), lt.begin() + k}; }
  // Multiplier of active entry i: row i of T times the gradient at the solution.
  [[nodiscard]] double multiplier(int i) const {
    double s = 0.0;
    for (int c = 1; c <= nv; ++c)
      s += w[static_cast<std::size_t>(nv + i - 1 + (c - 1) * qp_work_ld)] *
           x[static_cast<std::size_t>(6 * nv + c - 1)];
    return s;
  }
};

void expect_solution(const qp_run& run, const std::vector<double>& want) {
  ASSERT_EQ(run.outcome, qp_outcome::solved);
  for (std::size_t i = 0; i < want.size(); ++i)
    EXPECT_NEAR(run.x[i], want[i], qp_tol) << "x" << i + 1;
}

TEST(Ve02ad, SolvesTextbookInequalityProblem) {
  // (x1 - 1)² + (x2 - 2.5)² under five inequalities; the solution (1.4, 1.7) has
  // the first general constraint active with multiplier 0.8.
  const qp_run run({.g = {2, 0, 0, 2},
                    .cq = {2, 5},
                    .xl = {0, 0},
                    .xu = {1000, 1000},
                    .a = {{1, -2}, {-1, -2}, {-1, 2}},
                    .b = {-2, -6, -2}},
                   {2, 0});
  expect_solution(run, {1.4, 1.7});
  // Gradient at the solution is left in block 7 of x.
  EXPECT_NEAR(run.x[12], 2 * 1.4 - 2, qp_tol);
  EXPECT_NEAR(run.x[13], 2 * 1.7 - 5, qp_tol);
  ASSERT_EQ(run.active(), std::vector<int>{5});
  EXPECT_NEAR(run.multiplier(1), 0.8, qp_tol);
  EXPECT_TRUE(run.diag.str().empty());
}

TEST(Ve02ad, BoundsOnlyClampTheUnconstrainedMinimum) {
  // Diagonal G: the solution is the unconstrained minimum (5, -1.5, 0.5) clamped
  // to the box.
  const qp_run run({.nv = 3,
                    .g = {1, 0, 0, 0, 2, 0, 0, 0, 4},
                    .cq = {5, -3, 2},
                    .xl = {-1, -1, -1},
                    .xu = {2, 2, 2}},
                   {0, 0, 0});
  expect_solution(run, {2.0, -1.0, 0.5});
  auto act = run.active();
  std::sort(act.begin(), act.end());
  EXPECT_EQ(act, (std::vector<int>{2, 4}));  // lower bound of x2, upper bound of x1
}

TEST(Ve02ad, KeepsEqualitiesActive) {
  // min ½|x|² with x1 + x2 + x3 = 3: (1, 1, 1); adding x1 >= 2 gives (2, ½, ½).
  small_qp qp{.nv = 3,
              .g = {1, 0, 0, 0, 1, 0, 0, 0, 1},
              .cq = {0, 0, 0},
              .xl = {0, 0, 0},
              .xu = {10, 10, 10},
              .a = {{1, 1, 1}},
              .b = {3},
              .ke = 1};
  const qp_run run(qp, {0, 0, 0});
  expect_solution(run, {1, 1, 1});
  EXPECT_EQ(run.lt[0], 7);  // the equality stays first in the list
  EXPECT_NEAR(run.multiplier(1), 1.0, qp_tol);

  qp.a.push_back({1, 0, 0});
  qp.b.push_back(2);
  expect_solution(qp_run(qp, {0, 0, 0}), {2.0, 0.5, 0.5});

  // The unconstrained minimum (2, 2) on the far side of x1 + x2 = 1: an inequality
  // would let go, the equality holds the solution at (½, ½).
  expect_solution(
      qp_run({.cq = {2, 2}, .xl = {-10, -10}, .xu = {10, 10}, .a = {{1, 1}}, .b = {1}, .ke = 1},
             {0, 0}),
      {0.5, 0.5});
}

TEST(Ve02ad, StartVertexAlreadyOptimal) {
  // The nearer bounds of the start form the vertex (0, 0), which is optimal
  // (both multipliers 1).
  const qp_run run({.cq = {-1, -1}, .xl = {0, 0}, .xu = {5, 5}}, {0, 0});
  EXPECT_EQ(run.solution(), (std::vector<double>{0, 0}));
  EXPECT_EQ(run.active(), (std::vector<int>{1, 2}));
  EXPECT_NEAR(run.multiplier(1), 1.0, qp_tol);
  EXPECT_NEAR(run.multiplier(2), 1.0, qp_tol);
  EXPECT_TRUE(run.diag.str().empty());
}

TEST(Ve02ad, WarnsAboutZeroMultiplierAtTheSolution) {
  // The unconstrained minimum (1, 1) lies exactly on the corner of the upper
  // bounds, so both active bounds have multiplier 0.
  const small_qp qp{.cq = {1, 1}, .xl = {-5, -5}, .xu = {1, 1}};
  const qp_run run(qp, {1, 1});
  ASSERT_EQ(run.outcome, qp_outcome::solved);
  EXPECT_EQ(run.solution(), (std::vector<double>{1, 1}));
  EXPECT_EQ(run.diag.str(), "\n     *** WARNING:   SOLUTION MAY BE A DEGENERATE LOCAL MINIMUM\n\n");
  // No channel: same answer, nothing written anywhere.
  EXPECT_EQ(qp_run(qp, {1, 1}, false).solution(), (std::vector<double>{1, 1}));
}

TEST(Ve02ad, SolvesDegenerateVertex) {
  // Three constraints through the solution (1, 1) in the plane: x1 <= 1, x2 <= 1
  // and x1 + x2 <= 2, with the unconstrained minimum at (3, 2).
  const small_qp qp{.cq = {3, 2}, .xl = {-10, -10}, .xu = {1, 1}, .a = {{-1, -1}}, .b = {-2}};
  for (const auto& start : {std::vector<double>{0, 0}, std::vector<double>{-9, 0.5}})
    expect_solution(qp_run(qp, start), {1.0, 1.0});
}

TEST(Ve02ad, ReportsInfeasibleProblem) {
  // x1 >= 2 and x1 <= 1 cannot both hold.
  const qp_run run(
      {.cq = {0, 0}, .xl = {-10, -10}, .xu = {10, 10}, .a = {{1, 0}, {-1, 0}}, .b = {2, -1}},
      {0, 0});
  EXPECT_EQ(run.outcome, qp_outcome::infeasible);
  EXPECT_EQ(run.k, 0);
}

TEST(Ve02ad, SingularHessianWithConstraintsOnly) {
  // A linear objective (G = 0) is minimised at a vertex: max x1 + 2·x2 over the
  // triangle x >= 0, x1 + x2 <= 3 is at (0, 3).
  expect_solution(qp_run({.g = {0, 0, 0, 0},
                          .cq = {1, 2},
                          .xl = {0, 0},
                          .xu = {100, 100},
                          .a = {{-1, -1}},
                          .b = {-3}},
                         {0, 0}),
                  {0.0, 3.0});
}

// Random strictly convex problems with a known feasible point. A point is their
// unique solution when it meets the optimality conditions: feasible, its active
// constraints met exactly, the multipliers of active inequalities not negative, and
// the gradient G·x - cq the multipliers' combination of the active normals.
TEST(Ve02ad, MeetsTheOptimalityConditionsOnRandomProblems) {
  std::mt19937 gen(20240611);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int trial = 0; trial < 600; ++trial) {
    SCOPED_TRACE(trial);
    const int nv = 2 + trial % 3;
    const int m = trial % 5;
    const auto unv = static_cast<std::size_t>(nv);
    small_qp qp{.nv = nv, .ke = (trial % 7 == 0 && m > 0) ? 1 : 0};
    std::vector<double> r(unv * unv), x0(unv);
    for (auto& v : r)
      v = u(gen);
    qp.g.assign(unv * unv, 0.0);
    for (std::size_t i = 0; i < unv; ++i)
      for (std::size_t j = 0; j < unv; ++j) {
        qp.g[i + j * unv] = i == j ? 0.1 : 0.0;  // Rᵀ R + 0.1 I
        for (std::size_t q = 0; q < unv; ++q)
          qp.g[i + j * unv] += r[q + i * unv] * r[q + j * unv];
      }
    for (std::size_t i = 0; i < unv; ++i) {
      qp.cq.push_back(5.0 * u(gen));
      qp.xl.push_back(-2.0 + 0.5 * u(gen));
      qp.xu.push_back(2.0 + 0.5 * u(gen));
      x0[i] = 1.5 * u(gen);
    }
    for (int j = 0; j < m; ++j) {
      std::vector<double> a(unv);
      double ax = 0.0;
      for (std::size_t i = 0; i < unv; ++i) {
        a[i] = u(gen);
        ax += a[i] * x0[i];
      }
      qp.a.push_back(a);
      qp.b.push_back(j < qp.ke ? ax : ax - 0.5 * (1.0 + u(gen)));
    }
    const qp_run run(qp, std::vector<double>(unv, 0.0));
    ASSERT_EQ(run.outcome, qp_outcome::solved);

    // Normal (component c) and right-hand side of constraint i, 1-based: lower
    // bounds, upper bounds, general constraints.
    auto normal = [&](int i, std::size_t c) {
      if (i <= nv) return i - 1 == static_cast<int>(c) ? 1.0 : 0.0;
      if (i <= 2 * nv) return i - nv - 1 == static_cast<int>(c) ? -1.0 : 0.0;
      return qp.a[static_cast<std::size_t>(i - 2 * nv - 1)][c];
    };
    auto residual = [&](int i) {
      double s = i <= nv       ? -qp.xl[static_cast<std::size_t>(i - 1)]
                 : i <= 2 * nv ? qp.xu[static_cast<std::size_t>(i - nv - 1)]
                               : -qp.b[static_cast<std::size_t>(i - 2 * nv - 1)];
      for (std::size_t c = 0; c < unv; ++c)
        s += normal(i, c) * run.x[c];
      return s;
    };
    for (int i = 1; i <= 2 * nv + m; ++i) {
      EXPECT_GE(residual(i), -1e-9) << "constraint " << i;
      if (i > 2 * nv && i <= 2 * nv + qp.ke) {  // an equality
        EXPECT_NEAR(residual(i), 0.0, 1e-9) << "constraint " << i;
      }
    }
    std::vector<double> combination(unv, 0.0);
    for (int p = 1; p <= run.k; ++p) {
      const int i = run.lt[static_cast<std::size_t>(p - 1)];
      EXPECT_NEAR(residual(i), 0.0, 1e-9) << "active constraint " << i;
      const double lambda = run.multiplier(p);
      if (i > 2 * nv + qp.ke || i <= 2 * nv) {  // an inequality
        EXPECT_GE(lambda, -1e-9) << "constraint " << i;
      }
      for (std::size_t c = 0; c < unv; ++c)
        combination[c] += lambda * normal(i, c);
    }
    for (std::size_t c = 0; c < unv; ++c)
      EXPECT_NEAR(run.x[6 * unv + c], combination[c], 1e-9) << "gradient " << c + 1;
  }
}

}  // namespace
}  // namespace inhibra::optim
