#include "fit/residual_diagnostics.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <numeric>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <boost/math/tools/toms748_solve.hpp>

#include "fit/quiet_distributions.hpp"

namespace inhibra::fit {

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The largest sample Royston's approximation of the Shapiro-Wilk p value covers.
constexpr std::size_t shapiro_wilk_most = 5000;

diagnostic_test not_available() {
  return {false, nan, nan, {}};
}

diagnostic_test made(double statistic, double p, std::string advice) {
  diagnostic_test t{true, statistic, std::clamp(p, 0.0, 1.0), {}};
  if (t.p < advice_level) t.advice = std::move(advice);
  return t;
}

// c[0] + c[1] x + c[2] x^2 + ...
template <std::size_t n>
double polynomial(const std::array<double, n>& c, double x) {
  double v = 0.0;
  for (std::size_t k = n; k-- > 0;)
    v = v * x + c[k];
  return v;
}

// The Shapiro-Wilk coefficients a(1..n) (index 0..n-1) for n >= 3, after Royston
// (1992): the normal scores m_i = Phi^-1((i - 3/8) / (n + 1/4)), and the two
// outermost coefficients from polynomials in 1/sqrt(n); the rest are the scores
// scaled so that the coefficients have unit length.
std::vector<double> shapiro_wilk_coefficients(std::size_t n) {
  std::vector<double> a(n, 0.0);
  if (n == 3) {
    a[0] = -std::sqrt(0.5);
    a[2] = std::sqrt(0.5);
    return a;
  }
  const normal_distribution z;
  std::vector<double> m(n);
  const auto nd = static_cast<double>(n);
  for (std::size_t i = 0; i < n; ++i)
    m[i] = boost::math::quantile(z, (static_cast<double>(i + 1) - 0.375) / (nd + 0.25));
  double mm = 0.0;
  for (const double v : m)
    mm += v * v;
  static constexpr std::array<double, 6> last{0.0,       0.221157, -0.147981,
                                              -2.071190, 4.434685, -2.706056};
  static constexpr std::array<double, 6> next_to_last{0.0,       0.042981, -0.293762,
                                                      -1.752461, 5.682633, -3.582633};
  const double u = 1.0 / std::sqrt(nd);
  const double an = m[n - 1] / std::sqrt(mm) + polynomial(last, u);
  // Coefficients fixed at each end: one for n up to 5, two above.
  const std::size_t fixed = n > 5 ? 2 : 1;
  double phi = 0.0;
  if (fixed == 2) {
    const double an1 = m[n - 2] / std::sqrt(mm) + polynomial(next_to_last, u);
    phi = (mm - 2.0 * m[n - 1] * m[n - 1] - 2.0 * m[n - 2] * m[n - 2]) /
          (1.0 - 2.0 * an * an - 2.0 * an1 * an1);
    a[n - 2] = an1;
    a[1] = -an1;
  } else {
    phi = (mm - 2.0 * m[n - 1] * m[n - 1]) / (1.0 - 2.0 * an * an);
  }
  a[n - 1] = an;
  a[0] = -an;
  for (std::size_t i = fixed; i < n - fixed; ++i)
    a[i] = m[i] / std::sqrt(phi);
  return a;
}

// Royston's (1995) p value of W: exact for n = 3; for 4 <= n <= 11 a normal
// approximation of -ln(gamma - ln(1 - W)), above that of ln(1 - W), with mean and
// spread fitted as polynomials in n (in ln n above 11).
double shapiro_wilk_p(double w, std::size_t n) {
  const auto nd = static_cast<double>(n);
  if (n == 3) {
    const double pi = std::acos(-1.0);
    return 6.0 / pi * (std::asin(std::sqrt(w)) - std::asin(std::sqrt(0.75)));
  }
  if (w >= 1.0) return 1.0;
  const normal_distribution z;
  double y = std::log(1.0 - w);
  double mean = 0.0;
  double spread = 0.0;
  if (n <= 11) {
    static constexpr std::array<double, 2> gamma_c{-2.273, 0.459};
    static constexpr std::array<double, 4> mean_c{0.5440, -0.39978, 0.025054, -0.0006714};
    static constexpr std::array<double, 4> spread_c{1.3822, -0.77857, 0.062767, -0.0020322};
    const double gamma = polynomial(gamma_c, nd);
    if (y >= gamma) return 0.0;  // far beyond any tabled W
    y = -std::log(gamma - y);
    mean = polynomial(mean_c, nd);
    spread = std::exp(polynomial(spread_c, nd));
  } else {
    static constexpr std::array<double, 4> mean_c{-1.5861, -0.31082, -0.083751, 0.0038915};
    static constexpr std::array<double, 3> spread_c{-0.4803, -0.082676, 0.0030302};
    const double ln_n = std::log(nd);
    mean = polynomial(mean_c, ln_n);
    spread = std::exp(polynomial(spread_c, ln_n));
  }
  return boost::math::cdf(boost::math::complement(z, (y - mean) / spread));
}

// The rows that take part: finite values and a weight above 0.
std::vector<std::size_t> rows_in_use(const residual_rows& rows) {
  std::vector<std::size_t> use;
  for (std::size_t k = 0; k < rows.observed.size(); ++k) {
    const double w = rows.weights.empty() ? 1.0 : rows.weights[k];
    if (!(w > 0.0) || !std::isfinite(w)) continue;
    if (!std::isfinite(rows.substrate[k]) || !std::isfinite(rows.inhibitor[k]) ||
        !std::isfinite(rows.observed[k]) || !std::isfinite(rows.fitted[k])) {
      continue;
    }
    use.push_back(k);
  }
  return use;
}

template <typename T>
std::vector<T> picked(std::span<const T> values, const std::vector<std::size_t>& use) {
  std::vector<T> out;
  out.reserve(use.size());
  for (const std::size_t k : use)
    out.push_back(values[k]);
  return out;
}

}  // namespace

