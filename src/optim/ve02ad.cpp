#include "optim/detail/ve02ad.hpp"

#include <array>
#include <cassert>
#include <limits>
#include <ostream>

#include "core/one_based.hpp"
#include "optim/detail/dot_products.hpp"
#include "optim/detail/la02ad.hpp"
#include "optim/detail/matrix_inverse.hpp"

// How H and T are kept.
// With N the matrix whose columns are the active normals, K = [G N; Nᵀ 0] is the
// matrix of the equality-constrained problem on the active set. H and T are two
// blocks of its inverse, K⁻¹ = [H Tᵀ; T U], so that H·N = 0 and T·N = I, and the
// third block is U = -T·G·Tᵀ. At a vertex H = 0 and T = N⁻¹.
//  - Dropping active constraint p deletes one row and column of K. With s = row p
//    of T (as a vector) and c = sᵀGs = -U(p,p) the inverse of the smaller matrix
//    is H + s·sᵀ/c and rows T(i) - (T(i)·G·s / c)·sᵀ, i ≠ p.
//  - Exchanging constraint p for constraint q changes row and column p of K, a
//    symmetric rank-two change, and the Sherman–Morrison–Woodbury formula gives
//    the new blocks. With wq = H·aq, h = aqᵀ·wq, beta = s·aq, tau(i) = T(i)·aq,
//    gamma(i) = T(i)·G·s and D = c·h + beta²:
//      H'    = H - (-h·s·sᵀ + beta·(s·wqᵀ + wq·sᵀ) + c·wq·wqᵀ) / D
//      T'(i) = T(i) - ((gamma(i)·h + (tau(i) - δ(i,p))·beta)·s
//                      + ((tau(i) - δ(i,p))·c - gamma(i)·beta)·wq) / D
//    Row p of T' then belongs to q. At a vertex (H = 0) this is the usual
//    pivoting exchange T'(p) = s/beta, T'(i) = T(i) - tau(i)·T'(p).
//  - Adding constraint q borders K by its normal: H' = H - wq·wqᵀ/h,
//    T'(i) = T(i) - tau(i)·wqᵀ/h and the new last row wqᵀ/h.
// A pivot (c, D or h) that is exactly zero is replaced by qeps.
//
// How the iterates move.
// From a feasible vertex the solver releases, one pass at a time, the active
// inequality with the largest test value u = -T(i)·r (r = G·x - cq), taking the
// Newton step to the minimiser on the reduced active set, or the step to the first
// blocking constraint, which then takes the released constraint's place. A blocked
// step leaves x short of the minimiser on its new active set; when no constraint
// asks for a release at such a point, the solver first completes the move (-H·r,
// again stopped and joined by the first blocking constraint), so that it only ever
// stops at a minimiser on its active set. There the matrix K is inverted afresh
// once per solve, which removes the rounding the updates have gathered.

namespace inhibra::optim {

namespace {

using vector_storage = std::array<double, qp_max_vars>;

// Row r of a matrix stored by columns, as a strided walk.
std::span<const double> row(std::span<const double> m, int r) {
  return m.subspan(static_cast<std::size_t>(r - 1));
}

class active_set_solver {
 public:
  active_set_solver(int nv, int mt, std::span<const double> g, int ldg, std::span<const double> cq,
                    std::span<const double> a, int lda, std::span<const double> b,
                    std::span<const double> xl, std::span<const double> xu, std::span<double> x,
                    int ke, std::span<double> w, int ldw, std::span<int> lt, const qp_limits& lim)
      : nv_(nv),
        mt_(mt),
        ke_(ke),
        ldg_(ldg),
        ldw_(ldw),
        g_(g),
        gm_(g, ldg),
        cq_(cq),
        cons_(nv, mt - 2 * nv, a, lda, b, xl, xu),
        a_(a),
        lda_(lda),
        b_(b),
        xl_(xl),
        xu_(xu),
        x_(x),
        xv_(x),
        w_(w),
        wm_(w, ldw),
        lt_(lt),
        lim_(lim) {}

  // Runs the method. At an optimal return `largest` is the largest multiplier
  // test value and `tested` says whether there was an active inequality to test;
  // `tested` is false after any other return.
  [[nodiscard]] qp_outcome solve(int& k, double& largest, bool& tested);

 private:
  [[nodiscard]] double t_dot(int i, std::span<const double> v) const {
    return sdotm(nv_, row(w_, nv_ + i), ldw_, v, 1);
  }
  [[nodiscard]] core::cvec1 xc() const { return core::cvec1(std::span<const double>(x_)); }
  [[nodiscard]] std::span<double> gradient() const {
    return x_.subspan(static_cast<std::size_t>(6 * nv_), static_cast<std::size_t>(nv_));
  }
  void times_g(std::span<const double> v, std::span<double> out) const;
  void store_gradient() const;
  void start_from_vertex();
  void drop(int p, int& k, std::span<const double> s, std::span<const double> gs, double c);
  void exchange(int p, int q, int k, std::span<const double> s, std::span<const double> gs,
                double c);
  void add(int q, int& k);
  void refactorize(int k);
  [[nodiscard]] double ratio_test(std::span<const double> step, int& q) const;
  void newton_step(std::span<const double> r, std::span<double> step) const;
  void move(double t, std::span<const double> step);

