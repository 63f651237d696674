#include "plots/reciprocal_plots.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "models/model_library.hpp"
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

// The rest of both charts (titles and their note, axis labels and ranges, colours,
// markers, legends, every point) is in the stored pictures of the result plots;
// these tie the lines to the fitted model's rate function, transformed point by
// point: never a line fitted to the transformed data.
TEST(LineweaverBurk, LinesAreTheRateFunction) {
  example e;
  const auto chart = lineweaver_burk_chart(e.ctx, e.rate);
  ASSERT_TRUE(chart.has_value());
  const auto curves = group_curves(e.ctx);
  ASSERT_EQ(chart->data.size(), 2u * static_cast<std::size_t>(curves.ncurves));
  for (std::size_t k = 0; k < static_cast<std::size_t>(curves.ncurves); ++k) {
    SCOPED_TRACE(k);
    const auto& line = chart->data[2 * k + 1];
    ASSERT_EQ(line.x.size(), std::size_t(reciprocal_line_points));
    for (std::size_t j = 0; j < line.x.size(); ++j)
      EXPECT_TRUE(
          rel_near(line.y[j], 1.0 / e.rate(1.0 / double(line.x[j]), curves.inhibitor[k]), 2e-6))
          << j;
  }
}

TEST(Dixon, LinesAreTheRateFunctionAtEachLevelOfSubstrate) {
  example e;
  const auto chart = dixon_chart(e.ctx, e.rate);
  ASSERT_TRUE(chart.has_value());
  const double levels[] = {50, 100, 200, 333, 500, 700};
  ASSERT_EQ(chart->data.size(), 12u);
  for (std::size_t q = 0; q < 6; ++q) {
    SCOPED_TRACE(levels[q]);
    const auto& line = chart->data[2 * q + 1];
    ASSERT_EQ(line.x.size(), std::size_t(reciprocal_line_points));
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
