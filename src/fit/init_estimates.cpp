#include "fit/init_estimates.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "core/capacities.hpp"
#include "core/one_based.hpp"
#include "data/data_file.hpp"
#include "fit/search_problem.hpp"
#include "models/model_catalogue.hpp"
#include "optim/dorunrun.hpp"
#include "optim/golden_search.hpp"
#include "optim/rangen.hpp"

namespace inhibra::fit {

namespace {

constexpr double eps = estimate_guard;

// Rows of the first curve and the number of curves, grouped as the data reader
// groups them.
struct curve_layout {
  int first_rows = 0;
  int curves = 0;
};

curve_layout layout_of(const core::observations& ctx) {
  const int rows = std::clamp(ctx.rows, 0, core::max_rows);
  curve_layout out;
  if (rows == 0) return out;
  out.curves = 1;
  out.first_rows = rows;
  double reference = ctx.inhibitor[0];
  for (int k = 1; k < rows; ++k) {
    const double value = ctx.inhibitor[static_cast<std::size_t>(k)];
    if (std::abs(value - reference) > data::curve_tolerance) {
      if (out.curves == 1) out.first_rows = k;
      ++out.curves;
      reference = value;
    }
  }
  return out;
}

// Polish of the search copy p by model group: searches in a fixed order with the
// group's clamps of a (P4) and b (P5) between them.
class polish {
 public:
  polish(core::fit_context& ctx, int n, std::span<double> p, double& seed)
      : ctx_(ctx),
        problem_(model_value_problem(ctx, n)),
        shape_(models::facts_of(ctx.mdl_number).shape_search),
        p_(p),
        seed_(seed) {}

  void golden() { optim::golden_search(problem_, p_, f_); }
  void golden_ab() { optim::golden_ab_search(problem_, p_, f_, shape_); }
  void random(int runs) {
    randgen(ctx_, seed_);
    optim::dorunrun(problem_, seed_, runs, p_, f_, ctx_.rangen_state);
  }
  double& a() { return core::vec1(p_)(4); }
  double& b() { return core::vec1(p_)(5); }

