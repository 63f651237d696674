#include "optim/va10_mod.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "fit/capacities.hpp"
#include "model_cases.hpp"
#include "models/model_library.hpp"
#include "models/objective.hpp"
#include "support/numeric.hpp"

namespace inhibra::optim {
namespace {

using point = std::vector<double>;
using par = std::array<double, fit::max_par>;
using factors = std::array<double, fit::max_par*(fit::max_par + 1) / 2>;

constexpr double hh1 = 0.00100001;  // difference factor of the first run

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

// Forward-difference gradient as the first run forms it.
point forward_gradient(const recorder& r, const point& x) {
  point g(x.size());
  const double f0 = r.f(x);
  for (std::size_t i = 0; i < x.size(); ++i) {
    point y = x;
    const double z = std::max(hh1 * (std::abs(x[i]) + 1e-15), hh1 * hh1);
    y[i] = x[i] + z;
    g[i] = (r.f(y) - f0) / z;
  }
  return g;
}

void expect_point_near(const point& got, const point& want, double tol) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i)
    EXPECT_TRUE(support::rel_near(got[i], want[i], tol)) << "coordinate " << i + 1;
}

TEST(Va10d, FirstStepOfModeOneFollowsTheNegativeGradient) {
  // With the identity as Hessian the first trial point is x - alpha gr with
  // alpha = min(1, |f| / |gs|), gs = -|gr|^2.
  for (double offset : {3.0, 5000.0}) {  // alpha below 1, and capped at 1
    SCOPED_TRACE(offset);
    recorder r;
    r.f = [offset](const point& x) {
      return offset + (x[0] - 2.0) * (x[0] - 2.0) + 4.0 * (x[1] - 1.0) * (x[1] - 1.0);
    };
    auto owner = box_context();
    fit::fit_context& ctx = *owner;
    const point x0{5.0, 5.0};
    point x = x0;
    factors h{};
    double f = 0;
    (void)va10d(ctx, 2, x, f, h, 1, 30, r.fn());
    ASSERT_GE(r.points.size(), 4u);
    EXPECT_EQ(r.points[0], x0);
    const point g = forward_gradient(r, x0);
    const double gs = -(g[0] * g[0] + g[1] * g[1]);
    const double alpha = std::min(1.0, std::abs(r.f(x0)) / std::abs(gs));
    if (offset > 1000) {
      EXPECT_EQ(alpha, 1.0);
    } else {
      EXPECT_LT(alpha, 1.0);
    }
    expect_point_near(r.points[3], {x0[0] - alpha * g[0], x0[1] - alpha * g[1]}, 1e-12);
  }
}

TEST(Va10d, DifferenceStepIsAtLeastHhSquared) {
  recorder r;
  r.f = [](const point& x) { return 1.0 + x[0] + (x[1] - 3.0) * (x[1] - 3.0); };
  auto owner = box_context();
  fit::fit_context& ctx = *owner;
  point x{1e-6, 5.0};
  factors h{};
  double f = 0;
  (void)va10d(ctx, 2, x, f, h, 1, 30, r.fn());
  ASSERT_GE(r.points.size(), 3u);
  // hh * 1e-6 is far below hh^2 = 1.0000200001e-6: the floor applies ...
  EXPECT_TRUE(support::rel_near(r.points[1][0] - 1e-6, 1.0000200001e-06, 1e-9));
  EXPECT_EQ(r.points[1][1], 5.0);
  // ... but not to a parameter of 5.
  EXPECT_TRUE(support::rel_near(r.points[2][1] - 5.0, hh1 * 5.0, 1e-9));
  EXPECT_EQ(r.points[2][0], 1e-6);
}

