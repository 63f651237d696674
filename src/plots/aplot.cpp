#include "plots/aplot.hpp"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "strings/text.hpp"

namespace inhibra::plots {

namespace {

plotengine::series* series_at(const plot_handle& h, int series) {
  if (!h || series < 0 || series >= static_cast<int>(h->chart.data.size())) return nullptr;
  return &h->chart.data[static_cast<std::size_t>(series)];
}

void set_log(plotengine::axis_setup& axis, double base) {
  axis.logarithmic = true;
  axis.log_base = base > 0.0 ? static_cast<float>(base) : 10.0f;
}

template <class T>
void add(const plot_handle& h, std::span<const T> x, std::span<const T> y) {
  if (!h) return;
  const std::size_t n = std::min(x.size(), y.size());
  std::vector<float> xs(n), ys(n);
  for (std::size_t i = 0; i < n; ++i) {
    xs[i] = static_cast<float>(x[i]);
    ys[i] = static_cast<float>(y[i]);
  }
  h->chart.add_series(std::move(xs), std::move(ys));
}

std::uint8_t colour_part(int v) {
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

plot_handle initialize_plot() {
  return std::make_unique<plot_object>();
}

void set_title(const plot_handle& h, std::string_view text) {
  if (h) h->chart.title = std::string(strings::trim(text));
}

void set_xlabel(const plot_handle& h, std::string_view text) {
  if (h) h->chart.x_label = std::string(strings::trim(text));
}

void set_ylabel(const plot_handle& h, std::string_view text) {
  if (h) h->chart.y_label = std::string(strings::trim(text));
}

void set_xscale(const plot_handle& h, double minimum, double maximum) {
  if (h) h->chart.x_axis.set_range(static_cast<float>(minimum), static_cast<float>(maximum));
}

void set_yscale(const plot_handle& h, double minimum, double maximum) {
  if (h) h->chart.y_axis.set_range(static_cast<float>(minimum), static_cast<float>(maximum));
}

void set_xautoscale(const plot_handle& h) {
  if (h) h->chart.x_axis.set_auto();
}

void set_yautoscale(const plot_handle& h) {
  if (h) h->chart.y_axis.set_auto();
}

void set_xlinear(const plot_handle& h) {
  if (h) h->chart.x_axis.logarithmic = false;
}

void set_ylinear(const plot_handle& h) {
  if (h) h->chart.y_axis.logarithmic = false;
}

void set_xlogarithmic(const plot_handle& h, double base) {
  if (h) set_log(h->chart.x_axis, base);
}

void set_ylogarithmic(const plot_handle& h, double base) {
  if (h) set_log(h->chart.y_axis, base);
}

void add_dataset(const plot_handle& h, std::span<const double> x, std::span<const double> y) {
  add(h, x, y);
}

void add_dataset(const plot_handle& h, std::span<const float> x, std::span<const float> y) {
  add(h, x, y);
}

void set_seriestype(const plot_handle& h, int series, int type) {
  auto* s = series_at(h, series);
  if (s == nullptr || type < series_line || type > series_cross) return;
  s->drawer = static_cast<plotengine::drawer_type>(type);
}

void set_serieslabel(const plot_handle& h, int series, std::string_view text) {
  if (auto* s = series_at(h, series)) s->label = std::string(strings::trim(text));
}

void set_seriesmarker(const plot_handle& h, int series, plotengine::marker_shape shape) {
  if (auto* s = series_at(h, series)) s->marker = shape;
}

void add_unlabelled_series(const plot_handle& h, std::span<const double> x,
                           std::span<const double> y, int type, plotengine::rgb color) {
  if (!h) return;
  add_dataset(h, x, y);
  const int series = static_cast<int>(h->chart.data.size()) - 1;
  set_seriescolor(h, series, color.red, color.green, color.blue);
  set_seriestype(h, series, type);
  set_serieslabel(h, series, "");
}

void set_seriescolor(const plot_handle& h, int series, int red, int green, int blue) {
  if (auto* s = series_at(h, series))
    s->color = {colour_part(red), colour_part(green), colour_part(blue)};
}

void display_plot(const plot_handle& h, core::frontend* fe, bool asynchronous) {
  if (!h || fe == nullptr) return;
  if (!asynchronous) {
    fe->show_plot(h->chart);
    return;
  }
  close_plot(h, fe);
  h->window = fe->show_plot_async(h->chart);
}

void close_plot(const plot_handle& h, core::frontend* fe) {
  if (!h || fe == nullptr || h->window < 0) return;
  fe->close_plot(h->window);
  h->window = -1;
}

int save_plot(const plot_handle& h, const image_writer& write, const std::string& file_name) {
  if (!h || !write || file_name.empty()) return -1;
  if (!write(h->chart, file_name)) return -1;
  std::error_code ec;
  const auto status = std::filesystem::status(file_name, ec);
  if (ec || !std::filesystem::exists(status) || std::filesystem::is_directory(status)) return -1;
  return 0;
}

void embed_plot(const plot_handle& h, plotengine::painter& target, const plotengine::prect& area) {
  if (h) h->chart.draw(target, area);
}

void destroy_plot(plot_handle& h) {
  h.reset();
}

void show_and_destroy(plot_handle& h, core::frontend* fe) {
  display_plot(h, fe);
  destroy_plot(h);
  if (fe != nullptr) fe->refresh();
}

}  // namespace inhibra::plots
