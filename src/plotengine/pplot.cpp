#include "plotengine/pplot.hpp"

#include <algorithm>
#include <cmath>

namespace inhibra::plotengine {

namespace {

constexpr rgb black{0, 0, 0};
constexpr rgb white{255, 255, 255};
constexpr rgb grid_color{225, 225, 225};
constexpr rgb legend_frame_color{160, 160, 160};

// More ticks than any readable axis has; stops an axis whose steps vanish in single
// precision (a huge value with a tiny span) from iterating for ever.
constexpr int max_ticks = 2000;

// Text sizes for layout; a painter that cannot measure gets an estimate.
struct metrics {
  painter& p;
  int line;  // height of a line of text
  [[nodiscard]] int width(std::string_view text) const {
    const int w = p.text_width(text);
    return w > 0 ? w : static_cast<int>(text.size()) * line * 3 / 5;
  }
};

// Spacing of the frame around the chart, derived from the line height.
struct spacing {
  int line;
  int pad;  // free border of the area
  int gap;  // between neighbouring items
  explicit spacing(int line_height)
      : line(line_height), pad(std::max(line_height / 2, 4)), gap(std::max(line_height / 4, 2)) {}
};

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  return s;
}

// The title's lines, each wider than `room` broken at its last blank that lets the
// first part fit (a line without such a blank stays whole).
std::vector<std::string> fitted_title_lines(const std::string& title, const metrics& m, int room) {
  std::vector<std::string> out;
  for (std::string line : title_lines(title)) {
    while (m.width(line) > room) {
      std::size_t cut = line.rfind(' ');
      while (cut != std::string::npos && cut > 0 && m.width(line.substr(0, cut)) > room)
        cut = line.rfind(' ', cut - 1);
      if (cut == std::string::npos || cut == 0) break;
      out.push_back(line.substr(0, cut));
      line = std::string(trim_blanks(line.substr(cut + 1)));
    }
    out.push_back(line);
  }
  return out;
}

// The legend: one entry per labelled series, flowing in rows under the chart.
struct legend_entry {
  const series* s;
  int width;  // swatch, gap and text
};

struct legend_layout {
  std::vector<std::vector<legend_entry>> rows;
  int swatch = 0;
  int inner = 0;       // padding inside the frame
  int separation = 0;  // between entries of a row
  int row_height = 0;

