#include "optim/qpsub.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/one_based.hpp"
#include "optim/vmcon4_mod.hpp"

namespace inhibra::optim {
namespace {

constexpr double tol = 1e-10;

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
  EXPECT_NEAR(s.d(1), -1.0, tol);
  EXPECT_NEAR(s.d(2), 2.0, tol);
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
  EXPECT_NEAR(s.d(1), -0.5, tol);
  EXPECT_NEAR(s.d(2), 0.0, tol);
  EXPECT_NEAR(s.lam(1), 1.5, tol);
  EXPECT_NEAR(s.mu(1), 1.5, tol);  // max(|vlam|, (0 + |vlam|)/2)

  // The second solve of the iteration starts from the first one's active set and
  // bounds and gives the same step; the weight moves again towards |vlam|.
  s.solve(0);
  EXPECT_NEAR(s.d(1), -0.5, tol);
  EXPECT_NEAR(s.lam(1), 1.5, tol);
  EXPECT_NEAR(s.mu(1), 1.5, tol);
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
  EXPECT_NEAR(s.xi(), 0.45, tol);
  EXPECT_NEAR(s.d(1), 0.45, tol);
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
