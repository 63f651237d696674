#include "optim/detail/dot_products.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace inhibra::optim {
namespace {

constexpr double two53 = 9007199254740992.0;  // 2^53: 2^53 + 1 rounds back to 2^53

TEST(DotProducts, AddInOrderWithStrides) {
  // Both products add left to right, so sdsdot with sb = 0 gives what sdotm gives.
  struct dot_case {
    const char* what;
    int n, incx, incy;
    std::vector<double> x, y;
    double want;
  };
  const std::vector<double> ones(11, 1.0);
  const std::vector<double> k{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  const dot_case cases[] = {
      {"empty", 0, 1, 1, {1, 2}, {3, 4}, 0.0},
      {"negative length", -3, 1, 1, {1, 2}, {3, 4}, 0.0},
      // Two single products, then a group of five: adding from the left loses the
      // first 1 (2^53 + 1 = 2^53), so the sum is 4, not the exact 5.
      {"first 1 lost", 7, 1, 1, {1, two53, -two53, 1, 1, 1, 1}, ones, 4.0},
      {"large pair first", 7, 1, 1, {two53, -two53, 1, 1, 1, 1, 1}, ones, 5.0},
      {"below a multiple of five", 4, 1, 1, k, ones, 10.0},
      {"a multiple of five", 5, 1, 1, k, ones, 15.0},
      {"above a multiple of five", 11, 1, 1, k, ones, 66.0},
      {"positive strides", 3, 2, 3, {1, 100, 2, 100, 3}, {4, 100, 100, 5, 100, 100, 6}, 32.0},
      {"x backwards", 3, -1, 1, {1, 2, 3}, {4, 5, 6}, 3 * 4 + 2 * 5 + 1 * 6},
      {"both backwards", 3, -1, -1, {1, 2, 3}, {4, 5, 6}, 1 * 4 + 2 * 5 + 3 * 6},
      {"x backwards by twos", 3, -2, 1, {1, 0, 2, 0, 3}, {4, 5, 6}, 3 * 4 + 2 * 5 + 1 * 6},
  };
  for (const dot_case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(sdotm(c.n, c.x, c.incx, c.y, c.incy), c.want);
    EXPECT_EQ(sdsdot(c.n, 0.0, c.x, c.incx, c.y, c.incy), c.want);
  }
}

TEST(DotProducts, SdsdotStartsTheSumAtSb) {
  const std::vector<double> x{1, 2}, y{3, 4};
  EXPECT_EQ(sdsdot(0, 2.5, x, 1, y, 1), 2.5);
  EXPECT_EQ(sdsdot(2, 2.5, x, 1, y, 1), 13.5);
  // sb is added first: 2^53 + 1 = 2^53 in double, then -2^53 leaves 0.
  EXPECT_EQ(sdsdot(2, two53, std::vector<double>{1, -two53}, 1, std::vector<double>{1, 1}, 1), 0.0);
  const std::vector<double> y3{3, 9, 4};
  EXPECT_EQ(sdsdot(2, 1.0, x, -1, y3, 2), 1.0 + 2 * 3 + 1 * 4);  // x backwards, y by twos
}

}  // namespace
}  // namespace inhibra::optim
