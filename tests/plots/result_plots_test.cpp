#include "plots/result_plots.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/example_fit.hpp"

namespace inhibra::plots {
namespace {

using plotengine::axis_setup;
using plotengine::pplot;

// Every number in single precision, the shortest text that reads back the same.
std::string number(float v) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return {text, end};
}

std::string axis_text(const char* name, const std::string& label, const axis_setup& a) {
  std::ostringstream out;
  out << name << " \"" << label << "\" " << (a.logarithmic ? "log " : "linear ")
      << (a.auto_minimum ? "auto" : number(a.minimum)) << " to "
      << (a.auto_maximum ? "auto" : number(a.maximum)) << "\n";
  return out.str();
}

// What a chart shows, one line per title line, axis and series, then the points.
std::string chart_text(const pplot& chart) {
  std::ostringstream out;
  for (const auto& line : plotengine::title_lines(chart.title))
    out << "title \"" << line << "\"\n";
  out << axis_text("x", chart.x_label, chart.x_axis) << axis_text("y", chart.y_label, chart.y_axis);
  const char* drawers[] = {"line", "big dots", "bars", "dots", "crosses"};
  const char* markers[] = {"circle",         "square",   "triangle up", "diamond",
                           "triangle down",  "pentagon", "hexagon",     "triangle left",
                           "triangle right", "star"};
  for (const auto& s : chart.data) {
    out << drawers[static_cast<int>(s.drawer)];
    if (s.drawer == plotengine::drawer_type::big_dot)
      out << " (" << markers[static_cast<int>(s.marker)] << ")";
    out << " rgb(" << int{s.color.red} << "," << int{s.color.green} << "," << int{s.color.blue}
        << ") \"" << s.label << "\"\n";
    for (std::size_t k = 0; k < s.x.size() && k < s.y.size(); ++k)
      out << "  " << number(s.x[k]) << " " << number(s.y[k]) << "\n";
  }
  return out.str();
}

// The plots of a finished fit of the example (model 4, a = 3) match the stored
// pictures: titles and axis labels, ranges, series, colours, markers, legends and
// every point. INHIBRA_WRITE_GOLDEN=1 rewrites them after an intended change.
TEST(ResultPlots, EachPlotOfTheExampleFitMatchesItsGolden) {
  core::fit_context ctx;
  support::fill_example_fit(ctx);
  ctx.strmdl = "  " + ctx.strmdl;  // leading blanks do not reach a title
  const std::string dir = std::string(INHIBRA_SOURCE_DIR) + "/tests/plots/golden/";
  for (const auto which : all_result_plots) {
    const std::string name(result_plot_name(which));
    SCOPED_TRACE(name);
    const auto chart = build_result_plot(ctx, which, models::held_model_rate(ctx));
    ASSERT_TRUE(chart.has_value());
    const std::string text = chart_text(*chart);
    if (std::getenv("INHIBRA_WRITE_GOLDEN") != nullptr) std::ofstream(dir + name + ".txt") << text;
    std::ifstream in(dir + name + ".txt");
    ASSERT_TRUE(in.good());
    std::ostringstream golden;
    golden << in.rdbuf();
    EXPECT_EQ(text, golden.str());
  }
}

TEST(ResultPlots, NothingAfterAnEmptyRun) {
  core::fit_context ctx;  // as at program start
  EXPECT_FALSE(build_result_plot(ctx, result_plot::xy, models::held_model_rate(ctx)).has_value());
  EXPECT_FALSE(build_result_plot(ctx, result_plot::residuals, {}).has_value());
  EXPECT_FALSE(build_result_plot(ctx, result_plot::kmapp, {}).has_value());  // model 0
  // The MC50 table is all zeros: a chart with automatic axes, as the menu shows it.
  const auto mc50 = build_result_plot(ctx, result_plot::mc50, {});
  ASSERT_TRUE(mc50.has_value());
  EXPECT_TRUE(mc50->x_axis.auto_maximum);
}

}  // namespace
}  // namespace inhibra::plots
