// The table of special cases: each special model is its general model with the pins
// applied, checked on the rates themselves.
#include "models/nested_models.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "models/model_catalogue.hpp"
#include "models/model_forms.hpp"
#include "models/model_library.hpp"

namespace inhibra::models {
namespace {

constexpr double same_rate = 1e-9;  // relative
// At the box's own end (a = 1e6, b = 1e-6) the rates differ by about [I]/(a Ki) or
// b [I]/Ki, below 1e-5 on this grid: the end stands for the limit.
constexpr double box_end_rate = 1e-4;
// The limits taken far beyond the box.
constexpr double far_small = 1e-13;
constexpr double far_large = 1e13;

double rate(int model, double s, double i, parameter_vector p) {
  core::fit_context ctx;
  ctx.model = model;
  return func(ctx, s, i, 0.0, p);
}

// A point of each model inside its box.
parameter_vector special_point(int model) {
  constexpr double shapes[10][2] = {{0, 0},   {0, 0},   {0.4, 0},    {3.5, 0},   {3.5, 0},
                                    {0.3, 0}, {0.4, 0}, {0.6, 0.25}, {2.5, 0.3}, {0.7, 1.8}};
  const auto& [a, b] = shapes[model - 1];
  return {120.0, 0.2, 45.0, a, b};
}

// A general-form point as the parameters of `model`, without clipping into its box.
parameter_vector own_parameters(int model, const general_point& g) {
  parameter_vector p{g[0], g[1], g[2]};
  if (model == 6) {
    p[3] = g[4];
  } else if (model != 1 && model != 2) {
    p[3] = g[3];
    p[4] = g[4];
  }
  return p;
}

// Read off the shapes: the seventeen pairs of the ten models, in the order of the
// general model, and the words for their pins.
TEST(NestedPairs, AreTheSeventeenPairsOfTheTenModels) {
  std::vector<std::string> found;
  for (const nested_pair& pair : nested_pairs())
    found.push_back(std::to_string(pair.special) + " in " + std::to_string(pair.general) + ": " +
                    pair.how);
  const std::vector<std::string> expected = {"1 in 4: a -> infinity",
                                             "2 in 4: a = 1",
                                             "1 in 5: a -> infinity",
                                             "2 in 6: b -> 0",
                                             "3 in 8: b -> 0",
                                             "7 in 8: b -> a",
                                             "1 in 9: a -> infinity, b -> 0",
                                             "2 in 9: a = 1, b -> 0",
                                             "4 in 9: b -> 0",
                                             "6 in 9: a = 1",
                                             "1 in 10: a -> infinity, b -> 0",
                                             "2 in 10: a = 1, b -> 0",
                                             "3 in 10: b -> 0",
                                             "4 in 10: b -> 0",
                                             "5 in 10: b = 1",
                                             "6 in 10: a = 1",
                                             "7 in 10: b = a"};
  EXPECT_EQ(found, expected);
}

// A model that exists only here, in model 6's place with a fixed at 2 instead of 1,
// is found inside models 9 and 10 at a = 2, and model 2 (a = 1) no longer inside it.
TEST(NestedPairs, FollowAModelThatIsOnlyAnEntry) {
  std::array<model_facts, 10> table{};
  std::copy(model_catalogue.begin(), model_catalogue.end(), table.begin());
  table[5].shape.a = fixed_at(2.0);
  const scoped_catalogue test_models(table);
  std::vector<std::string> with_6;
  for (const nested_pair& pair : nested_pairs()) {
    if (pair.special == 6 || pair.general == 6)
      with_6.push_back(std::to_string(pair.special) + " in " + std::to_string(pair.general) + ": " +
                       pair.how);
  }
  EXPECT_EQ(with_6, (std::vector<std::string>{"6 in 9: a = 2", "6 in 10: a = 2"}));
}

// Each pin holds in the special model's own general form (its a, b are the pinned
// values or limits), and the pins count the general model's extra parameters.
TEST(NestedPairs, PinsDescribeTheSpecialModelAndCountTheExtraParameters) {
  for (const nested_pair& pair : nested_pairs()) {
    const std::string name = std::to_string(pair.special) + " in " + std::to_string(pair.general);
    EXPECT_EQ(pair.pin_count,
              model_info(pair.general)->parameters - model_info(pair.special)->parameters)
        << name;
    const general_point g = general_form(pair.special, special_point(pair.special));
    for (int k = 0; k < pair.pin_count; ++k) {
      const pin& q = pair.pins[static_cast<std::size_t>(k)];
      const double v = g[static_cast<std::size_t>(q.parameter)];
      switch (q.kind) {
        case pin_kind::value:
          EXPECT_EQ(v, q.value) << name;
          break;
        case pin_kind::lower_end:
          EXPECT_EQ(v, 0.0) << name;
          break;
        case pin_kind::upper_end:
          EXPECT_TRUE(std::isinf(v)) << name;
          break;
        case pin_kind::equal_to_a:
          EXPECT_EQ(v, g[general_a]) << name;
          break;
      }
    }
  }
}

// The special model's rate at a point equals the general model's at the mapped point
// over a grid of [S] and [I]; for limits, taken far beyond the box, to 1e-9, and at
// the box's end, closely.
TEST(NestedPairs, TheGeneralModelGivesTheSpecialModelsRates) {
  for (const nested_pair& pair : nested_pairs()) {
    const std::string name = std::to_string(pair.special) + " in " + std::to_string(pair.general);
    const parameter_vector ps = special_point(pair.special);
    general_point limit = general_form(pair.special, ps);
    for (int k = 0; k < pair.pin_count; ++k) {
      const pin& q = pair.pins[static_cast<std::size_t>(k)];
      double& v = limit[static_cast<std::size_t>(q.parameter)];
      if (q.kind == pin_kind::lower_end) v = far_small;
      if (q.kind == pin_kind::upper_end) v = far_large;
      // Model 8 takes b up to just below a.
      if (q.kind == pin_kind::equal_to_a) v = model8_b_ceiling(limit[general_a]);
    }
    const parameter_vector pg = own_parameters(pair.general, limit);
    // The box's end: the carried point clipped into the general model's box.
    const parameter_vector pe = carry_into(pair.general, general_form(pair.special, ps));
    for (const double s : {5.0, 40.0, 120.0, 600.0, 5000.0}) {
      for (const double i : {0.0, 10.0, 45.0, 200.0, 1000.0}) {
        const double vs = rate(pair.special, s, i, ps);
        ASSERT_GT(vs, 0.0) << name;
        EXPECT_NEAR(rate(pair.general, s, i, pg) / vs, 1.0, same_rate)
            << name << " at [S] = " << s << ", [I] = " << i;
        EXPECT_NEAR(rate(pair.general, s, i, pe) / vs, 1.0, box_end_rate)
            << name << " at the box end, [S] = " << s << ", [I] = " << i;
      }
    }
  }
}

}  // namespace
}  // namespace inhibra::models
