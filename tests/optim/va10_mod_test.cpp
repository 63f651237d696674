#include "optim/va10_mod.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "fixtures.hpp"
#include "support/compare.hpp"

namespace inhibra::optim {
namespace {

using testing::point;
using factors = std::array<double, core::max_par*(core::max_par + 1) / 2>;

constexpr double hh1 = 0.00100001;  // difference factor of the first run

// offset + (x1 - m1)^2 + w (x2 - m2)^2.
std::function<double(const point&)> bowl(double offset, double m1, double m2, double w = 1.0) {
  return [=](const point& x) {
    return offset + (x[0] - m1) * (x[0] - m1) + w * (x[1] - m2) * (x[1] - m2);
  };
}

// One va10d call on a recorded objective in the wide box.
struct va10_run {
  testing::recorder r;
  factors h{};
  double f = 0.0;
  point x;
  va10_run(std::function<double(const point&)> fn, point start) : x(std::move(start)) {
    r.f = std::move(fn);
  }
  va10_exit run(int mode, int maxfn) {
    return va10d(r.problem(static_cast<int>(x.size())), x, f, h, mode, maxfn);
  }
  [[nodiscard]] const point& at(std::size_t k) const { return r.points.at(k); }
};

TEST(Va10d, FirstStepOfModeOneFollowsTheNegativeDifferenceGradient) {
  // From (5, 5) the steps are hh * 5 = 0.00500005; the forward quotients of
  // (x1 - 2)^2 and 4 (x2 - 1)^2 are 6 + step and 32 + 4 step. With the identity
  // as Hessian the first trial is x - alpha g, alpha = min(1, |f| / |g|^2).
  const double g[] = {6.00500005, 32.0200002};
  for (double offset : {3.0, 5000.0}) {  // alpha below 1, and capped at 1
    SCOPED_TRACE(offset);
    va10_run v(bowl(offset, 2.0, 1.0, 4.0), {5.0, 5.0});
    (void)v.run(1, 30);
    ASSERT_GE(v.r.points.size(), 4u);
    EXPECT_EQ(v.at(0), (point{5.0, 5.0}));
    const double alpha = std::min(1.0, (offset + 73.0) / (g[0] * g[0] + g[1] * g[1]));
    EXPECT_TRUE(support::rel_near(v.at(3)[0], 5.0 - alpha * g[0], 1e-9));
    EXPECT_TRUE(support::rel_near(v.at(3)[1], 5.0 - alpha * g[1], 1e-9));
  }
}

TEST(Va10d, StartIsBoundedAndDifferenceStepsAreAtLeastHhSquared) {
  const auto fn = bowl(1.0, 0.0, 3.0);  // only the first points evaluated are looked at
  va10_run v(fn, {1e-6, 5.0});
  (void)v.run(1, 30);
  ASSERT_GE(v.r.points.size(), 3u);
  // hh * 1e-6 is far below hh^2 = 1.0000200001e-6: the floor applies ...
  EXPECT_TRUE(support::rel_near(v.at(1)[0] - 1e-6, 1.0000200001e-06, 1e-9));
  EXPECT_EQ(v.at(1)[1], 5.0);
  // ... but not to a parameter of 5.
  EXPECT_TRUE(support::rel_near(v.at(2)[1] - 5.0, hh1 * 5.0, 1e-9));
  EXPECT_EQ(v.at(2)[0], 1e-6);

  // Reflected below the box's upper end is still far above 1e15: capped there.
  va10_run high(fn, {1e20, 2.0});
  (void)high.run(1, 30);
  EXPECT_EQ(high.at(0), (point{1e15, 2.0}));
  // A start below the box is reflected into it before anything is evaluated.
  va10_run low(fn, {-0.001, 2.0});
  (void)low.run(1, 30);
  EXPECT_NEAR(low.at(0)[0], 1.159155e-6, 1e-12);
}

TEST(Va10d, UnchangingValueEndsAfterTheFourthRunWithThatRunsOutcome) {
  const point x0{1e-5, 2e-5, 3e-5};
  const std::size_t n = x0.size();
  auto flat = [](const point&) { return 7.0; };
  // No descent even with central differences: each run costs 1 + n + 2n evaluations.
  va10_run v(flat, x0);
  EXPECT_EQ(v.run(1, 100), va10_exit::no_descent);
  EXPECT_EQ(v.f, 7.0);
  const std::size_t per_run = 1 + 3 * n;
  ASSERT_EQ(v.r.points.size(), 4 * per_run);
  // Every later run starts from the previous point shifted by +1e-15 ...
  point start = x0;
  for (std::size_t run = 0; run < 4; ++run) {
    EXPECT_EQ(v.at(run * per_run), start) << "run " << run + 1;
    for (double& c : start)
      c = c + 1e-15;
  }
  // ... returned as it stands after the fourth run's start,
  EXPECT_EQ(v.x, v.at(3 * per_run));
  // and the difference factor shrinks tenfold per run (floor hh^2 here).
  const double hh2 = hh1 / 10.0;
  EXPECT_TRUE(support::rel_near(v.at(per_run + 1)[0] - v.at(per_run)[0], hh2 * hh2, 1e-6));

  // Out of evaluations before the first line search: each run costs 1 + n.
  va10_run short_of_evaluations(flat, x0);
  EXPECT_EQ(short_of_evaluations.run(1, 1), va10_exit::hit_maxfn);
  EXPECT_EQ(short_of_evaluations.r.points.size(), 4 * (1 + n));
}

TEST(Va10d, StopsAfterTheTenthRun) {
  // A linear objective keeps falling by more than the accuracy in every run; with
  // room for one trial step per run every run moves one step and then runs out.
  va10_run v([](const point& x) { return 1000.0 - x[0] - x[1]; }, {1.0, 1.0});
  const int maxfn = 4;  // start + 2 differences + 1 trial
  EXPECT_EQ(v.run(1, maxfn), va10_exit::gave_up);
  EXPECT_EQ(v.r.points.size(), 10u * maxfn);
  // Ten unit steps along the difference gradient.
  EXPECT_NEAR(v.x[0], 11.0, 1e-2);
  EXPECT_NEAR(v.x[1], 11.0, 1e-2);
  EXPECT_EQ(v.f, v.r.f(v.x));
}

TEST(Va10d, AcceptedNegativeParametersAreBoundedAndReevaluated) {
  // The unconstrained minimum lies at x1 = -5, outside the box x1 >= 1e-6.
  va10_run v(bowl(1.0, -5.0, 2.0), {1.0, 1.0});
  (void)v.run(1, 50);
  // The first trial step (after the start and two differences) crosses zero and is
  // better, so it is accepted: the next evaluation is at the same point brought back
  // inside the box.
  ASSERT_GE(v.r.points.size(), 5u);
  const point& trial = v.at(3);
  ASSERT_LT(trial[0], 0.0);
  ASSERT_LT(v.r.f(trial), v.r.f(v.at(0)));
  EXPECT_GT(v.at(4)[0], 0.0);
  EXPECT_EQ(v.at(4)[1], trial[1]);  // inside the box: left alone
  // Whatever happened on the way, the call returns a point inside the box with its
  // own value.
  EXPECT_GE(v.x[0], 1e-6);
  EXPECT_EQ(v.f, v.r.f(v.x));
}

TEST(Va10d, ModeThreeStartsFromTheGivenFactorsAndModeTwoFactorisesFirst) {
  // f = 100 + (x - m)^T A (x - m) with A = [[2, 1], [1, 8]]: a Newton step from the
  // factors of the Hessian 2A lands (up to the difference error) on m.
  auto quad = [](const point& x) {
    const double a = x[0] - 3.0;
    const double b = x[1] - 1.0;
    return 100.0 + 2.0 * a * a + 2.0 * a * b + 8.0 * b * b;
  };
  const factors hessian{4.0, 2.0, 16.0};  // packed lower triangle of 2A
  va10_run two(quad, {5.0, 3.0});
  two.h = hessian;
  EXPECT_EQ(two.run(2, 50), va10_exit::converged);
  va10_run three(quad, {5.0, 3.0});
  three.h = hessian;
  ASSERT_TRUE(ldl_factorize(2, three.h));
  EXPECT_EQ(three.run(3, 50), va10_exit::converged);
  ASSERT_GE(two.r.points.size(), 4u);
  EXPECT_EQ(two.r.points, three.r.points);
  support::expect_rel_near(three.at(3), {3.0, 1.0}, 1e-2);
  // Either way the call converges on the minimum and returns its own value.
  support::expect_rel_near(three.x, {3.0, 1.0}, 1e-6);
  EXPECT_TRUE(support::rel_near(three.f, 100.0, 1e-12));
  EXPECT_EQ(three.f, three.r.f(three.x));
}

TEST(Va10d, IndefiniteStartingMatrixEndsTheFirstRunAtOnce) {
  // Mode 2 with [[1, 2], [2, 1]]: the factorisation meets a negative pivot, so the
  // first run evaluates nothing of its own; the start's value is still taken so that
  // the value returned always belongs to the point returned.
  va10_run v(bowl(1.0, 3.0, 4.0), {1.0, 2.0});
  v.h = {1.0, 2.0, 1.0};
  (void)v.run(2, 30);
  ASSERT_GE(v.r.points.size(), 2u);
  EXPECT_EQ(v.at(0), (point{1.0, 2.0}));
  EXPECT_EQ(v.at(1), (point{1.0 + 1e-15, 2.0 + 1e-15}));  // the second run's start
  EXPECT_EQ(v.f, v.r.f(v.x));
  EXPECT_LT(v.f, v.r.f({1.0, 2.0}));
}

TEST(Va10d, RefusesUnusableArguments) {
  va10_run v([](const point&) { return 1.0; }, {1.0, 2.0});
  v.f = -3;
  EXPECT_EQ(va10d(v.r.problem(0), v.x, v.f, v.h, 1, 30), va10_exit::no_start);
  EXPECT_EQ(va10d(v.r.problem(3), v.x, v.f, v.h, 1, 30), va10_exit::no_start);  // x too short
  EXPECT_EQ(va10d(v.r.problem(2), v.x, v.f, std::span(v.h).first(2), 1, 30), va10_exit::no_start);
  EXPECT_TRUE(v.r.points.empty());
  EXPECT_EQ(v.f, -3);
  EXPECT_EQ(v.x, (point{1.0, 2.0}));
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
  support::expect_rel_near(h, {4, 0.5, -0.5, 9, 1.0 / 3.0, 4}, 1e-15);

  std::vector<double> indefinite{1, 2, 1};  // [[1, 2], [2, 1]]
  EXPECT_FALSE(ldl_factorize(2, indefinite));
  std::vector<double> small{1e-9};  // any positive pivot will do
  EXPECT_TRUE(ldl_factorize(1, small));
}

TEST(LdlFactors, RankOneCorrectionGivesTheFactorsOfTheCorrectedMatrix) {
  const std::vector<double> a{4, 2, -2, 10, 2, 6};  // the matrix above, packed
  const double v0[] = {1.0, -2.0, 0.5};
  std::vector<double> p(3), beta(3);
  for (double sigma : {0.7, -0.05}) {
    SCOPED_TRACE(sigma);
    std::vector<double> h = a, want = a;
    for (int j = 1; j <= 3; ++j)
      for (int i = j; i <= 3; ++i)
        want[static_cast<std::size_t>(packed_index(3, i, j))] += sigma * v0[i - 1] * v0[j - 1];
    ASSERT_TRUE(ldl_factorize(3, h));
    ASSERT_TRUE(ldl_factorize(3, want));
    std::vector<double> v(v0, v0 + 3);
    double dmin = 4.0;
    ldl_rank_one(3, h, sigma, v, p, beta, dmin);
    for (std::size_t k = 0; k < 6; ++k)
      EXPECT_NEAR(h[k], want[k], 1e-13) << k;
    EXPECT_LE(dmin, 4.0);
  }

  // A correction that would make a diagonal element non-positive leaves the
  // smallest diagonal value seen instead; a smaller positive one lowers that value.
  std::vector<double> h{1.0};
  std::vector<double> v{1.0};
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

}  // namespace
}  // namespace inhibra::optim
