#include "plots/xyplot.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "strings/text.hpp"

namespace inhibra::plots {

namespace {

constexpr double same_curve = 1e-7;            // [I] closer than this: the same curve
constexpr double range_factor = double(1.1f);  // axes end 10 % beyond the largest value
constexpr double smallest_limit = double(1e-16f);

label_array xy_labels(const core::run_results& ctx) {
  label_array labels;
  labels[0] = strings::pad(strings::adjustl(ctx.strmdl), core::name_field);
  for (std::size_t k = 1; k < labels.size(); ++k)
    labels[k] = strings::pad("[I]=", core::name_field);
  return labels;
}

label_array blank_labels() {
  label_array labels;
  labels.fill(std::string(core::name_field, ' '));
  return labels;
}

// Leaves out the points of a curve whose rate is 0 or below.
void drop_non_positive(model_curve& curve) {
  std::size_t kept = 0;
  for (std::size_t j = 0; j < curve.y.size(); ++j) {
    if (!(curve.y[j] > 0.0)) continue;
    curve.x[kept] = curve.x[j];
    curve.y[kept] = curve.y[j];
    ++kept;
  }
  curve.x.resize(kept);
  curve.y.resize(kept);
}

}  // namespace

int plotted_rows(const core::observations& ctx) {
  return std::clamp(ctx.idat, 0, core::max_rows);
}

bool usable_limits(double lower, double upper) {
  return std::isfinite(lower) && std::isfinite(upper) && std::fabs(upper) > smallest_limit &&
         lower < upper;
}

xy_curves group_curves(const core::fit_context& ctx) {
  xy_curves c;
  const int rows = plotted_rows(ctx);
  if (rows < 1) return c;
  const auto inh = [&](int row) { return ctx.inhibitor[static_cast<std::size_t>(row - 1)]; };

  double reference = inh(1);
  int count = 0;
  bool full = false;
  for (int row = 2; row <= rows; ++row) {
    ++count;
    if (std::fabs(inh(row) - reference) > same_curve) {
      c.n[static_cast<std::size_t>(c.ncurves)] = count;
      c.inhibitor[static_cast<std::size_t>(c.ncurves)] = inh(row - 1);
      ++c.ncurves;
      if (c.ncurves == core::max_curves) {  // the rows of an eleventh curve are not plotted
        full = true;
        break;
      }
      reference = inh(row);
      count = 0;
    }
  }
  if (!full) {
    c.n[static_cast<std::size_t>(c.ncurves)] = count + 1;
    c.inhibitor[static_cast<std::size_t>(c.ncurves)] = inh(rows);
    ++c.ncurves;
  }

  c.maxn = *std::max_element(c.n.begin(), c.n.begin() + c.ncurves);
  const auto cells = static_cast<std::size_t>(c.maxn) * static_cast<std::size_t>(c.ncurves);
  c.xd.assign(cells, 0.0);
  c.yd.assign(cells, 0.0);
  c.yf.assign(cells, 0.0);
  std::size_t row = 0;  // running index over the observations, curve after curve
  for (int k = 0; k < c.ncurves; ++k) {
    for (int i = 0; i < c.n[static_cast<std::size_t>(k)]; ++i, ++row) {
      const auto cell = static_cast<std::size_t>(k) * static_cast<std::size_t>(c.maxn) +
                        static_cast<std::size_t>(i);
      c.xd[cell] = ctx.substrate[row];
      c.yd[cell] = ctx.rate[row];
      c.yf[cell] = ctx.fitted[row];
    }
  }
  // `row` now counts the rows plotted.
  for (const int flagged : ctx.flagged_rows) {
    if (flagged < 1 || static_cast<std::size_t>(flagged) > row) continue;
    const auto k = static_cast<std::size_t>(flagged - 1);
    c.flagged_x.push_back(ctx.substrate[k]);
    c.flagged_y.push_back(ctx.rate[k]);
  }
  return c;
}

std::string inhibitor_label(double inhibitor) {
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<float>(inhibitor));
  std::string text = "[I] = ";
  if (ec == std::errc()) text.append(buf, end);
  return strings::pad(text, 50);
}