std::string p_text(double p) {
  constexpr double smallest_shown = 1e-4;
  if (p < smallest_shown) return "p < 0.0001";
  return fmt::format("p = {:.2g}", p);
}

// Runs of signs (Wald and Wolfowitz 1940): with n1 positive and n2 negative
// residuals in a curve, n = n1 + n2, the runs R have mean 1 + 2 n1 n2 / n and
// variance 2 n1 n2 (2 n1 n2 - n) / (n^2 (n - 1)) when the signs are in random order.
diagnostic_test runs_test(std::span<const double> substrate, std::span<const double> residual,
                          std::span<const int> curve) {
  if (substrate.size() != residual.size() || curve.size() != residual.size())
    return not_available();
  std::vector<std::size_t> order;
  for (std::size_t k = 0; k < residual.size(); ++k)
    if (residual[k] != 0.0 && !std::isnan(residual[k])) order.push_back(k);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return curve[a] != curve[b] ? curve[a] < curve[b] : substrate[a] < substrate[b];
  });
  double runs = 0.0;
  double expected = 0.0;
  double variance = 0.0;
  for (std::size_t i = 0; i < order.size();) {
    std::size_t j = i;  // the curve's rows are order[i..j)
    double positive = 0.0;
    double negative = 0.0;
    for (; j < order.size() && curve[order[j]] == curve[order[i]]; ++j) {
      (residual[order[j]] > 0.0 ? positive : negative) += 1.0;
      if (j == i || (residual[order[j]] > 0.0) != (residual[order[j - 1]] > 0.0)) runs += 1.0;
    }
    const double n = positive + negative;
    const double twice = 2.0 * positive * negative;
    expected += 1.0 + twice / n;
    if (n > 1.0) variance += twice * (twice - n) / (n * n * (n - 1.0));
    i = j;
  }
  if (!(variance > 0.0)) return not_available();
  const double z = (runs - expected + 0.5) / std::sqrt(variance);
  const double p = boost::math::cdf(normal_distribution(), z);
  return made(runs, p,
              "systematic misfit along [S] (runs " + p_text(p) +
                  "): the model does not follow the curve shape");
}