TEST(Va10d, StartIsBoundedAndCappedAt1e15) {
  recorder r;
  r.f = [](const point& x) { return 1.0 + 1e-30 * x[0] + (x[1] - 3.0) * (x[1] - 3.0); };
  auto owner = box_context();
  fit::fit_context& ctx = *owner;
  point x{1e20, 2.0};
  factors h{};
  double f = 0;
  (void)va10d(ctx, 2, x, f, h, 1, 30, r.fn());
  ASSERT_FALSE(r.points.empty());
  // Reflected below the box's upper end is still far above 1e15.
  EXPECT_EQ(r.points[0][0], 1e15);
  EXPECT_EQ(r.points[0][1], 2.0);

  // A start below the box is reflected into it before anything is evaluated.
  recorder low;
  low.f = r.f;
  point y{-0.001, 2.0};
  (void)va10d(ctx, 2, y, f, h, 1, 30, low.fn());
  ASSERT_FALSE(low.points.empty());
  EXPECT_NEAR(low.points[0][0], 1.159155e-6, 1e-12);
}

TEST(Va10d, UnchangingValueEndsAfterTheFourthRunWithThatRunsOutcome) {
  auto owner = box_context();
  fit::fit_context& ctx = *owner;
  const point x0{1e-5, 2e-5, 3e-5};
  const std::size_t n = x0.size();
  // No descent even with central differences: each run costs 1 + n + 2n evaluations.
  {
    recorder r;
    r.f = [](const point&) { return 7.0; };
    point x = x0;
    factors h{};
    double f = 0;
    EXPECT_EQ(va10d(ctx, 3, x, f, h, 1, 100, r.fn()), va10_exit::no_descent);
    EXPECT_EQ(f, 7.0);
    const std::size_t per_run = 1 + 3 * n;
    ASSERT_EQ(r.points.size(), 4 * per_run);
    // Every later run starts from the previous point shifted by +1e-15 ...
    point start = x0;
    for (std::size_t run = 0; run < 4; ++run) {
      EXPECT_EQ(r.points[run * per_run], start) << "run " << run + 1;
      for (double& v : start)
        v = v + 1e-15;
    }
    // ... returned as it stands after the fourth run's start,
    const point& last_start = r.points[3 * per_run];
    EXPECT_EQ(point(x.begin(), x.begin() + 3), last_start);
    // and the difference factor shrinks tenfold per run (floor hh^2 here).
    const double hh2 = hh1 / 10.0;
    const std::size_t run2 = per_run;
    EXPECT_TRUE(support::rel_near(r.points[run2 + 1][0] - r.points[run2][0], hh2 * hh2, 1e-6));
  }
  // Out of evaluations before the first line search: each run costs 1 + n.
  {
    recorder r;
    r.f = [](const point&) { return 7.0; };
    point x = x0;
    factors h{};
    double f = 0;
    EXPECT_EQ(va10d(ctx, 3, x, f, h, 1, 1, r.fn()), va10_exit::hit_maxfn);
    EXPECT_EQ(r.points.size(), 4 * (1 + n));
  }
}

TEST(Va10d, StopsAfterTheTenthRun) {
  // A linear objective keeps falling by more than the accuracy in every run; with
  // room for one trial step per run every run moves one step and then runs out.
  recorder r;
  r.f = [](const point& x) { return 1000.0 - x[0] - x[1]; };
  auto owner = box_context();
  fit::fit_context& ctx = *owner;
  point x{1.0, 1.0};
  factors h{};
  double f = 0;
  const int maxfn = 4;  // start + 2 differences + 1 trial
  EXPECT_EQ(va10d(ctx, 2, x, f, h, 1, maxfn, r.fn()), va10_exit::gave_up);
  EXPECT_EQ(r.points.size(), 10u * maxfn);
  // Ten unit steps along the difference gradient.
  EXPECT_NEAR(x[0], 11.0, 1e-2);
  EXPECT_NEAR(x[1], 11.0, 1e-2);
  EXPECT_EQ(f, r.f({x[0], x[1]}));
}

