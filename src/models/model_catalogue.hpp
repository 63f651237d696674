#pragma once
// The ten models in one table: what every layer says about a model (its name, short
// code, parameters and their names, constraints, the conditions on a and b that make
// it a special case of the general mechanism, its textbook name, the settings of its
// searches, where its a and b come from, its rate function and how the report writes
// it) comes from here.
#include <array>
#include <limits>
#include <span>
#include <string_view>

#include "models/chain_settings.hpp"
#include "models/model_rates.hpp"
#include "optim/search_settings.hpp"

namespace inhibra::models {

// Most parameters a model has: Km, Vmax, Ki, a and b of the general mechanism.
inline constexpr int max_model_par = 5;
// One number per parameter of a model (a rate's gradient, a point's coordinates).
using model_par_array = std::array<double, max_model_par>;

// Passes of the golden searches along a model's shape parameters.
inline constexpr int shape_passes = 20;

// Where a model's a or b of the general mechanism comes from: one of its own
// parameters (0-based index 3 for P4, 4 for P5), or a fixed value.
struct shape_source {
  int parameter = -1;  // the model's own index, or -1 when the value is fixed
  double value = 0.0;  // the fixed value; model 1's infinite a is infinity
  [[nodiscard]] constexpr bool is_free() const { return parameter >= 0; }
  // a or b at the model's point p.
  [[nodiscard]] constexpr double value_at(std::span<const double> p) const {
    return is_free() ? p[static_cast<std::size_t>(parameter)] : value;
  }
};
[[nodiscard]] constexpr shape_source fixed_at(double value) {
  return {-1, value};
}
inline constexpr shape_source own_p4{3};
inline constexpr shape_source own_p5{4};
inline constexpr double infinite = std::numeric_limits<double>::infinity();

// The values a free shape parameter keeps to: below 1, from 1 up, or any positive one.
enum class shape_range { none, below_one, above_one, any };

// A model as the general mechanism with some of a and b fixed: where a and b come
// from, and the range of P4 and P5 where the model has them. A parameter that is
// both a and b (b = a) is listed as a's.
struct model_shape {
  shape_source a = fixed_at(1.0);
  shape_source b = fixed_at(0.0);
  std::array<shape_range, 2> range{};  // of P4 and P5
  // Where the initial estimates start P4 and P5 (1 where the model has neither).
  std::array<double, 2> start{1.0, 1.0};
};

// A model's rate at substrate s and inhibitor i for its parameters p; it may move P4
// and P5 of p back into the model's range first (see model_rates.hpp).
using rate_function = double (*)(double s, double i, std::span<double> p);

// How the results report writes a model: its title, its rate equation, and the same
// rate in the parameters (P1..P5) and the variables (X1 = [S], X2 = [I]); a second
// line, when there is one, continues the first.
struct report_text {
  std::string_view title;
  std::array<std::string_view, 2> equation{};
  std::array<std::string_view, 2> form{};
};

struct model_facts {
  int number = 0;
  std::string_view name;  // as the model list names it ("1- Linear Specific Inhibition, LSpI:")
  std::string_view code;  // "LSpI"
  int parameters = 0;     // Km, Vmax, Ki, then a and b as the model has them
  std::array<std::string_view, max_model_par> parameter_names{};
  int printed_constraints = 0;  // the constraint count the results report prints
  int constraints = 0;          // linear inequalities of the box that the SQP stage sees
  std::string_view conditions;  // a and b of the general mechanism ("[a = infinity, b = 0]")
  std::string_view textbook;    // the name in textbook terms
  // b must stay below a (b = a is the model with one fewer parameter): the rate
  // function replaces a b at or above a, so every box and clip caps b under a.
  bool b_below_a = false;
  // The reflecting searches' box call doubles an a below 1 rather than leave it to
  // the reflection.
  bool doubles_small_a = false;
  // The shape search of the fit: the coordinates it visits (Ki for the models
  // without a or b, else a, or a and b) and its passes.
  optim::shape_search shape_search{};
  // What the fit's simplex does while its spread is still large in its first
  // iterations: nothing, the shape search, or the shape search around a random one.
  optim::simplex_restarts simplex_restarts = optim::simplex_restarts::none;
  // The limits and steps of the fixed chain of stages.
  chain_settings chain{};
  // a and b of the general mechanism, and where P4 and P5 may go.
  model_shape shape{};
  // The rate; none for a number that is no model's.
  rate_function rate = nullptr;
  // The model in the results report.
  report_text report{};
};

inline constexpr std::array<model_facts, 10> model_catalogue{{
    {1,
     "1- Linear Specific Inhibition, LSpI:",
     "LSpI",
     3,
     {"Km", "Vmax", "Ki"},
     3,
     6,
     "[a = infinity, b = 0]",
     "competitive",
     false,
     false,
     {3, 3, shape_passes},
     optim::simplex_restarts::none,
     {simplex_passes_linear, simplex_limit, va10d_limit_linear, nminsvd_runs, 0, false},
     {fixed_at(infinite), fixed_at(0.0), {}},
     linear_specific_rate,
     {"1- Linear Specific Inhibition, LSpI [a = infinity, b = 0]:",
      {"v = Vmax / ( 1 + Km/[S]*(1 + [I]/Ki) )", ""},
      {"y = P2 / ( 1 + P1/X1*(1 + X2/P3) )", ""}}},
    {2,
     "2- Linear Mixed Inhib, LMx(Sp=Ca)I:",
     "LMx(Sp=Ca)I",
     3,
     {"Km", "Vmax", "Ki"},
     3,
     6,
     "[a = 1, b = 0]",
     "noncompetitive",
     false,
     false,
     {3, 3, shape_passes},
     optim::simplex_restarts::none,
     {simplex_passes_linear, simplex_limit, va10d_limit_linear, nminsvd_runs, 0, false},
     {fixed_at(1.0), fixed_at(0.0), {}},
     linear_noncompetitive_rate,
     {"2- Linear Mixed Inhibition, LMx(Sp=Ca)I [a = 1, b = 0]:",
      {"v = Vmax / ( (1 + Km/[S])*(1 + [I]/KI) )", ""},
      {"y = P2 / ( (1 + P1/X1)*(1 + X2/P3) )", ""}}},
    {3,
     "3- Linear Mixed Inhib, LMx(Sp<Ca)I:",
     "LMx(Sp<Ca)I",
     4,
     {"Km", "Vmax", "Ki", "a"},
     5,
     8,
     "[0 < a < 1, b = 0]",
     "mixed, toward uncompetitive (a < 1)",
     false,
     false,
     {4, 4, shape_passes},
     optim::simplex_restarts::shape_search,
     {simplex_passes_linear, simplex_limit, va10d_limit_linear, nminsvd_runs, 0, false},
     {own_p4, fixed_at(0.0), {shape_range::below_one}, {0.5, 1.0}},
     linear_mixed_below_rate,
     {"3- Linear Mixed Inhibition, LMx(Sp<Ca)I [0 < a < 1, b = 0]:",
      {"v = Vmax / ( (Km/[S])*(1 + [I]/Ki) + (1 + [I]/(a*Ki)) )", ""},
      {"y = P2 / ( (P1/X1)*(1 + X2/P3) + (1 + X2/(P4*P3)) )", ""}}},
    {4,
     "4- Linear Mixed Inhib, LMx(Sp>Ca)I:",
     "LMx(Sp>Ca)I",
     4,
     {"Km", "Vmax", "Ki", "a"},
     4,
     8,
     "[a > 1, b = 0]",
     "mixed, toward competitive (a > 1)",
     false,
     false,
     {4, 4, shape_passes},
     optim::simplex_restarts::shape_search,
     {simplex_passes_linear, simplex_limit, va10d_limit_linear, nminsvd_runs, 1, true},
     {own_p4, fixed_at(0.0), {shape_range::above_one}, {2.0, 1.0}},
     linear_mixed_above_rate,
     {"4- Linear Mixed Inhibition, LMx(Sp>Ca)I [a > 1, b = 0]:",
      {"v = Vmax / ( (Km/[S])*(1 + [I]/Ki) + (1 + [I]/(a*Ki)) )", ""},
      {"y = P2 / ( (P1/X1)*(1 + X2/P3) + (1 + X2/(P4*P3)) )", ""}}},
    {5,
     "5- Hyperbolic Specific Inhib, HSpI:",
     "HSpI",
     4,
     {"Km", "Vmax", "Ki", "a"},
     4,
     8,
     "[a > 1, b = 1]",
     "partial (hyperbolic) competitive",
     false,
     true,
     {4, 4, shape_passes},
     optim::simplex_restarts::shape_search,
     {simplex_passes_hyperbolic, simplex_limit, va10d_limit_hyperbolic, nminsvd_runs, 1, true},
     {own_p4, fixed_at(1.0), {shape_range::above_one}, {2.0, 1.0}},
     hyperbolic_specific_rate,
     {"5- Hyperbolic Specific Inhibition, HSpI [a > 1, b = 1, a > b]:",
      {"v = Vmax / ( (1 + [I]/(a*Ki)) / (1 + b*[I]/(a*Ki)) +",
       "   (Km/[S])*(1 + [I]/Ki)/(1 + b*[I]/(a*Ki)) )"},
      {"y = P2 / ( (1 + X2/(P4*P3)) / (1 + 1*X2/(P4*P3)) +",
       "   (P1/X1)*(1 + X2/P3) / (1 + 1*X2/(P4*P3)) )"}}},
    {6,
     "6- Hyperbolic Mixed Inhib, HMx(Sp=Ca)I:",
     "HMx(Sp=Ca)I",
     4,
     {"Km", "Vmax", "Ki", "b"},
     5,
     8,
     "[a = 1, 0 < b < 1]",
     "partial (hyperbolic) noncompetitive",
     false,
     false,
     {4, 4, shape_passes},
     optim::simplex_restarts::shape_search,
     {simplex_passes_hyperbolic, simplex_limit, va10d_limit_hyperbolic, nminsvd_runs_short, 1,
      false},
     {fixed_at(1.0), own_p4, {shape_range::below_one}, {0.5, 1.0}},
     hyperbolic_noncompetitive_rate,
     {"6- Hyperbolic Mixed Inhibition, HMx(Sp=Ca)I [a = 1, 0 < b < 1, a > b]:",
      {"v = Vmax / ( (1 + [I]/(a*Ki)) / (1 + b*[I]/(a*Ki)) +",
       "   (Km/[S])*(1 + [I]/Ki)/(1 + b*[I]/(a*Ki)) )"},
      {"y = P2 / ( (1 + X2/(1*P3))/(1 + P4*X2/(1*P3)) +",
       "   (P1/X1)*(1 + X2/P3)/(1 + P4*X2/(1*P3)) )"}}},
    {7,
     "7- Hyperbolic Catalytic Inhib, HCaI:",
     "HCaI",
     4,
     {"Km", "Vmax", "Ki", "a"},
     5,
     8,
     "[0 < a < 1, b = a]",
     "partial (hyperbolic) mixed, b = a",
     false,
     false,
     {4, 4, shape_passes},
     optim::simplex_restarts::shape_search,
     {simplex_passes_hyperbolic, simplex_limit, va10d_limit_hyperbolic, nminsvd_runs_short, 1,
      false},
     {own_p4, own_p4, {shape_range::below_one}, {0.5, 1.0}},
     hyperbolic_catalytic_rate,
     {"7- Hyperbolic Catalytic Inhibition, HCaI [0 < a,  0 < b < 1, a = b]:",
      {"v = Vmax / ( (1 + [I]/(a*Ki))/(1 + b*[I]/(a*Ki)) +",
       "   (Km/[S])*(1 + [I]/Ki)/(1 + b*[I]/(a*Ki)) )"},
      {"y = P2 / ( (1 + X2/(P4*P3))/(1 + P4*X2/(P4*P3)) +",
       "   (P1/X1)*(1 + X2/P3)/(1 + P4*X2/(P4*P3)) )"}}},
    {8,
     "8- Hyperbolic Mixed Inhib, HMx(Sp<Ca)I:",
     "HMx(Sp<Ca)I",
     5,
     {"Km", "Vmax", "Ki", "a", "b"},
     8,
     10,
     "[0 < b < a < 1]",
     "partial (hyperbolic) mixed, toward uncompetitive (a < 1)",
     true,
     false,
     {4, 5, shape_passes},
     optim::simplex_restarts::shape_and_random_search,
     {simplex_passes_hyperbolic, simplex_limit, va10d_limit_hyperbolic, nminsvd_runs_short, 2,
      false},
     {own_p4, own_p5, {shape_range::below_one, shape_range::below_one}, {0.5, 0.25}},
     hyperbolic_mixed_below_rate,
     {"8- Hyperbolic Mixed Inhibition, HMx(Sp<Ca)I [a < 1,  0 < b < 1, a > b]:",
      {"v = Vmax / ( (1 + [I]/(a*Ki))/(1 + b*[I]/(a*Ki)) +",
       "   (Km/[S])*(1 + [I]/Ki)/(1 + b*[I]/(a*Ki)) )"},
      {"y = P2 / ( (1 + X2/(P4*P3))/(1 + P5*X2/(P4*P3)) +",
       "   (P1/X1)*(1 + X2/P3)/(1 + P5*X2/(P4*P3)) )"}}},
    {9,
     "9- Hyperbolic Mixed Inhib, HMx(Sp>Ca)I:",
     "HMx(Sp>Ca)I",
     5,
     {"Km", "Vmax", "Ki", "a", "b"},
     6,
     10,
     "[a > 1, 0 < b < 1]",
     "partial (hyperbolic) mixed, toward competitive (a > 1)",
     false,
     false,
     {4, 5, shape_passes},
     optim::simplex_restarts::shape_and_random_search,
     {simplex_passes_hyperbolic, simplex_limit, va10d_limit_hyperbolic, nminsvd_runs, 2, true},
     {own_p4, own_p5, {shape_range::above_one, shape_range::below_one}, {2.0, 0.5}},
     hyperbolic_mixed_above_rate,
     {"9- Hyperbolic Mixed Inhibition, HMx(Sp>Ca)I [a > 1, 0 < b < 1]:",
      {"v = Vmax / ( (1 + [I]/(a*Ki))/(1 + b*[I]/(a*Ki)) +",
       "   (Km/[S])*(1 + [I]/Ki)/(1 + b*[I]/(a*Ki)) )"},
      {"y = P2 / ( (1 + X2/(P4*P3))/(1 + P5*X2/(P4*P3)) +",
       "   (P1/X1)*(1 + X2/P3)/(1 + P5*X2/(P4*P3)) )"}}},
    {10,
     "10-General Hyperbolic Enzyme-Modifier:",
     "General",
     5,
     {"Km", "Vmax", "Ki", "a", "b"},
     5,
     10,
     "[a > 0, b > 0]",
     "general modifier mechanism",
     false,
     false,
     {4, 5, shape_passes},
     optim::simplex_restarts::shape_and_random_search,
     {simplex_passes_hyperbolic, simplex_limit_general, va10d_limit_hyperbolic, nminsvd_runs, 2,
      true},
     {own_p4, own_p5, {shape_range::any, shape_range::any}, {2.0, 0.5}},
     general_modifier_rate,
     {"10-General Hyperbolic Enzyme-Modifier Model [a > 0, b > 0]:",
      {"v = Vmax / ( (1 + [I]/(a*Ki))/(1 + b*[I]/(a*Ki)) +",
       "   (Km/[S])*(1 + [I]/Ki)/(1 + b*[I]/(a*Ki)) )"},
      {"y = P2 / ( (1 + X2/(P4*P3))/(1 + P5*X2/(P4*P3)) +",
       "   (P1/X1)*(1 + X2/P3)/(1 + P5*X2/(P4*P3)) )"}}},
}};

// The catalogue the program reads: model_catalogue, unless a test has put a table of
// its own in its place (scoped_catalogue).
inline std::span<const model_facts> installed_catalogue = model_catalogue;

// Puts another table in the catalogue's place while it lives: a test's way of running
// a model that exists only in the test through the program. Only while no run is
// going on and no other thread reads the catalogue.
class scoped_catalogue {
 public:
  explicit scoped_catalogue(std::span<const model_facts> table) : previous_(installed_catalogue) {
    installed_catalogue = table;
  }
  ~scoped_catalogue() { installed_catalogue = previous_; }
  scoped_catalogue(const scoped_catalogue&) = delete;
  scoped_catalogue& operator=(const scoped_catalogue&) = delete;

