// Selection by simulation: reproducible for a seed whatever the threads, every set
// counted once, and a clear case decided as it must be.
#include "evidence/selection_simulation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "fit/finished_run.hpp"
#include "support/model_data.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::evidence {
namespace {

using fit::example;
using fit::finished_run;
using fit::fit_file;

TEST(Percentile, InterpolatesBetweenOrderStatistics) {
  struct example {
    std::vector<double> values;
    double p;
    double expected;  // R: quantile(values, p / 100), type 7
  };
  const example examples[] = {
      {{4, 1, 3, 2}, 2.5, 1.075}, {{4, 1, 3, 2}, 97.5, 3.925}, {{4, 1, 3, 2}, 50.0, 2.5},
      {{10, 20}, 0.0, 10.0},      {{10, 20}, 100.0, 20.0},     {{7}, 97.5, 7.0},
      {{1, NAN, 3}, 50.0, 2.0},
  };
  for (const auto& e : examples)
    EXPECT_NEAR(percentile(e.values, e.p), e.expected, 1e-12) << e.p;
  EXPECT_TRUE(std::isnan(percentile({}, 50.0)));
  EXPECT_TRUE(std::isnan(percentile({NAN}, 50.0)));
}

// The example fitted with every model on the fast path, and a simulation from it.
const finished_run& example_run() {
  static const finished_run run =
      fit_file(example, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, core::weighting::none, false,
               /*fast=*/true);
  return run;
}

simulation_result simulated(const finished_run& run, int sets, std::uint64_t seed, int threads) {
  return simulate_selection(*run.ctx, run.record, run.record.best_model,
                            {sets, seed, threads, nullptr, {}});
}

void expect_same(const simulation_result& a, const simulation_result& b) {
  EXPECT_EQ(a.sets, b.sets);
  EXPECT_EQ(a.wins, b.wins);
  EXPECT_EQ(a.undecided, b.undecided);
  for (std::size_t i = 0; i < 5; ++i) {
    // Bit for bit: the same sets fitted the same way.
    EXPECT_EQ(a.limits[i].low, b.limits[i].low) << i;
    EXPECT_EQ(a.limits[i].high, b.limits[i].high) << i;
  }
}

TEST(SelectionSimulation, TheSameSeedGivesTheSameNumbersWithAnyThreadCount) {
  constexpr int sets = 6;
  const finished_run& run = example_run();
  const simulation_result one = simulated(run, sets, 17, 1);
  ASSERT_EQ(one.sets, sets);
  EXPECT_EQ(one.model, run.record.best_model);
  EXPECT_EQ(one.models.size(), 10u);
  expect_same(one, simulated(run, sets, 17, 1));
  expect_same(one, simulated(run, sets, 17, 3));
  // Another seed simulates other sets.
  const simulation_result other = simulated(run, sets, 18, 2);
  EXPECT_NE(one.limits[0].low, other.limits[0].low);

  // Every set is won by one model (or by none), of one family of each grouping.
  const int won = std::accumulate(one.wins.begin(), one.wins.end(), 0);
  EXPECT_EQ(won + one.undecided, sets);
  for (const auto* families : {&one.by_kind, &one.by_site}) {
    int by_family = 0;
    for (const auto& f : *families)
      by_family += f.wins;
    EXPECT_EQ(by_family, won);
  }
  for (int i = 0; i < one.n; ++i) {
    const auto& l = one.limits[static_cast<std::size_t>(i)];
    EXPECT_LE(l.low, l.high) << i;
    EXPECT_GT(l.low, 0.0) << i;
  }
}

TEST(SelectionSimulation, ModelTwoWithTinyNoiseIsChosenAgain) {
  support::temp_dir dir;
  const auto path = dir.write("m2.in", support::model_data(2, {120.0, 0.2, 80.0}, 0.002, 4));
  const finished_run run = fit_file(path, {1, 2, 3, 4, 6}, core::weighting::none, false, true);
  ASSERT_EQ(run.record.best_model, 2);
  constexpr int sets = 20;
  const simulation_result s = simulated(run, sets, default_simulation_seed, 2);
  EXPECT_EQ(s.sets, sets);
  EXPECT_GE(s.wins[1], sets - 2);
  // Model 2 is the linear noncompetitive one.
  EXPECT_EQ(s.by_kind[0].wins, s.wins[0] + s.wins[1] + s.wins[2] + s.wins[3]);
  EXPECT_EQ(s.by_site[2].wins, s.wins[1] + s.wins[5]);
  // The limits hold the truth of the data's model, and tiny noise keeps them close.
  const double truth[] = {120.0, 0.2, 80.0};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_LT(s.limits[i].low, truth[i] * 1.02) << i;
    EXPECT_GT(s.limits[i].high, truth[i] * 0.98) << i;
    EXPECT_LT(s.limits[i].high / s.limits[i].low, 1.1) << i;
  }
}

TEST(SelectionSimulation, AStopAskedBeforehandFitsNoSet) {
  const std::atomic<int> stop{1};
  const simulation_result s =
      simulate_selection(*example_run().ctx, example_run().record, example_run().record.best_model,
                         {5, 1, 2, &stop, {}});
  EXPECT_EQ(s.sets, 0);
  EXPECT_TRUE(s.stopped);
}

}  // namespace
}  // namespace inhibra::evidence
