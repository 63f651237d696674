#include "models/model_forms.hpp"

#include <algorithm>
#include <cmath>

#include "models/model_library.hpp"

namespace inhibra::models {

parameter_box reachable_box(int model) {
  parameter_box box;
  std::string name;
  npar(model, name, box.n);
  for (int i = 0; i < 3; ++i) {
    box.lo[static_cast<std::size_t>(i)] = lower_bound;
    box.hi[static_cast<std::size_t>(i)] = upper_bound;
  }
  auto shape = [&](std::size_t i, double lo, double hi) {
    box.lo[i] = lo;
    box.hi[i] = hi;
  };
  switch (model) {
    case 3:
    case 6:
    case 7:
      shape(3, lower_bound, shape_upper);
      break;
    case 4:
    case 5:
      shape(3, 1.0, upper_bound);
      break;
    case 8:
      // a starts a little above b's lower end, so that b can stay below it.
      shape(3, 2.0 * lower_bound, shape_upper);
      shape(4, lower_bound, shape_upper);
      break;
    case 9:
      shape(3, 1.0, upper_bound);
      shape(4, lower_bound, shape_upper);
      break;
    case 10:
      shape(3, lower_bound, upper_bound);
      shape(4, lower_bound, upper_bound);
      break;
    default:
      break;
  }
  return box;
}

general_point general_form(int model, std::span<const double> p) {
  general_point g{p[0], p[1], p[2], 1.0, 0.0};
  switch (model) {
    case 1:
      g[3] = HUGE_VAL;
      break;
    case 3:
    case 4:
      g[3] = p[3];
      break;
    case 5:
      g[3] = p[3];
      g[4] = 1.0;
      break;
    case 6:
      g[4] = p[3];
      break;
    case 7:
      g[3] = p[3];
      g[4] = p[3];
      break;
    case 8:
    case 9:
    case 10:
      g[3] = p[3];
      g[4] = p[4];
      break;
    default:
      break;
  }
  return g;
}

parameter_vector carry_into(int model, const general_point& g) {
  parameter_vector p{};
  const double a = std::fmin(g[3], infinite_a);
  const double b = std::fmax(g[4], zero_b);
  p[0] = g[0];
  p[1] = g[1];
  p[2] = g[2];
  switch (model) {
    case 3:
    case 4:
    case 5:
    case 7:
      p[3] = a;
      break;
    case 6:
      p[3] = b;
      break;
    case 8:
    case 9:
    case 10:
      p[3] = a;
      p[4] = b;
      break;
    default:
      break;
  }
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

void clip_to_box(int model, std::span<double> p) {
  const parameter_box box = reachable_box(model);
  for (std::size_t i = 0; i < static_cast<std::size_t>(box.n); ++i) {
    // A value that is not a number starts from the box's lower end.
    p[i] = std::isnan(p[i]) ? box.lo[i] : std::clamp(p[i], box.lo[i], box.hi[i]);
  }
  if (b_capped_by_a(model)) p[4] = std::fmax(lower_bound, std::fmin(p[4], model8_b_ceiling(p[3])));
}

}  // namespace inhibra::models
