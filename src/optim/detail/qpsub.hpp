#pragma once
// The quadratic subproblem of one iteration of the constrained method: a step d
// that minimises the quadratic model ½·dᵀBd + gᵀd subject to the linearised
// constraints c(j) + cjac(.,j)ᵀd >= 0 (= 0 for the first meq), relaxed by a
// variable ξ in [0, 1] so that it always has a feasible point: satisfied
// inequalities keep their linearisation (right-hand side -c(j)); violated
// inequalities and equalities become cjac(.,j)ᵀd + c(j)·ξ >= 0 (= 0), and ξ is
// driven to its upper bound by the linear term -qbig·ξ. The step components have
// the artificial bounds ±qbig.
#include <array>
#include <iosfwd>
#include <span>

#include "core/capacities.hpp"
#include "optim/detail/qp_constraints.hpp"

namespace inhibra::optim {

// The subproblem's arrays. They persist from the first solve of an iteration to
// the second, which keeps the bounds and starts from the first solve's active set.
struct qp_data {
  std::array<double, qp_max_vars> cq{};           // linear term (objective ½vᵀGv - cqᵀv)
  std::array<double, qp_max_vars> xl{};           // lower bounds of d and ξ
  std::array<double, qp_max_vars> xu{};           // upper bounds of d and ξ
  std::array<double, core::max_constraints> b{};  // right-hand sides
  // Constraint normals by column (leading dimension max_par): cjac's rows 1..n
  // and the coefficient of ξ in row n + 1.
  std::array<double, core::max_par * core::max_constraints> a{};
  std::array<int, qp_list_size> lt{};  // active list and constraint states
};

// n parameters (1..qp_max_vars - 1), m constraints of which the first meq are
// equalities; g (n), c (m) and cjac (max_par x m, by column) at the current point
// (not changed).
// info: in, < 0 for a fresh start (new bounds and active set, d = 0, ξ = 1) and
// >= 0 to start from what the previous call left in `qp` and `delta`; out, 5 when
// no acceptable step was found (ξ <= qeps, or the bound of ξ still not active
// after one retry with the bound lowered to 0.9·ξ), otherwise unchanged.
// vlam (m, out): multipliers of the constraints (0 for the inactive ones);
// vmu (m, in/out): merit weights, raised towards |vlam| and kept within
// [qeps, qbig]. delta (qp_solution_size, in/out): the step in 1..n, ξ in n + 1,
// the rest scratch. hess (max_par x max_par): the Hessian approximation of the
// caller; a fresh start zeroes its row and column n + 1. wk (qp_work_ld²): work
// matrix. Multipliers and weights are only written after a successful solve.
void qpsub(int n, int m, int meq, std::span<const double> g, std::span<const double> c,
           std::span<const double> cjac, int& info, int qpmode, std::span<double> vlam,
           std::span<double> vmu, std::span<double> delta, std::span<double> hess,
           std::span<double> wk, qp_data& qp, const qp_limits& lim, std::ostream* diagnostics);

}  // namespace inhibra::optim
