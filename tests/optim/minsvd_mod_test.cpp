#include "optim/minsvd_mod.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "fit/capacities.hpp"
#include "model_cases.hpp"
#include "models/objective.hpp"
#include "support/numeric.hpp"

namespace inhibra::optim {
namespace {

using point = std::vector<double>;
using par = std::array<double, fit::max_par>;

constexpr double rel = 1e-8;  // the restart loop's tolerances
constexpr double abs_tol = 1e-8 * 2.2e-8;

// An objective that keeps every point it is asked about.
struct recorder {
  std::function<double(const point&)> f;
  std::vector<point> points;
  value_function fn() {
    return [this](std::span<const double> x) {
      points.emplace_back(x.begin(), x.end());
      return f(points.back());
    };
  }
};

// A context whose parameter box is that of model 1: [1e-6, 1e6] for P1..P3.
std::unique_ptr<fit::fit_context> box_context() {
  auto ctx = std::make_unique<fit::fit_context>();
  ctx->model = ctx->mdl_number = 1;
  ctx->model_limit = 10;
  return ctx;
}

// 1 + (y - m)^T A (y - m) with a positive definite A that couples all coordinates.
double rotated_bowl(const point& y) {
  const double a = y[0] - 2.0;
  const double b = y[1] - 3.0;
  const double c = y[2] - 0.5;
  return 1.0 + 2.0 * a * a + 3.0 * b * b + 4.0 * c * c + 2.0 * a * b - 1.5 * b * c + a * c;
}

TEST(Fln, EvaluatesTheAbsoluteValueOfTheTrialPoint) {
  auto ctx = box_context();
  recorder r;
  r.f = [](const point& y) { return y[0] + 10.0 * y[1] + 100.0 * y[2]; };
  const point x0{1.0, -2.0, 3.0};
  const point d{-3.0, 1.0, 0.5};
  int nfe = 4;
  // x0 + 1 * d = (-2, -1, 3.5).
  EXPECT_EQ(fln(*ctx, 1.0, d, x0, 3, 25, nfe, r.fn()), 2.0 + 10.0 + 350.0);
  EXPECT_EQ(nfe, 5);
  ASSERT_EQ(r.points.size(), 1u);
  EXPECT_EQ(r.points[0], (point{2.0, 1.0, 3.5}));
  // The objective is therefore symmetric in the sign of every coordinate.
  EXPECT_EQ(fln(*ctx, -1.0, point{1.0, 0.0, 0.0}, point{0.0, 2.0, 0.0}, 3, 25, nfe, r.fn()),
            fln(*ctx, 1.0, point{1.0, 0.0, 0.0}, point{0.0, 2.0, 0.0}, 3, 25, nfe, r.fn()));
}

TEST(Linmnf, BracketsForwardWhenTheFirstTrialIsBetter) {
  // Along the line the value is 1 + (t - 3)^2.
  auto ctx = box_context();
  recorder r;
  r.f = [](const point& y) { return 1.0 + (y[0] - 13.0) * (y[0] - 13.0) + y[1]; };
  const point x0{10.0, 0.0};
  const point d{1.0, 0.0};
  double t = 0.0;
  double h = 1.0;
  double fmin = r.f(x0);
  int nfe = 0;
  EXPECT_EQ(linmnf(*ctx, t, h, fmin, rel, abs_tol, d, x0, 2, 25, nfe, r.fn()), minsvd_ier::ok);
  ASSERT_GE(r.points.size(), 2u);
  EXPECT_EQ(r.points[0][0], 11.0);
  EXPECT_EQ(r.points[1][0], 10.0 + 1.618034);  // c = t + 1.618034 (h - t)
  // The parabola through three points of a parabola is exact.
  EXPECT_NEAR(t, 3.0, 1e-12);
  EXPECT_NEAR(fmin, 1.0, 1e-12);
  EXPECT_EQ(nfe, 3);
}

TEST(Linmnf, BracketsBackwardOtherwise) {
  // Along the line the value is 1 + (t + 2)^2: the first trial at t = 1 is worse.
  auto ctx = box_context();
  recorder r;
  r.f = [](const point& y) { return 1.0 + (y[0] - 8.0) * (y[0] - 8.0); };
  const point x0{10.0, 5.0};
  const point d{1.0, 0.0};
  double t = 0.0;
  double h = 1.0;
  double fmin = r.f(x0);
  int nfe = 0;
  EXPECT_EQ(linmnf(*ctx, t, h, fmin, rel, abs_tol, d, x0, 2, 25, nfe, r.fn()), minsvd_ier::ok);
  ASSERT_GE(r.points.size(), 2u);
  EXPECT_EQ(r.points[1][0], 10.0 - 1.618034);  // c = t - 1.618034 (h - t)
  EXPECT_NEAR(t, -2.0, 1e-12);
  EXPECT_NEAR(fmin, 1.0, 1e-12);
}

TEST(Linmnf, NearlyStraightLineTakesTheBetterBracketEndWithoutAParabolicTrial) {
  // The parabola's vertex lies about 5e5 beyond c, more than 9 |c - h| away.
  auto ctx = box_context();
  recorder r;
  r.f = [](const point& y) {
    const double t = y[0] - 10.0;
    return 1000.0 - t + 1e-6 * t * t;
  };
  const point x0{10.0, 5.0};
  const point d{1.0, 0.0};
  double t = 0.0;
  double h = 1.0;
  double fmin = r.f(x0);
  int nfe = 0;
  EXPECT_EQ(linmnf(*ctx, t, h, fmin, rel, abs_tol, d, x0, 2, 25, nfe, r.fn()), minsvd_ier::ok);
  EXPECT_EQ(nfe, 2);
  EXPECT_EQ(t, 1.0);
  EXPECT_EQ(fmin, r.f({11.0, 5.0}));
}

TEST(Linmnf, FlatLineShrinksTheLongerSideAndGivesUpAfter25Rounds) {
  auto ctx = box_context();
  recorder r;
  r.f = [](const point&) { return 4.0; };
  const point x0{10.0, 5.0};
  const point d{0.0, 1.0};
  // With any tolerance a flat line is done after one shrink of its longer side
  // (c = -1.618034 is farther from t than h = 1).
  double t = 0.0;
  double h = 1.0;
  double fmin = 4.0;
  int nfe = 0;
  EXPECT_EQ(linmnf(*ctx, t, h, fmin, rel, abs_tol, d, x0, 2, 25, nfe, r.fn()), minsvd_ier::ok);
  ASSERT_EQ(r.points.size(), 3u);
  EXPECT_EQ(r.points[2][1], std::abs(5.0 + (0.0 + (-1.618034 - 0.0) * 0.381966)));
  EXPECT_EQ(t, 0.0);
  // Without tolerance it never ends by itself: 25 rounds of one evaluation each.
  t = 0.0;
  h = 1.0;
  nfe = 0;
  EXPECT_EQ(linmnf(*ctx, t, h, fmin, 0.0, 0.0, d, x0, 2, 25, nfe, r.fn()),
            minsvd_ier::line_search_limit);
  EXPECT_EQ(nfe, 2 + 25);
  EXPECT_EQ(t, 0.0);
  EXPECT_EQ(fmin, 4.0);
}

TEST(Nminf, NeedsTwoParametersAndEvaluatesNothingOtherwise) {
  auto ctx = box_context();
  recorder r;
  r.f = [](const point&) { return 1.0; };
  for (int n : {1, 0, -2}) {
    point x{0.25, 0.5};
    double f = -1.0;
    int nfe = 0;
    EXPECT_EQ(nminf(*ctx, n, 25, x, f, 30, nfe, rel, abs_tol, r.fn()),
              minsvd_ier::too_few_parameters);
    EXPECT_EQ(x, (point{0.25, 0.5}));
    EXPECT_EQ(nfe, 0);
  }
  EXPECT_TRUE(r.points.empty());
}

TEST(Nminf, StopsAtItsIterationLimit) {
  auto ctx = box_context();
  recorder r;
  r.f = rotated_bowl;
  point x{1.0, 1.0, 1.0};
  double f = 0.0;
  int nfe = 0;
  EXPECT_EQ(nminf(*ctx, 3, 25, x, f, 0, nfe, rel, abs_tol, r.fn()), minsvd_ier::iteration_limit);
  EXPECT_EQ(nfe, 1);
  EXPECT_EQ(f, rotated_bowl({1.0, 1.0, 1.0}));
  EXPECT_EQ(x, (point{1.0, 1.0, 1.0}));
}

TEST(Nminf, MinimisesACoupledQuadratic) {
  auto ctx = box_context();
  recorder r;
  r.f = rotated_bowl;
  point x{1.0, 1.0, 1.0};
  double f = 0.0;
  int nfe = 0;
  EXPECT_EQ(nminf(*ctx, 3, 25, x, f, 30, nfe, rel, abs_tol, r.fn()), minsvd_ier::ok);
  EXPECT_TRUE(support::rel_near(f, 1.0, 1e-10));
  EXPECT_EQ(f, rotated_bowl(x));
  support::expect_rel_near(x, {2.0, 3.0, 0.5}, 1e-4);
  // Every evaluation but the one after each iteration's bounding step is counted.
  EXPECT_LT(static_cast<std::size_t>(nfe), r.points.size());
  EXPECT_LT(r.points.size(), 400u);
}

TEST(Nminf, BoundingThatRaisesTheValueStillGivesUsableSteps) {
  // The value depends on |y| only. From (-0.3, 0.2) the line searches settle near
  // (-0.5, 0.5); the bounding step reflects the negative coordinate to a small
  // positive one with a higher value than before the last line search. The next
  // steps are still finite and the run goes on to the minimum.
  auto ctx = box_context();
  recorder r;
  r.f = [](const point& y) {
    const double a = std::abs(y[0]) - 0.5;
    const double b = std::abs(y[1]) - 0.5;
    return 1.0 + a * a + b * b;
  };
  point x{-0.3, 0.2};
  double f = 0.0;
  int nfe = 0;
  EXPECT_EQ(nminf(*ctx, 2, 25, x, f, 30, nfe, rel, abs_tol, r.fn()), minsvd_ier::ok);
  for (const point& p : r.points)
    ASSERT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]));
  support::expect_rel_near(x, {0.5, 0.5}, 1e-4);
  EXPECT_TRUE(support::rel_near(f, 1.0, 1e-10));
}

