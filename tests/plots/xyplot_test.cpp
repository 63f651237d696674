#include "plots/xyplot.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "plots/chart_recorder.hpp"
#include "strings/text.hpp"
#include "support/example_fit.hpp"
#include "support/numeric.hpp"

namespace inhibra::plots {
namespace {

using plotengine::drawer_type;
using plotengine::rgb;

// A context with the given [I] column; [S] = row number, rate = 2 * row,
// fitted = 2 * row + 1.
std::unique_ptr<core::fit_context> with_inhibitor(const std::vector<double>& inh) {
  auto ctx = std::make_unique<core::fit_context>();
  for (std::size_t k = 0; k < inh.size() && k < core::max_rows; ++k) {
    ctx->substrate[k] = double(k + 1);
    ctx->inhibitor[k] = inh[k];
    ctx->rate[k] = 2.0 * double(k + 1);
    ctx->fitted[k] = 2.0 * double(k + 1) + 1.0;
  }
  ctx->idat = static_cast<int>(inh.size());
  return ctx;
}

std::vector<int> counts(const xy_curves& c) {
  return {c.n.begin(), c.n.begin() + c.ncurves};
}

TEST(XyGrouping, NewCurveWhereInhibitorMovesMoreThan1eMinus7FromTheCurvesFirstRow) {
  struct expectation {
    std::vector<double> inhibitor;
    std::vector<int> counts;
  };
  const expectation cases[] = {
      {{0.0, 0.5e-7, 0.9e-7, 1e-7, 2.5e-7, 2.5e-7}, {4, 2}},
      {{0.0, 0.6e-7, 1.2e-7}, {2, 1}},           // each step is small, the third row is not
      {{0, 0, 0, 5, 5, 5, 0, 0, 0}, {3, 3, 3}},  // a block that comes back is a new curve
  };
  for (const auto& e : cases) {
    const auto c = group_curves(*with_inhibitor(e.inhibitor));
    EXPECT_EQ(counts(c), e.counts);
  }
  // The legend of a curve carries the [I] of its last row; column k holds curve k.
  const auto first = group_curves(*with_inhibitor(cases[0].inhibitor));
  EXPECT_EQ(strings::trim(inhibitor_label(first.inhibitor[0])), "[I] =1e-07");
  const auto blocks = group_curves(*with_inhibitor(cases[2].inhibitor));
  EXPECT_EQ(blocks.inhibitor[2], 0.0);
  EXPECT_EQ(blocks.xd[2 * 3 + 0], 7.0);  // the third block starts at row 7
}

TEST(XyGrouping, AtMostTenCurves) {
  std::vector<double> inh;
  for (int block = 0; block < 12; ++block)
    for (int r = 0; r < 5; ++r)
      inh.push_back(block);
  const auto ctx = with_inhibitor(inh);
  const auto c = group_curves(*ctx);
  ASSERT_EQ(c.ncurves, 10);
  EXPECT_EQ(counts(c), std::vector<int>(10, 5));
  EXPECT_EQ(c.inhibitor[9], 9.0);
  const auto chart = xy_chart(*ctx, models::held_model_rate(*ctx));
  ASSERT_TRUE(chart.has_value());
  ASSERT_EQ(chart->data.size(), 20u);
  EXPECT_EQ(chart->data[18].label, "[I] =9");
  EXPECT_EQ(chart->data[18].color, (rgb{127, 127, 127}));  // the tenth colour
  EXPECT_EQ(chart->data[18].x.back(), 50.0f);              // rows 51..60 are left out
}

TEST(XyGrouping, NeverReadsPastTheLastRow) {
  auto ctx = with_inhibitor(std::vector<double>(core::max_rows, 3.0));
  ctx->idat = 5000;  // a count no array holds
  const auto c = group_curves(*ctx);
  EXPECT_EQ(counts(c), (std::vector<int>{core::max_rows}));
  ctx->idat = 1;
  EXPECT_EQ(counts(group_curves(*ctx)), (std::vector<int>{1}));
}

TEST(XyGrouping, NoRowsNoPlot) {
  core::fit_context ctx;
  testing::chart_recorder fe;
  ctx.fe = &fe;
  EXPECT_EQ(group_curves(ctx).ncurves, 0);
  xyplot(ctx, models::held_model_rate(ctx));
  EXPECT_TRUE(fe.events.empty());
  EXPECT_FALSE(xy_chart(ctx, models::held_model_rate(ctx)).has_value());
  ctx.idat = -4;
  EXPECT_EQ(group_curves(ctx).ncurves, 0);
}

TEST(XyLegend, ShortestSinglePrecisionText) {
  EXPECT_EQ(inhibitor_label(100.0), strings::pad("[I] =100", 50));
  EXPECT_EQ(strings::trim(inhibitor_label(0.0)), "[I] =0");
  EXPECT_EQ(strings::trim(inhibitor_label(0.5)), "[I] =0.5");
  EXPECT_EQ(strings::trim(inhibitor_label(0.1)), "[I] =0.1");
  EXPECT_EQ(strings::trim(inhibitor_label(12.5)), "[I] =12.5");
  EXPECT_EQ(strings::trim(inhibitor_label(0.1 + 1e-12)), "[I] =0.1");  // same float
}

// Model 4 (linear mixed inhibition) written out: the rate the curves must follow.
double mixed_rate(double s, double i) {
  const auto& p = support::example_fit_parameters;
  const double km = p[0], vmax = p[1], ki = p[2], a = p[3];
  return vmax * s / (km * (1.0 + i / ki) + s * (1.0 + i / (a * ki)));
}

// The rest of the chart is in the stored picture of the result plots.
TEST(XyChart, CurvesAreTheModelRateFromZeroToTheAxisEnd) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  const auto chart = xy_chart(ctx, models::held_model_rate(ctx));
  ASSERT_TRUE(chart.has_value());
  const double inhibitors[] = {0.0, 100.0, 200.0, 400.0};
  const double s_end = 1.100000023841858 * 700.0;
  ASSERT_EQ(chart->data.size(), 8u);
  for (std::size_t k = 0; k < 4; ++k) {
    const auto& dots = chart->data[2 * k];
    const auto& line = chart->data[2 * k + 1];
    ASSERT_EQ(dots.y.size(), 6u);
    // The model's rate at 200 evenly spaced [S] from 0 to the axis' right end; it
    // passes through the fitted rates at the measured [S].
    ASSERT_EQ(line.x.size(), 200u);
    ASSERT_EQ(line.y.size(), 200u);
    EXPECT_EQ(line.x.front(), 0.0f);
    EXPECT_EQ(line.y.front(), 0.0f);
    EXPECT_FLOAT_EQ(line.x.back(), static_cast<float>(s_end));
    for (std::size_t j = 1; j < 200; ++j) {
      const double s = s_end * static_cast<double>(j) / 199.0;
      EXPECT_FLOAT_EQ(line.x[j], static_cast<float>(s)) << j;
      EXPECT_FLOAT_EQ(line.y[j], static_cast<float>(mixed_rate(s, inhibitors[k]))) << j;
      EXPECT_GT(line.x[j], line.x[j - 1]);
    }
    const double s50 = ctx.substrate[6 * k + 1];
    EXPECT_NEAR(mixed_rate(s50, inhibitors[k]), ctx.fitted[6 * k + 1], 1e-12);
  }
}

TEST(XyChart, AllRatesZeroScaleAutomatically) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  ctx.rate.fill(0.0);
  const auto chart = xy_chart(ctx, models::held_model_rate(ctx));
  ASSERT_TRUE(chart.has_value());
  EXPECT_TRUE(chart->y_axis.auto_maximum);
  EXPECT_TRUE(chart->y_axis.auto_minimum);
  EXPECT_FALSE(chart->x_axis.auto_maximum);
}

