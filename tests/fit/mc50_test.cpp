#include "fit/mc50.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "support/numeric.hpp"

namespace inhibra::fit {
namespace {

using support::rel_near;
using par = std::array<double, core::max_par>;

// Km = 2, Vmax = 10, Ki = 0.5, a = 4 with 10 % relative errors on Km, Ki and a.
const par p{2.0, 10.0, 0.5, 4.0, 0.25};
const par se{0.2, 0.5, 0.05, 0.4, 0.025};

TEST(Mc50, LevelsAreMultiplesOfKmAndAnUndefinedModelGivesZeros) {
  const auto t = mc50(11, p, se);
  const double want[] = {0.2, 2.0, 4.0, 6.0, 8.0, 10.0, 20.0};
  for (int j = 0; j < core::mc50_levels; ++j)
    EXPECT_TRUE(rel_near(t.substrate[j], want[j], 1e-15)) << "level " << j + 1;
  EXPECT_EQ(t.value, (std::array<double, core::mc50_levels>{}));
  EXPECT_EQ(t.error, (std::array<double, core::mc50_levels>{}));
}

TEST(Mc50, ModelOneGrowsLinearlyWithSubstrateModelTwoIsKiAtEveryLevel) {
  const auto t = mc50(1, p, se);
  // MC50 = Ki (1 + S/Km); error from se(Ki) and (rKm, rKi) on Ki S/Km.
  EXPECT_TRUE(rel_near(t.value[1], 1.0, 1e-15));
  EXPECT_TRUE(rel_near(t.error[1], std::sqrt(0.0025 + 0.02 * 0.25), 1e-14));
  EXPECT_TRUE(rel_near(t.value[6], 5.5, 1e-15));
  EXPECT_TRUE(rel_near(t.error[6], std::sqrt(0.0025 + 0.02 * 25.0), 1e-14));
  EXPECT_TRUE(rel_near(t.value[0], 0.55, 1e-15));
  const auto two = mc50(2, p, se);
  for (int j = 0; j < core::mc50_levels; ++j) {
    EXPECT_EQ(two.value[j], 0.5);
    EXPECT_TRUE(rel_near(two.error[j], 0.05, 1e-15));
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
  for (int j = 0; j < core::mc50_levels; ++j)
    EXPECT_EQ(t.error[j], 0.05 * 0.9995);
  // Below the threshold the general formula holds, as for model 7.
  q[3] = 0.999;
  EXPECT_EQ(mc50(3, q, se).error, mc50(7, q, se).error);
}

TEST(Mc50, ModelSixUsesAOfOneWithoutErrorNotItsP4) {
  // MC50 = Ki at every level; a = 1 carries no error. Worked by hand with
  // (se(Ki)/Ki)^2 = 0.01 and N = (S + Km) Ki: at S = Km, N = 2 and
  // (seN/N)^2 = (0.02 + 0.01) / 4; at S = 10 Km, N = 11 and (seN/N)^2 = 1.02 / 121.
  par other = p;
  other[3] = 0.7;
  par other_se = se;
  other_se[3] = 0.3;
  for (const auto& t : {mc50(6, p, se), mc50(6, other, other_se)}) {
    for (int j = 0; j < core::mc50_levels; ++j)
      EXPECT_TRUE(rel_near(t.value[j], 0.5, 1e-15));
    EXPECT_TRUE(rel_near(t.error[1], std::sqrt(0.0175) * 0.5, 1e-14));
    EXPECT_TRUE(rel_near(t.error[6], std::sqrt(0.01 + 1.02 / 121.0) * 0.5, 1e-14));
  }
}

}  // namespace
}  // namespace inhibra::fit
