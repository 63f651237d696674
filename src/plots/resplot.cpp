#include "plots/resplot.hpp"

#include <cmath>
#include <limits>
#include <vector>

#include "plots/figure_style.hpp"
#include "plots/xyplot.hpp"
#include "strings/text.hpp"

namespace inhibra::plots {

namespace {

constexpr double ln2 = 0.6931471805599453;
constexpr double ln10 = 2.302585092994046;
constexpr double range_factor = double(1.1f);

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

std::string residual_chart_title(const std::string& model_name) {
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

plot_handle build_residual_plot(const std::string& model_name, const xy_curves& c,
                                residual_axis against) {
  const int ncurves = std::min(c.ncurves, core::max_curves);
  if (ncurves < 1) return nullptr;
  auto h = initialize_plot();
  set_xlinear(h);
  set_ylinear(h);
  set_title(h, residual_chart_title(model_name));

  std::vector<std::vector<double>> xs(static_cast<std::size_t>(ncurves)), rs(xs.size());
  double xmax = 0.0, largest = 0.0;
  for (int k = 0; k < ncurves; ++k) {
    for (int i = 0; i < c.n[static_cast<std::size_t>(k)]; ++i) {
      const auto cell = static_cast<std::size_t>(k) * static_cast<std::size_t>(c.maxn) +
                        static_cast<std::size_t>(i);
      const double x = against == residual_axis::substrate ? c.xd[cell] : c.yf[cell];
      const double r = c.yd[cell] - c.yf[cell];
      xs[static_cast<std::size_t>(k)].push_back(x);
      rs[static_cast<std::size_t>(k)].push_back(r);
      xmax = std::fmax(xmax, x);
      if (std::isfinite(r)) largest = std::fmax(largest, std::fabs(r));
    }
  }
  const double x_upper = range_factor * xmax;
  const bool fixed_x = usable_limits(0.0, x_upper);
  if (fixed_x)
    set_xscale(h, 0.0, x_upper);
  else
    set_xautoscale(h);
  // The zero line first (series 0), so that the points are drawn over it.
  const std::vector<double> zero_x{0.0, fixed_x ? x_upper : xmax}, zero_y{0.0, 0.0};
  add_unlabelled_series(h, zero_x, zero_y, series_line, reference_grey);
  for (int k = 0; k < ncurves; ++k) {
    const auto q = static_cast<std::size_t>(k);
    add_dataset(h, std::span<const double>(xs[q]), std::span<const double>(rs[q]));
    const int series = k + 1;
    set_seriescolor(h, series, curve_colors[q].red, curve_colors[q].green, curve_colors[q].blue);
    set_seriestype(h, series, series_big_dot);
    set_seriesmarker(h, series, curve_markers[q]);
    set_serieslabel(h, series, inhibitor_label(c.inhibitor[q]));
  }

  // Symmetric about 0, so that a drift to one side shows at a glance.
  const std::vector<double> size{largest};
  double ymin = 0.0, upper = 0.0, tick = 0.0;
  if (largest > 0.0 && scale_axis(1, size, ymin, upper, tick) && upper > 0.0)
    set_yscale(h, -upper, upper);
  else
    set_yautoscale(h);  // a perfect fit, or no finite residual

  set_ylabel(h, plots::residual_title);
  set_xlabel(h, against == residual_axis::substrate ? substrate_title : fitted_rate_title);
  return h;
}

void resplot(const core::fit_context& ctx, residual_axis against) {
  const auto curves = group_curves(ctx);
  if (curves.ncurves < 1) return;
  if (ctx.fe != nullptr) ctx.fe->idle(500);
  auto h = build_residual_plot(ctx.strmdl, curves, against);
  if (h) show_and_destroy(h, ctx.fe);
}

std::optional<plotengine::pplot> residual_chart(const core::fit_context& ctx,
                                                residual_axis against) {
  const auto curves = group_curves(ctx);
  auto h = build_residual_plot(ctx.strmdl, curves, against);
  if (!h) return std::nullopt;
  return std::move(h->chart);
}

}  // namespace inhibra::plots