TEST(Va10d, ConvergesOnAQuadratic) {
  recorder r;
  r.f = [](const point& x) {
    const double a = x[0] - 3.0;
    const double b = x[1] - 0.5;
    const double c = x[2] - 20.0;
    return 1.0 + a * a + 10.0 * b * b + a * b + 0.01 * c * c;
  };
  auto owner = box_context();
  fit::fit_context& ctx = *owner;
  point x{1.0, 2.0, 10.0};
  factors h{};
  double f = 0;
  EXPECT_EQ(va10d(ctx, 3, x, f, h, 1, 50, r.fn()), va10_exit::converged);
  EXPECT_EQ(f, r.f({x[0], x[1], x[2]}));
  EXPECT_TRUE(support::rel_near(f, 1.0, 1e-10));
  expect_point_near({x[0], x[1], x[2]}, {3.0, 0.5, 20.0}, 1e-4);
  EXPECT_LE(r.points.size(), 10u * (50 + 6));
}

TEST(Va10d, AcceptedNegativeParametersAreBoundedAndReevaluated) {
  // The unconstrained minimum lies at x1 = -5, outside the box x1 >= 1e-6.
  recorder r;
  r.f = [](const point& x) {
    return 1.0 + (x[0] + 5.0) * (x[0] + 5.0) + (x[1] - 2.0) * (x[1] - 2.0);
  };
  auto owner = box_context();
  fit::fit_context& ctx = *owner;
  point x{1.0, 1.0};
  factors h{};
  double f = 0;
  (void)va10d(ctx, 2, x, f, h, 1, 50, r.fn());
  // The first trial step (after the start and two differences) crosses zero and is
  // better, so it is accepted: the next evaluation is at the same point brought back
  // inside the box.
  ASSERT_GE(r.points.size(), 5u);
  const point& trial = r.points[3];
  ASSERT_LT(trial[0], 0.0);
  ASSERT_LT(r.f(trial), r.f(r.points[0]));
  point bounded = trial;
  std::array<double, fit::max_par> amin{};
  std::array<double, fit::max_par> amax{};
  for (int i = 1; i <= 2; ++i) {
    models::amax_min(i, bounded, 2, 1, amin, amax);
    models::abounds2(i, bounded, amin, amax, 2);
  }
  EXPECT_GT(bounded[0], 0.0);
  EXPECT_EQ(r.points[4], bounded);
  // Whatever happened on the way, the call returns a point inside the box with its
  // own value.
  EXPECT_GE(x[0], 1e-6);
  EXPECT_EQ(f, r.f({x[0], x[1]}));
}

TEST(Va10d, ModeThreeStartsFromTheGivenFactorsAndModeTwoFactorisesFirst) {
  // f = 100 + (x - m)^T A (x - m) with A = [[2, 1], [1, 8]]: a Newton step from the
  // factors of the Hessian 2A lands (up to the difference error) on m.
  auto quad = [](const point& x) {
    const double a = x[0] - 3.0;
    const double b = x[1] - 1.0;
    return 100.0 + 2.0 * a * a + 2.0 * a * b + 8.0 * b * b;
  };
  auto owner = box_context();
  fit::fit_context& ctx = *owner;
  const point x0{5.0, 3.0};
  factors hessian{};  // packed lower triangle of 2A
  hessian[0] = 4.0;
  hessian[1] = 2.0;
  hessian[2] = 16.0;

  recorder two;
  two.f = quad;
  point x = x0;
  factors h = hessian;
  double f = 0;
  (void)va10d(ctx, 2, x, f, h, 2, 50, two.fn());

  recorder three;
  three.f = quad;
  x = x0;
  h = hessian;
  ASSERT_TRUE(ldl_factorize(2, h));
  (void)va10d(ctx, 2, x, f, h, 3, 50, three.fn());

  ASSERT_GE(two.points.size(), 4u);
  EXPECT_EQ(two.points, three.points);
  expect_point_near(three.points[3], {3.0, 1.0}, 1e-2);
}

