#pragma once
// How the ten models relate to one another and where their parameters can go.
// Every model is the general modifier mechanism with some of a and b fixed, as its
// catalogue entry's shape says (model 1: a infinite, b = 0; 2: a = 1, b = 0; 3, 4:
// b = 0; 5: b = 1; 6: a = 1; 7: b = a). Each function below reads only that entry,
// so a model's forms come with its entry. A fitted point of one model can therefore be carried into
// another through the general form (Km, Vmax, Ki, a, b), and every model has a box of parameter
// values that its rate function takes as they are (outside it the rate function moves a or b to a
// fixed value).
#include <array>
#include <span>

#include "core/capacities.hpp"
#include "models/model_catalogue.hpp"

namespace inhibra::models {

// Largest a and b that models with a or b below 1 take as given: the rate function
// resets values above this.
inline constexpr double shape_upper = 0.99;
// An infinite a and a zero b of the linear models, written as numbers a fit can use.
inline constexpr double infinite_a = 1e6;
inline constexpr double zero_b = 1e-6;

using parameter_vector = std::array<double, core::max_par>;

// The values of the parameters that the model's rate function uses unchanged:
// lo[i] <= p[i] <= hi[i] for i < n. Model 8 also needs b < a (see model8_b_ceiling).
struct parameter_box {
  int n = 0;
  parameter_vector lo{};
  parameter_vector hi{};
};
[[nodiscard]] parameter_box reachable_box(const model_facts& model);
[[nodiscard]] inline parameter_box reachable_box(int model) {
  return reachable_box(facts_of(model));
}

// (Km, Vmax, Ki, a, b) of the general mechanism for a point p of `model`.
using general_point = std::array<double, max_model_par>;
[[nodiscard]] general_point general_form(const model_facts& model, std::span<const double> p);
[[nodiscard]] inline general_point general_form(int model, std::span<const double> p) {
  return general_form(facts_of(model), p);
}

// The point of `model` nearest to a general-form point: the model's own parameters
// taken from it (a infinite as 1e6, b = 0 as 1e-6), clipped into the model's box.
[[nodiscard]] parameter_vector carry_into(const model_facts& model, const general_point& g);
[[nodiscard]] inline parameter_vector carry_into(int model, const general_point& g) {
  return carry_into(facts_of(model), g);
}

// Model 8 needs b below a (b_capped_by_a): its rate function replaces a b at or
// above a by a / 2.
// The largest b it takes as given with a is the number just below a, and the
// smallest a it takes with b the number just above b, so that b = a (model 7's
// point) is reached to the last bit and never passed. Every check of model 8's
// b against a uses these two.
[[nodiscard]] double model8_b_ceiling(double a);
[[nodiscard]] double model8_a_floor(double b);

// The upper end that parameter i (0-based) of `model` can reach at p: the box's
// end, and for model 8's b the ceiling below p's a.
[[nodiscard]] double upper_end(int model, std::span<const double> p, std::size_t i);

// Clips p into the model's box (model 8: b at most model8_b_ceiling(a)).
void clip_to_box(const model_facts& model, std::span<double> p);
inline void clip_to_box(int model, std::span<double> p) {
  clip_to_box(facts_of(model), p);
}

}  // namespace inhibra::models