replicate_summary summarise_replicates(std::span<const double> substrate,
                                       std::span<const double> rate) {
  replicate_summary out;
  const std::size_t n = std::min(substrate.size(), rate.size());
  std::vector<std::size_t> group(n);
  for (std::size_t k = 0; k < n; ++k) {
    const auto found = std::find(out.substrate.begin(), out.substrate.end(), substrate[k]);
    group[k] = static_cast<std::size_t>(found - out.substrate.begin());
    if (found == out.substrate.end()) {
      out.substrate.push_back(substrate[k]);
      out.mean.push_back(0.0);
      out.count.push_back(0);
    }
    out.mean[group[k]] += rate[k];
    ++out.count[group[k]];
  }
  for (std::size_t g = 0; g < out.mean.size(); ++g)
    out.mean[g] /= static_cast<double>(out.count[g]);
  std::vector<double> squares(out.mean.size(), 0.0);
  for (std::size_t k = 0; k < n; ++k) {
    const double d = rate[k] - out.mean[group[k]];
    squares[group[k]] += d * d;
  }
  out.sd.resize(out.mean.size());
  for (std::size_t g = 0; g < out.sd.size(); ++g) {
    out.sd[g] = out.count[g] >= 2 ? std::sqrt(squares[g] / static_cast<double>(out.count[g] - 1))
                                  : std::numeric_limits<double>::quiet_NaN();
  }
  return out;
}

model_curve sample_model_curve(const rate_function& rate, double inhibitor, double s_end) {
  model_curve curve;
  if (!rate) return curve;
  curve.x.reserve(curve_points);
  curve.y.reserve(curve_points);
  for (int j = 0; j < curve_points; ++j) {
    const double s = s_end * static_cast<double>(j) / static_cast<double>(curve_points - 1);
    const double v = rate(s, inhibitor);
    if (!std::isfinite(v)) continue;
    curve.x.push_back(s);
    curve.y.push_back(v);
  }
  return curve;
}

