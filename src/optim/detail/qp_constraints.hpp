#pragma once
// The constraints of a quadratic subproblem in nv variables as the feasibility
// search (la02ad) and the active-set solver (ve02ad) number them:
//   1 .. nv            lower bounds   x(i) >= xl(i),   normal +e(i)
//   nv+1 .. 2nv        upper bounds  -x(i) >= -xu(i),  normal -e(i)
//   2nv+j, j = 1..m    general        a(.,j)ᵀx >= b(j) (an equality for j <= ke)
// and the integer list both routines share: lt(1..k) holds the active constraints
// in their order, lt(2nv + i) the state of constraint i (one of the qp_state
// values). The list therefore needs 2nv + mt entries, mt = 2nv + m.
#include <span>

#include "core/capacities.hpp"
#include "core/one_based.hpp"
#include "optim/detail/dot_products.hpp"

namespace inhibra::optim {

// Largest number of subproblem variables (step components plus the relaxation
// variable): the solution vector holds seven blocks of nv values in 125 entries.
inline constexpr int qp_max_vars = 17;
inline constexpr int qp_solution_size = 125;
// Leading dimension of the work matrix; the active-set matrices of order up to
// 2nv live in it.
inline constexpr int qp_work_ld = 50;
// Entries of the active list with its state flags for the largest subproblem.
inline constexpr int qp_list_size = 4 * qp_max_vars + core::max_constraints;

// Run-wide constants of the subproblem: the zero tolerance and the artificial
// bound that stands for "unbounded".
struct qp_limits {
  double qeps = 0.0;
  double qbig = 0.0;
};

// States of a constraint in the shared list.
enum qp_state : int {
  state_equality = -1,  // active for good, never released
  state_active = 0,
  state_inactive = 1,
  state_violated = 2,  // during the feasibility search only
};

class qp_constraints {
 public:
  qp_constraints(int nv, int m, std::span<const double> a, int lda, std::span<const double> b,
                 std::span<const double> xl, std::span<const double> xu)
      : nv_(nv), m_(m), a_(a, lda), b_(b), xl_(xl), xu_(xu) {}

  [[nodiscard]] int nv() const { return nv_; }
  [[nodiscard]] int count() const { return 2 * nv_ + m_; }
  [[nodiscard]] bool is_general(int i) const { return i > 2 * nv_; }
  [[nodiscard]] bool is_equality(int i, int ke) const { return i > 2 * nv_ && i - 2 * nv_ <= ke; }

  // Entry r of the normal of constraint i.
  [[nodiscard]] double normal(int i, int r) const {
    if (i <= nv_) return r == i ? 1.0 : 0.0;
    if (i <= 2 * nv_) return r == i - nv_ ? -1.0 : 0.0;
    return a_(r, i - 2 * nv_);
  }

  // Normal of constraint i times the vector whose element r is v[(r - 1)·inc]
  // (inc > 0; a row of a matrix stored by columns has inc = leading dimension).
  [[nodiscard]] double dot(int i, std::span<const double> v, int inc = 1) const {
    if (i <= nv_) return v[static_cast<std::size_t>((i - 1) * inc)];
    if (i <= 2 * nv_) return -v[static_cast<std::size_t>((i - nv_ - 1) * inc)];
    return sdotm(nv_, column(i - 2 * nv_), 1, v, inc);
  }
  [[nodiscard]] double dot(int i, core::cvec1 v) const { return dot(i, v.span(), 1); }

  // Right-hand side: xl(i), -xu(i) or b(j).
  [[nodiscard]] double rhs(int i) const {
    if (i <= nv_) return xl_(i);
    if (i <= 2 * nv_) return -xu_(i - nv_);
    return b_(i - 2 * nv_);
  }

  // How far x is inside constraint i (negative when it is violated).
  [[nodiscard]] double residual(int i, core::cvec1 x) const {
    if (i <= nv_) return x(i) - xl_(i);
    if (i <= 2 * nv_) return xu_(i - nv_) - x(i - nv_);
    return dot(i, x) - b_(i - 2 * nv_);
  }

  // v := v + scale·(normal of constraint i).
  void add_normal(int i, double scale, core::vec1 v) const {
    if (i <= nv_) {
      v(i) = v(i) + scale;
    } else if (i <= 2 * nv_) {
      v(i - nv_) = v(i - nv_) - scale;
    } else {
      for (int r = 1; r <= nv_; ++r)
        v(r) = v(r) + scale * a_(r, i - 2 * nv_);
    }
  }

 private:
  [[nodiscard]] std::span<const double> column(int j) const {
    return a_.span().subspan(static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(a_.ld()));
  }

  int nv_;
  int m_;
  core::cmat1 a_;
  core::cvec1 b_;
  core::cvec1 xl_;
  core::cvec1 xu_;
};

// The state flag of constraint i in the shared list.
inline int& qp_flag(core::ivec1 lt, int nv, int i) {
  return lt(2 * nv + i);
}

}  // namespace inhibra::optim