 private:
  core::fit_context& ctx_;
  optim::value_problem problem_;
  optim::shape_search shape_;
  std::span<double> p_;
  double& seed_;
  double f_ = 0.0;
};

void polish_by_model(polish& run, int model) {
  switch (model) {
    case 1:
    case 2:
      run.golden();
      run.golden_ab();
      run.random(30);
      break;
    case 3:
    case 6:
    case 7: {
      auto clamp = [&] {
        if (run.a() > 0.99) run.a() = 0.5;
      };
      clamp();
      run.golden();
      clamp();
      run.golden_ab();
      clamp();
      run.random(40);
      clamp();
      break;
    }
    case 4:
    case 5: {
      auto clamp = [&] {
        if (run.a() <= 0.99) run.a() = 2.0;
      };
      run.golden();
      clamp();
      if (run.a() > 100.0) run.a() = 100.0;
      run.golden_ab();
      clamp();
      run.random(40);
      clamp();
      if (run.a() >= 100.0) run.a() = 100.0;
      break;
    }
    case 8: {
      auto clamp = [&] {
        if (run.a() > 0.99) run.a() = 0.5;
        if (run.a() < 1e-6) run.a() = 2e-6;
        if (run.b() < 1e-6) run.b() = 1e-6;
        if (run.b() >= run.a()) run.b() = run.a() * 0.5;
      };
      run.golden();
      clamp();
      run.golden_ab();
      clamp();
      run.random(50);
      clamp();
      break;
    }
    case 9: {
      auto clamp = [&] {
        if (run.a() <= 0.99) run.a() = 2.0;
        if (run.b() < 1e-6) run.b() = 1e-6;
        if (run.b() > 0.99) run.b() = 0.5;
      };
      run.golden();
      clamp();
      run.golden_ab();
      clamp();
      run.random(50);
      clamp();
      break;
    }
    case 10: {
      auto clamp = [&] {
        if (run.a() < 1e-6) run.a() = 1e-6;
        if (run.b() < 1e-6) run.b() = 1e-6;
      };
      run.golden();
      run.golden_ab();
      clamp();
      run.random(50);
      clamp();
      break;
    }
    default:
      break;
  }
}

}  // namespace

mm_estimate linear_mm_estimates(std::span<const double> s, std::span<const double> v) {
  const std::size_t rows = std::min(s.size(), v.size());
  double s1 = 0.0;
  double s2 = 0.0;
  double s3 = 0.0;
  double s4 = 0.0;
  double s5 = 0.0;
  for (std::size_t k = 0; k < rows; ++k) {
    const double x = s[k];
    const double y = v[k];
    const double w = (y + eps) * (y + eps);
    s1 += y * y * x / w;
    s2 += y * y / w;
    s3 += y * x / w;
    s4 += x * x * y / w;
    s5 += x * x / w;
  }
  mm_estimate out;
  out.km = std::abs((s3 * s4 - s1 * s5 + eps) / (s2 * s5 - s3 * s3 + eps));

  double t1 = 0.0;
  double t2 = 0.0;
  double t3 = 0.0;
  for (std::size_t k = 0; k < rows; ++k) {
    const double x = s[k];
    const double y = v[k];
    const double q = y / (x + eps);
    t1 += y * y / (x + eps);
    t2 += y / (x + eps);
    t3 += q * q;
  }
  out.vmax = (t3 * out.km + t1) / (t2 + eps);
  return out;
}

mm_estimate gauss_newton_mm(std::span<const double> s, std::span<const double> v,
                            mm_estimate start) {
  const std::size_t rows = std::min(s.size(), v.size());
  const double km = start.km;
  const double vmax = start.vmax;
  double u1 = 0.0;
  double u2 = 0.0;
  double u3 = 0.0;
  double u4 = 0.0;
  double u5 = 0.0;
  for (std::size_t k = 0; k < rows; ++k) {
    const double x = s[k];
    const double y = v[k];
    const double f = x * vmax / (x + km);
    const double d = -x * vmax * km / ((x + km) * (x + km));
    u1 += y * f;
    u2 += f * f;
    u3 += d * f;
    u4 += y * d;
    u5 += d * d;
  }
  const double det = u3 * u4 - u1 * u5 + eps;
  const double c1 = -det / (u2 * u5 - u3 * u3 + eps);
  const double c2 = -(u2 * u4 - u1 * u3 + eps) / det;
  return {km + c2, vmax * c1};
}

double randgen(core::model_state& ctx, double& seed) {
  const double r = optim::pi_power_map(ctx.randgen_state, seed);
  ctx.randgen_state = r;
  seed = r;
  return r;
}

void init_estimates(core::fit_context& ctx, std::span<double> par_out, int /*capacity*/,
                    int model) {
  const int n = std::clamp(ctx.n_par, 0, core::max_par);
  const curve_layout curves = layout_of(ctx);
  const auto first = static_cast<std::size_t>(curves.first_rows);
  const std::span<const double> s = std::span(ctx.substrate).first(first);
  const std::span<const double> v = std::span(ctx.rate).first(first);
  const mm_estimate mm = gauss_newton_mm(s, v, linear_mm_estimates(s, v));

  std::array<double, core::max_par> par_store{};
  const core::vec1 par(par_store);
  par_store.fill(1.0);
  par(1) = mm.km;
  par(2) = mm.vmax;
  par(3) = mm.km;
  const std::array<double, 2> start = models::shape_of(model).start;
  par(4) = start[0];
  par(5) = start[1];

  double seed = 1024.0;
  randgen(ctx, seed);

  std::array<double, core::max_par> p{};
  std::copy_n(par_store.begin(), n, p.begin());
  polish run(ctx, n, p, seed);
  polish_by_model(run, model);
  std::copy_n(p.begin(), n, par_store.begin());

  if (curves.curves == 1) {
    for (int i = 3; i <= n; ++i)
      par(i) = 0.0;
  }
  for (int i = 1; i <= n; ++i) {
    if (par(i) < estimate_floor) par(i) = estimate_floor;
  }
  std::copy_n(par_store.begin(), std::min(static_cast<std::size_t>(n), par_out.size()),
              par_out.begin());
}

}  // namespace inhibra::fit
