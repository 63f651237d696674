#pragma once
// Independent answers for small quadratic programmes: every admissible active
// set is tried by brute force, its equality-constrained problem solved by plain
// Gaussian elimination, and the one point that is feasible with multipliers of
// the right sign is kept (unique for a strictly convex objective).
//   minimise ½xᵀGx - cqᵀx  subject to  xl <= x <= xu,  aⱼᵀx >= bⱼ (= for j < ke)
#include <cmath>
#include <optional>
#include <vector>

namespace inhibra::optim::testing {

struct small_qp {
  int nv = 0;
  std::vector<double> g;   // nv x nv by column
  std::vector<double> cq;  // nv
  std::vector<double> xl, xu;
  std::vector<std::vector<double>> a;  // normals of the general constraints
  std::vector<double> b;
  int ke = 0;

  [[nodiscard]] int m() const { return static_cast<int>(a.size()); }
  // Normal and right-hand side of constraint i in the numbering bounds first
  // (lower, then upper), general last; 0-based.
  [[nodiscard]] std::vector<double> normal(int i) const {
    std::vector<double> v(static_cast<std::size_t>(nv), 0.0);
    if (i < nv)
      v[static_cast<std::size_t>(i)] = 1.0;
    else if (i < 2 * nv)
      v[static_cast<std::size_t>(i - nv)] = -1.0;
    else
      v = a[static_cast<std::size_t>(i - 2 * nv)];
    return v;
  }
  [[nodiscard]] double rhs(int i) const {
    if (i < nv) return xl[static_cast<std::size_t>(i)];
    if (i < 2 * nv) return -xu[static_cast<std::size_t>(i - nv)];
    return b[static_cast<std::size_t>(i - 2 * nv)];
  }
  [[nodiscard]] double residual(int i, const std::vector<double>& x) const {
    const auto n = normal(i);
    double s = 0.0;
    for (std::size_t r = 0; r < n.size(); ++r)
      s += n[r] * x[r];
    return s - rhs(i);
  }
};

// Solves the square system m·z = rhs (m by column, order n) by Gaussian
// elimination with partial pivoting; nothing when it is (nearly) singular.
inline std::optional<std::vector<double>> solve_linear(std::vector<double> m,
                                                       std::vector<double> rhs, int n) {
  auto at = [&](int i, int j) -> double& { return m[static_cast<std::size_t>(i + j * n)]; };
  for (int j = 0; j < n; ++j) {
    int p = j;
    for (int i = j + 1; i < n; ++i)
      if (std::abs(at(i, j)) > std::abs(at(p, j))) p = i;
    if (std::abs(at(p, j)) < 1e-12) return std::nullopt;
    for (int c = 0; c < n; ++c)
      std::swap(at(j, c), at(p, c));
    std::swap(rhs[static_cast<std::size_t>(j)], rhs[static_cast<std::size_t>(p)]);
    for (int i = j + 1; i < n; ++i) {
      const double f = at(i, j) / at(j, j);
      for (int c = j; c < n; ++c)
        at(i, c) -= f * at(j, c);
      rhs[static_cast<std::size_t>(i)] -= f * rhs[static_cast<std::size_t>(j)];
    }
  }
  std::vector<double> z(static_cast<std::size_t>(n));
  for (int i = n - 1; i >= 0; --i) {
    double s = rhs[static_cast<std::size_t>(i)];
    for (int c = i + 1; c < n; ++c)
      s -= at(i, c) * z[static_cast<std::size_t>(c)];
    z[static_cast<std::size_t>(i)] = s / at(i, i);
  }
  return z;
}

// The solution, or nothing when no active set gives a KKT point.
inline std::optional<std::vector<double>> solve_by_enumeration(const small_qp& qp) {
  const int total = 2 * qp.nv + qp.m();
  const int first_general = 2 * qp.nv;
  std::optional<std::vector<double>> best;
  for (long mask = 0; mask < (1L << total); ++mask) {
    std::vector<int> act;
    bool ok = true;
    for (int i = 0; i < total; ++i) {
      const bool in = (mask >> i) & 1L;
      const bool eq = i >= first_general && i - first_general < qp.ke;
      if (eq && !in) ok = false;
      if (in) act.push_back(i);
    }
    if (!ok || static_cast<int>(act.size()) > qp.nv) continue;
    const int k = static_cast<int>(act.size());
    const int order = qp.nv + k;
    std::vector<double> kkt(static_cast<std::size_t>(order * order), 0.0);
    std::vector<double> rhs(static_cast<std::size_t>(order), 0.0);
    auto at = [&](int i, int j) -> double& { return kkt[static_cast<std::size_t>(i + j * order)]; };
    for (int i = 0; i < qp.nv; ++i) {
      for (int j = 0; j < qp.nv; ++j)
        at(i, j) = qp.g[static_cast<std::size_t>(i + j * qp.nv)];
      rhs[static_cast<std::size_t>(i)] = qp.cq[static_cast<std::size_t>(i)];
    }
    for (int c = 0; c < k; ++c) {
      const auto n = qp.normal(act[static_cast<std::size_t>(c)]);
      for (int r = 0; r < qp.nv; ++r) {
        at(r, qp.nv + c) = -n[static_cast<std::size_t>(r)];  // G x - N λ = cq
        at(qp.nv + c, r) = n[static_cast<std::size_t>(r)];
      }
      rhs[static_cast<std::size_t>(qp.nv + c)] = qp.rhs(act[static_cast<std::size_t>(c)]);
    }
    const auto z = solve_linear(kkt, rhs, order);
    if (!z) continue;
    std::vector<double> x(z->begin(), z->begin() + qp.nv);
    bool kkt_point = true;
    for (int i = 0; i < total && kkt_point; ++i)
      if (qp.residual(i, x) < -1e-9) kkt_point = false;
    for (int c = 0; c < k && kkt_point; ++c) {
      const int i = act[static_cast<std::size_t>(c)];
      const bool eq = i >= first_general && i - first_general < qp.ke;
      if (!eq && (*z)[static_cast<std::size_t>(qp.nv + c)] < -1e-9) kkt_point = false;
    }
    if (kkt_point) {
      best = x;
      break;
    }
  }
  return best;
}

}  // namespace inhibra::optim::testing
