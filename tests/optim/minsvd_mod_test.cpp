#include "optim/minsvd_mod.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fixtures.hpp"
#include "support/compare.hpp"

namespace inhibra::optim {
namespace {

using testing::point;
using testing::recorder;

constexpr double rel = 1e-8;  // the restart loop's tolerances
constexpr double abs_tol = 1e-8 * 2.2e-8;

// 1 + (y - m)^T A (y - m) with a positive definite A that couples all coordinates.
double rotated_bowl(const point& y) {
  const double a = y[0] - 2.0;
  const double b = y[1] - 3.0;
  const double c = y[2] - 0.5;
  return 1.0 + 2.0 * a * a + 3.0 * b * b + 4.0 * c * c + 2.0 * a * b - 1.5 * b * c + a * c;
}

// One line search along the first axis from (10, 5), starting with t = 0, h = 1.
struct line_search {
  recorder r;
  double t = 0.0, h = 1.0, fmin = 0.0;
  int nfe = 0;
  const point x0{10.0, 5.0};
  explicit line_search(std::function<double(const point&)> f) {
    r.f = std::move(f);
    fmin = r.f(x0);
  }
  minsvd_ier run(double rel_tol = rel, double abs = abs_tol, const point& d = {1.0, 0.0}) {
    return linmnf(r.fn(), t, h, fmin, rel_tol, abs, d, x0, 2, 25, nfe);
  }
};

TEST(Fln, EvaluatesTheAbsoluteValueOfTheTrialPoint) {
  recorder r;
  r.f = [](const point& y) { return y[0] + 10.0 * y[1] + 100.0 * y[2]; };
  int nfe = 4;
  // x0 + 1 * d = (-2, -1, 3.5).
  EXPECT_EQ(fln(r.fn(), 1.0, point{-3.0, 1.0, 0.5}, point{1.0, -2.0, 3.0}, 3, 25, nfe),
            2.0 + 10.0 + 350.0);
  EXPECT_EQ(nfe, 5);
  EXPECT_EQ(r.points, (std::vector<point>{{2.0, 1.0, 3.5}}));
}

TEST(Linmnf, BracketsTowardsTheBetterSideAndLandsOnTheParabolasVertex) {
  // Along the line the value is 1 + (t - m)^2: the first trial at t = 1 is better
  // for m = 3 (the bracket grows forwards) and worse for m = -2 (backwards), and
  // the parabola through three points of a parabola is exact.
  for (const double m : {3.0, -2.0}) {
    SCOPED_TRACE(m);
    line_search s([m](const point& y) { return 1.0 + (y[0] - 10.0 - m) * (y[0] - 10.0 - m); });
    EXPECT_EQ(s.run(), minsvd_ier::ok);
    ASSERT_GE(s.r.points.size(), 2u);
    EXPECT_EQ(s.r.points[0][0], 11.0);
    // c = t +- 1.618034 (h - t)
    EXPECT_EQ(s.r.points[1][0], m > 0 ? 10.0 + 1.618034 : 10.0 - 1.618034);
    EXPECT_NEAR(s.t, m, 1e-12);
    EXPECT_NEAR(s.fmin, 1.0, 1e-12);
    EXPECT_EQ(s.nfe, 3);
  }
}

TEST(Linmnf, NearlyStraightLineTakesTheBetterBracketEndWithoutAParabolicTrial) {
  // The parabola's vertex lies about 5e5 beyond c, more than 9 |c - h| away.
  line_search s([](const point& y) {
    const double t = y[0] - 10.0;
    return 1000.0 - t + 1e-6 * t * t;
  });
  EXPECT_EQ(s.run(), minsvd_ier::ok);
  EXPECT_EQ(s.nfe, 2);
  EXPECT_EQ(s.t, 1.0);
  EXPECT_EQ(s.fmin, s.r.f({11.0, 5.0}));
}

TEST(Linmnf, FlatLineShrinksTheLongerSideAndGivesUpAfter25Rounds) {
  // With any tolerance a flat line is done after one shrink of its longer side:
  // c = t - 1.618034 (h - t) lies farther from t than h = 1 and moves to
  // t + (c - t) 0.381966, for t = 0 and for a caller's t of 0.5.
  for (const double t : {0.0, 0.5}) {
    SCOPED_TRACE(t);
    line_search s([](const point&) { return 4.0; });
    s.t = t;
    EXPECT_EQ(s.run(rel, abs_tol, {0.0, 1.0}), minsvd_ier::ok);
    ASSERT_EQ(s.r.points.size(), 3u);
    const double c = t - 1.618034 * (1.0 - t);
    EXPECT_NEAR(s.r.points[2][1], 5.0 + t + (c - t) * 0.381966, 1e-12);
    EXPECT_EQ(s.t, t);
  }
  // Without tolerance it never ends by itself: 25 rounds of one evaluation each.
  line_search endless([](const point&) { return 4.0; });
  EXPECT_EQ(endless.run(0.0, 0.0, {0.0, 1.0}), minsvd_ier::line_search_limit);
  EXPECT_EQ(endless.nfe, 2 + 25);
  EXPECT_EQ(endless.t, 0.0);
  EXPECT_EQ(endless.fmin, 4.0);
}

// nminf runs (each counting from nfe = 0) or the restart loop nminsvd on a
// recorded objective in the wide box; every evaluation goes into `r`.
struct search {
  recorder r;
  point x;
  double f = 0.0;
  int nfe = 0;
  search(std::function<double(const point&)> fn, point start) : x(std::move(start)) {
    r.f = std::move(fn);
  }
  [[nodiscard]] int n() const { return static_cast<int>(x.size()); }
  minsvd_ier run(int maxit = 30) {
    nfe = 0;
    return nminf(r.problem(n()), 25, x, f, maxit, nfe, rel, abs_tol);
  }
  // The values of `count` runs, each from where the last one ended.
  std::vector<double> runs(int count) {
    std::vector<double> values;
    for (int k = 0; k < count; ++k) {
      (void)run();
      values.push_back(f);
    }
    return values;
  }
  minsvd_ier restarts(double given) {
    f = given;
    return nminsvd(r.problem(n()), 25, x, f, 30, nfe);
  }
};

TEST(Nminf, FewerThanTwoParametersEvaluateNothing) {
  recorder r;
  r.f = [](const point&) { return 1.0; };
  for (int n : {1, 0, -2}) {
    point x{0.25, 0.5};
    double f = 3.5;
    int nfe = 7;
    EXPECT_EQ(nminf(r.problem(n), 25, x, f, 30, nfe, rel, abs_tol), minsvd_ier::too_few_parameters);
    EXPECT_EQ(nminsvd(r.problem(n), 25, x, f, 30, nfe), minsvd_ier::too_few_parameters);
    EXPECT_EQ(x, (point{0.25, 0.5}));
    EXPECT_EQ(f, 3.5);
    EXPECT_EQ(nfe, 0);
  }
  EXPECT_TRUE(r.points.empty());
}

TEST(Nminf, IterationLimitZeroEvaluatesTheStartOnly) {
  search s(rotated_bowl, {1.0, 1.0, 1.0});
  EXPECT_EQ(s.run(0), minsvd_ier::iteration_limit);
  EXPECT_EQ(s.nfe, 1);
  EXPECT_EQ(s.f, rotated_bowl({1.0, 1.0, 1.0}));
  EXPECT_EQ(s.x, (point{1.0, 1.0, 1.0}));
}

TEST(Nminf, BoundingThatRaisesTheValueStillGivesUsableSteps) {
  // The value depends on |y| only. From (-0.3, 0.2) the line searches settle near
  // (-0.5, 0.5); the bounding step reflects the negative coordinate to a small
  // positive one with a higher value than before the last line search. The next
  // steps are still finite and the run goes on to the minimum.
  search s(
      [](const point& y) {
        const double a = std::abs(y[0]) - 0.5;
        const double b = std::abs(y[1]) - 0.5;
        return 1.0 + a * a + b * b;
      },
      {-0.3, 0.2});
  EXPECT_EQ(s.run(), minsvd_ier::ok);
  for (const point& p : s.r.points)
    ASSERT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]));
  support::expect_rel_near(s.x, {0.5, 0.5}, 1e-4);
  EXPECT_TRUE(support::rel_near(s.f, 1.0, 1e-10));
  EXPECT_EQ(s.f, s.r.f(s.x));
  // Every evaluation but the one after each iteration's bounding step is counted.
  EXPECT_LT(static_cast<std::size_t>(s.nfe), s.r.points.size() - 1);
}

