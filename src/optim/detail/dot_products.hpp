#pragma once
// Strided dot products of the quadratic-programming routines. Elements are taken
// every `inc` entries; a negative stride walks its vector from the far end, so
// that element 1 of the product is x(1 + (n - 1)·|incx|).
#include <span>

namespace inhibra::optim {

// Σ x(i)·y(i) over n elements with strides incx and incy; 0 for n < 1. With both
// strides 1 the first n mod 5 products are added one at a time, then the rest in
// groups of five; every addition is made in order, left to right.
[[nodiscard]] double sdotm(int n, std::span<const double> x, int incx, std::span<const double> y,
                           int incy);

// sb + Σ x(i)·y(i): the sum starts at sb and the products are added in order;
// sb itself for n < 1.
[[nodiscard]] double sdsdot(int n, double sb, std::span<const double> x, int incx,
                            std::span<const double> y, int incy);

}  // namespace inhibra::optim