TEST(Va10d, IndefiniteStartingMatrixEndsTheFirstRunAtOnce) {
  // Mode 2 with [[1, 2], [2, 1]]: the factorisation meets a negative pivot, so the
  // first run evaluates nothing of its own; the start's value is still taken so that
  // the value returned always belongs to the point returned.
  recorder r;
  r.f = [](const point& x) {
    return 1.0 + (x[0] - 3.0) * (x[0] - 3.0) + (x[1] - 4.0) * (x[1] - 4.0);
  };
  auto owner = box_context();
  fit::fit_context& ctx = *owner;
  const point x0{1.0, 2.0};
  point x = x0;
  factors h{};
  h[0] = 1.0;
  h[1] = 2.0;
  h[2] = 1.0;
  double f = 0;
  (void)va10d(ctx, 2, x, f, h, 2, 30, r.fn());
  ASSERT_GE(r.points.size(), 2u);
  EXPECT_EQ(r.points[0], x0);
  EXPECT_EQ(r.points[1], (point{1.0 + 1e-15, 2.0 + 1e-15}));  // the second run's start
  EXPECT_EQ(f, r.f({x[0], x[1]}));
  EXPECT_LT(f, r.f(x0));
}

TEST(Va10d, RefusesUnusableArguments) {
  recorder r;
  r.f = [](const point&) { return 1.0; };
  auto owner = box_context();
  fit::fit_context& ctx = *owner;
  point x{1.0, 2.0};
  factors h{};
  double f = -3;
  EXPECT_EQ(va10d(ctx, 0, x, f, h, 1, 30, r.fn()), va10_exit::no_start);
  EXPECT_EQ(va10d(ctx, 3, x, f, h, 1, 30, r.fn()), va10_exit::no_start);  // x too short
  EXPECT_EQ(va10d(ctx, 2, x, f, std::span(h).first(2), 1, 30, r.fn()), va10_exit::no_start);
  EXPECT_TRUE(r.points.empty());
  EXPECT_EQ(f, -3);
  EXPECT_EQ(x, (point{1.0, 2.0}));
}

// L D L^T of packed factors, as a full symmetric matrix (row-major n x n).
std::vector<double> expand(int n, std::span<const double> h) {
  std::vector<double> l(static_cast<std::size_t>(n * n), 0.0);
  std::vector<double> d(static_cast<std::size_t>(n));
  for (int j = 1; j <= n; ++j) {
    d[static_cast<std::size_t>(j - 1)] = h[static_cast<std::size_t>(packed_index(n, j, j))];
    l[static_cast<std::size_t>((j - 1) * n + (j - 1))] = 1.0;
    for (int i = j + 1; i <= n; ++i)
      l[static_cast<std::size_t>((i - 1) * n + (j - 1))] =
          h[static_cast<std::size_t>(packed_index(n, i, j))];
  }
  std::vector<double> a(static_cast<std::size_t>(n * n), 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k)
        a[static_cast<std::size_t>(i * n + j)] += l[static_cast<std::size_t>(i * n + k)] *
                                                  d[static_cast<std::size_t>(k)] *
                                                  l[static_cast<std::size_t>(j * n + k)];
  return a;
}

TEST(LdlFactors, PackedLayoutAndFactorisation) {
  // Column by column, each starting with its diagonal element.
  EXPECT_EQ(packed_index(4, 1, 1), 0);
  EXPECT_EQ(packed_index(4, 4, 1), 3);
  EXPECT_EQ(packed_index(4, 2, 2), 4);
  EXPECT_EQ(packed_index(4, 4, 3), 8);
  EXPECT_EQ(packed_index(4, 4, 4), 9);

  // A = [[4, 2, -2], [2, 10, 2], [-2, 2, 6]] = L D L^T with
  // L = [[1], [0.5, 1], [-0.5, 1/3, 1]], D = (4, 9, 4).
  std::vector<double> h{4, 2, -2, 10, 2, 6};
  ASSERT_TRUE(ldl_factorize(3, h));
  const std::vector<double> want{4, 0.5, -0.5, 9, 1.0 / 3.0, 4};
  for (std::size_t k = 0; k < h.size(); ++k)
    EXPECT_TRUE(support::rel_near(h[k], want[k], 1e-15)) << k;

  std::vector<double> indefinite{1, 2, 1};  // [[1, 2], [2, 1]]
  EXPECT_FALSE(ldl_factorize(2, indefinite));
}

