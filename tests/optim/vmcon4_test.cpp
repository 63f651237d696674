#include "optim/vmcon4_mod.hpp"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <vector>

#include "core/one_based.hpp"
#include "models/model_catalogue.hpp"
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

// The constrained problem of the context's model, as the fit hands it over: the
// objective through models::calcfg and the model's box constraints.
constrained_problem model_problem(core::fit_context& ctx) {
  const models::model_facts* facts = models::model_info(ctx.model);
  return {facts != nullptr ? facts->constraints : 0, 0,
          [&ctx](std::span<const double> x, double& f, std::span<double> g, std::span<double> c,
                 std::span<double> cjac) {
            models::calcfg(ctx, static_cast<int>(x.size()), x, f, g, c, cjac);
          }};
}

// One point of a context's model, the workspace of its vmcon4 calls and the summary
// of the last call.
struct sqp_run {
  core::fit_context& ctx;
  sqp_workspace ws;
  std::array<double, core::max_par> x{};
  sqp_values at;
  sqp_summary last;

  explicit sqp_run(core::fit_context& context) : ctx(context) {}
  [[nodiscard]] int n() const { return ctx.n_par; }
  [[nodiscard]] std::span<double> xs() { return std::span(x).first(static_cast<std::size_t>(n())); }
  void run(sqp_options o) {
    const std::int64_t before = ctx.full_evaluations;
    last = vmcon4(model_problem(ctx), ws, xs(), at, o);
    EXPECT_EQ(last.evaluations, ctx.full_evaluations - before);  // every calcfg counted
  }
  void run(int maxit, double tol, int maxls = 10) {
    run({.max_iterations = maxit, .tolerance = tol, .max_line_search = maxls});
  }
  // A later call, from B = identity or from the B the earlier calls left.
  void again(bool fresh, int maxit, double tol, bool print = false) {
    run({.max_iterations = maxit, .tolerance = tol, .fresh_start = fresh, .print = print});
  }
  [[nodiscard]] bool inside_box() const {
    for (int j = 0; j < ctx.m; ++j)
      if (at.c[static_cast<std::size_t>(j)] < 0.0) return false;
    return true;
  }
};

TEST(Vmcon4, IterationLimitOfZeroStopsBeforeAnySubproblem) {
  // The first iteration begun is past the limit: the call ends after evaluating the
  // start only. The caller's earlier iterations are printed, never counted.
  for (const int earlier : {0, 5}) {
    auto ctx = support::synthetic_context(2, {200, 0.15, 80});
    sqp_run r(*ctx);
    r.x = {150, 0.2, 60};
    const auto start = r.x;
    r.run({.max_iterations = 0, .tolerance = 1e-10, .earlier_iterations = earlier});
    EXPECT_EQ(r.last.info, vmcon4_info::too_many_iterations);
    EXPECT_EQ(r.last.iterations, 1);
    EXPECT_EQ(r.last.cnorm, 0.0);  // no convergence test made
    EXPECT_EQ(r.ws.subproblem_solves, 0);
    EXPECT_EQ(r.last.evaluations, 1);
    EXPECT_EQ(r.x, start);
    EXPECT_EQ(r.at.f, models::objective_value(*ctx, r.xs()));
  }
}

TEST(Vmcon4, FromTheExactMinimumConvergesAtOnceOrFailsTheLineSearch) {
  // At the exact parameters of noise-free data the gradient is at the level of
  // its guard (1.49e-8), so the convergence value is about 1e-15: a tolerance of
  // 1e-10 is met in the first iteration without moving. With tolerance 0 every
  // trial point along the step has f >= 0 = f(start), so none is ever accepted.
  for (const double tol : {1e-10, 0.0}) {
    SCOPED_TRACE(tol);
    auto ctx = support::synthetic_context(1, {200, 0.15, 80});
    sqp_run r(*ctx);
    r.x = {200, 0.15, 80};
    const auto start = r.x;
    r.run(300, tol, 10);
    EXPECT_EQ(r.last.iterations, 1);
    EXPECT_EQ(r.ws.subproblem_solves, 2);
    EXPECT_EQ(r.at.f, models::objective_value(*ctx, r.xs()));
    if (tol > 0.0) {
      EXPECT_EQ(r.last.info, vmcon4_info::converged);
      EXPECT_EQ(ctx->full_evaluations, 1);
      EXPECT_EQ(r.x, start);
      EXPECT_EQ(r.at.f, 0.0);
      EXPECT_LE(r.last.cnorm, tol);
      continue;
    }
    EXPECT_EQ(r.last.info, vmcon4_info::line_search_failed);
    EXPECT_EQ(ctx->full_evaluations, 11);  // the start and ten (maxls) trial points
    for (std::size_t i = 0; i < 3; ++i)    // x is the last trial point
      EXPECT_EQ(r.x[i], r.ws.xa[i] + r.ws.delta[i]);
  }
}

