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

#include "optim/detail/la02ad.hpp"
#include "optim/detail/qpsub.hpp"
#include "optim/detail/ve02ad.hpp"
#include "optim/vmcon4_mod.hpp"

namespace inhibra::optim {
namespace {

constexpr double vertex_tol = 1e-12;
constexpr double qp_tol = 1e-10;
using values = std::vector<double>;

void expect_near(const values& got, const values& want, double tol) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i)
    EXPECT_NEAR(got[i], want[i], tol) << "x" << i + 1;
}

// minimise ½xᵀGx - cqᵀx subject to xl <= x <= xu and aⱼᵀx >= bⱼ (= for j <= ke),
// with the arrays one call of la02ad or ve02ad works in.
struct qp_problem {
  int nv = 2;
  values g{1, 0, 0, 1};  // nv x nv by column
  values cq{}, xl{}, xu{};
  std::vector<values> a{};  // normals of the general constraints
  values b{};
  int ke = 0;
  values x = values(qp_solution_size, 0.0);
  values w = values(qp_work_ld * qp_work_ld, 0.0);
  std::vector<int> lt = std::vector<int>(qp_list_size, 0);
  int k = 0;
  std::ostringstream diag{};

  [[nodiscard]] int mt() const { return 2 * nv + static_cast<int>(a.size()); }
  [[nodiscard]] values normals() const {
    values flat;
    for (const auto& col : a)
      flat.insert(flat.end(), col.begin(), col.end());
    return flat;
  }
  [[nodiscard]] static qp_limits limits() {
    qp_limits lim;
    mach_prec(lim.qeps, lim.qbig);
    return lim;
  }
  // The vertex search from x, starting with the given constraints (lt(1..k)).
  void vertex(const std::vector<int>& given = {}) {
    k = static_cast<int>(given.size());
    std::copy(given.begin(), given.end(), lt.begin());
    la02ad(nv, mt(), normals(), nv, b, xl, xu, x, k, ke, w, qp_work_ld, lt, limits());
  }
  // The solver from `start`, with the equalities as the initial active set.
  qp_outcome solve(const values& start, bool with_diag = true) {
    std::copy(start.begin(), start.end(), x.begin());
    k = ke;
    for (int j = 1; j <= ke; ++j)
      lt[static_cast<std::size_t>(j - 1)] = 2 * nv + j;
    return ve02ad(nv, mt(), g, nv, cq, normals(), nv, b, xl, xu, x, k, ke, w, qp_work_ld, lt, 1,
                  limits(), with_diag ? &diag : nullptr);
  }
  [[nodiscard]] values solution() const { return {x.begin(), x.begin() + nv}; }
  [[nodiscard]] std::vector<int> active() const { return {lt.begin(), lt.begin() + k}; }
  // Component c (0-based) of the normal of constraint i (1-based): lower bounds,
  // upper bounds, general constraints.
  [[nodiscard]] double normal(int i, int c) const {
    if (i <= nv) return i - 1 == c ? 1.0 : 0.0;
    if (i <= 2 * nv) return i - nv - 1 == c ? -1.0 : 0.0;
    return a[static_cast<std::size_t>(i - 2 * nv - 1)][static_cast<std::size_t>(c)];
  }
  // How far x is inside constraint i.
  [[nodiscard]] double residual(int i) const {
    double s = i <= nv       ? -xl[static_cast<std::size_t>(i - 1)]
               : i <= 2 * nv ? xu[static_cast<std::size_t>(i - nv - 1)]
                             : -b[static_cast<std::size_t>(i - 2 * nv - 1)];
    for (int c = 0; c < nv; ++c)
      s += normal(i, c) * x[static_cast<std::size_t>(c)];
    return s;
  }
  // Multiplier of active entry p: row p of T times the gradient at the solution.
  [[nodiscard]] double multiplier(int p) const {
    double s = 0.0;
    for (int c = 1; c <= nv; ++c)
      s += w[static_cast<std::size_t>(nv + p - 1 + (c - 1) * qp_work_ld)] *
           x[static_cast<std::size_t>(6 * nv + c - 1)];
    return s;
  }
  // Largest |(W·N - I)(r, c)| for N the matrix of the active normals.
  [[nodiscard]] double inverse_error() const {
    double worst = 0.0;
    for (int r = 0; r < nv; ++r)
      for (int j = 0; j < nv; ++j) {
        double s = 0.0;
        for (int q = 0; q < nv; ++q)
          s += w[static_cast<std::size_t>(r + q * qp_work_ld)] *
               normal(lt[static_cast<std::size_t>(j)], q);
        worst = std::max(worst, std::abs(s - (r == j ? 1.0 : 0.0)));
      }
    return worst;
  }
};