TEST(XyChart, XyplotShowsTheChartOnce) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  testing::chart_recorder fe;
  ctx.fe = &fe;
  xyplot(ctx, models::held_model_rate(ctx));
  EXPECT_EQ(fe.events, (std::vector<std::string>{"plot", "refresh"}));
  ASSERT_EQ(fe.charts.size(), 1u);
  EXPECT_EQ(fe.charts[0].data.size(), 8u);
}

TEST(XyChart, LogarithmicRateAxisOnRequest) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  auto c = group_curves(ctx);
  label_array labels, fitlabels;
  auto h = build_xy_plot(c, labels, fitlabels, true, models::held_model_rate(ctx));
  ASSERT_TRUE(h);
  EXPECT_TRUE(h->chart.y_axis.logarithmic);
  EXPECT_EQ(h->chart.y_axis.log_base, 10.0f);
  EXPECT_EQ(strings::trim(labels[2]), "[I] =100");  // the labels are written back
  // The rate at [S] = 0 has no logarithm: the curve starts at the next [S].
  const auto& line = h->chart.data[1];
  ASSERT_EQ(line.x.size(), 199u);
  EXPECT_GT(line.x.front(), 0.0f);
  EXPECT_GT(line.y.front(), 0.0f);
}

TEST(ModelCurve, PointsTheModelCannotGiveAreLeftOut) {
  // A rate with a pole: the line joins only the finite values, in [S] order.
  const rate_function pole = [](double s, double i) { return s == 0.0 ? NAN : i / s; };
  const model_curve curve = sample_model_curve(pole, 2.0, 199.0);
  ASSERT_EQ(curve.x.size(), 199u);
  EXPECT_EQ(curve.x.front(), 1.0);
  EXPECT_EQ(curve.y.front(), 2.0);
  EXPECT_EQ(curve.x.back(), 199.0);
  EXPECT_TRUE(sample_model_curve(rate_function(), 0.0, 1.0).x.empty());
  // The held model is evaluated with the parameters as they were when it was taken.
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  const rate_function held = models::held_model_rate(ctx);
  ctx.variables.fill(1.0);
  EXPECT_DOUBLE_EQ(held(250.0, 100.0), mixed_rate(250.0, 100.0));
}

TEST(Limits, UsableOnlyWhenFiniteOrderedAndNotTiny) {
  EXPECT_TRUE(usable_limits(0.0, 1.0));
  EXPECT_FALSE(usable_limits(0.0, 1e-16));
  EXPECT_FALSE(usable_limits(0.0, -1e-16));
  EXPECT_TRUE(usable_limits(-1.0, 1.1e-16));
  EXPECT_FALSE(usable_limits(0.0, std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(usable_limits(std::nan(""), 1.0));
  EXPECT_FALSE(usable_limits(2.0, 1.0));
}

}  // namespace
}  // namespace inhibra::plots