TEST(Vmcon4, FirstTrialPointWithEnoughDecreaseCostsOneEvaluation) {
  // A first call teaches B the curvature; from a nearby point the next call's
  // full step then decreases the merit enough and is taken at once.
  auto ctx = support::synthetic_context(1, {200, 0.15, 80});
  sqp_run r(*ctx);
  r.x = {202, 0.1485, 80.8};
  r.run(300, 1e-16);
  ASSERT_EQ(r.last.info, vmcon4_info::converged);
  EXPECT_LT(r.at.f, 1e-15);
  support::expect_rel_near(std::span<const double>(r.xs()), {200, 0.15, 80}, support::loose);
  r.x = {201, 0.1495, 80.4};
  const auto start = r.x;
  const double f_start = models::objective_value(*ctx, r.xs());
  const auto evaluations = ctx->full_evaluations;
  r.again(false, 1, 0.0);  // one iteration, then the limit
  EXPECT_EQ(r.last.info, vmcon4_info::too_many_iterations);
  EXPECT_EQ(r.last.iterations, 2);
  EXPECT_EQ(ctx->full_evaluations - evaluations, 2);  // the start and the full step
  EXPECT_LT(r.at.f, 0.1 * f_start);
  // The full step: x = start + d with d the subproblem's step, kept in the workspace.
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(r.x[i], start[i] + r.ws.delta[i]);
    EXPECT_EQ(r.ws.xa[i], r.x[i]);  // the limit struck at the start of iteration 2
  }
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
  std::ostringstream out;
  r.ws.diagnostics = &out;
  EXPECT_TRUE(is_identity(r.ws));  // a fresh workspace
  r.x = {150, 0.2, 60};
  r.run(300, 1e-12);
  ASSERT_FALSE(is_identity(r.ws));
  const auto learned = r.ws.hessian;

  r.again(false, 0, 1e-12);  // a later call keeps B
  EXPECT_EQ(r.ws.hessian, learned);
  EXPECT_TRUE(out.str().empty());  // nothing printed unless asked
  r.again(true, 0, 1e-12, true);
  EXPECT_TRUE(is_identity(r.ws));
  EXPECT_NE(out.str().find("Q.P. ITERATIONS EXCEEDED ALLOWABLE MAXIMUM DURING\nPROGRAM EXECUTION"),
            std::string::npos);
}

TEST(Vmcon4, StopsOnTheLowerBoundOfAShapeParameterWithMeritWeightsFromZero) {
  // Model 9 on the example data drives b down to its lower bound 1e-6, so the
  // constraint weights of the merit function shape the line searches. Weights a
  // workspace still holds from an earlier call (here made huge on purpose) must not
  // reach the next call: it runs exactly as one from a workspace whose weights are
  // zero.
  core::fit_context ctx;
  support::fill_example_data(ctx);
  ctx.model = ctx.mdl_number = 9;
  ctx.n_par = 5;
  sqp_run clean(ctx), stale(ctx);
  for (auto* r : {&clean, &stale}) {
    r->x = {250, 0.17, 100, 2.0, 0.5};
    r->run(3, 1.0685e-6);
  }
  stale.ws.vmu.fill(1e12);
  stale.ws.vlam.fill(-3.0);
  clean.again(false, 300, 1.0685e-6);
  stale.again(false, 300, 1.0685e-6);
  EXPECT_EQ(stale.x, clean.x);
  EXPECT_EQ(stale.at.f, clean.at.f);
  EXPECT_EQ(stale.last.iterations, clean.last.iterations);
  EXPECT_EQ(stale.last.evaluations, clean.last.evaluations);
  EXPECT_EQ(stale.ws.vmu, clean.ws.vmu);

  // The constraint b - 1e-6 >= 0 is active, and f grows when b moves into the box.
  EXPECT_EQ(clean.last.info, vmcon4_info::converged);
  EXPECT_TRUE(clean.inside_box());
  EXPECT_NEAR(clean.x[4], models::lower_bound, 1e-12);
  auto moved = clean.x;
  moved[4] = 1e-3;
  EXPECT_GT(models::objective_value(ctx, std::span(moved).first(5)), clean.at.f);
  // f, g, c and the constraint gradients belong to the returned point.
  sqp_run fresh(ctx);
  fresh.x = clean.x;
  models::calcfg(ctx, 5, fresh.xs(), fresh.at.f, fresh.at.g, fresh.at.c, fresh.at.cjac);
  EXPECT_EQ(fresh.at.f, clean.at.f);
  EXPECT_EQ(fresh.at.g, clean.at.g);
  EXPECT_EQ(fresh.at.c, clean.at.c);
  EXPECT_EQ(fresh.at.cjac, clean.at.cjac);
}