// Shapiro and Wilk (1965): W = (sum a_i x_(i))^2 / sum (x_i - mean)^2, x_(i) the
// values in increasing order; small W speaks against a normal sample.
diagnostic_test shapiro_wilk(std::span<const double> x, bool robust) {
  const std::size_t n = x.size();
  if (n < 3 || n > shapiro_wilk_most) return not_available();
  std::vector<double> sorted(x.begin(), x.end());
  std::sort(sorted.begin(), sorted.end());
  const double mean = std::accumulate(sorted.begin(), sorted.end(), 0.0) / static_cast<double>(n);
  double squares = 0.0;
  for (const double v : sorted)
    squares += (v - mean) * (v - mean);
  // Values that are all equal (to rounding) have no shape to judge.
  if (!(squares > 0.0) || sorted.back() - sorted.front() <= 1e-12 * std::abs(mean)) {
    return not_available();
  }
  const std::vector<double> a = shapiro_wilk_coefficients(n);
  double b = 0.0;
  for (std::size_t i = 0; i < n; ++i)
    b += a[i] * (sorted[i] - mean);
  const double w = std::min(b * b / squares, 1.0);
  const double p = shapiro_wilk_p(w, n);
  std::string advice =
      "residuals are not normal (Shapiro-Wilk " + p_text(p) + "): look for outliers";
  if (!robust) advice += ", or fit with robust weighting";
  return made(w, p, std::move(advice));
}

// The scatter's power of the rate on a set of rows: with scaled residuals e_k whose
// size follows v_k^gamma, sigma^2 at its maximum for each gamma leaves the profile
// log-likelihood
//   l(gamma) = -N/2 ln(sum e_k^2 exp(-2 gamma L_k)) + const,  L_k = ln v_k - mean ln v,
// which is concave (a log-sum-exp turned over), so its derivative, N times the mean of
// L under the weights e_k^2 exp(-2 gamma L_k), falls through 0 once at most.
struct power_fit {
  double gamma = 0.0;
  double gain = 0.0;  // twice the log-likelihood at gamma above that at 0
};

power_fit fit_power(std::span<const double> log_rate, std::span<const double> residual,
                    std::span<const std::size_t> rows) {
  double mean = 0.0;
  for (const std::size_t k : rows)
    mean += log_rate[k];
  mean /= static_cast<double>(rows.size());
  // sum e_k^2 exp(-2 gamma L_k), and the mean of L under its terms (the slope).
  auto sums = [&](double gamma) {
    double sum = 0.0;
    double weighted = 0.0;
    for (const std::size_t k : rows) {
      const double l = log_rate[k] - mean;
      const double w = residual[k] * residual[k] * std::exp(-2.0 * gamma * l);
      sum += w;
      weighted += w * l;
    }
    return std::pair{sum, weighted / sum};
  };
  auto slope = [&](double gamma) { return sums(gamma).second; };
  // Powers beyond the bracket say no more than its ends do.
  power_fit fit;
  if (slope(-max_spread_power) <= 0.0) {
    fit.gamma = -max_spread_power;
  } else if (slope(max_spread_power) >= 0.0) {
    fit.gamma = max_spread_power;
  } else {
    std::uintmax_t iterations = 200;
    const auto [a, b] = boost::math::tools::toms748_solve(
        slope, -max_spread_power, max_spread_power, boost::math::tools::eps_tolerance<double>(40),
        iterations);
    fit.gamma = 0.5 * (a + b);
  }
  fit.gain = static_cast<double>(rows.size()) * std::log(sums(0.0).first / sums(fit.gamma).first);
  return fit;
}

