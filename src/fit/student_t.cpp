#include "fit/student_t.hpp"

#include <cmath>
#include <limits>

#include "fit/quiet_distributions.hpp"

namespace inhibra::fit {

double student_t_cdf(double t, double dof) {
  if (!(dof > 0.0) || std::isnan(t)) return std::numeric_limits<double>::quiet_NaN();
  return boost::math::cdf(t_distribution(dof), t);
}

double student_t_quantile(double p, double dof) {
  if (!(p > 0.0 && p < 1.0) || !(dof > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  return boost::math::quantile(t_distribution(dof), p);
}

double f1_quantile(double p, double dof) {
  const double t = student_t_quantile(0.5 * (1.0 + p), dof);
  return t * t;
}

double t95(int dof) {
  return dof > 0 ? student_t_quantile(0.975, dof) : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace inhibra::fit
