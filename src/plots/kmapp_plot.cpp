#include "plots/kmapp_plot.hpp"

#include <algorithm>
#include <cmath>

#include "plots/figure_style.hpp"
#include "strings/text.hpp"

namespace inhibra::plots {

namespace {

constexpr double infinite_a = 4.5e15;  // model 1: the ES complex binds no inhibitor
constexpr double range_factor = double(1.1f);
constexpr int title_field = 150;

std::string kmapp_title(const std::string& model_name) {
  const std::string title = std::string(strings::trim_both(model_name)) +
                            "\r\n( Catalytic Down \\, Specific Up /, Constant Ratio [S]/[I]= 5 )";
  return strings::pad(title, title_field);
}

plot_handle handle_for(const core::fit_context& ctx) {
  return build_kmapp_plot(ctx.strmdl, ctx.model, ctx.variables, group_curves(ctx));
}

// The sum of squares of v = V f with f = s/(K + s) and V at its best for this K.
double mm_ssr(std::span<const double> s, std::span<const double> v, double k, double* vmax) {
  double fv = 0.0, ff = 0.0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double f = s[i] / (k + s[i]);
    fv += f * v[i];
    ff += f * f;
  }
  const double best_v = ff > 0.0 ? fv / ff : 0.0;
  double ssr = 0.0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double r = v[i] - best_v * s[i] / (k + s[i]);
    ssr += r * r;
  }
  if (vmax != nullptr) *vmax = best_v;
  return ssr;
}

}  // namespace

bool kmapp_factor(int model, std::span<const double> variables, double& a) {
  switch (model) {
    case 1:
      a = infinite_a;
      return true;
    case 2:
    case 6:  // model 6's P4 is b; its a is 1
      a = 1.0;
      return true;
    case 3:
    case 4:
    case 5:
    case 7:
    case 8:
    case 9:
    case 10:
      a = variables.size() >= 4 ? variables[3] : 0.0;
      return true;
    default:
      return false;
  }
}

bool kmapp_curve(int model, std::span<const double> variables, std::vector<double>& inhibitor,
                 std::vector<double>& kmapp) {
  double a = 0.0;
  if (variables.size() < 3 || !kmapp_factor(model, variables, a)) return false;
  const double km = variables[0];
  const double ki = variables[2];
  inhibitor.assign(kmapp_points, 0.0);
  kmapp.assign(kmapp_points, 0.0);
  for (int i = 1; i <= kmapp_points; ++i) {
    const double s = static_cast<double>(i) * km / 5.0;
    const double inh = s / 5.0;
    const double r = s / inh;
    inhibitor[static_cast<std::size_t>(i - 1)] = inh;
    kmapp[static_cast<std::size_t>(i - 1)] = (s / (r * ki) + 1.0) * km / (s / (r * a * ki) + 1.0);
  }
  return true;
}

double kmapp_at(int model, std::span<const double> variables, double inhibitor) {
  double a = 0.0;
  if (variables.size() < 3 || !kmapp_factor(model, variables, a)) return std::nan("");
  const double km = variables[0], ki = variables[2];
  return km * (1.0 + inhibitor / ki) / (1.0 + inhibitor / (a * ki));
}

bool apparent_km(std::span<const double> substrate, std::span<const double> rate, double& km) {
  std::vector<double> s, v;
  for (std::size_t i = 0; i < std::min(substrate.size(), rate.size()); ++i) {
    if (!(substrate[i] > 0.0) || !std::isfinite(substrate[i]) || !std::isfinite(rate[i])) continue;
    s.push_back(substrate[i]);
    v.push_back(rate[i]);
  }
  if (s.size() < 3) return false;
  const auto [lo_it, hi_it] = std::minmax_element(s.begin(), s.end());
  const double lo = std::log(*lo_it / 1000.0), hi = std::log(*hi_it * 1000.0);
  // A grid over log K finds the valley; a golden-section search refines it.
  constexpr int grid = 120;
  int best = 0;
  double best_ssr = INFINITY;
  for (int j = 0; j <= grid; ++j) {
    const double ssr = mm_ssr(s, v, std::exp(lo + (hi - lo) * j / grid), nullptr);
    if (ssr < best_ssr) {
      best_ssr = ssr;
      best = j;
    }
  }
  if (best == 0 || best == grid) return false;
  double a = lo + (hi - lo) * (best - 1) / grid, b = lo + (hi - lo) * (best + 1) / grid;
  const double g = (std::sqrt(5.0) - 1.0) / 2.0;
  for (int it = 0; it < 100 && b - a > 1e-12; ++it) {
    const double c = b - g * (b - a), d = a + g * (b - a);
    if (mm_ssr(s, v, std::exp(c), nullptr) < mm_ssr(s, v, std::exp(d), nullptr))
      b = d;
    else
      a = c;
  }
  km = std::exp((a + b) / 2.0);
  return std::isfinite(km);
}

