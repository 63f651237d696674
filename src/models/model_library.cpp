#include "models/model_library.hpp"

#include <cmath>

#include "core/one_based.hpp"
#include "models/model_catalogue.hpp"
#include "strings/text.hpp"

namespace inhibra::models {

namespace {

// Single-precision pi/2, pi and 1/11 widened to double: the reflection uses exactly
// these values.
constexpr double half_pi = double(1.5707963705062866f);
constexpr double pi = double(3.1415927410125732f);
constexpr double one_eleventh = double(0.09090909361839294f);
// Beyond this the series' powers overflow; the arctangent is then pi/2 to double
// precision anyway.
constexpr double series_limit = 1e28;

// x to a small non-negative integer power by repeated squaring.
double ipow(double x, int k) {
  double result = 1.0;
  double base = x;
  while (k > 0) {
    if ((k & 1) != 0) result *= base;
    k >>= 1;
    if (k > 0) base *= base;
  }
  return result;
}

}  // namespace

double func(const core::model_state& ctx, double s, double i, double /*y*/, std::span<double> p) {
  const model_facts* facts = model_info(ctx.model);
  return facts != nullptr && facts->rate != nullptr ? facts->rate(s, i, p) : 0.0;
}

std::function<double(double s, double i)> held_model_rate(const core::fit_context& ctx) {
  return [&ctx, held = ctx.variables](double s, double i) {
    auto p = held;  // func may move a or b back into the model's range
    return func(ctx, s, i, 0.0, p);
  };
}

void npar(int model, std::string& name, int& np, int width) {
  const model_facts* facts = model_info(model);
  name = strings::pad(facts != nullptr ? facts->name : "0- MODEL NOT DEFINED!", width);
  np = facts != nullptr ? facts->parameters : 0;
}

void amax_min(int i, std::span<double> p, int /*n*/, int model, std::span<double> amin,
              std::span<double> amax) {
  const core::vec1 par(p);
  const core::vec1 lo(amin);
  const core::vec1 hi(amax);
  for (int j = 1; j <= 3; ++j) {
    lo(j) = lower_bound;
    hi(j) = upper_bound;
  }
  if (i != 4 && i != 5) return;
  auto set = [&](double l, double h) {
    lo(i) = l;
    hi(i) = h;
  };
  const model_facts& facts = facts_of(model);
  switch (facts.shape.range[static_cast<std::size_t>(i - 4)]) {
    case shape_range::below_one:
      set(lower_bound, 1.0);
      break;
    case shape_range::above_one:
      set(1.0, upper_bound);
      break;
    case shape_range::any:
      set(lower_bound, upper_bound);
      break;
    case shape_range::none:
      return;
  }
  if (i == 4 && facts.doubles_small_a && par(4) < 1.0) par(4) = par(4) + par(4);
  if (i == 5 && facts.b_below_a && par(5) > par(4)) par(5) = 0.5 * par(4);
}

double series_atan(double x) {
  if (x >= -1.0 && x <= 1.0) {
    return x - ipow(x, 3) / 3.0 + ipow(x, 5) / 5.0 - ipow(x, 7) / 7.0 + ipow(x, 9) / 9.0 -
           ipow(x, 11) / 11.0;
  }
  const double side = x > 0.0 ? half_pi : -half_pi;
  if (std::abs(x) > series_limit) return side;
  return side + (one_eleventh + ipow(x, 8) / 3.0 - ipow(x, 10) - ipow(x, 6) / 5.0 +
                 ipow(x, 4) / 7.0 - ipow(x, 2) / 9.0) /
                    ipow(x, 11);
}

void abounds2(int i, std::span<double> p, std::span<const double> amin,
              std::span<const double> amax, int /*n*/) {
  const core::vec1 par(p);
  const double x = par(i);
  const double lo = core::cvec1(amin)(i);
  const double hi = core::cvec1(amax)(i);
  if (lo <= x && x <= hi) return;
  const double t = series_atan(x);
  const double u = (t + half_pi) / pi - 0.5;
  if (x < lo) {
    par(i) = std::copysign(std::abs(lo + 0.5 * u * x), lo);
  } else if (x > hi) {
    par(i) = std::copysign(std::abs(hi - 0.5 * u * x), hi);
  }
}

}  // namespace inhibra::models
