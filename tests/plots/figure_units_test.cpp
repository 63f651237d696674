#include "plots/figure_units.hpp"

#include <gtest/gtest.h>

#include "plots/figure_style.hpp"
#include "plots/xyplot.hpp"
#include "strings/text.hpp"

namespace inhibra::plots {
namespace {

TEST(FigureUnits, AxisTitlesByQuantity) {
  const figure_units units{"mM", "mM/s"};
  const struct {
    std::string_view label;
    figure_units units;
    std::string expected;
  } cases[] = {
      {substrate_title, units, "[S] (mM)"},
      {inhibitor_title, units, "[I] (mM)"},
      {kmapp_title_text, units, "Km,app (mM)"},
      {mc50_title, units, "MC50 (mM)"},
      {rate_title, units, "Rate v (mM/s)"},
      {fitted_rate_title, units, "Fitted rate (mM/s)"},
      {residual_title, units, std::string(residual_title) + " (mM/s)"},
      {reciprocal_substrate_title, units, "1/[S] (mM\u207b\u00b9)"},
      {reciprocal_rate_title, units, "1/v (s/mM)"},
      {reciprocal_rate_title, {"", "mol l-1 s-1"}, "1/v ((mol l-1 s-1)\u207b\u00b9)"},
      {reciprocal_rate_title, {"", "U/mg/min"}, "1/v ((U/mg/min)\u207b\u00b9)"},
      {rate_title, {"mM", ""}, "Rate v"},
      {substrate_title, {"", "mM/s"}, "[S]"},
      {"Something else", units, "Something else"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(label_with_unit(c.label, c.units), c.expected) << c.label;
}

TEST(FigureUnits, LegendEntriesOfConcentrations) {
  const figure_units units{"\u00b5M", "\u00b5M/min"};
  EXPECT_EQ(legend_with_unit(strings::trim(inhibitor_label(100.0)), units), "[I] = 100 \u00b5M");
  EXPECT_EQ(legend_with_unit("[S] = 50", units), "[S] = 50 \u00b5M");
  EXPECT_EQ(legend_with_unit("global fit", units), "global fit");
  EXPECT_EQ(legend_with_unit("[I] = 100", {}), "[I] = 100");

  plotengine::pplot chart;
  chart.x_label = substrate_title;
  chart.y_label = rate_title;
  chart.add_series({1}, {1});
  chart.data[0].label = "[I] = 0.5";
  const auto shown = with_units(chart, units);
  EXPECT_EQ(shown.x_label, "[S] (\u00b5M)");
  EXPECT_EQ(shown.y_label, "Rate v (\u00b5M/min)");
  EXPECT_EQ(shown.data[0].label, "[I] = 0.5 \u00b5M");
}

}  // namespace
}  // namespace inhibra::plots
