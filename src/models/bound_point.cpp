#include "models/bound_point.hpp"

#include <algorithm>
#include <array>

#include "core/capacities.hpp"
#include "models/model_library.hpp"

namespace inhibra::models {

void bound_point(int n, std::span<double> x, int model) {
  std::array<double, core::max_par> amin{};
  std::array<double, core::max_par> amax{};
  // Parameter vectors never hold more than max_par entries.
  for (int i = 1; i <= std::min(n, core::max_par); ++i) {
    amax_min(i, x, n, model, amin, amax);
    abounds2(i, x, amin, amax, n);
  }
}

}  // namespace inhibra::models
