#include "fit/student_t.hpp"

#include <cmath>

namespace inhibra::fit {

namespace {

// Continued fraction of the regularised incomplete beta function (modified Lentz),
// converging for x < (a + 1) / (a + b + 2).
double beta_fraction(double a, double b, double x) {
  constexpr double tiny = 1e-300;
  constexpr int terms = 300;
  constexpr double converged = 1e-15;
  double c = 1.0;
  double d = 1.0 - (a + b) * x / (a + 1.0);
  if (std::abs(d) < tiny) d = tiny;
  d = 1.0 / d;
  double h = d;
  for (int m = 1; m <= terms; ++m) {
    const double m2 = 2.0 * m;
    double step = m * (b - m) * x / ((a + m2 - 1.0) * (a + m2));
    d = 1.0 + step * d;
    if (std::abs(d) < tiny) d = tiny;
    c = 1.0 + step / c;
    if (std::abs(c) < tiny) c = tiny;
    d = 1.0 / d;
    h *= d * c;
    step = -(a + m) * (a + b + m) * x / ((a + m2) * (a + m2 + 1.0));
    d = 1.0 + step * d;
    if (std::abs(d) < tiny) d = tiny;
    c = 1.0 + step / c;
    if (std::abs(c) < tiny) c = tiny;
    d = 1.0 / d;
    const double delta = d * c;
    h *= delta;
    if (std::abs(delta - 1.0) < converged) break;
  }
  return h;
}

// I_x(a, b), the regularised incomplete beta function.
double incomplete_beta(double a, double b, double x) {
  if (x <= 0.0) return 0.0;
  if (x >= 1.0) return 1.0;
  const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) +
                                a * std::log(x) + b * std::log1p(-x));
  if (x < (a + 1.0) / (a + b + 2.0)) return front * beta_fraction(a, b, x) / a;
  return 1.0 - front * beta_fraction(b, a, 1.0 - x) / b;
}

}  // namespace

double student_t_cdf(double t, double dof) {
  const double tail = 0.5 * incomplete_beta(0.5 * dof, 0.5, dof / (dof + t * t));
  return t >= 0.0 ? 1.0 - tail : tail;
}

double student_t_quantile(double p, double dof) {
  if (!(p > 0.0 && p < 1.0) || !(dof > 0.0)) return NAN;
  if (p < 0.5) return -student_t_quantile(1.0 - p, dof);
  double lo = 0.0;
  double hi = 1.0;
  while (student_t_cdf(hi, dof) < p && hi < 1e300)
    hi *= 2.0;
  // Bisection to the last bit: the distribution function is monotone.
  for (int i = 0; i < 200 && hi - lo > 1e-15 * hi; ++i) {
    const double mid = 0.5 * (lo + hi);
    if (student_t_cdf(mid, dof) < p) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return 0.5 * (lo + hi);
}

double f1_quantile(double p, double dof) {
  const double t = student_t_quantile(0.5 * (1.0 + p), dof);
  return t * t;
}

}  // namespace inhibra::fit
