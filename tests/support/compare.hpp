#pragma once
// Relative comparisons and named tolerances for the numerical tests; no library needed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <span>

namespace inhibra::support {

inline constexpr double tight = 1e-12;
inline constexpr double loose = 1e-4;

// |a - b| <= tol * max(|a|, |b|, tiny).
inline ::testing::AssertionResult rel_near(double a, double b, double tol) {
  const double scale = std::max({std::abs(a), std::abs(b), 1e-300});
  if (std::abs(a - b) <= tol * scale) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << a << " vs " << b << " (relative tolerance " << tol << ")";
}

inline void expect_rel_near(std::span<const double> got, std::initializer_list<double> want,
                            double tol) {
  ASSERT_EQ(got.size(), want.size());
  std::size_t i = 0;
  for (double w : want) {
    EXPECT_TRUE(rel_near(got[i], w, tol)) << "entry " << i + 1;
    ++i;
  }
}

}  // namespace inhibra::support
