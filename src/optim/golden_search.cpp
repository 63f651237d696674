#include "optim/golden_search.hpp"

#include <algorithm>
#include <cmath>

#include "core/one_based.hpp"
#include "models/objective.hpp"
#include "optim/bound_point.hpp"

namespace inhibra::optim {

namespace {

// Value of x with x(i) set to t (x keeps t).
double value_at(core::fit_context& ctx, std::span<double> x, int i, double t) {
  const core::vec1 xv(x);
  xv(i) = t;
  return models::objective_value(ctx, x);
}

// `candidate` is kept over `current` when it is strictly lower; a value that is not
// a number is never kept over one that is.
bool better(double candidate, double current) {
  if (std::isnan(candidate)) return false;
  return std::isnan(current) || candidate < current;
}

// Passes of kernels over the coordinates first..last (clipped to x), each pass
// ending with the bounded point and its value.
void passes(core::fit_context& ctx, int n, std::span<double> x, double& f, int count, int first,
            int last) {
  const int top = std::min(last, static_cast<int>(x.size()));
  for (int pass = 1; pass <= count; ++pass) {
    for (int i = first; i <= top; ++i)
      golden_kernel(ctx, x, i);
    bound_point(n, x, ctx.mdl_number);
    f = models::objective_value(ctx, x);
  }
}

}  // namespace

double golden_kernel(core::fit_context& ctx, std::span<double> x, int i) {
  constexpr double phi = golden_phi;
  constexpr double psi = golden_psi;
  const core::vec1 xv(x);
  const double v = xv(i);

  double b = v + v * phi;
  double fb = value_at(ctx, x, i, b);
  double a = v - v * phi;
  double fa = value_at(ctx, x, i, a);
  if (fa > fb) {
    a = b * 0.5;
    fa = value_at(ctx, x, i, a);
  }

  double d = a - b;
  double x1 = psi * d + b;
  double f1 = value_at(ctx, x, i, x1);
  double x2 = phi * d + b;
  double f2 = value_at(ctx, x, i, x2);
  for (int step = 1; step <= 10; ++step) {
    if (f2 > f1) {
      a = x2;
      fa = f2;
      x2 = x1;
      f2 = f1;
      d = a - b;
      x1 = psi * d + b;
      f1 = value_at(ctx, x, i, x1);
    } else {
      b = x1;
      fb = f1;
      x1 = x2;
      f1 = f2;
      d = a - b;
      x2 = phi * d + b;
      f2 = value_at(ctx, x, i, x2);
    }
  }

  if (better(fa, fb)) {
    xv(i) = a;
    return fa;
  }
  xv(i) = b;
  return fb;
}

void golden_search(core::fit_context& ctx, int n, std::span<double> x, double& f) {
  passes(ctx, n, x, f, 10, 1, n);
}

void golden_ab_search(core::fit_context& ctx, int n, std::span<double> x, double& f) {
  const int model = ctx.mdl_number;
  if (model >= 1 && model <= 2) {
    passes(ctx, n, x, f, 20, 3, 3);
  } else if (model >= 3 && model <= 7) {
    passes(ctx, n, x, f, 20, 4, 4);
  } else if (model >= 8 && model <= 10) {
    passes(ctx, n, x, f, 20, 4, 5);
  }
}

}  // namespace inhibra::optim
