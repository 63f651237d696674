#include "optim/simplex.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "fixtures.hpp"
#include "optim/rangen.hpp"
#include "support/compare.hpp"

namespace inhibra::optim {
namespace {

using par = std::array<double, core::max_par>;
using support::rel_near;
using testing::counted_problem;

constexpr double tight = support::tight;
// The run's stop tolerance: 10 * 2 sqrt(eps) (1 + sqrt(eps)) for eps = 2.85e-15.
constexpr double run_tol = 1.0685e-6;

// Reflection of vertex 0 of the regular starting simplex through the centroid of
// the other n vertices: every coordinate moves by 2 * scale * sqrt(n+1) / (n sqrt 2)
// (the other vertices lie pbig + (n-1) psmall = scale sqrt(n+1) / sqrt 2 away in sum).
constexpr double reflected3 = 1.0942809041582064;  // n = 3, scale 0.1, from 1
constexpr double reflected4 = 1.0790569415042095;  // n = 4, scale 0.1, from 1

// Evaluations of one iteration on a flat objective: every value ties, so h = l =
// nh = 0, the reflection ties with the lowest value and the expansion is tried.
constexpr int flat_iteration = 2;
// Restart searches on a flat objective (no kernel moves its lower end).
constexpr int shape_one = 20 * (14 + 1);
constexpr int shape_two = 20 * (2 * 14 + 1);
constexpr int random_five = 1 + 15 * (10 * 5 + 3);

// A search without restarts.
simplex_policy plain(double ftol, double scale, int maxiter) {
  return {ftol, scale, maxiter, simplex_restarts::none, {}};
}

// One call; its summary's evaluation count is checked against the problem's own.
struct search {
  double f = -1;
  simplex_summary summary;
};
search run(counted_problem& c, int n, par& x, const simplex_policy& policy,
           optim::box_projection bound = {}) {
  search s;
  double rng = 0.0;
  const std::int64_t before = c.evaluations;
  s.summary = simplex(c.problem(n, std::move(bound)), x, s.f, policy, rng);
  EXPECT_EQ(s.summary.evaluations, c.evaluations - before);
  return s;
}

TEST(Simplex, StopTestWaitsForMoreThanAHundredthOfTheIterationLimit) {
  // On a flat objective every iteration reflects vertex 0 (the expansion ties) and
  // the spread is 0; the stop test fires in the first iteration past maxiter / 100.
  // Two reflections bring vertex 0 back to the start.
  struct expectation {
    int maxiter, iterations;
    double coordinate;
  };
  for (const auto& e :
       {expectation{1, 1, reflected3}, expectation{100, 2, 1.0}, expectation{250, 3, reflected3}}) {
    SCOPED_TRACE(e.maxiter);
    counted_problem c{testing::flat};
    par x{1.0, 1.0, 1.0};
    const search s = run(c, 3, x, plain(run_tol, 0.1, e.maxiter));
    EXPECT_EQ(s.summary.outcome, simplex_outcome::spread_reached);
    EXPECT_EQ(s.summary.iterations, e.iterations);
    EXPECT_EQ(c.evaluations, 4 + e.iterations * flat_iteration + 1);
    for (std::size_t i = 0; i < 3; ++i)
      EXPECT_TRUE(rel_near(x[i], e.coordinate, tight));
    EXPECT_EQ(x[3], 0.0);  // beyond n: untouched
    EXPECT_EQ(s.f, 0.0);
  }
}

TEST(Simplex, RestartsFollowThePolicy) {
  // ftol -1: the spread (0 here) always exceeds it, so the stop test never fires
  // and the search runs its 25 iterations; restarts happen in iterations 1..19.
  // With the run's tolerance the spread 0 lies below it: a shape search alone then
  // lets the search stop at iteration 2; with the random search the spread 0 still
  // restarts, through iteration 19, and the search stops at 20.
  struct expectation {
    simplex_restarts restarts;
    shape_search shape;
    double ftol;
    int iterations, per_restart;
  };
  constexpr shape_search one{4, 4, 20};
  constexpr shape_search two{4, 5, 20};
  constexpr int full_restart = 2 * shape_two + random_five;
  constexpr auto none = simplex_restarts::none;
  constexpr auto shape = simplex_restarts::shape_search;
  constexpr auto random = simplex_restarts::shape_and_random_search;
  for (const auto& e :
       {expectation{none, two, -1.0, 25, 0}, expectation{shape, one, -1.0, 25, shape_one},
        expectation{random, two, -1.0, 25, full_restart}, expectation{none, two, run_tol, 2, 0},
        expectation{shape, one, run_tol, 2, 0}, expectation{random, two, run_tol, 20, full_restart},
        expectation{random, {}, run_tol, 20, random_five}}) {
    SCOPED_TRACE(::testing::Message()
                 << "restarts " << static_cast<int>(e.restarts) << " shape " << e.shape.first
                 << ".." << e.shape.last << " ftol " << e.ftol);
    counted_problem c{testing::flat};
    par x{1.0, 1.0, 1.0, 0.5, 0.25};
    const simplex_summary s =
        run(c, 5, x, {e.ftol, 0.1, e.ftol < 0 ? 25 : 100, e.restarts, e.shape}).summary;
    EXPECT_EQ(s.iterations, e.iterations);
    EXPECT_EQ(s.outcome,
              e.ftol < 0 ? simplex_outcome::iteration_limit : simplex_outcome::spread_reached);
    EXPECT_EQ(c.evaluations, 6 + e.iterations * flat_iteration + 19 * e.per_restart + 1);
  }
}

TEST(Simplex, RandomRestartsDrawFromTheStreamHandedIn) {
  // Two searches from the same stream state make the same moves, and the stream is
  // left where the draws ended, not where it started.
  auto one = [](double state) {
    counted_problem c{testing::bowl({2.0, 3.0, 0.5})};
    par x{1.0, 1.0, 1.0};
    double f = 0;
    (void)simplex(c.problem(3), x, f,
                  {run_tol, 0.1, 3, simplex_restarts::shape_and_random_search, {3, 3, 20}}, state);
    return std::pair{x, state};
  };
  const auto [x1, s1] = one(0.0);
  const auto [x2, s2] = one(0.0);
  EXPECT_EQ(x1, x2);
  EXPECT_EQ(s1, s2);
  EXPECT_GE(s1, rangen_low);  // a value drawn, not the fresh state 0
  EXPECT_LE(s1, rangen_high);
}

TEST(Simplex, RestartResultIsNotTakenIntoTheSimplex) {
  // One iteration with a shape search of x(4): the search ends projected into a box
  // that holds it at 1 at most, but the answer is the best vertex, the reflection.
  counted_problem c{testing::flat};
  par x{1.0, 1.0, 1.0, 1.0};
  const simplex_summary s = run(c, 4, x, {-1.0, 0.1, 1, simplex_restarts::shape_search, {4, 4, 20}},
                                testing::clamp_box(0.0, 1.0))
                                .summary;
  EXPECT_EQ(s.outcome, simplex_outcome::iteration_limit);  // the limit ends the restart
  EXPECT_EQ(s.iterations, 1);
  EXPECT_EQ(c.evaluations, 5 + flat_iteration + shape_one + 1);
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_TRUE(rel_near(x[i], reflected4, tight));
}

TEST(Simplex, SafeguardPullsTheLowestVertexTowardsZeroKeepingItsSign) {
  // One iteration from (-1, 1, 1): the expansion, the last point evaluated, has a
  // negative first coordinate, so coordinate 1 of the lowest vertex (vertex 0, now
  // the reflection p = -1 + 0.0942809) becomes 2 p atan|p| / pi + 1e-6.
  counted_problem c{testing::flat};
  par x{-1.0, 1.0, 1.0};
  run(c, 3, x, plain(-1.0, 0.1, 1));
  EXPECT_TRUE(rel_near(x[0], -0.4243559426779418, tight));
  EXPECT_TRUE(rel_near(x[1], reflected3, tight));
  EXPECT_TRUE(rel_near(x[2], reflected3, tight));

  // The test looks at the last point evaluated, not at the vertex: from
  // (-0.12, 1, 1) the expansion's first coordinate is positive (0.0214) while the
  // lowest vertex's is negative (-0.0257), which therefore stays as it is.
  par z{-0.12, 1.0, 1.0};
  run(c, 3, z, plain(-1.0, 0.1, 1));
  EXPECT_TRUE(rel_near(z[0], -0.12 + (reflected3 - 1.0), 1e-12));

  // When the search stops in that iteration the safeguard is not applied.
  par y{-1.0, 1.0, 1.0};
  run(c, 3, y, plain(run_tol, 0.1, 1));
  EXPECT_TRUE(rel_near(y[0], -1.0 + (reflected3 - 1.0), tight));
}

TEST(Simplex, AVertexWithoutANumberIsReplacedFirstAndTheSearchConverges) {
  // The start (vertex 0) has no value while the other vertices do. As the worst
  // vertex it is reflected away in the first iteration; the spread, which counts
  // vertex 0, becomes a number and the search stops near the minimum long before
  // its iteration limit (left in place, the vertex kept the spread NaN and the
  // search ran all its iterations).
  constexpr int limit = 5000;
  const auto bowl = testing::bowl({1.5, 0.8, 1.2});
  counted_problem c{[&bowl](std::span<const double> x) {
    return x[2] == 0.0 ? std::numeric_limits<double>::quiet_NaN() : bowl(x);
  }};
  par x{2.0, 0.2, 0.0};
  const double start = bowl(par{2.0, 0.2, 0.0});
  const search s = run(c, 3, x, plain(run_tol, 0.1, limit));
  EXPECT_EQ(s.summary.outcome, simplex_outcome::spread_reached);
  EXPECT_LT(c.evaluations, limit / 10);
  EXPECT_LT(s.f, 1e-4 * start);
  EXPECT_GT(x[2], 0.0);
  EXPECT_EQ(s.f, bowl(x));
}

TEST(Simplex, TooFewOrTooManyParametersOnlyEvaluate) {
  for (int n : {1, 11}) {
    counted_problem c{testing::bowl({1.0, 2.0, 3.0})};
    par x{3.0, 0.3, 4.0};
    const par start = x;
    const search s = run(c, n, x, plain(run_tol, 0.1, 100));
    EXPECT_EQ(s.summary.outcome, simplex_outcome::not_run);
    EXPECT_EQ(s.summary.iterations, 0);
    EXPECT_EQ(s.summary.evaluations, 1);
    EXPECT_EQ(x, start);
    EXPECT_EQ(s.f, c.f(std::span(x).first(static_cast<std::size_t>(std::min(n, 3)))));
  }
  // n fits the table but x is shorter than n: the same.
  counted_problem c{testing::flat};
  std::array<double, 2> x{1.0, 2.0};
  double f = -1;
  double rng = 0;
  const simplex_summary s = simplex(c.problem(3), x, f, plain(run_tol, 0.1, 100), rng);
  EXPECT_EQ(s.outcome, simplex_outcome::not_run);
  EXPECT_EQ(c.evaluations, 1);
  EXPECT_EQ(x, (std::array<double, 2>{1.0, 2.0}));
}

}  // namespace
}  // namespace inhibra::optim
