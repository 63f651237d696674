#include "optim/golden_search.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "fixtures.hpp"
#include "support/compare.hpp"

namespace inhibra::optim {
namespace {

using par = std::array<double, core::max_par>;
using testing::counted_problem;

TEST(GoldenKernel, NarrowsTheBracketTowardsTheMinimum) {
  // A parabola in x(2) centred on 0.15; the end reached depends only on the
  // comparisons. The same steps in exact double arithmetic, computed apart, end
  // where stated.
  struct narrowing {
    double start;
    int evaluations;
    double end;
  };
  for (const narrowing& c : {
           // Minimum at 1.25 times the start: the lower end (0.38 v) is worse than
           // the upper (1.62 v), so it is moved to 0.81 v: 2 + 1 + 2 + 10
           // evaluations, and [0.81 v, 1.62 v] narrowed ten times by 0.618.
           narrowing{0.12, 15, 0.14960533147510727},
           // Minimum at 0.8 times the start: [0.38 v, 1.62 v] narrowed ten times.
           narrowing{0.1875, 14, 0.14911279804381902},
           // A zero coordinate stays zero: a tie never moves the lower end.
           narrowing{0.0, 14, 0.0},
       }) {
    SCOPED_TRACE(c.start);
    counted_problem p{[](std::span<const double> x) { return (x[1] - 0.15) * (x[1] - 0.15); }};
    par x{150.0, c.start, 90.0};
    const double f = golden_kernel(p.problem(3), x, 2);
    EXPECT_EQ(p.evaluations, c.evaluations);
    EXPECT_TRUE(support::rel_near(x[1], c.end, support::tight));
    EXPECT_EQ(x[0], 150.0);
    EXPECT_EQ(x[2], 90.0);
    EXPECT_EQ(f, p.f(x));
  }
}

TEST(GoldenKernel, EndWithoutANumberIsNotChosen) {
  // The value is x(3) while it is finite and not a number beyond. Starting from the
  // largest double, the upper bracket end overflows to infinity and every later
  // point is not a number; the lower end stays finite and is chosen.
  counted_problem p{[](std::span<const double> x) {
    return std::isfinite(x[2]) ? x[2] : std::numeric_limits<double>::quiet_NaN();
  }};
  const double v = std::numeric_limits<double>::max();
  par x{150.0, 0.15, v};
  const double f = golden_kernel(p.problem(3), x, 3);
  EXPECT_EQ(x[2], v - v * golden_phi);  // the lower end of the first bracket
  EXPECT_EQ(f, x[2]);
}

TEST(GoldenSearch, CostsTenPassesOfKernelsAndEvaluatesTheProjectedPoint) {
  for (int n : {3, 5}) {
    SCOPED_TRACE(n);
    counted_problem p{testing::flat};
    par x{-150.0, 0.15, 90.0, 0.5, 0.25, -7.0};
    double f = -1;
    golden_search(p.problem(n, testing::clamp_box(0.0, 100.0)), x, f);
    EXPECT_EQ(p.evaluations, 10 * (14 * n + 1));
    EXPECT_EQ(f, 0.0);
    EXPECT_EQ(x[0], 0.0);   // every pass projects the point it evaluates
    EXPECT_EQ(x[5], -7.0);  // beyond n: neither searched nor projected
  }
}

TEST(GoldenAbSearch, SearchesOnlyTheShapeCoordinates) {
  // Twenty passes of one or two kernels; the starts lie inside the box, so the
  // projection leaves the coordinates not searched alone.
  struct shape_case {
    shape_search s;
    int kernels;
  };
  for (const shape_case& c :
       {shape_case{{3, 3, 20}, 1}, shape_case{{4, 4, 20}, 1}, shape_case{{4, 5, 20}, 2},
        shape_case{{4, 7, 20}, 2}, shape_case{{2, 4, 3}, 3}}) {
    SCOPED_TRACE(::testing::Message() << c.s.first << ".." << c.s.last);
    counted_problem flat{testing::flat};
    std::array<double, 5> x{150.0, 0.15, 90.0, 0.5, 0.25};
    double f = -1;
    golden_ab_search(flat.problem(5, testing::clamp_box(0.0, 1000.0)), x, f, c.s);
    EXPECT_EQ(flat.evaluations, c.s.passes * (14 * c.kernels + 1));
    EXPECT_EQ(f, 0.0);

    counted_problem bowl{testing::bowl({300.0, 0.3, 40.0, 0.7, 0.4})};
    const std::array<double, 5> start{150.0, 0.15, 90.0, 0.5, 0.25};
    x = start;
    golden_ab_search(bowl.problem(5, testing::clamp_box(0.0, 1000.0)), x, f, c.s);
    for (int i = 1; i <= 5; ++i) {
      const auto k = static_cast<std::size_t>(i - 1);
      if (i >= c.s.first && i <= c.s.last) {
        EXPECT_NE(x[k], start[k]) << "P" << i;
      } else {
        EXPECT_EQ(x[k], start[k]) << "P" << i;
      }
    }
    EXPECT_EQ(f, bowl.f(x));
  }
}

TEST(GoldenAbSearch, WithoutPassesDoesNothing) {
  for (const shape_search s : {shape_search{}, shape_search{4, 5, 0}}) {
    counted_problem p{testing::flat};
    par x{150.0, 0.15, 90.0, 0.5, 0.25};
    const par start = x;
    double f = 42.0;
    golden_ab_search(p.problem(5, testing::clamp_box(0.0, 1.0)), x, f, s);
    EXPECT_EQ(x, start);
    EXPECT_EQ(f, 42.0);
    EXPECT_EQ(p.evaluations, 0);
  }
}

}  // namespace
}  // namespace inhibra::optim
