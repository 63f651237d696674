#include "optim/minsvd_mod.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

#include "core/capacities.hpp"
#include "core/one_based.hpp"

namespace inhibra::optim {

namespace {

constexpr double golden_step = 1.618034;    // bracket growth
constexpr double parabola_reach = 9.0;      // largest parabolic step, in |c - h|
constexpr double golden_shrink = 0.381966;  // bracket reduction
constexpr int max_rounds = 25;              // interpolation rounds of one line search
constexpr int max_runs = 10;                // restarts of nminsvd

}  // namespace

double fln(const value_function& value, double h, std::span<const double> d_store,
           std::span<const double> x0_store, int n, int /*np*/, int& nfe) {
  ++nfe;
  const auto un = static_cast<std::size_t>(std::max(n, 0));
  std::array<double, core::max_par> small{};
  std::vector<double> large;
  std::span<double> y_store;
  if (un <= small.size()) {
    y_store = std::span(small).first(un);
  } else {
    large.resize(un);
    y_store = large;
  }
  const core::cvec1 d(d_store);
  const core::cvec1 x0(x0_store);
  const core::vec1 y(y_store);
  for (int i = 1; i <= n; ++i) {
    y(i) = x0(i) + d(i) * h;
    y(i) = std::abs(y(i));
  }
  return value(y_store);
}

minsvd_ier linmnf(const value_function& value, double& t, double& h, double& fmin, double rel,
                  double abs, std::span<const double> d, std::span<const double> x0, int n, int np,
                  int& nfe) {
  auto at = [&](double step) { return fln(value, step, d, x0, n, np, nfe); };
  double fh = at(h);
  const double s = (h - t) * golden_step;
  double c = fmin > fh ? t + s : t - s;
  double fc = at(c);
  for (int k = 1;; ++k) {
    if (k > max_rounds) return minsvd_ier::line_search_limit;
    // Vertex of the parabola through (t, fmin), (h, fh), (c, fc), as c + p/q.
    const double r = (c - h) * (fc - fmin);
    double q = (c - t) * (fc - fh);
    double p = (c - t) * q - (c - h) * r;
    q = 2.0 * (q - r);
    if (q > 0.0) p = -p;
    q = std::abs(q);
    double u = t;
    double fu = 0.0;
    if (std::abs(q * parabola_reach * (c - h)) > std::abs(p)) {
      u = p / q + c;
      fu = at(u);
      if (fmin > fu) {
        t = u;
        fmin = fu;
        return minsvd_ier::ok;
      }
    }
    if (fmin > fh) {
      t = h;
      fmin = fh;
      return minsvd_ier::ok;
    }
    if (fmin > fc) {
      t = c;
      fmin = fc;
      return minsvd_ier::ok;
    }
    if (u != t) {
      // The parabolic point was tried and is no better: it may tighten its side.
      if ((h - t > 0.0) == (u - t > 0.0)) {
        if (std::abs(h - t) * 0.5 > std::abs(u - t)) {
          h = u;
          fh = fu;
        } else {
          h = t + (h - t) * golden_shrink;
          fh = at(h);
        }
      } else {
        if (std::abs(c - t) * 0.5 > std::abs(u - t)) {
          c = u;
          fc = fu;
        } else {
          c = t + (c - t) * golden_shrink;
          fc = at(c);
        }
      }
    } else if (std::abs(c - t) > std::abs(h - t)) {
      c = t + (c - t) * golden_shrink;
      fc = at(c);
    } else {
      h = t + (h - t) * golden_shrink;
      fh = at(h);
    }
    if (fmin > fh) {
      t = h;
      fmin = fh;
    }
    if (std::fmax(abs, rel * std::abs(fmin)) > std::fmin(fh - fmin, fc - fmin)) {
      return minsvd_ier::ok;
    }
  }
}

minsvd_ier nminf(const value_problem& p, int np, std::span<double> x_store, double& f, int maxit,
                 int& nfe, double rel, double abs) {
  const int n = p.n;
  if (n <= 1 || x_store.size() < static_cast<std::size_t>(n)) {
    return minsvd_ier::too_few_parameters;
  }
  minsvd_ier ier = minsvd_ier::ok;
  const auto un = static_cast<std::size_t>(n);
  // Work matrix, n rows by 2(n + 1) columns: directions 1..n; n+1: line-search base
  // point, then the singular values; n+2: scratch of the decomposition; n+3: step
  // length per direction; n+4: curvature per direction; n+3..2n+2: right singular
  // vectors during the decomposition.
  std::vector<double> work(un * 2 * (un + 1), 0.0);
  const core::mat1 wm(work, n);
  auto column = [&](int j) {
    return std::span(work).subspan((static_cast<std::size_t>(j) - 1) * un, un);
  };
  const int base = n + 1;
  const int step = n + 3;
  const int curv = n + 4;
  for (int j = 1; j <= n; ++j)
    wm(j, j) = 1.0;
  const core::vec1 x(x_store.first(un));

  f = p.value(x.span());
  ++nfe;
  double fprev = f;  // value before the last extra line search
  for (int it = 1;; ++it) {
    if (it > maxit) {
      ier = minsvd_ier::iteration_limit;
      break;
    }
    const double f0 = f;
    for (int k = 1; k <= n; ++k) {
      for (int i = 1; i <= n; ++i)
        wm(i, base) = x(i);
      double fk = f;
      double dmax = 0.0;
      int jbest = 1;
      for (int j = 1; j <= n; ++j) {
        const double fj = fk;
        double t = 0.0;
        double h = wm(j, step) != 0.0 ? wm(j, step) : 1.0;
        const minsvd_ier line =
            linmnf(p.value, t, h, fk, rel, abs, column(j), column(base), n, np, nfe);
        if (line != minsvd_ier::ok) ier = line;
        wm(j, step) = t;
        if (t != 0.0) wm(j, curv) = std::abs((fj - fk) / (t * t));
        for (int i = 1; i <= n; ++i)
          wm(i, base) = wm(i, base) + t * wm(i, j);
        if (j <= n - k + 1 && fj - fk >= dmax) {
          dmax = fj - fk;
          jbest = j;
        }
      }
      // Drop the direction of the largest decrease; the sweep's displacement becomes
      // the last direction.
      for (int j = jbest; j < n; ++j) {
        for (int i = 1; i <= n; ++i)
          wm(i, j) = wm(i, j + 1);
        wm(j, step) = wm(j + 1, step);
        wm(j, curv) = wm(j + 1, curv);
      }
      for (int i = 1; i <= n; ++i)
        wm(i, n) = wm(i, base) - x(i);
      // Extra line search along it from x itself.
      double t = 0.0;
      double h = 1.0;
      fprev = f;
      wm(n, curv) = 0.0;
      for (int i = 1; i <= n; ++i)
        wm(i, base) = x(i);
      const minsvd_ier line =
          linmnf(p.value, t, h, f, rel, abs, column(n), column(base), n, np, nfe);
      if (line != minsvd_ier::ok) ier = line;
      wm(n, step) = t;
      if (t != 0.0) wm(n, curv) = std::abs((fprev - f) / (t * t));
      for (int i = 1; i <= n; ++i)
        x(i) = x(i) + t * wm(i, n);
    }

    project(p, x.span());
    f = p.value(x.span());
    if (std::fmax(abs, rel * std::abs(f)) > std::abs(f - f0)) break;
    if (ier != minsvd_ier::ok) break;

    // Scale every direction by its curvature and rebuild the set from the
    // decomposition of the scaled directions.
    for (int j = 1; j <= n; ++j) {
      if (wm(j, curv) > 0.0) {
        const double root = std::sqrt(wm(j, curv));
        for (int i = 1; i <= n; ++i)
          wm(i, j) = wm(i, j) / root;
      }
    }
    const svd_ier dec =
        svd(n, n, std::span(work).first(un * un), std::span(work).subspan(un * (un + 2), un * un),
            column(base), n, n, column(n + 2));
    if (dec != svd_ier::ok) {
      ier = static_cast<minsvd_ier>(static_cast<int>(dec));
      break;
    }
    // When the bounding step raised the value above the one before the last extra
    // line search, the difference is negative; its magnitude still measures how far
    // the last iteration moved the value, so the steps are taken from that.
    const double scale = std::sqrt(std::abs(fprev - f));
    for (int j = 1; j <= n; ++j) {
      const double wj = wm(j, base);
      wm(j, step) = scale * wj;
      wm(j, curv) = wj != 0.0 ? 1.0 / (wj * wj) : 0.0;
    }
  }
  return ier;
}

minsvd_ier nminsvd(const value_problem& p, int np, std::span<double> x, double& f, int maxit,
                   int& nfe) {
  const double rel = 1e-8;
  const double abs = 1e-8 * 2.2e-8;
  minsvd_ier ier = minsvd_ier::ok;
  nfe = 0;
  for (int run = 1; run <= max_runs; ++run) {
    // A run that evaluates nothing leaves the value as it was.
    double fnew = f;
    ier = nminf(p, np, x, fnew, maxit, nfe, rel, abs);
    if (std::fmax(std::abs(fnew) * rel, abs) > std::abs(f - fnew)) break;
    f = fnew;
  }
  return ier;
}

}  // namespace inhibra::optim
