#include "optim/vmcon4_mod.hpp"

#include <cassert>
#include <cmath>
#include <ostream>

#include "core/one_based.hpp"

namespace inhibra::optim {

namespace {

constexpr int ld = core::max_par;

void set_identity(std::span<double> b) {
  const core::mat1 bm(b, ld);
  for (int j = 1; j <= ld; ++j)
    for (int i = 1; i <= ld; ++i)
      bm(i, j) = i == j ? 1.0 : 0.0;
}

// Gradient of the Lagrangian, g - Σ vlam(j)·cjac(., j) over the nonzero
// multipliers.
void lagrangian_gradient(int n, int m, core::cvec1 g, core::cmat1 cjac, core::cvec1 vlam,
                         core::vec1 glag) {
  for (int i = 1; i <= n; ++i)
    glag(i) = g(i);
  for (int j = 1; j <= m; ++j) {
    if (vlam(j) == 0.0) continue;
    for (int i = 1; i <= n; ++i)
      glag(i) = glag(i) - vlam(j) * cjac(i, j);
  }
}

void print_closing(std::ostream& out, vmcon4_info info) {
  switch (info) {
    case vmcon4_info::converged:
      out << "CONVERGED: THE CONVERGENCE TEST VALUE IS WITHIN THE TOLERANCE.\n";
      break;
    case vmcon4_info::too_many_iterations:
      out << "Q.P. ITERATIONS EXCEEDED ALLOWABLE MAXIMUM DURING\nPROGRAM EXECUTION\n";
      break;
    case vmcon4_info::line_search_failed:
      out << "CALLS TO CALCFG EXCEEDED ALLOWABLE MAXIMUM DURING\nLINE SEARCH.\n";
      break;
    case vmcon4_info::uphill_direction:
      out << "AN UPHILL SEARCH DIRECTION WAS CALCULATED.\n";
      break;
    case vmcon4_info::no_feasible_step:
      out << "NO FEASIBLE POINT IS FOUND BY LA02AD.\n";
      break;
    case vmcon4_info::fresh_start:
      break;
  }
}

}  // namespace

void mach_prec(double& qeps, double& qbig) {
  double e = 1e-60;
  double a = 1.0;
  double b = 1.0;
  do {
    e = 2.0 * e;
    a = 1.0 + 0.1 * e;
    b = 1.0 + 0.2 * e;
  } while (a <= 1.0 && a >= b);
  qeps = (e + 1.0) * e;
  qbig = 2.0 / qeps;
}

sqp_workspace::sqp_workspace() {
  set_identity(hessian);
}

bool bfgs_update(int n, std::span<double> b, std::span<const double> delta,
                 std::span<const double> y) {
  const core::mat1 bm(b, ld);
  const core::cvec1 d(delta);
  const core::cvec1 yv(y);
  std::array<double, core::max_par> bd_storage{};
  std::array<double, core::max_par> gamma_storage{};
  const core::vec1 bd(bd_storage);
  const core::vec1 gamma(gamma_storage);

  for (int i = 1; i <= n; ++i) {
    double s = 0.0;
    for (int j = 1; j <= n; ++j)
      s = s + bm(i, j) * d(j);
    bd(i) = s;
  }
  double sdy = 0.0;
  double dbd = 0.0;
  for (int i = 1; i <= n; ++i) {
    sdy = sdy + d(i) * yv(i);
    dbd = dbd + d(i) * bd(i);
  }
  bool damped = false;
  if (sdy < 0.1 * dbd) {
    // Too little curvature along the step: mix in B·delta so that the update
    // keeps B positive definite.
    const double theta = (dbd - 0.1 * dbd) / (dbd - sdy);
    for (int i = 1; i <= n; ++i)
      gamma(i) = theta * yv(i) + (1.0 - theta) * bd(i);
    sdy = 0.1 * dbd;
    damped = true;
  } else {
    for (int i = 1; i <= n; ++i)
      gamma(i) = yv(i);
  }
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= j; ++i) {
      bm(i, j) = bm(i, j) - bd(i) * bd(j) / dbd + gamma(i) * gamma(j) / sdy;
      bm(j, i) = bm(i, j);
    }
  }
  return damped;
}

