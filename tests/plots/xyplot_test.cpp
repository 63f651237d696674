#include "plots/xyplot.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "plots/chart_recorder.hpp"
#include "strings/text.hpp"
#include "support/example_fit.hpp"

namespace inhibra::plots {
namespace {

// A context with the given [I] column; [S] = row number, rate = 2 * row.
std::unique_ptr<core::fit_context> with_inhibitor(const std::vector<double>& inh) {
  auto ctx = std::make_unique<core::fit_context>();
  for (std::size_t k = 0; k < inh.size() && k < core::max_rows; ++k) {
    ctx->substrate[k] = double(k + 1);
    ctx->inhibitor[k] = inh[k];
    ctx->rate[k] = 2.0 * double(k + 1);
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
      {std::vector<double>(core::max_rows, 3.0), {core::max_rows}},
  };
  for (const auto& e : cases)
    EXPECT_EQ(counts(group_curves(*with_inhibitor(e.inhibitor))), e.counts);
  // The legend of a curve carries the [I] of its last row; column k holds curve k.
  const auto first = group_curves(*with_inhibitor(cases[0].inhibitor));
  EXPECT_EQ(strings::trim(inhibitor_label(first.inhibitor[0])), "[I] = 1e-07");
  const auto blocks = group_curves(*with_inhibitor(cases[2].inhibitor));
  EXPECT_EQ(blocks.inhibitor[2], 0.0);
  EXPECT_EQ(blocks.xd[2 * 3 + 0], 7.0);  // the third block starts at row 7
  // A row count no array holds is cut at the last row.
  auto full = with_inhibitor(cases[3].inhibitor);
  full->idat = 5000;
  EXPECT_EQ(counts(group_curves(*full)), cases[3].counts);
}

TEST(XyGrouping, AtMostTenCurves) {
  std::vector<double> inh;
  for (int block = 0; block < 12; ++block)
    for (int r = 0; r < 5; ++r)
      inh.push_back(block);
  const auto ctx = with_inhibitor(inh);
  const auto c = group_curves(*ctx);
  EXPECT_EQ(counts(c), std::vector<int>(10, 5));
  EXPECT_EQ(c.inhibitor[9], 9.0);
  const auto chart = xy_chart(*ctx, models::held_model_rate(*ctx));
  ASSERT_TRUE(chart.has_value());
  ASSERT_EQ(chart->data.size(), 20u);
  EXPECT_EQ(chart->data[18].label, "[I] = 9");
  EXPECT_EQ(chart->data[18].color, curve_colors[9]);  // the tenth colour
  EXPECT_EQ(chart->data[18].marker, plotengine::marker_shape::star);
  EXPECT_EQ(chart->data[18].x.back(), 50.0f);  // rows 51..60 are left out
}

TEST(XyGrouping, NoRowsNoPlot) {
  core::fit_context ctx;
  testing::chart_recorder fe;
  ctx.fe = &fe;
  xyplot(ctx, models::held_model_rate(ctx));
  EXPECT_TRUE(fe.events.empty());
  EXPECT_FALSE(xy_chart(ctx, models::held_model_rate(ctx)).has_value());
  ctx.idat = -4;
  EXPECT_EQ(group_curves(ctx).ncurves, 0);
}

TEST(XyLegend, ShortestSinglePrecisionText) {
  EXPECT_EQ(inhibitor_label(100.0), strings::pad("[I] = 100", 50));
  for (const auto& [i, text] : {std::pair{0.0, "0"}, std::pair{0.5, "0.5"}, std::pair{12.5, "12.5"},
                                std::pair{0.1 + 1e-12, "0.1"}})  // the same float as 0.1
    EXPECT_EQ(strings::trim(inhibitor_label(i)), std::string("[I] = ") + text) << i;
}

// Model 4 (linear mixed inhibition) written out: the rate the curves must follow.
double mixed_rate(double s, double i) {
  const auto& p = support::example_fit_parameters;
  const double km = p[0], vmax = p[1], ki = p[2], a = p[3];
  return vmax * s / (km * (1.0 + i / ki) + s * (1.0 + i / (a * ki)));
}

// The rest of the chart (titles, colours, ranges, every point) is in the stored
// picture of the result plots; this ties the curves to the model's formula.
TEST(XyChart, CurvesAreTheModelRateFromZeroToTheAxisEndAndShownOnce) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  testing::chart_recorder fe;
  ctx.fe = &fe;
  xyplot(ctx, models::held_model_rate(ctx));
  EXPECT_EQ(fe.events, (std::vector<std::string>{"plot", "refresh"}));
  ASSERT_EQ(fe.charts.size(), 1u);
  ASSERT_EQ(fe.charts[0].data.size(), 8u);
  const double inhibitors[] = {0.0, 100.0, 200.0, 400.0};
  for (std::size_t k = 0; k < 4; ++k) {
    const auto& line = fe.charts[0].data[2 * k + 1];
    ASSERT_EQ(line.x.size(), 200u);
    EXPECT_FLOAT_EQ(line.x.back(), static_cast<float>(1.100000023841858 * 700.0));
    for (std::size_t j = 0; j < 200; ++j) {
      EXPECT_FLOAT_EQ(line.x[j], static_cast<float>(line.x.back() * double(j) / 199.0)) << j;
      EXPECT_FLOAT_EQ(line.y[j], static_cast<float>(mixed_rate(line.x[j], inhibitors[k]))) << j;
    }
  }
}

// Flagged rows get a black X over their dots, drawn last, with one legend entry;
// rows that are not plotted (none such here: past the data) are left out.
TEST(XyChart, FlaggedRowsAreMarkedWithACrossAndALegendEntry) {
  struct case_ {
    std::vector<std::int32_t> flagged;
    std::vector<float> x;  // [S] of the marked points
  };
  const case_ cases[] = {{{}, {}}, {{4}, {333.0f}}, {{2, 24, 25, 0}, {100.0f, 700.0f}}};
  for (const auto& c : cases) {
    core::fit_context ctx;
    support::fill_example_fit(ctx);
    ctx.flagged_rows = c.flagged;
    const auto chart = xy_chart(ctx, models::held_model_rate(ctx));
    ASSERT_TRUE(chart.has_value());
    if (c.x.empty()) {
      EXPECT_EQ(chart->data.size(), 8u);
      continue;
    }
    ASSERT_EQ(chart->data.size(), 9u);
    const auto& marks = chart->data.back();
    EXPECT_EQ(marks.drawer, plotengine::drawer_type::cross);
    EXPECT_EQ(marks.label, flagged_rows_label);
    EXPECT_EQ(marks.color.red + marks.color.green + marks.color.blue, 0);
    EXPECT_EQ(marks.x, c.x);
    for (std::size_t j = 0; j < marks.x.size(); ++j) {
      const auto row = static_cast<std::size_t>(c.flagged[j] - 1);
      EXPECT_FLOAT_EQ(marks.y[j], static_cast<float>(ctx.rate[row]));
    }
  }
}

TEST(XyChart, AllRatesZeroScaleAutomatically) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  ctx.rate.fill(0.0);
  const auto chart = xy_chart(ctx, models::held_model_rate(ctx));
  ASSERT_TRUE(chart.has_value());
  EXPECT_TRUE(chart->y_axis.auto_maximum && chart->y_axis.auto_minimum);
  EXPECT_FALSE(chart->x_axis.auto_maximum);
}

TEST(XyChart, LogarithmicRateAxisOnRequest) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  label_array labels, fitlabels;
  auto h = build_xy_plot(group_curves(ctx), labels, fitlabels, true, models::held_model_rate(ctx));
  ASSERT_TRUE(h);
  EXPECT_TRUE(h->chart.y_axis.logarithmic);
  EXPECT_EQ(h->chart.y_axis.log_base, 10.0f);
  EXPECT_EQ(strings::trim(labels[2]), "[I] = 100");  // the labels are written back
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
  EXPECT_TRUE(usable_limits(-1.0, 1.1e-16));
  for (const auto& [lo, hi] : {std::pair{0.0, 1e-16}, std::pair{0.0, -1e-16}, std::pair{2.0, 1.0},
                               std::pair{0.0, HUGE_VAL}, std::pair{std::nan(""), 1.0}})
    EXPECT_FALSE(usable_limits(lo, hi)) << lo << " " << hi;
}

}  // namespace
}  // namespace inhibra::plots
