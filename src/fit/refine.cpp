#include "fit/refine.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

#include "fit/detail/bounded_solve.hpp"
#include "fit/robust_descent.hpp"
#include "fit/row_weights.hpp"
#include "models/model_catalogue.hpp"
#include "models/model_library.hpp"
#include "models/robustwt.hpp"

namespace inhibra::fit {

namespace {

// Shape values per parameter among the model's own starts (box ends included).
constexpr int shape_grid = 5;

// Two ends of scouting solves count as one when every parameter agrees to this
// relative difference; only distinct ends are solved in full.
constexpr double same_point_tolerance = 1e-3;
constexpr int polished_scouts = 3;
// Robust weighting's brief reweighted solve: a few rounds of reweighting, so that a
// start's own weights do not decide where it goes.
constexpr solve_effort robust_scouting_effort{10, 2, 3};

bool same_point(const parameter_vector& a, const parameter_vector& b, int n) {
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
    if (std::abs(a[i] - b[i]) > same_point_tolerance * std::fmax(std::abs(a[i]), std::abs(b[i])))
      return false;
  }
  return true;
}

}  // namespace

std::vector<scored_point> lowest_distinct(std::vector<scored_point> scouted, int n) {
  std::stable_sort(
      scouted.begin(), scouted.end(),
      [](const scored_point& a, const scored_point& b) { return lower_ssr(a.ssr, b.ssr); });
  std::vector<scored_point> chosen;
  for (const auto& candidate : scouted) {
    if (static_cast<int>(chosen.size()) >= polished_scouts) break;
    const bool seen = std::any_of(chosen.begin(), chosen.end(), [&](const scored_point& c) {
      return same_point(c.p, candidate.p, n);
    });
    if (!seen) chosen.push_back(candidate);
  }
  return chosen;
}

namespace {

// Residuals y - v at p (through the rate function, as every other stage sees them).
void residuals_at(const core::fit_context& ctx, std::span<const double> p, std::span<double> r,
                  std::span<double> fitted) {
  parameter_vector q{};
  std::copy_n(p.begin(), std::min(p.size(), q.size()), q.begin());
  for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k) {
    fitted[k] = models::func(ctx, ctx.substrate[k], ctx.inhibitor[k], ctx.rate[k], q);
    r[k] = ctx.rate[k] - fitted[k];
  }
}

// The weights of the rows at p (all 1 with equal weights and no robust weighting).
void weights_at(const core::fit_context& ctx, std::span<const double> p, weight_array& w) {
  row_weights(ctx, p, w);
}

}  // namespace

double reported_ssr(const core::fit_context& ctx, std::span<const double> p) {
  std::array<double, core::max_rows> r{};
  std::array<double, core::max_rows> fitted{};
  weight_array w{};
  weights_at(ctx, p, w);
  residuals_at(ctx, p, r, fitted);
  double ssq = 0.0;
  for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k) {
    if (weights_follow_fit(ctx)) {
      ssq += w[k] * (r[k] * r[k]);
    } else if (ctx.weighting == core::weighting::fitted_rate) {
      ssq += (r[k] * r[k]) / std::fmax(std::abs(fitted[k]), 1e-30);
    } else {
      ssq += r[k] * r[k];
    }
  }
  return ssq;
}

scored_point solve_from(const core::fit_context& ctx, const parameter_vector& start,
                        std::int64_t& evaluations, const solve_effort& effort) {
  scored_point best{start, reported_ssr(ctx, start)};
  parameter_vector p = start;
  weight_array w{};
  weights_at(ctx, p, w);
  const bool reweighted = weights_follow_fit(ctx);
  // With an error model the estimate is the point where the weights settle (the
  // weights from the fitted rates there give that point back), not the lowest sum
  // met on the way, which would favour rates fitted too high. Robust weighting keeps
  // the lowest robust sum met.
  const bool settled_point = ctx.errors != core::error_model::equal;
  const int rounds = reweighted ? effort.reweightings : 1;
  bool failed = false;
  for (int round = 1; round <= rounds; ++round) {
    failed = !solve_once(ctx, w, effort, p, evaluations) || failed;
    const double ssr = reported_ssr(ctx, p);
    if (settled_point || lower_ssr(ssr, best.ssr)) best = {p, ssr};
    if (!reweighted) break;
    weight_array next{};
    weights_at(ctx, p, next);
    // Robust weights lie in (0, 1] and settle by their absolute moves; an error
    // model's weights carry the rates' units and spread over orders of magnitude, so
    // each settles by its move relative to its own size.
    double moved = 0.0;
    for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k) {
      const double size = settled_point ? std::fmax(std::abs(w[k]), 1e-300) : 1.0;
      moved = std::fmax(moved, std::abs(next[k] - w[k]) / size);
    }
    w = next;
    if (moved <= weights_settled) break;
  }
  best.solver_failed = failed;
  return best;
}

