#include "models/model_library.hpp"

#include <gtest/gtest.h>

#include <array>

#include "support/numeric.hpp"

namespace inhibra::models {
namespace {

using support::rel_near;
using par = std::array<double, core::max_par>;

double rate(int model, double s, double i, par& p) {
  core::fit_context ctx;
  ctx.model = model;
  return func(ctx, s, i, 0.0, p);
}

TEST(ModelLibrary, EveryModelIsMichaelisMentenWithoutInhibitor) {
  for (int model = 1; model <= 10; ++model) {
    for (double s : {0.5, 20.0, 700.0}) {
      // Shape parameters inside every model's range, so nothing is adjusted.
      par p{12.0, 3.5, 40.0, model == 4 || model == 5 || model == 9 ? 3.0 : 0.6, 0.2};
      EXPECT_TRUE(rel_near(rate(model, s, 0.0, p), 3.5 * s / (12.0 + s), 1e-15))
          << "model " << model << " at [S] = " << s;
    }
  }
}

TEST(ModelLibrary, RatesFollowTheGeneralMechanism) {
  // v = Vmax [S] (1 + b[I]/(aKi)) / (Km (1 + [I]/Ki) + [S] (1 + [I]/(aKi)))
  auto general = [](double s, double i, double km, double vmax, double ki, double a, double b) {
    return vmax * s * (1 + b * i / (a * ki)) / (km * (1 + i / ki) + s * (1 + i / (a * ki)));
  };
  const double s = 150, i = 60, km = 80, vmax = 2, ki = 30;
  struct mechanism {
    int model;
    double p4, p5, a, b;
  };
  for (const auto& m :
       {mechanism{1, 0, 0, 1e300, 0}, mechanism{2, 0, 0, 1, 0}, mechanism{4, 3, 0, 3, 0},
        mechanism{5, 3, 0, 3, 1}, mechanism{6, 0.3, 0, 1, 0.3}, mechanism{7, 0.3, 0, 0.3, 0.3},
        mechanism{9, 4, 0.4, 4, 0.4}}) {
    par p{km, vmax, ki, m.p4, m.p5};
    EXPECT_TRUE(rel_near(rate(m.model, s, i, p), general(s, i, km, vmax, ki, m.a, m.b), 1e-12))
        << "model " << m.model;
  }
}

TEST(ModelLibrary, ShapeParametersAreMovedIntoRangeAndLeftInTheCallersVector) {
  struct move {
    int model;
    double a, b, a_used, b_used;  // P4 and P5, as given and as used (model 6's P4 is b)
  };
  for (const auto& m :
       {move{5, 0.5, 0, 2.0, 0}, move{4, 0.99, 0, 2.0, 0},  // <= 0.99 moves
        move{3, 0.99, 0, 0.99, 0}, move{3, 0.995, 0, 0.5, 0}, move{6, 0.995, 0, 0.5, 0},
        move{7, 0.995, 0, 0.5, 0}, move{8, 0.6, 0.6, 0.6, 0.3}, move{9, 0.5, 1.5, 2.0, 0.5},
        move{10, 0.5, 1.5, 0.5, 1.5}}) {
    par p{10, 1, 5, m.a, m.b};
    par used{10, 1, 5, m.a_used, m.b_used};
    EXPECT_EQ(rate(m.model, 40, 20, p), rate(m.model, 40, 20, used)) << "model " << m.model;
    EXPECT_EQ(p[3], m.a_used) << "model " << m.model;
    EXPECT_EQ(p[4], m.b_used) << "model " << m.model;
  }
}

TEST(ModelLibrary, ZeroSubstrateGivesZeroRateAndUnknownModelGivesZero) {
  par p{10, 1, 5, 0.5, 0.2};
  for (int model = 1; model <= 10; ++model)
    EXPECT_EQ(rate(model, 0.0, 20, p), 0.0);
  EXPECT_EQ(rate(11, 40, 20, p), 0.0);
}

TEST(ModelLibrary, NparNamesAndCounts) {
  std::string name;
  int np = -1;
  npar(10, name, np);
  EXPECT_EQ(name, "10-General Hyperbolic Enzyme-Modifier:" + std::string(42, ' '));
  EXPECT_EQ(np, 5);
  npar(3, name, np, 40);
  EXPECT_EQ(name, "3- Linear Mixed Inhib, LMx(Sp<Ca)I:     ");
  EXPECT_EQ(np, 4);
  npar(0, name, np, 10);
  EXPECT_EQ(name, "0- MODEL N");
  EXPECT_EQ(np, 0);
}

TEST(ModelLibrary, BoxesPerModel) {
  par p{1, 1, 1, 0.5, 0.2};
  par lo{}, hi{};
  lo.fill(-7);
  hi.fill(-7);
  amax_min(1, p, 3, 1, lo, hi);
  EXPECT_EQ(lo[0], 1e-6);
  EXPECT_EQ(hi[2], 1e6);
  EXPECT_EQ(lo[3], -7);  // models 1 and 2 leave P4 alone
  amax_min(4, p, 4, 9, lo, hi);
  EXPECT_EQ(lo[3], 1.0);
  EXPECT_EQ(hi[3], 1e6);
  amax_min(5, p, 5, 9, lo, hi);
  EXPECT_EQ(lo[4], 1e-6);
  EXPECT_EQ(hi[4], 1.0);
  amax_min(4, p, 4, 7, lo, hi);
  EXPECT_EQ(hi[3], 1.0);
  amax_min(5, p, 5, 10, lo, hi);
  EXPECT_EQ(hi[4], 1e6);
}

TEST(ModelLibrary, BoxCallsAdjustModels5And8) {
  par p5{1, 1, 1, 0.7};
  par lo{}, hi{};
  amax_min(4, p5, 4, 5, lo, hi);
  EXPECT_EQ(p5[3], 1.4);
  abounds2(4, p5, lo, hi, 4);
  EXPECT_EQ(p5[3], 1.4);

  par p8{1, 1, 1, 0.4, 0.5};
  amax_min(5, p8, 5, 8, lo, hi);
  EXPECT_EQ(p8[4], 0.2);
  par p8eq{1, 1, 1, 0.4, 0.4};  // b > a here, not b >= a
  amax_min(5, p8eq, 5, 8, lo, hi);
  EXPECT_EQ(p8eq[4], 0.4);
}

TEST(ModelLibrary, ReflectionWorkedExamples) {
  auto reflect = [](double x, double lo, double hi) {
    par p{x};
    par l{lo}, h{hi};
    abounds2(1, p, l, h, 1);
    return p[0];
  };
  EXPECT_EQ(reflect(0.0, 1e-6, 1.0), 1e-6);
  EXPECT_TRUE(rel_near(reflect(-0.001, 1e-6, 1.0), 1.159155e-6, 1e-6));
  EXPECT_TRUE(rel_near(reflect(1.5, 1e-6, 1.0), 0.765307, 1e-6));
  EXPECT_TRUE(rel_near(reflect(100.0, 1e-6, 1.0), 23.8409, 1e-5));
  EXPECT_TRUE(rel_near(reflect(0.5, 1.0, 1e6), 1.036895, 1e-6));
  EXPECT_EQ(reflect(0.3, 1e-6, 1.0), 0.3);  // inside: untouched
  // Far outside the box the arctangent is pi/2 and the result stays finite.
  const double far = reflect(1e30, 1e-6, 1.0);
  EXPECT_TRUE(std::isfinite(far));
  EXPECT_GT(far, 1.0);
  EXPECT_TRUE(std::isfinite(reflect(-1e300, 1e-6, 1.0)));
}

TEST(ModelLibrary, SeriesArctangentIsCloseToTheTrueOne) {
  for (double x : {-0.9, -0.2, 0.0, 0.4, 2.0, 10.0, -30.0, 1e5}) {
    EXPECT_NEAR(series_atan(x), std::atan(x), 0.03) << x;
  }
}

}  // namespace
}  // namespace inhibra::models