plot_handle build_kmapp_plot(const std::string& model_name, int model,
                             std::span<const double> variables, const xy_curves& curves) {
  if (variables.size() < 3 || std::isnan(kmapp_at(model, variables, 0.0))) return nullptr;
  const int ncurves = std::min(curves.ncurves, core::max_curves);
  double i_max = 0.0;
  for (int k = 0; k < ncurves; ++k)
    i_max = std::fmax(i_max, curves.inhibitor[static_cast<std::size_t>(k)]);
  const double i_end = std::fmax(4.0 * variables[0], range_factor * i_max);

  auto h = initialize_plot();
  set_xlinear(h);
  set_ylinear(h);
  if (usable_limits(0.0, i_end))
    set_xscale(h, 0.0, i_end);
  else
    set_xautoscale(h);
  set_title(h, kmapp_title(model_name));
  std::vector<double> xs, ys;
  for (int j = 0; j < curve_points; ++j) {
    const double inh = i_end * j / (curve_points - 1);
    const double value = kmapp_at(model, variables, inh);
    if (!std::isfinite(value)) continue;
    xs.push_back(inh);
    ys.push_back(value);
  }
  add_dataset(h, std::span<const double>(xs), std::span<const double>(ys));
  set_seriescolor(h, 0, ink.red, ink.green, ink.blue);
  set_seriestype(h, 0, series_line);
  set_serieslabel(h, 0, kmapp_model_label);

  double y_max = 0.0;
  for (double v : ys)
    y_max = std::fmax(y_max, v);
  bool labelled = false;
  for (int k = 0; k < ncurves; ++k) {
    const auto q = static_cast<std::size_t>(k);
    const auto first = q * static_cast<std::size_t>(curves.maxn);
    const auto n = static_cast<std::size_t>(curves.n[q]);
    double km = 0.0;
    if (!apparent_km(std::span<const double>(curves.xd).subspan(first, n),
                     std::span<const double>(curves.yd).subspan(first, n), km))
      continue;
    const std::vector<double> px{curves.inhibitor[q]}, py{km};
    y_max = std::fmax(y_max, km);
    add_dataset(h, std::span<const double>(px), std::span<const double>(py));
    const int series = static_cast<int>(h->chart.data.size()) - 1;
    set_seriescolor(h, series, curve_colors[q].red, curve_colors[q].green, curve_colors[q].blue);
    set_seriestype(h, series, series_big_dot);
    set_seriesmarker(h, series, curve_markers[q]);
    // One legend entry for the points: the colours and shapes are the XY plot's.
    if (!labelled) set_serieslabel(h, series, kmapp_curves_label);
    labelled = true;
  }
  // From 0, so that the size of the change shows; 10 % room above the highest.
  if (usable_limits(0.0, range_factor * y_max))
    set_yscale(h, 0.0, range_factor * y_max);
  else
    set_yautoscale(h);
  set_ylabel(h, kmapp_title_text);
  set_xlabel(h, inhibitor_title);
  return h;
}

void lin_kmapp_i_plot(const core::fit_context& ctx) {
  if (ctx.model < 1 || ctx.model > 4) return;
  auto h = handle_for(ctx);
  if (!h) return;
  show_and_destroy(h, ctx.fe);
  if (ctx.fe != nullptr) ctx.fe->idle(500);
}

void hyper_kmapp_i_plot(const core::fit_context& ctx) {
  if (ctx.model < 5 || ctx.model > 10) return;
  auto h = handle_for(ctx);
  if (!h) return;
  if (ctx.fe != nullptr) ctx.fe->idle(500);
  show_and_destroy(h, ctx.fe);
}

std::optional<plotengine::pplot> kmapp_chart(const core::fit_context& ctx) {
  if (ctx.model < 1 || ctx.model > 10) return std::nullopt;
  auto h = handle_for(ctx);
  if (!h) return std::nullopt;
  return std::move(h->chart);
}

}  // namespace inhibra::plots
