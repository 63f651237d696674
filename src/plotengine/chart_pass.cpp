// The drawing pass of a chart: its axes' ranges, tick spacing and the mappings to pixels
// for one plot rectangle (see chart_pass in pplot.hpp).
#include <algorithm>
#include <cmath>

#include "plotengine/pplot.hpp"

namespace inhibra::plotengine {

namespace {

// More ticks than any readable axis has; stops an axis whose steps vanish in single
// precision (a huge value with a tiny span) from iterating for ever.
constexpr int max_ticks = 2000;

}  // namespace

chart_pass::chart_pass(const pplot& plot) : x(plot.x_axis), y(plot.y_axis), plot_(&plot) {}

bool chart_pass::calculate_axis_ranges() {
  // x range of the data: the first series with points sets it, later ones widen it.
  // NaN values are passed over.
  bool found = false;
  float data_min = 0.0f, data_max = 0.0f;
  for (const auto& s : plot_->data) {
    if (s.x.empty()) continue;
    float smin = s.x[0], smax = s.x[0];
    for (float v : s.x) {
      smin = std::fmin(smin, v);
      smax = std::fmax(smax, v);
    }
    if (smin > smax) return false;
    if (!found) {
      data_min = smin;
      data_max = smax;
      found = true;
    } else {
      data_min = std::fmin(data_min, smin);
      data_max = std::fmax(data_max, smax);
    }
  }
  if (x.auto_minimum) {
    x.minimum = data_min;
    if (x.logarithmic && x.minimum < log_floor) x.minimum = log_floor;
  }
  if (x.auto_maximum) x.maximum = data_max;
  if (x.auto_minimum || x.auto_maximum) {
    if (!tick_iterator::adjust_range(x, x.minimum, x.maximum)) return false;
  }

  if (!y.auto_minimum && !y.auto_maximum) return true;
  // y range over the points that the x axis shows.
  found = false;
  data_min = data_max = 0.0f;
  for (const auto& s : plot_->data) {
    if (s.x.size() != s.y.size()) break;
    for (std::size_t i = 0; i < s.x.size(); ++i) {
      if (!(s.x[i] >= x.minimum && s.x[i] <= x.maximum) || std::isnan(s.y[i])) continue;
      if (!found) {
        data_min = data_max = s.y[i];
        found = true;
      } else {
        data_min = std::min(data_min, s.y[i]);
        data_max = std::max(data_max, s.y[i]);
      }
    }
  }
  if (y.auto_minimum) {
    y.minimum = data_min;
    if (y.logarithmic && y.minimum < log_floor) y.minimum = log_floor;
  }
  if (y.auto_maximum) y.maximum = data_max;
  return tick_iterator::adjust_range(y, y.minimum, y.maximum);
}

bool chart_pass::calculate_tick_info(const prect& rect, painter* p) {
  const float x_span = x.maximum - x.minimum;
  if (!(x_span > 0.0f)) return false;
  float y_span = y.maximum - y.minimum;
  if (!(y_span >= 0.0f)) return false;
  // A flat or nearly flat y range is opened up so that its line can be seen.
  if (y.maximum == 0.0f && y_span == 0.0f) {
    y.maximum += 0.1f;
    y.minimum -= 0.1f;
  } else if (y.maximum != 0.0f && (std::fabs(y_span / y.maximum) < 0.001f || y_span == 0.0f)) {
    const float widen = 0.1f * std::fabs(y.maximum);
    y.maximum += widen;
    y.minimum -= widen;
  }
  // The ticks are spaced over the range as widened.
  y_span = y.maximum - y.minimum;

  const int font_height = p != nullptr ? p->font_height() : 0;
  if (x.ticks.auto_ticks) {
    const int digits_width = p != nullptr ? p->text_width("12345") : 0;
    const float divisor = digits_width > 0 ? 2.0f * static_cast<float>(digits_width) : 10.0f;
    if (!tick_iterator::init_from_ranges(x, x_span, static_cast<float>(rect.height),
                                         static_cast<float>(rect.width) / divisor, x.ticks))
      return false;
  }
  if (y.ticks.auto_ticks) {
    const float divisor = font_height > 0 ? 3.0f * static_cast<float>(font_height) : 30.0f;
    if (!tick_iterator::init_from_ranges(y, y_span, static_cast<float>(rect.width),
                                         static_cast<float>(rect.height) / divisor, y.ticks))
      return false;
  }
  // Without a font there is nothing to fit the marks to.
  if (font_height > 0) {
    if (x.ticks.auto_tick_sizes) set_tick_sizes(font_height, x.ticks);
    if (y.ticks.auto_tick_sizes) set_tick_sizes(font_height, y.ticks);
  }
  return true;
}

bool chart_pass::calculate_x_transformation(const prect& rect) {
  const float s0 = static_cast<float>(rect.x);
  const float s1 = s0 + static_cast<float>(rect.width);
  x_trafo.logarithmic = x.logarithmic;
  return x.logarithmic ? calculate_log_transformation(s0, s1, x, x_trafo.log)
                       : calculate_lin_transformation(s0, s1, x, x_trafo.lin);
}

bool chart_pass::calculate_y_transformation(const prect& rect) {
  const float s0 = static_cast<float>(rect.y);
  const float s1 = s0 + static_cast<float>(rect.height);
  y_trafo.logarithmic = y.logarithmic;
  return y.logarithmic ? calculate_log_transformation(s0, s1, y, y_trafo.log)
                       : calculate_lin_transformation(s0, s1, y, y_trafo.lin);
}

bool chart_pass::check_range(const axis_setup& axis) {
  return !(axis.logarithmic && axis.minimum < log_floor);
}

std::vector<tick_mark> chart_pass::ticks(const axis_setup& axis) {
  std::vector<tick_mark> out;
  tick_iterator it;
  if (!it.init(axis)) return out;
  // A logarithmic axis starts its iteration one step below a minimum that is not a
  // power of the base; only ticks on the axis are kept.
  const float lo = std::min(axis.minimum, axis.maximum);
  const float hi = std::max(axis.minimum, axis.maximum);
  const float slack = axis.logarithmic ? 0.0f : (hi - lo) * 1e-4f;
  const float lo_limit = axis.logarithmic ? lo * 0.9999f : lo - slack;
  const float hi_limit = axis.logarithmic ? hi * 1.0001f : hi + slack;
  float value = 0.0f;
  bool major = false;
  std::string format;
  for (int n = 0; n < max_ticks && it.get_next_tick(value, major, format); ++n) {
    if (value < lo_limit || value > hi_limit) continue;
    out.push_back({value, major, major ? format_tick_label(format, value) : std::string()});
  }
  return out;
}

}  // namespace inhibra::plotengine