  [[nodiscard]] int height() const {
    return rows.empty() ? 0 : static_cast<int>(rows.size()) * row_height + 2 * inner;
  }
  [[nodiscard]] int row_width(const std::vector<legend_entry>& row) const {
    int w = 0;
    for (const auto& e : row)
      w += e.width;
    return w + separation * std::max(static_cast<int>(row.size()) - 1, 0);
  }
};

legend_layout layout_legend(const std::vector<series>& data, const metrics& m, const spacing& sp,
                            int available) {
  legend_layout lg;
  lg.swatch = sp.line * 3 / 2;
  lg.inner = sp.gap * 2;
  lg.separation = sp.line;
  lg.row_height = sp.line + sp.gap;
  const int room = std::max(available - 2 * lg.inner, 1);
  for (const auto& s : data) {
    if (trim_blanks(s.label).empty()) continue;
    const legend_entry e{&s, lg.swatch + sp.gap + m.width(s.label)};
    if (lg.rows.empty() || lg.row_width(lg.rows.back()) + lg.separation + e.width > room)
      lg.rows.emplace_back();
    lg.rows.back().push_back(e);
  }
  return lg;
}

// Cuts the segment to the rectangle; false when nothing of it is inside.
bool clip_segment(float& x1, float& y1, float& x2, float& y2, const prect& r) {
  const double xa = x1, ya = y1, dx = double(x2) - xa, dy = double(y2) - ya;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {xa - r.x, double(r.x) + r.width - xa, ya - r.y, double(r.y) + r.height - ya};
  double t0 = 0.0, t1 = 1.0;
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0.0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  x1 = static_cast<float>(xa + t0 * dx);
  y1 = static_cast<float>(ya + t0 * dy);
  x2 = static_cast<float>(xa + t1 * dx);
  y2 = static_cast<float>(ya + t1 * dy);
  return true;
}

prect grown(const prect& r, int by) {
  return {r.x - by, r.y - by, r.width + 2 * by, r.height + 2 * by};
}

bool inside(float x, float y, const prect& r) {
  return x >= float(r.x) && x <= float(r.x + r.width) && y >= float(r.y) &&
         y <= float(r.y + r.height);
}

// The centre of the pixel a coordinate falls in: crisp one-pixel lines.
float snap(float v) {
  return std::floor(v) + 0.5f;
}

void draw_line_series(painter& p, const series& s, const chart_pass& pass) {
  const prect bounds = grown(pass.plot_area, 2);
  p.set_line_width(1.5f);
  bool have_previous = false;
  float px = 0.0f, py = 0.0f;
  for (std::size_t i = 0; i < s.x.size(); ++i) {
    const float sx = pass.screen_x(s.x[i]);
    const float sy = pass.screen_y(s.y[i]);
    if (!std::isfinite(sx) || !std::isfinite(sy)) {
      have_previous = false;  // a gap in the line
      continue;
    }
    if (have_previous) {
      float x1 = px, y1 = py, x2 = sx, y2 = sy;
      if (clip_segment(x1, y1, x2, y2, bounds)) p.draw_line(x1, y1, x2, y2);
    }
    px = sx;
    py = sy;
    have_previous = true;
  }
  p.set_line_width(1.0f);
}

void draw_marker(painter& p, marker_shape shape, float x, float y, float radius) {
  if (shape == marker_shape::circle) {
    p.fill_ellipse(x, y, radius, radius);
    return;
  }
  const auto corners = marker_corners(shape, x, y, radius);
  p.fill_polygon(corners);
}

void draw_dot_series(painter& p, const series& s, const chart_pass& pass, float radius) {
  // Only dots centred on the plot: a painter that cannot clip (some vector formats)
  // then shows at most half a dot beyond the axes.
  const prect bounds = grown(pass.plot_area, 1);
  for (std::size_t i = 0; i < s.x.size(); ++i) {
    const float sx = pass.screen_x(s.x[i]);
    const float sy = pass.screen_y(s.y[i]);
    if (std::isfinite(sx) && std::isfinite(sy) && inside(sx, sy, bounds))
      draw_marker(p, s.marker, sx, sy, radius);
  }
}

void draw_bar_series(painter& p, const series& s, const chart_pass& pass) {
  // Bars stand on 0 when the axis shows it, else on the axis minimum.
  const bool on_zero = !pass.y.logarithmic && pass.y.minimum <= 0.0f && pass.y.maximum >= 0.0f;
  const prect& a = pass.plot_area;
  const float base =
      std::clamp(pass.screen_y(on_zero ? 0.0f : pass.y.minimum), float(a.y), float(a.y + a.height));
  std::vector<float> xs;
  for (float v : s.x) {
    const float sx = pass.screen_x(v);
    if (std::isfinite(sx)) xs.push_back(sx);
  }
  std::sort(xs.begin(), xs.end());
  float gap = 0.0f;
  for (std::size_t i = 1; i < xs.size(); ++i) {
    const float d = xs[i] - xs[i - 1];
    if (d > 0.0f && (gap == 0.0f || d < gap)) gap = d;
  }
  const float width = gap > 0.0f ? std::clamp(gap * 0.7f, 2.0f, 40.0f) : 10.0f;
  for (std::size_t i = 0; i < s.x.size(); ++i) {
    const float sx = pass.screen_x(s.x[i]);
    float sy = pass.screen_y(s.y[i]);
    if (!std::isfinite(sx) || !std::isfinite(sy)) continue;
    // Bars are cut to the plot here as well as by the clip.
    const float left = std::max(sx - width / 2.0f, float(a.x));
    const float right = std::min(sx + width / 2.0f, float(a.x + a.width));
    if (!(right > left)) continue;
    sy = std::clamp(sy, float(a.y), float(a.y + a.height));
    p.fill_rect(left, std::min(sy, base), right - left, std::fabs(base - sy));
  }
}

// An X centred on (x, y), wider than a big dot so that it shows around one.
void draw_cross(painter& p, float x, float y) {
  constexpr float half = big_dot_size + 2.0f;
  p.set_line_width(2.0f);
  p.draw_line(x - half, y - half, x + half, y + half);
  p.draw_line(x - half, y + half, x + half, y - half);
  p.set_line_width(1.0f);
}

void draw_cross_series(painter& p, const series& s, const chart_pass& pass) {
  const prect bounds = grown(pass.plot_area, 1);
  for (std::size_t i = 0; i < s.x.size(); ++i) {
    const float sx = pass.screen_x(s.x[i]);
    const float sy = pass.screen_y(s.y[i]);
    if (std::isfinite(sx) && std::isfinite(sy) && inside(sx, sy, bounds)) draw_cross(p, sx, sy);
  }
}

void draw_swatch(painter& p, const series& s, float x, float cy, float w) {
  p.set_color(s.color);
  switch (s.drawer) {
    case drawer_type::line:
      p.set_line_width(1.5f);
      p.draw_line(x, cy, x + w, cy);
      p.set_line_width(1.0f);
      break;
    case drawer_type::big_dot:
      draw_marker(p, s.marker, x + w / 2.0f, cy, big_dot_size);
      break;
    case drawer_type::bar:
      p.fill_rect(x + w / 4.0f, cy - w / 4.0f, w / 2.0f, w / 2.0f);
      break;
    case drawer_type::dot:
      p.fill_ellipse(x + w / 2.0f, cy, small_dot_size, small_dot_size);
      break;
    case drawer_type::cross:
      draw_cross(p, x + w / 2.0f, cy);
      break;
  }
}

}  // namespace

