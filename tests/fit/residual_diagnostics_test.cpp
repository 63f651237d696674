// Residual checks against worked examples: the published Shapiro-Wilk example, runs
// and rank correlations small enough to count by hand, and lack-of-fit F tests on
// hand-made replicate groups. Reference p values were computed with SciPy 1.10
// (scipy.stats.shapiro, norm.cdf, spearmanr, f.sf) from the statistics derived in
// the comments; SciPy's Shapiro-Wilk works in single precision, hence the looser
// tolerance there.
#include "fit/residual_diagnostics.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace inhibra::fit {
namespace {

constexpr double tight = 1e-9;        // relative, for statistics in closed form
constexpr double single_prec = 2e-5;  // relative, against SciPy's single-precision W and p

void expect_rel(double got, double want, double tolerance, const std::string& what) {
  EXPECT_NEAR(got, want, tolerance * std::abs(want)) << what;
}

void expect_not_available(const diagnostic_test& t, const std::string& what) {
  EXPECT_FALSE(t.available) << what;
  EXPECT_TRUE(std::isnan(t.p)) << what;
  EXPECT_TRUE(t.advice.empty()) << what;
}

TEST(ShapiroWilk, PublishedAndWorkedSamples) {
  struct sample {
    const char* name;
    std::vector<double> x;
    double w;
    double p;
  };
  const std::vector<sample> table{
      // Shapiro and Wilk (1965), the weights in pounds of 11 men: W = 0.79, p < 0.01.
      {"eleven men",
       {148, 154, 158, 160, 161, 162, 166, 170, 182, 195, 236},
       0.7888147831,
       0.006703833},
      // n = 3 has an exact p value.
      {"three values", {1, 2, 4}, 0.9642857313, 0.6368856431},
      // 4 <= n <= 11: the polynomials in n, one fixed coefficient at each end.
      {"four values", {3.1, 1.2, 5.0, 2.2}, 0.9741063118, 0.8667219877},
      {"five values", {1.0, 2.0, 3.5, 9.0, 2.5}, 0.8124129772, 0.1018962562},
      // From six on, two fixed coefficients at each end.
      {"six values", {2.3, 1.1, 4.8, 3.0, 2.2, 9.5}, 0.8295377493, 0.1065242961},
      // n >= 12: the polynomials in ln n.
      {"twenty values",
       {2.1, 3.4, 1.9, 5.6, 4.4, 3.3, 2.8, 3.9, 4.1, 3.0,
        2.6, 3.7, 4.9, 3.2, 2.2, 4.6, 3.5, 2.9, 3.8, 4.0},
       0.9858558178,
       0.9862807989},
  };
  for (const auto& s : table) {
    const diagnostic_test t = shapiro_wilk(s.x);
    ASSERT_TRUE(t.available) << s.name;
    expect_rel(t.statistic, s.w, single_prec, s.name);
    expect_rel(t.p, s.p, single_prec, s.name);
    EXPECT_EQ(t.advice.empty(), s.p >= advice_level) << s.name;
  }
  // A skewed sample of 40: exp of equally spaced values (W = 0.8106, p = 1.13e-5).
  std::vector<double> skewed;
  for (int i = 0; i < 40; ++i)
    skewed.push_back(std::exp(-2.0 + 4.0 * i / 39.0));
  const diagnostic_test t = shapiro_wilk(skewed);
  expect_rel(t.statistic, 0.8105711341, single_prec, "skewed");
  expect_rel(t.p, 1.1337469e-05, 1e-3, "skewed");
  EXPECT_EQ(t.advice,
            "residuals are not normal (Shapiro-Wilk p < 0.0001): look for outliers, or fit with "
            "robust weighting");
  // Already robust: the advice does not suggest it again.
  EXPECT_EQ(shapiro_wilk(skewed, true).advice,
            "residuals are not normal (Shapiro-Wilk p < 0.0001): look for outliers");
}

TEST(ShapiroWilk, NotAvailableOutsideItsRange) {
  expect_not_available(shapiro_wilk(std::vector<double>{1.0, 2.0}), "two values");
  expect_not_available(shapiro_wilk(std::vector<double>{3.0, 3.0, 3.0, 3.0}), "all equal");
  std::vector<double> many(5001);
  for (std::size_t i = 0; i < many.size(); ++i)
    many[i] = std::sin(static_cast<double>(i));
  expect_not_available(shapiro_wilk(many), "5001 values");
  many.pop_back();
  EXPECT_TRUE(shapiro_wilk(many).available);
}

// Runs along [S]: with n1 and n2 residuals of each sign in a curve, the runs have
// mean 1 + 2 n1 n2 / n and variance 2 n1 n2 (2 n1 n2 - n) / (n^2 (n - 1)); the p
// value is Phi((R - mean + 1/2) / sd), summed over the curves.
TEST(RunsTest, WorkedSequences) {
  struct sequence {
    const char* name;
    std::vector<double> substrate;
    std::vector<double> residual;
    std::vector<int> curve;
    double runs;
    double p;
  };
  const std::vector<double> s12{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const std::vector<double> halves{1, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -1};
  const std::vector<int> one(12, 0);
  const std::vector<sequence> table{
      // Six above then six below: R = 2, mean 7, variance 4320 / 1584.
      {"one curve, two runs", s12, halves, one, 2, 0.003216191259},
      // The same rows written in another order: the runs follow [S], not the file.
      {"rows out of order",
       {7, 1, 12, 2, 8, 3, 9, 4, 10, 5, 11, 6},
       {-1, 1, -1, 1, -1, 1, -1, 1, -1, 1, -1, 1},
       one,
       2,
       0.003216191259},
      // A zero residual is left out: the rest is the first case.
      {"a zero residual",
       {1, 2, 3, 4, 5, 6, 6.5, 7, 8, 9, 10, 11, 12},
       {1, 1, 1, 1, 1, 1, 0, -1, -1, -1, -1, -1, -1},
       std::vector<int>(13, 0),
       2,
       0.003216191259},
      // Two curves of six: + + + - - - (R = 2) and + - + - + - (R = 6); each has mean
      // 4 and variance 1.2, so R = 8 against a mean of 8 and variance 2.4. Joined
      // into one sequence they would count 7 runs about a mean of 7.
      {"two curves",
       {1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 6},
       {1, 1, 1, -1, -1, -1, 1, -1, 1, -1, 1, -1},
       {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1},
       8,
       0.6265571833},
  };
  for (const auto& c : table) {
    const diagnostic_test t = runs_test(c.substrate, c.residual, c.curve);
    ASSERT_TRUE(t.available) << c.name;
    EXPECT_EQ(t.statistic, c.runs) << c.name;
    expect_rel(t.p, c.p, tight, c.name);
    EXPECT_EQ(t.advice.empty(), c.p >= advice_level) << c.name;
  }
  EXPECT_EQ(runs_test(s12, halves, one).advice,
            "systematic misfit along [S] (runs p = 0.0032): the model does not follow the curve "
            "shape");
  // Alternating signs: as many runs as rows, far from too few.
  std::vector<double> alternating(12);
  for (std::size_t k = 0; k < alternating.size(); ++k)
    alternating[k] = k % 2 == 0 ? 1.0 : -1.0;
  const diagnostic_test many = runs_test(s12, alternating, one);
  EXPECT_EQ(many.statistic, 12.0);
  EXPECT_GT(many.p, 0.99);
  // One sign only in every curve: nothing to count.
  expect_not_available(runs_test(s12, std::vector<double>(12, 1.0), one), "one sign");
}

// Two groups of rates, 0.5 and 2 (ln v = -c and +c, c = ln 2), with squared scaled
// residuals summing to B and A: the likelihood is highest at gamma = ln(A / B) / (4c)
// and gains ln((A + B) / (2 sqrt(AB))) per row there. A = 0.64, B = 0.04: gamma = 1,
// twice the gain 8 ln(0.68 / 0.32) = 6.0302, z = 2.4556, one-sided p = 0.0070317.
TEST(SpreadTrend, LikelihoodRatioOfTheScattersPowerOfTheRate) {
  const std::vector<double> rate{0.5, 0.5, 0.5, 0.5, 2, 2, 2, 2};
  const std::vector<double> growing{0.1, -0.1, 0.1, -0.1, 0.4, -0.4, -0.4, 0.4};
  const std::vector<double> shrinking{0.4, -0.4, 0.4, -0.4, 0.1, -0.1, -0.1, 0.1};
  struct trend {
    const char* name;
    std::vector<double> residual;
    error_model errors;
    double gamma;
    double p;
    weights_advice advised;
  };
  const double finding = 0.0070316717632866585;
  const double none = 1.0 - finding;
  const std::vector<trend> table{
      {"growing, equal weights", growing, error_model::equal, 1.0, finding,
       weights_advice::relative},
      {"growing, Poisson weights", growing, error_model::poisson, 1.0, finding,
       weights_advice::relative},
      {"growing, relative weights", growing, error_model::relative, 1.0, none,
       weights_advice::keep},
      {"shrinking, relative weights", shrinking, error_model::relative, -1.0, finding,
       weights_advice::poisson_or_equal},
      {"shrinking, equal weights", shrinking, error_model::equal, -1.0, none, weights_advice::keep},
  };
  for (const auto& c : table) {
    const diagnostic_test t = spread_trend(rate, c.residual, c.errors);
    ASSERT_TRUE(t.available) << c.name;
    expect_rel(t.statistic, c.gamma, 1e-9, c.name);
    expect_rel(t.p, c.p, 1e-8, c.name);
    // The same rows through the whole set of checks give the weights advice.
    const std::vector<double> zeros(rate.size(), 0.0);
    std::vector<double> observed(rate.size());
    for (std::size_t k = 0; k < rate.size(); ++k)
      observed[k] = rate[k] + c.residual[k];
    const std::vector<int> curve(rate.size(), 0);
    const residual_diagnostics d =
        diagnose_residuals({rate, zeros, observed, rate, {}, curve}, {3, c.errors, false});
    EXPECT_EQ(d.weights, c.advised) << c.name;
    EXPECT_EQ(d.advises_relative(), c.advised == weights_advice::relative) << c.name;
  }
  EXPECT_EQ(spread_trend(rate, growing, error_model::equal).advice,
            "residuals grow with the rate (p = 0.007): fit with relative weights");
  EXPECT_EQ(spread_trend(rate, shrinking, error_model::relative).advice,
            "residuals shrink as the rate grows under relative weights (p = 0.007): fit with "
            "Poisson or equal weights");
  // The scale of the rates and of the residuals does not count.
  std::vector<double> scaled_rate = rate;
  std::vector<double> scaled_residual = growing;
  for (std::size_t k = 0; k < rate.size(); ++k) {
    scaled_rate[k] *= 1e-4;
    scaled_residual[k] *= 3e-6;
  }
  expect_rel(spread_trend(scaled_rate, scaled_residual, error_model::equal).p, finding, 1e-8,
             "scaled");

  // One gross outlier at the highest rate beside an even scatter is no trend: it lies
  // far outside the scatter and does not count, and the rest have no power at all.
  std::vector<double> ramp(12);
  std::vector<double> even(12);
  for (std::size_t k = 0; k < ramp.size(); ++k) {
    ramp[k] = static_cast<double>(k + 1);
    even[k] = k % 2 == 0 ? 0.1 : -0.1;
  }
  even.back() = 5.0;
  const diagnostic_test outlier = spread_trend(ramp, even, error_model::equal);
  EXPECT_NEAR(outlier.statistic, 0.0, 1e-9);
  EXPECT_NEAR(outlier.p, 0.5, 1e-6);
  EXPECT_TRUE(outlier.advice.empty());
  // A rate fitted at or below 0 counts as a small positive rate, never as a NaN.
  const diagnostic_test at_zero =
      spread_trend(std::vector<double>{0, -1, 0.5, 0.5, 2, 2, 2, 2}, growing, error_model::equal);
  EXPECT_TRUE(at_zero.available && std::isfinite(at_zero.statistic) && std::isfinite(at_zero.p));

  expect_not_available(spread_trend(ramp, std::vector<double>(12, 0.0), error_model::equal),
                       "no scatter");
  expect_not_available(spread_trend(std::vector<double>(6, 2.0),
                                    std::vector<double>{1, 2, 3, 4, 5, 6}, error_model::equal),
                       "one rate");
  expect_not_available(
      spread_trend(std::vector<double>{1, 2}, std::vector<double>{1, 2}, error_model::equal),
      "two rows");
}

// F = (SS_lof / (groups - parameters)) / (SS_pe / (N - groups)).
TEST(LackOfFit, ReplicateGroups) {
  struct replicates {
    const char* name;
    std::vector<double> substrate;
    std::vector<double> inhibitor;
    std::vector<double> observed;
    std::vector<double> fitted;
    std::vector<double> weights;
    int parameters;
    double f;
    double p;
  };
  const std::vector<replicates> table{
      // Pairs (1, 3), (4, 6), (2, 4) about fitted 1, 6, 3: pure error 6 on 3 degrees
      // of freedom, lack of fit 2 (1)^2 + 2 (1)^2 = 4 on 3 - 1.
      {"equal weights",
       {1, 1, 2, 2, 3, 3},
       {0, 0, 0, 0, 0, 0},
       {1, 3, 4, 6, 2, 4},
       {1, 1, 6, 6, 3, 3},
       {},
       1,
       1.0,
       0.46475800154489},
      // Same [S], other [I]: separate groups. Weights (1, 3), (1, 1), (2, 2): means 2.5,
      // 5, 3; pure error 3 + 2 + 4 = 9, lack of fit 4 (0.5)^2 + 2 (1)^2 + 0 = 3; a row
      // without replicate adds a group (lack of fit (7 - 5)^2) and no pure error.
      {"weights and a single row",
       {1, 1, 1, 1, 2, 2, 3},
       {0, 0, 5, 5, 0, 0, 0},
       {1, 3, 4, 6, 2, 4, 7},
       {2, 2, 6, 6, 3, 3, 5},
       {1, 3, 1, 1, 2, 2, 1},
       1,
       7.0 / 9.0,
       0.5793697501136238},
      // Tight replicates far from the fit: pure error 0.06, lack of fit 11.26.
      {"means missed",
       {1, 1, 2, 2, 3, 3},
       {0, 0, 0, 0, 0, 0},
       {1, 1.2, 4, 4.2, 2, 2.2},
       {3, 3, 3, 3, 3, 3},
       {},
       1,
       281.5,
       0.0003858844119299132},
  };
  for (const auto& c : table) {
    const diagnostic_test t =
        lack_of_fit(c.substrate, c.inhibitor, c.observed, c.fitted, c.weights, c.parameters);
    ASSERT_TRUE(t.available) << c.name;
    expect_rel(t.statistic, c.f, 1e-12, c.name);
    expect_rel(t.p, c.p, 1e-8, c.name);
    EXPECT_EQ(t.advice.empty(), c.p >= advice_level) << c.name;
  }
  EXPECT_EQ(
      lack_of_fit(table[2].substrate, table[2].inhibitor, table[2].observed, table[2].fitted, {}, 1)
          .advice,
      "the model misses the replicate means (lack-of-fit p = 0.00039): try a model with more "
      "freedom, or check whether replicates were measured together (they then understate "
      "the scatter)");

  const std::vector<double> s{1, 1, 2, 2};
  const std::vector<double> i(4, 0.0);
  const std::vector<double> y{1, 2, 3, 4};
  expect_not_available(lack_of_fit(std::vector<double>{1, 2, 3, 4}, i, y, y, {}, 1),
                       "no replicates");
  expect_not_available(lack_of_fit(s, i, y, y, {}, 2), "groups = parameters");
  expect_not_available(lack_of_fit(s, i, std::vector<double>{1, 1, 3, 3}, y, {}, 1),
                       "replicates agree exactly");
  EXPECT_TRUE(lack_of_fit(s, i, y, y, {}, 1).available);
}

TEST(DiagnoseResiduals, RowsLeftOutAndMismatchedColumns) {
  // Two curves of six: the first five rows of each above the fit, the last below.
  const std::vector<double> s{50, 100, 200, 300, 500, 700, 50, 100, 200, 300, 500, 700};
  const std::vector<double> i{0, 0, 0, 0, 0, 0, 10, 10, 10, 10, 10, 10};
  std::vector<double> fitted(12);
  std::vector<double> observed(12);
  for (std::size_t k = 0; k < 12; ++k) {
    fitted[k] = s[k] / (100.0 + s[k]) / (1.0 + i[k] / 20.0);
    observed[k] = fitted[k] + (k % 6 == 5 ? -0.02 : 0.004 * static_cast<double>(k % 6 + 1));
  }
  const std::vector<int> curve{0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1};
  std::vector<double> w(12, 1.0);
  const residual_diagnostics all = diagnose_residuals({s, i, observed, fitted, w, curve}, {3});
  ASSERT_TRUE(all.runs.available);
  EXPECT_EQ(all.runs.statistic, 4.0);
  EXPECT_TRUE(all.normality.available);
  EXPECT_TRUE(all.spread.available);
  expect_not_available(all.lack_of_fit, "no replicates");

  // A row of weight 0 is left out of every check: the sixth row's run goes.
  w[5] = 0.0;
  const residual_diagnostics fewer = diagnose_residuals({s, i, observed, fitted, w, curve}, {3});
  EXPECT_EQ(fewer.runs.statistic, 3.0);
  std::vector<double> kept_scaled;
  for (std::size_t k = 0; k < 12; ++k)
    if (k != 5) kept_scaled.push_back(observed[k] - fitted[k]);
  EXPECT_EQ(fewer.normality.statistic, shapiro_wilk(kept_scaled).statistic);

  // Weights scale the residuals that the normality and spread checks see.
  std::vector<double> halved(12, 0.25);
  halved[0] = 1.0;
  const residual_diagnostics weighted =
      diagnose_residuals({s, i, observed, fitted, halved, curve}, {3});
  std::vector<double> scaled(12);
  for (std::size_t k = 0; k < 12; ++k)
    scaled[k] = (observed[k] - fitted[k]) * std::sqrt(halved[k]);
  EXPECT_EQ(weighted.normality.statistic, shapiro_wilk(scaled).statistic);
  EXPECT_NE(weighted.normality.statistic, all.normality.statistic);
  EXPECT_EQ(weighted.spread.statistic, spread_trend(fitted, scaled, error_model::equal).statistic);

  // Columns of different lengths: nothing is available.
  const std::vector<double> short_fit(fitted.begin(), fitted.end() - 1);
  const residual_diagnostics broken =
      diagnose_residuals({s, i, observed, short_fit, {}, curve}, {3});
  expect_not_available(broken.runs, "runs");
  expect_not_available(broken.normality, "normality");
  expect_not_available(broken.spread, "spread");
  expect_not_available(broken.lack_of_fit, "lack of fit");
  EXPECT_EQ(broken.weights, weights_advice::keep);
}

TEST(PText, TwoDigitsAndAFloor) {
  EXPECT_EQ(p_text(0.0021), "p = 0.0021");
  EXPECT_EQ(p_text(0.01234), "p = 0.012");
  EXPECT_EQ(p_text(0.0001), "p = 0.0001");
  EXPECT_EQ(p_text(0.0000999), "p < 0.0001");
  EXPECT_EQ(p_text(0.0), "p < 0.0001");
}

}  // namespace
}  // namespace inhibra::fit
