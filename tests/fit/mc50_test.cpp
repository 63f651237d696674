#include "fit/mc50.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "support/numeric.hpp"

namespace inhibra::fit {
namespace {

using support::rel_near;
using par = std::array<double, max_par>;

// Km = 2, Vmax = 10, Ki = 0.5, a = 4 with 10 % relative errors on Km, Ki and a.
const par p{2.0, 10.0, 0.5, 4.0, 0.25};
const par se{0.2, 0.5, 0.05, 0.4, 0.025};

TEST(Mc50, LevelsAreMultiplesOfKm) {
  const auto t = mc50(4, p, se);
  const double want[] = {0.2, 2.0, 4.0, 6.0, 8.0, 10.0, 20.0};
  for (int j = 0; j < mc50_levels; ++j)
    EXPECT_TRUE(rel_near(t.substrate[j], want[j], 1e-15)) << "level " << j + 1;
}

TEST(Mc50, ModelOneGrowsLinearlyWithSubstrate) {
  const auto t = mc50(1, p, se);
  // MC50 = Ki (1 + S/Km); error from se(Ki) and (rKm, rKi) on Ki S/Km.
  EXPECT_TRUE(rel_near(t.value[1], 1.0, 1e-15));
  EXPECT_TRUE(rel_near(t.error[1], std::sqrt(0.0025 + 0.02 * 0.25), 1e-14));
  EXPECT_TRUE(rel_near(t.value[6], 5.5, 1e-15));
  EXPECT_TRUE(rel_near(t.error[6], std::sqrt(0.0025 + 0.02 * 25.0), 1e-14));
  EXPECT_TRUE(rel_near(t.value[0], 0.55, 1e-15));
}

TEST(Mc50, ModelTwoIsKiAtEveryLevel) {
  const auto t = mc50(2, p, se);
  for (int j = 0; j < mc50_levels; ++j) {
    EXPECT_EQ(t.value[j], 0.5);
    EXPECT_TRUE(rel_near(t.error[j], 0.05, 1e-15));
  }
}

TEST(Mc50, MixedModelsCombineTheRelativeErrors) {
  // At S = Km: N = (S + Km) Ki a = 8, D = S + Km a = 10, MC50 = 0.8;
  // (seN/N)^2 = (0.48 + 0.32)/64, (seD/D)^2 = 0.02. (Model 3 with a = 4 takes
  // the shortcut below.)
  for (int model : {4, 5, 7, 8, 9, 10}) {
    const auto t = mc50(model, p, se);
    EXPECT_TRUE(rel_near(t.value[1], 0.8, 1e-15)) << "model " << model;
    EXPECT_TRUE(rel_near(t.error[1], std::sqrt(0.02 + 0.8 / 64.0) * 0.8, 1e-14))
        << "model " << model;
    // At S = 10 Km: N = 44, D = 28; (seN/N)^2 = (0.48 + 32)/44^2.
    EXPECT_TRUE(rel_near(t.value[6], 44.0 / 28.0, 1e-15));
    EXPECT_TRUE(rel_near(t.error[6], std::sqrt(0.02 + 32.48 / 1936.0) * 44.0 / 28.0, 1e-14));
  }
}

TEST(Mc50, ModelThreeNearAOfOneTakesTheErrorOfKiTimesA) {
  par q = p;
  q[3] = 0.9995;
  const auto t = mc50(3, q, se);
  for (int j = 0; j < mc50_levels; ++j)
    EXPECT_EQ(t.error[j], 0.05 * 0.9995);
  // Below the threshold the general formula holds, as for model 7.
  q[3] = 0.999;
  EXPECT_EQ(mc50(3, q, se).error, mc50(7, q, se).error);
}

TEST(Mc50, ModelSixUsesAOfOneNotItsB) {
  const auto t = mc50(6, p, se);
  par other = p;
  other[3] = 0.7;
  par other_se = se;
  other_se[3] = 0.3;
  const auto u = mc50(6, other, other_se);
  for (int j = 0; j < mc50_levels; ++j) {
    const double s = t.substrate[j];
    EXPECT_TRUE(rel_near(t.value[j], 0.5, 1e-15));
    // a = 1 with no error: seN^2 = (0.02 Km Ki)^2 + (0.01 S Ki)^2 terms.
    const double n = (s + 2.0) * 0.5;
    const double a = std::sqrt(0.02) * 2.0 * 0.5;
    const double b = 0.1 * s * 0.5;
    const double want = std::sqrt(0.01 + (a * a + b * b) / (n * n)) * 0.5;
    EXPECT_TRUE(rel_near(t.error[j], want, 1e-14)) << "level " << j + 1;
    EXPECT_EQ(t.value[j], u.value[j]);
    EXPECT_EQ(t.error[j], u.error[j]);
  }
}

TEST(Mc50, UndefinedModelGivesZeros) {
  const auto t = mc50(11, p, se);
  EXPECT_EQ(t.value, (std::array<double, mc50_levels>{}));
  EXPECT_EQ(t.error, (std::array<double, mc50_levels>{}));
  EXPECT_TRUE(rel_near(t.substrate[6], 20.0, 1e-15));
}

}  // namespace
}  // namespace inhibra::fit
