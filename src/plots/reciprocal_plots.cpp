#include "plots/reciprocal_plots.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "plots/figure_style.hpp"
#include "strings/text.hpp"

namespace inhibra::plots {

namespace {

constexpr double range_factor = double(1.1f);
constexpr double same_level = 1e-6;  // relative difference of [S] within one level
constexpr int max_levels = core::max_curves;

std::string chart_title(const std::string& model_name, std::string_view kind) {
  return std::string(strings::trim_both(model_name)) + "\r\n" + std::string(kind) + "\r\n" +
         std::string(reciprocal_note);
}

struct line {
  std::vector<double> x, y;
};

// 1/value(x) at evenly spaced x from `from` to `to`; where value is not a positive
// finite number the point is left out.
template <class F>
line reciprocal_line(double from, double to, F value) {
  line out;
  for (int j = 0; j < reciprocal_line_points; ++j) {
    const double x = from + (to - from) * j / (reciprocal_line_points - 1);
    const double v = value(x);
    if (!(v > 0.0) || !std::isfinite(v)) continue;
    out.x.push_back(x);
    out.y.push_back(1.0 / v);
  }
  return out;
}

// Adds the markers and the line of one group in the colour and shape of `slot`.
void add_group(const plot_handle& h, std::size_t slot, const std::vector<double>& px,
               const std::vector<double>& py, const line& l, const std::string& label) {
  const auto colour = curve_colors[slot];
  add_dataset(h, std::span<const double>(px), std::span<const double>(py));
  const int dots = static_cast<int>(h->chart.data.size()) - 1;
  set_seriescolor(h, dots, colour.red, colour.green, colour.blue);
  set_seriestype(h, dots, series_big_dot);
  set_seriesmarker(h, dots, curve_markers[slot]);
  set_serieslabel(h, dots, label);
  add_unlabelled_series(h, l.x, l.y, series_line, colour);
}

// Both axes start at 0 and end 10 % above the largest value shown.
void set_ranges(const plot_handle& h, double x_end, double y_max) {
  if (usable_limits(0.0, x_end))
    set_xscale(h, 0.0, x_end);
  else
    set_xautoscale(h);
  if (usable_limits(0.0, range_factor * y_max))
    set_yscale(h, 0.0, range_factor * y_max);
  else
    set_yautoscale(h);
}

double largest(const std::vector<double>& v, double start) {
  for (double x : v)
    if (std::isfinite(x)) start = std::fmax(start, x);
  return start;
}

}  // namespace

std::string substrate_label(double substrate) {
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<float>(substrate));
  std::string text = "[S] = ";
  if (ec == std::errc()) text.append(buf, end);
  return text;
}

plot_handle build_lineweaver_burk_plot(const std::string& model_name, const xy_curves& c,
                                       const rate_function& rate) {
  const int ncurves = std::min(c.ncurves, core::max_curves);
  std::vector<std::vector<double>> px(static_cast<std::size_t>(std::max(ncurves, 0))),
      py(px.size());
  double x_max = 0.0;
  bool any = false;
  for (int k = 0; k < ncurves; ++k) {
    const auto q = static_cast<std::size_t>(k);
    for (int i = 0; i < c.n[q]; ++i) {
      const auto cell = q * static_cast<std::size_t>(c.maxn) + static_cast<std::size_t>(i);
      if (!(c.xd[cell] > 0.0) || !(c.yd[cell] > 0.0)) continue;
      px[q].push_back(1.0 / c.xd[cell]);
      py[q].push_back(1.0 / c.yd[cell]);
      x_max = std::fmax(x_max, px[q].back());
      any = true;
    }
  }
  if (!any || !rate) return nullptr;

  auto h = initialize_plot();
  set_xlinear(h);
  set_ylinear(h);
  set_title(h, chart_title(model_name, "Lineweaver-Burk Plot"));
  const double x_end = range_factor * x_max;
  double y_max = 0.0;
  for (int k = 0; k < ncurves; ++k) {
    const auto q = static_cast<std::size_t>(k);
    const double inhibitor = c.inhibitor[q];
    // x = 0 is [S] without end; the line starts at its first step.
    line l = reciprocal_line(x_end / (reciprocal_line_points - 1), x_end,
                             [&](double x) { return rate(1.0 / x, inhibitor); });
    y_max = largest(py[q], largest(l.y, y_max));
    add_group(h, q, px[q], py[q], l, inhibitor_label(inhibitor));
  }
  set_ranges(h, x_end, y_max);
  set_xlabel(h, reciprocal_substrate_title);
  set_ylabel(h, reciprocal_rate_title);
  return h;
}

