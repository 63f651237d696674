#include "evidence/nested_tests.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace inhibra::evidence {
namespace {

constexpr double table_p = 5e-4;  // table values of F are given to three digits

// Worked by hand from the upper percentage points of the F distribution: with N = 24,
// a 3-parameter special model and a 4-parameter general one, df1 = 1 and df2 = 20;
// ssr_g = 2 gives ssr_g / df2 = 0.1, and ssr_s = 2.435 gives F = 0.435 / 0.1 = 4.35,
// the 5 % point of F(1, 20). Likewise 8.10 is its 1 % point, and with a 5-parameter
// general model (df1 = 2, df2 = 19) 3.52 is the 5 % point of F(2, 19).
TEST(ExtraSumOfSquares, MatchesTheTablesOfTheFDistribution) {
  struct worked {
    double ssr_s;
    int n_g;
    double f;
    int df1;
    int df2;
    double p;
  };
  const worked cases[] = {
      {2.435, 4, 4.35, 1, 20, 0.05},
      {2.0 + 0.81, 4, 8.10, 1, 20, 0.01},
      {2.0 + 2.0 * 3.52 * 2.0 / 19.0, 5, 3.52, 2, 19, 0.05},
  };
  for (const auto& c : cases) {
    const f_test t = extra_sum_of_squares(c.ssr_s, 3, 2.0, c.n_g, 24);
    EXPECT_EQ(t.df1, c.df1);
    EXPECT_EQ(t.df2, c.df2);
    EXPECT_NEAR(t.f, c.f, 1e-12);
    EXPECT_NEAR(t.p, c.p, table_p) << c.f;
  }
}

TEST(ExtraSumOfSquares, EdgesGiveNoFalseEvidence) {
  // The general fit above its special case: no evidence for it.
  const f_test worse = extra_sum_of_squares(1.0, 3, 1.2, 4, 24);
  EXPECT_EQ(worse.f, 0.0);
  EXPECT_EQ(worse.p, 1.0);
  // Equal sums: F = 0, p = 1.
  EXPECT_EQ(extra_sum_of_squares(1.0, 3, 1.0, 4, 24).p, 1.0);
  // No degrees of freedom left, a perfect general fit, or no extra parameter: undefined.
  EXPECT_TRUE(std::isnan(extra_sum_of_squares(1.0, 3, 0.5, 5, 5).p));
  EXPECT_TRUE(std::isnan(extra_sum_of_squares(1.0, 3, 0.0, 4, 24).f));
  EXPECT_TRUE(std::isnan(extra_sum_of_squares(1.0, 4, 0.5, 4, 24).p));
  EXPECT_TRUE(std::isnan(extra_sum_of_squares(NAN, 3, 0.5, 4, 24).p));
}

// Only the pins inside the general model's range are ordinary tests: b = 1 and a = 1
// inside model 10, and b = a there (model 10's b may pass a). Every other special case
// lies at an end of the general model's range (a -> infinity, b -> 0, a = 1 as the
// lower end of models 4 and 9, b -> a as model 8's ceiling).
TEST(NestedTests, BoundaryWhereTheSpecialCaseSitsAtABoxEnd) {
  for (const models::nested_pair& pair : models::nested_pairs()) {
    const bool inside =
        pair.general == 10 && (pair.special == 5 || pair.special == 6 || pair.special == 7);
    EXPECT_EQ(at_box_end(pair), !inside) << pair.special << " in " << pair.general;
  }
}

TEST(NestedTests, EveryPairWhoseModelsWereBothFitted) {
  auto fit = [](int model, int n, double ssr) {
    model_result r;
    r.model = model;
    r.n = n;
    r.ssr = ssr;
    return r;
  };
  const std::vector<model_result> fitted{fit(10, 5, 1.0), fit(1, 3, 3.0), fit(4, 4, 1.1),
                                         fit(6, 4, 2.0)};
  const auto tests = nested_tests(fitted, 24);
  ASSERT_EQ(tests.size(), 4u);  // 1 in 4, 1 in 10, 4 in 10, 6 in 10, in the table's order
  EXPECT_EQ(tests[0].special, 1);
  EXPECT_EQ(tests[0].general, 4);
  EXPECT_EQ(tests[0].how, "a -> infinity");
  EXPECT_TRUE(tests[0].boundary);
  EXPECT_NEAR(tests[0].test.f, (3.0 - 1.1) / (1.1 / 20.0), 1e-12);
  const nested_test* t = find_test(tests, 1, 10);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->test.df1, 2);
  EXPECT_EQ(t->test.df2, 19);
  EXPECT_NEAR(t->test.f, (2.0 / 2.0) / (1.0 / 19.0), 1e-12);
  ASSERT_NE(find_test(tests, 6, 10), nullptr);
  EXPECT_FALSE(find_test(tests, 6, 10)->boundary);
  EXPECT_EQ(find_test(tests, 2, 10), nullptr);  // model 2 not fitted
}

}  // namespace
}  // namespace inhibra::evidence
