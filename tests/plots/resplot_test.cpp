#include "plots/resplot.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "plots/chart_recorder.hpp"
#include "support/numeric.hpp"

namespace inhibra::plots {
namespace {

using support::rel_near;

// A context whose residuals (fitted - measured) are the given values.
std::unique_ptr<core::fit_context> with_residuals(const std::vector<double>& r) {
  auto ctx = std::make_unique<core::fit_context>();
  for (std::size_t k = 0; k < r.size(); ++k) {
    ctx->rate[k] = 0.05 * double(k + 1);
    ctx->fitted[k] = ctx->rate[k] + r[k];
  }
  ctx->idat = static_cast<int>(r.size());
  ctx->strmdl = "  2- Linear Mixed Inhib, LMx(Sp=Ca)I:   ";
  return ctx;
}

TEST(ScaleAxis, RoundsTheRangeToWholeTicks) {
  const double nan = std::nan("");
  struct expectation {
    std::vector<double> y;
    double tick, ymin, ymax;
  };
  const expectation cases[] = {
      {{-0.004, 0.001, 0.006}, 0.0025, 0.0, 0.0075},
      {{nan, -0.004, 0.006}, 0.0025, 0.0, 0.0075},  // NaN values are passed over
      // hi = lo: the lower end moves to 0; u = 0.1, tick = 4 * 0.5 = 2, hi2 = 2 * (2 + 1).
      {{3.0, 3.0, 3.0}, 2.0, 0.0, 6.0},
      // Narrow ranges keep their lower end: p = 0.5^2, 37.5 rounds half away from
      // zero to 35; negative values work on the mirrored range.
      {{40.0, 50.0}, 5.0, 35.0, 55.0},
      {{-50.0, -40.0}, 5.0, -55.0, -35.0},
      {{-5.0, -1.0}, 2.5, -7.5, 0.0},  // all negative: up to zero
  };
  for (const auto& e : cases) {
    SCOPED_TRACE(e.y.back());
    double ymin = 0, ymax = 0, tick = 0;
    ASSERT_TRUE(scale_axis(static_cast<int>(e.y.size()), e.y, ymin, ymax, tick));
    EXPECT_TRUE(rel_near(tick, e.tick, support::tight));
    EXPECT_TRUE(rel_near(ymin, e.ymin, support::tight));
    EXPECT_TRUE(rel_near(ymax, e.ymax, support::tight));
  }
}

TEST(ScaleAxis, NoFiniteResultLeavesTheOutputsAlone) {
  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& y :
       {std::vector<double>{}, std::vector<double>{-1.0, 0.0}, std::vector<double>{0.0, 0.0},
        std::vector<double>{1.0, inf}, std::vector<double>{std::nan(""), std::nan("")}}) {
    double ymin = -99.0, ymax = -99.0, tick = -99.0;
    EXPECT_FALSE(scale_axis(static_cast<int>(y.size()), y, ymin, ymax, tick)) << y.size();
    EXPECT_EQ(ymin, -99.0);
  }
}

// The rest of the chart (title, points, the zero line) is in the stored picture of the
// result plots.
TEST(ResidualChart, RangeFromMinus105UToUOrAutomatic) {
  // With U from scale_axis: a residual below -1.05 U widens the range to 1.05 times
  // it; U = 0 (all negative) ends the range at 0; a largest residual of exactly 0
  // with none above scales automatically. The factor is in single precision.
  const float f105 = static_cast<float>(-1.0499999523162842);
  struct expectation {
    std::vector<double> residuals;
    float minimum, maximum;
  };
  const expectation cases[] = {
      {{-0.004, 0.001, 0.006}, f105 * 0.0075f, 0.0075f},
      {{-1.0, 0.006, 0.001}, f105, 0.5f},
      {{-5.0, -1.0}, f105 * 5.0f, 0.0f},
      {{0.0, 0.0, 0.0, 0.0}, NAN, NAN},
      {{-0.5, 0.0}, NAN, NAN},
  };
  for (const auto& e : cases) {
    SCOPED_TRACE(e.residuals.front());
    const auto chart = residual_chart(*with_residuals(e.residuals));
    ASSERT_TRUE(chart.has_value());
    EXPECT_EQ(chart->y_axis.auto_minimum && chart->y_axis.auto_maximum, std::isnan(e.minimum));
    if (std::isnan(e.minimum)) continue;
    EXPECT_FLOAT_EQ(chart->y_axis.minimum, e.minimum);
    EXPECT_FLOAT_EQ(chart->y_axis.maximum, e.maximum);
  }
}

TEST(ResidualChart, ResplotPausesThenShowsTheRowsThereAre) {
  auto ctx = with_residuals({-0.004, 0.001, 0.006});
  testing::chart_recorder fe;
  ctx->fe = &fe;
  resplot(*ctx);
  EXPECT_EQ(fe.events, (std::vector<std::string>{"idle 500", "plot", "refresh"}));
  ctx->idat = 0;
  fe.events.clear();
  resplot(*ctx);
  EXPECT_TRUE(fe.events.empty());
  EXPECT_FALSE(residual_chart(*ctx).has_value());
  const std::vector<double> x{1.0, 2.0}, r{0.1, -0.1};
  EXPECT_TRUE(build_residual_plot("", x, r, -3)->chart.data.at(0).x.empty());
  // Never past the last row.
  ctx = with_residuals(std::vector<double>(core::max_rows, 0.01));
  ctx->idat = 2000;
  const auto chart = residual_chart(*ctx);
  ASSERT_TRUE(chart.has_value());
  EXPECT_EQ(chart->data[0].x.size(), std::size_t(core::max_rows));
}

}  // namespace
}  // namespace inhibra::plots
