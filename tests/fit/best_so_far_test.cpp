// The two places where the driver keeps the best so far: between the stages of
// one fit, and among the fitted models of a run. A value that is not a number
// must never win either.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "fit/fit_results.hpp"
#include "fit/stage_recipe.hpp"

namespace inhibra::fit {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(KeepBest, AStageThatIsNotLowerOrHasNoValueIsUndone) {
  const par_array best_point{1.0, 2.0, 3.0};
  const par_array stage_point{4.0, 5.0, 6.0};
  for (const auto& [stage, taken] :
       {std::pair{1.5, true}, std::pair{2.0, true}, std::pair{2.5, false}, std::pair{nan, false}}) {
    SCOPED_TRACE(stage);
    double f = stage, f_best = 2.0;
    par_array x = stage_point, x_best = best_point;
    keep_best(f, x, f_best, x_best);
    EXPECT_EQ(f, taken ? stage : 2.0);
    EXPECT_EQ(f_best, taken ? stage : 2.0);
    EXPECT_EQ(x, taken ? stage_point : best_point);
    EXPECT_EQ(x_best, taken ? stage_point : best_point);
  }
}

std::vector<model_result> fitted_with(const std::vector<double>& aicc) {
  std::vector<model_result> fitted;
  for (std::size_t k = 0; k < aicc.size(); ++k) {
    model_result r;
    r.model = static_cast<int>(k) + 1;
    r.aicc = aicc[k];
    fitted.push_back(r);
  }
  return fitted;
}

TEST(BestFitted, AnAiccThatIsNotANumberRanksBehindEveryNumber) {
  const double inf = std::numeric_limits<double>::infinity();
  struct expectation {
    std::vector<double> aicc;
    std::size_t best;
  };
  for (const auto& e : {
           expectation{{-10.0, nan, -20.0}, 2},  // a NaN between numbers changes nothing
           expectation{{nan, -20.0, -10.0}, 1},  // a NaN first is passed by the next number
           expectation{{-20.0, nan}, 0},         // a NaN last never takes the place
           expectation{{nan, nan}, 1},           // only NaN: the later model, as on ties
           expectation{{inf, nan}, 1},           // NaN counts as +Infinity: a tie
           expectation{{-5.0, -5.0, -6.0}, 2},   // the lowest
           expectation{{-5.0, -6.0, -6.0}, 2},   // the later model on ties
           expectation{{1e17, 2e17}, 0},         // any first model starts the comparison
       }) {
    const auto best = best_fitted(fitted_with(e.aicc));
    ASSERT_TRUE(best.has_value());
    EXPECT_EQ(*best, e.best) << ::testing::PrintToString(e.aicc);
  }
  EXPECT_FALSE(best_fitted({}).has_value());
}

}  // namespace
}  // namespace inhibra::fit
