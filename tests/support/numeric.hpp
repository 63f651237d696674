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

// The example data set: [S] = 50..700 at [I] = 0, 100, 200, 400, measured rates.
inline void fill_example_data(core::fit_context& ctx) {
  const double s[] = {50, 100, 200, 333, 500, 700};
  const double i[] = {0, 100, 200, 400};
  const double r[4][6] = {{0.032, 0.055, 0.08, 0.102, 0.116, 0.13},
                          {0.017, 0.028, 0.045, 0.065, 0.072, 0.078},
                          {0.01, 0.018, 0.03, 0.041, 0.048, 0.052},
                          {0.004, 0.008, 0.012, 0.015, 0.022, 0.024}};
  std::size_t k = 0;
  for (int c = 0; c < 4; ++c) {
    for (int j = 0; j < 6; ++j, ++k) {
      ctx.substrate[k] = ctx.xtmp[k] = s[j];
      ctx.inhibitor[k] = ctx.x2tmp[k] = i[c];
      ctx.rate[k] = ctx.ytmp[k] = r[c][j];
    }
    ctx.id2[static_cast<std::size_t>(c)] = 6;
  }
  ctx.rows = ctx.idat = 24;
  ctx.idatasets = 4;
  ctx.columns = 3;
  ctx.model_limit = 10;
}

// A context of the given model whose rates are the model's own values at the
// example's [S] x [I] grid for parameters `p` (noise-free).
std::unique_ptr<core::fit_context> synthetic_context(int model, std::vector<double> p);

}  // namespace inhibra::support
