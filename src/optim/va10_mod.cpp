#include "optim/va10_mod.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "core/capacities.hpp"
#include "core/one_based.hpp"

namespace inhibra::optim {

namespace {

constexpr double hh_start = 0.00100001;        // first difference factor
constexpr double acc = 1.489966442575134e-08;  // sqrt(2.22e-16): relative accuracy
constexpr double dfn = -0.5;                   // first expected decrease, relative to |f|
constexpr double start_cap = 1e15;             // largest starting parameter
constexpr double shift = 1e-15;                // added to the scale and to later starts
constexpr int max_runs = 10;

// |a| carrying the sign of b (b = 0 counts as positive).
double with_sign_of(double a, double b) {
  return b >= 0.0 ? std::abs(a) : -std::abs(a);
}

// Packed LDL^T factors seen through 1-based (i, j) indices, i >= j.
class packed {
 public:
  packed(int n, std::span<double> h) : n_(n), h_(h) {}
  double& operator()(int i, int j) const {
    return h_[static_cast<std::size_t>(packed_index(n_, i, j))];
  }

 private:
  int n_;
  std::span<double> h_;
};

// How a line search ended: go on to the new gradient and the update, give up on
// this gradient, or end the run (evaluations used up).
enum class search_end { update, no_progress, end_run };

class variable_metric {
 public:
  variable_metric(const value_problem& problem, std::span<double> x, std::span<double> h, int maxfn)
      : problem_(problem),
        n_(problem.n),
        x_(x),
        h_(h),
        maxfn_(maxfn),
        work_(static_cast<std::size_t>(9 * problem.n)),
        xm_(block(0)),
        gr_(block(1)),
        w_(block(2)),
        s_(block(3)),
        gr_old_(block(4)),
        v1_(block(5)),
        v2_(block(6)),
        p_(block(7)),
        beta_(block(8)) {}

  // Entry: bound the start point, cap it, set the scale vector.
  void enter() {
    bound();
    for (int i = 1; i <= n_; ++i)
      if (x(i) > start_cap) x(i) = start_cap;
    for (int i = 1; i <= n_; ++i)
      xm(i) = std::abs(x(i)) + shift;
  }

  va10_exit minimise(double& f, int mode) {
    int run = 0;
    double sumdiff = 0.0;
    int run_mode = mode;
    for (;;) {
      ++run;
      run_once(run_mode, f);
      // End of the run.
      if (run >= max_runs) {
        iexit_ = (iexit_ == va10_exit::converged && ifn_ < maxfn_) ? va10_exit::converged
                                                                   : va10_exit::gave_up;
        break;
      }
      run_mode = (nan_seen_ || run % 2 == 0) ? 1 : 3;
      ifn_ = 0;
      const double rel = std::abs(1.0 - fcur_ / f);
      sumdiff += std::abs(f - fcur_);
      if (rel <= acc && run > 3) {
        if (sumdiff > 0.0) iexit_ = va10_exit::converged;
        break;
      }
      hh_ = hh_ / 10.0;
      for (int i = 1; i <= n_; ++i)
        xm(i) = x(i) + shift;
      f = fcur_;
      for (int i = 1; i <= n_; ++i)
        x(i) = xm(i);
    }
    f = fcur_;
    return iexit_;
  }

 private:
  std::span<double> block(int k) {
    return std::span(work_).subspan(static_cast<std::size_t>(k * n_), static_cast<std::size_t>(n_));
  }
  double& x(int i) const { return x_(i); }
  double& xm(int i) const { return xm_(i); }

  double eval(std::span<const double> point) { return problem_.value(point); }

  // Every parameter into the problem's box.
  void bound() { project(problem_, x_.span()); }

  // A point accepted by the line search that has a negative coordinate is brought
  // back inside the box; fcur becomes its value (not counted against maxfn).
  void bound_if_negative() {
    bool negative = false;
    for (int i = 1; i <= n_; ++i)
      negative = negative || x(i) < 0.0;
    if (!negative) return;
    bound();
    fcur_ = eval(x_.span());
  }

