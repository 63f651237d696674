#include "optim/rangen.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "support/numeric.hpp"

namespace inhibra::optim {
namespace {

// Absolute tolerance for a fractional part of a number near 300: the fifth power
// carries rounding of a few units of 6e-14.
constexpr double frac_tol = 1e-11;

TEST(Rangen, SeedZeroStartsAtPiMinusThree) {
  core::fit_context ctx;
  ctx.rangen_state = 0.7;  // whatever came before
  double seed = 0.0;
  const double r = rangen(ctx, seed);
  EXPECT_EQ(r, 0.14159265358979312);
  EXPECT_EQ(seed, r);
  EXPECT_EQ(ctx.rangen_state, r);
}

TEST(Rangen, NonZeroSeedContinuesTheSequence) {
  core::fit_context ctx;
  double seed = 0.0;
  rangen(ctx, seed);
  // frac((0.14159265358979312 + pi)^5), evaluated to 50 digits.
  const double second = rangen(ctx, seed);
  EXPECT_NEAR(second, 0.48457101551716652, frac_tol);
  EXPECT_EQ(seed, second);

  // Only the zero test reads the seed: any other value continues from the state.
  core::fit_context other;
  double zero = 0.0;
  rangen(other, zero);
  double unrelated = 1234.5;
  EXPECT_EQ(rangen(other, unrelated), second);
  core::fit_context with_nan;
  double restart = 0.0;
  rangen(with_nan, restart);
  double nan_seed = std::nan("");
  EXPECT_EQ(rangen(with_nan, nan_seed), second);
}

TEST(Rangen, FirstCallOfAFreshContextWithNonZeroSeedIsLifted) {
  core::fit_context ctx;
  double seed = 1024.0;
  // frac(pi^5) = 0.0196847852814 lies below 0.05 and is lifted by 0.05.
  EXPECT_NEAR(rangen(ctx, seed), 0.0196847852813936 + 0.05, frac_tol);
}

TEST(Rangen, FifthPowerIsFormedBySquaring) {
  // From the state 1e-5: ((r + pi)^2)^2 (r + pi) has the fractional part
  // 0.024555270839471177 (a library power function gives ...52802 here); lifted.
  core::fit_context ctx;
  ctx.rangen_state = 1e-5;
  double seed = 1.0;
  EXPECT_EQ(rangen(ctx, seed), 0.024555270839471177 + 0.05);
}

TEST(Rangen, ClampsIntoTheRange) {
  core::fit_context ctx;
  double seed = 1.0;
  // frac((0.04 + pi)^5) = 0.0039602805693387: lifted by 0.05.
  ctx.rangen_state = 0.04;
  EXPECT_NEAR(rangen(ctx, seed), 0.0039602805693387 + 0.05, frac_tol);
  // frac((0.002 + pi)^5) = 0.9950167365083413: replaced by 0.95.
  ctx.rangen_state = 0.002;
  EXPECT_EQ(rangen(ctx, seed), 0.95);
  EXPECT_EQ(ctx.rangen_state, 0.95);

  seed = 0.0;
  for (int k = 0; k < 5000; ++k) {
    const double r = rangen(ctx, seed);
    ASSERT_GE(r, 0.05) << "draw " << k;
    ASSERT_LE(r, 0.95) << "draw " << k;
  }
}

TEST(Rangen, UpperClampLeadsIntoACycleOfFive) {
  // Once a draw is clamped to 0.95 the sequence repeats 0.95, 0.7320, 0.1634,
  // 0.3301, 0.3115 (whose successor lies above 0.95 again).
  core::fit_context ctx;
  ctx.rangen_state = 0.95;
  double seed = 1.0;
  const double cycle[] = {0.732050, 0.163411, 0.330088, 0.311547, 0.95};
  for (int round = 0; round < 3; ++round) {
    for (double expected : cycle)
      EXPECT_NEAR(rangen(ctx, seed), expected, 1e-6);
  }
  // The sequence from a restart reaches the cycle at its third draw.
  seed = 0.0;
  rangen(ctx, seed);
  rangen(ctx, seed);
  EXPECT_EQ(rangen(ctx, seed), 0.95);
}

}  // namespace
}  // namespace inhibra::optim
