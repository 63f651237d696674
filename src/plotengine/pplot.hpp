#pragma once
// The chart engine: an XY chart of data series with a title, axis titles, linear or
// logarithmic axes with tick marks, tick labels and a grid, and a legend, drawn
// through a painter. A pplot owns all it shows, so a window or an image writer can
// keep a copy for as long as it needs it.
#include <optional>
#include <string>
#include <vector>

#include "plotengine/axis.hpp"
#include "plotengine/painter.hpp"

namespace inhibra::plotengine {

// How a series is drawn.
enum class drawer_type : int {
  line = 0,     // the points joined by a line
  big_dot = 1,  // a marker (radius big_dot_size) at each point, no line
  bar = 2,      // a bar from the axis base to each point
  dot = 3,      // a small dot at each point
  cross = 4,    // a large X at each point, no line (marks points drawn by another series)
};

// The shape of a big dot: the curves of a chart are told apart by shape as well as
// by colour, so that they stay apart in print and for readers who do not see colour.
enum class marker_shape : int {
  circle,
  square,
  triangle_up,
  diamond,
  triangle_down,
  pentagon,
  hexagon,
  triangle_left,
  triangle_right,
  star,
};

// The corners of a marker of `shape` centred on (x, y), sized so that it covers
// about the area of a circle of `radius`; empty for the circle (drawn as an ellipse).
[[nodiscard]] std::vector<point> marker_corners(marker_shape shape, float x, float y, float radius);

// The radius in pixels of a big dot and of a small dot.
inline constexpr float big_dot_size = 3.5f;
inline constexpr float small_dot_size = 1.5f;

struct series {
  std::vector<float> x;  // the same length as y
  std::vector<float> y;
  drawer_type drawer = drawer_type::line;
  std::string label;  // legend text; a series with an empty label has no legend entry
  rgb color{};
  marker_shape marker = marker_shape::circle;  // the shape of a big dot
};

// A tick of an axis as a drawing pass places it.
struct tick_mark {
  float value = 0.0f;
  bool major = false;
  std::string label;  // the label of a major tick; empty for minor ticks
};

class pplot;

// One drawing pass: the axes of a chart as the pass works them out for one plot
// rectangle (automatic ranges, widened degenerate ranges, tick spacing and the
// mappings to pixels). It refers to the chart's series and must not outlive it.
class chart_pass {
 public:
  explicit chart_pass(const pplot& plot);

  // Sets the automatic bounds of both axes from the series; false when an axis has no
  // usable range (an empty or inverted series, a logarithmic range through 0).
  [[nodiscard]] bool calculate_axis_ranges();
  // Widens a degenerate y range and computes both axes' tick spacing and mark
  // lengths for the plot rectangle; `p` measures text (null: no font).
  [[nodiscard]] bool calculate_tick_info(const prect& rect, painter* p);
  // The x axis onto rect.x .. rect.x + rect.width; the y axis onto rect.y ..
  // rect.y + rect.height. False for a range too narrow to map.
  [[nodiscard]] bool calculate_x_transformation(const prect& rect);
  [[nodiscard]] bool calculate_y_transformation(const prect& rect);
  // False when a logarithmic axis starts below the smallest value it can show.
  [[nodiscard]] static bool check_range(const axis_setup& axis);

  // The ticks of an axis that lie within its range, majors labelled.
  [[nodiscard]] static std::vector<tick_mark> ticks(const axis_setup& axis);

  // Painter coordinates of a value once the pass is complete. The y mapping works
  // in upward coordinates (the negated painter y), so that an ascending y axis has
  // its minimum at the bottom of the plot rectangle.
  [[nodiscard]] float screen_x(float value) const { return x_trafo.transform(value); }
  [[nodiscard]] float screen_y(float value) const { return -y_trafo.transform(value); }

  axis_setup x;
  axis_setup y;
  axis_trafo x_trafo;
  axis_trafo y_trafo;
  prect plot_area;  // the rectangle inside the axes, painter coordinates

 private:
  const pplot* plot_;
};

class pplot {
 public:
  std::string title;  // one or more lines, separated by CR LF (or LF); a line wider
                      // than the chart is broken at a blank
  std::string x_label;
  std::string y_label;
  axis_setup x_axis;
  axis_setup y_axis;
  std::vector<series> data;

  // Appends a series of min(x.size(), y.size()) points and returns its number.
  int add_series(std::vector<float> x, std::vector<float> y);

  // Runs a drawing pass for `area` of the painter: ranges, margins that fit the
  // titles, tick labels and legend, tick spacing and mappings. Empty when the pass
  // fails (nothing but the background is drawn then).
  [[nodiscard]] std::optional<chart_pass> prepare(painter& p, const prect& area) const;

  // Draws the chart into `area`: white background, grid, series, axes with ticks and
  // labels, titles and legend. False (only the background drawn) when the pass fails.
  bool draw(painter& p, const prect& area) const;
};

// The lines of a title, split at CR LF or LF; trailing blanks removed.
[[nodiscard]] std::vector<std::string> title_lines(const std::string& title);

}  // namespace inhibra::plotengine
