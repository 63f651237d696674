#include "fit/likelihood_criteria.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace inhibra::fit {

namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

// The lowest value that is a number; infinity when there is none.
double lowest(std::span<const double> values) {
  double low = std::numeric_limits<double>::infinity();
  for (double v : values)
    if (!std::isnan(v)) low = std::min(low, v);
  return low;
}

}  // namespace

likelihood_criteria textbook_criteria(int N, int n, double weighted_ssr, double error_log) {
  const int k = n + 1;  // the variance is estimated too
  if (N < 1 || !(weighted_ssr > 0.0) || !std::isfinite(weighted_ssr) || !std::isfinite(error_log))
    return {not_a_number, not_a_number, not_a_number};
  const double count = static_cast<double>(N);
  likelihood_criteria c;
  c.log_likelihood =
      -0.5 * count * (std::log(2.0 * std::numbers::pi * weighted_ssr / count) + 1.0) -
      0.5 * error_log;
  c.bic = -2.0 * c.log_likelihood + k * std::log(count);
  c.aicc = N - k - 1 > 0 ? -2.0 * c.log_likelihood + 2.0 * k +
                               2.0 * k * (k + 1) / static_cast<double>(N - k - 1)
                         : not_a_number;
  return c;
}

std::vector<double> akaike_weights(std::span<const double> criterion) {
  std::vector<double> weights(criterion.size(), 0.0);
  const double low = lowest(criterion);
  if (!std::isfinite(low)) return weights;
  double sum = 0.0;
  for (std::size_t i = 0; i < criterion.size(); ++i) {
    if (std::isnan(criterion[i])) continue;
    weights[i] = std::exp(-0.5 * (criterion[i] - low));
    sum += weights[i];
  }
  for (double& w : weights)
    w /= sum;
  return weights;
}

std::vector<double> log_evidence_ratios(std::span<const double> criterion) {
  std::vector<double> ratios(criterion.size(), not_a_number);
  const double low = lowest(criterion);
  if (!std::isfinite(low)) return ratios;
  for (std::size_t i = 0; i < criterion.size(); ++i)
    if (!std::isnan(criterion[i])) ratios[i] = (criterion[i] - low) / (2.0 * std::numbers::ln10);
  return ratios;
}

}  // namespace inhibra::fit
