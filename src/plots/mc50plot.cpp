#include "plots/mc50plot.hpp"

#include <cmath>
#include <vector>

#include "strings/text.hpp"

namespace inhibra::plots {

namespace {

constexpr double low_x = double(0.2f);
constexpr double low_y = double(0.8f);
constexpr double high = double(1.1f);
constexpr plotengine::rgb blue{0, 0, 255};

struct mc50_input {
  std::vector<double> x, y;
  label_array labels, fitlabels;
};

mc50_input input_of(const core::fit_context& ctx) {
  mc50_input in;
  in.x.assign(ctx.mc50_substrate.begin(), ctx.mc50_substrate.end());
  in.y.assign(ctx.mc50_value.begin(), ctx.mc50_value.end());
  in.labels.fill(std::string(core::name_field, ' '));
  in.labels[0] = strings::pad(strings::adjustl(ctx.strmdl), core::name_field);
  in.fitlabels.fill(std::string(core::name_field, ' '));
  return in;
}

}  // namespace

plot_handle build_mc50_plot(std::span<const double> x, std::span<const double> y, int n,
                            int ncurves, const label_array& labels, const label_array& fitlabels,
                            bool logflag) {
  const auto count =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(n, 0)), std::min(x.size(), y.size()));
  if (ncurves != 1 || count == 0) return nullptr;
  const auto xs = x.first(count);
  const auto ys = y.first(count);
  const std::vector<double> line(ys.begin(), ys.end());
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
  if (usable_limits(low_x * xmin, high * xmax))
    set_xscale(h, low_x * xmin, high * xmax);
  else
    set_xautoscale(h);
  if (usable_limits(low_y * ymin, high * ymax))
    set_yscale(h, low_y * ymin, high * ymax);
  else
    set_yautoscale(h);
  set_title(h, labels[0]);
  add_dataset(h, xs, ys);
  set_seriescolor(h, 0, blue.red, blue.green, blue.blue);
  set_seriestype(h, 0, series_big_dot);
  set_serieslabel(h, 0, mc50_formula);
  add_dataset(h, xs, std::span<const double>(line));
  set_seriescolor(h, 1, blue.red, blue.green, blue.blue);
  set_seriestype(h, 1, series_line);
  set_serieslabel(h, 1, fitlabels[1]);
  set_ylabel(h, "MC50");
  set_xlabel(h, "[SUBSTRATE]");
  return h;
}

void plotmc50(core::frontend* fe, std::span<const double> x, std::span<const double> y, int n,
              int ncurves, const label_array& labels, const label_array& fitlabels, bool logflag) {
  auto h = build_mc50_plot(x, y, n, ncurves, labels, fitlabels, logflag);
  if (h) show_and_destroy(h, fe);
}

void mc50plot(const core::fit_context& ctx) {
  const auto in = input_of(ctx);
  plotmc50(ctx.fe, in.x, in.y, core::mc50_levels, 1, in.labels, in.fitlabels, false);
}

std::optional<plotengine::pplot> mc50_chart(const core::fit_context& ctx) {
  const auto in = input_of(ctx);
  auto h = build_mc50_plot(in.x, in.y, core::mc50_levels, 1, in.labels, in.fitlabels, false);
  if (!h) return std::nullopt;
  return std::move(h->chart);
}

}  // namespace inhibra::plots