// ---- markers --------------------------------------------------------------------------

std::vector<point> marker_corners(marker_shape shape, float x, float y, float radius) {
  constexpr double pi = 3.14159265358979323846;
  // A regular polygon of n corners, the first at `turn` (radians, 0 = up), whose area
  // equals that of the circle: R^2 * n/2 * sin(2 pi/n) = pi r^2.
  const auto regular = [&](int n, double turn, double inner = 0.0) {
    std::vector<point> corners;
    const double area_scale = std::sqrt(pi / (0.5 * n * std::sin(2.0 * pi / n)));
    const double outer = radius * area_scale * (inner > 0.0 ? 1.25 : 1.0);
    const int steps = inner > 0.0 ? 2 * n : n;
    for (int k = 0; k < steps; ++k) {
      const double r = (inner > 0.0 && k % 2 == 1) ? outer * inner : outer;
      const double angle = turn + 2.0 * pi * k / steps;
      corners.push_back({static_cast<float>(x + r * std::sin(angle)),
                         static_cast<float>(y - r * std::cos(angle))});
    }
    return corners;
  };
  switch (shape) {
    case marker_shape::circle:
      return {};
    case marker_shape::square:
      return regular(4, pi / 4.0);
    case marker_shape::triangle_up:
      return regular(3, 0.0);
    case marker_shape::diamond:
      return regular(4, 0.0);
    case marker_shape::triangle_down:
      return regular(3, pi);
    case marker_shape::pentagon:
      return regular(5, 0.0);
    case marker_shape::hexagon:
      return regular(6, pi / 6.0);
    case marker_shape::triangle_left:
      return regular(3, -pi / 2.0);
    case marker_shape::triangle_right:
      return regular(3, pi / 2.0);
    case marker_shape::star:
      return regular(5, 0.0, 0.45);
  }
  return {};
}

// ---- the drawing pass -----------------------------------------------------------------

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

// ---- the chart ------------------------------------------------------------------------

std::vector<std::string> title_lines(const std::string& title) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= title.size()) {
    std::size_t end = title.find('\n', start);
    if (end == std::string::npos) end = title.size();
    std::string_view piece(title.data() + start, end - start);
    if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    while (!piece.empty() && (piece.back() == ' ' || piece.back() == '\t'))
      piece.remove_suffix(1);
    lines.emplace_back(piece);
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty())
    lines.pop_back();
  return lines;
}

int pplot::add_series(std::vector<float> xs, std::vector<float> ys) {
  const std::size_t n = std::min(xs.size(), ys.size());
  xs.resize(n);
  ys.resize(n);
  series s;
  s.x = std::move(xs);
  s.y = std::move(ys);
  data.push_back(std::move(s));
  return static_cast<int>(data.size()) - 1;
}