plot_handle build_xy_plot(const xy_curves& c, label_array& labels, const label_array& fitlabels,
                          bool logflag, const rate_function& rate, replicate_display replicates) {
  std::vector<std::vector<double>> x, y;
  // With means: the error bars of each curve, as one line series broken by NaN
  // between the bars.
  std::vector<std::vector<double>> bar_x, bar_y;
  bool any_bar = false;
  constexpr double gap = std::numeric_limits<double>::quiet_NaN();
  // The axes start at 0 and reach past the largest [S] and the largest measured rate.
  double xmax = 0.0, ymax = 0.0;
  const int ncurves = std::min(c.ncurves, core::max_curves);
  for (int k = 1; k <= ncurves; ++k) {
    const auto col = static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(c.maxn);
    const auto n = static_cast<std::size_t>(c.n[static_cast<std::size_t>(k - 1)]);
    x.emplace_back(c.xd.begin() + static_cast<std::ptrdiff_t>(col),
                   c.xd.begin() + static_cast<std::ptrdiff_t>(col + n));
    y.emplace_back(c.yd.begin() + static_cast<std::ptrdiff_t>(col),
                   c.yd.begin() + static_cast<std::ptrdiff_t>(col + n));
    labels[static_cast<std::size_t>(k)] =
        inhibitor_label(c.inhibitor[static_cast<std::size_t>(k - 1)]);
    for (double v : x.back())
      xmax = std::fmax(xmax, v);
    for (double v : y.back())
      ymax = std::fmax(ymax, v);
    bar_x.emplace_back();
    bar_y.emplace_back();
    if (replicates == replicate_display::mean_sd) {
      const replicate_summary r = summarise_replicates(x.back(), y.back());
      for (std::size_t g = 0; g < r.mean.size(); ++g) {
        if (r.count[g] < 2) continue;
        bar_x.back().insert(bar_x.back().end(), {r.substrate[g], r.substrate[g], gap});
        bar_y.back().insert(bar_y.back().end(), {r.mean[g] - r.sd[g], r.mean[g] + r.sd[g], gap});
        ymax = std::fmax(ymax, r.mean[g] + r.sd[g]);
        any_bar = true;
      }
      x.back() = r.substrate;
      y.back() = r.mean;
    }
  }
  if (c.ncurves > core::max_curves || ncurves < 1) return nullptr;

  auto h = initialize_plot();
  set_xlinear(h);
  if (logflag)
    set_ylogarithmic(h, 10.0);
  else
    set_ylinear(h);
  const double x_upper = range_factor * xmax;
  const double y_upper = range_factor * ymax;
  // The model curves span the [S] axis; an axis scaled from the data ends at the
  // largest [S].
  const bool fixed_x = usable_limits(0.0, x_upper);
  if (fixed_x)
    set_xscale(h, 0.0, x_upper);
  else
    set_xautoscale(h);
  const double s_end = fixed_x ? x_upper : xmax;
  if (usable_limits(0.0, y_upper))
    set_yscale(h, 0.0, y_upper);
  else
    set_yautoscale(h);
  set_title(h, labels[0]);
  for (int k = 1; k <= ncurves; ++k) {
    const auto& colour = curve_colors[static_cast<std::size_t>(k - 1)];
    const int dots = 2 * k - 2, line = 2 * k - 1;
    add_dataset(h, std::span<const double>(x[static_cast<std::size_t>(k - 1)]),
                std::span<const double>(y[static_cast<std::size_t>(k - 1)]));
    set_seriescolor(h, dots, colour.red, colour.green, colour.blue);
    set_seriestype(h, dots, series_big_dot);
    set_seriesmarker(h, dots, curve_markers[static_cast<std::size_t>(k - 1)]);
    set_serieslabel(h, dots,
                    any_bar ? std::string(strings::trim(labels[static_cast<std::size_t>(k)])) +
                                  std::string(mean_sd_note)
                            : labels[static_cast<std::size_t>(k)]);
    model_curve curve =
        sample_model_curve(rate, c.inhibitor[static_cast<std::size_t>(k - 1)], s_end);
    if (logflag) drop_non_positive(curve);  // the rate at [S] = 0 has no logarithm
    add_dataset(h, std::span<const double>(curve.x), std::span<const double>(curve.y));
    set_seriescolor(h, line, colour.red, colour.green, colour.blue);
    set_seriestype(h, line, series_line);
    set_serieslabel(h, line, fitlabels[static_cast<std::size_t>(k)]);
  }
  if (!c.flagged_x.empty()) {
    // Drawn last, over the dots; a row past the tenth curve is not plotted.
    const int marks = 2 * ncurves;
    add_dataset(h, std::span<const double>(c.flagged_x), std::span<const double>(c.flagged_y));
    set_seriescolor(h, marks, 0, 0, 0);
    set_seriestype(h, marks, series_cross);
    set_serieslabel(h, marks, flagged_rows_label);
  }
  int next = 2 * ncurves + (c.flagged_x.empty() ? 0 : 1);
  for (int k = 1; k <= ncurves && any_bar; ++k) {
    const auto curve = static_cast<std::size_t>(k - 1);
    if (bar_x[curve].empty()) continue;
    const auto& colour = curve_colors[curve];
    add_dataset(h, std::span<const double>(bar_x[curve]), std::span<const double>(bar_y[curve]));
    set_seriescolor(h, next, colour.red, colour.green, colour.blue);
    set_seriestype(h, next, series_line);
    ++next;
  }
  set_ylabel(h, rate_title);
  set_xlabel(h, substrate_title);
  return h;
}

void plot(core::frontend* fe, const xy_curves& c, label_array& labels, const label_array& fitlabels,
          bool logflag, const rate_function& rate) {
  auto h = build_xy_plot(c, labels, fitlabels, logflag, rate);
  if (h) show_and_destroy(h, fe);
}

namespace {

replicate_display display_of(const core::run_settings& ctx) {
  return ctx.replicate_means ? replicate_display::mean_sd : replicate_display::points;
}

}  // namespace

void xyplot(const core::fit_context& ctx, const rate_function& rate) {
  const auto curves = group_curves(ctx);
  if (curves.ncurves < 1) return;
  auto labels = xy_labels(ctx);
  auto h = build_xy_plot(curves, labels, blank_labels(), false, rate, display_of(ctx));
  if (h) show_and_destroy(h, ctx.fe);
}

std::optional<plotengine::pplot> xy_chart(const core::fit_context& ctx, const rate_function& rate) {
  const auto curves = group_curves(ctx);
  if (curves.ncurves < 1) return std::nullopt;
  auto labels = xy_labels(ctx);
  auto h = build_xy_plot(curves, labels, blank_labels(), false, rate, display_of(ctx));
  if (!h) return std::nullopt;
  return std::move(h->chart);
}

}  // namespace inhibra::plots