namespace {

// The method's iterations. maxit: iteration limit; tol: required convergence test
// value; iprint < 0: no printout, otherwise a short report to ws.diagnostics; info:
// in, fresh_start or anything else (continue from ws.hessian), out, the outcome;
// maxls: evaluations allowed in one line search; cnorm (out): the last convergence
// test value |gᵀd| + Σ|vlam(j)·c(j)|; niter (in/out): increased by one per
// iteration; nruns: iterations of the caller's earlier calls, shown in the printout
// only; qpmode: start mode of the subproblem solver.
void vmcon4_iterations(const constrained_problem& p, sqp_workspace& ws, int n, std::span<double> x,
                       double& f, std::span<double> g, std::span<double> c, std::span<double> cjac,
                       int maxit, double tol, int iprint, vmcon4_info& info, int maxls,
                       double& cnorm, int& niter, int nruns, int qpmode,
                       std::int64_t& evaluations) {
  assert(n >= 1 && n <= sqp_max_par);
  std::ostream* const out = iprint >= 0 ? ws.diagnostics : nullptr;

  auto evaluate = [&]() {
    p.evaluate(x, f, g, c, cjac);
    ++evaluations;
  };
  evaluate();
  const int m = p.m;
  const int meq = p.meq;
  assert(m >= 0 && m <= core::max_constraints && meq >= 0 && meq <= m);
  mach_prec(ws.limits.qeps, ws.limits.qbig);

  ws.xa.fill(0.0);
  ws.qp = qp_data{};
  ws.delta.fill(0.0);
  ws.wk.fill(0.0);
  ws.vlam.fill(0.0);
  ws.vmu.fill(0.0);
  if (info == vmcon4_info::fresh_start) set_identity(ws.hessian);

  if (out != nullptr) {
    *out << "vmcon4: n = " << n << ", m = " << m << ", meq = " << meq << ", maxit = " << maxit
         << ", maxls = " << maxls << ", tol = " << tol << ", earlier iterations = " << nruns
         << '\n';
  }
  auto finish = [&](vmcon4_info outcome) {
    info = outcome;
    if (out != nullptr) print_closing(*out, info);
  };

  const core::vec1 xv(x);
  const core::cvec1 gv(g);
  const core::cvec1 cv(c);
  const core::cmat1 cjm(std::span<const double>(cjac), ld);
  const core::vec1 xa(ws.xa);
  const core::vec1 dv(ws.delta);
  const core::cvec1 lam(ws.vlam);
  const core::vec1 mu(ws.vmu);
  std::array<double, core::max_par> glag_storage{};
  std::array<double, core::max_par> glag_old_storage{};
  std::array<double, core::max_par> y_storage{};
  const core::vec1 glag(glag_storage);
  const core::vec1 glag_old(glag_old_storage);
  auto last_equality_violation = [&]() { return m >= 1 && m <= meq ? std::abs(cv(m)) : 0.0; };

  for (;;) {
    ++niter;
    for (int i = 1; i <= n; ++i)
      xa(i) = xv(i);
    if (niter > maxit) {
      finish(vmcon4_info::too_many_iterations);
      return;
    }

    // The subproblem, from scratch and once more from its own active set.
    int qinfo = -1;
    qpsub(n, m, meq, g, c, cjac, qinfo, qpmode, ws.vlam, ws.vmu, ws.delta, ws.hessian, ws.wk, ws.qp,
          ws.limits, ws.diagnostics);
    qinfo = 0;
    qpsub(n, m, meq, g, c, cjac, qinfo, qpmode, ws.vlam, ws.vmu, ws.delta, ws.hessian, ws.wk, ws.qp,
          ws.limits, ws.diagnostics);
    ws.subproblem_solves += 2;
    info = qinfo == 5 ? vmcon4_info::no_feasible_step : vmcon4_info::converged;
    for (int i = 1; i <= n; ++i)
      if (std::isnan(dv(i))) dv(i) = 0.1 * 0.1 * xv(i);

    lagrangian_gradient(n, m, gv, cjm, lam, glag);
    for (int i = 1; i <= n; ++i)
      glag_old(i) = glag(i);
    double dflsa = 0.0;
    for (int i = 1; i <= n; ++i)
      dflsa = dflsa + gv(i) * dv(i);
    for (int j = 1; j <= m; ++j) {
      const double a = std::abs(lam(j));
      mu(j) = std::fmax(a, (mu(j) + a) / 2.0);
    }

    cnorm = std::abs(dflsa);
    for (int j = 1; j <= m; ++j)
      cnorm = cnorm + std::abs(lam(j) * cv(j));
    if (out != nullptr) *out << "iteration " << niter << ": convergence value " << cnorm << '\n';
    if (tol >= cnorm) {
      finish(info);
      return;
    }

    // Line search on the L1 merit function; k counts its evaluations.
    int k = 1;
    double flsa = 0.0;
    double dg = 0.0;
    for (;;) {
      double sum = 0.0;
      for (int j = 1; j <= m; ++j) {
        const double e = j <= meq ? cv(j) : 0.0;
        sum = sum + mu(j) * std::fmax(-cv(j), e);
      }
      if (std::isnan(sum)) sum = last_equality_violation();
      const double merit = f + sum;
      double alpha = 1.0;
      if (k == 1) {
        flsa = merit;
        dg = dflsa - dv(n + 1) * sum;
        if (std::isnan(dg)) dg = dflsa - 0.1 * sum;
        if (dg >= 0.0) {
          finish(vmcon4_info::uphill_direction);
          return;
        }
      } else {
        const double change = merit - flsa;
        if (0.1 * dg >= change) break;
        alpha = std::fmax(0.5 * dg / (dg - change), 0.1);
      }
      for (int i = 1; i <= n + 1; ++i)
        dv(i) = dv(i) * alpha;
      for (int i = 1; i <= n; ++i)
        xv(i) = xa(i) + dv(i);
      dg = dg * alpha;
      ++k;
      evaluate();
      if (k > maxls) {
        finish(vmcon4_info::line_search_failed);
        return;
      }
    }

    // Damped BFGS update with the Lagrangian's gradient at the accepted point.
    lagrangian_gradient(n, m, gv, cjm, lam, glag);
    for (int i = 1; i <= n; ++i)
      y_storage[static_cast<std::size_t>(i - 1)] = glag(i) - glag_old(i);
    bfgs_update(n, ws.hessian, ws.delta, y_storage);
  }
}

}  // namespace

sqp_summary vmcon4(const constrained_problem& p, sqp_workspace& ws, std::span<double> x,
                   sqp_values& at, const sqp_options& options) {
  sqp_summary s;
  vmcon4_info info = options.fresh_start ? vmcon4_info::fresh_start : vmcon4_info::converged;
  vmcon4_iterations(p, ws, static_cast<int>(x.size()), x, at.f, at.g, at.c, at.cjac,
                    options.max_iterations, options.tolerance, options.print ? 0 : -1, info,
                    options.max_line_search, s.cnorm, s.iterations, options.earlier_iterations,
                    options.qp_mode, s.evaluations);
  s.info = info;
  return s;
}

}  // namespace inhibra::optim