std::optional<chart_pass> pplot::prepare(painter& p, const prect& area) const {
  chart_pass base(*this);
  if (!base.calculate_axis_ranges()) return std::nullopt;
  if (!chart_pass::check_range(base.x) || !chart_pass::check_range(base.y)) return std::nullopt;

  const int font_height = p.font_height();
  const spacing sp(font_height > 0 ? font_height : 12);
  const metrics m{p, sp.line};
  const auto lines = fitted_title_lines(title, m, area.width - 2 * sp.pad);
  const int title_height = lines.empty() ? 0 : static_cast<int>(lines.size()) * sp.line + sp.gap;
  const int legend_height = layout_legend(data, m, sp, area.width - 2 * sp.pad).height();
  const bool has_x_label = !trim_blanks(x_label).empty();
  const bool has_y_label = !trim_blanks(y_label).empty();

  // Everything outside the plot rectangle, from the edges inwards. The space the
  // tick labels and marks need depends on the ticks, which depend on the rectangle:
  // a few rounds settle it.
  const int top = area.y + sp.pad + title_height + sp.line / 2 + sp.gap;
  const int bottom_fixed = sp.pad + legend_height + (legend_height > 0 ? sp.gap * 2 : 0) +
                           (has_x_label ? sp.line + sp.gap : 0) + sp.line + sp.gap;
  int y_labels = m.width("0.00");
  int right_overhang = m.width("000") / 2;
  int x_marks = 0;
  int y_marks = 0;

  chart_pass pass = base;
  for (int round = 0; round < 4; ++round) {
    const int left =
        area.x + sp.pad + (has_y_label ? sp.line + sp.gap : 0) + y_labels + sp.gap + y_marks;
    const int right = area.x + area.width - sp.pad - right_overhang;
    const int bottom = area.y + area.height - bottom_fixed - x_marks;
    const prect plot{left, top, right - left, bottom - top};
    if (plot.width < 8 || plot.height < 8) return std::nullopt;  // no room for a chart

    pass = base;
    pass.plot_area = plot;
    if (!pass.calculate_tick_info(plot, &p)) return std::nullopt;
    if (!pass.calculate_x_transformation(plot)) return std::nullopt;
    if (!pass.calculate_y_transformation(
            {plot.x, -(plot.y + plot.height), plot.width, plot.height}))
      return std::nullopt;

    int need_y = 0;
    for (const auto& t : chart_pass::ticks(pass.y))
      if (t.major) need_y = std::max(need_y, m.width(t.label));
    int need_right = 0;
    for (const auto& t : chart_pass::ticks(pass.x)) {
      if (!t.major) continue;
      const float end = pass.screen_x(t.value) + static_cast<float>(m.width(t.label)) / 2.0f;
      need_right = std::max(need_right, static_cast<int>(std::ceil(end)) - (plot.x + plot.width));
    }
    const int new_x_marks = std::max(pass.x.ticks.major_tick_length, 0);
    const int new_y_marks = std::max(pass.y.ticks.major_tick_length, 0);
    if (need_y == y_labels && need_right == right_overhang && new_x_marks == x_marks &&
        new_y_marks == y_marks)
      break;
    y_labels = need_y;
    right_overhang = need_right;
    x_marks = new_x_marks;
    y_marks = new_y_marks;
  }
  return pass;
}

