#include "fit/jacobian.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "models/model_library.hpp"
#include "models/robustwt.hpp"
#include "support/numeric.hpp"

namespace inhibra::fit {
namespace {

using support::rel_near;
using par = std::array<double, core::max_par>;

// Every entry of the sensitivity matrix carries this from the unequal guards of
// the "+" and "-" quotients.
constexpr double offset = (jac_hmin - jac_eps) / 2.0;

struct result {
  std::vector<double> J =
      std::vector<double>(static_cast<std::size_t>(jac_ld) * core::max_par, 7.0);
  double ssq = -1.0;
  double at(int k, int j) const { return J[static_cast<std::size_t>((k - 1) + (j - 1) * jac_ld)]; }
};

result run(core::fit_context& ctx, const par& x) {
  result r;
  jacobian(ctx, ctx.rows, ctx.n_par, r.J, r.ssq, x, ctx.fitted);
  return r;
}

// Model 1 at Km = 200, Vmax = 0.15, Ki = 80 on the example grid; every measured rate
// lies 0.01 above the model, so residuals keep their sign under small shifts.
struct model1_case {
  par x{200.0, 0.15, 80.0};
  std::unique_ptr<core::fit_context> ctx = support::synthetic_context(1, {200.0, 0.15, 80.0});
  model1_case() {
    for (int k = 0; k < ctx->rows; ++k)
      ctx->rate[k] += 0.01;
  }
  double model(int k) const {
    par p = x;
    return models::func(*ctx, ctx->substrate[k - 1], ctx->inhibitor[k - 1], 0.0, p);
  }
};

TEST(Jacobian, ColumnsFollowTheAnalyticDerivatives) {
  model1_case c;
  const auto r = run(*c.ctx, c.x);
  const double km = c.x[0], v = c.x[1], ki = c.x[2];
  for (int k = 1; k <= c.ctx->rows; ++k) {
    const double s = c.ctx->substrate[k - 1], i = c.ctx->inhibitor[k - 1];
    const double d = (1.0 + i / ki) * km / s + 1.0;
    const double dkm = -v * (1.0 + i / ki) / s / (d * d);
    const double dki = v * (km / s) * i / (ki * ki) / (d * d);
    // Vmax enters linearly: its difference is exact. The others take steps of about
    // 1e-4 relative and are good to O(h^2).
    EXPECT_NEAR(r.at(k, 2), -c.model(k) / v + offset, 1e-10) << "row " << k;
    EXPECT_NEAR(r.at(k, 1), -dkm + offset, 1e-6 * std::abs(dkm) + 1e-15) << "row " << k;
    EXPECT_NEAR(r.at(k, 3), -dki + offset, 1e-6 * std::abs(dki) + 1e-15) << "row " << k;
  }
}

TEST(Jacobian, ParameterForcedByTheModelHasOnlyTheOffset) {
  // Model 4 replaces any a <= 0.99 by 2: shifting P4 = 0.5 changes nothing.
  auto ctx = support::synthetic_context(4, {200.0, 0.15, 80.0, 3.0});
  const par x{200.0, 0.15, 80.0, 0.5};
  const auto r = run(*ctx, x);
  for (int k = 1; k <= ctx->rows; ++k)
    EXPECT_NEAR(r.at(k, 4), offset, 1e-12) << "row " << k;
  EXPECT_NEAR(offset, 3.41424969066e-6, 1e-16);
}

TEST(Jacobian, SumsAndRowsUnderEachWeightingAndUntouchedStorage) {
  model1_case c;
  c.ctx->fitted[24] = 123.0;
  auto r = run(*c.ctx, c.x);
  for (int k = 1; k <= 24; ++k)
    EXPECT_EQ(c.ctx->fitted[k - 1], c.model(k));
  EXPECT_NEAR(r.ssq, 24 * 1e-4, 1e-15);
  EXPECT_EQ(c.ctx->fitted[24], 123.0);
  EXPECT_EQ(r.at(25, 1), 0.0);
  EXPECT_EQ(r.at(1, 4), 0.0);
  EXPECT_EQ(r.at(jac_ld, core::max_par), 0.0);

  // Robust weights scale the rows and the sum: an outlier in row 5 gets almost none.
  // Weighting by the fitted rate divides each square by the fitted rate.
  c.ctx->rate[4] += 0.2;
  std::vector<double> res(24), w(24, 1.0);
  for (int k = 1; k <= 24; ++k)
    res[k - 1] = c.ctx->rate[k - 1] - c.model(k);
  models::robust_wt(24, res, w);
  ASSERT_LT(w[4], 1e-3);
  c.ctx->weighting = core::weighting::robust;
  r = run(*c.ctx, c.x);
  double robust = 0.0, mode1 = 0.0;
  for (int k = 1; k <= 24; ++k) {
    robust += w[k - 1] * (res[k - 1] * res[k - 1]);
    mode1 += res[k - 1] * res[k - 1] / c.model(k);
    EXPECT_NEAR(r.at(k, 2), -w[k - 1] * c.model(k) / c.x[1] + offset, 1e-10) << "row " << k;
  }
  EXPECT_EQ(r.ssq, robust);
  c.ctx->weighting = core::weighting::fitted_rate;
  EXPECT_TRUE(rel_near(run(*c.ctx, c.x).ssq, mode1, 1e-9));
}

TEST(Jacobian, PoleInAShiftedEvaluationIsClamped) {
  // One observation, model 1 with Km = [S] = 1 and Ki = 0: the step is the lower
  // guard h, and at Ki = -h the denominator 2 + [I]/Ki is exactly 0.
  core::fit_context ctx;
  ctx.model = 1;
  ctx.rows = 1;
  ctx.n_par = 3;
  ctx.substrate[0] = 1.0;
  ctx.inhibitor[0] = 2.0 * jac_hmin;
  ctx.rate[0] = 0.5;
  const par x{1.0, 1.0, 0.0};
  const auto r = run(ctx, x);
  EXPECT_EQ(r.at(1, 3), -1.0 / jac_eps);
  EXPECT_TRUE(std::isfinite(r.at(1, 1)));
  EXPECT_EQ(ctx.fitted[0], 0.0);
  EXPECT_EQ(r.ssq, 0.25);
}

}  // namespace
}  // namespace inhibra::fit
