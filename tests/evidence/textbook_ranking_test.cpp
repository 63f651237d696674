#include "evidence/textbook_ranking.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace inhibra::evidence {
namespace {

model_result with_aicc(int model, double aicc) {
  model_result r;
  r.model = model;
  r.textbook.aicc = aicc;
  return r;
}

// Lowest AICc first; equal values keep the order of fitting; an AICc that is not a
// number comes last with weight 0. Weights exp(-delta/2) normalised, ratios in log10.
TEST(RankByTextbook, LowestFirstTiesInOrderAndUndefinedLast) {
  const std::vector<model_result> fitted{with_aicc(3, -50.0), with_aicc(1, NAN),
                                         with_aicc(4, -54.0), with_aicc(2, -50.0)};
  const auto rows = rank_by_textbook(fitted);
  ASSERT_EQ(rows.size(), 4u);
  const int order[] = {4, 3, 2, 1};
  for (std::size_t k = 0; k < 4; ++k)
    EXPECT_EQ(rows[k].model, order[k]) << k;
  EXPECT_EQ(rows[0].index, 3);
  EXPECT_EQ(rows[1].index, 1);
  EXPECT_EQ(rows[2].index, 4);
  const double sum = 1.0 + 2.0 * std::exp(-2.0);
  EXPECT_NEAR(rows[0].weight, 1.0 / sum, 1e-12);
  EXPECT_NEAR(rows[1].weight, std::exp(-2.0) / sum, 1e-12);
  EXPECT_DOUBLE_EQ(rows[1].delta, 4.0);
  EXPECT_NEAR(rows[1].log10_ratio, 2.0 / std::numbers::ln10, 1e-12);
  EXPECT_EQ(rows[3].weight, 0.0);
  EXPECT_TRUE(std::isnan(rows[3].log10_ratio));
  EXPECT_EQ(row_of(rows, 4), &rows[2]);
  EXPECT_EQ(row_of(rows, 5), nullptr);

  const auto alone = rank_by_textbook({with_aicc(7, 12.0)});
  ASSERT_EQ(alone.size(), 1u);
  EXPECT_EQ(alone[0].weight, 1.0);
  EXPECT_EQ(alone[0].delta, 0.0);
}

}  // namespace
}  // namespace inhibra::evidence
