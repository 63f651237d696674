// A first fit from the data alone: start values, then the simplex passes of the
// fit's first stage.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "fit/init_estimates.hpp"
#include "models/objective.hpp"
#include "optim/bound_point.hpp"
#include "optim/rangen.hpp"
#include "optim/simplex.hpp"
#include "support/numeric.hpp"
#include "support/search_contexts.hpp"

namespace inhibra::fit {
namespace {

using par = std::array<double, core::max_par>;

TEST(FirstFit, TwoSimplexPassesFromTheEstimatesLowerModel1sSumOfSquares) {
  auto ctx = support::example_context(1);
  const int n = ctx->n_par;
  par x{};
  init_estimates(*ctx, x, core::max_par, 1);
  optim::bound_point(n, x, 1);
  for (int i = 0; i < n; ++i)
    x[static_cast<std::size_t>(i)] = std::abs(x[static_cast<std::size_t>(i)]);
  const double start = models::objective_value(*ctx, x);

  // The stop tolerance 10 * 2 sqrt(eps) (1 + sqrt(eps)) and the first scale
  // 0.1 * rms / max over all parameters but the last.
  const double root_eps = std::sqrt(ctx->eps);
  const double tol = 10.0 * (2.0 * root_eps * (1.0 + root_eps));
  double squares = 0.0;
  double largest = x[0];
  for (int i = 0; i < n - 1; ++i) {
    squares += x[static_cast<std::size_t>(i)] * x[static_cast<std::size_t>(i)];
    largest = std::max(largest, x[static_cast<std::size_t>(i)]);
  }
  double scale = 0.1 * std::sqrt(squares / (n - 1)) / largest;

  double seed = 1024.0;
  optim::rangen(*ctx, seed);
  double f = 0.0;
  double after[2] = {};
  for (double& value : after) {
    optim::simplex(*ctx, n, x, f, tol, scale, 100);
    for (int i = 0; i < n; ++i)
      x[static_cast<std::size_t>(i)] = std::abs(x[static_cast<std::size_t>(i)]);
    value = f;
    scale *= 0.5;
  }
  // The start is already close: the least-squares minimum of model 1 on these data
  // is 8.913272e-4 at Km = 185.834, Vmax = 0.160314, Ki = 37.6436 (Levenberg-
  // Marquardt, computed apart). The two passes must close most of the gap.
  constexpr double minimum = 8.913272e-4;
  EXPECT_LT(after[1], start);
  EXPECT_LE(after[1], after[0]);
  EXPECT_LT(after[1] - minimum, 0.05 * (start - minimum));
  EXPECT_GT(after[1], minimum * (1.0 - 1e-6));
  EXPECT_EQ(after[1], models::objective_value(*ctx, x));
}

}  // namespace
}  // namespace inhibra::fit
