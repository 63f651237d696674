#include "optim/dorunrun.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "models/objective.hpp"
#include "support/numeric.hpp"
#include "support/search_contexts.hpp"

namespace inhibra::optim {
namespace {

using par = std::array<double, core::max_par>;
using support::rel_near;

// One evaluation at the start, then per run: the run's start, 10 n + 1 trials and
// the bounded end point.
constexpr std::int64_t cost(int n, int runs) {
  return 1 + runs * (1 + (10 * n + 1) + 1);
}

TEST(Dorunrun, RunCountFollowsMaxrunsUpToFifteen) {
  struct expectation {
    int maxruns;
    int runs;
    int maxruns_after;
  };
  for (const auto& e :
       {expectation{5, 15, 100}, expectation{9, 15, 100}, expectation{10, 10, 10},
        expectation{12, 12, 12}, expectation{15, 15, 15}, expectation{40, 15, 40}}) {
    for (int model : {1, 9}) {
      auto ctx = support::example_context(model);
      const int n = ctx->n_par;
      par x{300.0, 0.3, 40.0, 3.0, 0.4};
      double seed = 1088.0;
      int maxruns = e.maxruns;
      double f = -1;
      dorunrun(*ctx, n, seed, maxruns, x, f);
      EXPECT_EQ(ctx->value_evaluations, cost(n, e.runs))
          << "maxruns " << e.maxruns << " model " << model;
      EXPECT_EQ(ctx->full_evaluations, 0);
      EXPECT_EQ(maxruns, e.maxruns_after);
    }
  }
}

TEST(Dorunrun, FollowsItsMovesExactly) {
  // Model 1 on the example data from (500, 0.5, 20), seed 1088, ten runs, in a
  // fresh context. The same moves transcribed apart in double arithmetic end at
  // (1007.5468, 0.5, 40.301872) with the value 0.010676951 after 331 evaluations;
  // the generator has reached its cycle, whose draws never pick Vmax.
  auto ctx = support::example_context(1);
  par x{500.0, 0.5, 20.0};
  double seed = 1088.0;
  int maxruns = 10;
  double f = -1;
  dorunrun(*ctx, 3, seed, maxruns, x, f);
  EXPECT_TRUE(rel_near(x[0], 1007.5468053938494, support::tight));
  EXPECT_EQ(x[1], 0.5);
  EXPECT_TRUE(rel_near(x[2], 40.30187221575398, support::tight));
  EXPECT_TRUE(rel_near(f, 0.010676950677537428, support::tight));
  EXPECT_EQ(seed, 0.95);  // the last value drawn
  EXPECT_EQ(ctx->rangen_state, 0.95);
  EXPECT_EQ(ctx->value_evaluations, 331);
  EXPECT_EQ(f, models::objective_value(*ctx, x));
}

TEST(Dorunrun, NeverKeepsAMoveWhoseValueIsNotANumber) {
  // A rate that is not a number makes every value NaN, which counts as big, so no
  // move is ever kept and a start inside the box comes back unchanged.
  auto ctx = support::example_context(1);
  ctx->rate[3] = std::numeric_limits<double>::quiet_NaN();
  par x{300.0, 0.3, 40.0};
  const par start = x;
  double seed = 1088.0;
  int maxruns = 15;
  double f = -1;
  dorunrun(*ctx, 3, seed, maxruns, x, f);
  EXPECT_EQ(x, start);
  EXPECT_TRUE(std::isnan(f));  // the end point's value is passed on unchecked
  EXPECT_EQ(ctx->value_evaluations, cost(3, 15));
}

TEST(Dorunrun, DrawsFromTheContextsGenerator) {
  // Two contexts at the same generator state make the same moves, and the search
  // leaves the state where its last draw left it.
  auto first = support::example_context(1);
  auto second = support::example_context(1);
  first->rangen_state = second->rangen_state = 0.3;
  par a{500.0, 0.5, 20.0};
  par b = a;
  double fa = 0;
  double fb = 0;
  double seed_a = 1088.0;
  double seed_b = 1088.0;
  int runs_a = 10;
  int runs_b = 10;
  dorunrun(*first, 3, seed_a, runs_a, a, fa);
  dorunrun(*second, 3, seed_b, runs_b, b, fb);
  EXPECT_EQ(a, b);
  EXPECT_EQ(fa, fb);
  EXPECT_NE(first->rangen_state, 0.3);
  EXPECT_EQ(seed_a, first->rangen_state);
}

}  // namespace
}  // namespace inhibra::optim
