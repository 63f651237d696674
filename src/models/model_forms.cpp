#include "models/model_forms.hpp"

#include <algorithm>
#include <cmath>

#include "models/model_library.hpp"  // lower_bound, upper_bound

namespace inhibra::models {

parameter_box reachable_box(const model_facts& model) {
  parameter_box box;
  box.n = model.parameters;
  for (int i = 0; i < 3; ++i) {
    box.lo[static_cast<std::size_t>(i)] = lower_bound;
    box.hi[static_cast<std::size_t>(i)] = upper_bound;
  }
  for (std::size_t k = 0; k < model.shape.range.size(); ++k) {
    const std::size_t i = 3 + k;
    switch (model.shape.range[k]) {
      case shape_range::below_one:
        box.lo[i] = lower_bound;
        box.hi[i] = shape_upper;
        break;
      case shape_range::above_one:
        box.lo[i] = 1.0;
        box.hi[i] = upper_bound;
        break;
      case shape_range::any:
        box.lo[i] = lower_bound;
        box.hi[i] = upper_bound;
        break;
      case shape_range::none:
        break;
    }
  }
  // a starts a little above b's lower end, so that b can stay below it.
  if (model.b_below_a) box.lo[3] = 2.0 * lower_bound;
  return box;
}

general_point general_form(const model_facts& model, std::span<const double> p) {
  return {p[0], p[1], p[2], model.shape.a.value_at(p), model.shape.b.value_at(p)};
}

parameter_vector carry_into(const model_facts& model, const general_point& g) {
  parameter_vector p{};
  const double a = std::fmin(g[3], infinite_a);
  const double b = std::fmax(g[4], zero_b);
  p[0] = g[0];
  p[1] = g[1];
  p[2] = g[2];
  const model_shape& shape = model.shape;
  // A parameter that is both a and b (b = a) takes a.
  if (shape.b.is_free()) p[static_cast<std::size_t>(shape.b.parameter)] = b;
  if (shape.a.is_free()) p[static_cast<std::size_t>(shape.a.parameter)] = a;
  clip_to_box(model, p);
  return p;
}

double model8_b_ceiling(double a) {
  return std::nextafter(a, 0.0);
}

double model8_a_floor(double b) {
  return std::nextafter(b, HUGE_VAL);
}

double upper_end(int model, std::span<const double> p, std::size_t i) {
  const parameter_box box = reachable_box(model);
  const double hi = box.hi[i];
  return b_capped_by_a(model) && i == 4 ? std::fmin(hi, model8_b_ceiling(p[3])) : hi;
}

void clip_to_box(const model_facts& model, std::span<double> p) {
  const parameter_box box = reachable_box(model);
  for (std::size_t i = 0; i < static_cast<std::size_t>(box.n); ++i) {
    // A value that is not a number starts from the box's lower end.
    p[i] = std::isnan(p[i]) ? box.lo[i] : std::clamp(p[i], box.lo[i], box.hi[i]);
  }
  if (model.b_below_a) p[4] = std::fmax(lower_bound, std::fmin(p[4], model8_b_ceiling(p[3])));
}

}  // namespace inhibra::models
