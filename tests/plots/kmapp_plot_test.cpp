#include "plots/kmapp_plot.hpp"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "plotengine/recording_painter.hpp"
#include "plots/chart_recorder.hpp"
#include "support/example_fit.hpp"
#include "support/numeric.hpp"

namespace inhibra::plots {
namespace {

using plotengine::drawer_type;
using plotengine::rgb;
using support::rel_near;

constexpr double km = 2.0, ki = 1.0;

std::array<double, fit::max_par> params(double a, double b = 0.25) {
  std::array<double, fit::max_par> v{};
  v[0] = km;
  v[1] = 10.0;
  v[2] = ki;
  v[3] = a;
  v[4] = b;
  return v;
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

// Km (1 + I/Ki) / (1 + I/(a Ki)).
double expected(double inh, double a) {
  return km * (1.0 + inh / ki) / (1.0 + inh / (a * ki));
}

TEST(KmappCurve, FactorPerModel) {
  const auto v = params(0.4);
  double a = 0.0;
  ASSERT_TRUE(kmapp_factor(1, v, a));
  EXPECT_EQ(a, 4.5e15);
  for (int model : {2, 6}) {
    ASSERT_TRUE(kmapp_factor(model, v, a));
    EXPECT_EQ(a, 1.0) << model;
  }
  for (int model : {3, 4, 5, 7, 8, 9, 10}) {
    ASSERT_TRUE(kmapp_factor(model, v, a));
    EXPECT_EQ(a, 0.4) << model;
  }
  EXPECT_FALSE(kmapp_factor(0, v, a));
  EXPECT_FALSE(kmapp_factor(11, v, a));
  std::vector<double> i, k;
  EXPECT_FALSE(kmapp_curve(11, v, i, k));
  EXPECT_TRUE(i.empty());
}

TEST(KmappCurve, InhibitorRunsFromKmOver25To4Km) {
  const auto c = curve_of(2, 1.0);
  ASSERT_EQ(c.i.size(), 100u);
  EXPECT_DOUBLE_EQ(c.i.front(), km / 25.0);
  EXPECT_DOUBLE_EQ(c.i.back(), 4.0 * km);
  EXPECT_TRUE(rel_near(c.i[9] - c.i[8], km / 25.0, 1e-12));
}

TEST(KmappCurve, Model1RisesLinearly) {
  const auto c = curve_of(1, 0.3);  // P4 is not used
  for (std::size_t n = 0; n < c.i.size(); ++n)
    EXPECT_TRUE(rel_near(c.k[n], km * (1.0 + c.i[n] / ki), 1e-13));
}

TEST(KmappCurve, Models2And6AreFlat) {
  for (int model : {2, 6}) {
    const auto c = curve_of(model, 0.3);
    for (double v : c.k)
      EXPECT_TRUE(rel_near(v, km, 1e-15)) << model;
  }
}

TEST(KmappCurve, Model3FallsTowardsAKm) {
  const double a = 0.5;
  const auto c = curve_of(3, a);
  for (std::size_t n = 0; n < c.i.size(); ++n) {
    EXPECT_TRUE(rel_near(c.k[n], expected(c.i[n], a), 1e-13));
    if (n > 0) {
      EXPECT_LT(c.k[n], c.k[n - 1]);
    }
  }
  EXPECT_LT(c.k.front(), km);
  EXPECT_GT(c.k.back(), a * km);
}

TEST(KmappCurve, Model4RisesTowardsAKm) {
  const double a = 3.0;
  const auto c = curve_of(4, a);
  for (std::size_t n = 0; n < c.i.size(); ++n) {
    EXPECT_TRUE(rel_near(c.k[n], expected(c.i[n], a), 1e-13));
    if (n > 0) {
      EXPECT_GT(c.k[n], c.k[n - 1]);
    }
  }
  EXPECT_GT(c.k.front(), km);
  EXPECT_LT(c.k.back(), a * km);
}

TEST(KmappCurve, HyperbolicModelsUseP4AndNeverP5) {
  for (int model : {5, 7, 8, 9, 10}) {
    const auto c = curve_of(model, 0.5, 0.25);
    const auto other_b = curve_of(model, 0.5, 0.75);
    EXPECT_EQ(c.k, other_b.k) << model;
    EXPECT_TRUE(rel_near(c.k[50], expected(c.i[50], 0.5), 1e-13)) << model;
  }
}

TEST(KmappChart, TitleSeriesAndAxes) {
  fit::fit_context ctx;
  support::fill_example_fit(ctx);
  const auto chart = kmapp_chart(ctx);
  ASSERT_TRUE(chart.has_value());
  EXPECT_EQ(chart->title,
            "4- Linear Mixed Inhib, LMx(Sp>Ca)I:\r\n"
            "( Catalytic Down \\, Specific Up /, Constant Ratio [S]/[I]= 5 )");
  EXPECT_EQ(chart->y_label, "Kmapp");
  EXPECT_EQ(chart->x_label, "[INHIBITOR]");
  EXPECT_TRUE(chart->x_axis.auto_minimum && chart->x_axis.auto_maximum);
  EXPECT_TRUE(chart->y_axis.auto_minimum && chart->y_axis.auto_maximum);
  ASSERT_EQ(chart->data.size(), 2u);
  EXPECT_EQ(chart->data[0].drawer, drawer_type::big_dot);
  EXPECT_EQ(chart->data[1].drawer, drawer_type::line);
  for (const auto& s : chart->data) {
    EXPECT_EQ(s.color, (rgb{0, 0, 255}));
    EXPECT_TRUE(s.label.empty());
    EXPECT_EQ(s.x.size(), 100u);
  }
  EXPECT_EQ(chart->data[0].y, chart->data[1].y);
  // Model 4 with a = 3: rising from Km.
  EXPECT_GT(chart->data[0].y.back(), chart->data[0].y.front());
  EXPECT_FLOAT_EQ(chart->data[0].x.back(), 4.0f * 250.0f);
}

TEST(KmappChart, ConstantKmappStaysVisible) {
  fit::fit_context ctx;
  ctx.model = 2;
  ctx.variables = params(1.0);
  ctx.strmdl = "2- Linear Mixed";
  const auto chart = kmapp_chart(ctx);
  ASSERT_TRUE(chart.has_value());
  plotengine::testing::recording_painter p;
  const auto pass = chart->prepare(p, {0, 0, 800, 600});
  ASSERT_TRUE(pass.has_value());
  EXPECT_FLOAT_EQ(pass->y.minimum, 0.9f * float(km));
  EXPECT_FLOAT_EQ(pass->y.maximum, 1.1f * float(km));
  ASSERT_TRUE(chart->draw(p, {0, 0, 800, 600}));
}

TEST(KmappChart, FrontRoutinesAndTheirPauses) {
  fit::fit_context ctx;
  ctx.variables = params(0.5);
  testing::chart_recorder fe;
  ctx.fe = &fe;

  ctx.model = 3;
  hyper_kmapp_i_plot(ctx);  // not a hyperbolic model
  EXPECT_TRUE(fe.events.empty());
  lin_kmapp_i_plot(ctx);
  EXPECT_EQ(fe.events, (std::vector<std::string>{"plot", "refresh", "idle 500"}));

  fe.events.clear();
  ctx.model = 7;
  lin_kmapp_i_plot(ctx);  // not a linear model
  EXPECT_TRUE(fe.events.empty());
  hyper_kmapp_i_plot(ctx);
  EXPECT_EQ(fe.events, (std::vector<std::string>{"idle 500", "plot", "refresh"}));

  fe.events.clear();
  ctx.model = 0;
  lin_kmapp_i_plot(ctx);
  hyper_kmapp_i_plot(ctx);
  EXPECT_TRUE(fe.events.empty());
  EXPECT_FALSE(kmapp_chart(ctx).has_value());
  EXPECT_EQ(fe.charts.size(), 2u);
}

}  // namespace
}  // namespace inhibra::plots
