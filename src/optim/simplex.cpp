#include "optim/simplex.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "core/one_based.hpp"
#include "models/objective.hpp"
#include "optim/dorunrun.hpp"
#include "optim/golden_search.hpp"

namespace inhibra::optim {

namespace {

constexpr double sqrt2 = 1.4142135623730951;
constexpr int max_vertices = simplex_max_n + 1;

// A point of the simplex; coordinate i = 1..n sits at index i - 1.
using point = std::array<double, simplex_max_n>;

// Vertex table: vertex v = 0..n, coordinate i = 1..n.
struct vertex_table {
  std::array<point, max_vertices> p{};
  std::array<double, max_vertices> y{};

  point& vertex(int v) { return p[static_cast<std::size_t>(v)]; }
  double& at(int v, int i) { return vertex(v)[static_cast<std::size_t>(i - 1)]; }
  double& value(int v) { return y[static_cast<std::size_t>(v)]; }
};

// The point is copied into the caller's x and evaluated there, so x always holds
// the last point evaluated.
double evaluate(core::fit_context& ctx, int n, std::span<double> x, const point& pt) {
  std::copy_n(pt.begin(), n, x.begin());
  return models::objective_value(ctx, x);
}

// A value that is not a number is worse than any number, so a vertex without a
// value is the first to be replaced and never taken as the answer while another
// vertex has one.
bool worse(double a, double b) {
  return a > b || (std::isnan(a) && !std::isnan(b));
}

// Index of the lowest value, the first one on ties.
int lowest(vertex_table& t, int n) {
  int l = 0;
  for (int j = 1; j <= n; ++j) {
    if (worse(t.value(l), t.value(j))) l = j;
  }
  return l;
}

// Index of the highest value, the first one on ties.
int highest(vertex_table& t, int n) {
  int h = 0;
  for (int j = 1; j <= n; ++j) {
    if (worse(t.value(j), t.value(h))) h = j;
  }
  return h;
}

}  // namespace

simplex_summary simplex(core::fit_context& ctx, int n, std::span<double> x, double& f, double ftol,
                        double scale, int maxiter) {
  simplex_summary summary;
  const std::int64_t before = ctx.value_evaluations + ctx.full_evaluations;
  auto finish = [&]() {
    summary.evaluations = ctx.value_evaluations + ctx.full_evaluations - before;
    return summary;
  };
  if (n < 2 || n > simplex_max_n || x.size() < static_cast<std::size_t>(n)) {
    f = models::objective_value(ctx, x);
    return finish();
  }
  const int model = ctx.model;
  const core::vec1 xv(x);
  vertex_table t;
  point vm{};  // centroid of every vertex but the highest
  point vr{};  // reflected point
  point ve{};  // expanded point
  point vc{};  // contracted point

  // Regular starting simplex around x.
  const double s = std::sqrt(static_cast<double>(n + 1));
  const double pbig = scale * (s - 1.0 + n) / (n * sqrt2);
  const double psmall = scale * (s - 1.0) / (n * sqrt2);
  for (int i = 1; i <= n; ++i)
    t.at(0, i) = xv(i);
  for (int k = 1; k <= n; ++k) {
    for (int i = 1; i <= n; ++i)
      t.at(k, i) = xv(i) + (i == k ? pbig : psmall);
  }
  for (int k = 0; k <= n; ++k)
    t.value(k) = evaluate(ctx, n, x, t.vertex(k));

  double seed = 1024.0;
  summary.outcome = simplex_outcome::iteration_limit;
  for (int iter = 1; iter <= maxiter; ++iter) {
    summary.iterations = iter;
    const int h = highest(t, n);
    const int l = lowest(t, n);
    int nh = l;
    for (int j = 0; j <= n; ++j) {
      if (worse(t.value(j), t.value(nh)) && worse(t.value(h), t.value(j))) nh = j;
    }

    for (int i = 1; i <= n; ++i) {
      double sum = 0.0;
      for (int v = 0; v <= n; ++v) {
        if (v != h) sum += t.at(v, i);
      }
      vm[static_cast<std::size_t>(i - 1)] = sum / n;
    }

    auto replace_highest = [&](const point& pt, double value) {
      t.vertex(h) = pt;
      t.value(h) = value;
    };
    for (int i = 0; i < n; ++i) {
      const auto k = static_cast<std::size_t>(i);
      vr[k] = 2.0 * vm[k] - t.vertex(h)[k];
    }
    const double yr = evaluate(ctx, n, x, vr);
    if (worse(yr, t.value(l)) && !worse(yr, t.value(nh))) {
      replace_highest(vr, yr);
    } else if (!worse(yr, t.value(l))) {
      for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        ve[k] = 2.0 * vr[k] - vm[k];
      }
      const double ye = evaluate(ctx, n, x, ve);
      if (!worse(yr, ye)) {
        replace_highest(vr, yr);
      } else {
        replace_highest(ve, ye);
      }
    } else {
      for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        vc[k] = 0.5 * t.vertex(h)[k] + 0.5 * vm[k];
      }
      const double yc = evaluate(ctx, n, x, vc);
      if (worse(t.value(h), yc)) {
        replace_highest(vc, yc);
      } else {
        // Shrink towards the lowest vertex. Only the highest and the second highest
        // vertices are evaluated again; the others keep their old values.
        for (int v = 0; v <= n; ++v) {
          if (v == l) continue;
          for (int i = 1; i <= n; ++i)
            t.at(v, i) = t.at(l, i) + (t.at(v, i) - t.at(l, i)) / 2.0;
        }
        t.value(h) = evaluate(ctx, n, x, t.vertex(h));
        t.value(nh) = evaluate(ctx, n, x, t.vertex(nh));
      }
    }

    // Spread of the first n vertex values.
    double sum = 0.0;
    for (int v = 0; v < n; ++v)
      sum += t.value(v);
    const double ybar = sum / (n + 1);
    double squares = 0.0;
    for (int v = 0; v < n; ++v) {
      const double d = t.value(v) - ybar;
      squares += d * d;
    }
    const double sd = std::sqrt(squares / (n - 1));

    bool restarted = false;
    if (model >= 8 && (sd > ftol || sd == 0.0)) {
      if (iter <= 19) {
        golden_ab_search(ctx, n, x, f);
        seed = seed + 64.0;
        int runs = 15;
        dorunrun(ctx, n, seed, runs, x, f);
        golden_ab_search(ctx, n, x, f);
        if (iter >= maxiter) break;
        restarted = true;
      }
    } else if (model >= 3 && model <= 7 && sd > ftol && iter <= 19) {
      golden_ab_search(ctx, n, x, f);
      if (iter >= maxiter) break;
      restarted = true;
    }
    if (!restarted && iter > maxiter / 100 && sd <= ftol) {
      summary.outcome = simplex_outcome::spread_reached;
      break;
    }

    // Positivity safeguard on the lowest vertex, driven by the caller's current x.
    for (int i = 1; i <= n; ++i) {
      if (xv(i) < 1e-6) {
        const double p = t.at(l, i);
        t.at(l, i) =
            2.0 * p * ((std::atan(std::abs(p)) + std::numbers::pi / 2.0) / std::numbers::pi - 0.5) +
            1e-6;
      }
    }
  }

  const int l = lowest(t, n);
  f = evaluate(ctx, n, x, t.vertex(l));
  return finish();
}

}  // namespace inhibra::optim