TEST(Nminsvd, OneParameterDoesNothing) {
  auto ctx = box_context();
  recorder r;
  r.f = [](const point&) { return 1.0; };
  point x{0.25};
  double f = 3.5;
  int nfe = 7;
  EXPECT_EQ(nminsvd(*ctx, 1, 25, x, f, 30, nfe, r.fn()), minsvd_ier::too_few_parameters);
  EXPECT_EQ(f, 3.5);
  EXPECT_EQ(x[0], 0.25);
  EXPECT_EQ(nfe, 0);
  EXPECT_TRUE(r.points.empty());
}

// Runs of one nminf after another, each from where the last one ended, as the
// restart loop makes them; every evaluation goes into `r`.
std::vector<double> successive_runs(fit::fit_context& ctx, recorder& r, point& x, int runs) {
  std::vector<double> values;
  for (int k = 0; k < runs; ++k) {
    double f = 0.0;
    int nfe = 0;
    (void)nminf(ctx, static_cast<int>(x.size()), 25, x, f, 30, nfe, rel, abs_tol, r.fn());
    values.push_back(f);
  }
  return values;
}

TEST(Nminsvd, StopsWhenTwoSuccessiveRunsAgree) {
  auto ctx = box_context();
  const point start{1.0, 1.0, 1.0};
  recorder two;
  two.f = rotated_bowl;
  point x2 = start;
  const std::vector<double> f_run = successive_runs(*ctx, two, x2, 2);
  ASSERT_LT(std::abs(f_run[0] - f_run[1]), rel * f_run[1]);
  recorder one;
  one.f = rotated_bowl;
  point x1 = start;
  (void)successive_runs(*ctx, one, x1, 1);

  // A caller's value that already agrees with the first run ends the loop after it
  // and is returned as it was.
  {
    recorder r;
    r.f = rotated_bowl;
    point x = start;
    const double given = f_run[0] * (1.0 + 5e-9);
    double f = given;
    int nfe = 0;
    EXPECT_EQ(nminsvd(*ctx, 3, 25, x, f, 30, nfe, r.fn()), minsvd_ier::ok);
    EXPECT_EQ(r.points, one.points);
    EXPECT_EQ(f, given);
    EXPECT_EQ(x, x1);
  }
  // A caller's value far off: the first run's value replaces it, the second run
  // agrees with that, and the first run's value is what comes back with the second
  // run's point.
  {
    recorder r;
    r.f = rotated_bowl;
    point x = start;
    double f = 1e30;
    int nfe = 0;
    EXPECT_EQ(nminsvd(*ctx, 3, 25, x, f, 30, nfe, r.fn()), minsvd_ier::ok);
    EXPECT_EQ(r.points, two.points);
    EXPECT_EQ(f, f_run[0]);
    EXPECT_EQ(x, x2);
    // One count per run for its start and one per line-search evaluation.
    EXPECT_LT(static_cast<std::size_t>(nfe), r.points.size());
    EXPECT_GT(nfe, 2);
  }
}