TEST(La02ad, CompletesGivenConstraintsBySmallestProjectionAtTheNearerBound) {
  // Given x1 + 2·x2 = 0 (as an equality): the unit vectors project onto its
  // normal with values 1/5, 4/5 and 0, so x3 is fixed first and then x1, each at
  // its nearer bound (the lower one, 0).
  qp_problem v{.nv = 3, .xl = {0, 0, 0}, .xu = {10, 10, 10}, .a = {{1, 2, 0}}, .b = {0}, .ke = 1};
  v.x[0] = v.x[1] = v.x[2] = 0.5;
  v.vertex({7});
  ASSERT_EQ(v.k, 3);
  EXPECT_EQ(v.active(), (std::vector<int>{7, 3, 1}));
  EXPECT_EQ(v.lt[6 + 7 - 1], state_equality);
  expect_near(v.solution(), {0, 0, 0}, vertex_tol);
  EXPECT_LT(v.inverse_error(), vertex_tol);

  // Given x1 + x2 >= 12: both projections are 1/2, so the tie goes to x1; it is
  // nearer its upper bound 10, and the vertex is (10, 2).
  qp_problem tie{.xl = {0, 0}, .xu = {10, 10}, .a = {{1, 1}}, .b = {12}};
  tie.x[0] = 9;
  tie.x[1] = 1;
  tie.vertex({5});
  ASSERT_EQ(tie.k, 2);
  EXPECT_EQ(tie.active(), (std::vector<int>{5, 3}));
  expect_near(tie.solution(), {10, 2}, vertex_tol);
}

TEST(La02ad, ReportsNoVertexForInconsistentOrDependentConstraintsOrTooManyExchanges) {
  // x1 >= 2 and x1 <= 1.
  qp_problem inconsistent{.xl = {-10, -10}, .xu = {10, 10}, .a = {{1, 0}, {-1, 0}}, .b = {2, -1}};
  inconsistent.vertex();
  EXPECT_EQ(inconsistent.k, 0);
  // Parallel normals given as the start.
  qp_problem dependent{.xl = {-10, -10}, .xu = {10, 10}, .a = {{1, 1}, {2, 2}}, .b = {0, 0}};
  dependent.vertex({5, 6});
  EXPECT_EQ(dependent.k, 0);
  // nv variables that all start on their lower bound -100 and each need one
  // exchange to meet x(i) >= 1: ten exchanges are allowed, eleven are not.
  for (const int nv : {10, 11}) {
    const auto unv = static_cast<std::size_t>(nv);
    qp_problem v{
        .nv = nv, .xl = values(unv, -100.0), .xu = values(unv, 100.0), .b = values(unv, 1.0)};
    for (std::size_t i = 0; i < unv; ++i) {
      v.a.emplace_back(unv, 0.0);
      v.a.back()[i] = 1.0;
    }
    v.vertex();
    EXPECT_EQ(v.k, nv == 10 ? 10 : 0);
    if (nv == 10) expect_near(v.solution(), values(10, 1.0), vertex_tol);
  }
}

