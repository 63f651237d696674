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

// One call with seed 1088; seed, maxruns and f are what the call left.
struct search {
  par x;
  int maxruns;
  double seed = 1088.0;
  double f = -1;
  void run(core::fit_context& ctx) { dorunrun(ctx, ctx.n_par, seed, maxruns, x, f); }
};

TEST(Dorunrun, RunCountFollowsMaxrunsUpToFifteen) {
  struct expectation {
    int maxruns, runs, maxruns_after;
  };
  for (const auto& e :
       {expectation{5, 15, 100}, expectation{9, 15, 100}, expectation{10, 10, 10},
        expectation{12, 12, 12}, expectation{15, 15, 15}, expectation{40, 15, 40}}) {
    for (int model : {1, 9}) {
      SCOPED_TRACE(testing::Message() << "maxruns " << e.maxruns << " model " << model);
      auto ctx = support::example_context(model);
      search s{{300.0, 0.3, 40.0, 3.0, 0.4}, e.maxruns};
      s.run(*ctx);
      // The start, then per run: its start, 10 n + 1 moves and the bounded end.
      EXPECT_EQ(ctx->value_evaluations, 1 + e.runs * (10 * ctx->n_par + 3));
      EXPECT_EQ(ctx->full_evaluations, 0);
      EXPECT_EQ(s.maxruns, e.maxruns_after);
    }
  }
}

TEST(Dorunrun, FollowsItsMovesExactlyWithTheContextsGenerator) {
  // Model 1 on the example data from (500, 0.5, 20), ten runs, in a fresh context.
  // The same moves transcribed apart in double arithmetic end at (1007.5468, 0.5,
  // 40.301872) with the value 0.010676951 after 331 evaluations; the generator
  // has reached its cycle, whose draws never pick Vmax.
  auto ctx = support::example_context(1);
  search s{{500.0, 0.5, 20.0}, 10};
  s.run(*ctx);
  EXPECT_TRUE(rel_near(s.x[0], 1007.5468053938494, support::tight));
  EXPECT_EQ(s.x[1], 0.5);
  EXPECT_TRUE(rel_near(s.x[2], 40.30187221575398, support::tight));
  EXPECT_TRUE(rel_near(s.f, 0.010676950677537428, support::tight));
  EXPECT_EQ(s.seed, 0.95);  // the last value drawn
  EXPECT_EQ(ctx->rangen_state, 0.95);
  EXPECT_EQ(ctx->value_evaluations, 331);
  EXPECT_EQ(s.f, models::objective_value(*ctx, s.x));

  // A second fresh context makes the same moves: the search keeps no state of its
  // own, only the context's generator.
  auto again = support::example_context(1);
  search t{{500.0, 0.5, 20.0}, 10};
  t.run(*again);
  EXPECT_EQ(t.x, s.x);
  EXPECT_EQ(t.f, s.f);
}

TEST(Dorunrun, NeverKeepsAMoveWhoseValueIsNotANumber) {
  // A rate that is not a number makes every value NaN, which counts as big, so no
  // move is ever kept and a start inside the box comes back unchanged.
  auto ctx = support::example_context(1);
  ctx->rate[3] = std::numeric_limits<double>::quiet_NaN();
  search s{{300.0, 0.3, 40.0}, 15};
  s.run(*ctx);
  EXPECT_EQ(s.x, (par{300.0, 0.3, 40.0}));
  EXPECT_TRUE(std::isnan(s.f));  // the end point's value is passed on unchecked
  EXPECT_EQ(ctx->value_evaluations, 1 + 15 * (10 * 3 + 3));
}

}  // namespace
}  // namespace inhibra::optim
