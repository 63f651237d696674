#include "optim/detail/dot_products.hpp"

#include <cassert>
#include <cstddef>

namespace inhibra::optim {

namespace {

// 0-based position of element 1 of a strided walk over n elements.
std::ptrdiff_t first_index(int n, int inc) {
  return inc < 0 ? static_cast<std::ptrdiff_t>(n - 1) * -inc : 0;
}

double at(std::span<const double> v, std::ptrdiff_t i) {
  assert(i >= 0 && static_cast<std::size_t>(i) < v.size());
  return v[static_cast<std::size_t>(i)];
}

}  // namespace

double sdotm(int n, std::span<const double> x, int incx, std::span<const double> y, int incy) {
  double sum = 0.0;
  if (n < 1) return sum;
  if (incx == 1 && incy == 1) {
    const int singles = n % 5;
    for (int i = 0; i < singles; ++i)
      sum = sum + at(x, i) * at(y, i);
    for (int i = singles; i < n; i += 5) {
      sum = sum + at(x, i) * at(y, i) + at(x, i + 1) * at(y, i + 1) + at(x, i + 2) * at(y, i + 2) +
            at(x, i + 3) * at(y, i + 3) + at(x, i + 4) * at(y, i + 4);
    }
    return sum;
  }
  std::ptrdiff_t ix = first_index(n, incx);
  std::ptrdiff_t iy = first_index(n, incy);
  for (int i = 0; i < n; ++i) {
    sum = sum + at(x, ix) * at(y, iy);
    ix += incx;
    iy += incy;
  }
  return sum;
}

double sdsdot(int n, double sb, std::span<const double> x, int incx, std::span<const double> y,
              int incy) {
  double sum = sb;
  if (n < 1) return sum;
  std::ptrdiff_t ix = first_index(n, incx);
  std::ptrdiff_t iy = first_index(n, incy);
  for (int i = 0; i < n; ++i) {
    sum = sum + at(x, ix) * at(y, iy);
    ix += incx;
    iy += incy;
  }
  return sum;
}

}  // namespace inhibra::optim
