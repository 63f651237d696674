#include "plotengine/detail/series_drawing.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace inhibra::plotengine {

namespace {

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

}  // namespace

float snap(float v) {
  return std::floor(v) + 0.5f;
}

void draw_series(painter& p, const series& s, const chart_pass& pass) {
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

}  // namespace inhibra::plotengine
