#include "models/objective.hpp"

#include <algorithm>
#include <cmath>

#include "core/one_based.hpp"
#include "models/model_catalogue.hpp"
#include "models/model_library.hpp"
#include "models/robustwt.hpp"

namespace inhibra::models {

namespace {

using par_array = std::array<double, core::max_par>;

// Working copy of a parameter vector at full capacity; entries past x's length are 0.
par_array working_copy(std::span<const double> x) {
  par_array p{};
  std::copy_n(x.begin(), std::min<std::size_t>(x.size(), p.size()), p.begin());
  return p;
}

// Unweighted sum of squared residuals; `func` may adjust P4/P5 of p on the way.
double sum_of_squares(const core::fit_context& ctx, par_array& p) {
  const int rows = std::clamp(ctx.rows, 0, core::max_rows);
  double f = 0.0;
  for (int k = 0; k < rows; ++k) {
    const auto i = static_cast<std::size_t>(k);
    const double r = ctx.rate[i] - func(ctx, ctx.substrate[i], ctx.inhibitor[i], ctx.rate[i], p);
    f += r * r;
  }
  return f;
}

double weighted_sum_of_squares(const core::fit_context& ctx, par_array& p,
                               std::span<const double> w) {
  const int rows = std::clamp(ctx.rows, 0, core::max_rows);
  double s = 0.0;
  for (int k = 0; k < rows; ++k) {
    const auto i = static_cast<std::size_t>(k);
    const double r = ctx.rate[i] - func(ctx, ctx.substrate[i], ctx.inhibitor[i], ctx.rate[i], p);
    s += w[i] * (r * r);
  }
  return s;
}

// The model's box as linear inequalities c >= 0 for the SQP stage: the lower ends of
// P1..Pn, then their upper ends, in parameter order. A shape parameter kept below 1
// has 1 as its upper end, one kept from 1 up has 1 as its lower end; where b stays
// below a, b's upper end is a - b >= 0.
void set_constraints(const model_facts& model, const par_array& x, core::model_state& ctx,
                     std::span<double> cv, std::span<double> cjac_storage) {
  const core::vec1 c(cv);
  const core::mat1 cjac(cjac_storage, core::max_par);
  auto xv = [&](int i) { return x[static_cast<std::size_t>(i - 1)]; };
  const int n = model.parameters;
  ctx.m = 2 * n;
  for (int i = 1; i <= n; ++i) {
    const shape_range range =
        i > 3 ? model.shape.range[static_cast<std::size_t>(i - 4)] : shape_range::any;
    c(i) = xv(i) - (range == shape_range::above_one ? 1.0 : lower_bound);
    cjac(i, i) = 1.0;
    if (model.b_below_a && i == 5) {
      c(n + i) = xv(4) - xv(5);
      cjac(4, n + i) = 1.0;
      cjac(5, n + i) = -1.0;
    } else {
      c(n + i) = (range == shape_range::below_one ? 1.0 : upper_bound) - xv(i);
      cjac(i, n + i) = -1.0;
    }
  }
}

}  // namespace

void calcfg(core::fit_context& ctx, int /*n*/, std::span<const double> x, double& f,
            std::span<double> g, std::span<double> c, std::span<double> cjac) {
  ++ctx.full_evaluations;
  f = 0.0;
  std::fill_n(g.begin(), std::min<std::size_t>(g.size(), core::max_par), 0.0);
  std::fill(cjac.begin(), cjac.end(), 0.0);
  if (ctx.model > ctx.model_limit) {
    core::show_message(ctx, core::box_kind::warning, "Model number exceeded limit!");
    core::show_message(ctx, core::box_kind::error, "* * * ERROR: ABORTED RUN * * *");
    return;
  }
  ctx.meq = 0;
  if (const model_facts* facts = model_info(ctx.model); facts != nullptr)
    set_constraints(*facts, working_copy(x), ctx, c, cjac);
  derivatives(ctx, g, f, x);
}

void derivatives(const core::fit_context& ctx, std::span<double> g, double& f,
                 std::span<const double> x) {
  const double sqrt_eps = std::sqrt(diff_eps);
  const double big = 1.0 / diff_eps;
  const int n = std::clamp(ctx.n_par, 0, core::max_par);
  const int rows = std::clamp(ctx.rows, 0, core::max_rows);

  par_array p = working_copy(x);
  const par_array ps = p;
  std::fill_n(g.begin(), std::min<std::size_t>(g.size(), core::max_par), 0.0);

  std::array<double, core::max_rows> w;
  std::fill_n(w.begin(), rows, 1.0);
  if (ctx.weighting == core::weighting::robust) {
    std::array<double, core::max_rows> r{};
    for (int k = 0; k < rows; ++k) {
      const auto i = static_cast<std::size_t>(k);
      r[i] = ctx.rate[i] - func(ctx, ctx.substrate[i], ctx.inhibitor[i], ctx.rate[i], p);
    }
    robust_wt(rows, std::span(r).first(static_cast<std::size_t>(rows)),
              std::span(w).first(static_cast<std::size_t>(rows)));
  }

  std::array<double, core::max_par> h{};
  std::array<double, core::max_par> s_plus{};
  std::array<double, core::max_par> s_minus{};
  for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j) {
    h[j] = std::max((std::abs(p[j]) + sqrt_eps) * sqrt_eps, min_step);
    p[j] = ps[j] + h[j];
    s_plus[j] = weighted_sum_of_squares(ctx, p, w);
    p[j] = ps[j] - h[j];
    s_minus[j] = weighted_sum_of_squares(ctx, p, w);
    p[j] = ps[j];
  }
  const core::vec1 gv(g);
  for (int j = 1; j <= n; ++j) {
    const auto i = static_cast<std::size_t>(j - 1);
    const double d = (s_plus[i] - s_minus[i]) / 2.0;
    if (std::abs(d) < diff_eps * diff_eps) {
      gv(j) = diff_eps;
    } else if (std::abs(d) > big) {
      gv(j) = big;
    } else {
      gv(j) = d / h[i];
    }
  }
  f = sum_of_squares(ctx, p);
}

double objective_value(core::fit_context& ctx, std::span<const double> x) {
  // The gradient sweeps of a full evaluation leave every adjusted shape parameter at
  // a value the model maps to the same point as the unperturbed x (each adjustment
  // is idempotent and the perturbed entry is always restored), so the sum at a fresh
  // copy of x has the same bits.
  ++ctx.value_evaluations;
  if (ctx.model > ctx.model_limit) return 0.0;
  par_array p = working_copy(x);
  return sum_of_squares(ctx, p);
}

}  // namespace inhibra::models