// The rows whose residual lies within spread_outlier_cut robust standard deviations
// (1.4826 times the median absolute size) once the power gamma is taken out.
std::vector<std::size_t> rows_within_scatter(std::span<const double> log_rate,
                                             std::span<const double> residual, double gamma) {
  const std::size_t n = residual.size();
  std::vector<double> size(n);
  for (std::size_t k = 0; k < n; ++k)
    size[k] = std::abs(residual[k]) * std::exp(-gamma * log_rate[k]);
  std::vector<double> sorted = size;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n / 2),
                   sorted.end());
  const double scale = 1.4826 * sorted[n / 2];
  std::vector<std::size_t> rows;
  for (std::size_t k = 0; k < n; ++k) {
    if (!(scale > 0.0) || size[k] <= spread_outlier_cut * scale) rows.push_back(k);
  }
  return rows;
}

diagnostic_test spread_trend(std::span<const double> fitted,
                             std::span<const double> scaled_residual, error_model errors) {
  const std::size_t n = fitted.size();
  if (n < 3 || scaled_residual.size() != n) return not_available();
  // Rates at or below 0 count as the smallest rate the error models weigh.
  double squares = 0.0;
  for (const double v : fitted)
    squares += v * v;
  const double floor = smallest_weighted_rate * std::sqrt(squares / static_cast<double>(n));
  std::vector<double> log_rate(n);
  for (std::size_t k = 0; k < n; ++k) {
    log_rate[k] = std::log(std::fmax(std::abs(fitted[k]), floor));
    if (!std::isfinite(log_rate[k]) || !std::isfinite(scaled_residual[k])) return not_available();
  }
  // A first power from the least-squares line of ln |e| on ln v, which one outlier
  // moves little; then the rows within the scatter and their maximum-likelihood power
  // in turn until the rows stay the same.
  std::vector<double> x;
  std::vector<double> y;
  for (std::size_t k = 0; k < n; ++k) {
    if (scaled_residual[k] == 0.0) continue;
    x.push_back(log_rate[k]);
    y.push_back(std::log(std::abs(scaled_residual[k])));
  }
  if (x.size() < 3) return not_available();
  const double mean_x = std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(x.size());
  const double mean_y = std::accumulate(y.begin(), y.end(), 0.0) / static_cast<double>(y.size());
  double sxx = 0.0;
  double sxy = 0.0;
  for (std::size_t k = 0; k < x.size(); ++k) {
    sxx += (x[k] - mean_x) * (x[k] - mean_x);
    sxy += (x[k] - mean_x) * (y[k] - mean_y);
  }
  if (!(sxx > 0.0)) return not_available();
  double gamma = std::clamp(sxy / sxx, -max_spread_power, max_spread_power);
  std::vector<std::size_t> rows;
  power_fit fit;
  for (int round = 0; round < 20; ++round) {
    std::vector<std::size_t> within = rows_within_scatter(log_rate, scaled_residual, gamma);
    if (round > 0 && within == rows) break;
    rows = std::move(within);
    const auto [low, high] = std::minmax_element(
        rows.begin(), rows.end(),
        [&](std::size_t a, std::size_t b) { return log_rate[a] < log_rate[b]; });
    if (rows.size() < 3 || !(log_rate[*high] > log_rate[*low])) return not_available();
    fit = fit_power(log_rate, scaled_residual, rows);
    gamma = fit.gamma;
  }
  const double z = std::copysign(std::sqrt(std::fmax(fit.gain, 0.0)), fit.gamma);
  const normal_distribution normal;
  const double growing = boost::math::cdf(boost::math::complement(normal, z));
  const double shrinking = boost::math::cdf(normal, z);
  if (errors == error_model::relative) {
    // A spread that shrinks as the rate grows: the relative weights overcorrect.
    return made(fit.gamma, shrinking,
                "residuals shrink as the rate grows under relative weights (" + p_text(shrinking) +
                    "): fit with Poisson or equal weights");
  }
  return made(fit.gamma, growing,
              "residuals grow with the rate (" + p_text(growing) + "): fit with relative weights");
}

