#include "evidence/selection_simulation.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <thread>

#include "evidence/verdict.hpp"
#include "fit/fast_fit.hpp"
#include "fit/row_weights.hpp"
#include "models/model_catalogue.hpp"
#include "models/model_library.hpp"

namespace inhibra::evidence {

namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

// The design and the truth the sets are simulated from: the measured [S] and [I],
// the best fit's rate at each row and the noise's standard deviation there.
struct simulation_design {
  int rows = 0;
  std::vector<double> substrate;
  std::vector<double> inhibitor;
  std::vector<double> rate;  // the best fit's rates
  std::vector<double> sd;    // s / sqrt(w_k) of the error model's weight w_k
};

// A fresh context holding the design's rows (rates not yet set) for the run's
// weighting and error model.
std::unique_ptr<core::fit_context> design_context(const simulation_design& d,
                                                  const run_record& run) {
  auto ctx = std::make_unique<core::fit_context>();
  ctx->rows = d.rows;
  ctx->idat = d.rows;
  std::copy(d.substrate.begin(), d.substrate.end(), ctx->substrate.begin());
  std::copy(d.inhibitor.begin(), d.inhibitor.end(), ctx->inhibitor.begin());
  ctx->weighting =
      run.weighting == core::weighting::robust ? core::weighting::robust : core::weighting::none;
  ctx->errors = run.errors;
  ctx->model_limit = core::max_models;
  return ctx;
}

// The design of the run's best fit, or nothing when there is no best model or no
// noise level (N <= n, or a sum that is not a finite number).
std::optional<simulation_design> design_of(const core::observations& ctx, const run_record& run,
                                           int model, double& noise) {
  const auto best = std::find_if(run.fitted.begin(), run.fitted.end(),
                                 [&](const model_result& r) { return r.model == model; });
  const int rows = std::clamp(ctx.rows, 0, core::max_rows);
  if (best == run.fitted.end() || rows <= best->n) return std::nullopt;
  simulation_design d;
  d.rows = rows;
  const auto count = static_cast<std::size_t>(rows);
  d.substrate.assign(ctx.xtmp.begin(), ctx.xtmp.begin() + static_cast<std::ptrdiff_t>(count));
  d.inhibitor.assign(ctx.x2tmp.begin(), ctx.x2tmp.begin() + static_cast<std::ptrdiff_t>(count));
  auto measured = design_context(d, run);
  std::copy_n(ctx.ytmp.begin(), count, measured->rate.begin());
  measured->model = best->model;
  measured->n_par = best->n;
  // The error model's weights at the fit (robust weights left out: the noise of the
  // simulated sets is the error model's alone).
  fit::row_weight_array w{};
  fit::error_model_weights(*measured, best->p, w);
  models::parameter_vector p = best->p;
  double weighted = 0.0;
  for (std::size_t k = 0; k < count; ++k) {
    const double v = models::func(*measured, d.substrate[k], d.inhibitor[k], 0.0, p);
    const double r = measured->rate[k] - v;
    weighted += w[k] * r * r;
    d.rate.push_back(v);
  }
  // s^2 = weighted SSR / (N - n): the residual variance on the error model's scale.
  noise = std::sqrt(weighted / static_cast<double>(rows - best->n));
  if (!std::isfinite(noise)) return std::nullopt;
  for (std::size_t k = 0; k < count; ++k)
    d.sd.push_back(noise / std::sqrt(w[k]));
  return d;
}

// What one set gave: the winner (0 when undecided) and the simulated model's fit.
struct set_outcome {
  bool done = false;
  int winner = 0;
  models::model_par_array p{};
};

set_outcome fit_one_set(core::fit_context& ctx, const simulation_design& d,
                        const std::vector<int>& models, int truth, std::uint64_t seed, int index) {
  // The set's own generator: the same numbers whichever thread fits it.
  std::seed_seq seq{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32),
                    static_cast<std::uint32_t>(index)};
  std::mt19937_64 generator(seq);
  std::normal_distribution<double> gauss(0.0, 1.0);
  for (std::size_t k = 0; k < static_cast<std::size_t>(d.rows); ++k)
    ctx.rate[k] = d.rate[k] + d.sd[k] * gauss(generator);

