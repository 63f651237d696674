#include "optim/vmcon4_mod.hpp"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "core/capacities.hpp"

namespace inhibra::optim {
namespace {

constexpr double at_solution = 1e-6;  // parameters and multipliers at a solution
constexpr double value_tol = 1e-10;   // the objective there
constexpr double feasible = 1e-10;    // how far a returned point may violate a constraint

TEST(MachPrec, GivesTheDocumentedConstants) {
  double qeps = 0.0, qbig = 0.0;
  mach_prec(qeps, qbig);
  const double e = 7.136238463529799e-16;  // 1e-60·2^149
  EXPECT_EQ(qeps, (e + 1.0) * e);
  EXPECT_EQ(qbig, 2.0 / qeps);
}

using point = std::vector<double>;

// f(x), its gradient written into g.
using smooth_function = std::function<double(std::span<const double> x, std::span<double> g)>;

// The constraint a·x + b >= 0 (= 0 among the first meq of a problem).
struct linear_constraint {
  point a;
  double b = 0.0;
};

// A plain function under linear constraints as a constrained problem; counts evaluations.
struct plain_problem {
  smooth_function f;
  std::vector<linear_constraint> constraints;
  int meq = 0;
  int calls = 0;

  constrained_problem problem() {
    return {static_cast<int>(constraints.size()), meq,
            [this](std::span<const double> x, double& fx, std::span<double> g, std::span<double> c,
                   std::span<double> cjac) {
              ++calls;
              fx = f(x, g);
              for (std::size_t j = 0; j < constraints.size(); ++j) {
                c[j] = constraints[j].b;
                for (std::size_t i = 0; i < x.size(); ++i) {
                  c[j] += constraints[j].a[i] * x[i];
                  cjac[i + j * core::max_par] = constraints[j].a[i];
                }
              }
            }};
  }
};

// Σ w(i)·(x(i) - centre(i))^2, every w(i) = 1 unless given.
smooth_function bowl(point centre, point w = {}) {
  w.resize(centre.size(), 1.0);
  return [=](std::span<const double> x, std::span<double> g) {
    double f = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
      f += w[i] * (x[i] - centre[i]) * (x[i] - centre[i]);
      g[i] = 2.0 * w[i] * (x[i] - centre[i]);
    }
    return f;
  };
}

// Rosenbrock's valley (1 - x)^2 + 100 (y - x^2)^2, its minimum 0 at (1, 1).
double valley(std::span<const double> p, std::span<double> g) {
  const double x = p[0], y = p[1];
  g[0] = -2 * (1 - x) - 400 * x * (y - x * x);
  g[1] = 200 * (y - x * x);
  return (1 - x) * (1 - x) + 100 * (y - x * x) * (y - x * x);
}

// The box lo <= (x, y) <= hi as x - lo_x, y - lo_y, hi_x - x, hi_y - y >= 0.
std::vector<linear_constraint> box(const point& lo, const point& hi) {
  return {{{1, 0}, -lo[0]}, {{0, 1}, -lo[1]}, {{-1, 0}, hi[0]}, {{0, -1}, hi[1]}};
}

// Calls of the method on one plain problem with one workspace.
struct sqp_run {
  plain_problem p;
  point x;
  sqp_workspace ws{};
  sqp_values at{};
  sqp_summary last{};

