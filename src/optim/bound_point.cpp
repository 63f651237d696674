#include "optim/bound_point.hpp"

#include <array>

#include "fit/capacities.hpp"
#include "models/model_library.hpp"

namespace inhibra::optim {

void bound_point(int n, std::span<double> x, int model) {
  std::array<double, fit::max_par> amin{};
  std::array<double, fit::max_par> amax{};
  for (int i = 1; i <= n; ++i) {
    models::amax_min(i, x, n, model, amin, amax);
    models::abounds2(i, x, amin, amax, n);
  }
}

}  // namespace inhibra::optim