  const std::vector<model_result> fits = fit::fast_fits(ctx, models);
  set_outcome out;
  out.done = true;
  double lowest = HUGE_VAL;
  for (const auto& r : fits) {
    // The first of equal criteria wins; a criterion that is not a number never does.
    if (r.textbook.aicc < lowest) {
      lowest = r.textbook.aicc;
      out.winner = r.model;
    }
    if (r.model == truth) std::copy_n(r.p.begin(), out.p.size(), out.p.begin());
  }
  return out;
}

}  // namespace

// The families by the verdict's names; model 10, whose site the verdict reads from its
// fitted point, stands alone as the general modifier here.
std::vector<family_wins> families_by_kind() {
  return {{family_name(mode_family::complete), {1, 2, 3, 4}, 0},
          {family_name(mode_family::partial), {5, 6, 7, 8, 9, 10}, 0}};
}

std::vector<family_wins> families_by_site() {
  return {{family_name(site_family::competitive), {1, 5}, 0},
          {family_name(site_family::free_enzyme), {4, 9}, 0},
          {family_name(site_family::noncompetitive), {2, 6}, 0},
          {family_name(site_family::complex), {3, 7, 8}, 0},
          {family_name(site_family::general), {10}, 0}};
}

double percentile(std::vector<double> values, double p) {
  std::erase_if(values, [](double v) { return std::isnan(v); });
  if (values.empty()) return not_a_number;
  std::sort(values.begin(), values.end());
  const double h = static_cast<double>(values.size() - 1) * p / 100.0;
  const auto below = static_cast<std::size_t>(std::floor(h));
  if (below + 1 >= values.size()) return values.back();
  return values[below] + (h - std::floor(h)) * (values[below + 1] - values[below]);
}

simulation_result simulate_selection(const core::fit_context& ctx, const run_record& run, int model,
                                     const simulation_options& options) {
  simulation_result out;
  out.seed = options.seed;
  out.model = model;
  out.by_kind = families_by_kind();
  out.by_site = families_by_site();
  for (const auto& r : run.fitted)
    out.models.push_back(r.model);
  const auto design = design_of(ctx, run, model, out.noise);
  if (!design || options.sets < 1) return out;
  std::string name;
  models::npar(out.model, name, out.n);

  std::vector<set_outcome> outcomes(static_cast<std::size_t>(options.sets));
  std::atomic<int> next{0};
  std::atomic<int> finished{0};
  auto worker = [&] {
    auto set_ctx = design_context(*design, run);
    for (int i = next++; i < options.sets; i = next++) {
      if (options.stop != nullptr && options.stop->load() != 0) return;
      outcomes[static_cast<std::size_t>(i)] =
          fit_one_set(*set_ctx, *design, out.models, out.model, options.seed, i);
      const int done = ++finished;
      if (options.progress) options.progress(done);
    }
  };
  const int threads = std::clamp(options.threads, 1, options.sets);
  if (threads == 1) {
    worker();
  } else {
    std::vector<std::jthread> pool;
    for (int t = 0; t < threads; ++t)
      pool.emplace_back(worker);
  }

  // The tallies in the order of the sets, whatever order they finished in.
  std::array<std::vector<double>, 5> values;
  for (const auto& o : outcomes) {
    if (!o.done) {
      out.stopped = true;
      continue;
    }
    ++out.sets;
    if (o.winner == 0) {
      ++out.undecided;
    } else {
      ++out.wins[static_cast<std::size_t>(o.winner - 1)];
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(out.n); ++i)
      values[i].push_back(o.p[i]);
  }
  for (auto* families : {&out.by_kind, &out.by_site}) {
    for (auto& f : *families) {
      for (const int m : f.models)
        f.wins += out.wins[static_cast<std::size_t>(m - 1)];
    }
  }
  for (std::size_t i = 0; i < static_cast<std::size_t>(out.n); ++i) {
    out.limits[i] = {percentile(values[i], simulation_low_percentile),
                     percentile(values[i], simulation_high_percentile)};
  }
  return out;
}

}  // namespace inhibra::evidence
