#include "models/model_rates.hpp"

#include "core/one_based.hpp"

namespace inhibra::models {

namespace {

// Linear mixed inhibition with the given a, b = 0.
double linear_mixed(double s, double i, double km, double vmax, double ki, double a) {
  const double k = km / s;
  return vmax / ((1.0 + i / (ki * a)) + (1.0 + i / ki) * k);
}

// The general hyperbolic form with the given a and b. With a or b equal to 1 it has
// the bits of the form written without them (1 * x is x).
double hyperbolic(double s, double i, double km, double vmax, double ki, double a, double b) {
  const double k = km / s;
  return vmax / ((1.0 + i / ki) * k / (1.0 + b * i / (a * ki)) +
                 (1.0 + i / (a * ki)) / (1.0 + b * i / (a * ki)));
}

}  // namespace

double linear_specific_rate(double s, double i, std::span<double> p) {
  const core::vec1 par(p);
  const double k = par(1) / s;
  return par(2) / ((1.0 + i / par(3)) * k + 1.0);
}

double linear_noncompetitive_rate(double s, double i, std::span<double> p) {
  const core::vec1 par(p);
  const double k = par(1) / s;
  return par(2) / ((1.0 + i / par(3)) * (k + 1.0));
}

double linear_mixed_below_rate(double s, double i, std::span<double> p) {
  const core::vec1 par(p);
  if (par(4) > 0.99) par(4) = 0.5;
  return linear_mixed(s, i, par(1), par(2), par(3), par(4));
}

double linear_mixed_above_rate(double s, double i, std::span<double> p) {
  const core::vec1 par(p);
  if (par(4) <= 0.99) par(4) = 2.0;
  return linear_mixed(s, i, par(1), par(2), par(3), par(4));
}

double hyperbolic_specific_rate(double s, double i, std::span<double> p) {
  const core::vec1 par(p);
  if (par(4) <= 0.99) par(4) = 2.0;
  return hyperbolic(s, i, par(1), par(2), par(3), par(4), 1.0);
}

double hyperbolic_noncompetitive_rate(double s, double i, std::span<double> p) {
  const core::vec1 par(p);
  if (par(4) > 0.99) par(4) = 0.5;
  return hyperbolic(s, i, par(1), par(2), par(3), 1.0, par(4));
}

double hyperbolic_catalytic_rate(double s, double i, std::span<double> p) {
  const core::vec1 par(p);
  if (par(4) > 0.99) par(4) = 0.5;
  return hyperbolic(s, i, par(1), par(2), par(3), par(4), par(4));
}

double hyperbolic_mixed_below_rate(double s, double i, std::span<double> p) {
  const core::vec1 par(p);
  if (par(4) > 0.99) par(4) = 0.5;
  if (par(5) >= par(4)) par(5) = 0.5 * par(4);
  return hyperbolic(s, i, par(1), par(2), par(3), par(4), par(5));
}

double hyperbolic_mixed_above_rate(double s, double i, std::span<double> p) {
  const core::vec1 par(p);
  if (par(4) <= 0.99) par(4) = 2.0;
  if (par(5) > 0.99) par(5) = 0.5;
  return hyperbolic(s, i, par(1), par(2), par(3), par(4), par(5));
}

double general_modifier_rate(double s, double i, std::span<double> p) {
  const core::vec1 par(p);
  return hyperbolic(s, i, par(1), par(2), par(3), par(4), par(5));
}

}  // namespace inhibra::models
