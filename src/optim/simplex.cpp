#include "optim/simplex.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "core/one_based.hpp"
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
double evaluate(const value_problem& p, std::span<double> x, const point& pt) {
  std::copy_n(pt.begin(), p.n, x.begin());
  return p.value(x);
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

simplex_summary simplex(const value_problem& problem, std::span<double> x, double& f,
                        const simplex_policy& policy, double& rng) {
  simplex_summary summary;
  // Every evaluation, the restart searches' included, goes through this counting
  // copy of the problem.
  value_problem p = problem;
  p.value = [&summary, &problem](std::span<const double> point) {
    ++summary.evaluations;
    return problem.value(point);
  };
  const int n = p.n;
  const double ftol = policy.ftol;
  const double scale = policy.scale;
  const int maxiter = policy.maxiter;
  if (n < 2 || n > simplex_max_n || x.size() < static_cast<std::size_t>(n)) {
    f = p.value(x);
    return summary;
  }
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
    t.value(k) = evaluate(p, x, t.vertex(k));

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
    const double yr = evaluate(p, x, vr);
    if (worse(yr, t.value(l)) && !worse(yr, t.value(nh))) {
      replace_highest(vr, yr);
    } else if (!worse(yr, t.value(l))) {
      for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        ve[k] = 2.0 * vr[k] - vm[k];
      }
      const double ye = evaluate(p, x, ve);
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
      const double yc = evaluate(p, x, vc);
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
        t.value(h) = evaluate(p, x, t.vertex(h));
        t.value(nh) = evaluate(p, x, t.vertex(nh));
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
    if (policy.restarts == simplex_restarts::shape_and_random_search && (sd > ftol || sd == 0.0)) {
      if (iter <= 19) {
        golden_ab_search(p, x, f, policy.shape);
        seed = seed + 64.0;
        int runs = 15;
        dorunrun(p, seed, runs, x, f, rng);
        golden_ab_search(p, x, f, policy.shape);
        if (iter >= maxiter) break;
        restarted = true;
      }
    } else if (policy.restarts == simplex_restarts::shape_search && sd > ftol && iter <= 19) {
      golden_ab_search(p, x, f, policy.shape);
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
  f = evaluate(p, x, t.vertex(l));
  return summary;
}

}  // namespace inhibra::optim
