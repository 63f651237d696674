// Profile-likelihood limits: they follow the curvature of the sum of squares (so
// they can be asymmetric and differ from p +- t se), sit where the sum of squares
// reaches its 95 % level, and stop, open, at the ends of the model's box.
#include "fit/profile.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "fit/ezfit.hpp"
#include "fit/finished_run.hpp"
#include "fit/refine.hpp"
#include "fit/student_t.hpp"
#include "models/model_forms.hpp"
#include "models/model_library.hpp"
#include "support/numeric.hpp"

namespace inhibra::fit {
namespace {

TEST(StudentT, QuantilesMatchTheTables) {
  // Two-sided 95 % points of t.
  EXPECT_NEAR(student_t_quantile(0.975, 1), 12.7062047, 1e-6);
  EXPECT_NEAR(student_t_quantile(0.975, 2), 4.30265273, 1e-7);
  EXPECT_NEAR(student_t_quantile(0.975, 10), 2.22813885, 1e-7);
  EXPECT_NEAR(student_t_quantile(0.975, 21), 2.07961384, 1e-7);
  EXPECT_NEAR(student_t_quantile(0.975, 1e6), 1.95996, 1e-5);
  EXPECT_NEAR(student_t_quantile(0.025, 10), -2.22813885, 1e-7);
  EXPECT_NEAR(student_t_cdf(0.0, 5), 0.5, 1e-15);
  EXPECT_NEAR(f1_quantile(0.95, 21), 2.07961384 * 2.07961384, 1e-6);  // F(1, 21) = t^2
  EXPECT_TRUE(std::isnan(student_t_quantile(1.0, 3)));
}

// Models 1, 3, 5 and 7 fitted to the example, once for all tests.
const finished_run& example_fit() {
  static const finished_run run = fit_file(example, {1, 3, 5, 7});
  return run;
}

TEST(ProfileLimits, FollowTheCurvatureToTheLevelOfTheSumOfSquares) {
  const model_result& r = example_fit().record.fitted[0];  // model 1
  ASSERT_TRUE(r.profiled);
  core::fit_context& ctx = example_fit().select(r);
  const int dof = ctx.rows - r.n;
  const double level = r.ssr * (1.0 + f1_quantile(0.95, dof) / dof);
  const std::vector<double> ones(static_cast<std::size_t>(ctx.rows), 1.0);
  for (int j = 0; j < r.n; ++j) {
    const auto k = static_cast<std::size_t>(j);
    const profile_limit& limits = r.profile[k];
    EXPECT_FALSE(limits.low_open || limits.high_open);
    EXPECT_LT(limits.low, r.p[k]);
    EXPECT_GT(limits.high, r.p[k]);
    // The other parameters solved again at each limit give the level.
    for (double at : {limits.low, limits.high}) {
      parameter_vector p = r.p;
      p[k] = at;
      std::int64_t evaluations = 0;
      const double ssr = solve_pinned(ctx, p, ones, j, evaluations).ssr;
      EXPECT_TRUE(support::rel_near(ssr, level, 1e-5)) << "parameter " << j + 1;
    }
  }
  // Km's limits lean upwards: farther above the estimate than below it, and both
  // above the symmetric ones.
  const profile_limit& km = r.profile[0];
  EXPECT_GT(km.high - r.p[0], 1.1 * (r.p[0] - km.low));
  EXPECT_GT(km.low, r.p[0] - r.cl[0]);
  EXPECT_GT(km.high, r.p[0] + r.cl[0]);
}

// Model 8 with its optimum on b = a: no point with b = a whose sum of squares is
// below the profile level lies beyond a closed limit. The points with b = a are
// model 7's: each parameter pinned just past each limit (b's with a = b), model 7
// solved for the others.
TEST(ProfileLimits, NoPointWithBEqualToABelowTheLevelLiesBeyondALimit) {
  constexpr double past = 1e-3;  // relative distance beyond the limit
  int checked = 0;
  for (const auto& run : model7_data_fitted_by_7_and_8().runs) {
    const model_result& m7 = run.record.fitted[0];
    const model_result& m8 = run.record.fitted[1];
    ASSERT_TRUE(m8.profiled);
    const int dof = run.ctx->rows - m8.n;
    const double level = m8.ssr * (1.0 + f1_quantile(0.95, dof) / dof);
    core::fit_context& ctx = run.select(m7);
    const models::parameter_box box = models::reachable_box(7);
    const std::vector<double> ones(static_cast<std::size_t>(ctx.rows), 1.0);
    for (int j = 0; j < m8.n; ++j) {
      const profile_limit& limits = m8.profile[static_cast<std::size_t>(j)];
      const auto pinned = static_cast<std::size_t>(j == 4 ? 3 : j);  // b = a pins a
      const std::pair<bool, double> sides[] = {{limits.low_open, limits.low * (1.0 - past)},
                                               {limits.high_open, limits.high * (1.0 + past)}};
      for (const auto& [open, at] : sides) {
        if (open || at < box.lo[pinned] || at > box.hi[pinned]) continue;
        parameter_vector p = m7.p;
        p[pinned] = at;
        std::int64_t evaluations = 0;
        const double ssr = solve_pinned(ctx, p, ones, static_cast<int>(pinned), evaluations).ssr;
        EXPECT_GE(ssr, level) << "parameter " << j + 1 << " at " << at;
        ++checked;
      }
    }
  }
  EXPECT_GE(checked, 20);
}

TEST(ProfileLimits, NotAvailableWithoutDegreesOfFreedom) {
  model_result r = example_fit().record.fitted[0];
  core::fit_context& ctx = example_fit().select(r);
  const int rows = ctx.rows;
  ctx.rows = 3;
  EXPECT_EQ(profile_limits(ctx, r), 0);
  ctx.rows = rows;
  EXPECT_FALSE(r.profiled);
  EXPECT_TRUE(std::isnan(r.profile[0].low));
}

}  // namespace
}  // namespace inhibra::fit