TEST(Ve02ad, SolvesEqualityDegenerateAndLinearProblems) {
  struct qp_case {
    const char* what;
    int nv, ke;
    values cq, xl, xu;
    std::vector<values> a;
    values b, start, want;
    bool linear = false;  // G = 0 instead of the identity
  };
  const values z3{0, 0, 0}, box{-10, -10}, ten{10, 10};
  const qp_case cases[] = {
      // min ½|x|² with x1 + x2 + x3 = 3, and with x1 >= 2 as well.
      {"sum", 3, 1, z3, z3, {10, 10, 10}, {{1, 1, 1}}, {3}, z3, {1, 1, 1}},
      {"sum, x1 >= 2", 3, 1, z3, z3, {10, 10, 10}, {{1, 1, 1}, {1, 0, 0}}, {3, 2}, z3, {2, .5, .5}},
      // The unconstrained minimum (2, 2) lies beyond x1 + x2 = 1: an inequality would
      // let go, the equality holds the solution.
      {"equality", 2, 1, {2, 2}, box, ten, {{1, 1}}, {1}, {0, 0}, {0.5, 0.5}},
      // x1 <= 1, x2 <= 1 and x1 + x2 <= 2 all pass through the solution.
      {"degenerate", 2, 0, {3, 2}, box, {1, 1}, {{-1, -1}}, {-2}, {0, 0}, {1, 1}},
      {"degenerate, other start", 2, 0, {3, 2}, box, {1, 1}, {{-1, -1}}, {-2}, {-9, 0.5}, {1, 1}},
      // G = 0: max x1 + 2·x2 over x >= 0, x1 + x2 <= 3 is at the vertex (0, 3).
      {"linear", 2, 0, {1, 2}, {0, 0}, {100, 100}, {{-1, -1}}, {-3}, {0, 0}, {0, 3}, true},
  };
  for (const qp_case& c : cases) {
    SCOPED_TRACE(c.what);
    qp_problem qp{.nv = c.nv, .cq = c.cq, .xl = c.xl, .xu = c.xu, .a = c.a, .b = c.b, .ke = c.ke};
    qp.g.assign(static_cast<std::size_t>(c.nv * c.nv), 0.0);
    for (int i = 0; i < c.nv && !c.linear; ++i)
      qp.g[static_cast<std::size_t>(i * (c.nv + 1))] = 1.0;
    ASSERT_EQ(qp.solve(c.start), qp_outcome::solved);
    expect_near(qp.solution(), c.want, qp_tol);
    if (c.ke > 0) {
      EXPECT_EQ(qp.lt[0], 2 * c.nv + 1);  // the equality stays first in the list
    }
  }
}

TEST(Ve02ad, StartVertexAlreadyOptimalOrWithZeroMultipliers) {
  // The nearer bounds of the start form the vertex (0, 0), which is optimal with
  // both multipliers 1: nothing to say.
  qp_problem optimal{.cq = {-1, -1}, .xl = {0, 0}, .xu = {5, 5}};
  ASSERT_EQ(optimal.solve({0, 0}), qp_outcome::solved);
  EXPECT_EQ(optimal.solution(), (values{0, 0}));
  EXPECT_EQ(optimal.active(), (std::vector<int>{1, 2}));
  EXPECT_NEAR(optimal.multiplier(1), 1.0, qp_tol);
  EXPECT_NEAR(optimal.multiplier(2), 1.0, qp_tol);
  EXPECT_TRUE(optimal.diag.str().empty());

  // The unconstrained minimum (1, 1) lies exactly on the corner of the upper
  // bounds, so both active bounds have multiplier 0: a warning, and without a
  // channel the same answer with nothing written anywhere.
  for (const bool with_diag : {true, false}) {
    qp_problem corner{.cq = {1, 1}, .xl = {-5, -5}, .xu = {1, 1}};
    ASSERT_EQ(corner.solve({1, 1}, with_diag), qp_outcome::solved);
    EXPECT_EQ(corner.solution(), (values{1, 1}));
    EXPECT_EQ(corner.diag.str(), with_diag ? "\n     *** WARNING:   SOLUTION MAY BE A DEGENERATE "
                                             "LOCAL MINIMUM\n\n"
                                           : "");
  }
}

