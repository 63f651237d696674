#include "optim/detail/qpsub.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "core/one_based.hpp"
#include "optim/detail/dot_products.hpp"
#include "optim/detail/ve02ad.hpp"

namespace inhibra::optim {

void qpsub(int n, int m, int meq, std::span<const double> g, std::span<const double> c,
           std::span<const double> cjac, int& info, int qpmode, std::span<double> vlam,
           std::span<double> vmu, std::span<double> delta, std::span<double> hess,
           std::span<double> wk, qp_data& qp, const qp_limits& lim, std::ostream* diagnostics) {
  assert(n >= 1 && n < qp_max_vars && m >= 0 && m <= core::max_constraints);
  constexpr int ld = core::max_par;
  const int nv = n + 1;
  const int mt = 2 * nv + m;
  int k = meq + 1;

  const core::cvec1 gv(g);
  const core::cvec1 cv(c);
  const core::cmat1 cjm(cjac, ld);
  const core::vec1 dv(delta);
  const core::mat1 bm(hess, ld);
  const core::vec1 cq(qp.cq);
  const core::vec1 xl(qp.xl);
  const core::vec1 xu(qp.xu);
  const core::vec1 bv(qp.b);
  const core::mat1 am(qp.a, ld);
  const core::ivec1 lt(qp.lt);

  if (info < 0) {
    for (int i = 1; i <= n; ++i) {
      xl(i) = -lim.qbig;
      xu(i) = lim.qbig;
      dv(i) = 0.0;
    }
    xl(nv) = 0.0;
    dv(nv) = 1.0;
    for (int i = 1; i <= meq; ++i)
      lt(i) = 2 * nv + i;
    lt(meq + 1) = 2 * nv;  // the upper bound of ξ
    for (int i = 1; i <= nv; ++i) {
      bm(nv, i) = 0.0;
      bm(i, nv) = 0.0;
    }
  }

  for (int i = 1; i <= n; ++i)
    cq(i) = -gv(i);
  cq(nv) = lim.qbig;
  for (int j = 1; j <= m; ++j) {
    for (int i = 1; i <= n; ++i)
      am(i, j) = cjm(i, j);
    if (j > meq && cv(j) >= 0.0) {
      bv(j) = -cv(j);
      am(nv, j) = 0.0;
    } else {
      bv(j) = 0.0;
      am(nv, j) = cv(j);
    }
  }
  xu(nv) = 1.0;

  bool retried = false;
  for (;;) {
    // The outcome is judged by ξ and its bound below: an infeasible start leaves
    // ξ where it was and the bound inactive.
    static_cast<void>(ve02ad(nv, mt, hess, ld, qp.cq, qp.a, ld, qp.b, qp.xl, qp.xu, delta, k, meq,
                             wk, qp_work_ld, qp.lt, qpmode, lim, diagnostics));
    const double xi = dv(nv);
    if (xi <= lim.qeps) {
      info = 5;
      return;
    }
    bool bound_active = false;
    for (int i = 1; i <= k; ++i)
      if (lt(i) == 2 * nv) bound_active = true;
    if (bound_active) break;
    if (retried) {
      info = 5;
      return;
    }
    // The relaxed constraints could not all be met with ξ = 1: ask for a little
    // less than the ξ reached and solve again from the current active set.
    retried = true;
    xu(nv) = 0.9 * xi;
  }

  // Multipliers of the active general constraints: row i of T times the gradient
  // of the subproblem at its solution.
  const core::vec1 lam(vlam);
  const core::vec1 mu(vmu);
  const std::span<const double> grad = std::span<const double>(delta).subspan(
      static_cast<std::size_t>(6 * nv), static_cast<std::size_t>(nv));
  for (int j = 1; j <= m; ++j)
    lam(j) = 0.0;
  for (int i = 1; i <= k; ++i) {
    if (lt(i) <= 2 * nv) continue;
    const std::span<const double> t_row =
        std::span<const double>(wk).subspan(static_cast<std::size_t>(nv + i - 1));
    lam(lt(i) - 2 * nv) = sdotm(nv, t_row, qp_work_ld, grad, 1);
  }
  for (int j = 1; j <= m; ++j) {
    const double a = std::abs(lam(j));
    double v = std::fmax(a, (mu(j) + a) / 2.0);
    if (std::isnan(v)) v = lim.qeps;
    mu(j) = std::copysign(std::clamp(std::abs(v), lim.qeps, lim.qbig), v);
  }
}

}  // namespace inhibra::optim
