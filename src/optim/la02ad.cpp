#include "optim/detail/la02ad.hpp"

#include <array>
#include <cassert>
#include <limits>

#include "core/one_based.hpp"
#include "optim/detail/dot_products.hpp"
#include "optim/detail/matrix_inverse.hpp"

namespace inhibra::optim {

namespace {

// The feasibility search gives up after this many exchanges.
constexpr int max_exchanges = 10;

using small_matrix = std::array<double, qp_max_vars * qp_max_vars>;
using small_vector = std::array<double, qp_max_vars>;

// Row r of a matrix stored by columns, as a strided walk.
std::span<const double> row(std::span<double> w, int r) {
  return w.subspan(static_cast<std::size_t>(r - 1));
}

// Completes the k given constraints (k < nv) to a vertex. The inverse M of the
// Gram matrix NᵀN of the active normals is kept; a free variable whose unit vector
// has the smallest projection e(i)ᵀ·N·M·Nᵀ·e(i) onto the span of the normals
// (below 1; the first on ties) is fixed at its nearer bound, and M is bordered by
// the new normal. At the end w(1..nv, 1..nv) = M·Nᵀ = N⁻¹. False when the given
// normals are dependent.
bool complete_vertex(const qp_constraints& cons, core::cvec1 x, core::cvec1 xl, core::cvec1 xu,
                     int& k, const core::mat1& w, core::ivec1 lt) {
  const int nv = cons.nv();
  small_matrix gram_storage{};
  const core::mat1 gm(gram_storage, qp_max_vars);
  for (int i = 1; i <= k; ++i) {
    for (int j = 1; j <= k; ++j) {
      double s = 0.0;
      for (int r = 1; r <= nv; ++r)
        s = s + cons.normal(lt(i), r) * cons.normal(lt(j), r);
      gm(i, j) = s;
    }
  }
  if (k == 1) {
    if (gm(1, 1) == 0.0) return false;
    gm(1, 1) = 1.0 / gm(1, 1);
  } else if (mb01cd2(gram_storage, k, qp_max_vars) != inverse_status::inverted) {
    return false;
  }

  while (k < nv) {
    // Row i of N is n_i(s) = normal(lt(s), i); its projection value n_i·M·n_iᵀ.
    int best = 0;
    double best_value = 1.0;
    small_vector mn{};
    for (int i = 1; i <= nv; ++i) {
      if (qp_flag(lt, nv, i) <= state_active || qp_flag(lt, nv, nv + i) <= state_active) continue;
      double p = 0.0;
      for (int r = 1; r <= k; ++r) {
        double s = 0.0;
        for (int c = 1; c <= k; ++c)
          s = s + gm(r, c) * cons.normal(lt(c), i);
        p = p + cons.normal(lt(r), i) * s;
      }
      if (p < best_value) {
        best_value = p;
        best = i;
      }
    }
    if (best == 0) return false;

    const int i = best;
    const bool upper = xu(i) - x(i) < x(i) - xl(i);
    const double sign = upper ? -1.0 : 1.0;
    // v = M·Nᵀ·a for the new normal a = sign·e(i); sigma = aᵀa - aᵀ·N·v = 1 - p_i.
    for (int r = 1; r <= k; ++r) {
      double s = 0.0;
      for (int c = 1; c <= k; ++c)
        s = s + gm(r, c) * cons.normal(lt(c), i);
      mn[static_cast<std::size_t>(r - 1)] = sign * s;
    }
    double nv_dot = 0.0;
    for (int r = 1; r <= k; ++r)
      nv_dot = nv_dot + sign * cons.normal(lt(r), i) * mn[static_cast<std::size_t>(r - 1)];
    const double sigma = 1.0 - nv_dot;
    for (int r = 1; r <= k; ++r) {
      const double vr = mn[static_cast<std::size_t>(r - 1)];
      for (int c = 1; c <= k; ++c)
        gm(r, c) = gm(r, c) + vr * mn[static_cast<std::size_t>(c - 1)] / sigma;
      gm(r, k + 1) = -vr / sigma;
      gm(k + 1, r) = -vr / sigma;
    }
    gm(k + 1, k + 1) = 1.0 / sigma;
    ++k;
    lt(k) = upper ? nv + i : i;
    qp_flag(lt, nv, lt(k)) = state_active;
  }

  for (int r = 1; r <= nv; ++r) {
    for (int c = 1; c <= nv; ++c) {
      double s = 0.0;
      for (int q = 1; q <= nv; ++q)
        s = s + gm(r, q) * cons.normal(lt(q), c);
      w(r, c) = s;
    }
  }
  return true;
}

// The vertex of the nv active constraints: Nᵀx = rhs, so x = N⁻ᵀ·rhs, a
// combination of the rows of w.
void move_to_vertex(const qp_constraints& cons, std::span<double> w, int ldw, core::ivec1 lt,
                    core::vec1 x) {
  const int nv = cons.nv();
  small_vector rhs{};
  for (int r = 1; r <= nv; ++r)
    rhs[static_cast<std::size_t>(r - 1)] = cons.rhs(lt(r));
  for (int c = 1; c <= nv; ++c)
    x(c) = sdotm(nv, w.subspan(static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(ldw)), 1,
                 rhs, 1);
}

}  // namespace

void la02ad(int nv, int mt, std::span<const double> a, int lda, std::span<const double> b,
            std::span<const double> xl, std::span<const double> xu, std::span<double> x, int& k,
            int ke, std::span<double> w, int ldw, std::span<int> lt, const qp_limits& lim) {
  assert(nv >= 1 && nv <= qp_max_vars && mt >= 2 * nv && k >= 0 && k <= nv);
  const qp_constraints cons(nv, mt - 2 * nv, a, lda, b, xl, xu);
  const core::vec1 xv(x);
  const core::cvec1 xlv(xl);
  const core::cvec1 xuv(xu);
  const core::mat1 wm(w, ldw);
  const core::ivec1 lv(lt);

  for (int i = 1; i <= mt; ++i)
    qp_flag(lv, nv, i) = state_inactive;

  if (k == 0) {
    for (int c = 1; c <= nv; ++c)
      for (int r = 1; r <= nv; ++r)
        wm(r, c) = 0.0;
    for (int i = 1; i <= nv; ++i) {
      const bool upper = xuv(i) - xv(i) < xv(i) - xlv(i);
      lv(i) = upper ? nv + i : i;
      wm(i, i) = upper ? -1.0 : 1.0;
      qp_flag(lv, nv, lv(i)) = state_active;
    }
    k = nv;
  } else {
    for (int i = 1; i <= k; ++i)
      qp_flag(lv, nv, lv(i)) = cons.is_equality(lv(i), ke) ? state_equality : state_active;
    if (k == nv) {
      for (int c = 1; c <= nv; ++c)
        for (int r = 1; r <= nv; ++r)
          wm(r, c) = cons.normal(lv(c), r);
      if (mb01cd2(w, nv, ldw) != inverse_status::inverted) {
        k = 0;
        return;
      }
    } else {
      const core::cvec1 xc{std::span<const double>(x)};
      if (!complete_vertex(cons, xc, xlv, xuv, k, wm, lv)) {
        k = 0;
        return;
      }
    }
  }

  move_to_vertex(cons, w, ldw, lv, xv);

  std::array<double, qp_list_size> residual{};
  for (int exchanges = 0;; ++exchanges) {
    // Residuals of the inactive constraints; the violated ones are marked and
    // their normals summed into the gradient of the total violation.
    small_vector grad_storage{};
    const core::vec1 grad(std::span<double>(grad_storage).first(static_cast<std::size_t>(nv)));
    bool violated = false;
    for (int i = 1; i <= mt; ++i) {
      int& state = qp_flag(lv, nv, i);
      if (state < state_inactive) continue;
      const double r = cons.residual(i, core::cvec1(std::span<const double>(x)));
      residual[static_cast<std::size_t>(i - 1)] = r;
      if (r < 0.0) {
        state = state_violated;
        cons.add_normal(i, 1.0, grad);
        violated = true;
      } else {
        state = state_inactive;
      }
    }
    if (!violated) return;
    if (exchanges == max_exchanges) {  // still infeasible after the last exchange allowed
      k = 0;
      return;
    }

    // Leave the active inequality along whose edge the violation falls fastest.
    int p = 0;
    double best = -std::numeric_limits<double>::infinity();
    for (int r = 1; r <= k; ++r) {
      if (qp_flag(lv, nv, lv(r)) != state_active) continue;
      const double value = sdotm(nv, row(w, r), ldw, grad.span(), 1);
      if (value > best) {
        best = value;
        p = r;
      }
    }
    if (p == 0 || !(best > 0.0)) {
      k = 0;
      return;
    }

    // The edge: the direction d with (normal of lt(p))ᵀd = 1 and the other
    // active normals orthogonal to it is row p of w.
    small_vector d{};
    for (int c = 1; c <= nv; ++c)
      d[static_cast<std::size_t>(c - 1)] = wm(p, c);
    const std::span<const double> dv =
        std::span<const double>(d).first(static_cast<std::size_t>(nv));

    // Ratio test: the violated constraint satisfied last, the satisfied one
    // reached first.
    double t_violated = 0.0;
    int q_violated = 0;
    double t_satisfied = lim.qbig;
    int q_satisfied = 0;
    for (int i = 1; i <= mt; ++i) {
      const int state = qp_flag(lv, nv, i);
      if (state < state_inactive) continue;
      const double ad = cons.dot(i, dv);
      const double r = residual[static_cast<std::size_t>(i - 1)];
      if (state == state_violated && ad > 0.0) {
        const double t = -r / ad;
        if (t > t_violated) {
          t_violated = t;
          q_violated = i;
        }
      } else if (state == state_inactive && ad < 0.0) {
        const double t = r / -ad;
        if (t < t_satisfied) {
          t_satisfied = t;
          q_satisfied = i;
        }
      }
    }
    const int q = q_satisfied != 0 && t_satisfied <= t_violated ? q_satisfied : q_violated;
    if (q == 0) {
      k = 0;
      return;
    }

    // Exchange lt(p) for q and update the inverse by elimination on row p.
    qp_flag(lv, nv, lv(p)) = state_inactive;
    lv(p) = q;
    qp_flag(lv, nv, q) = cons.is_equality(q, ke) ? state_equality : state_active;
    const double pivot = cons.dot(q, row(w, p), ldw);
    for (int c = 1; c <= nv; ++c)
      wm(p, c) = wm(p, c) / pivot;
    for (int r = 1; r <= nv; ++r) {
      if (r == p) continue;
      const double f = cons.dot(q, row(w, r), ldw);
      for (int c = 1; c <= nv; ++c)
        wm(r, c) = wm(r, c) - f * wm(p, c);
    }
    // The new vertex lies t along the edge; it is computed from the new inverse
    // rather than stepped to, since a step away from an artificial bound of about
    // 2.8e15 would keep nothing below 0.5 of the coordinates it moves.
    move_to_vertex(cons, w, ldw, lv, xv);
  }
}

}  // namespace inhibra::optim
