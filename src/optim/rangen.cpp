#include "optim/rangen.hpp"

#include <cmath>
#include <numbers>

namespace inhibra::optim {

double pi_power_map(double r, double seed) {
  constexpr double pi = std::numbers::pi;
  if (seed == 0.0) return pi - std::trunc(pi);
  const double z = r + pi;
  const double z2 = z * z;
  const double p = z2 * z2 * z;
  return p - std::trunc(p);
}

double rangen(double& state, double& seed) {
  double r = pi_power_map(state, seed);
  if (r < rangen_low) r = r + 0.05;
  if (r > rangen_high) r = 0.95;
  state = r;
  seed = r;
  return r;
}

}  // namespace inhibra::optim