bool pplot::draw(painter& p, const prect& area) const {
  p.clear_clip();
  p.set_color(white);
  p.fill_rect(float(area.x), float(area.y), float(area.width), float(area.height));
  const auto prepared = prepare(p, area);
  if (!prepared) return false;
  const chart_pass& pass = *prepared;
  const prect& a = pass.plot_area;
  const float left = float(a.x), right = float(a.x + a.width);
  const float top = float(a.y), bottom = float(a.y + a.height);

  const int font_height = p.font_height();
  const spacing sp(font_height > 0 ? font_height : 12);
  const metrics m{p, sp.line};
  const auto x_ticks = chart_pass::ticks(pass.x);
  const auto y_ticks = chart_pass::ticks(pass.y);

  // Grid at the major ticks.
  p.set_line_width(1.0f);
  p.set_color(grid_color);
  for (const auto& t : x_ticks) {
    const float sx = snap(pass.screen_x(t.value));
    if (t.major && sx > left + 1.0f && sx < right - 1.0f) p.draw_line(sx, top, sx, bottom);
  }
  for (const auto& t : y_ticks) {
    const float sy = snap(pass.screen_y(t.value));
    if (t.major && sy > top + 1.0f && sy < bottom - 1.0f) p.draw_line(left, sy, right, sy);
  }

  // Series, inside the axes.
  p.set_clip(left, top, float(a.width), float(a.height));
  for (const auto& s : data) {
    p.set_color(s.color);
    switch (s.drawer) {
      case drawer_type::line:
        draw_line_series(p, s, pass);
        break;
      case drawer_type::big_dot:
        draw_dot_series(p, s, pass, big_dot_size);
        break;
      case drawer_type::bar:
        draw_bar_series(p, s, pass);
        break;
      case drawer_type::dot:
        draw_dot_series(p, s, pass, small_dot_size);
        break;
      case drawer_type::cross:
        draw_cross_series(p, s, pass);
        break;
    }
  }
  p.clear_clip();

  // Axes: the frame, tick marks and tick labels.
  p.set_color(black);
  p.draw_rect(snap(left), snap(top), float(a.width) - 1.0f, float(a.height) - 1.0f);
  const int x_major = pass.x.ticks.major_tick_length, x_minor = pass.x.ticks.minor_tick_length;
  const int y_major = pass.y.ticks.major_tick_length, y_minor = pass.y.ticks.minor_tick_length;
  const float x_label_top = bottom + float(x_major + sp.gap);
  float last_label_end = -1e30f;
  for (const auto& t : x_ticks) {
    const float sx = snap(pass.screen_x(t.value));
    p.draw_line(sx, bottom, sx, bottom + float(t.major ? x_major : x_minor));
    if (!t.major) continue;
    const float half = float(m.width(t.label)) / 2.0f;
    if (sx - half < last_label_end + float(sp.gap)) continue;  // would overlap its neighbour
    p.draw_text(sx, x_label_top, t.label, h_align::center, v_align::top);
    last_label_end = sx + half;
  }
  const float y_label_right = left - float(y_major + sp.gap);
  float last_label_top = 1e30f;
  for (const auto& t : y_ticks) {
    const float sy = snap(pass.screen_y(t.value));
    p.draw_line(left - float(t.major ? y_major : y_minor), sy, left, sy);
    if (!t.major) continue;
    const float half = float(sp.line) / 2.0f;
    if (sy + half > last_label_top) continue;  // would overlap its neighbour
    p.draw_text(y_label_right, sy, t.label, h_align::right, v_align::center);
    last_label_top = sy - half;
  }

  // Titles.
  const float centre = float(area.x) + float(area.width) / 2.0f;
  const auto lines = fitted_title_lines(title, m, area.width - 2 * sp.pad);
  for (std::size_t i = 0; i < lines.size(); ++i)
    p.draw_text(centre, float(area.y + sp.pad) + float(i) * float(sp.line), lines[i],
                h_align::center, v_align::top);
  if (!trim_blanks(x_label).empty())
    p.draw_text(left + float(a.width) / 2.0f, x_label_top + float(sp.line + sp.gap),
                trim_blanks(x_label), h_align::center, v_align::top);
  if (!trim_blanks(y_label).empty())
    p.draw_text(float(area.x + sp.pad) + float(sp.line) / 2.0f, top + float(a.height) / 2.0f,
                trim_blanks(y_label), h_align::center, v_align::center, true);

  // Legend, under everything else.
  const auto lg = layout_legend(data, m, sp, area.width - 2 * sp.pad);
  if (!lg.rows.empty()) {
    int widest = 0;
    for (const auto& row : lg.rows)
      widest = std::max(widest, lg.row_width(row));
    const float frame_w = float(widest + 2 * lg.inner);
    const float frame_h = float(lg.height());
    const float frame_x = centre - frame_w / 2.0f;
    const float frame_y = float(area.y + area.height - sp.pad) - frame_h;
    p.set_color(legend_frame_color);
    p.draw_rect(snap(frame_x), snap(frame_y), frame_w, frame_h);
    float row_y = frame_y + float(lg.inner);
    for (const auto& row : lg.rows) {
      float ex = centre - float(lg.row_width(row)) / 2.0f;
      const float cy = row_y + float(lg.row_height) / 2.0f;
      for (const auto& e : row) {
        draw_swatch(p, *e.s, ex, cy, float(lg.swatch));
        p.set_color(black);
        p.draw_text(ex + float(lg.swatch + sp.gap), cy, trim_blanks(e.s->label), h_align::left,
                    v_align::center);
        ex += float(e.width + lg.separation);
      }
      row_y += float(lg.row_height);
    }
  }
  return true;
}

}  // namespace inhibra::plotengine