TEST(Ve02ad, ReportsInfeasibleProblemAndGivesUpAfterItsPasses) {
  // x1 >= 2 and x1 <= 1 cannot both hold.
  qp_problem infeasible{
      .cq = {0, 0}, .xl = {-10, -10}, .xu = {10, 10}, .a = {{1, 0}, {-1, 0}}, .b = {2, -1}};
  EXPECT_EQ(infeasible.solve({0, 0}), qp_outcome::infeasible);
  EXPECT_EQ(infeasible.k, 0);

  // An indefinite G (negative curvature along x2): releasing and adding the bounds
  // of the box never settles. After 10·(2nv + m) passes the solver stops and returns
  // the point it reached, inside the box with its active bound met exactly.
  qp_problem indefinite{.g = {2, -2, -2, -1}, .cq = {2, 2}, .xl = {-1, -1}, .xu = {1, 1}};
  EXPECT_EQ(indefinite.solve({0, 0}), qp_outcome::pass_limit);
  for (int i = 1; i <= 4; ++i)
    EXPECT_GE(indefinite.residual(i), 0.0) << "bound " << i;
  ASSERT_GE(indefinite.k, 1);
  EXPECT_EQ(indefinite.residual(indefinite.lt[0]), 0.0);
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
    qp_problem qp{.nv = nv, .ke = (trial % 7 == 0 && m > 0) ? 1 : 0};
    values r(unv * unv), x0(unv);
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
      values a(unv);
      double ax = 0.0;
      for (std::size_t i = 0; i < unv; ++i) {
        a[i] = u(gen);
        ax += a[i] * x0[i];
      }
      qp.a.push_back(a);
      qp.b.push_back(j < qp.ke ? ax : ax - 0.5 * (1.0 + u(gen)));
    }
    ASSERT_EQ(qp.solve(values(unv, 0.0)), qp_outcome::solved);

    for (int i = 1; i <= qp.mt(); ++i) {
      EXPECT_GE(qp.residual(i), -1e-9) << "constraint " << i;
      if (i > 2 * nv && i <= 2 * nv + qp.ke) {  // an equality
        EXPECT_NEAR(qp.residual(i), 0.0, 1e-9) << "constraint " << i;
      }
    }
    values combination(unv, 0.0);
    for (int p = 1; p <= qp.k; ++p) {
      const int i = qp.lt[static_cast<std::size_t>(p - 1)];
      EXPECT_NEAR(qp.residual(i), 0.0, 1e-9) << "active constraint " << i;
      const double lambda = qp.multiplier(p);
      if (i > 2 * nv + qp.ke || i <= 2 * nv) {  // an inequality
        EXPECT_GE(lambda, -1e-9) << "constraint " << i;
      }
      for (int c = 0; c < nv; ++c)
        combination[static_cast<std::size_t>(c)] += lambda * qp.normal(i, c);
    }
    for (std::size_t c = 0; c < unv; ++c)
      EXPECT_NEAR(qp.x[6 * unv + c], combination[c], 1e-9) << "gradient " << c + 1;
  }
}

// One subproblem: n parameters with B = identity and gradient g, constraints given
// by their gradients (columns of cjac) and values.
struct subproblem {
  int n;
  values g;
  int m = 0;
  values c = values(core::max_constraints, 0.0);
  values cjac = values(core::max_par * core::max_constraints, 0.0);
  sqp_workspace ws;
  int info = -1;

  subproblem(int parameters, values gradient) : n(parameters), g(std::move(gradient)) {
    g.resize(core::max_par, 0.0);
    mach_prec(ws.limits.qeps, ws.limits.qbig);
  }
  void constraint(const values& grad, double value) {
    std::copy(grad.begin(), grad.end(), cjac.begin() + m * core::max_par);
    c[static_cast<std::size_t>(m++)] = value;
  }
  // Box 0 <= x(i) <= 10 around the point x as the model constraints write it.
  void box(double x1, double x2) {
    constraint({1, 0}, x1);
    constraint({0, 1}, x2);
    constraint({-1, 0}, 10 - x1);
    constraint({0, -1}, 10 - x2);
  }
  void solve(int start_info) {
    info = start_info;
    qpsub(n, m, 0, g, c, cjac, info, 1, ws.vlam, ws.vmu, ws.delta, ws.hessian, ws.wk, ws.qp,
          ws.limits, nullptr);
  }
  [[nodiscard]] double d(int i) const { return ws.delta[static_cast<std::size_t>(i - 1)]; }
  [[nodiscard]] double xi() const { return d(n + 1); }
  [[nodiscard]] double lam(int j) const { return ws.vlam[static_cast<std::size_t>(j - 1)]; }
  [[nodiscard]] double mu(int j) const { return ws.vmu[static_cast<std::size_t>(j - 1)]; }
};