  int nv_, mt_, ke_, ldg_, ldw_;
  std::span<const double> g_;
  core::cmat1 gm_;
  core::cvec1 cq_;
  qp_constraints cons_;
  std::span<const double> a_;
  int lda_;
  std::span<const double> b_, xl_, xu_;
  std::span<double> x_;
  core::vec1 xv_;
  std::span<double> w_;
  core::mat1 wm_;
  core::ivec1 lt_;
  const qp_limits& lim_;
};

void active_set_solver::times_g(std::span<const double> v, std::span<double> out) const {
  for (int r = 1; r <= nv_; ++r)
    out[static_cast<std::size_t>(r - 1)] = sdotm(nv_, row(g_, r), ldg_, v, 1);
}

// G·x - cq into x(6nv+1..7nv).
void active_set_solver::store_gradient() const {
  vector_storage gx{};
  times_g(x_, gx);
  const auto r = gradient();
  for (int i = 0; i < nv_; ++i)
    r[static_cast<std::size_t>(i)] = gx[static_cast<std::size_t>(i)] - cq_(i + 1);
}

// After la02ad: H = 0 and T = the vertex inverse (rows nv+1..2nv).
void active_set_solver::start_from_vertex() {
  for (int c = 1; c <= nv_; ++c) {
    for (int r = 1; r <= nv_; ++r) {
      wm_(nv_ + r, c) = wm_(r, c);
      wm_(r, c) = 0.0;
    }
  }
}

void active_set_solver::drop(int p, int& k, std::span<const double> s, std::span<const double> gs,
                             double c) {
  const double pivot = c == 0.0 ? lim_.qeps : c;
  for (int i = 1; i <= k; ++i) {
    if (i == p) continue;
    const double f = t_dot(i, gs) / pivot;
    for (int col = 1; col <= nv_; ++col)
      wm_(nv_ + i, col) = wm_(nv_ + i, col) - f * s[static_cast<std::size_t>(col - 1)];
  }
  for (int col = 1; col <= nv_; ++col)
    for (int r = 1; r <= nv_; ++r)
      wm_(r, col) = wm_(r, col) + s[static_cast<std::size_t>(r - 1)] *
                                      s[static_cast<std::size_t>(col - 1)] / pivot;
  qp_flag(lt_, nv_, lt_(p)) = state_inactive;
  for (int i = p; i < k; ++i) {
    lt_(i) = lt_(i + 1);
    for (int col = 1; col <= nv_; ++col)
      wm_(nv_ + i, col) = wm_(nv_ + i + 1, col);
  }
  --k;
}

void active_set_solver::exchange(int p, int q, int k, std::span<const double> s,
                                 std::span<const double> gs, double c) {
  vector_storage aq{};
  for (int r = 1; r <= nv_; ++r)
    aq[static_cast<std::size_t>(r - 1)] = cons_.normal(q, r);
  vector_storage wq{};
  for (int r = 1; r <= nv_; ++r)
    wq[static_cast<std::size_t>(r - 1)] = sdotm(nv_, row(w_, r), ldw_, aq, 1);
  const double h = sdotm(nv_, aq, 1, wq, 1);
  const double beta = sdotm(nv_, s, 1, aq, 1);
  double d = c * h + beta * beta;
  if (d == 0.0) d = lim_.qeps;

  for (int i = 1; i <= k; ++i) {
    const double gamma = t_dot(i, gs);
    const double tau = t_dot(i, aq) - (i == p ? 1.0 : 0.0);
    const double fs = (gamma * h + tau * beta) / d;
    const double fw = (tau * c - gamma * beta) / d;
    for (int col = 1; col <= nv_; ++col) {
      const auto cc = static_cast<std::size_t>(col - 1);
      wm_(nv_ + i, col) = wm_(nv_ + i, col) - fs * s[cc] - fw * wq[cc];
    }
  }
  for (int col = 1; col <= nv_; ++col) {
    const auto cc = static_cast<std::size_t>(col - 1);
    for (int r = 1; r <= nv_; ++r) {
      const auto rr = static_cast<std::size_t>(r - 1);
      const double corr =
          -h * s[rr] * s[cc] + beta * (s[rr] * wq[cc] + wq[rr] * s[cc]) + c * wq[rr] * wq[cc];
      wm_(r, col) = wm_(r, col) - corr / d;
    }
  }
  qp_flag(lt_, nv_, lt_(p)) = state_inactive;
  lt_(p) = q;
  qp_flag(lt_, nv_, q) = cons_.is_equality(q, ke_) ? state_equality : state_active;
}

// Adds constraint q as active entry k + 1 (bordering K by its normal): with
// wq = H·aq and h = aqᵀ·wq, H' = H - wq·wqᵀ/h, T'(i) = T(i) - (T(i)·aq)·wqᵀ/h and
// the new row wqᵀ/h.
void active_set_solver::add(int q, int& k) {
  vector_storage aq{};
  for (int r = 1; r <= nv_; ++r)
    aq[static_cast<std::size_t>(r - 1)] = cons_.normal(q, r);
  vector_storage wq{};
  for (int r = 1; r <= nv_; ++r)
    wq[static_cast<std::size_t>(r - 1)] = sdotm(nv_, row(w_, r), ldw_, aq, 1);
  double h = sdotm(nv_, aq, 1, wq, 1);
  if (h == 0.0) h = lim_.qeps;
  for (int i = 1; i <= k; ++i) {
    const double f = t_dot(i, aq) / h;
    for (int col = 1; col <= nv_; ++col)
      wm_(nv_ + i, col) = wm_(nv_ + i, col) - f * wq[static_cast<std::size_t>(col - 1)];
  }
  for (int col = 1; col <= nv_; ++col) {
    const double wc = wq[static_cast<std::size_t>(col - 1)];
    for (int r = 1; r <= nv_; ++r)
      wm_(r, col) = wm_(r, col) - wq[static_cast<std::size_t>(r - 1)] * wc / h;
    wm_(nv_ + k + 1, col) = wc / h;
  }
  ++k;
  lt_(k) = q;
  qp_flag(lt_, nv_, q) = cons_.is_equality(q, ke_) ? state_equality : state_active;
}

// Inverts K of the current active set afresh and puts x at the minimiser on it:
// K·[x; y] = [cq; rhs] gives x = H·cq + Tᵀ·rhs.
void active_set_solver::refactorize(int k) {
  const int order = nv_ + k;
  for (int c = 1; c <= order; ++c)
    for (int r = 1; r <= order; ++r)
      wm_(r, c) = 0.0;
  for (int c = 1; c <= nv_; ++c)
    for (int r = 1; r <= nv_; ++r)
      wm_(r, c) = gm_(r, c);
  for (int i = 1; i <= k; ++i) {
    for (int r = 1; r <= nv_; ++r) {
      const double v = cons_.normal(lt_(i), r);
      wm_(r, nv_ + i) = v;
      wm_(nv_ + i, r) = v;
    }
  }
  mb01bd(w_, order, ldw_);

  std::array<double, qp_work_ld> rhs{};
  for (int i = 1; i <= k; ++i)
    rhs[static_cast<std::size_t>(i - 1)] = cons_.rhs(lt_(i));
  vector_storage xn{};
  for (int c = 1; c <= nv_; ++c) {
    const double hc = sdotm(nv_, row(w_, c), ldw_, cq_.span(), 1);
    xn[static_cast<std::size_t>(c - 1)] =
        hc + sdotm(k, w_.subspan(static_cast<std::size_t>(nv_ + (c - 1) * ldw_)), 1, rhs, 1);
  }
  for (int c = 1; c <= nv_; ++c)
    xv_(c) = xn[static_cast<std::size_t>(c - 1)];
}

// Smallest step along `step` to an inactive constraint it moves towards, and that
// constraint (0 when none is reached before qbig); the first one on ties.
double active_set_solver::ratio_test(std::span<const double> step, int& q) const {
  double t_min = lim_.qbig;
  q = 0;
  for (int i = 1; i <= mt_; ++i) {
    if (qp_flag(lt_, nv_, i) < state_inactive) continue;
    const double as = cons_.dot(i, step);
    if (as < 0.0) {
      const double t = cons_.residual(i, xc()) / -as;
      if (t < t_min) {
        t_min = t;
        q = i;
      }
    }
  }
  return t_min;
}

// -H·r, the move to the minimiser on the current active set.
void active_set_solver::newton_step(std::span<const double> r, std::span<double> step) const {
  for (int c = 1; c <= nv_; ++c)
    step[static_cast<std::size_t>(c - 1)] = -sdotm(nv_, row(w_, c), ldw_, r, 1);
}

void active_set_solver::move(double t, std::span<const double> step) {
  for (int c = 1; c <= nv_; ++c)
    xv_(c) = xv_(c) + t * step[static_cast<std::size_t>(c - 1)];
}

qp_outcome active_set_solver::solve(int& k, double& largest, bool& tested) {
  // A pass is one multiplier test with its step, or the one refactorization.
  const int max_passes = 10 * mt_;
  int passes = 0;
  bool refactorized = false;
  tested = false;

  for (;;) {  // from a feasible vertex
    la02ad(nv_, mt_, a_, lda_, b_, xl_, xu_, x_, k, ke_, w_, ldw_, lt_.span(), lim_);
    if (k == 0) return qp_outcome::infeasible;
    start_from_vertex();
    // Whether x minimises the objective on its active set (always at a vertex).
    bool stationary = true;

    for (;;) {
      store_gradient();
      if (++passes > max_passes) {  // give up with the current point
        tested = false;
        return qp_outcome::pass_limit;
      }
      const auto r = gradient();

      // Multiplier test values u = -T(i)·r of the active inequalities; the
      // largest, the first on ties. (T·r are the multipliers at the minimiser on
      // the active set, wherever x is on it.)
      int p = 0;
      largest = -std::numeric_limits<double>::infinity();
      for (int i = 1; i <= k; ++i) {
        if (qp_flag(lt_, nv_, lt_(i)) == state_equality) continue;
        const double u = -t_dot(i, r);
        if (u > largest) {
          largest = u;
          p = i;
        }
      }
      tested = p != 0;
      vector_storage step{};
      const std::span<const double> sv =
          std::span<const double>(step).first(static_cast<std::size_t>(nv_));

      if (p != 0 && largest > 0.0) {
        // Release lt(p). s = row p of T keeps the other active constraints and
        // moves off lt(p); with positive curvature the step is the Newton step
        // to the minimiser on the reduced set, -H·r + (u/sᵀGs)·s (just the
        // scaled s when x is already a minimiser on its set); otherwise only
        // the constraints limit the step along s.
        vector_storage s{};
        for (int c = 1; c <= nv_; ++c)
          s[static_cast<std::size_t>(c - 1)] = wm_(nv_ + p, c);
        vector_storage gs{};
        times_g(s, gs);
        const double curv = sdotm(nv_, s, 1, gs, 1);
        const double factor = curv > 0.0 ? largest / curv : 1.0;
        newton_step(r, step);
        for (int c = 0; c < nv_; ++c)
          step[static_cast<std::size_t>(c)] =
              step[static_cast<std::size_t>(c)] + factor * s[static_cast<std::size_t>(c)];
        int q = 0;
        const double t_min = ratio_test(sv, q);
        if (q == 0 || (curv > 0.0 && t_min >= 1.0)) {
          move(1.0, sv);
          drop(p, k, s, gs, curv);
          stationary = curv > 0.0;
        } else {
          move(t_min, sv);
          exchange(p, q, k, s, gs, curv);
          stationary = k == nv_;
        }
        continue;
      }

      if (!stationary) {
        // No release is asked for, but an earlier blocked step left x short of
        // the minimiser on its active set: move towards it, adding the first
        // constraint that blocks the way.
        newton_step(r, step);
        int q = 0;
        const double t_min = ratio_test(sv, q);
        if (q == 0 || t_min >= 1.0) {
          move(1.0, sv);
          stationary = true;
        } else {
          move(t_min, sv);
          add(q, k);
          stationary = k == nv_;
        }
        continue;
      }

      // The active set is optimal.
      if (refactorized) return qp_outcome::solved;
      refactorized = true;
      refactorize(k);
      bool feasible = true;
      for (int i = 1; i <= mt_ && feasible; ++i)
        if (qp_flag(lt_, nv_, i) >= state_inactive && cons_.residual(i, xc()) < 0.0)
          feasible = false;
      if (!feasible) break;  // find a feasible vertex again
    }
  }
}

}  // namespace

qp_outcome ve02ad(int nv, int mt, std::span<const double> g, int ldg, std::span<const double> cq,
                  std::span<const double> a, int lda, std::span<const double> b,
                  std::span<const double> xl, std::span<const double> xu, std::span<double> x,
                  int& k, int ke, std::span<double> w, int ldw, std::span<int> lt, int mode,
                  const qp_limits& lim, std::ostream* diagnostics) {
  assert(nv >= 1 && nv <= qp_max_vars && mt >= 2 * nv && ldw >= 2 * nv);
  assert(x.size() >= static_cast<std::size_t>(7 * nv));
  static_cast<void>(mode);  // every start goes through a feasible vertex
  active_set_solver solver(nv, mt, g, ldg, cq, a, lda, b, xl, xu, x, ke, w, ldw, lt, lim);
  double largest = 0.0;
  bool tested = false;
  const qp_outcome outcome = solver.solve(k, largest, tested);
  if (outcome == qp_outcome::solved && tested && largest == 0.0 && diagnostics != nullptr) {
    *diagnostics << "\n     *** WARNING:   SOLUTION MAY BE A DEGENERATE LOCAL MINIMUM\n\n";
  }
  return outcome;
}

}  // namespace inhibra::optim
