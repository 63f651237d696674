#include "models/robustwt.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/capacities.hpp"

namespace inhibra::models {

namespace {
constexpr int bins = 1000;
}  // namespace

double binmedian(std::span<const double> x, int n) {
  const auto count = static_cast<std::size_t>(n);
  double sum = 0.0;
  for (std::size_t i = 0; i < count; ++i)
    sum += x[i];
  const double mu = sum / n;
  double sq = 0.0;
  for (std::size_t i = 0; i < count; ++i)
    sq += (x[i] - mu) * (x[i] - mu);
  const double sigma = std::sqrt(sq / n);

  const double scale = bins / (2.0 * sigma);
  const double left = mu - sigma;
  const double right = mu + sigma;
  std::array<int, bins + 1> counter{};
  int bottom = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double v = x[i];
    if (v < left) {
      ++bottom;
    } else if (v < right) {
      // Rounding can put a value just below `right` at index 1000, the last counter.
      const auto bin = std::min(static_cast<int>(std::trunc((v - left) * scale)), bins);
      ++counter[static_cast<std::size_t>(bin)];
    }
  }

  if (n % 2 == 1) {
    const int k = (n + 1) / 2;
    int running = bottom;
    for (int i = 0; i <= bins; ++i) {
      running += counter[static_cast<std::size_t>(i)];
      if (running >= k) return (i + 0.5) / scale + left;
    }
    return mu;
  }
  const int k = n / 2;
  int running = bottom;
  for (int i = 0; i <= bins; ++i) {
    running += counter[static_cast<std::size_t>(i)];
    if (running >= k) {
      int j = i;
      while (running == k) {
        // The values above the k-th one all lie at or above `right`: no further bin
        // fills, so the binned estimate is not available; the mean stands in.
        if (j == bins) return mu;
        ++j;
        running += counter[static_cast<std::size_t>(j)];
      }
      return (i + j + 1) / (2.0 * scale) + left;
    }
  }
  return mu;
}

void xmad2(std::span<const double> x, int n, double m, double& s) {
  double sum = 0.0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
    sum += std::abs(x[i] - m);
  s = sum / n;
  if (std::isnan(s)) s = 1.0;
  s = std::clamp(s, 1.0e-15, 1.0e15);
}

void robust_wt(int n, std::span<const double> r, std::span<double> w) {
  const auto count = static_cast<std::size_t>(std::clamp(n, 0, core::max_rows));
  std::array<double, core::max_rows> a{};
  std::array<double, core::max_rows> u{};
  for (std::size_t i = 0; i < count; ++i)
    a[i] = std::abs(r[i]);

  const double t0 = binmedian(a, n);
  double s = 0.0;
  xmad2(a, n, t0, s);
  if (s <= robust_tiny) {
    std::fill_n(w.begin(), count, 1.0);
  } else {
    const double c = s * robust_ab;
    double t_prev = t0;
    for (int pass = 1; pass <= 11; ++pass) {
      for (std::size_t i = 0; i < count; ++i)
        u[i] = (a[i] - t_prev) / c;
      for (std::size_t i = 0; i < count; ++i) {
        const double ui = u[i];
        if (std::abs(ui) < robust_tiny) {
          w[i] = 1.0;
        } else if (std::abs(ui) > robust_a) {
          w[i] = robust_tiny;
        } else {
          w[i] = robust_b * std::sin(robust_a * ui) / ui;
        }
      }
      double num = 0.0;
      for (std::size_t i = 0; i < count; ++i)
        num += w[i] * (a[i] - t_prev);
      double den = 0.0;
      for (std::size_t i = 0; i < count; ++i) {
        const double up = std::abs(u[i]) > robust_a ? robust_a : u[i];
        // An absolute residual exactly at the location: the term's limit is A*B.
        den += up == 0.0 ? robust_ab : robust_b * std::sin(robust_a * up) / up;
      }
      const double t = t_prev + num / den;
      const bool settled = pass >= 2 && std::abs(t - t_prev) <= robust_tiny;
      t_prev = t;
      if (settled) break;
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    w[i] = std::isnan(w[i]) ? 1.0 : std::min(1.0, std::max(robust_wmin, w[i]));
  }
}

}  // namespace inhibra::models
