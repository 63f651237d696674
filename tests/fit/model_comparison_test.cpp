#include "fit/model_comparison.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

#include "support/numeric.hpp"

namespace inhibra::fit {
namespace {

using support::rel_near;

double criterion(int N, int n, double R, double SSR) {
  double a = 0.0;
  aicc(N, n, R, SSR, a);
  return a;
}

TEST(Aicc, FactorRoundsToOneDecimalAndIsCappedAtFiveTheValueCappedAboveOnly) {
  // F0 = (2N^2 - 2N) / (N - n - 1)^2 - 0.96875, rounded to one decimal, at most 5.
  struct expectation {
    int N, n;
    double R, SSR, want;
  };
  for (const auto& e : {
           expectation{30, 4, 0.5, 0.3, 30.0 * std::log(0.01) + 2.1 * 4.0 * 30.0 / 26.0},  // 1.6
           expectation{10, 2, 0.0, 10.0, 1.8 * 2.0 * 10.0 / 8.0},   // F0 = 1.84375
           expectation{24, 5, 0.0, 24.0, 2.1 * 5.0 * 24.0 / 19.0},  // F0 = 2.0894...
           expectation{6, 5, 0.0, 6.0, 5.0 * 5.0 * 6.0 / 1.0},      // F0 = 59.03125
       }) {
    EXPECT_TRUE(rel_near(criterion(e.N, e.n, e.R, e.SSR), e.want, 1e-15)) << e.N << " " << e.n;
  }
  EXPECT_EQ(criterion(24, 3, 0.0, 1e200), aicc_cap);
  EXPECT_EQ(criterion(24, 3, 0.0, 0.0), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(criterion(5, 5, 0.0, 1.0), aicc_cap);
  EXPECT_EQ(criterion(4, 5, 0.0, 1.0), aicc_cap);
}

TEST(RatioSum, CapsEachTermAtTwo) {
  const std::vector<double> p{2.0, 10.0, 0.5, 0.0};
  const std::vector<double> se{0.2, 50.0, 0.05, 0.1};
  EXPECT_DOUBLE_EQ(ratio_sum(3, p, se, true), 0.1 + 2.0 + 0.1);
  // A zero parameter makes an infinite ratio: capped too.
  EXPECT_DOUBLE_EQ(ratio_sum(4, p, se, true), 0.1 + 2.0 + 0.1 + 2.0);
  const std::vector<double> nan_se{std::nan(""), 0.2};
  EXPECT_EQ(ratio_sum(2, p, nan_se, true), 2.0 + 0.02);
  EXPECT_EQ(ratio_sum(3, p, se, false), 6.0);
}

TEST(PoorlyDetermined, CountsErrorsAboveThreeQuartersOfTheValue) {
  const std::vector<double> p{1.0, 1.0, 1.0, 1.0};
  const std::vector<double> se{0.74, 0.76, 2.0, std::nan("")};
  EXPECT_EQ(poorly_determined_count(2, p, se, true), 1);
  EXPECT_EQ(poorly_determined_count(4, p, se, true), 3);
  EXPECT_EQ(poorly_determined_count(4, p, se, false), 4);
}

// Sorts with dsort and checks the order and that every value kept its companion.
void check_sort(std::vector<double> v, int kind) {
  const auto original = v;
  std::vector<double> c(v.size());
  std::iota(c.begin(), c.end(), 0.0);
  dsort(v, c, static_cast<int>(v.size()), kind);
  EXPECT_TRUE(kind > 0 ? std::is_sorted(v.begin(), v.end()) : std::is_sorted(v.rbegin(), v.rend()));
  for (std::size_t q = 0; q < v.size(); ++q)
    EXPECT_EQ(v[q], original[static_cast<std::size_t>(c[q])]);
  std::sort(c.begin(), c.end());
  EXPECT_EQ(std::adjacent_find(c.begin(), c.end()), c.end());  // each companion once
}

TEST(Dsort, CarriesTheCompanionArray) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-100.0, 100.0);
  std::uniform_int_distribution<int> small(0, 4);
  for (int size : {2, 3, 5, 10, 11, 12, 25, 100, 1000}) {
    std::vector<double> v(static_cast<std::size_t>(size));
    for (double& x : v)
      x = u(gen);
    check_sort(v, 2);
    check_sort(v, -2);
    for (double& x : v)
      x = small(gen);  // many ties
    check_sort(v, 2);
  }
  check_sort({5, 4, 3, 2, 1, 0, -1}, 2);
  check_sort({1, 2, 3, 4, 5, 6, 7}, 2);
  check_sort({3, 3, 3, 3}, 2);
}

TEST(Dsort, EqualValuesComeOutInTheQuicksortsOrder) {
  // Traced by hand through the partition: the two 1s and the two 2s are not kept
  // in their input order.
  std::vector<double> v{2, 1, 2, 1};
  std::vector<double> c{1, 2, 3, 4};
  dsort(v, c, 4, 2);
  EXPECT_EQ(v, (std::vector<double>{1, 1, 2, 2}));
  EXPECT_EQ(c, (std::vector<double>{2, 4, 3, 1}));
}

TEST(Dsort, KindOneSortsWithoutCompanionAndOtherKindsDoNothing) {
  std::vector<double> v{9, 3, 1, 2};
  dsort(v, {}, 3, 1);  // only the first `count` values take part
  EXPECT_EQ(v, (std::vector<double>{1, 3, 9, 2}));
  dsort(v, {}, 3, -1);
  EXPECT_EQ(v, (std::vector<double>{9, 3, 1, 2}));
  std::vector<double> c{1, 2, 3, 4};
  dsort(v, c, 4, 0);
  dsort(v, c, 1, 2);
  EXPECT_EQ(v, (std::vector<double>{9, 3, 1, 2}));
  EXPECT_EQ(c, (std::vector<double>{1, 2, 3, 4}));
}

TEST(RankModels, EvidenceRatiosAndMarkers) {
  // Differences 0, 6, 20 and 2000: LER = 0.5 * delta * log10(e).
  std::vector<double> raic{-40.0, -20.0, 1960.0, -34.0};
  std::vector<double> ridx{1.0, 2.0, 3.0, 4.0};
  const auto rows = rank_models(raic, ridx, 4);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(ridx, (std::vector<double>{1.0, 4.0, 2.0, 3.0}));
  const double log10e = std::log10(std::exp(1.0));
  EXPECT_TRUE(rel_near(rows[1].ler, 3.0 * log10e, 1e-12));
  EXPECT_EQ(rows[1].marker, "* ");
  EXPECT_TRUE(rel_near(rows[2].ler, 10.0 * log10e, 1e-12));
  EXPECT_NEAR(rows[2].ler, 4.34, 5e-3);
  EXPECT_EQ(rows[2].marker, "  ");
  // exp(-1000) underflows: the weight is floored and the ratio taken against it.
  EXPECT_EQ(rows[3].weight, weight_floor);
  EXPECT_TRUE(rel_near(rows[3].ler, std::log10(rows[0].weight / 1e-60), 1e-15));
  EXPECT_EQ(rows[3].marker, "  ");
  EXPECT_EQ(rows[3].delta, 2000.0);
  double sum = 0.0;
  for (const auto& r : rows)
    sum += r.weight;
  EXPECT_NEAR(sum, 1.0, 1e-15);
}

TEST(RankModels, NotANumberRanksLastWithoutDisturbingTheOthers) {
  std::vector<double> raic{std::nan(""), 12.0, 10.0};
  std::vector<double> ridx{1.0, 2.0, 3.0};
  const auto rows = rank_models(raic, ridx, 3);
  EXPECT_EQ(ridx, (std::vector<double>{3.0, 2.0, 1.0}));
  EXPECT_TRUE(std::isnan(raic[2]));
  EXPECT_TRUE(std::isnan(rows[2].aicc));
  EXPECT_TRUE(std::isnan(rows[2].delta));
  EXPECT_EQ(rows[2].weight, weight_floor);
  EXPECT_EQ(rows[2].marker, "  ");
  EXPECT_NEAR(rows[1].ler, 0.4343, 5e-5);
  EXPECT_EQ(rows[1].marker, "**");
}

TEST(RankModels, ZeroResidualRanksFirstAndNaNMarksGetBlanks) {
  std::vector<double> raic{5.0, -std::numeric_limits<double>::infinity()};
  std::vector<double> ridx{1.0, 2.0};
  const auto rows = rank_models(raic, ridx, 2);
  EXPECT_EQ(rows[0].index, 2);
  EXPECT_TRUE(std::isnan(rows[1].ler));
  EXPECT_EQ(rows[1].marker, "  ");
}

}  // namespace
}  // namespace inhibra::fit
