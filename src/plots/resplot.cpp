#include "plots/resplot.hpp"

#include <cmath>
#include <limits>
#include <vector>

#include "plots/xyplot.hpp"
#include "strings/text.hpp"

namespace inhibra::plots {

namespace {

constexpr double ln2 = 0.6931471805599453;
constexpr double ln10 = 2.302585092994046;
constexpr double range_factor = double(1.1f);
constexpr double below_factor = double(1.05f);  // room below the x axis, relative to U
constexpr plotengine::rgb blue{0, 0, 255};

// Integer conversions of the rule; false for a value that has none.
bool to_integer(double v, long& out) {
  if (!std::isfinite(v) || std::fabs(v) > 1e15) return false;
  out = static_cast<long>(v);
  return true;
}

bool rounded(double v, long& out) {
  if (!std::isfinite(v) || std::fabs(v) > 1e15) return false;
  out = std::lround(v);
  return true;
}

struct residuals {
  std::vector<double> x, r;
};

residuals residuals_of(const core::fit_context& ctx) {
  residuals out;
  const int n = plotted_rows(ctx);
  for (int i = 1; i <= n; ++i) {
    out.x.push_back(static_cast<double>(i));
    out.r.push_back(ctx.fitted[static_cast<std::size_t>(i - 1)] -
                    ctx.rate[static_cast<std::size_t>(i - 1)]);
  }
  return out;
}

std::string residual_title(const std::string& model_name) {
  return std::string(strings::trim_both(model_name)) + "\r\nResiduals Plot";
}

}  // namespace

bool scale_axis(int n, std::span<const double> y, double& ymin, double& ymax, double& tick) {
  double mn = std::numeric_limits<double>::max();
  double mx = -std::numeric_limits<double>::max();
  const auto count = std::min<std::size_t>(static_cast<std::size_t>(std::max(n, 0)), y.size());
  for (std::size_t i = 0; i < count; ++i) {
    mn = std::fmin(mn, y[i]);
    mx = std::fmax(mx, y[i]);
  }
  if (mx == 0.0) mx = -1.0e8;
  const double s = std::signbit(mx) ? -1.0 : 1.0;
  const double hi = mn * (s - 1.0) / 2.0 + mx * (s + 1.0) / 2.0;
  const double lo = mx * (s - 1.0) / 2.0 + mn * (s + 1.0) / 2.0;

  double p = 1.0;  // all values equal: the lower end moves to 0
  if (hi != lo) {
    long k = 0;
    if (!to_integer(std::trunc(std::log(hi / (hi - lo)) / ln2), k)) return false;
    p = std::pow(0.5, static_cast<double>(k));
  }
  const double lo2 = hi * (1.0 - p);
  long e = 0;
  if (!rounded(std::log((hi - lo2) / 10.0) / ln10, e)) return false;
  const double u = std::pow(10.0, static_cast<double>(e));
  long t = 0;
  if (!rounded(std::log((hi - lo2) / (10.0 * u)) / ln2, t)) return false;
  const double step = std::pow(2.0, static_cast<double>(t)) * 5.0 * u;
  long up = 0, down = 0;
  if (!rounded(hi / step, up)) return false;
  const double hi2 = step * static_cast<double>(up + 1);
  if (!rounded((lo2 - hi2) / step, down)) return false;
  const double lo3 = hi2 + static_cast<double>(down) * step;
  const double new_min = (s - 1.0) * hi2 / 2.0 + (s + 1.0) * lo3 / 2.0;
  const double new_max = (s - 1.0) * lo3 / 2.0 + (s + 1.0) * hi2 / 2.0;
  if (!std::isfinite(new_min) || !std::isfinite(new_max) || !std::isfinite(step)) return false;
  tick = step;
  ymin = new_min;
  ymax = new_max;
  return true;
}

plot_handle build_residual_plot(const std::string& model_name, std::span<const double> x,
                                std::span<const double> r, int n) {
  const auto count =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(n, 0)), std::min(x.size(), r.size()));
  const std::vector<double> xs(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(count));
  const std::vector<double> rs(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(count));
  const std::vector<double> zeros(count, 0.0);

  auto h = initialize_plot();
  set_xlinear(h);
  set_ylinear(h);
  double xmax = 0.0, rmax = -std::numeric_limits<double>::infinity();
  double rmin = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < count; ++i) {
    xmax = std::fmax(xmax, xs[i]);
    rmax = std::fmax(rmax, rs[i]);
    rmin = std::fmin(rmin, rs[i]);
  }
  if (usable_limits(0.0, range_factor * xmax))
    set_xscale(h, 0.0, range_factor * xmax);
  else
    set_xautoscale(h);

  double ymin = 0.0, upper = 0.0, tick = 0.0;
  if (rmax != 0.0 && scale_axis(static_cast<int>(count), rs, ymin, upper, tick)) {
    double lower = -below_factor * upper;
    // Residuals below the usual range widen it rather than fall off the chart.
    if (rmin < lower) lower = below_factor * rmin;
    if (std::isfinite(lower) && lower < upper)  // U is 0 when every residual is negative
      set_yscale(h, lower, upper);
    else
      set_yautoscale(h);
  } else {
    set_yautoscale(h);  // a perfect fit, or no finite limits
  }

  set_title(h, residual_title(model_name));
  add_unlabelled_series(h, xs, rs, series_big_dot, blue);
  add_unlabelled_series(h, xs, zeros, series_line, blue);
  set_ylabel(h, "RESIDUAL");
  set_xlabel(h, "NUMBER");
  return h;
}

void plot_residuals(const core::fit_context& ctx, std::span<const double> x,
                    std::span<const double> r, int n) {
  auto h = build_residual_plot(ctx.strmdl, x, r, n);
  show_and_destroy(h, ctx.fe);
}

void resplot(const core::fit_context& ctx) {
  const auto res = residuals_of(ctx);
  if (res.x.empty()) return;
  if (ctx.fe != nullptr) ctx.fe->idle(500);
  plot_residuals(ctx, res.x, res.r, static_cast<int>(res.x.size()));
}

std::optional<plotengine::pplot> residual_chart(const core::fit_context& ctx) {
  const auto res = residuals_of(ctx);
  if (res.x.empty()) return std::nullopt;
  auto h = build_residual_plot(ctx.strmdl, res.x, res.r, static_cast<int>(res.x.size()));
  return std::move(h->chart);
}

}  // namespace inhibra::plots
