#include "fit/search_problem.hpp"

#include "models/model_catalogue.hpp"
#include "models/objective.hpp"
#include "optim/bound_point.hpp"

namespace inhibra::fit {

optim::value_problem model_value_problem(core::fit_context& ctx, int n) {
  const int model = ctx.mdl_number;
  return {
      n,
      [&ctx](std::span<const double> x) { return models::objective_value(ctx, x); },
      [model](std::span<double> x) { optim::bound_point(static_cast<int>(x.size()), x, model); },
      {ctx.eps, ctx.big}};
}

optim::shape_search shape_search_of(int model) {
  const models::model_facts* facts = models::model_info(model);
  if (facts == nullptr) return {};
  return {facts->shape_first, facts->shape_last, shape_search_passes};
}

optim::simplex_restarts simplex_restarts_of(int model) {
  const models::model_facts* facts = models::model_info(model);
  switch (facts == nullptr ? models::search_restarts::none : facts->restarts) {
    case models::search_restarts::shape:
      return optim::simplex_restarts::shape_search;
    case models::search_restarts::shape_and_random:
      return optim::simplex_restarts::shape_and_random_search;
    case models::search_restarts::none:
      break;
  }
  return optim::simplex_restarts::none;
}

}  // namespace inhibra::fit
