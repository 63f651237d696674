#include "plots/mc50plot.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "plots/chart_recorder.hpp"
#include "support/example_fit.hpp"

namespace inhibra::plots {
namespace {

TEST(Mc50Chart, RangeDoesNotDependOnTheOrderAndZeroValuesScaleAutomatically) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  const auto in_order = mc50_chart(ctx);
  std::reverse(ctx.mc50_value.begin(), ctx.mc50_value.end());  // the smallest last
  const auto reversed = mc50_chart(ctx);
  ASSERT_TRUE(in_order.has_value() && reversed.has_value());
  EXPECT_EQ(reversed->y_axis.minimum, in_order->y_axis.minimum);
  EXPECT_EQ(reversed->y_axis.maximum, in_order->y_axis.maximum);

  ctx.mc50_value.fill(0.0);
  const auto chart = mc50_chart(ctx);
  ASSERT_TRUE(chart.has_value());
  EXPECT_TRUE(chart->y_axis.auto_minimum && chart->y_axis.auto_maximum);
  EXPECT_FALSE(chart->x_axis.auto_maximum);

  ctx.mc50_substrate.fill(0.0);
  ctx.mc50_value.fill(std::nan(""));
  const auto empty = mc50_chart(ctx);
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->x_axis.auto_maximum);
  EXPECT_TRUE(empty->y_axis.auto_maximum);
}

TEST(Mc50Chart, OnlyOneCurveIsDrawn) {
  const std::vector<double> x{1, 2, 3, 4}, y{5, 6, 7, 8};
  label_array labels, fitlabels;
  EXPECT_FALSE(build_mc50_plot(x, y, 4, 0, labels, fitlabels, false));
  testing::chart_recorder fe;
  plotmc50(&fe, x, y, 2, 2, labels, fitlabels, false);
  EXPECT_TRUE(fe.events.empty());
  plotmc50(&fe, x, y, 4, 1, labels, fitlabels, true);
  ASSERT_EQ(fe.charts.size(), 1u);
  EXPECT_TRUE(fe.charts[0].y_axis.logarithmic);
  // The fit's table is shown as one curve on linear axes.
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  ctx.fe = &fe;
  mc50plot(ctx);
  EXPECT_EQ(fe.events, (std::vector<std::string>{"plot", "refresh", "plot", "refresh"}));
  ASSERT_EQ(fe.charts.size(), 2u);
  EXPECT_FALSE(fe.charts[1].y_axis.logarithmic);
}

}  // namespace
}  // namespace inhibra::plots
