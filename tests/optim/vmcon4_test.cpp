#include "optim/vmcon4_mod.hpp"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <vector>

#include "core/one_based.hpp"
#include "fixtures.hpp"
#include "models/model_library.hpp"
#include "models/objective.hpp"
#include "support/numeric.hpp"

namespace inhibra::optim {
namespace {

using support::rel_near;

TEST(MachPrec, GivesTheDocumentedConstants) {
  double qeps = 0.0, qbig = 0.0;
  mach_prec(qeps, qbig);
  const double e = 7.136238463529799e-16;  // 1e-60·2^149
  EXPECT_EQ(qeps, (e + 1.0) * e);
  EXPECT_EQ(qbig, 2.0 / qeps);
}

// Arrays of one vmcon4 call for a context, and its outputs.
struct sqp_run {
  core::fit_context& ctx;
  sqp_workspace ws;
  std::array<double, core::max_par> x{};
  std::array<double, core::max_par> g{};
  std::array<double, core::max_constraints> c{};
  std::array<double, core::max_par * core::max_constraints> cjac{};
  double f = 0.0;
  double cnorm = -1.0;
  int niter = 0;
  vmcon4_info info = vmcon4_info::fresh_start;

  explicit sqp_run(core::fit_context& context) : ctx(context) {}
  [[nodiscard]] int n() const { return ctx.n_par; }
  [[nodiscard]] std::span<double> xs() { return std::span(x).first(static_cast<std::size_t>(n())); }
  void run(int maxit, double tol, int maxls = 10, int iprint = -1) {
    vmcon4(ctx, ws, n(), xs(), f, g, c, cjac, maxit, tol, iprint, info, maxls, cnorm, niter, 0, 1);
  }
  [[nodiscard]] bool inside_box() const {
    for (int j = 0; j < ctx.m; ++j)
      if (c[static_cast<std::size_t>(j)] < 0.0) return false;
    return true;
  }
};

// Every model at parameters of the example's scale.
std::vector<testing::model_case> vmcon4_cases() {
  return {{1, {200, 0.15, 80}, {}},         {2, {200, 0.15, 80}, {}},
          {3, {200, 0.15, 80, 0.4}, {}},    {4, {200, 0.15, 80, 3}, {}},
          {5, {200, 0.15, 80, 3}, {}},      {6, {200, 0.15, 80, 0.4}, {}},
          {7, {200, 0.15, 80, 0.4}, {}},    {8, {200, 0.15, 80, 0.6, 0.3}, {}},
          {9, {200, 0.15, 80, 3, 0.4}, {}}, {10, {200, 0.15, 80, 3, 0.4}, {}}};
}

class Vmcon4Model : public ::testing::TestWithParam<testing::model_case> {};

TEST_P(Vmcon4Model, ConvergesFromNearTheOptimumInsideTheBox) {
  const auto& truth = GetParam().truth;
  auto ctx = support::synthetic_context(GetParam().model, truth);
  sqp_run r(*ctx);
  for (std::size_t i = 0; i < truth.size(); ++i)
    r.x[i] = truth[i] * (i % 2 == 0 ? 1.01 : 0.99);
  const double f_start = models::objective_value(*ctx, r.xs());
  r.run(300, 1e-14);
  EXPECT_EQ(r.info, vmcon4_info::converged);
  EXPECT_LE(r.cnorm, 1e-14);
  EXPECT_TRUE(r.inside_box());
  EXPECT_LT(r.f, f_start);
  EXPECT_LT(ctx->full_evaluations, 100);
  EXPECT_EQ(r.ws.subproblem_solves, 2 * r.niter);
  for (std::size_t i = 0; i < truth.size(); ++i)
    EXPECT_TRUE(rel_near(r.x[i], truth[i], 2e-2)) << "parameter " << i + 1;
  // f, g and c belong to the returned point.
  double f2 = 0.0;
  std::array<double, core::max_par> g2{};
  std::array<double, core::max_constraints> c2{};
  std::array<double, core::max_par * core::max_constraints> cjac2{};
  models::calcfg(*ctx, r.n(), r.xs(), f2, g2, c2, cjac2);
  EXPECT_EQ(f2, r.f);
  EXPECT_EQ(g2, r.g);
  EXPECT_EQ(c2, r.c);
  EXPECT_EQ(cjac2, r.cjac);
}

INSTANTIATE_TEST_SUITE_P(AllModels, Vmcon4Model, ::testing::ValuesIn(vmcon4_cases()),
                         [](const auto& info) {
                           return "Model" + std::to_string(info.param.model);
                         });

TEST(Vmcon4, StopsOnTheLowerBoundOfAShapeParameter) {
  // Model 9 on the example data drives b down to its lower bound 1e-6: the
  // constraint b - 1e-6 >= 0 is active, and f grows when b moves into the box.
  core::fit_context ctx;
  support::fill_example_data(ctx);
  ctx.model = ctx.mdl_number = 9;
  ctx.n_par = 5;
  sqp_run r(ctx);
  r.x = {250, 0.17, 100, 2.0, 0.5};
  r.run(300, 1.0685e-6);
  EXPECT_EQ(r.info, vmcon4_info::converged);
  EXPECT_TRUE(r.inside_box());
  EXPECT_NEAR(r.x[4], models::lower_bound, 1e-12);
  auto moved = r.x;
  moved[4] = 1e-3;
  EXPECT_GT(models::objective_value(ctx, std::span(moved).first(5)), r.f);
}

TEST(Vmcon4, IterationLimitBelowTheCounterStopsBeforeAnySubproblem) {
  // The counter continues from the caller's value: 0 against a limit of 0, or 5
  // against 5, both stop in the first iteration, after evaluating the start only.
  for (const int start_count : {0, 5}) {
    auto ctx = support::synthetic_context(2, {200, 0.15, 80});
    sqp_run r(*ctx);
    r.x = {150, 0.2, 60};
    const auto start = r.x;
    r.niter = start_count;
    r.run(start_count, 1e-10);
    EXPECT_EQ(r.info, vmcon4_info::too_many_iterations);
    EXPECT_EQ(r.niter, start_count + 1);
    EXPECT_EQ(r.ws.subproblem_solves, 0);
    EXPECT_EQ(ctx->full_evaluations, 1);
    EXPECT_EQ(r.x, start);
    EXPECT_EQ(r.f, models::objective_value(*ctx, r.xs()));
  }
}

TEST(Vmcon4, StartThatMeetsTheTestReturnsAfterOneIterationWithoutMoving) {
  // At the exact parameters of noise-free data the gradient is at the level of
  // its guard (1.49e-8), so the convergence value is about 1e-15.
  auto ctx = support::synthetic_context(3, {200, 0.15, 80, 0.4});
  sqp_run r(*ctx);
  r.x = {200, 0.15, 80, 0.4};
  const auto start = r.x;
  r.run(300, 1e-10);
  EXPECT_EQ(r.info, vmcon4_info::converged);
  EXPECT_EQ(r.niter, 1);
  EXPECT_EQ(r.ws.subproblem_solves, 2);
  EXPECT_EQ(ctx->full_evaluations, 1);
  EXPECT_EQ(r.x, start);
  EXPECT_EQ(r.f, 0.0);
  EXPECT_LE(r.cnorm, 1e-10);
}

TEST(Vmcon4, FirstTrialPointWithEnoughDecreaseCostsOneEvaluation) {
  // A first call teaches B the curvature; from a nearby point the next call's
  // full step then decreases the merit enough and is taken at once.
  auto ctx = support::synthetic_context(1, {200, 0.15, 80});
  sqp_run r(*ctx);
  r.x = {202, 0.1485, 80.8};
  r.run(300, 1e-16);
  ASSERT_EQ(r.info, vmcon4_info::converged);
  EXPECT_LT(r.f, 1e-15);
  support::expect_rel_near(std::span<const double>(r.xs()), {200, 0.15, 80}, support::loose);
  r.x = {201, 0.1495, 80.4};
  const auto start = r.x;
  const double f_start = models::objective_value(*ctx, r.xs());
  r.info = vmcon4_info::converged;
  r.niter = 0;
  const auto evaluations = ctx->full_evaluations;
  r.run(1, 0.0);  // one iteration, then the limit
  EXPECT_EQ(r.info, vmcon4_info::too_many_iterations);
  EXPECT_EQ(r.niter, 2);
  EXPECT_EQ(ctx->full_evaluations - evaluations, 2);  // the start and the full step
  EXPECT_LT(r.f, 0.1 * f_start);
  // The full step: x = start + d with d the subproblem's step, kept in the workspace.
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(r.x[i], start[i] + r.ws.delta[i]);
    EXPECT_EQ(r.ws.xa[i], r.x[i]);  // the limit struck at the start of iteration 2
  }
}

TEST(Vmcon4, LineSearchThatCannotDecreaseEndsAfterMaxlsEvaluations) {
  // From the exact minimum f = 0 every trial point along the step of the guarded
  // gradient has f >= 0, so no trial is ever accepted.
  auto ctx = support::synthetic_context(1, {200, 0.15, 80});
  sqp_run r(*ctx);
  r.x = {200, 0.15, 80};
  r.run(300, 0.0, 10);
  EXPECT_EQ(r.info, vmcon4_info::line_search_failed);
  EXPECT_EQ(r.niter, 1);
  EXPECT_EQ(ctx->full_evaluations, 11);  // the start and ten trial points
  // x is the last trial point, and f belongs to it.
  EXPECT_EQ(r.f, models::objective_value(*ctx, r.xs()));
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(r.x[static_cast<std::size_t>(i)],
              r.ws.xa[static_cast<std::size_t>(i)] + r.ws.delta[static_cast<std::size_t>(i)]);
}

bool is_identity(const sqp_workspace& ws) {
  const core::cmat1 b(ws.hessian, core::max_par);
  for (int j = 1; j <= core::max_par; ++j)
    for (int i = 1; i <= core::max_par; ++i)
      if (b(i, j) != (i == j ? 1.0 : 0.0)) return false;
  return true;
}

TEST(Vmcon4, LaterCallsContinueFromTheHessianOfTheEarlierOne) {
  auto ctx = support::synthetic_context(2, {200, 0.15, 80});
  sqp_run r(*ctx);
  EXPECT_TRUE(is_identity(r.ws));  // a fresh workspace
  r.x = {150, 0.2, 60};
  r.run(300, 1e-12);
  ASSERT_FALSE(is_identity(r.ws));
  const auto learned = r.ws.hessian;

  r.info = vmcon4_info::converged;  // anything but fresh_start keeps B
  r.niter = 0;
  r.run(0, 1e-12);
  EXPECT_EQ(r.ws.hessian, learned);

  r.info = vmcon4_info::fresh_start;
  r.niter = 0;
  r.run(0, 1e-12);
  EXPECT_TRUE(is_identity(r.ws));
}

TEST(Vmcon4, MeritWeightsStartAtZeroOnEveryCall) {
  // Model 9 drives b to its bound, so the constraint weights of the merit function
  // shape the line searches. Weights a workspace still holds from an earlier call
  // (here made huge on purpose) must not reach the next call: it runs exactly as
  // one from a workspace whose weights are zero.
  core::fit_context ctx;
  support::fill_example_data(ctx);
  ctx.model = ctx.mdl_number = 9;
  ctx.n_par = 5;
  sqp_run clean(ctx), stale(ctx);
  for (auto* r : {&clean, &stale}) {
    r->x = {250, 0.17, 100, 2.0, 0.5};
    r->run(3, 1.0685e-6);
    r->info = vmcon4_info::converged;
    r->niter = 0;
  }
  stale.ws.vmu.fill(1e12);
  stale.ws.vlam.fill(-3.0);
  clean.run(300, 1.0685e-6);
  stale.run(300, 1.0685e-6);
  EXPECT_EQ(stale.x, clean.x);
  EXPECT_EQ(stale.f, clean.f);
  EXPECT_EQ(stale.niter, clean.niter);
  EXPECT_EQ(stale.ws.vmu, clean.ws.vmu);
}

TEST(Vmcon4, PrintsOnlyWhenAsked) {
  auto ctx = support::synthetic_context(2, {200, 0.15, 80});
  std::ostringstream out;
  sqp_run r(*ctx);
  r.ws.diagnostics = &out;
  r.x = {150, 0.2, 60};
  r.run(0, 1e-12, 10, -1);
  EXPECT_TRUE(out.str().empty());
  r.info = vmcon4_info::fresh_start;
  r.niter = 0;
  r.run(0, 1e-12, 10, 0);
  EXPECT_NE(out.str().find("Q.P. ITERATIONS EXCEEDED ALLOWABLE MAXIMUM DURING\nPROGRAM EXECUTION"),
            std::string::npos);
}

// B = diag(1, 2, 4), delta = (1, 1, 0): Bδ = (1, 2, 0), dBd = 3.
std::array<double, core::max_par * core::max_par> diagonal_b() {
  std::array<double, core::max_par * core::max_par> b{};
  b[0] = 1.0;
  b[1 + core::max_par] = 2.0;
  b[2 + 2 * core::max_par] = 4.0;
  return b;
}

double quad(const std::array<double, core::max_par * core::max_par>& b,
            const std::vector<double>& v,
            int i) {  // (B·v)(i)
  double s = 0.0;
  for (int j = 0; j < 3; ++j)
    s += b[static_cast<std::size_t>(i + j * core::max_par)] * v[static_cast<std::size_t>(j)];
  return s;
}

TEST(BfgsUpdate, DampedStepMeetsTheCurvatureFloorExactly) {
  auto b = diagonal_b();
  const std::vector<double> delta{1, 1, 0};
  const std::vector<double> y{-1.4, -1, 2};  // deltaᵀy = -2.4 < 0.1·3
  EXPECT_TRUE(bfgs_update(3, b, delta, y));
  // θ = (3 - 0.3)/(3 + 2.4) = 0.5; gamma = θ·y + (1 - θ)·Bδ = (-0.2, 0.5, 1), and
  // deltaᵀgamma = 0.3 = 0.1·dBd. The new B maps delta to gamma.
  const std::vector<double> gamma{-0.2, 0.5, 1};
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(quad(b, delta, i), gamma[static_cast<std::size_t>(i)], 1e-14);
  double dbd_new = 0.0;
  for (int i = 0; i < 3; ++i)
    dbd_new += delta[static_cast<std::size_t>(i)] * quad(b, delta, i);
  EXPECT_NEAR(dbd_new, 0.1 * 3.0, 1e-15);
  // Symmetric and still positive definite (leading minors).
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      EXPECT_EQ(b[static_cast<std::size_t>(i + j * core::max_par)],
                b[static_cast<std::size_t>(j + i * core::max_par)]);
  const double b11 = b[0], b12 = b[core::max_par], b22 = b[1 + core::max_par];
  EXPECT_GT(b11, 0.0);
  EXPECT_GT(b11 * b22 - b12 * b12, 0.0);
}

TEST(BfgsUpdate, EnoughCurvatureGivesThePlainUpdate) {
  auto b = diagonal_b();
  const std::vector<double> delta{1, 1, 0};
  const std::vector<double> y{0.5, 2.5, -1};  // deltaᵀy = 3 >= 0.3
  EXPECT_FALSE(bfgs_update(3, b, delta, y));
  for (int i = 0; i < 3; ++i)  // the secant condition B·delta = y
    EXPECT_NEAR(quad(b, delta, i), y[static_cast<std::size_t>(i)], 1e-14);
}

}  // namespace
}  // namespace inhibra::optim
