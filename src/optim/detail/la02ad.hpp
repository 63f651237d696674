#pragma once
// A feasible vertex of a set of bounds and linear constraints, the starting point
// of the active-set quadratic solver. Constraint numbering and the shared active
// list are described in optim/qp_constraints.hpp.
#include <span>

#include "optim/detail/qp_constraints.hpp"

namespace inhibra::optim {

// nv variables, mt = 2nv + m constraints; a (lda x m, by column) and b the general
// constraints, the first ke of them equalities; xl, xu the bounds.
// k (in/out) and lt(1..k) (in): constraints to keep active, or k = 0 to start from
// the nearer bound of every variable. The given constraints are completed to nv
// by fixing free variables at their nearer bounds, x is moved to that vertex and
// at most 10 exchanges of one active constraint for another are made to reach
// feasibility.
// On success: k = nv, lt(1..nv) the vertex's constraints with their states in the
// list, x the vertex, w(1..nv, 1..nv) (leading dimension ldw) the inverse of the
// matrix whose columns are the normals of lt(1..nv) (row r belongs to lt(r)).
// k = 0 on return: no feasible vertex (the linear feasibility problem has no
// solution, 10 exchanges did not suffice, or the given normals are dependent).
// Equalities must be among the given constraints to be kept as equalities.
void la02ad(int nv, int mt, std::span<const double> a, int lda, std::span<const double> b,
            std::span<const double> xl, std::span<const double> xu, std::span<double> x, int& k,
            int ke, std::span<double> w, int ldw, std::span<int> lt, const qp_limits& lim);

}  // namespace inhibra::optim