TEST(LdlFactors, RankOneCorrection) {
  const std::vector<double> start{4, 0.5, -0.5, 9, 1.0 / 3.0, 4};
  const std::vector<double> a = expand(3, start);
  for (double sigma : {0.7, -0.05}) {
    SCOPED_TRACE(sigma);
    std::vector<double> h = start;
    std::vector<double> v{1.0, -2.0, 0.5};
    const std::vector<double> v0 = v;
    std::vector<double> p(3);
    std::vector<double> beta(3);
    double dmin = 4.0;
    ldl_rank_one(3, h, sigma, v, p, beta, dmin);
    const std::vector<double> got = expand(3, h);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        const auto k = static_cast<std::size_t>(i * 3 + j);
        EXPECT_NEAR(
            got[k],
            a[k] + sigma * v0[static_cast<std::size_t>(i)] * v0[static_cast<std::size_t>(j)],
            1e-13);
      }
    EXPECT_LE(dmin, 4.0);
  }

  // A correction that would make a diagonal element non-positive leaves the
  // smallest diagonal value seen instead; a smaller positive one lowers that value.
  std::vector<double> h{1.0};
  std::vector<double> v{1.0};
  std::vector<double> p(1);
  std::vector<double> beta(1);
  double dmin = 0.25;
  ldl_rank_one(1, h, -2.0, v, p, beta, dmin);
  EXPECT_EQ(h[0], 0.25);
  EXPECT_EQ(dmin, 0.25);
  h[0] = 1.0;
  v[0] = 1.0;
  ldl_rank_one(1, h, -0.9, v, p, beta, dmin);
  EXPECT_NEAR(h[0], 0.1, 1e-15);
  EXPECT_EQ(dmin, h[0]);
}

using problems::model_case;
using problems::model_cases;

// The driver's evaluation budget per run.
int driver_maxfn(int model) {
  return model <= 4 ? 30 : 50;
}

TEST(Va10d, LowersTheSumOfSquaresOfEveryModel) {
  for (const model_case& c : model_cases()) {
    SCOPED_TRACE(c.model);
    auto ctx = support::synthetic_context(c.model, c.truth);
    const int n = ctx->n_par;
    ASSERT_EQ(static_cast<std::size_t>(n), c.start.size());
    par x{};
    std::copy(c.start.begin(), c.start.end(), x.begin());
    const double f_start = models::objective_value(*ctx, x);
    ctx->value_evaluations = 0;
    factors h{};
    std::fill_n(h.begin(), n * (n + 1) / 2, 1.0);
    double f = 0;
    const int maxfn = driver_maxfn(c.model);
    (void)va10d(*ctx, n, x, f, h, 1, maxfn, {});
    EXPECT_LT(f, 0.1 * f_start);
    EXPECT_EQ(f, models::objective_value(*ctx, x));
    // Per run: maxfn, the overshoot of one gradient, and the uncounted values of
    // bounded points.
    EXPECT_LE(ctx->value_evaluations, 10 * (2 * maxfn + 2 * n) + 1);
  }
}

TEST(Va10d, RecoversTheLinearModelsWithRoomToWork) {
  // From a rough start the driver's 30 evaluations per run only make headway (the
  // driver runs this stage after the simplex); with 100 the generating parameters
  // come back.
  for (int model : {1, 2}) {
    SCOPED_TRACE(model);
    const model_case c = model_cases()[static_cast<std::size_t>(model - 1)];
    auto ctx = support::synthetic_context(model, c.truth);
    par x{};
    std::copy(c.start.begin(), c.start.end(), x.begin());
    factors h{};
    double f = 0;
    EXPECT_EQ(va10d(*ctx, 3, x, f, h, 1, 100, {}), va10_exit::converged);
    EXPECT_LT(f, 1e-20);
    support::expect_rel_near(std::span(x).first(3), {200.0, 0.15, 100.0}, 1e-6);
    EXPECT_LE(ctx->value_evaluations, 1000);
  }
}

}  // namespace
}  // namespace inhibra::optim
