#include "fit/likelihood_criteria.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace inhibra::fit {
namespace {

TEST(LikelihoodCriteriaTest, MatchHandComputedValues) {
  // N = 24, n = 3, SSR = 0.0012, equal weights. k = 4:
  // lnL = -12 (ln(2 pi 0.0012 / 24) + 1) = 84.7873...
  const auto c = textbook_criteria(24, 3, 0.0012, 0.0);
  const double lnL = -12.0 * (std::log(2.0 * std::numbers::pi * 0.00005) + 1.0);
  EXPECT_NEAR(c.log_likelihood, lnL, 1e-12);
  EXPECT_NEAR(c.log_likelihood, 84.7873, 1e-4);
  EXPECT_NEAR(c.aicc, -2.0 * lnL + 8.0 + 40.0 / 19.0, 1e-12);
  EXPECT_NEAR(c.bic, -2.0 * lnL + 4.0 * std::log(24.0), 1e-12);

  // The error model's log sizes enter lnL by half; scaling every weight by c scales the
  // weighted sum by c and the log sum by -N ln c, which leaves the criteria alone.
  const auto weighted = textbook_criteria(24, 3, 0.0012, 10.0);
  EXPECT_NEAR(weighted.log_likelihood, lnL - 5.0, 1e-12);
  const auto scaled = textbook_criteria(24, 3, 0.0012 * 1e4, 10.0 - 24.0 * std::log(1e4));
  EXPECT_NEAR(scaled.aicc, weighted.aicc, 1e-9);
  EXPECT_NEAR(scaled.bic, weighted.bic, 1e-9);
}

TEST(LikelihoodCriteriaTest, UndefinedWhereTheDataLeaveNoDegreesOfFreedom) {
  // n = 3, k = 4: AICc needs N - k - 1 > 0, that is N >= 6; lnL and BIC exist below.
  EXPECT_TRUE(std::isnan(textbook_criteria(5, 3, 1.0, 0.0).aicc));
  EXPECT_FALSE(std::isnan(textbook_criteria(5, 3, 1.0, 0.0).bic));
  EXPECT_FALSE(std::isnan(textbook_criteria(6, 3, 1.0, 0.0).aicc));
  for (double ssr : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
    const auto c = textbook_criteria(24, 3, ssr, 0.0);
    EXPECT_TRUE(std::isnan(c.log_likelihood) && std::isnan(c.aicc) && std::isnan(c.bic)) << ssr;
  }
}

TEST(LikelihoodCriteriaTest, WeightsAndEvidenceRatios) {
  // Deltas 0, 2, 4: weights proportional to 1, e^-1, e^-2.
  const std::vector<double> aicc{-100.0, -98.0, std::nan(""), -96.0};
  const auto w = akaike_weights(aicc);
  const double sum = 1.0 + std::exp(-1.0) + std::exp(-2.0);
  EXPECT_NEAR(w[0], 1.0 / sum, 1e-15);
  EXPECT_NEAR(w[1], std::exp(-1.0) / sum, 1e-15);
  EXPECT_EQ(w[2], 0.0);
  EXPECT_NEAR(w[3], std::exp(-2.0) / sum, 1e-15);
  const auto ler = log_evidence_ratios(aicc);
  EXPECT_EQ(ler[0], 0.0);
  EXPECT_NEAR(ler[1], std::log10(std::exp(1.0)), 1e-15);
  EXPECT_TRUE(std::isnan(ler[2]));
  EXPECT_NEAR(ler[3], 2.0 * std::log10(std::exp(1.0)), 1e-15);

  const std::vector<double> none{std::nan(""), std::nan("")};
  EXPECT_EQ(akaike_weights(none), (std::vector<double>{0.0, 0.0}));
}

}  // namespace
}  // namespace inhibra::fit
