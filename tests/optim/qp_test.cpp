// The quadratic subproblem of the constrained method, bottom up: the feasible
// vertex search (la02ad), the active-set solver (ve02ad) and the relaxed
// subproblem with its multipliers and merit weights (qpsub).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

#include "core/one_based.hpp"
#include "optim/la02ad.hpp"
#include "optim/qpsub.hpp"
#include "optim/ve02ad.hpp"
#include "optim/vmcon4_mod.hpp"

namespace inhibra::optim {
namespace {

constexpr double vertex_tol = 1e-12;
constexpr double qp_tol = 1e-10;

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
    EXPECT_GE(v.residual(i), -vertex_tol) << "constraint " << i;
  for (int i : v.active())
    EXPECT_NEAR(v.residual(i), 0.0, vertex_tol) << "active constraint " << i;
  EXPECT_LT(v.inverse_error(), vertex_tol);
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
    EXPECT_NEAR(v.x[static_cast<std::size_t>(i)], 0.0, vertex_tol);
  EXPECT_LT(v.inverse_error(), vertex_tol);
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
  EXPECT_NEAR(v.x[0], 10.0, vertex_tol);
  EXPECT_NEAR(v.x[1], 2.0, vertex_tol);
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
      EXPECT_NEAR(v.x[static_cast<std::size_t>(i)], 1.0, vertex_tol);
  }
}

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