TEST(Qpsub, InteriorStepIsTheNewtonStep) {
  subproblem s(2, {1.0, -2.0});
  s.box(5, 5);
  s.ws.hessian[2] = s.ws.hessian[2 * core::max_par] = 0.5;  // row and column n + 1
  s.solve(-1);
  EXPECT_EQ(s.info, -1);  // success leaves info alone
  EXPECT_NEAR(s.d(1), -1.0, qp_tol);
  EXPECT_NEAR(s.d(2), 2.0, qp_tol);
  EXPECT_EQ(s.xi(), 1.0);
  for (int j = 1; j <= 4; ++j) {
    EXPECT_EQ(s.lam(j), 0.0);
    EXPECT_EQ(s.mu(j), s.ws.limits.qeps);  // weights never fall below qeps
  }
  // The caller's gradient is left alone; row and column n + 1 of B are zeroed.
  EXPECT_EQ(s.g[0], 1.0);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(s.ws.hessian[2 + i * core::max_par], 0.0);
    EXPECT_EQ(s.ws.hessian[i + 2 * core::max_par], 0.0);
  }
}

TEST(Qpsub, LinearisedBoundStopsTheStepAndGetsAMultiplier) {
  // x1 is 0.5 above its lower bound and the gradient pulls it down by 2: the
  // step stops at the bound, d1 = -0.5, with multiplier 2 - 0.5 = 1.5 and weight
  // max(|vlam|, (0 + |vlam|)/2). The second solve of the iteration starts from the
  // first one's active set and bounds and gives the same step; the weight moves
  // again towards |vlam|.
  subproblem s(2, {2.0});
  s.box(0.5, 5);
  for (const int start_info : {-1, 0}) {
    SCOPED_TRACE(start_info);
    s.solve(start_info);
    EXPECT_NEAR(s.d(1), -0.5, qp_tol);
    EXPECT_NEAR(s.d(2), 0.0, qp_tol);
    EXPECT_NEAR(s.lam(1), 1.5, qp_tol);
    EXPECT_NEAR(s.mu(1), 1.5, qp_tol);
  }
}

TEST(Qpsub, InconsistentLinearisationRetriesWithSmallerXiOrFails) {
  // x1 = -1 violates x1 >= 0, and x1 <= -0.5 holds: the relaxed constraint
  // d1 - ξ >= 0 with d1 <= 0.5 allows ξ up to 0.5 only. The retry caps ξ at 0.45,
  // which then is the active bound; the smallest |d1| is 0.45.
  subproblem s(1, {});
  s.constraint({1}, -1.0);
  s.constraint({-1}, 0.5);
  s.solve(-1);
  EXPECT_EQ(s.info, -1);
  EXPECT_NEAR(s.xi(), 0.45, qp_tol);
  EXPECT_NEAR(s.d(1), 0.45, qp_tol);

  // x1 >= 1 and x1 <= -1 both violated: the relaxed pair d1 >= ξ, -d1 >= ξ
  // leaves only ξ = 0.
  subproblem none(1, {});
  none.constraint({1}, -1.0);
  none.constraint({-1}, -1.0);
  none.solve(-1);
  EXPECT_EQ(none.info, 5);
  EXPECT_LE(none.xi(), none.ws.limits.qeps);
}

TEST(Qpsub, WeightsStayBetweenQepsAndQbig) {
  // A huge gradient against an active bound gives a multiplier above qbig.
  subproblem s(1, {1e17});
  s.constraint({1}, 0.5);
  s.constraint({-1}, 9.5);
  s.solve(-1);
  EXPECT_GT(s.lam(1), s.ws.limits.qbig);
  EXPECT_EQ(s.mu(1), s.ws.limits.qbig);
  EXPECT_EQ(s.mu(2), s.ws.limits.qeps);

  // A multiplier that is not a number gives the weight qeps.
  subproblem nan(2, {std::numeric_limits<double>::quiet_NaN()});
  nan.box(5, 5);
  nan.solve(-1);
  int nan_multipliers = 0;
  for (int j = 1; j <= 4; ++j) {
    EXPECT_GE(nan.mu(j), nan.ws.limits.qeps) << j;
    EXPECT_LE(nan.mu(j), nan.ws.limits.qbig) << j;
    if (std::isnan(nan.lam(j))) {
      ++nan_multipliers;
      EXPECT_EQ(nan.mu(j), nan.ws.limits.qeps) << j;
    }
  }
  EXPECT_GT(nan_multipliers, 0);
}

}  // namespace
}  // namespace inhibra::optim
