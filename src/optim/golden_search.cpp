#include "optim/golden_search.hpp"

#include <algorithm>
#include <cmath>

#include "core/one_based.hpp"

namespace inhibra::optim {

namespace {

// Value of x with x(i) set to t (x keeps t).
double value_at(const value_problem& p, std::span<double> x, int i, double t) {
  const core::vec1 xv(x);
  xv(i) = t;
  return p.value(x);
}

// `candidate` is kept over `current` when it is strictly lower; a value that is not
// a number is never kept over one that is.
bool better(double candidate, double current) {
  if (std::isnan(candidate)) return false;
  return std::isnan(current) || candidate < current;
}

// Passes of kernels over the coordinates first..last (clipped to x), each pass
// ending with the projected point and its value.
void passes(const value_problem& p, std::span<double> x, double& f, int count, int first,
            int last) {
  const int top = std::min(last, static_cast<int>(x.size()));
  for (int pass = 1; pass <= count; ++pass) {
    for (int i = first; i <= top; ++i)
      golden_kernel(p, x, i);
    project(p, x);
    f = p.value(x);
  }
}

}  // namespace

double golden_kernel(const value_problem& p, std::span<double> x, int i) {
  constexpr double phi = golden_phi;
  constexpr double psi = golden_psi;
  const core::vec1 xv(x);
  const double v = xv(i);

  double b = v + v * phi;
  double fb = value_at(p, x, i, b);
  double a = v - v * phi;
  double fa = value_at(p, x, i, a);
  if (fa > fb) {
    a = b * 0.5;
    fa = value_at(p, x, i, a);
  }

  double d = a - b;
  double x1 = psi * d + b;
  double f1 = value_at(p, x, i, x1);
  double x2 = phi * d + b;
  double f2 = value_at(p, x, i, x2);
  for (int step = 1; step <= 10; ++step) {
    if (f2 > f1) {
      a = x2;
      fa = f2;
      x2 = x1;
      f2 = f1;
      d = a - b;
      x1 = psi * d + b;
      f1 = value_at(p, x, i, x1);
    } else {
      b = x1;
      fb = f1;
      x1 = x2;
      f1 = f2;
      d = a - b;
      x2 = phi * d + b;
      f2 = value_at(p, x, i, x2);
    }
  }

  if (better(fa, fb)) {
    xv(i) = a;
    return fa;
  }
  xv(i) = b;
  return fb;
}

void golden_search(const value_problem& p, std::span<double> x, double& f) {
  passes(p, x, f, golden_search_passes, 1, p.n);
}

void golden_ab_search(const value_problem& p, std::span<double> x, double& f,
                      const shape_search& s) {
  passes(p, x, f, s.passes, s.first, s.last);
}

}  // namespace inhibra::optim
