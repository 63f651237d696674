#include "models/robustwt.hpp"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "support/numeric.hpp"

namespace inhibra::models {
namespace {

using support::rel_near;

std::vector<double> weights(const std::vector<double>& r) {
  std::vector<double> w(r.size(), 1.0);
  robust_wt(static_cast<int>(r.size()), r, w);
  return w;
}

TEST(RobustWeights, BinmedianOddAndEven) {
  const std::vector<double> odd{1, 2, 4};
  EXPECT_TRUE(rel_near(binmedian(odd, 3), 2.0003258, 1e-7));
  const std::vector<double> even{1, 2, 3, 4};
  EXPECT_DOUBLE_EQ(binmedian(even, 4), 2.5);
  const std::vector<double> same{3, 3, 3, 3, 3};
  EXPECT_EQ(binmedian(same, 5), 3.0);
}

TEST(RobustWeights, BinmedianEvenCaseStopsAtTheLastCounter) {
  // The two values above the k-th one lie at or beyond mean + sd: no bin after
  // the k-th fills, and the mean stands in.
  const std::vector<double> x{0, 0, 10, 10};
  EXPECT_EQ(binmedian(x, 4), 5.0);
}

TEST(RobustWeights, Xmad2ClampsAndReplacesNaN) {
  double s = 0;
  const std::vector<double> x{1, 2, 3};
  xmad2(x, 3, 2.0, s);
  EXPECT_DOUBLE_EQ(s, 2.0 / 3.0);
  xmad2(x, 3, 1e20, s);
  EXPECT_EQ(s, 1e15);
  const std::vector<double> flat{2, 2};
  xmad2(flat, 2, 2.0, s);
  EXPECT_EQ(s, 1e-15);
  const std::vector<double> bad{std::nan(""), 1};
  xmad2(bad, 2, 0.0, s);
  EXPECT_EQ(s, 1.0);
}

TEST(RobustWeights, AnOutlierIsWeightedDownAndEqualResidualsKeepWeightOne) {
  const std::vector<std::pair<std::vector<double>, std::vector<double>>> cases = {
      {{1, -1, 1.2, -0.8, 0.9, 10}, {1, 1, 1, 1, 1, 1e-6}},
      {{0.5, -0.4, 0.3, -0.6, 0.2, -0.1, 5, 0.45}, {1, 1, 1, 1, 1, 1, 1e-6, 1}},
      // The binned median of these absolute residuals is exactly 4, so in the first
      // pass three residuals sit at the location (u = 0). Their terms of the step's
      // denominator take the limit A*B; as 0/0 they would make the location and every
      // weight NaN, and NaN weights end as 1, the outlier's too.
      {{1, -3, 4, -4, 4, -6, 6, 40}, {1, 1, 1, 1, 1, 1, 1, 1e-6}},
      {{1, 1, 1, 1}, {1, 1, 1, 1}},
      {{-2, 2, -2, 2, 2}, {1, 1, 1, 1, 1}}};
  for (const auto& [residuals, want] : cases)
    EXPECT_EQ(weights(residuals), want) << ::testing::PrintToString(residuals);
  EXPECT_EQ(binmedian(std::vector<double>{1, 3, 4, 4, 4, 6, 6, 40}, 8), 4.0);
  const std::vector<double> a{1, 1, 1.2, 0.8, 0.9, 10};
  EXPECT_TRUE(rel_near(binmedian(a, 6), 0.9999256, 1e-6));
  double s = 0;
  xmad2(a, 6, binmedian(a, 6), s);
  EXPECT_TRUE(rel_near(s, 1.583358, 1e-6));
}

TEST(RobustWeights, WeightsStayInsideTheirRangeAndNaNBecomesOne) {
  const auto w = weights({0.1, 0.2, 0.15, 3.0, -0.05, 0.12, 0.9, 0.11, -0.14, 0.13});
  for (double v : w) {
    EXPECT_GE(v, 1e-6);
    EXPECT_LE(v, 1.0);
  }
  const auto wn = weights({0.1, std::nan(""), 0.2, 0.3});
  for (double v : wn)
    EXPECT_FALSE(std::isnan(v));
}

}  // namespace
}  // namespace inhibra::models
