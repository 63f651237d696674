#pragma once
// A context as a finished run leaves it, filled by hand: the example data with the
// rates of model 4 (linear mixed, a > 1) for known parameters as the fitted rates,
// the model's name and parameters, and an MC50 table from the model's formula.
#include <array>
#include <cstddef>

#include "models/model_library.hpp"
#include "support/numeric.hpp"

namespace inhibra::support {

inline constexpr std::array<double, 4> example_fit_parameters{250.0, 0.18, 100.0, 3.0};

inline void fill_example_fit(core::fit_context& ctx) {
  fill_example_data(ctx);
  ctx.model = ctx.mdl_number = 4;
  int np = 0;
  models::npar(4, ctx.strmdl, np);
  ctx.n_par = np;
  ctx.variables = {};
  std::copy(example_fit_parameters.begin(), example_fit_parameters.end(), ctx.variables.begin());
  for (std::size_t k = 0; k < 24; ++k) {
    std::array<double, core::max_par> p = ctx.variables;
    ctx.fitted[k] = models::func(ctx, ctx.substrate[k], ctx.inhibitor[k], 0.0, p);
  }
  const double km = ctx.variables[0], ki = ctx.variables[2], a = ctx.variables[3];
  // The table's levels: 0.1, 1, 2, 3, 4, 5 and 10 times Km.
  const double levels[core::mc50_levels] = {0.1, 1.0, 2.0, 3.0, 4.0, 5.0, 10.0};
  for (std::size_t j = 0; j < core::mc50_levels; ++j) {
    const double s = km * levels[j];
    ctx.mc50_substrate[j] = s;
    ctx.mc50_value[j] = a * ki * (km + s) / (a * km + s);
  }
}

}  // namespace inhibra::support
