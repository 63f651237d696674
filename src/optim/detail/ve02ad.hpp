#pragma once
// Convex quadratic programming by an active-set method:
//   minimise ½·xᵀGx - cqᵀx  subject to  xl <= x <= xu,  a(.,j)ᵀx >= b(j)
//   (= b(j) for the first ke general constraints).
// Constraint numbering and the shared active list lt are described in
// optim/qp_constraints.hpp.
#include <iosfwd>
#include <span>

#include "optim/detail/qp_constraints.hpp"

namespace inhibra::optim {

// nv variables (1..qp_max_vars), mt = 2nv + m constraints; g (ldg x nv) the
// Hessian, cq the linear term; a (lda x m, by column) and b the general
// constraints; xl, xu the bounds.
// x: in, the point the feasible vertex is sought from (x(1..nv)); out, the
// solution in x(1..nv) and the gradient G·x - cq there in x(6nv+1..7nv) (the
// blocks between are not used; x needs 7nv entries).
// k, lt: in, the constraints to start from (lt(1..k); k = 0 for none); equalities
// must be among them. Out: the final active set, or k = 0 when no feasible point
// was found (x is then wherever the feasibility search left it).
// w (leading dimension ldw >= 2nv): out, rows 1..nv of columns 1..nv hold H, the
// inverse Hessian on the space that keeps the active constraints unchanged, and
// row nv+i holds row i of T, which maps a gradient to the multiplier of lt(i).
// mode: the start mode; a feasible vertex is always found first (mode 1).
// When the largest multiplier test value at the solution is exactly 0 a warning
// that the minimum may be degenerate goes to `diagnostics` if it is not null.
// The outcome tells a solution with no active constraint (k = 0 as well) from an
// infeasible problem; after 10·mt passes the current point is returned.
enum class qp_outcome : int { solved = 0, infeasible = 1, pass_limit = 2 };
[[nodiscard]] qp_outcome ve02ad(int nv, int mt, std::span<const double> g, int ldg,
                                std::span<const double> cq, std::span<const double> a, int lda,
                                std::span<const double> b, std::span<const double> xl,
                                std::span<const double> xu, std::span<double> x, int& k, int ke,
                                std::span<double> w, int ldw, std::span<int> lt, int mode,
                                const qp_limits& lim, std::ostream* diagnostics);

}  // namespace inhibra::optim
