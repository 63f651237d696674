#include "optim/dorunrun.hpp"

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

// The run's machine limits.
constexpr machine_limits run_limits{2.8544953854119197e-15, 10.0 / 2.8544953854119197e-15};

// One call with seed 1088 from a fresh stream; seed, maxruns, f and the stream are
// what the call left.
struct search {
  par x;
  int maxruns;
  double seed = 1088.0;
  double f = -1;
  double rng = 0.0;
  void run(counted_problem& c, int n, machine_limits limits = run_limits) {
    dorunrun(c.problem(n, testing::clamp_box(1e-6, 1e6), limits), seed, maxruns, x, f, rng);
  }
};

TEST(Dorunrun, RunCountFollowsMaxrunsUpToFifteen) {
  struct expectation {
    int maxruns, runs, maxruns_after;
  };
  for (const auto& e :
       {expectation{5, 15, 100}, expectation{9, 15, 100}, expectation{10, 10, 10},
        expectation{12, 12, 12}, expectation{15, 15, 15}, expectation{40, 15, 40}}) {
    for (int n : {3, 5}) {
      SCOPED_TRACE(::testing::Message() << "maxruns " << e.maxruns << " n " << n);
      counted_problem c{testing::bowl({200.0, 0.2, 50.0, 2.0, 0.3})};
      search s{{300.0, 0.3, 40.0, 3.0, 0.4}, e.maxruns};
      s.run(c, n);
      // The start, then per run: its start, 10 n + 1 moves and the projected end.
      EXPECT_EQ(c.evaluations, 1 + e.runs * (10 * n + 3));
      EXPECT_EQ(s.maxruns, e.maxruns_after);
      const auto first_n = [n](const par& p) {
        return std::span(p).first(static_cast<std::size_t>(n));
      };
      const par start{300.0, 0.3, 40.0, 3.0, 0.4};
      EXPECT_LT(s.f, c.f(first_n(start)));  // moves were kept
      EXPECT_EQ(s.f, c.f(first_n(s.x)));
    }
  }
}

TEST(Dorunrun, DrawsFromTheStreamHandedIn) {
  // Two fresh streams make the same moves: the search keeps no state of its own.
  // A stream elsewhere makes other moves.
  auto from = [](double rng) {
    counted_problem c{testing::bowl({200.0, 0.2, 50.0})};
    search s{{300.0, 0.3, 40.0}, 10};
    s.rng = rng;
    s.run(c, 3);
    EXPECT_EQ(s.seed, s.rng);  // the last value drawn, in both
    return s;
  };
  const search a = from(0.0);
  const search b = from(0.0);
  const search c = from(0.6);
  EXPECT_EQ(a.x, b.x);
  EXPECT_EQ(a.f, b.f);
  EXPECT_NE(a.x, c.x);
}

TEST(Dorunrun, NeverKeepsAMoveWhoseValueIsUnusable) {
  // Values that are not numbers, below eps or above big all count as big, so no
  // move is ever kept and a start inside the box comes back unchanged.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const double v : {nan, 0.0, 1e-20, 2.0 * run_limits.big}) {
    SCOPED_TRACE(v);
    counted_problem c{[v](std::span<const double>) { return v; }};
    search s{{300.0, 0.3, 40.0}, 15};
    s.run(c, 3);
    EXPECT_EQ(s.x, (par{300.0, 0.3, 40.0}));
    EXPECT_EQ(c.evaluations, 1 + 15 * (10 * 3 + 3));
    if (std::isnan(v)) {
      EXPECT_TRUE(std::isnan(s.f));  // the end point's value is passed on unchecked
    } else {
      EXPECT_EQ(s.f, v);
    }
  }
  // Without the limits (eps 0) a value of 0 counts as a value: the first move that
  // reaches it is kept, a later 0 never beats it.
  counted_problem c{[](std::span<const double> x) { return x[0] == 300.0 ? 1.0 : 0.0; }};
  search s{{300.0, 0.3, 40.0}, 15};
  s.run(c, 3, {0.0, run_limits.big});
  EXPECT_NE(s.x, (par{300.0, 0.3, 40.0}));
  EXPECT_EQ(s.f, 0.0);
}

}  // namespace
}  // namespace inhibra::optim