std::vector<parameter_vector> own_starts(int model, const parameter_vector& chain) {
  const models::parameter_box box = models::reachable_box(model);
  // Log-spaced values across [lo, hi] of shape parameter i, ends included.
  auto grid = [&](std::size_t i) {
    std::array<double, shape_grid> values{};
    const double lo = std::log(box.lo[i]);
    const double hi = std::log(box.hi[i]);
    for (int g = 0; g < shape_grid; ++g) {
      values[static_cast<std::size_t>(g)] = std::exp(lo + (hi - lo) * g / (shape_grid - 1));
    }
    values.front() = box.lo[i];
    values.back() = box.hi[i];
    return values;
  };
  std::vector<parameter_vector> starts;
  parameter_vector base{};
  std::copy_n(chain.begin(), 3, base.begin());
  models::clip_to_box(model, base);
  if (box.n <= 3) return starts;
  for (const double a : grid(3)) {
    parameter_vector p = base;
    p[3] = a;
    if (box.n == 4) {
      starts.push_back(p);
      continue;
    }
    for (const double b : grid(4)) {
      p[4] = b;
      parameter_vector clipped = p;
      models::clip_to_box(model, clipped);
      // Model 8's ceiling on b makes some grid points coincide.
      if (std::find(starts.begin(), starts.end(), clipped) == starts.end())
        starts.push_back(clipped);
    }
  }
  return starts;
}

double weighted_ssr(const core::fit_context& ctx, std::span<const double> p,
                    std::span<const double> weights) {
  std::array<double, core::max_rows> r{};
  std::array<double, core::max_rows> fitted{};
  residuals_at(ctx, p, r, fitted);
  double ssq = 0.0;
  for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k)
    ssq += weights[k] * (r[k] * r[k]);
  return ssq;
}

scored_point solve_pinned(const core::fit_context& ctx, const parameter_vector& start,
                          std::span<const double> weights, int pinned, std::int64_t& evaluations) {
  weight_array w{};
  std::copy_n(weights.begin(), ctx.rows, w.begin());
  parameter_vector p = start;
  const bool evaluated = solve_once(ctx, w, full_effort, p, evaluations, pinned);
  // The pinned value exactly as given; model 8's other shape parameter keeps to its
  // side of it.
  p[static_cast<std::size_t>(pinned)] = start[static_cast<std::size_t>(pinned)];
  if (models::b_capped_by_a(ctx.model) && pinned == 3)
    p[4] = std::fmin(p[4], models::model8_b_ceiling(p[3]));
  if (models::b_capped_by_a(ctx.model) && pinned == 4)
    p[3] = std::fmax(p[3], models::model8_a_floor(p[4]));
  return {p, weighted_ssr(ctx, p, weights), !evaluated};
}

scored_point solve_weighted(const core::fit_context& ctx, const parameter_vector& start,
                            std::span<const double> weights, std::int64_t& evaluations) {
  weight_array w{};
  std::copy_n(weights.begin(), ctx.rows, w.begin());
  parameter_vector p = start;
  models::clip_to_box(ctx.model, p);
  const bool evaluated = solve_once(ctx, w, full_effort, p, evaluations);
  return {p, weighted_ssr(ctx, p, weights), !evaluated};
}

scored_point robust_solve_from(const core::fit_context& ctx, const parameter_vector& start,
                               std::int64_t& evaluations, bool scouting) {
  scored_point best =
      solve_from(ctx, start, evaluations, scouting ? robust_scouting_effort : full_effort);
  const bool failed = best.solver_failed;
  for (const auto& from : {start, best.p}) {
    const scored_point found =
        descend_robust_sum(ctx, from, evaluations, scouting ? scouting_descent : full_descent);
    if (lower_ssr(found.ssr, best.ssr)) best = found;
  }
  best.solver_failed = failed;
  return best;
}

std::vector<parameter_vector> outlier_free_starts(const core::fit_context& ctx,
                                                  const parameter_vector& chain,
                                                  std::int64_t& evaluations) {
  std::vector<parameter_vector> starts;
  weight_array w{};
  std::fill_n(w.begin(), ctx.rows, 1.0);
  const std::span<const double> weights(w.data(), static_cast<std::size_t>(ctx.rows));
  scored_point fit = solve_weighted(ctx, chain, weights, evaluations);
  starts.push_back(fit.p);
  const int most = std::min(trimmed_rows, ctx.rows - 2 * ctx.n_par);
  std::array<double, core::max_rows> r{};
  std::array<double, core::max_rows> fitted{};
  for (int left_out = 1; left_out <= most; ++left_out) {
    residuals_at(ctx, fit.p, r, fitted);
    std::size_t worst = 0;
    double largest = -1.0;
    for (std::size_t k = 0; k < static_cast<std::size_t>(ctx.rows); ++k) {
      if (w[k] > 0.0 && std::abs(r[k]) > largest) {
        largest = std::abs(r[k]);
        worst = k;
      }
    }
    w[worst] = 0.0;
    fit = solve_weighted(ctx, fit.p, weights, evaluations);
    starts.push_back(fit.p);
  }
  return starts;
}

