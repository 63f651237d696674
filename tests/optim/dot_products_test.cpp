#include "optim/dot_products.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace inhibra::optim {
namespace {

constexpr double two53 = 9007199254740992.0;  // 2^53: 2^53 + 1 rounds back to 2^53

TEST(Sdotm, EmptyOrNegativeLengthIsZero) {
  const std::vector<double> x{1, 2}, y{3, 4};
  EXPECT_EQ(sdotm(0, x, 1, y, 1), 0.0);
  EXPECT_EQ(sdotm(-3, x, 1, y, 1), 0.0);
}

TEST(Sdotm, UnitStridesAddInOrderAcrossTheGroupOfFive) {
  // n = 7: two single products, then one group of five. Products 1, 2^53, -2^53,
  // 1, 1, 1, 1: adding from the left loses the first 1 (2^53 + 1 = 2^53), so the
  // sum is 4, not the exact 5.
  const std::vector<double> x{1, two53, -two53, 1, 1, 1, 1};
  const std::vector<double> y(7, 1.0);
  EXPECT_EQ(sdotm(7, x, 1, y, 1), 4.0);
  // The same products starting with the large pair: 2^53 - 2^53 = 0, then five 1s.
  const std::vector<double> x2{two53, -two53, 1, 1, 1, 1, 1};
  EXPECT_EQ(sdotm(7, x2, 1, y, 1), 5.0);
  // Lengths below, at and above a multiple of five.
  const std::vector<double> ones(11, 1.0);
  const std::vector<double> k{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  EXPECT_EQ(sdotm(4, k, 1, ones, 1), 10.0);
  EXPECT_EQ(sdotm(5, k, 1, ones, 1), 15.0);
  EXPECT_EQ(sdotm(11, k, 1, ones, 1), 66.0);
}

TEST(Sdotm, PositiveStridesSkipElements) {
  const std::vector<double> x{1, 100, 2, 100, 3};
  const std::vector<double> y{4, 100, 100, 5, 100, 100, 6};
  EXPECT_EQ(sdotm(3, x, 2, y, 3), 1 * 4 + 2 * 5 + 3 * 6);
}

TEST(Sdotm, NegativeStrideStartsFromTheFarEnd) {
  const std::vector<double> x{1, 2, 3};
  const std::vector<double> y{4, 5, 6};
  EXPECT_EQ(sdotm(3, x, -1, y, 1), 3 * 4 + 2 * 5 + 1 * 6);
  EXPECT_EQ(sdotm(3, x, -1, y, -1), 1 * 4 + 2 * 5 + 3 * 6);
  const std::vector<double> x2{1, 0, 2, 0, 3};
  EXPECT_EQ(sdotm(3, x2, -2, y, 1), 3 * 4 + 2 * 5 + 1 * 6);
}

TEST(Sdsdot, StartsTheSumAtSb) {
  const std::vector<double> x{1, 2}, y{3, 4};
  EXPECT_EQ(sdsdot(0, 2.5, x, 1, y, 1), 2.5);
  EXPECT_EQ(sdsdot(2, 2.5, x, 1, y, 1), 13.5);
  // sb is added first: 2^53 + 1 = 2^53 in double, then -2^53 leaves 0.
  const std::vector<double> p{1, -two53}, q{1, 1};
  EXPECT_EQ(sdsdot(2, two53, p, 1, q, 1), 0.0);
  const std::vector<double> y3{3, 9, 4};
  EXPECT_EQ(sdsdot(2, 1.0, x, -1, y3, 2), 1.0 + 2 * 3 + 1 * 4);  // x backwards, y by twos
}

}  // namespace
}  // namespace inhibra::optim