  // One run: steps 1 to 10 of the iteration; leaves iexit_, ifn_, fcur_ and x.
  void run_once(int run_mode, double& f) {
    ifn_ = 0;
    iexit_ = va10_exit::no_start;
    central_ = false;
    const packed hp(n_, h_);
    bool factors_ok = true;
    if (run_mode == 1) {
      for (int j = 1; j <= n_; ++j) {
        hp(j, j) = 1.0;
        for (int i = j + 1; i <= n_; ++i)
          hp(i, j) = 0.0;
      }
    } else if (run_mode == 2) {
      factors_ok = ldl_factorize(n_, h_);
    }
    dmin_ = hp(1, 1);
    for (int i = 2; i <= n_; ++i)
      dmin_ = std::fmin(dmin_, hp(i, i));
    if (!factors_ok || dmin_ <= 0.0) {
      if (!have_value_) {
        // The very first run did not start: the value at the start point is still
        // unknown, and the call must return the value of the point it returns.
        fcur_ = eval(x_.span());
        f = fcur_;
        have_value_ = true;
      }
      return;
    }

    fcur_ = eval(x_.span());
    have_value_ = true;
    f = fcur_;
    ifn_ = 1;
    df_ = std::abs(fcur_ * dfn);
    gradient();
    for (;;) {
      if (ifn_ >= maxfn_) {
        iexit_ = va10_exit::hit_maxfn;
        return;
      }
      direction();
      iexit_ = va10_exit::no_descent;
      search_end end = search_end::no_progress;
      if (!(gs_ >= 0.0)) end = line_search();
      if (end == search_end::end_run) return;
      if (end == search_end::update) {
        alpha_ = tot_;
        std::copy(gr_.span().begin(), gr_.span().end(), gr_old_.span().begin());
        gradient();
        if (ifn_ >= maxfn_) {
          iexit_ = va10_exit::hit_maxfn;
          return;
        }
        update();
        continue;
      }
      // No progress with this gradient.
      if (central_) return;
      central_ = true;
      gradient();
    }
  }

  // Finite-difference gradient at x around fcur.
  void gradient() {
    const double hh2 = hh_ * hh_;
    for (int i = 1; i <= n_; ++i)
      w_(i) = x(i);
    for (int i = 1; i <= n_; ++i) {
      double z = hh_ * xm(i);
      if (std::abs(z) < hh2) z = with_sign_of(hh2, xm(i));
      w_(i) = x(i) + z;
      const double f1 = eval(w_.span());
      if (central_) {
        w_(i) = x(i) - z;
        const double f2 = eval(w_.span());
        gr_(i) = (f1 - f2) / (2.0 * z);
      } else {
        gr_(i) = (f1 - fcur_) / z;
      }
      if (std::isnan(gr_(i))) {
        gr_(i) = hh_;
        nan_seen_ = true;
      }
      w_(i) = x(i);
    }
    ifn_ += central_ ? 2 * n_ : n_;
  }

  // Search direction: solve L D L^T s = -gr; its slope gs and the smallest
  // significant step.
  void direction() {
    const packed hp(n_, h_);
    for (int i = 1; i <= n_; ++i)
      s_(i) = -gr_(i);
    for (int j = 1; j <= n_; ++j)
      for (int i = j + 1; i <= n_; ++i)
        s_(i) -= hp(i, j) * s_(j);
    for (int i = 1; i <= n_; ++i)
      s_(i) /= hp(i, i);
    for (int i = n_; i >= 1; --i)
      for (int k = i + 1; k <= n_; ++k)
        s_(i) -= hp(k, i) * s_(k);
    double z = std::abs(s_(1)) / xm(1);
    for (int i = 2; i <= n_; ++i)
      z = std::fmax(z, std::abs(s_(i)) / xm(i));
    gs_ = 0.0;
    for (int i = 1; i <= n_; ++i)
      gs_ += s_(i) * gr_(i);
    dmin_step_ = acc / z;
  }