  void run(sqp_options o) {
    const int before = p.calls;
    last = vmcon4(p.problem(), ws, x, at, o);
    EXPECT_EQ(last.evaluations, p.calls - before);  // every evaluation counted
  }
};

TEST(Vmcon4, ReachesTheKnownSolutionOfPlainProblems) {
  // Each solution satisfies ∇f = Σ λ(j)·∇c(j) with the multipliers λ given: λ >= 0
  // on the active inequalities, 0 on the others.
  struct known {
    const char* name;
    plain_problem p;
    point start, solution, lambda;
    double f_min;
    int most_iterations;
  };
  const auto unit = box({0, 0}, {1, 4}), wide = box({-2, -1}, {2, 3}),
             cut = box({-2, -1}, {0.5, 3});
  const std::vector<linear_constraint> line{{{1, 1}, -3}, {{1, 0}, 0}};
  const std::vector<known> cases = {
      // The bowl's centre (3, 2) lies right of the box: x <= 1 holds the solution.
      {"edge", {bowl({3, 2}), unit}, {0.5, 0.5}, {1, 2}, {0, 0, 4, 0}, 4.0, 5},
      // (3, -1) lies beyond the corner (1, 0): x <= 1 and y >= 0 both hold it.
      {"corner", {bowl({3, -1}), unit}, {0.5, 0.5}, {1, 0}, {0, 2, 4, 0}, 5.0, 3},
      // The same from a start that violates both.
      {"outside", {bowl({3, -1}), unit}, {2.5, -2}, {1, 0}, {0, 2, 4, 0}, 5.0, 5},
      // x^2 + 2y^2 on the line x + y = 3, with x >= 0 inactive.
      {"equality", {bowl({0, 0}, {1, 2}), line, 1}, {0, 0}, {2, 1}, {4, 0}, 6.0, 8},
      // The valley from (-1.2, 1) in a box around its minimum, and cut off at x = 0.5
      // where the minimum is (0.5, 0.25), f = 0.25.
      {"valley", {valley, wide}, {-1.2, 1}, {1, 1}, {0, 0, 0, 0}, 0.0, 50},
      {"valley cut", {valley, cut}, {-1.2, 1}, {0.5, 0.25}, {0, 0, 1, 0}, 0.25, 30},
  };
  for (const known& k : cases) {
    SCOPED_TRACE(k.name);
    sqp_run r{k.p, k.start};
    r.run({.max_iterations = 300, .tolerance = 1e-14});
    EXPECT_EQ(r.last.info, vmcon4_info::converged);
    EXPECT_LE(r.last.iterations, k.most_iterations);
    for (std::size_t i = 0; i < 2; ++i)
      EXPECT_NEAR(r.x[i], k.solution[i], at_solution);
    EXPECT_NEAR(r.at.f, k.f_min, value_tol);
    for (std::size_t j = 0; j < k.p.constraints.size(); ++j) {
      EXPECT_NEAR(r.ws.vlam[j], k.lambda[j], at_solution) << "constraint " << j + 1;
      const bool equality = j < static_cast<std::size_t>(k.p.meq);
      EXPECT_TRUE(r.at.c[j] >= -feasible && (!equality || r.at.c[j] <= feasible)) << j + 1;
    }
    sqp_values fresh;  // what the call returns in `at` belongs to the returned point
    plain_problem(k.p).problem().evaluate(r.x, fresh.f, fresh.g, fresh.c, fresh.cjac);
    EXPECT_TRUE(fresh.f == r.at.f && fresh.g == r.at.g && fresh.c == r.at.c);
  }
}

TEST(Vmcon4, EachWayOfStoppingGivesItsOutcomeAndCosts) {
  // Every call passes 7 earlier iterations of its caller, which must not count.
  struct stop {
    const char* name;
    plain_problem p;
    point start;
    int limit, maxls;
    double tol;
    vmcon4_info info;
    int iterations, evaluations;
  };
  using enum vmcon4_info;
  const point c{1, 2};
  const auto ten = box({-10, -10}, {10, 10});
  const std::vector<linear_constraint> contradiction{{{1, 0}, -1}, {{-1, 0}, 0}};  // 1 <= x <= 0
  // The bowl with its gradient's sign turned: every step the method takes goes uphill.
  const smooth_function uphill = [f = bowl(c)](std::span<const double> x, std::span<double> g) {
    const double v = f(x, g);
    for (double& gi : g.first(x.size()))
      gi = -gi;
    return v;
  };
  const std::vector<stop> cases = {
      // At the exact minimum the step is zero and so is the test value.
      {"minimum", {bowl(c), ten}, c, 5, 10, 0.0, converged, 1, 1},
      // A negative tolerance is never met; the zero step does not decrease the merit.
      {"negative tolerance", {bowl(c), ten}, c, 5, 10, -1.0, uphill_direction, 1, 1},
      // Half the bowl has Hessian I = B: the first full step lands on the centre and is
      // taken at once; the next iteration's test value is zero.
      {"Newton step", {bowl(c, {0.5, 0.5}), ten}, {4, -3}, 5, 10, 1e-12, converged, 2, 2},
      // The bowl's Hessian is 2I: the full step overshoots to the start's mirror point, of
      // the same value, and the interpolated half step lands on the centre.
      {"half step", {bowl(c), ten}, {4, -3}, 5, 10, 1e-12, converged, 2, 3},
      // No trial point decreases f: the start and max_line_search trial points.
      {"uphill", {uphill, ten}, {4, -3}, 5, 10, 0.0, line_search_failed, 1, 11},
      {"shorter search", {uphill, ten}, {4, -3}, 5, 4, 0.0, line_search_failed, 1, 5},
      // The first iteration begun is past a limit of zero: the start is evaluated only.
      {"no iterations", {valley, ten}, {-1.2, 1}, 0, 10, 0.0, too_many_iterations, 1, 1},
      // 1 <= x <= 0 cannot hold and f changes only with x here: the subproblem finds no
      // step, so the test value is zero.
      {"contradiction", {bowl(c), contradiction}, {0.5, 2}, 5, 10, 0.0, no_feasible_step, 1, 1},
  };
  for (const stop& s : cases) {
    SCOPED_TRACE(s.name);
    sqp_run r{s.p, s.start};
    sqp_options o{.max_iterations = s.limit, .tolerance = s.tol, .max_line_search = s.maxls};
    o.earlier_iterations = 7;
    r.run(o);
    EXPECT_EQ(r.last.info, s.info);
    EXPECT_EQ(r.last.iterations, s.iterations);
    EXPECT_EQ(r.last.evaluations, s.evaluations);
    EXPECT_EQ(r.ws.subproblem_solves, s.limit == 0 ? 0 : 2 * s.iterations);
    // x: the last trial point of a failed line search, else where the last iteration began.
    for (std::size_t i = 0; i < 2; ++i)
      EXPECT_EQ(r.x[i], r.ws.xa[i] + (s.info == line_search_failed ? r.ws.delta[i] : 0.0));
    EXPECT_TRUE(s.evaluations > 1 || (r.x == s.start && r.last.cnorm == 0.0));
    EXPECT_TRUE(s.info != converged || r.at.f <= value_tol);
  }
}

TEST(Vmcon4, HonoursTheIterationLimitAndCarriesTheHessianToLaterCalls) {
  const auto wide = box({-2, -1}, {2, 3});
  const auto identity = sqp_workspace{}.hessian;  // as a fresh workspace holds it
  sqp_run full{{valley, wide}, {-1.2, 1}};
  std::ostringstream out;
  full.ws.diagnostics = &out;
  full.run({.max_iterations = 300, .tolerance = 1e-14});
  ASSERT_EQ(full.last.info, vmcon4_info::converged);
  // The valley needs n iterations (the last one's test passes); a limit of n - 1 stops
  // the call as iteration n begins, at the point the n - 1 iterations reached.
  const int n = full.last.iterations;
  for (const int limit : {n, n - 1}) {
    sqp_run r{{valley, wide}, {-1.2, 1}};
    r.run({.max_iterations = limit, .tolerance = 1e-14});
    EXPECT_EQ(r.last.info, limit == n ? vmcon4_info::converged : vmcon4_info::too_many_iterations);
    EXPECT_EQ(r.last.iterations, n);
    EXPECT_EQ(r.last.evaluations, full.last.evaluations);  // the last iteration evaluates nothing
    EXPECT_EQ(r.x, full.x);
  }
  ASSERT_NE(full.ws.hessian, identity);
  const auto learned = full.ws.hessian;
  full.run({.max_iterations = 0, .fresh_start = false});  // a later call keeps B
  EXPECT_EQ(full.ws.hessian, learned);
  EXPECT_TRUE(out.str().empty());  // nothing printed unless asked
  full.run({.max_iterations = 0, .fresh_start = true, .print = true});
  EXPECT_EQ(full.ws.hessian, identity);
  EXPECT_NE(out.str().find("Q.P. ITERATIONS EXCEEDED ALLOWABLE MAXIMUM DURING\nPROGRAM EXECUTION"),
            std::string::npos);
}

TEST(Vmcon4, EveryCallStartsItsMeritWeightsAndMultipliersFromZero) {
  // (x - 3)^2 with x <= 1 from x = 1.5: the start violates the constraint, so the merit
  // weight decides how far the first line search goes. What a workspace still holds
  // (here huge on purpose) must not reach the next call: it runs as from a fresh one.
  const std::vector<linear_constraint> at_most_one{{{-1}, 1}};
  sqp_run clean{{bowl({3}), at_most_one}, {1.5}}, stale{{bowl({3}), at_most_one}, {1.5}};
  stale.ws.vmu.fill(1e12);
  stale.ws.vlam.fill(-3.0);
  for (auto* r : {&clean, &stale})
    r->run({.max_iterations = 300, .tolerance = 1e-14});
  EXPECT_EQ(stale.x, clean.x);
  EXPECT_EQ(stale.last.iterations, clean.last.iterations);
  EXPECT_EQ(stale.last.evaluations, clean.last.evaluations);
  EXPECT_EQ(stale.ws.vmu, clean.ws.vmu);
  EXPECT_EQ(clean.last.info, vmcon4_info::converged);
  EXPECT_NEAR(clean.x[0], 1.0, at_solution);
  EXPECT_NEAR(clean.ws.vlam[0], 4.0, at_solution);
}

TEST(BfgsUpdate, NewMatrixMapsTheStepToTheDampedOrPlainGradientChange) {
  // B = diag(1, 2, 4), delta = (1, 1, 0): B·delta = (1, 2, 0), deltaᵀB·delta = 3.
  struct update {
    std::vector<double> y, gamma;
    bool damped;
  };
  for (const update& u : {
           // deltaᵀy = -2.4 < 0.1·3: θ = (3 - 0.3)/(3 + 2.4) = 0.5 and gamma = θ·y +
           // (1 - θ)·B·delta = (-0.2, 0.5, 1), so deltaᵀgamma = 0.3 = 0.1·deltaᵀB·delta.
           update{{-1.4, -1, 2}, {-0.2, 0.5, 1}, true},
           // deltaᵀy = 3 >= 0.3: the plain update, with the secant condition B·delta = y.
           update{{0.5, 2.5, -1}, {0.5, 2.5, -1}, false},
           update{{0.31, 0, 2}, {0.31, 0, 2}, false},  // deltaᵀy just above 0.3
       }) {
    SCOPED_TRACE(u.damped);
    constexpr std::size_t ld = core::max_par;
    std::array<double, ld * ld> b{};
    b[0] = 1.0;
    b[1 + ld] = 2.0;
    b[2 + 2 * ld] = 4.0;
    EXPECT_EQ(bfgs_update(3, b, std::vector<double>{1, 1, 0}, u.y), u.damped);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_NEAR(b[i] + b[i + ld], u.gamma[i], 1e-14);  // B·delta
      for (std::size_t j = 0; j < 3; ++j)
        EXPECT_EQ(b[i + j * ld], b[j + i * ld]);
    }
    // Still positive definite (leading minors).
    EXPECT_GT(b[0], 0.0);
    EXPECT_GT(b[0] * b[1 + ld] - b[ld] * b[ld], 0.0);
  }
}

}  // namespace
}  // namespace inhibra::optim
