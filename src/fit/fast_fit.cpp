#include "fit/fast_fit.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "data/data_file.hpp"
#include "fit/init_estimates.hpp"
#include "fit/row_weights.hpp"
#include "models/model_forms.hpp"
#include "models/model_library.hpp"
#include "strings/text.hpp"

namespace inhibra::fit {

namespace {

// Km, Vmax and Ki from the data: the Michaelis-Menten estimates of the rows at the
// lowest inhibitor concentration (all rows when fewer than two are there), and the
// largest concentration, which sets the scale of Ki.
struct data_scales {
  mm_estimate mm;
  double largest_inhibitor = 0.0;
};

data_scales scales_of(const core::observations& ctx) {
  const auto rows = static_cast<std::size_t>(std::clamp(ctx.rows, 0, core::max_rows));
  data_scales out;
  if (rows == 0) return out;
  const auto inhibitor = std::span(ctx.inhibitor).first(rows);
  const double lowest = *std::min_element(inhibitor.begin(), inhibitor.end());
  out.largest_inhibitor = *std::max_element(inhibitor.begin(), inhibitor.end());
  std::vector<double> s;
  std::vector<double> v;
  for (std::size_t k = 0; k < rows; ++k) {
    if (std::abs(inhibitor[k] - lowest) > data::curve_tolerance) continue;
    s.push_back(ctx.substrate[k]);
    v.push_back(ctx.rate[k]);
  }
  if (s.size() < 2) {
    s.assign(ctx.substrate.begin(), ctx.substrate.begin() + static_cast<std::ptrdiff_t>(rows));
    v.assign(ctx.rate.begin(), ctx.rate.begin() + static_cast<std::ptrdiff_t>(rows));
  }
  out.mm = gauss_newton_mm(s, v, linear_mm_estimates(s, v));
  return out;
}

}  // namespace

std::vector<parameter_vector> data_starts(const core::fit_context& ctx) {
  const int model = ctx.model;
  const data_scales scales = scales_of(ctx);
  std::vector<double> ki_values;
  if (scales.largest_inhibitor > 0.0) {
    for (const double factor : ki_start_factors)
      ki_values.push_back(factor * scales.largest_inhibitor);
  } else {
    ki_values.push_back(scales.mm.km);
  }
  std::vector<parameter_vector> starts;
  for (const double ki : ki_values) {
    parameter_vector base{};
    base[0] = std::abs(scales.mm.km);
    base[1] = std::abs(scales.mm.vmax);
    base[2] = ki;
    models::clip_to_box(model, base);
    // A model without a and b has its base as its one start; the others start from
    // every a (and b) of their grid.
    const std::vector<parameter_vector> shaped = own_starts(model, base);
    if (shaped.empty()) {
      starts.push_back(base);
    } else {
      starts.insert(starts.end(), shaped.begin(), shaped.end());
    }
  }
  return starts;
}

void textbook_score(const core::fit_context& ctx, model_result& r) {
  r.error_log = error_log_term(ctx, r.p);
  r.textbook = textbook_criteria(ctx.rows, r.n, r.ssr, r.error_log);
}

namespace {

// The fast search for the context's weighting: brief looks from the starts with the
// lowest sums, full solves from the lowest distinct ends.
refinement fast_search(const core::fit_context& ctx, std::span<const parameter_vector> borrowed) {
  std::int64_t evaluations = 0;
  bool failed = false;
  // Every start, inside the box, with its sum there; the lowest few are looked at
  // briefly and the most promising ends of those solved in full.
  std::vector<scored_point> starts;
  auto add = [&](parameter_vector p) {
    models::clip_to_box(ctx.model, p);
    starts.push_back({p, reported_ssr(ctx, p)});
  };
  for (const auto& p : borrowed)
    add(p);
  for (const auto& p : data_starts(ctx))
    add(p);
  std::stable_sort(starts.begin(), starts.end(), [](const scored_point& a, const scored_point& b) {
    return lower_ssr(a.ssr, b.ssr);
  });
  if (starts.size() > static_cast<std::size_t>(fast_scouted_starts))
    starts.resize(static_cast<std::size_t>(fast_scouted_starts));
  std::vector<scored_point> scouted;
  for (const auto& start : starts) {
    scouted.push_back(solve_from(ctx, start.p, evaluations, fast_scouting_effort));
    failed = failed || scouted.back().solver_failed;
  }
  refinement found;
  bool first = true;
  std::vector<scored_point> chosen = lowest_distinct(std::move(scouted), ctx.n_par);
  if (chosen.size() > static_cast<std::size_t>(fast_full_solves))
    chosen.resize(static_cast<std::size_t>(fast_full_solves));
  for (const auto& candidate : chosen) {
    const scored_point solved = solve_from(ctx, candidate.p, evaluations, fast_full_effort);
    failed = failed || solved.solver_failed;
    if (first || lower_ssr(solved.ssr, found.best.ssr)) found.best = solved;
    first = false;
  }
  found.evaluations = evaluations;
  found.solver_failed = failed;
  return found;
}

// Sets the context's weighting to equal weights without robust weighting for as long
// as it lives.
class equal_weights {
 public:
  explicit equal_weights(core::fit_context& ctx)
      : ctx_(ctx), weighting_(ctx.weighting), errors_(ctx.errors) {
    ctx.weighting = core::weighting::none;
    ctx.errors = core::error_model::equal;
  }
  ~equal_weights() {
    ctx_.weighting = weighting_;
    ctx_.errors = errors_;
  }
  equal_weights(const equal_weights&) = delete;
  equal_weights& operator=(const equal_weights&) = delete;

