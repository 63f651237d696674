#include "plots/mc50plot.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "plots/chart_recorder.hpp"
#include "support/example_fit.hpp"

namespace inhibra::plots {
namespace {

using plotengine::drawer_type;
using plotengine::rgb;

TEST(Mc50Chart, RangesFromTheTable) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  const auto chart = mc50_chart(ctx);
  ASSERT_TRUE(chart.has_value());
  const double xmin = *std::min_element(ctx.mc50_substrate.begin(), ctx.mc50_substrate.end());
  const double xmax = *std::max_element(ctx.mc50_substrate.begin(), ctx.mc50_substrate.end());
  const double ymin = *std::min_element(ctx.mc50_value.begin(), ctx.mc50_value.end());
  const double ymax = *std::max_element(ctx.mc50_value.begin(), ctx.mc50_value.end());
  // The factors are single-precision values.
  EXPECT_EQ(chart->x_axis.minimum, static_cast<float>(0.20000000298023224 * xmin));
  EXPECT_EQ(chart->x_axis.maximum, static_cast<float>(1.100000023841858 * xmax));
  EXPECT_EQ(chart->y_axis.minimum, static_cast<float>(0.800000011920929 * ymin));
  EXPECT_EQ(chart->y_axis.maximum, static_cast<float>(1.100000023841858 * ymax));
  EXPECT_FALSE(chart->x_axis.auto_minimum);
  EXPECT_FALSE(chart->y_axis.auto_maximum);
}

TEST(Mc50Chart, DotsLineAndTheFormulaInTheLegend) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  ctx.strmdl = "  " + ctx.strmdl;
  const auto chart = mc50_chart(ctx);
  ASSERT_TRUE(chart.has_value());
  EXPECT_EQ(chart->title, "4- Linear Mixed Inhib, LMx(Sp>Ca)I:");
  EXPECT_EQ(chart->y_label, "MC50");
  EXPECT_EQ(chart->x_label, "[SUBSTRATE]");
  ASSERT_EQ(chart->data.size(), 2u);
  EXPECT_EQ(chart->data[0].drawer, drawer_type::big_dot);
  EXPECT_EQ(chart->data[0].label, "MC50 = alpha*Ki*(Km + [S]) / (alpha*Km + [S])");
  EXPECT_EQ(chart->data[1].drawer, drawer_type::line);
  EXPECT_TRUE(chart->data[1].label.empty());
  for (const auto& s : chart->data) {
    EXPECT_EQ(s.color, (rgb{0, 0, 255}));
    ASSERT_EQ(s.x.size(), 7u);
    for (std::size_t j = 0; j < 7; ++j) {
      EXPECT_EQ(s.x[j], static_cast<float>(ctx.mc50_substrate[j]));
      EXPECT_EQ(s.y[j], static_cast<float>(ctx.mc50_value[j]));
    }
  }
}

TEST(Mc50Chart, ZeroValuesScaleAutomatically) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
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
  EXPECT_FALSE(build_mc50_plot(x, y, 2, 2, labels, fitlabels, false));
  EXPECT_FALSE(build_mc50_plot(x, y, 4, 0, labels, fitlabels, false));
  testing::chart_recorder fe;
  plotmc50(&fe, x, y, 2, 2, labels, fitlabels, false);
  EXPECT_TRUE(fe.events.empty());
  plotmc50(&fe, x, y, 4, 1, labels, fitlabels, true);
  ASSERT_EQ(fe.charts.size(), 1u);
  EXPECT_TRUE(fe.charts[0].y_axis.logarithmic);
}

TEST(Mc50Chart, Mc50plotShowsTheChart) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  testing::chart_recorder fe;
  ctx.fe = &fe;
  mc50plot(ctx);
  EXPECT_EQ(fe.events, (std::vector<std::string>{"plot", "refresh"}));
  ASSERT_EQ(fe.charts.size(), 1u);
  EXPECT_FALSE(fe.charts[0].y_axis.logarithmic);
}

}  // namespace
}  // namespace inhibra::plots
