#include "plots/xyplot.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "plotengine/recording_painter.hpp"
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

TEST(Replicates, SummarisedPerExactSubstrateInTheOrderFirstSeen) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct case_ {
    std::vector<double> s, v;
    replicate_summary want;
  };
  const case_ cases[] = {
      // A triplicate and a single rate: the single has no SD.
      {{1, 1, 1, 2}, {1, 2, 3, 5}, {{1, 2}, {2, 5}, {1, nan}, {3, 1}}},
      // Replicates apart in the table, [S] not in order; equal rates give SD 0.
      {{4, 2, 4, 2}, {6, 1, 8, 1}, {{4, 2}, {7, 1}, {std::sqrt(2.0), 0}, {2, 2}}},
      // [S] that differ in the last digit are not replicates.
      {{0.1, 0.1 + 1e-15}, {1, 2}, {{0.1, 0.1 + 1e-15}, {1, 2}, {nan, nan}, {1, 1}}},
      {{}, {}, {}},
  };
  for (const auto& c : cases) {
    const auto got = summarise_replicates(c.s, c.v);
    EXPECT_EQ(got.substrate, c.want.substrate);
    EXPECT_EQ(got.count, c.want.count);
    ASSERT_EQ(got.mean.size(), c.want.mean.size());
    ASSERT_EQ(got.sd.size(), c.want.sd.size());
    for (std::size_t g = 0; g < got.mean.size(); ++g) {
      EXPECT_DOUBLE_EQ(got.mean[g], c.want.mean[g]) << g;
      if (std::isnan(c.want.sd[g])) {
        EXPECT_TRUE(std::isnan(got.sd[g])) << g;
      } else {
        EXPECT_NEAR(got.sd[g], c.want.sd[g], 1e-15) << g;
      }
    }
  }
}

// Two curves: [I] = 0 in triplicate at [S] 100 and 200 with single rows around them,
// [I] = 50 without replicates. As means, the triplicates become one dot with an error
// bar each; the curve without replicates is drawn as before; the model lines stay.
TEST(Replicates, MeansWithStandardDeviationBarsOnRequest) {
  const std::vector<std::array<double, 3>> rows{
      {50, 0, 0.030},   {100, 0, 0.050},  {100, 0, 0.054}, {100, 0, 0.058}, {200, 0, 0.080},
      {200, 0, 0.070},  {200, 0, 0.075},  {400, 0, 0.100}, {50, 50, 0.020}, {100, 50, 0.035},
      {200, 50, 0.055}, {400, 50, 0.075}, {800, 50, 0.09}};
  core::fit_context ctx;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    ctx.substrate[k] = rows[k][0];
    ctx.inhibitor[k] = rows[k][1];
    ctx.rate[k] = rows[k][2];
  }
  ctx.idat = static_cast<int>(rows.size());
  const rate_function rate = [](double s, double i) { return 0.12 * s / (150.0 + s + i); };
  const auto points = xy_chart(ctx, rate);
  ctx.replicate_means = true;
  const auto means = xy_chart(ctx, rate);
  ASSERT_TRUE(points && means);
  ASSERT_EQ(points->data.size(), 4u);
  ASSERT_EQ(means->data.size(), 5u);  // one series of bars, for the curve with replicates

  const auto& dots = means->data[0];
  EXPECT_EQ(dots.x, (std::vector<float>{50, 100, 200, 400}));
  const std::vector<double> mean{0.030, 0.054, 0.075, 0.100};
  for (std::size_t g = 0; g < mean.size(); ++g)
    EXPECT_FLOAT_EQ(dots.y[g], static_cast<float>(mean[g])) << g;
  EXPECT_EQ(dots.label, "[I] = 0, mean \u00b1 SD");
  EXPECT_EQ(means->data[2].label, "[I] = 50, mean \u00b1 SD");
  EXPECT_EQ(points->data[0].label, "[I] = 0");
  EXPECT_EQ(means->data[2].x, points->data[2].x);  // no replicates: the same dots
  for (const std::size_t line : {1u, 3u}) {
    EXPECT_EQ(means->data[line].x, points->data[line].x) << line;
    EXPECT_EQ(means->data[line].y, points->data[line].y) << line;
  }

  const auto& bars = means->data[4];
  EXPECT_EQ(bars.drawer, plotengine::drawer_type::line);
  EXPECT_EQ(bars.label, "");
  EXPECT_EQ(bars.color.red, dots.color.red);
  EXPECT_EQ(bars.color.green, dots.color.green);
  EXPECT_EQ(bars.color.blue, dots.color.blue);
  ASSERT_EQ(bars.x.size(), 6u);
  EXPECT_EQ(bars.x[0], 100.0f);
  EXPECT_EQ(bars.x[3], 200.0f);
  EXPECT_FLOAT_EQ(bars.y[0], 0.050f);  // 0.054 -+ 0.004
  EXPECT_FLOAT_EQ(bars.y[1], 0.058f);
  EXPECT_FLOAT_EQ(bars.y[3], 0.070f);  // 0.075 -+ 0.005
  EXPECT_FLOAT_EQ(bars.y[4], 0.080f);
  EXPECT_TRUE(std::isnan(bars.y[2]) && std::isnan(bars.y[5]));

  // Drawn: each bar is one vertical stroke in the curve's colour, and nothing joins
  // one bar to the next.
  plotengine::testing::recording_painter p;
  ASSERT_TRUE(means->draw(p, {0, 0, 800, 600}));
  const auto pass = means->prepare(p, {0, 0, 800, 600});
  ASSERT_TRUE(pass.has_value());
  int strokes = 0;
  for (const auto& shape : p.shapes) {
    if (shape.kind != plotengine::testing::recorded_shape::line || !shape.clipped ||
        shape.color.red != bars.color.red || shape.color.green != bars.color.green ||
        shape.color.blue != bars.color.blue) {
      continue;
    }
    const bool at_bar = std::fabs(shape.a - pass->screen_x(100.0f)) < 0.5f ||
                        std::fabs(shape.a - pass->screen_x(200.0f)) < 0.5f;
    if (at_bar && std::fabs(shape.a - shape.c) < 0.01f && std::fabs(shape.b - shape.d) > 1.0f) {
      ++strokes;
    }
  }
  EXPECT_EQ(strokes, 2);
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
