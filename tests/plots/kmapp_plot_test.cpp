#include "plots/kmapp_plot.hpp"

#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

#include "plotengine/recording_painter.hpp"
#include "plots/chart_recorder.hpp"
#include "plots/figure_style.hpp"
#include "support/numeric.hpp"

namespace inhibra::plots {
namespace {

using support::rel_near;

constexpr double km = 2.0, ki = 2.0;

std::array<double, core::max_par> params(double a, double b = 0.25) {
  return {km, 10.0, ki, a, b};
}

struct curve {
  std::vector<double> i, k;
};

curve curve_of(int model, double a, double b = 0.25) {
  curve c;
  const auto v = params(a, b);
  EXPECT_TRUE(kmapp_curve(model, v, c.i, c.k));
  return c;
}

// The factors of the other models show in the curves below.
TEST(KmappCurve, FactorOfModelOneAndNoModel) {
  const auto v = params(0.4);
  double a = 0.0;
  ASSERT_TRUE(kmapp_factor(1, v, a));
  EXPECT_EQ(a, 4.5e15);
  EXPECT_FALSE(kmapp_factor(0, v, a));
  EXPECT_FALSE(kmapp_factor(11, v, a));
  std::vector<double> i, k;
  EXPECT_FALSE(kmapp_curve(11, v, i, k));
  EXPECT_TRUE(i.empty());
}

TEST(KmappCurve, HundredPointsFromKmOver25To4KmPerModel) {
  // Km (1 + I/Ki) / (1 + I/(a Ki)) with Km = 2, Ki = 2, worked by hand at I = 2
  // (point 25) and I = 8 (the last): model 1 rises linearly, 2 and 6 are flat,
  // a < 1 falls towards a Km and a > 1 rises towards it; P5 is never used.
  struct expectation {
    int model;
    double a, at2, at8;
  };
  const expectation cases[] = {
      {1, 0.3, 4.0, 10.0},
      {2, 0.3, 2.0, 2.0},
      {6, 0.3, 2.0, 2.0},
      {3, 0.5, 4.0 / 3.0, 10.0 / 9.0},
      {4, 3.0, 3.0, 30.0 / 7.0},
      {5, 0.5, 4.0 / 3.0, 10.0 / 9.0},
      {7, 0.5, 4.0 / 3.0, 10.0 / 9.0},
      {8, 0.5, 4.0 / 3.0, 10.0 / 9.0},
      {9, 0.5, 4.0 / 3.0, 10.0 / 9.0},
      {10, 0.5, 4.0 / 3.0, 10.0 / 9.0},
  };
  for (const auto& e : cases) {
    SCOPED_TRACE(e.model);
    const auto c = curve_of(e.model, e.a);
    ASSERT_EQ(c.i.size(), 100u);
    EXPECT_TRUE(rel_near(c.i.front(), km / 25.0, 1e-15));
    EXPECT_TRUE(rel_near(c.i[24], 2.0, 1e-14));
    EXPECT_TRUE(rel_near(c.i.back(), 4.0 * km, 1e-15));
    EXPECT_TRUE(rel_near(c.k[24], e.at2, 1e-13));
    EXPECT_TRUE(rel_near(c.k.back(), e.at8, 1e-13));
    const double direction = e.at8 - e.at2;
    for (std::size_t n = 1; n < c.k.size(); ++n) {
      if (direction == 0.0) {
        EXPECT_TRUE(rel_near(c.k[n], km, 1e-15));
      } else {
        EXPECT_GT((c.k[n] - c.k[n - 1]) * direction, 0.0) << n;
      }
    }
    EXPECT_EQ(curve_of(e.model, e.a, 0.75).k, c.k);
  }
}

TEST(KmappChart, ConstantKmappStaysVisible) {
  core::fit_context ctx;
  ctx.model = 2;
  ctx.variables = params(1.0);
  ctx.strmdl = "2- Linear Mixed";
  const auto chart = kmapp_chart(ctx);
  ASSERT_TRUE(chart.has_value());
  plotengine::testing::recording_painter p;
  const auto pass = chart->prepare(p, {0, 0, 800, 600});
  ASSERT_TRUE(pass.has_value());
  EXPECT_FLOAT_EQ(pass->y.minimum, 0.0f);
  EXPECT_FLOAT_EQ(pass->y.maximum, 1.1f * float(km));
  ASSERT_TRUE(chart->draw(p, {0, 0, 800, 600}));
}

// The line is the model's Km,app at every point over [I] from 0 to 4 Km (or past the
// largest [I]); it is smooth: many points, evenly spaced.
TEST(KmappChart, SmoothModelLineAndEachCurvesOwnKm) {
  core::fit_context ctx;
  ctx.model = 3;
  ctx.variables = params(0.5);
  // Three curves of exact Michaelis-Menten rates with apparent Km 2, 3 and 5.
  const double kms[] = {2.0, 3.0, 5.0}, inh[] = {0.0, 1.0, 12.0};
  int row = 0;
  for (int k = 0; k < 3; ++k)
    for (const double s : {0.5, 1.0, 2.0, 4.0, 8.0, 16.0}) {
      const auto q = static_cast<std::size_t>(row++);
      ctx.substrate[q] = s;
      ctx.inhibitor[q] = inh[k];
      ctx.rate[q] = 10.0 * s / (kms[k] + s);
    }
  ctx.idat = row;
  const auto chart = kmapp_chart(ctx);
  ASSERT_TRUE(chart.has_value());
  const auto& line = chart->data.at(0);
  EXPECT_EQ(line.drawer, plotengine::drawer_type::line);
  ASSERT_EQ(line.x.size(), std::size_t(curve_points));
  EXPECT_EQ(line.x.front(), 0.0f);
  EXPECT_FLOAT_EQ(line.x.back(), float(1.1f * 12.0f));  // past the largest [I]
  for (std::size_t j = 0; j < line.x.size(); ++j)
    EXPECT_TRUE(rel_near(line.y[j], kmapp_at(3, ctx.variables, line.x[j]), 1e-6)) << j;
  ASSERT_EQ(chart->data.size(), 4u);
  for (std::size_t k = 0; k < 3; ++k) {
    const auto& point = chart->data[k + 1];
    EXPECT_EQ(point.x, std::vector<float>{float(inh[k])});
    EXPECT_TRUE(rel_near(point.y.at(0), kms[k], 1e-4)) << k;
    EXPECT_EQ(point.marker, curve_markers[k]);
  }
  EXPECT_EQ(chart->data[1].label, kmapp_curves_label);
  EXPECT_EQ(chart->data[2].label, "");  // one legend entry for the points
}

TEST(ApparentKm, NeedsThreeRowsAndAMinimumInsideTheRange) {
  const std::vector<double> s{1, 2, 4, 8}, v_mm{5, 20.0 / 3, 8, 80.0 / 9};  // V 10, K 1
  double km = 0.0;
  ASSERT_TRUE(apparent_km(s, v_mm, km));
  EXPECT_NEAR(km, 1.0, 1e-6);
  // Rates that still rise in proportion to [S]: K beyond the range searched.
  EXPECT_FALSE(apparent_km(s, std::vector<double>{1, 2, 4, 8}, km));
  // Two usable rows only (non-positive [S] and non-finite rates are left out).
  EXPECT_FALSE(apparent_km(std::vector<double>{0, 1, 2, -3},
                           std::vector<double>{1, 5, std::nan(""), 2}, km));
}

TEST(KmappChart, FrontRoutinesAndTheirPauses) {
  core::fit_context ctx;
  ctx.variables = params(0.5);
  testing::chart_recorder fe;
  ctx.fe = &fe;

  // A linear model shows its chart, then pauses; a hyperbolic one pauses first.
  using events = std::vector<std::string>;
  const events linear{"plot", "refresh", "idle 500"}, hyperbolic{"idle 500", "plot", "refresh"};
  for (const auto& [model, lin, hyper] :
       {std::tuple{3, linear, events{}}, std::tuple{7, events{}, hyperbolic},
        std::tuple{0, events{}, events{}}}) {
    SCOPED_TRACE(model);
    ctx.model = model;
    fe.events.clear();
    lin_kmapp_i_plot(ctx);
    EXPECT_EQ(fe.events, lin);
    fe.events.clear();
    hyper_kmapp_i_plot(ctx);
    EXPECT_EQ(fe.events, hyper);
  }
  EXPECT_FALSE(kmapp_chart(ctx).has_value());
  EXPECT_EQ(fe.charts.size(), 2u);
}

}  // namespace
}  // namespace inhibra::plots