TEST(Nminsvd, StopsWhenTwoSuccessiveRunsAgree) {
  search one(rotated_bowl, {1.0, 1.0, 1.0}), two(rotated_bowl, {1.0, 1.0, 1.0});
  (void)one.runs(1);
  const std::vector<double> f_run = two.runs(2);
  ASSERT_LT(std::abs(f_run[0] - f_run[1]), rel * f_run[1]);
  support::expect_rel_near(two.x, {2.0, 3.0, 0.5}, 1e-4);

  // A caller's value that already agrees with the first run ends the loop after it
  // and is returned as it was.
  search agreeing(rotated_bowl, {1.0, 1.0, 1.0});
  const double given = f_run[0] * (1.0 + 5e-9);
  EXPECT_EQ(agreeing.restarts(given), minsvd_ier::ok);
  EXPECT_EQ(agreeing.r.points, one.r.points);
  EXPECT_EQ(agreeing.f, given);
  EXPECT_EQ(agreeing.x, one.x);

  // A caller's value far off: the first run's value replaces it, the second run
  // agrees with that, and the first run's value comes back with the second run's
  // point.
  search far(rotated_bowl, {1.0, 1.0, 1.0});
  EXPECT_EQ(far.restarts(1e30), minsvd_ier::ok);
  EXPECT_EQ(far.r.points, two.r.points);
  EXPECT_EQ(far.f, f_run[0]);
  EXPECT_EQ(far.x, two.x);
  // One count per run for its start and one per line-search evaluation.
  EXPECT_LT(static_cast<std::size_t>(far.nfe), far.r.points.size());
  EXPECT_GT(far.nfe, 2);
}

TEST(Nminsvd, RunsTenTimesAtMost) {
  // An objective that creeps upwards with every evaluation never lets two runs
  // agree; after the tenth run the value is that run's.
  int calls = 0;
  auto creeping = [&calls](const point& y) { return rotated_bowl(y) + 1e-4 * ++calls; };
  search ten(creeping, {1.0, 1.0, 1.0});
  const std::vector<double> f_run = ten.runs(10);
  calls = 0;
  search loop(creeping, {1.0, 1.0, 1.0});
  (void)loop.restarts(0.0);
  EXPECT_EQ(loop.r.points, ten.r.points);
  EXPECT_EQ(loop.x, ten.x);
  EXPECT_EQ(loop.f, f_run[9]);
}

}  // namespace
}  // namespace inhibra::optim