  void trial(double alpha) {
    for (int i = 1; i <= n_; ++i)
      w_(i) = x(i) + alpha * s_(i);
  }

  void accept_trial() {
    for (int i = 1; i <= n_; ++i)
      x(i) = w_(i);
  }

  double gradient_norm() const {
    double sum = 0.0;
    for (int i = 1; i <= n_; ++i)
      sum += gr_(i) * gr_(i);
    return std::sqrt(sum);
  }

  // Line search along s from x with interpolation and extrapolation.
  search_end line_search() {
    iexit_ = va10_exit::converged;
    double alpha = std::fmin(-2.0 * df_ / gs_, 1.0);
    ff_ = fcur_;
    tot_ = 0.0;
    int interp = 0;
    double f1 = 0.0;
    double f2 = 0.0;
    for (;;) {
      if (ifn_ >= maxfn_) {
        iexit_ = va10_exit::hit_maxfn;
        return search_end::end_run;
      }
      trial(alpha);
      f1 = eval(w_.span());
      ++ifn_;
      if (f1 < fcur_) {
        f2 = fcur_;
        tot_ += alpha;
        break;
      }
      if (alpha < dmin_step_) return search_end::no_progress;
      if (ifn_ >= maxfn_) {
        iexit_ = va10_exit::hit_maxfn;
        return search_end::end_run;
      }
      alpha *= 0.5;
      trial(alpha);
      f2 = eval(w_.span());
      ++ifn_;
      if (f2 < fcur_) {
        tot_ += alpha;
        fcur_ = f2;
        accept_trial();
        bound_if_negative();
        return tot_ < dmin_step_ ? search_end::no_progress : search_end::update;
      }
      double z = 0.1;
      if (2.0 * f2 < fcur_ + f1) {
        z = 1.0 + 0.5 * (fcur_ - f1) / ((f1 + fcur_) - f2 - f2);
        z = std::fmax(z, 0.1);
      }
      alpha *= z;
      interp = 1;
    }
    // Acceptance of w, then extrapolation while the value keeps falling.
    for (;;) {
      accept_trial();
      fcur_ = f1;
      bound_if_negative();
      if (interp == 1) return tot_ < dmin_step_ ? search_end::no_progress : search_end::update;
      if (interp >= 2) return search_end::update;
      if (ifn_ >= maxfn_) {
        iexit_ = va10_exit::hit_maxfn;
        return search_end::end_run;
      }
      trial(alpha);
      f1 = eval(w_.span());
      ++ifn_;
      if (fcur_ <= f1) return search_end::update;
      if (2.0 * fcur_ <= f1 + f2 && 12.0 * fcur_ < 7.0 * f1 + 5.0 * f2) interp = 2;
      tot_ += alpha;
      const double norm = gradient_norm();
      if (norm > 1000.0) {
        alpha *= 1000.0;
      } else if (norm > 100.0) {
        alpha *= 100.0;
      } else if (norm > 2.0) {
        alpha *= norm;
      } else {
        alpha *= 2.0;
      }
    }
  }

  // Two rank-one corrections of the factors from the step and the gradient change.
  void update() {
    double gys = 0.0;
    for (int i = 1; i <= n_; ++i)
      gys += s_(i) * gr_(i);
    df_ = ff_ - fcur_;
    const double dgs = gys - gs_;
    if (!(dgs > 0.0)) return;
    double sigma1 = 0.0;
    double sigma2 = 0.0;
    if (alpha_ * gs_ + dgs > 0.0) {
      const double sig = alpha_ / (dgs - alpha_ * gs_);
      const double z = dgs * sig - 1.0;
      for (int i = 1; i <= n_; ++i)
        v1_(i) = gr_(i) + z * gr_old_(i);
      sigma1 = 1.0 / (sig * dgs * dgs);
      sigma2 = -sig;
    } else {
      for (int i = 1; i <= n_; ++i)
        v1_(i) = gr_(i) - gr_old_(i);
      sigma1 = 1.0 / (alpha_ * dgs);
      sigma2 = 1.0 / gs_;
    }
    for (int i = 1; i <= n_; ++i)
      v2_(i) = gr_old_(i);
    ldl_rank_one(n_, h_, sigma1, v1_.span(), p_.span(), beta_.span(), dmin_);
    ldl_rank_one(n_, h_, sigma2, v2_.span(), p_.span(), beta_.span(), dmin_);
  }