TEST(Ve02ad, GivesUpAfterItsPassesWithTheCurrentPoint) {
  // An indefinite G (negative curvature along x2): releasing and adding the bounds
  // of the box never settles. After 10·(2nv + m) passes the solver stops and returns
  // the point it reached, inside the box with its active bound met exactly.
  const qp_run run({.g = {2, -2, -2, -1}, .cq = {2, 2}, .xl = {-1, -1}, .xu = {1, 1}}, {0, 0});
  EXPECT_EQ(run.outcome, qp_outcome::pass_limit);
  for (double v : run.solution()) {
    EXPECT_GE(v, -1.0);
    EXPECT_LE(v, 1.0);
  }
  ASSERT_GE(run.k, 1);
  const int bound = run.lt[0];  // 1..2 lower, 3..4 upper bounds
  const double at = run.x[static_cast<std::size_t>((bound - 1) % 2)];
  EXPECT_EQ(at, bound <= 2 ? -1.0 : 1.0);
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

// One subproblem: n parameters with B = identity, constraints given by their
// gradients (columns of cjac) and values.
struct subproblem {
  int n = 0;
  int m = 0;
  int meq = 0;
  std::vector<double> g = std::vector<double>(core::max_par, 0.0);
  std::vector<double> c = std::vector<double>(core::max_constraints, 0.0);
  std::vector<double> cjac = std::vector<double>(core::max_par * core::max_constraints, 0.0);
  sqp_workspace ws;
  int info = -1;

  subproblem() { mach_prec(ws.limits.qeps, ws.limits.qbig); }
  // Constraint j: gradient `grad` (n values), value `value`.
  void constraint(std::vector<double> grad, double value) {
    ++m;
    for (std::size_t i = 0; i < grad.size(); ++i)
      cjac[i + static_cast<std::size_t>(m - 1) * core::max_par] = grad[i];
    c[static_cast<std::size_t>(m - 1)] = value;
  }
  void solve(int start_info) {
    info = start_info;
    qpsub(n, m, meq, g, c, cjac, info, 1, ws.vlam, ws.vmu, ws.delta, ws.hessian, ws.wk, ws.qp,
          ws.limits, nullptr);
  }
  [[nodiscard]] double d(int i) const { return ws.delta[static_cast<std::size_t>(i - 1)]; }
  [[nodiscard]] double xi() const { return d(n + 1); }
  [[nodiscard]] double lam(int j) const { return ws.vlam[static_cast<std::size_t>(j - 1)]; }
  [[nodiscard]] double mu(int j) const { return ws.vmu[static_cast<std::size_t>(j - 1)]; }
};

// Box 0 <= x(i) <= 10 around the point x = (5, 5) as the model constraints write it.
void add_box(subproblem& s, double x1, double x2) {
  s.constraint({1, 0}, x1);
  s.constraint({0, 1}, x2);
  s.constraint({-1, 0}, 10 - x1);
  s.constraint({0, -1}, 10 - x2);
}

TEST(Qpsub, InteriorStepIsTheNewtonStep) {
  subproblem s;
  s.n = 2;
  s.g[0] = 1.0;
  s.g[1] = -2.0;
  add_box(s, 5, 5);
  s.solve(-1);
  EXPECT_EQ(s.info, -1);  // success leaves info alone
  EXPECT_NEAR(s.d(1), -1.0, qp_tol);
  EXPECT_NEAR(s.d(2), 2.0, qp_tol);
  EXPECT_EQ(s.xi(), 1.0);
  for (int j = 1; j <= 4; ++j) {
    EXPECT_EQ(s.lam(j), 0.0);
    EXPECT_EQ(s.mu(j), s.ws.limits.qeps);  // weights never fall below qeps
  }
  // The caller's gradient is left alone; row n + 1 of cjac too.
  EXPECT_EQ(s.g[0], 1.0);
  EXPECT_EQ(s.cjac[2], 0.0);
}

TEST(Qpsub, LinearisedBoundStopsTheStepAndGetsAMultiplier) {
  // x1 is 0.5 above its lower bound and the gradient pulls it down by 2: the
  // step stops at the bound, d1 = -0.5, with multiplier 2 - 0.5 = 1.5.
  subproblem s;
  s.n = 2;
  s.g[0] = 2.0;
  add_box(s, 0.5, 5);
  s.solve(-1);
  EXPECT_NEAR(s.d(1), -0.5, qp_tol);
  EXPECT_NEAR(s.d(2), 0.0, qp_tol);
  EXPECT_NEAR(s.lam(1), 1.5, qp_tol);
  EXPECT_NEAR(s.mu(1), 1.5, qp_tol);  // max(|vlam|, (0 + |vlam|)/2)

  // The second solve of the iteration starts from the first one's active set and
  // bounds and gives the same step; the weight moves again towards |vlam|.
  s.solve(0);
  EXPECT_NEAR(s.d(1), -0.5, qp_tol);
  EXPECT_NEAR(s.lam(1), 1.5, qp_tol);
  EXPECT_NEAR(s.mu(1), 1.5, qp_tol);
}

TEST(Qpsub, InconsistentLinearisationRetriesWithSmallerXi) {
  // x1 = -1 violates x1 >= 0, and x1 <= -0.5 holds: the relaxed constraint
  // d1 - ξ >= 0 with d1 <= 0.5 allows ξ up to 0.5 only. The retry caps ξ at 0.45,
  // which then is the active bound; the smallest |d1| is 0.45.
  subproblem s;
  s.n = 1;
  s.constraint({1}, -1.0);
  s.constraint({-1}, 0.5);
  s.solve(-1);
  EXPECT_EQ(s.info, -1);
  EXPECT_NEAR(s.xi(), 0.45, qp_tol);
  EXPECT_NEAR(s.d(1), 0.45, qp_tol);
}

TEST(Qpsub, NoRoomForXiFails) {
  // x1 >= 1 and x1 <= -1 both violated: the relaxed pair d1 >= ξ, -d1 >= ξ
  // leaves only ξ = 0.
  subproblem s;
  s.n = 1;
  s.constraint({1}, -1.0);
  s.constraint({-1}, -1.0);
  s.solve(-1);
  EXPECT_EQ(s.info, 5);
  EXPECT_LE(s.xi(), s.ws.limits.qeps);
}

TEST(Qpsub, WeightsStayBetweenQepsAndQbig) {
  // A huge gradient against an active bound gives a multiplier above qbig.
  subproblem s;
  s.n = 1;
  s.g[0] = 1e17;
  s.constraint({1}, 0.5);
  s.constraint({-1}, 9.5);
  s.solve(-1);
  EXPECT_GT(s.lam(1), s.ws.limits.qbig);
  EXPECT_EQ(s.mu(1), s.ws.limits.qbig);
  EXPECT_EQ(s.mu(2), s.ws.limits.qeps);
}

TEST(Qpsub, NotANumberMultiplierGivesWeightQeps) {
  subproblem s;
  s.n = 2;
  s.g[0] = std::numeric_limits<double>::quiet_NaN();
  add_box(s, 5, 5);
  s.solve(-1);
  int nan_multipliers = 0;
  for (int j = 1; j <= 4; ++j) {
    EXPECT_GE(s.mu(j), s.ws.limits.qeps) << j;
    EXPECT_LE(s.mu(j), s.ws.limits.qbig) << j;
    if (std::isnan(s.lam(j))) {
      ++nan_multipliers;
      EXPECT_EQ(s.mu(j), s.ws.limits.qeps) << j;
    }
  }
  EXPECT_GT(nan_multipliers, 0);
}

}  // namespace
}  // namespace inhibra::optim
