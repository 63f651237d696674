#include "models/objective.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "models/model_catalogue.hpp"
#include "models/model_library.hpp"
#include "models/robustwt.hpp"
#include "support/numeric.hpp"
#include "support/recording_frontend.hpp"

namespace inhibra::models {
namespace {

using support::rel_near;
using par = std::array<double, core::max_par>;

struct evaluation {
  double f = -1;
  gradient_array g{};
  constraint_array c{};
  cjac_array cjac{};
};

evaluation evaluate(core::fit_context& ctx, const par& x) {
  evaluation e;
  e.c.fill(-99);
  calcfg(ctx, ctx.n_par, x, e.f, e.g, e.c, e.cjac);
  return e;
}

double at(const cjac_array& cjac, int i, int j) {
  return cjac[static_cast<std::size_t>((i - 1) + (j - 1) * core::max_par)];
}

std::unique_ptr<core::fit_context> example(int model) {
  auto ctx = std::make_unique<core::fit_context>();
  support::fill_example_data(*ctx);
  ctx->model = model;
  std::string name;
  npar(model, name, ctx->n_par);
  return ctx;
}

TEST(Objective, GradientMatchesTheAnalyticDerivative) {
  auto ctx = support::synthetic_context(2, {120.0, 0.2, 150.0});
  const par x{100.0, 0.18, 170.0};
  const auto e = evaluate(*ctx, x);
  for (int j = 0; j < 3; ++j) {
    const double h = 1e-4 * x[static_cast<std::size_t>(j)];
    par up = x, down = x;
    up[static_cast<std::size_t>(j)] += h;
    down[static_cast<std::size_t>(j)] -= h;
    const double numeric = (evaluate(*ctx, up).f - evaluate(*ctx, down).f) / (2 * h);
    EXPECT_TRUE(rel_near(e.g[static_cast<std::size_t>(j)], numeric, 1e-5)) << "g(" << j + 1 << ")";
  }
  for (std::size_t j = 3; j < core::max_par; ++j)
    EXPECT_EQ(e.g[j], 0.0);
}

TEST(Objective, ConstraintTablesPerModel) {
  // Lower ends of every parameter, then upper ends; model 8 adds a >= b.
  for (int model = 1; model <= 10; ++model) {
    auto ctx = example(model);
    ctx->meq = 5;
    const auto e = evaluate(*ctx, par{2, 3, 4, 0.5, 0.25});
    const int count = model_info(model)->constraints;
    EXPECT_EQ(ctx->m, count) << model;
    EXPECT_EQ(ctx->meq, 0);
    EXPECT_EQ(e.c[0], 2 - 1e-6);
    EXPECT_EQ(e.c[static_cast<std::size_t>(count / 2)], 1e6 - 2) << model;
    EXPECT_EQ(at(e.cjac, 1, 1), 1.0);
    EXPECT_EQ(at(e.cjac, 1, count / 2 + 1), -1.0) << model;
    double total = 0;
    for (double v : e.cjac)
      total += std::abs(v);
    // Every constraint has one unit entry, model 8's a >= b has two.
    EXPECT_EQ(total, count + (model == 8 ? 1 : 0)) << model;
  }
  const auto e4 = evaluate(*example(4), par{2, 3, 4, 5});
  EXPECT_EQ(e4.c[3], 5 - 1.0);  // a >= 1
  EXPECT_EQ(e4.c[7], 1e6 - 5);  // a <= 1e6
  const auto e8 = evaluate(*example(8), par{2, 3, 4, 0.3, 0.4});
  EXPECT_DOUBLE_EQ(e8.c[9], -0.1);
  EXPECT_EQ(at(e8.cjac, 4, 10), 1.0);
  EXPECT_EQ(at(e8.cjac, 5, 10), -1.0);
  EXPECT_EQ(e8.c[8], 1 - 0.3);
  EXPECT_EQ(at(e8.cjac, 4, 9), -1.0);
  const auto e9 = evaluate(*example(9), par{2, 3, 4, 5, 0.25});
  EXPECT_EQ(e9.c[3], 4.0);
  EXPECT_EQ(e9.c[4], 0.25 - 1e-6);
  EXPECT_EQ(e9.c[9], 0.75);
}

TEST(Objective, ForcedShapeParameterGetsGradientEpsAndXIsKept) {
  auto ctx = example(4);
  const par x{150, 0.15, 90, 0.5};
  const par moved{150, 0.15, 90, 2.0};
  const auto e = evaluate(*ctx, x);
  EXPECT_EQ(e.g[3], 1.49e-8);
  EXPECT_EQ(x[3], 0.5);
  EXPECT_EQ(e.f, evaluate(*ctx, moved).f);
}

TEST(Objective, DifferencesAreExactWhereLinearGuardedWhereFlatAndCapped) {
  // One observation with rate 0: S(Vmax) = (Vmax q)^2, whose central difference is
  // exact, 2 Vmax q^2; at Vmax = 0, S+ = S-: the guarded case.
  auto ctx = example(1);
  ctx->rows = 1;
  ctx->rate[0] = 0.0;
  par unit{50, 1.0, 10};
  const double q = func(*ctx, 50, 0, 0, unit);
  EXPECT_TRUE(rel_near(evaluate(*ctx, par{50, 1000, 10}).g[1], 2 * 1000 * q * q, 1e-9));
  EXPECT_EQ(evaluate(*ctx, par{50, 0, 10}).g[1], 1.49e-8);
  EXPECT_EQ(evaluate(*example(1), par{1e-6, 1e12, 1e-6}).g[1], 1.0 / 1.49e-8);
}

TEST(Objective, RobustWeightingChangesTheGradientNotTheValue) {
  auto ctx = support::synthetic_context(1, {120.0, 0.2, 150.0});
  ctx->rate[5] *= 3.0;  // one outlier
  const par x{110.0, 0.19, 140.0};
  const auto plain = evaluate(*ctx, x);
  ctx->weighting = core::weighting::fitted_rate;  // treated like none
  const auto mode1 = evaluate(*ctx, x);
  ctx->weighting = core::weighting::robust;
  const auto robust = evaluate(*ctx, x);
  EXPECT_EQ(plain.f, robust.f);
  EXPECT_EQ(plain.g, mode1.g);
  EXPECT_NE(plain.g[0], robust.g[0]);
  // The weights come from the residuals at x and stay fixed for both perturbed
  // sums.
  std::vector<double> r(24), w(24, 1.0);
  for (std::size_t k = 0; k < 24; ++k) {
    par p = x;
    r[k] = ctx->rate[k] - func(*ctx, ctx->substrate[k], ctx->inhibitor[k], 0, p);
  }
  robust_wt(24, r, w);
  auto weighted = [&](par p) {
    double sum = 0;
    for (std::size_t k = 0; k < 24; ++k) {
      const double rk = ctx->rate[k] - func(*ctx, ctx->substrate[k], ctx->inhibitor[k], 0, p);
      sum += w[k] * (rk * rk);
    }
    return sum;
  };
  const double h = std::max((x[1] + std::sqrt(1.49e-8)) * std::sqrt(1.49e-8), 6.828499381469512e-6);
  par up = x, down = x;
  up[1] += h;
  down[1] -= h;
  EXPECT_TRUE(rel_near(robust.g[1], (weighted(up) - weighted(down)) / 2 / h, 1e-9));
}

TEST(Objective, ModelAboveTheLimitShowsTwoBoxesAndAZeroObjective) {
  auto ctx = example(1);
  support::recording_frontend fe;
  ctx->fe = &fe;
  ctx->model = 11;
  ctx->m = 7;
  const auto e = evaluate(*ctx, par{1, 2, 3});
  EXPECT_EQ(e.f, 0.0);
  for (double v : e.g)
    EXPECT_EQ(v, 0.0);
  EXPECT_EQ(e.c[0], -99);  // not touched
  EXPECT_EQ(ctx->m, 7);
  EXPECT_EQ(fe.texts(), (std::vector<std::string>{"Model number exceeded limit!",
                                                  "* * * ERROR: ABORTED RUN * * *"}));
}

// The value-only evaluation must give the searches exactly what calcfg gives,
// including at points where the model moves its shape parameters.
TEST(Objective, ValueOnlyEvaluationHasTheSameBitsAsCalcfg) {
  std::mt19937_64 rng(20261206);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double thresholds[] = {0.99, 1.0, 0.5};
  for (const core::weighting weighting : {core::weighting::none, core::weighting::robust}) {
    for (int model = 1; model <= 10; ++model) {
      auto ctx = example(model);
      ctx->weighting = weighting;
      for (int trial = 0; trial < 200; ++trial) {
        par x{};
        x[0] = 10 + 300 * unit(rng);
        x[1] = 0.05 + 0.2 * unit(rng);
        x[2] = 5 + 500 * unit(rng);
        // Shape parameters at and around the places where the model moves them.
        const double t = thresholds[trial % 3];
        const double offsets[] = {0.0, 1e-9, -1e-9, 1e-5, -1e-5, 0.3 * unit(rng) - 0.15};
        x[3] = t + offsets[trial % 6];
        x[4] = trial % 4 == 0 ? x[3] : (trial % 4 == 1 ? x[3] + 1e-7 : unit(rng) * 1.2);
        const auto e = evaluate(*ctx, x);
        const double value = objective_value(*ctx, x);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(e.f))
            << "model " << model << " weighting " << core::switch_value(weighting) << " a " << x[3]
            << " b " << x[4];
      }
    }
  }
}

}  // namespace
}  // namespace inhibra::models
