// The table of special cases: each special model is its general model with the pins
// applied, checked on the rates themselves.
#include "models/nested_models.hpp"

#include <gtest/gtest.h>

#include <cmath>

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

// Each pin holds in the special model's own general form (its a, b are the pinned
// values or limits), and the pins count the general model's extra parameters.
TEST(NestedPairs, PinsDescribeTheSpecialModelAndCountTheExtraParameters) {
  for (const nested_pair& pair : nested_pairs) {
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
  for (const nested_pair& pair : nested_pairs) {
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
