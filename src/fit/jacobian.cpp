#include "fit/jacobian.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/one_based.hpp"
#include "models/model_library.hpp"
#include "models/robustwt.hpp"

namespace inhibra::fit {

void jacobian(const core::fit_context& ctx, int N, int n, std::span<double> J, double& ssq,
              std::span<const double> x, std::span<double> fitted_out) {
  std::fill(J.begin(), J.end(), 0.0);
  const core::mat1 jac(J, jac_ld);
  const core::cvec1 s{std::span<const double>(ctx.substrate)};
  const core::cvec1 inh{std::span<const double>(ctx.inhibitor)};
  const core::cvec1 y{std::span<const double>(ctx.rate)};
  const core::vec1 fitted(fitted_out);

  std::array<double, core::max_par> p_store{};
  std::copy_n(x.begin(), std::min<std::size_t>(x.size(), p_store.size()), p_store.begin());
  const std::array<double, core::max_par> ps_store = p_store;
  const core::vec1 p{std::span<double>(p_store)};
  const core::cvec1 ps{std::span<const double>(ps_store)};

  const double scale = std::sqrt(std::sqrt(jac_eps));
  const double big = 1.0 / jac_eps;

  std::array<double, core::max_rows> w_store{};
  std::array<double, core::max_rows> r_store{};
  const core::vec1 w{std::span<double>(w_store)};
  const core::vec1 r{std::span<double>(r_store)};
  for (int k = 1; k <= N; ++k)
    w(k) = 1.0;
  if (ctx.weighting == core::weighting::robust) {
    for (int k = 1; k <= N; ++k) {
      fitted(k) = models::func(ctx, s(k), inh(k), y(k), p_store);
      r(k) = y(k) - fitted(k);
    }
    models::robust_wt(N, r_store, w_store);
  }

  // One sweep over the observations with parameter j shifted by delta: the weighted
  // absolute residuals over `step`, plus `offset`, into q.
  std::array<double, core::max_rows> p2_store{}, p1_store{}, m2_store{}, m1_store{};
  auto sweep = [&](int j, double delta, double step, double offset, std::span<double> q_store) {
    const core::vec1 q(q_store);
    p(j) = ps(j) + delta;
    for (int k = 1; k <= N; ++k) {
      const double d = w(k) * std::abs(y(k) - models::func(ctx, s(k), inh(k), y(k), p_store));
      q(k) = d / step + offset;
    }
    p(j) = ps(j);
  };

  for (int j = 1; j <= n; ++j) {
    const double h = std::fmax((std::abs(p(j)) + scale) * scale, jac_hmin);
    sweep(j, 2.0 * h, 2.0 * h, jac_hmin, p2_store);
    sweep(j, h, h, jac_hmin, p1_store);
    sweep(j, -2.0 * h, 2.0 * h, jac_eps, m2_store);
    sweep(j, -h, h, jac_eps, m1_store);
    for (int k = 1; k <= N; ++k) {
      const auto i = static_cast<std::size_t>(k - 1);
      jac(k, j) = ((p1_store[i] + p2_store[i]) - m2_store[i] - m1_store[i]) / 4.0;
    }
  }

  // A NaN entry stays NaN.
  for (double& v : J) {
    if (v > big) v = big;
    if (v < -big) v = -big;
  }

  p_store = ps_store;
  ssq = 0.0;
  for (int k = 1; k <= N; ++k) {
    fitted(k) = models::func(ctx, s(k), inh(k), y(k), p_store);
    const double rk = y(k) - fitted(k);
    if (ctx.weighting == core::weighting::robust) {
      ssq += w(k) * (rk * rk);
    } else if (ctx.weighting == core::weighting::fitted_rate) {
      ssq += (rk * rk) / std::fmax(std::abs(fitted(k)), 1e-30);
    } else {
      ssq += rk * rk;
    }
  }
}

}  // namespace inhibra::fit