TEST(Nminsvd, RunsTenTimesAtMost) {
  // An objective that creeps upwards with every evaluation never lets two runs
  // agree.
  auto ctx = box_context();
  int calls = 0;
  auto creeping = [&calls](const point& y) { return rotated_bowl(y) + 1e-4 * ++calls; };
  const point start{1.0, 1.0, 1.0};
  recorder ten;
  ten.f = creeping;
  point x10 = start;
  const std::vector<double> f_run = successive_runs(*ctx, ten, x10, 10);

  calls = 0;
  recorder r;
  r.f = creeping;
  point x = start;
  double f = 0.0;
  int nfe = 0;
  (void)nminsvd(*ctx, 3, 25, x, f, 30, nfe, r.fn());
  EXPECT_EQ(r.points, ten.points);
  EXPECT_EQ(x, x10);
  // After the tenth run without agreement the value is that run's.
  EXPECT_EQ(f, f_run[9]);
}

using problems::model_case;
using problems::model_cases;

TEST(Nminsvd, LowersTheSumOfSquaresOfEveryModel) {
  for (const model_case& c : model_cases()) {
    SCOPED_TRACE(c.model);
    auto ctx = support::synthetic_context(c.model, c.truth);
    const int n = ctx->n_par;
    par x{};
    std::copy(c.start.begin(), c.start.end(), x.begin());
    double f = models::objective_value(*ctx, x);
    const double f_start = f;
    ctx->value_evaluations = 0;
    const int maxit = (c.model >= 6 && c.model <= 8) ? 15 : 30;
    int nfe = 0;
    const minsvd_ier ier = nminsvd(*ctx, n, 25, x, f, maxit, nfe, {});
    EXPECT_LT(f, 1e-3 * f_start);
    EXPECT_GE(ctx->value_evaluations, nfe);
    EXPECT_LE(ctx->value_evaluations, 50000);
    if (c.model <= 2) {
      EXPECT_EQ(ier, minsvd_ier::ok);
      EXPECT_LT(f, 1e-20);
      support::expect_rel_near(std::span(x).first(3), {200.0, 0.15, 100.0}, 1e-6);
    }
  }
}

}  // namespace
}  // namespace inhibra::optim