  const value_problem& problem_;
  int n_;
  core::vec1 x_;
  std::span<double> h_;
  int maxfn_;
  std::vector<double> work_;
  core::vec1 xm_;      // scale of each parameter
  core::vec1 gr_;      // finite-difference gradient
  core::vec1 w_;       // trial point
  core::vec1 s_;       // search direction
  core::vec1 gr_old_;  // gradient before the last line search
  core::vec1 v1_;      // first update vector
  core::vec1 v2_;      // second update vector
  core::vec1 p_;       // forward-solved update vector
  core::vec1 beta_;    // update multipliers

  double hh_ = hh_start;  // difference factor of the current run
  bool nan_seen_ = false;
  bool central_ = false;
  bool have_value_ = false;
  va10_exit iexit_ = va10_exit::no_start;
  int ifn_ = 0;
  double fcur_ = 0.0;       // value at x
  double df_ = 0.0;         // expected decrease of the next line search
  double ff_ = 0.0;         // value before the last line search
  double gs_ = 0.0;         // slope s^T gr
  double tot_ = 0.0;        // total step of the last line search
  double alpha_ = 0.0;      // step of the last line search, for the update
  double dmin_ = 0.0;       // smallest diagonal element of the factors
  double dmin_step_ = 0.0;  // smallest significant step along s
};

}  // namespace

bool ldl_factorize(int n, std::span<double> h) {
  const packed a(n, h);
  for (int j = 1; j <= n; ++j) {
    double d = a(j, j);
    for (int k = 1; k < j; ++k)
      d -= a(j, k) * a(j, k) * a(k, k);
    if (!(d > 0.0)) return false;
    a(j, j) = d;
    for (int i = j + 1; i <= n; ++i) {
      double e = a(i, j);
      for (int k = 1; k < j; ++k)
        e -= a(i, k) * a(j, k) * a(k, k);
      a(i, j) = e / d;
    }
  }
  return true;
}

void ldl_rank_one(int n, std::span<double> h, double sigma, std::span<double> v_store,
                  std::span<double> p_store, std::span<double> beta_store, double& dmin) {
  const packed a(n, h);
  const core::vec1 v(v_store);
  const core::vec1 p(p_store);
  const core::vec1 beta(beta_store);
  // Forward-solve L p = v.
  for (int i = 1; i <= n; ++i)
    p(i) = v(i);
  for (int j = 1; j <= n; ++j)
    for (int i = j + 1; i <= n; ++i)
      p(i) -= a(i, j) * p(j);
  // New diagonal and multipliers.
  for (int i = 1; i <= n; ++i) {
    double d = p(i) * p(i) * sigma + a(i, i);
    if (d <= 0.0) d = dmin;
    if (d < dmin) dmin = d;
    a(i, i) = d;
    beta(i) = p(i) * sigma / d;
    sigma = sigma - beta(i) * beta(i) * d;
  }
  // New unit lower triangle.
  for (int i = 1; i <= n - 1; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      v(j) = v(j) - p(i) * a(j, i);
      a(j, i) = a(j, i) + v(j) * beta(i);
    }
  }
}

va10_exit va10d(const value_problem& p, std::span<double> x, double& f, std::span<double> h,
                int mode, int maxfn) {
  const int n = p.n;
  const auto un = static_cast<std::size_t>(n);
  if (n < 1 || x.size() < un || h.size() < un * (un + 1) / 2) return va10_exit::no_start;
  variable_metric vm(p, x.first(un), h, maxfn);
  vm.enter();
  return vm.minimise(f, mode);
}

}  // namespace inhibra::optim
