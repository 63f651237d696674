#pragma once
// Relative comparisons and synthetic data for the numerical tests.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <span>
#include <vector>

#include "core/fit_context.hpp"

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

// The bundled example examples/Data.in, read by the data reader: [S] = 50..700
// at [I] = 0, 100, 200, 400 with measured rates (24 rows, 4 curves of 6).
void fill_example_data(core::fit_context& ctx);

// A context of the given model whose rates are the model's own values at the
// example's [S] x [I] grid for parameters `p` (noise-free).
std::unique_ptr<core::fit_context> synthetic_context(int model, std::vector<double> p);

}  // namespace inhibra::support