 private:
  std::span<const model_facts> previous_;
};

// The facts of model 1..n of the catalogue, or nullptr for any other number.
[[nodiscard]] inline const model_facts* model_info(int model) {
  return model >= 1 && model <= static_cast<int>(installed_catalogue.size())
             ? &installed_catalogue[static_cast<std::size_t>(model - 1)]
             : nullptr;
}

// What a number that is no model's has: no parameters, a = 1 and b = 0 fixed.
inline constexpr model_facts no_model{};

// The facts of model 1..10, or no_model for any other number.
[[nodiscard]] inline const model_facts& facts_of(int model) {
  const model_facts* facts = model_info(model);
  return facts != nullptr ? *facts : no_model;
}

// The shape of model 1..10 (no_model's for any other number).
[[nodiscard]] inline model_shape shape_of(int model) {
  return facts_of(model).shape;
}

// Whether the model's inhibition is complete: b = 0, so that the complex with the
// inhibitor bound makes no product.
[[nodiscard]] constexpr bool complete_inhibition(const model_shape& shape) {
  return !shape.b.is_free() && shape.b.value == 0.0;
}

// Whether `model` keeps b below a (model_facts::b_below_a); false for a number that
// is no model's.
[[nodiscard]] inline bool b_capped_by_a(int model) {
  return facts_of(model).b_below_a;
}

}  // namespace inhibra::models
