#include "plotengine/pplot.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "plotengine/detail/series_drawing.hpp"

namespace inhibra::plotengine {

namespace {

constexpr rgb black{0, 0, 0};
constexpr rgb white{255, 255, 255};
constexpr rgb grid_color{225, 225, 225};
constexpr rgb legend_frame_color{160, 160, 160};

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

// What the steps of drawing a prepared chart share: the painter, the pass, the plot
// rectangle's edges, the text measures and the ticks of both axes.
struct chart_drawing {
  chart_drawing(painter& painter_in, const chart_pass& pass_in, const prect& area_in)
      : p(painter_in), pass(pass_in), area(area_in) {}

  painter& p;
  const chart_pass& pass;
  const prect& area;
  const prect& a = pass.plot_area;
  const float left = float(a.x), right = float(a.x + a.width);
  const float top = float(a.y), bottom = float(a.y + a.height);

  const int font_height = p.font_height();
  const spacing sp{font_height > 0 ? font_height : 12};
  const metrics m{p, sp.line};
  const std::vector<tick_mark> x_ticks = chart_pass::ticks(pass.x);
  const std::vector<tick_mark> y_ticks = chart_pass::ticks(pass.y);
  const float centre = float(area.x) + float(area.width) / 2.0f;

  // Grid at the major ticks.
  void draw_grid() const;

  // Series, inside the axes.
  void draw_all_series(const std::vector<series>& data) const {
    p.set_clip(left, top, float(a.width), float(a.height));
    for (const auto& s : data) {
      p.set_color(s.color);
      draw_series(p, s, pass);
    }
    p.clear_clip();
  }

  // Axes: the frame, tick marks and tick labels. Returns the top of the x tick labels.
  float draw_axes() const;

  // Titles.
  void draw_titles(const std::string& title, const std::string& x_label, const std::string& y_label,
                   float x_label_top) const {
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
  }

  // Legend, under everything else.
  void draw_legend(const std::vector<series>& data) const;
};

void chart_drawing::draw_grid() const {
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
}

float chart_drawing::draw_axes() const {
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
  return x_label_top;
}

void chart_drawing::draw_legend(const std::vector<series>& data) const {
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
}

}  // namespace

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
  const chart_drawing d(p, *prepared, area);
  d.draw_grid();
  d.draw_all_series(data);
  const float x_label_top = d.draw_axes();
  d.draw_titles(title, x_label, y_label, x_label_top);
  d.draw_legend(data);
  return true;
}

}  // namespace inhibra::plotengine
