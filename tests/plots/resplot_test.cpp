#include "plots/resplot.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "plots/chart_recorder.hpp"
#include "support/example_fit.hpp"
#include "support/numeric.hpp"

namespace inhibra::plots {
namespace {

using plotengine::drawer_type;
using plotengine::rgb;
using support::rel_near;

struct limits {
  bool ok;
  double ymin, ymax, tick;
};

limits scaled(const std::vector<double>& y) {
  limits l{false, -99.0, -99.0, -99.0};
  l.ok = scale_axis(static_cast<int>(y.size()), y, l.ymin, l.ymax, l.tick);
  return l;
}

// A context whose residuals (fitted - measured) are the given values.
std::unique_ptr<fit::fit_context> with_residuals(const std::vector<double>& r) {
  auto ctx = std::make_unique<fit::fit_context>();
  for (std::size_t k = 0; k < r.size(); ++k) {
    ctx->rate[k] = 0.05 * double(k + 1);
    ctx->fitted[k] = ctx->rate[k] + r[k];
  }
  ctx->idat = static_cast<int>(r.size());
  ctx->strmdl = "  2- Linear Mixed Inhib, LMx(Sp=Ca)I:   ";
  return ctx;
}

TEST(ScaleAxis, ResidualsFromMinus0004To0006) {
  const auto l = scaled({-0.004, 0.001, 0.006});
  ASSERT_TRUE(l.ok);
  EXPECT_TRUE(rel_near(l.tick, 0.0025, support::tight));
  EXPECT_EQ(l.ymin, 0.0);
  EXPECT_TRUE(rel_near(l.ymax, 0.0075, support::tight));
}

TEST(ScaleAxis, EqualValuesRoundFromZero) {
  // hi = lo: the lower end moves to 0; u = 0.1, tick = 4 * 0.5 = 2, hi2 = 2 * (2 + 1).
  const auto l = scaled({3.0, 3.0, 3.0});
  ASSERT_TRUE(l.ok);
  EXPECT_DOUBLE_EQ(l.tick, 2.0);
  EXPECT_EQ(l.ymin, 0.0);
  EXPECT_DOUBLE_EQ(l.ymax, 6.0);
}

TEST(ScaleAxis, NarrowRangesKeepTheirLowerEnd) {
  // p = 0.5^2: the lower end 37.5 rounds half away from zero to 35.
  const auto up = scaled({40.0, 50.0});
  ASSERT_TRUE(up.ok);
  EXPECT_DOUBLE_EQ(up.tick, 5.0);
  EXPECT_DOUBLE_EQ(up.ymin, 35.0);
  EXPECT_DOUBLE_EQ(up.ymax, 55.0);
  // Negative values work on the mirrored range.
  const auto down = scaled({-50.0, -40.0});
  ASSERT_TRUE(down.ok);
  EXPECT_DOUBLE_EQ(down.tick, 5.0);
  EXPECT_DOUBLE_EQ(down.ymin, -55.0);
  EXPECT_DOUBLE_EQ(down.ymax, -35.0);
}

TEST(ScaleAxis, AllNegativeReachesZero) {
  const auto l = scaled({-5.0, -1.0});
  ASSERT_TRUE(l.ok);
  EXPECT_DOUBLE_EQ(l.tick, 2.5);
  EXPECT_DOUBLE_EQ(l.ymin, -7.5);
  EXPECT_EQ(l.ymax, 0.0);
}

TEST(ScaleAxis, NoFiniteResult) {
  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& y :
       {std::vector<double>{}, std::vector<double>{-1.0, 0.0}, std::vector<double>{0.0, 0.0},
        std::vector<double>{1.0, inf}, std::vector<double>{std::nan(""), std::nan("")}}) {
    const auto l = scaled(y);
    EXPECT_FALSE(l.ok) << y.size();
    EXPECT_EQ(l.ymin, -99.0);  // untouched
  }
}

TEST(ScaleAxis, NaNValuesArePassedOver) {
  const auto l = scaled({std::nan(""), -0.004, 0.006});
  ASSERT_TRUE(l.ok);
  EXPECT_TRUE(rel_near(l.ymax, 0.0075, support::tight));
}

TEST(ResidualChart, RangeFromScaleAxis) {
  const auto ctx = with_residuals({-0.004, 0.001, 0.006});
  const auto chart = residual_chart(*ctx);
  ASSERT_TRUE(chart.has_value());
  // -1.05 U to U with U = 0.0075, the factor in single precision.
  EXPECT_FLOAT_EQ(chart->y_axis.minimum, -0.007875f);
  EXPECT_FLOAT_EQ(chart->y_axis.minimum, static_cast<float>(-1.0499999523162842 * 0.0075));
  EXPECT_FLOAT_EQ(chart->y_axis.maximum, 0.0075f);
  EXPECT_EQ(chart->x_axis.minimum, 0.0f);
  EXPECT_EQ(chart->x_axis.maximum, static_cast<float>(1.100000023841858 * 3.0));
  EXPECT_EQ(chart->title, "2- Linear Mixed Inhib, LMx(Sp=Ca)I:\r\nResiduals Plot");
  EXPECT_EQ(chart->y_label, "RESIDUAL");
  EXPECT_EQ(chart->x_label, "NUMBER");

  ASSERT_EQ(chart->data.size(), 2u);
  const auto& dots = chart->data[0];
  const auto& zero = chart->data[1];
  EXPECT_EQ(dots.drawer, drawer_type::big_dot);
  EXPECT_EQ(zero.drawer, drawer_type::line);
  EXPECT_EQ(dots.color, (rgb{0, 0, 255}));
  EXPECT_EQ(zero.color, (rgb{0, 0, 255}));
  EXPECT_TRUE(dots.label.empty());
  EXPECT_TRUE(zero.label.empty());
  EXPECT_EQ(dots.x, (std::vector<float>{1, 2, 3}));
  EXPECT_EQ(zero.x, dots.x);  // the zero line spans the residuals' numbers
  EXPECT_EQ(zero.y, (std::vector<float>{0, 0, 0}));
  EXPECT_FLOAT_EQ(dots.y[2], 0.006f);
}

TEST(ResidualChart, PerfectFitScalesAutomatically) {
  const auto ctx = with_residuals({0.0, 0.0, 0.0, 0.0});
  const auto chart = residual_chart(*ctx);
  ASSERT_TRUE(chart.has_value());
  EXPECT_TRUE(chart->y_axis.auto_minimum);
  EXPECT_TRUE(chart->y_axis.auto_maximum);
  // Largest residual exactly 0 with others below it: automatic as well.
  const auto below = residual_chart(*with_residuals({-0.5, 0.0}));
  ASSERT_TRUE(below.has_value());
  EXPECT_TRUE(below->y_axis.auto_maximum);
}

TEST(ResidualChart, FarNegativeResidualsWidenTheRange) {
  // scale_axis gives U = 0.5; -1 lies below -1.05 U and widens the range to 1.05 * -1.
  const auto ctx = with_residuals({-1.0, 0.006, 0.001});
  const auto chart = residual_chart(*ctx);
  ASSERT_TRUE(chart.has_value());
  EXPECT_EQ(chart->y_axis.maximum, 0.5f);
  EXPECT_FLOAT_EQ(chart->y_axis.minimum, static_cast<float>(-1.0499999523162842));
}

TEST(ResidualChart, AllResidualsNegative) {
  // U = 0: the range runs from below the lowest residual up to 0.
  const auto chart = residual_chart(*with_residuals({-5.0, -1.0}));
  ASSERT_TRUE(chart.has_value());
  EXPECT_EQ(chart->y_axis.maximum, 0.0f);
  EXPECT_FLOAT_EQ(chart->y_axis.minimum, static_cast<float>(-1.0499999523162842 * 5.0));
}

TEST(ResidualChart, ExampleFitHasOneDotPerObservation) {
  fit::fit_context ctx;
  support::fill_example_fit(ctx);
  const auto chart = residual_chart(ctx);
  ASSERT_TRUE(chart.has_value());
  ASSERT_EQ(chart->data[0].y.size(), 24u);
  for (std::size_t k = 0; k < 24; ++k)
    EXPECT_EQ(chart->data[0].y[k], static_cast<float>(ctx.fitted[k] - ctx.rate[k]));
  EXPECT_LT(chart->y_axis.minimum, 0.0f);
  EXPECT_GT(chart->y_axis.maximum, 0.0f);
}

TEST(ResidualChart, ResplotPausesThenShows) {
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
}

TEST(ResidualChart, NeverPastTheLastRow) {
  auto ctx = with_residuals(std::vector<double>(fit::max_rows, 0.01));
  ctx->idat = 2000;
  const auto chart = residual_chart(*ctx);
  ASSERT_TRUE(chart.has_value());
  EXPECT_EQ(chart->data[0].x.size(), std::size_t(fit::max_rows));
}

}  // namespace
}  // namespace inhibra::plots
