#include "fit/stage_recipe.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "fit/search_problem.hpp"
#include "models/bound_point.hpp"
#include "models/model_catalogue.hpp"
#include "models/objective.hpp"
#include "optim/golden_search.hpp"
#include "optim/minsvd_mod.hpp"
#include "optim/rangen.hpp"
#include "optim/simplex.hpp"
#include "optim/va10_mod.hpp"
#include "optim/vmcon4_mod.hpp"

namespace inhibra::fit {

namespace {

// The random sequence of the searches moves on by one draw from this seed before
// each chain.
constexpr double rangen_seed = 1024.0;
// The SQP calls' settings: at most 10 steps per line search, and the QP
// sub-solver's mode.
constexpr int vmcon4_maxls = 10;
constexpr int vmcon4_qpmode = 1;
// The SQP stage starts its gradient at 1 for every parameter.
constexpr double sqp_start_gradient = 1.0;

// The constrained problem of the context's current model: its objective, gradient
// and box constraints through models::calcfg, with the constraint counts that
// calcfg has set in the context.
optim::constrained_problem model_problem(core::fit_context& ctx) {
  return {ctx.m, ctx.meq,
          [&ctx](std::span<const double> x, double& f, std::span<double> g, std::span<double> c,
                 std::span<double> cjac) {
            models::calcfg(ctx, static_cast<int>(x.size()), x, f, g, c, cjac);
          }};
}

void absolute(par_array& x, int n) {
  for (int i = 0; i < n; ++i)
    x[static_cast<std::size_t>(i)] = std::abs(x[static_cast<std::size_t>(i)]);
}

// Stage 6: two calls of the SQP method with the decision rules between them.
chain_outcome sqp_stage(core::fit_context& ctx, run_constants& k, int n, int model, par_array& x) {
  optim::sqp_values at;
  models::bound_point(n, x, model);
  models::calcfg(ctx, n, x, at.f, at.g, at.c, at.cjac);

  chain_outcome out;
  out.sqp_iteration_limit =
      ctx.weighting == core::weighting::none ? sqp_limit_unweighted : sqp_limit_robust;
  double tau = k.t;
  double mu_best = k.big;
  int total = 0;
  std::fill(at.g.begin(), at.g.end(), sqp_start_gradient);
  std::fill(x.begin() + n, x.end(), 0.0);
  double& f = at.f;
  double f_best = f;
  par_array x_best = x;

  optim::sqp_workspace ws;
  for (int pass = 1; pass <= 2; ++pass) {
    models::calcfg(ctx, n, x, at.f, at.g, at.c, at.cjac);
    std::fill(at.c.begin(), at.c.end(), k.big);
    const optim::sqp_summary s =
        optim::vmcon4(model_problem(ctx), ws, std::span(x).first(static_cast<std::size_t>(n)), at,
                      {.max_iterations = out.sqp_iteration_limit,
                       .tolerance = tau,
                       .max_line_search = vmcon4_maxls,
                       .qp_mode = vmcon4_qpmode,
                       .fresh_start = pass == 1,
                       .earlier_iterations = total});
    out.sqp_info = static_cast<int>(s.info);
    double mu = s.cnorm;
    total += s.iterations;
    if (total > sqp_iteration_cap) break;
    if (std::isnan(mu)) {
      mu = k.big;
      f = f_best;
      x = x_best;
    } else if (!(f <= f_best)) {
      f = f_best;
      x = x_best;
    } else if (mu > sqp_divergence_factor * mu_best) {
      f = f_best;
      x = x_best;
      break;
    } else if (mu < k.t) {
      f_best = f;
      x_best = x;
      break;
    } else {
      mu_best = std::fmin(mu_best, mu);
      if (static_cast<int>(s.info) <= 4) tau = k.t / 2.0;
    }
  }
  k.t = tau;
  out.f = f;
  return out;
}

}  // namespace

void keep_best(double& f, par_array& x, double& f_best, par_array& x_best) {
  if (!(f <= f_best)) {
    f = f_best;
    x = x_best;
  } else {
    f_best = f;
    x_best = x;
  }
}

run_constants compute_run_constants() {
  run_constants k;
  double eps = 1e-60;
  while (true) {
    eps += eps;
    const double small = 1.0 + 0.1 * eps;
    const double larger = 1.0 + 0.2 * eps;
    if (small > 1.0 && small < larger) break;
  }
  k.eps = eps;
  k.big = 10.0 / eps;
  const double tol1 = 2.0 * std::sqrt(eps) * (1.0 + std::sqrt(eps));
  k.t = 10.0 * tol1;
  return k;
}

chain_outcome fit_chain(core::fit_context& ctx, run_constants& k, int n, int model, par_array& x,
                        stage_costs& cost) {
  std::int64_t mark = evaluations(ctx);
  auto stage_done = [&](stage done) {
    cost[done] = evaluations(ctx) - mark;
    mark = evaluations(ctx);
  };
  const auto count = static_cast<std::size_t>(n);

  double seed = rangen_seed;
  (void)optim::rangen(ctx.rangen_state, seed);  // advances the searches' random sequence
  const optim::value_problem problem = model_value_problem(ctx, n);
  const models::model_facts& facts = models::facts_of(model);
  const optim::shape_search shape = facts.shape_search;
  const optim::simplex_restarts restarts = facts.simplex_restarts;
  const models::chain_settings chain = facts.chain;
  double f = k.big;
  double f_best = f;
  par_array x_best = x;

  // Stage 1: simplex passes with a shrinking scale.
  double sum_sq = 0.0;
  double largest = x[0];
  for (int i = 0; i < n - 1; ++i) {
    sum_sq += x[static_cast<std::size_t>(i)] * x[static_cast<std::size_t>(i)];
    largest = std::fmax(largest, x[static_cast<std::size_t>(i)]);
  }
  double scale = simplex_start_scale * std::sqrt(sum_sq / (n - 1)) / largest;
  for (int pass = 1; pass <= chain.simplex_passes; ++pass) {
    (void)optim::simplex(problem, std::span(x).first(count), f,
                         {k.t, scale, chain.simplex_limit, restarts, shape}, ctx.rangen_state);
    absolute(x, n);
    scale *= simplex_scale_factor;
    if (scale < simplex_scale_floor) break;
    keep_best(f, x, f_best, x_best);
  }
  stage_done(stage::simplex);

  // Stage 2: variable metric from the identity. Its exit code is not needed: every
  // exit leaves a point with its value, and keep_best judges the stage by that value
  // alone (a stage that did not improve is undone whatever its exit said).
  std::vector<double> h(count * (count + 1) / 2, 1.0);
  (void)optim::va10d(problem, std::span(x).first(count), f, h, va10d_mode_fresh, chain.va10d_limit);
  keep_best(f, x, f_best, x_best);
  stage_done(stage::variable_metric);

  // Stage 3: golden-section searches along the coordinates.
  optim::golden_ab_search(problem, std::span(x).first(count), f, shape);
  keep_best(f, x, f_best, x_best);
  models::bound_point(n, x, model);
  stage_done(stage::golden);

  // Stage 4: direction set, undone when it fails or doubles the value.
  absolute(x, n);
  for (int i = 0; i < n; ++i) {
    if (x[static_cast<std::size_t>(i)] <= shape_floor)
      x[static_cast<std::size_t>(i)] = shape_restart;
  }
  const par_array x_svd = x;
  const double f_svd = f;
  int nfe = 0;
  const auto ier =
      optim::nminsvd(problem, core::max_par, std::span(x).first(count), f, chain.nminsvd_runs, nfe);
  if (ier != optim::minsvd_ier::ok) {
    f = f_svd;
    x = x_svd;
  }
  keep_best(f, x, f_best, x_best);
  if (f > nminsvd_undo_factor * f_svd) {
    f = f_svd;
    x = x_svd;
  }
  stage_done(stage::direction_set);

  // Shape parameters pushed to their floor get room to move again.
  if (chain.restarted_shapes >= 1 && x[3] < shape_floor) x[3] = shape_restart;
  if (chain.restarted_shapes >= 2 && x[4] < shape_floor) x[4] = shape_restart;

  // Stage 5: one more simplex for the models with an unbounded a.
  if (chain.extra_simplex) {
    (void)optim::simplex(problem, std::span(x).first(count), f,
                         {k.t, extra_simplex_scale, extra_simplex_limit, restarts, shape},
                         ctx.rangen_state);
  }
  if (chain.restarted_shapes >= 1) {
    if (x[3] < shape_floor) x[3] = shape_restart;
    if (x[3] > shape_cap) x[3] = shape_cap_value;
  }
  stage_done(stage::extra_simplex);

  // Stage 6: constrained refinement of the chain.
  const chain_outcome out = sqp_stage(ctx, k, n, model, x);
  stage_done(stage::sqp);
  return out;
}

}  // namespace inhibra::fit