// Lack of fit against pure error (Fisher 1922; Draper and Smith, Applied Regression
// Analysis, 2.1): F = (SS_lof / (g - p)) / (SS_pe / (N - g)), with SS_pe the weighted
// squares of each replicate group about its weighted mean and SS_lof the group
// weights times the squared distance of that mean from the fitted rate.
diagnostic_test lack_of_fit(std::span<const double> substrate, std::span<const double> inhibitor,
                            std::span<const double> observed, std::span<const double> fitted,
                            std::span<const double> weights, int parameters) {
  const std::size_t n = observed.size();
  if (substrate.size() != n || inhibitor.size() != n || fitted.size() != n ||
      (!weights.empty() && weights.size() != n)) {
    return not_available();
  }
  auto weight = [&](std::size_t k) { return weights.empty() ? 1.0 : weights[k]; };
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  auto pair_less = [&](std::size_t a, std::size_t b) {
    return substrate[a] != substrate[b] ? substrate[a] < substrate[b] : inhibitor[a] < inhibitor[b];
  };
  std::stable_sort(order.begin(), order.end(), pair_less);
  double pure = 0.0;
  double lack = 0.0;
  std::size_t groups = 0;
  for (std::size_t i = 0; i < n;) {
    std::size_t j = i;
    double total_weight = 0.0;
    double weighted_sum = 0.0;
    for (; j < n && !pair_less(order[i], order[j]); ++j) {
      total_weight += weight(order[j]);
      weighted_sum += weight(order[j]) * observed[order[j]];
    }
    const double mean = weighted_sum / total_weight;
    for (std::size_t k = i; k < j; ++k) {
      const std::size_t row = order[k];
      pure += weight(row) * (observed[row] - mean) * (observed[row] - mean);
      lack += weight(row) * (mean - fitted[row]) * (mean - fitted[row]);
    }
    ++groups;
    i = j;
  }
  if (parameters < 0 || groups >= n || groups <= static_cast<std::size_t>(parameters) ||
      !(pure > 0.0)) {
    return not_available();
  }
  const auto pure_dof = static_cast<double>(n - groups);
  const auto lack_dof = static_cast<double>(groups - static_cast<std::size_t>(parameters));
  const double f = (lack / lack_dof) / (pure / pure_dof);
  const double p = boost::math::cdf(boost::math::complement(f_distribution(lack_dof, pure_dof), f));
  return made(f, p,
              "the model misses the replicate means (lack-of-fit " + p_text(p) +
                  "): try a model with more freedom, or check whether replicates were measured "
                  "together (they then understate the scatter)");
}

residual_diagnostics diagnose_residuals(const residual_rows& rows,
                                        const diagnostics_options& options) {
  residual_diagnostics out{not_available(), not_available(), not_available(), not_available(),
                           weights_advice::keep};
  const std::size_t n = rows.observed.size();
  if (rows.substrate.size() != n || rows.inhibitor.size() != n || rows.fitted.size() != n ||
      rows.curve.size() != n || (!rows.weights.empty() && rows.weights.size() != n)) {
    return out;
  }
  const std::vector<std::size_t> use = rows_in_use(rows);
  const std::vector<double> substrate = picked(rows.substrate, use);
  const std::vector<double> inhibitor = picked(rows.inhibitor, use);
  const std::vector<double> observed = picked(rows.observed, use);
  const std::vector<double> fitted = picked(rows.fitted, use);
  const std::vector<int> curve = picked(rows.curve, use);
  std::vector<double> weights(use.size(), 1.0);
  if (!rows.weights.empty()) weights = picked(rows.weights, use);
  std::vector<double> residual(use.size());
  std::vector<double> scaled(use.size());
  for (std::size_t k = 0; k < use.size(); ++k) {
    residual[k] = observed[k] - fitted[k];
    scaled[k] = residual[k] * std::sqrt(weights[k]);
  }
  out.runs = runs_test(substrate, residual, curve);
  out.normality = shapiro_wilk(scaled, options.robust);
  out.spread = spread_trend(fitted, scaled, options.errors);
  out.lack_of_fit =
      lack_of_fit(substrate, inhibitor, observed, fitted, weights, options.parameters);
  if (!out.spread.advice.empty()) {
    out.weights = options.errors == error_model::relative ? weights_advice::poisson_or_equal
                                                          : weights_advice::relative;
  }
  return out;
}

}  // namespace inhibra::fit
