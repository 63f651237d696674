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

double rangen(core::fit_context& ctx, double& seed) {
  double r = pi_power_map(ctx.rangen_state, seed);
  if (r < rangen_low) r = r + 0.05;
  if (r > rangen_high) r = 0.95;
  ctx.rangen_state = r;
  seed = r;
  return r;
}

}  // namespace inhibra::optim