// Rosenbrock's valley f = (1 - x)^2 + 100 (y - x^2)^2 in the box lo <= (x, y) <= hi,
// written as the four constraints x - lo_x, y - lo_y, hi_x - x, hi_y - y >= 0; calls
// counts the evaluations.
constrained_problem rosenbrock_in_box(std::array<double, 2> lo, std::array<double, 2> hi,
                                      int& calls) {
  return {4, 0,
          [lo, hi, &calls](std::span<const double> p, double& f, std::span<double> g,
                           std::span<double> c, std::span<double> cjac) {
            ++calls;
            const double x = p[0], y = p[1];
            f = (1 - x) * (1 - x) + 100 * (y - x * x) * (y - x * x);
            g[0] = -2 * (1 - x) - 400 * x * (y - x * x);
            g[1] = 200 * (y - x * x);
            c[0] = x - lo[0];
            c[1] = y - lo[1];
            c[2] = hi[0] - x;
            c[3] = hi[1] - y;
            const core::mat1 jac(cjac, core::max_par);
            jac(1, 1) = 1;
            jac(2, 2) = 1;
            jac(1, 3) = -1;
            jac(2, 4) = -1;
          }};
}

TEST(Vmcon4, MinimisesAProblemWithoutAnyModel) {
  // From the classic start (-1.2, 1): a box around the valley's minimum (1, 1) lets
  // the method reach it; a box with x <= 0.5 holds it on that side, where the
  // minimum is (0.5, 0.25) with f = 0.25 (the x-constraint active, the y-gradient 0).
  struct box_case {
    std::array<double, 2> lo, hi, minimum;
    double f;
  };
  for (const box_case& b :
       {box_case{{-2, -1}, {2, 3}, {1, 1}, 0.0}, box_case{{-2, -1}, {0.5, 3}, {0.5, 0.25}, 0.25}}) {
    SCOPED_TRACE(b.hi[0]);
    int calls = 0;
    const constrained_problem p = rosenbrock_in_box(b.lo, b.hi, calls);
    sqp_workspace ws;
    std::array<double, 2> x{-1.2, 1.0};
    sqp_values at;
    const sqp_summary s =
        vmcon4(p, ws, x, at, {.max_iterations = 300, .tolerance = 1e-14, .max_line_search = 10});
    EXPECT_EQ(s.info, vmcon4_info::converged);
    EXPECT_NEAR(x[0], b.minimum[0], 1e-6);
    EXPECT_NEAR(x[1], b.minimum[1], 1e-6);
    EXPECT_NEAR(at.f, b.f, 1e-10);
    EXPECT_EQ(s.evaluations, calls);
    EXPECT_LE(s.iterations, 300);
    for (std::size_t j = 0; j < 4; ++j)
      EXPECT_GE(at.c[j], -1e-10) << "constraint " << j + 1;
  }
}

TEST(BfgsUpdate, NewMatrixMapsTheStepToTheDampedOrPlainGradientChange) {
  // B = diag(1, 2, 4), delta = (1, 1, 0): B·delta = (1, 2, 0), deltaᵀB·delta = 3.
  struct update {
    std::vector<double> y, gamma;
    bool damped;
  };
  for (const update& u : {
           // deltaᵀy = -2.4 < 0.1·3: θ = (3 - 0.3)/(3 + 2.4) = 0.5 and gamma = θ·y +
           // (1 - θ)·B·delta = (-0.2, 0.5, 1), so deltaᵀgamma = 0.3 = 0.1·deltaᵀB·delta.
           update{{-1.4, -1, 2}, {-0.2, 0.5, 1}, true},
           // deltaᵀy = 3 >= 0.3: the plain update, with the secant condition B·delta = y.
           update{{0.5, 2.5, -1}, {0.5, 2.5, -1}, false},
       }) {
    SCOPED_TRACE(u.damped);
    constexpr std::size_t ld = core::max_par;
    std::array<double, ld * ld> b{};
    b[0] = 1.0;
    b[1 + ld] = 2.0;
    b[2 + 2 * ld] = 4.0;
    EXPECT_EQ(bfgs_update(3, b, std::vector<double>{1, 1, 0}, u.y), u.damped);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_NEAR(b[i] + b[i + ld], u.gamma[i], 1e-14);  // B·delta
      for (std::size_t j = 0; j < 3; ++j)
        EXPECT_EQ(b[i + j * ld], b[j + i * ld]);
    }
    // Still positive definite (leading minors).
    EXPECT_GT(b[0], 0.0);
    EXPECT_GT(b[0] * b[1 + ld] - b[ld] * b[ld], 0.0);
  }
}

}  // namespace
}  // namespace inhibra::optim
