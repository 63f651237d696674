#include "plots/resplot.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "plots/chart_recorder.hpp"
#include "strings/text.hpp"
#include "support/numeric.hpp"

namespace inhibra::plots {
namespace {

using support::rel_near;

// A context whose residuals (observed - fitted) are the given values, in two curves
// ([I] = 0 for the first half, 5 for the rest) at [S] = 10, 20, ...
std::unique_ptr<core::fit_context> with_residuals(const std::vector<double>& r) {
  auto ctx = std::make_unique<core::fit_context>();
  for (std::size_t k = 0; k < r.size(); ++k) {
    ctx->substrate[k] = 10.0 * double(k + 1);
    ctx->inhibitor[k] = k < r.size() / 2 ? 0.0 : 5.0;
    ctx->fitted[k] = 0.05 * double(k + 1);
    ctx->rate[k] = ctx->fitted[k] + r[k];
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

// The y axis is symmetric about 0 with scale_axis' limit for the largest residual
// size; automatic when every residual is 0.
TEST(ResidualChart, RangeSymmetricAboutZeroOrAutomatic) {
  struct expectation {
    std::vector<double> residuals;
    float limit;  // NaN: automatic
  };
  const expectation cases[] = {
      {{-0.004, 0.001, 0.006, 0.002}, 0.0075f},
      {{-1.0, 0.006, 0.001, 0.0}, 1.5f},
      {{-5.0, -1.0}, 7.5f},
      {{0.0, 0.0, 0.0, 0.0}, NAN},
  };
  for (const auto& e : cases) {
    SCOPED_TRACE(e.residuals.front());
    const auto chart = residual_chart(*with_residuals(e.residuals));
    ASSERT_TRUE(chart.has_value());
    EXPECT_EQ(chart->y_axis.auto_minimum && chart->y_axis.auto_maximum, std::isnan(e.limit));
    if (std::isnan(e.limit)) continue;
    EXPECT_FLOAT_EQ(chart->y_axis.maximum, e.limit);
    EXPECT_FLOAT_EQ(chart->y_axis.minimum, -e.limit);
  }
}

// Each curve is a series of its own colour, marker and legend entry; its points lie at
// the rows' [S] (or fitted rates) with observed - fitted as y; a zero line spans the x
// axis under them.
TEST(ResidualChart, PointsPerCurveAgainstSubstrateOrFittedRate) {
  const std::vector<double> r{-0.004, 0.001, 0.006, 0.002};
  const auto ctx = with_residuals(r);
  for (const auto against : {residual_axis::substrate, residual_axis::fitted_rate}) {
    const auto chart = residual_chart(*ctx, against);
    ASSERT_TRUE(chart.has_value());
    ASSERT_EQ(chart->data.size(), 3u);
    const auto& zero = chart->data[0];
    EXPECT_EQ(zero.drawer, plotengine::drawer_type::line);
    EXPECT_EQ(zero.y, (std::vector<float>{0.0f, 0.0f}));
    EXPECT_EQ(zero.x.front(), 0.0f);
    EXPECT_EQ(zero.x.back(), chart->x_axis.maximum);
    std::size_t row = 0;
    for (std::size_t k = 1; k <= 2; ++k) {
      const auto& s = chart->data[k];
      EXPECT_EQ(s.color, curve_colors[k - 1]);
      EXPECT_EQ(s.marker, curve_markers[k - 1]);
      EXPECT_EQ(strings::trim(s.label), k == 1 ? "[I] = 0" : "[I] = 5");
      ASSERT_EQ(s.x.size(), 2u);
      for (std::size_t i = 0; i < 2; ++i, ++row) {
        const double x =
            against == residual_axis::substrate ? ctx->substrate[row] : ctx->fitted[row];
        EXPECT_FLOAT_EQ(s.x[i], static_cast<float>(x));
        EXPECT_NEAR(s.y[i], r[row], 1e-7);
      }
    }
    EXPECT_EQ(chart->x_label,
              against == residual_axis::substrate ? substrate_title : fitted_rate_title);
    EXPECT_EQ(chart->y_label, plots::residual_title);
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
  // Never past the last row.
  ctx = with_residuals(std::vector<double>(core::max_rows, 0.01));
  ctx->idat = 2000;
  const auto chart = residual_chart(*ctx);
  ASSERT_TRUE(chart.has_value());
  std::size_t points = 0;
  for (std::size_t k = 1; k < chart->data.size(); ++k)
    points += chart->data[k].x.size();
  EXPECT_EQ(points, std::size_t(core::max_rows));
}

}  // namespace
}  // namespace inhibra::plots
