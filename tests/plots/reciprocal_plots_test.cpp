#include "plots/reciprocal_plots.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "models/model_library.hpp"
#include "plots/figure_style.hpp"
#include "strings/text.hpp"
#include "support/example_fit.hpp"
#include "support/numeric.hpp"

namespace inhibra::plots {
namespace {

using support::rel_near;

struct example {
  core::fit_context ctx;
  rate_function rate;
  example() {
    support::fill_example_fit(ctx);
    rate = models::held_model_rate(ctx);
  }
};

// The lines are the fitted model's rate function transformed, point by point: never
// a line fitted to the transformed data. Each curve's markers are its rows' 1/[S] and
// 1/v; the title carries the note that says so.
TEST(LineweaverBurk, LinesAreTheRateFunctionAndPointsTheRows) {
  example e;
  const auto chart = lineweaver_burk_chart(e.ctx, e.rate);
  ASSERT_TRUE(chart.has_value());
  const auto lines = plotengine::title_lines(chart->title);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], reciprocal_note);
  EXPECT_EQ(chart->x_label, reciprocal_substrate_title);
  EXPECT_EQ(chart->y_label, reciprocal_rate_title);
  const auto curves = group_curves(e.ctx);
  ASSERT_EQ(chart->data.size(), 2u * static_cast<std::size_t>(curves.ncurves));
  for (std::size_t k = 0; k < static_cast<std::size_t>(curves.ncurves); ++k) {
    SCOPED_TRACE(k);
    const double inhibitor = curves.inhibitor[k];
    const auto& dots = chart->data[2 * k];
    const auto& line = chart->data[2 * k + 1];
    EXPECT_EQ(dots.drawer, plotengine::drawer_type::big_dot);
    EXPECT_EQ(dots.color, curve_colors[k]);
    EXPECT_EQ(dots.marker, curve_markers[k]);
    EXPECT_EQ(dots.label, strings::trim(inhibitor_label(inhibitor)));
    ASSERT_EQ(dots.x.size(), 6u);
    for (std::size_t i = 0; i < dots.x.size(); ++i) {
      const std::size_t row = k * 6 + i;
      EXPECT_FLOAT_EQ(dots.x[i], float(1.0 / e.ctx.substrate[row]));
      EXPECT_FLOAT_EQ(dots.y[i], float(1.0 / e.ctx.rate[row]));
    }
    EXPECT_EQ(line.drawer, plotengine::drawer_type::line);
    EXPECT_EQ(line.color, curve_colors[k]);
    ASSERT_EQ(line.x.size(), std::size_t(reciprocal_line_points));
    EXPECT_GT(line.x.front(), 0.0f);
    EXPECT_FLOAT_EQ(line.x.back(), chart->x_axis.maximum);
    for (std::size_t j = 0; j < line.x.size(); ++j)
      EXPECT_TRUE(rel_near(line.y[j], 1.0 / e.rate(1.0 / double(line.x[j]), inhibitor), 2e-6)) << j;
  }
  // Both axes from 0, past the largest value drawn.
  EXPECT_EQ(chart->x_axis.minimum, 0.0f);
  EXPECT_FLOAT_EQ(chart->x_axis.maximum, float(1.1f * (1.0f / 50.0f)));
  EXPECT_EQ(chart->y_axis.minimum, 0.0f);
  for (const auto& s : chart->data)
    for (float y : s.y)
      EXPECT_LT(y, chart->y_axis.maximum);
}

TEST(Dixon, LinesAreTheRateFunctionAtEachLevelOfSubstrate) {
  example e;
  const auto chart = dixon_chart(e.ctx, e.rate);
  ASSERT_TRUE(chart.has_value());
  EXPECT_EQ(plotengine::title_lines(chart->title).back(), reciprocal_note);
  EXPECT_EQ(chart->x_label, inhibitor_title);
  const double levels[] = {50, 100, 200, 333, 500, 700};
  ASSERT_EQ(chart->data.size(), 12u);
  for (std::size_t q = 0; q < 6; ++q) {
    SCOPED_TRACE(levels[q]);
    const auto& dots = chart->data[2 * q];
    const auto& line = chart->data[2 * q + 1];
    EXPECT_EQ(dots.label, substrate_label(levels[q]));
    EXPECT_EQ(dots.x, (std::vector<float>{0, 100, 200, 400}));
    for (std::size_t i = 0; i < 4; ++i)  // the row of curve i at this level
      EXPECT_FLOAT_EQ(dots.y[i], float(1.0 / e.ctx.rate[i * 6 + q]));
    ASSERT_EQ(line.x.size(), std::size_t(reciprocal_line_points));
    EXPECT_EQ(line.x.front(), 0.0f);
    for (std::size_t j = 0; j < line.x.size(); ++j)
      EXPECT_TRUE(rel_near(line.y[j], 1.0 / e.rate(levels[q], double(line.x[j])), 2e-6)) << j;
  }
}

TEST(Dixon, LevelsOfSubstrate) {
  // Rows as (S, I, v): levels merge within 1e-6 relative, need two [I], leave out
  // rows with v <= 0, and are sorted by [S].
  struct row {
    double s, i, v;
  };
  const auto levels_of = [](const std::vector<row>& rows) {
    core::fit_context ctx;
    for (std::size_t k = 0; k < rows.size(); ++k) {
      ctx.substrate[k] = rows[k].s;
      ctx.inhibitor[k] = rows[k].i;
      ctx.rate[k] = rows[k].v;
    }
    ctx.idat = static_cast<int>(rows.size());
    std::vector<std::pair<double, std::size_t>> out;
    for (const auto& l : substrate_levels(group_curves(ctx)))
      out.emplace_back(l.substrate, l.inhibitor.size());
    return out;
  };
  using levels = std::vector<std::pair<double, std::size_t>>;
  EXPECT_EQ(levels_of({{20, 0, 1}, {10, 0, 1}, {10.000001, 5, 1}, {20, 5, 1}}),
            (levels{{10, 2}, {20, 2}}));
  EXPECT_EQ(levels_of({{10, 0, 1}, {30, 0, 1}, {10, 5, 1}, {20, 5, 1}}), (levels{{10, 2}}));
  EXPECT_EQ(levels_of({{10, 0, 1}, {10, 5, 0}, {10, 6, -1}}), levels{});
  // At most ten levels, from the smallest [S] up.
  std::vector<row> many;
  for (int s = 12; s >= 1; --s)
    many.push_back({double(s), 0, 1});
  for (int s = 1; s <= 12; ++s)
    many.push_back({double(s), 3, 1});
  const auto ten = levels_of(many);
  ASSERT_EQ(ten.size(), 10u);
  EXPECT_EQ(ten.front().first, 1.0);
  EXPECT_EQ(ten.back().first, 10.0);
}

TEST(ReciprocalPlots, NothingToDraw) {
  example e;
  EXPECT_FALSE(lineweaver_burk_chart(e.ctx, {}).has_value());  // no rate function
  EXPECT_FALSE(dixon_chart(e.ctx, {}).has_value());
  core::fit_context empty;
  EXPECT_FALSE(lineweaver_burk_chart(empty, e.rate).has_value());
  EXPECT_FALSE(dixon_chart(empty, e.rate).has_value());
  // One [I]: a Lineweaver-Burk chart, but no Dixon chart.
  e.ctx.idat = 6;
  EXPECT_TRUE(lineweaver_burk_chart(e.ctx, e.rate).has_value());
  EXPECT_FALSE(dixon_chart(e.ctx, e.rate).has_value());
}

}  // namespace
}  // namespace inhibra::plots