std::vector<substrate_level> substrate_levels(const xy_curves& c) {
  std::vector<substrate_level> levels;
  const int ncurves = std::min(c.ncurves, core::max_curves);
  for (int k = 0; k < ncurves; ++k) {
    const auto q = static_cast<std::size_t>(k);
    for (int i = 0; i < c.n[q]; ++i) {
      const auto cell = q * static_cast<std::size_t>(c.maxn) + static_cast<std::size_t>(i);
      const double s = c.xd[cell];
      if (!(s > 0.0) || !(c.yd[cell] > 0.0) || !std::isfinite(s)) continue;
      auto found = std::find_if(levels.begin(), levels.end(), [&](const substrate_level& l) {
        return std::fabs(l.substrate - s) <= same_level * std::fmax(l.substrate, s);
      });
      if (found == levels.end()) {
        levels.push_back({s, {}, {}});
        found = levels.end() - 1;
      }
      found->inhibitor.push_back(c.inhibitor[q]);
      found->rate.push_back(c.yd[cell]);
    }
  }
  // A level seen at one [I] only has no slope to show.
  std::erase_if(levels, [](const substrate_level& l) {
    const auto [lo, hi] = std::minmax_element(l.inhibitor.begin(), l.inhibitor.end());
    return !(*hi > *lo);
  });
  std::sort(levels.begin(), levels.end(),
            [](const auto& a, const auto& b) { return a.substrate < b.substrate; });
  if (levels.size() > static_cast<std::size_t>(max_levels)) levels.resize(max_levels);
  return levels;
}

plot_handle build_dixon_plot(const std::string& model_name, const xy_curves& c,
                             const rate_function& rate) {
  const auto levels = substrate_levels(c);
  if (levels.empty() || !rate) return nullptr;
  double i_max = 0.0;
  for (const auto& l : levels)
    i_max = largest(l.inhibitor, i_max);

  auto h = initialize_plot();
  set_xlinear(h);
  set_ylinear(h);
  set_title(h, chart_title(model_name, "Dixon Plot"));
  const double x_end = range_factor * i_max;
  double y_max = 0.0;
  for (std::size_t q = 0; q < levels.size(); ++q) {
    const auto& level = levels[q];
    std::vector<double> py;
    for (double v : level.rate)
      py.push_back(1.0 / v);
    line l = reciprocal_line(0.0, x_end, [&](double x) { return rate(level.substrate, x); });
    y_max = largest(py, largest(l.y, y_max));
    add_group(h, q, level.inhibitor, py, l, substrate_label(level.substrate));
  }
  set_ranges(h, x_end, y_max);
  set_xlabel(h, inhibitor_title);
  set_ylabel(h, reciprocal_rate_title);
  return h;
}

std::optional<plotengine::pplot> lineweaver_burk_chart(const core::fit_context& ctx,
                                                       const rate_function& rate) {
  auto h = build_lineweaver_burk_plot(ctx.strmdl, group_curves(ctx), rate);
  if (!h) return std::nullopt;
  return std::move(h->chart);
}

std::optional<plotengine::pplot> dixon_chart(const core::fit_context& ctx,
                                             const rate_function& rate) {
  auto h = build_dixon_plot(ctx.strmdl, group_curves(ctx), rate);
  if (!h) return std::nullopt;
  return std::move(h->chart);
}

}  // namespace inhibra::plots