 private:
  core::fit_context& ctx_;
  core::weighting weighting_;
  core::error_model errors_;
};

}  // namespace

fast_outcome fast_fit(core::fit_context& ctx, std::span<const parameter_vector> borrowed) {
  refinement found;
  if (!weights_follow_fit(ctx)) {
    found = fast_search(ctx, borrowed);
  } else {
    // Weights that follow the fit (robust weighting, an error model) can settle in more
    // than one place: the search starts where the default fitting's does, from the
    // optimum with equal weights, and goes on as the refinement after the chain does.
    refinement plain;
    {
      const equal_weights unweighted(ctx);
      plain = fast_search(ctx, borrowed);
    }
    const parameter_vector& start = plain.best.p;
    const double start_ssr = reported_ssr(ctx, start);
    found = ctx.weighting == core::weighting::robust
                ? refine_robust(ctx, start, start_ssr, borrowed)
                : refine(ctx, start, start_ssr, borrowed);
    found.evaluations += plain.evaluations;
    found.solver_failed = found.solver_failed || plain.solver_failed;
  }

  fast_outcome out;
  model_result& r = out.fit;
  r.model = ctx.model;
  std::string name;
  models::npar(ctx.model, name, r.n);
  r.name = std::string(strings::trim_both(name));
  r.weighting = ctx.weighting;
  r.errors = ctx.errors;
  std::copy_n(found.best.p.begin(), r.n, r.p.begin());
  r.ssr = reported_ssr(ctx, r.p);
  r.ssr_objective = r.ssr;
  r.chain_ssr = std::numeric_limits<double>::quiet_NaN();
  r.sqp_info = sqp_not_run;
  r.stage_evaluations[stage::refinement] = found.evaluations;
  textbook_score(ctx, r);
  out.solver_failed = found.solver_failed;
  return out;
}

std::vector<model_result> fast_fits(core::fit_context& ctx, std::span<const int> models) {
  std::vector<model_result> fits;
  auto select = [&](int model) {
    ctx.model = model;
    ctx.mdl_number = model;
    std::string name;
    models::npar(model, name, ctx.n_par);
  };
  auto borrowed_by = [&](int model) {
    std::vector<parameter_vector> starts;
    for (const auto& other : fits) {
      if (other.model != model)
        starts.push_back(models::carry_into(model, models::general_form(other.model, other.p)));
    }
    return starts;
  };
  for (const int model : models) {
    select(model);
    fits.push_back(fast_fit(ctx, borrowed_by(model)).fit);
  }
  // Each round that moves a model lowers its sum, so few rounds are ever needed.
  constexpr int consistency_rounds = 10;
  for (int round = 1; round <= consistency_rounds; ++round) {
    bool changed = false;
    for (auto& r : fits) {
      select(r.model);
      std::int64_t evaluations = 0;
      const scored_point best =
          consistent_point(ctx, {r.p, r.ssr}, borrowed_by(r.model), evaluations);
      r.stage_evaluations[stage::refinement] += evaluations;
      if (best.p == r.p) continue;
      r.p = best.p;
      r.ssr = reported_ssr(ctx, r.p);
      textbook_score(ctx, r);
      changed = true;
    }
    if (!changed) break;
  }
  return fits;
}

}  // namespace inhibra::fit
