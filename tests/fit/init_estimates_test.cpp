#include "fit/init_estimates.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "support/numeric.hpp"
#include "support/search_contexts.hpp"

namespace inhibra::fit {
namespace {

using par = std::array<double, core::max_par>;
using support::rel_near;

constexpr double tight = support::tight;

// ---- the estimates' own generator ----------------------------------------------

TEST(Randgen, SharesTheSearchesMapWithoutClamping) {
  // The map itself is pinned with the searches' generator; this one differs only in
  // never clamping: frac(pi^5) = 0.0196847852814 stays below 0.05, and
  // frac((0.002 + pi)^5) = 0.99501673650834 above 0.95.
  core::fit_context ctx;
  double seed = 1024.0;
  EXPECT_NEAR(randgen(ctx, seed), 0.0196847852813936, 1e-11);
  EXPECT_EQ(seed, ctx.randgen_state);
  ctx.randgen_state = 0.002;
  EXPECT_NEAR(randgen(ctx, seed), 0.99501673650834135, 1e-11);
  seed = 0.0;
  EXPECT_EQ(randgen(ctx, seed), 0.14159265358979312);  // a zero seed restarts at pi - 3
}

TEST(MichaelisMentenEstimates, MatchAHandCalculation) {
  // Rows ([S], rate) = (1, 0.5), (2, 0.8), (4, 1). With u = [S]/rate = 2, 2.5, 4 and
  // weights making the sums S1..S5 = sum [S], count, sum u, sum [S] u, sum u^2
  // (7, 3, 8.5, 23, 26.25), Km = (8.5*23 - 7*26.25) / (3*26.25 - 8.5^2) = 11.75/6.5
  // = 1.8076923; Vmax = (sum (v/[S])^2 Km + sum v^2/[S]) / sum v/[S]
  // = (0.4725 Km + 0.82) / 1.15 = 1.4557692. The guards 1e-6 move the 7th digit:
  // exact rational arithmetic with them gives the values below.
  const double s[] = {1.0, 2.0, 4.0};
  const double v[] = {0.5, 0.8, 1.0};
  const mm_estimate linear = linear_mm_estimates(s, v);
  EXPECT_TRUE(rel_near(linear.km, 11.75 / 6.5, 1e-5));
  EXPECT_TRUE(rel_near(linear.vmax, (0.4725 * 11.75 / 6.5 + 0.82) / 1.15, 1e-5));
  EXPECT_TRUE(rel_near(linear.km, 1.8076919142009422, tight));
  EXPECT_TRUE(rel_near(linear.vmax, 1.4557672709993268, tight));

  // One Gauss-Newton step (exact rational arithmetic): Km + 0.0088647, Vmax *
  // 1.0115924; the sum of squares falls from 1.5989e-3 to 1.4843e-3.
  const mm_estimate corrected = gauss_newton_mm(s, v, linear);
  EXPECT_TRUE(rel_near(corrected.km, 1.8165566188577897, tight));
  EXPECT_TRUE(rel_near(corrected.vmax, 1.4726431441178127, tight));
}

TEST(MichaelisMentenEstimates, RecoverExactRatesAndStayFiniteForADegenerateCurve) {
  // v = 10 [S] / (2 + [S]): both linearisations are exact, and the correction step
  // leaves an exact answer in place.
  const double s[] = {1.0, 2.0, 4.0, 8.0};
  double v[4];
  for (int k = 0; k < 4; ++k)
    v[k] = 10.0 * s[k] / (2.0 + s[k]);
  const mm_estimate linear = linear_mm_estimates(s, v);
  const mm_estimate corrected = gauss_newton_mm(s, v, linear);
  for (const mm_estimate& e : {linear, corrected}) {
    EXPECT_TRUE(rel_near(e.km, 2.0, 1e-5));
    EXPECT_TRUE(rel_near(e.vmax, 10.0, 1e-5));
  }
  const double s5[] = {50.0, 100.0, 200.0, 400.0, 800.0};
  for (const double rate : {0.1, 0.0}) {
    const double same[] = {rate, rate, rate, rate, rate};
    const mm_estimate e = gauss_newton_mm(s5, same, linear_mm_estimates(s5, same));
    EXPECT_TRUE(std::isfinite(e.km) && std::isfinite(e.vmax)) << rate;
  }
}

// ---- the start vector -------------------------------------------------------------

par estimates(core::fit_context& ctx, int model) {
  support::select_model(ctx, model);
  par out{};
  out.fill(-7.0);
  init_estimates(ctx, out, core::max_par, model);
  return out;
}

TEST(InitEstimates, SingleCurveStartsKiAndShapeParametersAtTheFloor) {
  for (int model = 1; model <= core::max_models; ++model) {
    auto ctx = support::example_context(model);
    ctx->rows = ctx->idat = 6;  // the [I] = 0 curve alone
    const par p = estimates(*ctx, model);
    EXPECT_GT(p[0], estimate_floor) << "model " << model;
    EXPECT_GT(p[1], estimate_floor) << "model " << model;
    for (int i = 2; i < ctx->n_par; ++i)
      EXPECT_EQ(p[static_cast<std::size_t>(i)], estimate_floor) << "model " << model;
  }
}

TEST(InitEstimates, CurvesAreSplitWhereInhibitorChangesByMoreThanTheTolerance) {
  // Twelve rows: the first curve repeated at [I] + 1e-8 is still one curve; at
  // [I] + 1e-6 it is a second one.
  for (const double shift : {1e-8, 1e-6}) {
    auto ctx = support::example_context(1);
    for (std::size_t k = 6; k < 12; ++k) {
      ctx->substrate[k] = ctx->substrate[k - 6];
      ctx->inhibitor[k] = ctx->inhibitor[k - 6] + shift;
      ctx->rate[k] = ctx->rate[k - 6];
    }
    ctx->rows = ctx->idat = 12;
    const par p = estimates(*ctx, 1);
    if (shift < 1e-7) {
      EXPECT_EQ(p[2], estimate_floor);
    } else {
      EXPECT_GT(p[2], estimate_floor);
    }
  }
}

}  // namespace
}  // namespace inhibra::fit
