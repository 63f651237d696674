#include "optim/rangen.hpp"

#include <cmath>
#include <numbers>

namespace inhibra::optim {

double rangen(fit::fit_context& ctx, double& seed) {
  constexpr double pi = std::numbers::pi;
  double r = ctx.rangen_state;
  if (seed == 0.0) {
    r = pi - std::trunc(pi);
  } else {
    const double z = r + pi;
    const double z2 = z * z;
    r = z2 * z2 * z;
    r = r - std::trunc(r);
  }
  if (r < rangen_low) r = r + 0.05;
  if (r > rangen_high) r = 0.95;
  ctx.rangen_state = r;
  seed = r;
  return r;
}

}  // namespace inhibra::optim