refinement refine_robust(const core::fit_context& ctx, const parameter_vector& chain,
                         double chain_ssr, std::span<const parameter_vector> borrowed) {
  return robust_search(ctx, refine(ctx, chain, chain_ssr, borrowed), chain, borrowed);
}

refinement robust_search(const core::fit_context& ctx, refinement out,
                         const parameter_vector& chain,
                         std::span<const parameter_vector> borrowed) {
  auto keep = [&](const scored_point& found) {
    out.solver_failed = out.solver_failed || found.solver_failed;
    if (lower_ssr(found.ssr, out.best.ssr)) {
      out.best = found;
      out.improved = true;
    }
  };
  std::vector<parameter_vector> starts = outlier_free_starts(ctx, chain, out.evaluations);
  starts.insert(starts.end(), borrowed.begin(), borrowed.end());
  starts.push_back(out.best.p);
  std::vector<scored_point> scouted;
  for (auto start : starts) {
    models::clip_to_box(ctx.model, start);
    scouted.push_back(robust_solve_from(ctx, start, out.evaluations, true));
    keep(scouted.back());
  }
  for (const auto& candidate : lowest_distinct(std::move(scouted), ctx.n_par))
    keep(robust_solve_from(ctx, candidate.p, out.evaluations));
  return out;
}

refinement refine(const core::fit_context& ctx, const parameter_vector& chain, double chain_ssr,
                  std::span<const parameter_vector> borrowed) {
  refinement out;
  out.best = {chain, chain_ssr};
  auto keep = [&](const scored_point& found) {
    out.solver_failed = out.solver_failed || found.solver_failed;
    if (lower_ssr(found.ssr, out.best.ssr)) {
      out.best = found;
      out.improved = true;
    }
  };
  parameter_vector start = chain;
  models::clip_to_box(ctx.model, start);
  // With an error model, only points where the weights have settled are estimates:
  // the chain's point (fitted with equal weights) and the brief looks are not.
  const bool settled_only = ctx.errors != core::error_model::equal;
  if (settled_only) {
    out.best = solve_from(ctx, start, out.evaluations, full_effort);
    out.solver_failed = out.best.solver_failed;
    out.improved = true;
  } else {
    keep(solve_from(ctx, start, out.evaluations, full_effort));
  }

  // Every other start is scouted briefly; the most promising ends are then solved in
  // full.
  std::vector<parameter_vector> starts(borrowed.begin(), borrowed.end());
  for (const auto& own : own_starts(ctx.model, chain))
    starts.push_back(own);
  std::vector<scored_point> scouted;
  for (auto s : starts) {
    models::clip_to_box(ctx.model, s);
    scouted.push_back(solve_from(ctx, s, out.evaluations, scouting_effort));
    out.solver_failed = out.solver_failed || scouted.back().solver_failed;
  }
  for (const auto& candidate : lowest_distinct(std::move(scouted), ctx.n_par)) {
    if (!settled_only) keep(candidate);
    keep(solve_from(ctx, candidate.p, out.evaluations, full_effort));
  }
  return out;
}

}  // namespace inhibra::fit

namespace inhibra::fit {

scored_point consistent_point(const core::fit_context& ctx, const scored_point& current,
                              std::span<const parameter_vector> borrowed,
                              std::int64_t& evaluations) {
  scored_point best = current;
  for (const auto& start : borrowed) {
    // A robust sum can fall along a solve from a start where it is higher (the
    // weights change with the point), so in robust weighting every start is looked
    // at briefly, and searched in full when that finds a lower sum.
    if (ctx.weighting == core::weighting::robust) {
      const scored_point scout = robust_solve_from(ctx, start, evaluations, true);
      if (!lower_ssr(scout.ssr, best.ssr)) continue;
      const scored_point found = robust_solve_from(ctx, scout.p, evaluations);
      best = lower_ssr(found.ssr, scout.ssr) ? found : scout;
      continue;
    }
    if (!lower_ssr(reported_ssr(ctx, start), best.ssr)) continue;
    const scored_point found = solve_from(ctx, start, evaluations);
    if (lower_ssr(found.ssr, best.ssr)) best = found;
  }
  return best;
}

}  // namespace inhibra::fit
