#include "fit/search_problem.hpp"

#include "models/bound_point.hpp"
#include "models/model_catalogue.hpp"
#include "models/objective.hpp"

namespace inhibra::fit {

optim::value_problem model_value_problem(core::fit_context& ctx, int n) {
  const int model = ctx.mdl_number;
  return {
      n,
      [&ctx](std::span<const double> x) { return models::objective_value(ctx, x); },
      [model](std::span<double> x) { models::bound_point(static_cast<int>(x.size()), x, model); },
      {ctx.eps, ctx.big}};
}

}  // namespace inhibra::fit
