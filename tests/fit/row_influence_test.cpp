// Each row's weight, leverage and Cook's distance at a fit, and the rows named to
// the person: a row that alone moves the estimates, one that robust weighting nearly
// ignored, and nothing on clean data.
#include "fit/row_influence.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "fit/finished_run.hpp"
#include "fit/refine.hpp"
#include "support/numeric.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::fit {
namespace {

constexpr double tight = 1e-9;

// The example with row 4's rate multiplied by `factor`, fitted with model 2.
struct example_fit {
  finished_run run;
  model_result fit;
};
example_fit fit_example(const support::temp_dir& dir, double factor) {
  const auto path = dir.write("example.in", edited_rows(support::read_file(example),
                                                        [&](int row, double&, double&, double& v) {
                                                          v *= row == 4 ? factor : 1.0;
                                                        }));
  example_fit out{fit_file(path, {2}), {}};
  out.fit = out.run.record.fitted.at(0);
  return out;
}

TEST(RowInfluence, LeveragesAddUpToTheParametersAndAZeroWeightRowHasNone) {
  support::temp_dir dir;
  const auto e = fit_example(dir, 1.0);
  core::fit_context& ctx = e.run.select(e.fit);
  struct case_ {
    const char* what;
    std::size_t silenced;  // row index given a weight of 1e-12 (24: none)
  };
  for (const case_ c : {case_{"equal weights", 24}, case_{"row 4 weighted out", 3}}) {
    std::vector<double> w(24, 1.0);
    if (c.silenced < w.size()) w[c.silenced] = 1e-12;
    const row_diagnostics d = diagnose_rows(ctx, e.fit.p, w);
    ASSERT_EQ(d.leverage.size(), 24u) << c.what;
    EXPECT_EQ(d.weight, w) << c.what;
    EXPECT_NEAR(std::accumulate(d.leverage.begin(), d.leverage.end(), 0.0), 3.0, tight) << c.what;
    for (std::size_t k = 0; k < 24; ++k) {
      EXPECT_GE(d.cooks_distance[k], 0.0) << c.what << " row " << k + 1;
      EXPECT_LT(d.leverage[k], 1.0) << c.what << " row " << k + 1;
    }
    if (c.silenced < w.size()) {
      EXPECT_LT(d.leverage[c.silenced], 1e-9) << c.what;
      EXPECT_LT(d.cooks_distance[c.silenced], 1e-9) << c.what;
    }
  }
}

// Cook's distance measures how far the estimates move when the row is left out:
// for the spoiled row of the example it agrees with the move of a refit without
// that row, measured in the same metric, within the linearisation's error.
TEST(RowInfluence, CooksDistanceOfASpoiledRowMatchesTheRefitWithoutIt) {
  support::temp_dir dir;
  const auto e = fit_example(dir, 3.0);
  core::fit_context& ctx = e.run.select(e.fit);
  const std::vector<double> ones(24, 1.0);
  const row_diagnostics d = diagnose_rows(ctx, e.fit.p, ones);
  const auto largest = std::max_element(d.cooks_distance.begin(), d.cooks_distance.end());
  EXPECT_EQ(largest - d.cooks_distance.begin(), 3);  // row 4
  EXPECT_GT(*largest, 4.0 / 24.0);

  std::vector<double> without = ones;
  without[3] = 0.0;
  std::int64_t evaluations = 0;
  const scored_point refit = solve_weighted(ctx, e.fit.p, without, evaluations);
  // (fitted rates with the row) - (fitted rates without it), squared and summed,
  // over p s^2: the textbook form of the distance.
  double moved = 0.0;
  for (std::size_t k = 0; k < 24; ++k) {
    auto p = e.fit.p;
    auto q = refit.p;
    const double diff = models::func(ctx, ctx.substrate[k], ctx.inhibitor[k], 0.0, p) -
                        models::func(ctx, ctx.substrate[k], ctx.inhibitor[k], 0.0, q);
    moved += diff * diff;
  }
  const double s2 = e.fit.ssr / (24 - 3);
  const double refit_distance = moved / (3 * s2);
  EXPECT_GT(*largest, 0.5 * refit_distance);
  EXPECT_LT(*largest, 2.0 * refit_distance);
}

TEST(RowFlags, WeightBelowATenthAndCooksDistanceAboveFourOverN) {
  struct case_ {
    std::vector<double> weight;
    std::vector<double> cooks;
    std::vector<flagged_row> want;
  };
  const case_ cases[] = {
      {{1, 1, 1, 1}, {0, 0, 0, 0}, {}},
      {{1, 0.1, 0.0999, 1e-6}, {0, 0, 0, 0}, {{3, true, false}, {4, true, false}}},
      {{1, 1, 1, 1}, {1.0, 1.0001, 0, HUGE_VAL}, {{2, false, true}, {4, false, true}}},
      {{0.01, 1, 1, 1}, {2.0, 0, 0, 0}, {{1, true, true}}},
      {{}, {}, {}},
  };
  for (const auto& c : cases) {
    row_diagnostics d;
    d.weight = c.weight;
    d.cooks_distance = c.cooks;
    d.leverage.assign(c.cooks.size(), 0.0);
    const auto got = flag_rows(d);
    ASSERT_EQ(got.size(), c.want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].row, c.want[i].row);
      EXPECT_EQ(got[i].down_weighted, c.want[i].down_weighted) << "row " << got[i].row;
      EXPECT_EQ(got[i].high_influence, c.want[i].high_influence) << "row " << got[i].row;
    }
  }
}

// The run names the rows of its best fit: the example's row 4 made three times too
// large stands out without robust weighting, the example itself flags nothing.
TEST(RowFlags, TheRunFlagsTheSpoiledRowOfItsBestFitAndNothingOnCleanData) {
  support::temp_dir dir;
  for (const double factor : {1.0, 3.0}) {
    const auto e = fit_example(dir, factor);
    const auto& flagged = e.run.record.flagged_rows;
    const auto row4 = std::find_if(flagged.begin(), flagged.end(),
                                   [](const flagged_row& f) { return f.row == 4; });
    if (factor == 1.0) {
      EXPECT_TRUE(flagged.empty());
      continue;
    }
    ASSERT_NE(row4, flagged.end());
    EXPECT_TRUE(row4->high_influence);
    EXPECT_FALSE(row4->down_weighted);
    EXPECT_EQ(e.run.ctx->flagged_rows.front(), flagged.front().row);  // left for the plots
  }
}

}  // namespace
}  // namespace inhibra::fit
