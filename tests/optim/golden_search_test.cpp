#include "optim/golden_search.hpp"

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
using support::evaluations;

// Model 1 with rates from Km = 150, Vmax = 0.15, Ki = 90; Vmax enters the sum of
// squares as a parabola centred on 0.15.
std::unique_ptr<core::fit_context> model1_truth() {
  auto ctx = support::synthetic_context(1, {150.0, 0.15, 90.0});
  support::set_run_limits(*ctx);
  return ctx;
}

TEST(GoldenKernel, NarrowsTheBracketTowardsTheMinimum) {
  // The same steps in exact double arithmetic, computed apart, end where stated.
  struct narrowing {
    double start;
    int evaluations;
    double end;
  };
  for (const narrowing& c : {
           // Minimum at 1.25 times the start: the lower end (0.38 v) is worse than
           // the upper (1.62 v), so it is moved to 0.81 v: 2 + 1 + 2 + 10
           // evaluations, and [0.81 v, 1.62 v] narrowed ten times by 0.618.
           narrowing{0.12, 15, 0.14960533147510727},
           // Minimum at 0.8 times the start: [0.38 v, 1.62 v] narrowed ten times.
           narrowing{0.1875, 14, 0.14911279804381902},
           // A zero coordinate stays zero: a tie never moves the lower end.
           narrowing{0.0, 14, 0.0},
       }) {
    SCOPED_TRACE(c.start);
    auto ctx = model1_truth();
    par x{150.0, c.start, 90.0};
    const double f = golden_kernel(*ctx, x, 2);
    EXPECT_EQ(ctx->value_evaluations, c.evaluations);
    EXPECT_EQ(ctx->full_evaluations, 0);
    EXPECT_TRUE(support::rel_near(x[1], c.end, support::tight));
    EXPECT_EQ(x[0], 150.0);
    EXPECT_EQ(x[2], 90.0);
    EXPECT_EQ(f, models::objective_value(*ctx, x));
  }
}

TEST(GoldenKernel, EndWithoutANumberIsNotChosen) {
  // A row at infinite [I]: at Ki = infinity its rate is inf/inf, not a number.
  // Starting from the largest double, the upper bracket end overflows to infinity
  // and every later point is not a number; the lower end stays finite.
  auto ctx = model1_truth();
  ctx->inhibitor[24] = std::numeric_limits<double>::infinity();
  ctx->substrate[24] = 100.0;
  ctx->rate[24] = 0.0;
  ctx->rows = 25;
  const double v = std::numeric_limits<double>::max();
  par x{150.0, 0.15, v};
  const double f = golden_kernel(*ctx, x, 3);
  EXPECT_TRUE(std::isfinite(f));
  EXPECT_EQ(x[2], v - v * golden_phi);  // the lower end of the first bracket
  EXPECT_EQ(f, models::objective_value(*ctx, x));
}

TEST(GoldenSearch, CostsTenPassesOfKernelsAndEvaluatesTheBoundedPoint) {
  for (int model : {1, 10}) {
    auto ctx = support::flat_context(model);
    const int n = ctx->n_par;
    par x{-150.0, 0.15, 90.0, 0.5, 0.25};
    double f = -1;
    golden_search(*ctx, n, x, f);
    EXPECT_EQ(ctx->value_evaluations, 10 * (14 * n + 1)) << "model " << model;
    EXPECT_EQ(ctx->full_evaluations, 0);
    EXPECT_EQ(f, 0.0);
    EXPECT_GE(x[0], models::lower_bound);  // every pass bounds the point it evaluates
  }
}

TEST(GoldenAbSearch, SearchesOnlyTheModelsShapeParameters) {
  // Ki for models 1 and 2, a for 3-7, a and b for 8-10, twenty passes of one or two
  // kernels. The starts lie inside every model's box, so the bounding step leaves
  // the parameters not searched alone.
  for (int model = 1; model <= 10; ++model) {
    SCOPED_TRACE(model);
    auto flat = support::flat_context(model);
    par x{150.0, 0.15, 90.0, 0.5, 0.25};
    double f = -1;
    golden_ab_search(*flat, flat->n_par, x, f);
    EXPECT_EQ(flat->value_evaluations, 20 * (14 * (model >= 8 ? 2 : 1) + 1));
    EXPECT_EQ(f, 0.0);

    auto ctx = support::example_context(model);
    const bool above_one = model == 4 || model == 5 || model == 9 || model == 10;
    const par start{300.0, 0.3, 40.0, above_one ? 3.0 : model == 8 ? 0.6 : 0.4, 0.2};
    x = start;
    golden_ab_search(*ctx, ctx->n_par, x, f);
    const std::size_t first = model <= 2 ? 2 : 3;
    const std::size_t last = model <= 2 ? 2 : model <= 7 ? 3 : 4;
    for (std::size_t i = 0; i < 5; ++i) {
      if (i >= first && i <= last) {
        EXPECT_NE(x[i], start[i]) << "P" << i + 1;
      } else {
        EXPECT_EQ(x[i], start[i]) << "P" << i + 1;
      }
    }
    EXPECT_EQ(f, models::objective_value(*ctx, x));
  }
}

TEST(GoldenAbSearch, DoesNothingForAModelOutsideTheLibrary) {
  for (int model : {0, 11, -3}) {
    auto ctx = support::example_context(1);
    ctx->mdl_number = model;
    par x{150.0, 0.15, 90.0, 0.5, 0.25};
    const par start = x;
    double f = 42.0;
    golden_ab_search(*ctx, 5, x, f);
    EXPECT_EQ(x, start);
    EXPECT_EQ(f, 42.0);
    EXPECT_EQ(evaluations(*ctx), 0);
  }
}

}  // namespace
}  // namespace inhibra::optim
