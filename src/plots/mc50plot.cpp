#include "plots/mc50plot.hpp"

#include <cmath>
#include <vector>

#include "plots/figure_style.hpp"
#include "plots/kmapp_plot.hpp"
#include "strings/text.hpp"

namespace inhibra::plots {

namespace {

constexpr double low_x = double(0.2f);
constexpr double low_y = double(0.8f);
constexpr double high = double(1.1f);

struct mc50_input {
  std::vector<double> x, y;
  label_array labels, fitlabels;
};

mc50_input input_of(const core::run_results& ctx) {
  mc50_input in;
  in.x.assign(ctx.mc50_substrate.begin(), ctx.mc50_substrate.end());
  in.y.assign(ctx.mc50_value.begin(), ctx.mc50_value.end());
  in.labels.fill(std::string(core::name_field, ' '));
  in.labels[0] = strings::pad(strings::adjustl(ctx.strmdl), core::name_field);
  in.fitlabels.fill(std::string(core::name_field, ' '));
  return in;
}

mc50_function smooth_of(const core::fit_context& ctx) {
  return [model = ctx.model, variables = ctx.variables](double s) {
    return mc50_at(model, variables, s);
  };
}

}  // namespace

double mc50_at(int model, std::span<const double> variables, double s) {
  double a = 0.0;
  if (variables.size() < 3 || !kmapp_factor(model, variables, a)) return std::nan("");
  const double km = variables[0], ki = variables[2];
  return a * ki * (km + s) / (a * km + s);
}

plot_handle build_mc50_plot(std::span<const double> x, std::span<const double> y, int n,
                            int ncurves, const label_array& labels, const label_array& fitlabels,
                            bool logflag, const mc50_function& smooth) {
  const auto count =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(n, 0)), std::min(x.size(), y.size()));
  if (ncurves != 1 || count == 0) return nullptr;
  const auto xs = x.first(count);
  const auto ys = y.first(count);
  double xmin = xs[0], xmax = xs[0], ymin = ys[0], ymax = ys[0];
  for (std::size_t i = 0; i < count; ++i) {
    xmin = std::fmin(xmin, xs[i]);
    xmax = std::fmax(xmax, xs[i]);
    ymin = std::fmin(ymin, ys[i]);
    ymax = std::fmax(ymax, ys[i]);
  }

  auto h = initialize_plot();
  set_xlinear(h);
  if (logflag)
    set_ylogarithmic(h, 10.0);
  else
    set_ylinear(h);
  const bool fixed_x = usable_limits(low_x * xmin, high * xmax);
  if (fixed_x)
    set_xscale(h, low_x * xmin, high * xmax);
  else
    set_xautoscale(h);
  std::vector<double> line_x(xs.begin(), xs.end()), line_y(ys.begin(), ys.end());
  if (smooth && fixed_x) {
    line_x.clear();
    line_y.clear();
    const double from = low_x * xmin, to = high * xmax;
    for (int j = 0; j < curve_points; ++j) {
      const double s = from + (to - from) * j / (curve_points - 1);
      const double value = smooth(s);
      if (!std::isfinite(value) || (logflag && !(value > 0.0))) continue;
      line_x.push_back(s);
      line_y.push_back(value);
    }
  }
  if (usable_limits(low_y * ymin, high * ymax))
    set_yscale(h, low_y * ymin, high * ymax);
  else
    set_yautoscale(h);
  set_title(h, labels[0]);
  add_dataset(h, xs, ys);
  set_seriescolor(h, 0, ink.red, ink.green, ink.blue);
  set_seriestype(h, 0, series_big_dot);
  set_serieslabel(h, 0, mc50_formula);
  add_dataset(h, std::span<const double>(line_x), std::span<const double>(line_y));
  set_seriescolor(h, 1, ink.red, ink.green, ink.blue);
  set_seriestype(h, 1, series_line);
  set_serieslabel(h, 1, fitlabels[1]);
  set_ylabel(h, mc50_title);
  set_xlabel(h, substrate_title);
  return h;
}

void plotmc50(core::frontend* fe, std::span<const double> x, std::span<const double> y, int n,
              int ncurves, const label_array& labels, const label_array& fitlabels, bool logflag,
              const mc50_function& smooth) {
  auto h = build_mc50_plot(x, y, n, ncurves, labels, fitlabels, logflag, smooth);
  if (h) show_and_destroy(h, fe);
}

void mc50plot(const core::fit_context& ctx) {
  const auto in = input_of(ctx);
  plotmc50(ctx.fe, in.x, in.y, core::mc50_levels, 1, in.labels, in.fitlabels, false,
           smooth_of(ctx));
}

std::optional<plotengine::pplot> mc50_chart(const core::fit_context& ctx) {
  const auto in = input_of(ctx);
  auto h = build_mc50_plot(in.x, in.y, core::mc50_levels, 1, in.labels, in.fitlabels, false,
                           smooth_of(ctx));
  if (!h) return std::nullopt;
  return std::move(h->chart);
}

}  // namespace inhibra::plots
