#pragma once
// Extra-sum-of-squares F tests between fitted models where one is a special case of
// the other (the pairs of models::nested_pairs): does the general model fit better
// than its special case by more than its extra parameters explain?
#include <string>
#include <string_view>
#include <vector>

#include "fit/model_result.hpp"
#include "models/nested_models.hpp"

namespace inhibra::evidence {

using fit::model_result;

// The F test of a special model (n_s parameters, sum ssr_s) against a general one
// (n_g > n_s, sum ssr_g) on N observations:
//   F = ((ssr_s - ssr_g) / (df_s - df_g)) / (ssr_g / df_g),  df = N - n,
// with df1 = n_g - n_s and df2 = N - n_g, and p = P(F(df1, df2) > F) (the extra sum of
// squares test of nested least-squares models). A general fit whose sum lies above
// its special case's (it missed its optimum) gives F = 0, p = 1. F and p are not a
// number where df2 < 1, df1 < 1 or ssr_g is not a positive number.
struct f_test {
  double f = 0.0;
  double p = 0.0;
  int df1 = 0;
  int df2 = 0;
};
[[nodiscard]] f_test extra_sum_of_squares(double ssr_s, int n_s, double ssr_g, int n_g, int N);

// Whether the special model of the pair sits at an end of the general model's box
// (a limit such as a -> infinity or b -> 0, or a fixed value that is the box's end):
// the general model reaches it only at the edge of its range, so the F distribution
// of the test does not hold exactly and its p value is conservative.
[[nodiscard]] bool at_box_end(const models::nested_pair& pair);

struct nested_test {
  int special = 0;
  int general = 0;
  std::string how;  // how the special case sits in the general one ("b -> 0")
  f_test test;
  bool boundary = false;  // see at_box_end
};

// Every pair of models::nested_pairs whose two models were both fitted, in the
// table's order, on the weighted sums of the fits (r.ssr) and N observations.
[[nodiscard]] std::vector<nested_test> nested_tests(const std::vector<model_result>& fitted, int N);

// The test of `special` within `general` among `tests`, or nullptr.
[[nodiscard]] const nested_test* find_test(const std::vector<nested_test>& tests, int special,
                                           int general);

}  // namespace inhibra::evidence
