#pragma once
// Sequential quadratic programming for a smooth objective under constraints
// c(j) >= 0 (optim/problem.hpp): every iteration solves a quadratic subproblem
// for a step (qpsub), searches along it on the L1 penalty merit function
// f + Σ vmu(j)·(violation of constraint j), and updates a damped BFGS
// approximation B of the Hessian of the Lagrangian.
#include <array>
#include <cstdint>
#include <iosfwd>
#include <span>

#include "core/capacities.hpp"
#include "optim/detail/qp_constraints.hpp"
#include "optim/detail/qpsub.hpp"
#include "optim/problem.hpp"

namespace inhibra::optim {

// Largest parameter count the method handles (the subproblem adds one variable).
inline constexpr int sqp_max_par = qp_max_vars - 1;

// Machine-precision constants of the subproblem: the smallest power-of-two
// multiple e of 1e-60 for which 1 + 0.2·e differs from 1, qeps = (e + 1)·e and
// qbig = 2/qeps.
void mach_prec(double& qeps, double& qbig);

// Everything the method keeps for one model, owned by the caller.
// A freshly constructed workspace holds B = identity, so a first call for a model
// starts from the identity whatever its info. A later call with the same
// workspace and info ≠ -1 continues from the B that the previous call left; info =
// -1 resets B to the identity. Every call starts its multipliers, merit weights,
// subproblem arrays and work storage at zero.
struct sqp_workspace {
  sqp_workspace();

  // Carried from one call to the next: the Hessian approximation (max_par x
  // max_par, by column; the method uses rows and columns 1..n).
  std::array<double, core::max_par * core::max_par> hessian{};

  // Per call.
  std::array<double, core::max_par> xa{};        // the point at the start of the iteration
  qp_limits limits{};                            // qeps and qbig from mach_prec
  qp_data qp{};                                  // the subproblem's arrays
  std::array<double, qp_solution_size> delta{};  // step, ξ, subproblem scratch
  std::array<double, qp_work_ld * qp_work_ld> wk{};
  std::array<double, core::max_constraints> vlam{};  // constraint multipliers
  std::array<double, core::max_constraints> vmu{};   // merit weights

  // Where the subproblem's degenerate-minimum warning and, for iprint >= 0, the
  // method's printout go; null (the default) drops them.
  std::ostream* diagnostics = nullptr;

  // Subproblem solves made through this workspace (both solves of an iteration
  // count); for cost checks.
  std::int64_t subproblem_solves = 0;
};

// Outcome codes (info). fresh_start is only an input.
enum class vmcon4_info : int {
  fresh_start = -1,         // in: start from B = identity
  converged = 0,            // the convergence test value is at most the tolerance
  too_many_iterations = 2,  // more than max_iterations iterations
  line_search_failed = 3,   // more than max_line_search evaluations in one line search
  uphill_direction = 4,     // the merit function does not decrease along the step
  no_feasible_step = 5,     // the last subproblem found no acceptable step (but the test held)
};

// The value, gradient, constraints and constraint gradients at the method's point,
// as the problem's evaluate fills them. The method evaluates its start itself; on
// return they belong to the returned point.
struct sqp_values {
  double f = 0.0;
  std::array<double, core::max_par> g{};
  std::array<double, core::max_constraints> c{};
  std::array<double, core::max_par * core::max_constraints> cjac{};  // by column
};

// How one call runs.
struct sqp_options {
  int max_iterations = 0;      // an iteration begun past this many ends the call
  double tolerance = 0.0;      // converged once |gᵀd| + Σ|vlam(j)·c(j)| <= tolerance
  int max_line_search = 10;    // evaluations allowed in one line search
  int qp_mode = 1;             // start mode of the subproblem solver
  bool fresh_start = true;     // B starts from the identity; false: from ws.hessian
  int earlier_iterations = 0;  // iterations of the caller's earlier calls, printed only
  bool print = false;          // a short report of the call to ws.diagnostics
};

// What one call did.
struct sqp_summary {
  vmcon4_info info = vmcon4_info::fresh_start;  // the outcome (fresh_start: no call made)
  double cnorm = 0.0;                           // the last convergence test value (0: no test made)
  int iterations = 0;            // iterations begun, the one the limit stopped included
  std::int64_t evaluations = 0;  // calls of the problem's evaluate
};

// Minimises problem p from x (1 <= x.size() <= sqp_max_par parameters). On return x
// is the last point evaluated and `at` belongs to it.
[[nodiscard]] sqp_summary vmcon4(const constrained_problem& p, sqp_workspace& ws,
                                 std::span<double> x, sqp_values& at, const sqp_options& options);

// The update vmcon4 makes after an accepted step delta (n values) with change y of
// the Lagrangian's gradient: with Bδ = B·delta, sdy = deltaᵀy, dBd = deltaᵀBδ,
// if sdy < 0.1·dBd then gamma = θ·y + (1 - θ)·Bδ with θ = (dBd - 0.1·dBd)/(dBd - sdy)
// and sdy = 0.1·dBd (so that deltaᵀgamma = 0.1·dBd), else gamma = y; then
// B := B - Bδ·Bδᵀ/dBd + gamma·gammaᵀ/sdy (b: max_par x max_par, by column,
// kept symmetric). Returns true when the step was damped.
bool bfgs_update(int n, std::span<double> b, std::span<const double> delta,
                 std::span<const double> y);

}  // namespace inhibra::optim
