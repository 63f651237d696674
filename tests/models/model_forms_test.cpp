// How the models nest: the reachable box, carrying points through the general
// form, and the exact derivatives of the rates.
#include "models/model_forms.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "models/model_catalogue.hpp"
#include "models/model_library.hpp"
#include "models/objective.hpp"
#include "models/rate_derivatives.hpp"
#include "support/numeric.hpp"

namespace inhibra::models {
namespace {

// a = 1e6 and b = 1e-6 stand for infinity and 0: the rates move by (b or 1/a) times [I]/Ki.
constexpr double carried_rate = 1e-4;

double rate(int model, double s, double i, parameter_vector p) {
  core::fit_context ctx;
  ctx.model = model;
  return func(ctx, s, i, 0.0, p);
}

// A point of each model inside its box, away from the ends.
parameter_vector inner_point(int model) {
  constexpr double shapes[10][2] = {{0, 0},   {0, 0},   {0.4, 0},    {3.5, 0},   {3.5, 0},
                                    {0.4, 0}, {0.4, 0}, {0.6, 0.25}, {2.5, 0.3}, {0.7, 1.8}};
  const auto& [a, b] = shapes[model - 1];
  return {120.0, 0.2, 45.0, a, b};
}

TEST(ReachableBox, TheRateFunctionTakesEveryCornerAsGiven) {
  for (int model = 1; model <= 10; ++model) {
    const parameter_box box = reachable_box(model);
    ASSERT_GE(box.n, 3);
    for (int corner = 0; corner < (1 << box.n); ++corner) {
      parameter_vector p{};
      for (int i = 0; i < box.n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        p[k] = ((corner >> i) & 1) != 0 ? box.hi[k] : box.lo[k];
      }
      clip_to_box(model, p);
      parameter_vector used = p;
      (void)rate(model, 100.0, 50.0, used);
      EXPECT_EQ(used, p) << "model " << model << " corner " << corner;
    }
  }
  // Past the upper end of a shape parameter below 1 the rate function resets it.
  core::fit_context ctx;
  ctx.model = 3;
  parameter_vector p{100.0, 1.0, 10.0, shape_upper * 1.001, 0.0};
  (void)func(ctx, 100.0, 50.0, 0.0, p);
  EXPECT_EQ(p[3], 0.5);
  EXPECT_EQ(reachable_box(4).lo[3], 1.0);
  EXPECT_EQ(reachable_box(10).hi[4], upper_bound);
}

TEST(CarryInto, NestedModelsKeepTheirRatesInTheGeneralModel) {
  for (int model = 1; model <= 10; ++model) {
    const parameter_vector p = inner_point(model);
    const parameter_vector general = carry_into(10, general_form(model, p));
    for (double s : {20.0, 300.0}) {
      for (double i : {0.0, 60.0, 500.0}) {
        EXPECT_TRUE(support::rel_near(rate(10, s, i, general), rate(model, s, i, p), carried_rate))
            << "model " << model << " [S] " << s << " [I] " << i;
      }
    }
  }
}

TEST(CarryInto, TakesTheModelsOwnParametersAndClipsThemIntoItsBox) {
  const general_point g{150.0, 0.3, 2e6, 5.0, 2.0};
  EXPECT_EQ(carry_into(2, g), (parameter_vector{150.0, 0.3, upper_bound}));
  EXPECT_EQ(carry_into(3, g)[3], shape_upper);
  EXPECT_EQ(carry_into(4, g)[3], 5.0);
  EXPECT_EQ(carry_into(6, g)[3], shape_upper);  // model 6 holds b in the fourth place
  const parameter_vector m8 = carry_into(8, g);
  EXPECT_EQ(m8[3], shape_upper);
  EXPECT_EQ(m8[4], std::nextafter(shape_upper, 0.0));  // b stays just below a
  EXPECT_EQ(carry_into(9, g)[4], shape_upper);
  // Model 1's infinite a and the linear models' zero b.
  const general_point linear = general_form(1, parameter_vector{150.0, 0.3, 40.0});
  EXPECT_EQ(carry_into(5, linear)[3], infinite_a);
  EXPECT_EQ(carry_into(10, linear)[4], zero_b);
  EXPECT_EQ(carry_into(6, general_form(2, parameter_vector{1, 1, 1}))[3], zero_b);
  EXPECT_EQ(general_form(7, parameter_vector{1, 1, 1, 0.3})[4], 0.3);  // b = a
  EXPECT_EQ(general_form(5, parameter_vector{1, 1, 1, 3.0})[4], 1.0);
  parameter_vector nan_point{NAN, 1.0, 1.0, NAN};
  clip_to_box(4, nan_point);
  EXPECT_EQ(nan_point[0], lower_bound);
  EXPECT_EQ(nan_point[3], 1.0);
}

TEST(RateGradient, AgreesWithExtrapolatedDifferencesOfTheRateFunction) {
  constexpr double agreement = 1e-7;
  for (int model = 1; model <= 10; ++model) {
    const parameter_vector p = inner_point(model);
    const int n = reachable_box(model).n;
    for (double s : {20.0, 300.0}) {
      for (double i : {0.0, 60.0, 500.0}) {
        models::model_par_array dv{};
        const double v = rate_gradient(model, s, i, p, dv);
        EXPECT_TRUE(support::rel_near(v, rate(model, s, i, p), 1e-13));
        for (int j = 0; j < n; ++j) {
          const auto k = static_cast<std::size_t>(j);
          // Richardson extrapolation of central differences with steps h and h/2.
          auto central = [&](double h) {
            parameter_vector up = p, down = p;
            up[k] += h;
            down[k] -= h;
            return (rate(model, s, i, up) - rate(model, s, i, down)) / (2.0 * h);
          };
          const double h = 1e-3 * p[k];
          const double reference = (4.0 * central(h / 2.0) - central(h)) / 3.0;
          const double scale = std::fmax(std::abs(reference), 1e-9 * std::abs(v) / p[k]);
          EXPECT_NEAR(dv[k], reference, agreement * scale)
              << "model " << model << " parameter " << j + 1 << " [S] " << s << " [I] " << i;
        }
      }
    }
  }
}

// A model that exists only here, the general mechanism with a fixed at 2 and b free,
// gets its box, its general form, its carrying over and its derivatives from its entry
// alone: the same numbers as the general model at a = 2.
TEST(ModelShape, AModelThatIsOnlyAnEntryHasItsFormsAndDerivatives) {
  model_facts fixed_a{};
  fixed_a.parameters = 4;
  fixed_a.shape = {fixed_at(2.0), own_p4, {shape_range::any}};
  const parameter_vector p{120.0, 0.2, 45.0, 1.7};
  const general_point g = general_form(fixed_a, p);
  EXPECT_EQ(g, (general_point{120.0, 0.2, 45.0, 2.0, 1.7}));
  EXPECT_EQ(carry_into(fixed_a, g), p);
  const parameter_box box = reachable_box(fixed_a);
  EXPECT_EQ(box.n, 4);
  EXPECT_EQ(box.lo[3], lower_bound);
  EXPECT_EQ(box.hi[3], upper_bound);
  const parameter_vector general = carry_into(10, g);
  for (double i : {0.0, 60.0}) {
    model_par_array dv{};
    model_par_array dv_general{};
    EXPECT_EQ(rate_gradient(fixed_a, 80.0, i, p, dv),
              rate_gradient(10, 80.0, i, general, dv_general));
    EXPECT_EQ((std::array{dv[0], dv[1], dv[2], dv[3]}),
              (std::array{dv_general[0], dv_general[1], dv_general[2], dv_general[4]}))
        << "[I] " << i;
  }
}

// The catalogue is what the rest of the program says about each model: the model
// list's names and counts, the objective's constraints and the reachable box agree.
TEST(ModelCatalogue, AgreesWithTheModelLibraryAndTheObjective) {
  for (int model = 1; model <= 10; ++model) {
    const model_facts* facts = model_info(model);
    ASSERT_NE(facts, nullptr);
    EXPECT_EQ(facts->number, model);
    std::string name;
    int n = 0;
    npar(model, name, n, static_cast<int>(facts->name.size()));
    EXPECT_EQ(name, facts->name);
    EXPECT_EQ(n, facts->parameters);
    EXPECT_EQ(reachable_box(model).n, facts->parameters);
    EXPECT_NE(facts->name.find(facts->code), std::string_view::npos);
    core::fit_context ctx;
    ctx.model = model;
    ctx.model_limit = 10;
    ctx.n_par = n;
    parameter_vector x = inner_point(model);
    double f = 0.0;
    gradient_array g{};
    constraint_array c{};
    cjac_array cjac{};
    calcfg(ctx, n, x, f, g, c, cjac);
    EXPECT_EQ(ctx.m, facts->constraints) << "model " << model;
    EXPECT_FALSE(facts->textbook.empty());
  }
  EXPECT_EQ(model_info(0), nullptr);
  EXPECT_EQ(model_info(11), nullptr);
}

}  // namespace
}  // namespace inhibra::models
