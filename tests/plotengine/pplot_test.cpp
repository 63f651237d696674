#include "plotengine/pplot.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "plotengine/recording_painter.hpp"

namespace inhibra::plotengine {
namespace {

using testing::fontless_painter;
using testing::recorded_shape;
using testing::recording_painter;

constexpr rgb blue{0, 0, 255};
constexpr rgb pink{255, 127, 255};
constexpr rgb green{0, 128, 0};

// The y range after the pass has widened it, for a fixed range lo..hi.
std::pair<float, float> widened(float lo, float hi) {
  pplot plot;
  plot.add_series({0.0f, 1.0f}, {lo, hi});
  plot.y_axis.set_range(lo, hi);
  chart_pass pass(plot);
  EXPECT_TRUE(pass.calculate_axis_ranges());
  EXPECT_TRUE(pass.calculate_tick_info({0, 0, 500, 400}, nullptr));
  return {pass.y.minimum, pass.y.maximum};
}

std::vector<std::string> labels_of(const std::vector<tick_mark>& ticks) {
  std::vector<std::string> out;
  for (const auto& t : ticks)
    if (t.major) out.push_back(t.label);
  return out;
}

TEST(ChartPass, ZeroTo110OnA500PixelPlot) {
  pplot plot;
  plot.add_series({0.0f, 50.0f, 110.0f}, {0.0f, 0.5f, 1.0f});
  chart_pass pass(plot);
  ASSERT_TRUE(pass.calculate_axis_ranges());
  EXPECT_EQ(pass.x.minimum, 0.0f);  // a linear automatic axis runs over the data exactly
  EXPECT_EQ(pass.x.maximum, 110.0f);
  recording_painter p(8, 16);  // "12345" is 40 pixels wide
  ASSERT_TRUE(pass.calculate_tick_info({0, 0, 500, 400}, &p));
  EXPECT_EQ(pass.x.ticks.major_tick_span, 20.0f);  // 110 / (500 / 80) = 17.6 -> 20
  EXPECT_EQ(pass.x.ticks.tick_division, 5);
  EXPECT_EQ(pass.x.ticks.format, "%.0f");
  const auto ticks = chart_pass::ticks(pass.x);
  ASSERT_EQ(ticks.size(), 28u);
  EXPECT_EQ(ticks.back().value, 108.0f);
  EXPECT_EQ(labels_of(ticks), (std::vector<std::string>{"0", "20", "40", "60", "80", "100"}));
  // y: 400 / 48 spans over 0..1 -> 0.12 -> 0.1.
  EXPECT_EQ(pass.y.ticks.major_tick_span, 0.1f);
  EXPECT_EQ(pass.y.ticks.format, "%.1f");
  // Marks: 2 % of the size across, capped at half the font height; minor half of it.
  EXPECT_EQ(pass.x.ticks.major_tick_length, 8);
  EXPECT_EQ(pass.x.ticks.minor_tick_length, 4);
  EXPECT_EQ(pass.y.ticks.major_tick_length, 8);  // 10 for 500 pixels, capped at 8
  EXPECT_EQ(pass.y.ticks.minor_tick_length, 4);

  // Without a font the divisors are ten and thirty, and the marks are not capped.
  fontless_painter fontless;
  ASSERT_TRUE(pass.calculate_tick_info({0, 0, 500, 400}, &fontless));
  EXPECT_EQ(pass.x.ticks.major_tick_span, 2.0f);   // 110 / 50 = 2.2 -> 2
  EXPECT_EQ(pass.y.ticks.major_tick_span, 0.05f);  // 1 / (400 / 30) = 0.075 -> 0.05
  EXPECT_EQ(pass.y.ticks.major_tick_length, 10);
}

TEST(ChartPass, DegenerateYRangesAreWidened) {
  EXPECT_EQ(widened(5.0f, 5.0f), std::make_pair(4.5f, 5.5f));
  EXPECT_EQ(widened(0.0f, 0.0f), std::make_pair(-0.1f, 0.1f));
  EXPECT_EQ(widened(-1.0f, 0.0f), std::make_pair(-1.0f, 0.0f));  // maximum 0, span not 0
  const auto [lo, hi] = widened(1000.0f, 1000.5f);               // span / maximum below 0.001
  EXPECT_FLOAT_EQ(lo, 899.95f);
  EXPECT_FLOAT_EQ(hi, 1100.55f);
  EXPECT_EQ(widened(1.0f, 2.0f), std::make_pair(1.0f, 2.0f));
}

TEST(ChartPass, RefusesEmptyOrInvertedRanges) {
  pplot empty;
  chart_pass pass(empty);
  ASSERT_TRUE(pass.calculate_axis_ranges());  // no data: 0 to 0
  EXPECT_EQ(pass.x.maximum, 0.0f);
  EXPECT_FALSE(pass.calculate_tick_info({0, 0, 500, 400}, nullptr));

  pplot inverted;
  inverted.add_series({1.0f, 2.0f}, {1.0f, 2.0f});
  inverted.y_axis.set_range(3.0f, 1.0f);
  chart_pass pass2(inverted);
  ASSERT_TRUE(pass2.calculate_axis_ranges());
  EXPECT_FALSE(pass2.calculate_tick_info({0, 0, 500, 400}, nullptr));

  pplot from_zero;  // a logarithmic axis cannot start at 0
  from_zero.add_series({1.0f, 10.0f}, {1.0f, 2.0f});
  from_zero.x_axis.logarithmic = true;
  from_zero.x_axis.set_range(0.0f, 10.0f);
  chart_pass pass3(from_zero);
  ASSERT_TRUE(pass3.calculate_axis_ranges());
  EXPECT_FALSE(chart_pass::check_range(pass3.x));
  EXPECT_TRUE(chart_pass::check_range(pass3.y));
  recording_painter p;
  EXPECT_FALSE(from_zero.prepare(p, {0, 0, 800, 600}).has_value());
}

TEST(ChartPass, LogarithmicAutomaticRange) {
  // Widened to powers of ten; from 0 or below, the minimum is the smallest value
  // the axis shows.
  struct log_case {
    std::vector<float> x;
    float lo, hi;
  };
  for (const auto& c :
       {log_case{{3.0f, 40.0f, 470.0f}, 1.0f, 1000.0f}, log_case{{0.0f, 50.0f}, 1e-10f, 100.0f},
        log_case{{-1.0f, 2.0f}, 1e-10f, 10.0f}}) {
    pplot plot;
    plot.x_axis.logarithmic = true;
    plot.add_series(c.x, std::vector<float>(c.x.size(), 1.0f));
    chart_pass pass(plot);
    ASSERT_TRUE(pass.calculate_axis_ranges());
    EXPECT_FLOAT_EQ(pass.x.minimum, c.lo);
    EXPECT_EQ(pass.x.maximum, c.hi);
  }
  // A fixed maximum of 0 with an automatic minimum cannot be shown.
  pplot through_zero;
  through_zero.x_axis.logarithmic = true;
  through_zero.x_axis.auto_maximum = false;
  through_zero.x_axis.maximum = 0.0f;
  through_zero.add_series({1.0f, 2.0f}, {1.0f, 2.0f});
  chart_pass pass(through_zero);
  EXPECT_FALSE(pass.calculate_axis_ranges());
}

TEST(ChartPass, YRangeComesFromThePointsTheXAxisShowsPassingOverNaN) {
  pplot plot;
  plot.add_series({0.0f, 1.0f, 2.0f, 3.0f}, {10.0f, 30.0f, 20.0f, 1000.0f});
  plot.add_series({-5.0f, 1.5f}, {-400.0f, 5.0f});
  plot.x_axis.set_range(0.0f, 2.0f);
  chart_pass pass(plot);
  ASSERT_TRUE(pass.calculate_axis_ranges());
  EXPECT_EQ(std::make_pair(pass.x.minimum, pass.x.maximum), std::make_pair(0.0f, 2.0f));
  EXPECT_EQ(std::make_pair(pass.y.minimum, pass.y.maximum), std::make_pair(5.0f, 30.0f));

  pplot with_nan;  // later series widen the range; the NaN point's partner 4 has no x
  with_nan.add_series({1.0f, 2.0f}, {1.0f, std::nanf("")});
  with_nan.add_series({std::nanf(""), -3.0f, 0.0f}, {4.0f, 2.0f, 3.0f});
  chart_pass pass2(with_nan);
  ASSERT_TRUE(pass2.calculate_axis_ranges());
  EXPECT_EQ(std::make_pair(pass2.x.minimum, pass2.x.maximum), std::make_pair(-3.0f, 2.0f));
  EXPECT_EQ(std::make_pair(pass2.y.minimum, pass2.y.maximum), std::make_pair(1.0f, 3.0f));
}

TEST(ChartPass, AxesDirections) {
  pplot plot;
  plot.add_series({2.0f, 8.0f}, {1.0f, 3.0f});
  recording_painter p;
  for (const bool ascending : {true, false}) {  // descending puts the minimum at the end
    plot.x_axis.ascending = plot.y_axis.ascending = ascending;
    const auto pass = plot.prepare(p, {0, 0, 800, 600});
    ASSERT_TRUE(pass.has_value());
    const prect& a = pass->plot_area;
    EXPECT_FLOAT_EQ(pass->screen_x(ascending ? 2.0f : 8.0f), float(a.x));
    EXPECT_FLOAT_EQ(pass->screen_x(ascending ? 8.0f : 2.0f), float(a.x + a.width));
    EXPECT_FLOAT_EQ(pass->screen_y(ascending ? 1.0f : 3.0f), float(a.y + a.height));
    EXPECT_FLOAT_EQ(pass->screen_y(ascending ? 3.0f : 1.0f), float(a.y));
  }
}

// A chart like the result plots draw: dots with legend texts and unlabelled lines.
pplot sample_chart() {
  pplot plot;
  plot.title = "3- LINEAR MIXED   \r\nResiduals Plot";
  plot.x_label = "[SUBSTRATE]";
  plot.y_label = "RATE";
  const int dots1 =
      plot.add_series({50, 100, 200, 333, 500, 700}, {0.03f, 0.05f, 0.08f, 0.1f, 0.12f, 0.13f});
  plot.data[dots1].drawer = drawer_type::big_dot;
  plot.data[dots1].label = "[I] =0";
  plot.data[dots1].color = blue;
  const int line1 = plot.add_series({50, 700}, {0.03f, 0.13f});
  plot.data[line1].color = blue;
  const int dots2 = plot.add_series({50, 700}, {0.01f, 0.07f});
  plot.data[dots2].drawer = drawer_type::big_dot;
  plot.data[dots2].label = "[I] =100";
  plot.data[dots2].color = pink;
  plot.x_axis.set_range(0.0f, 770.0f);
  plot.y_axis.set_range(0.0f, 0.143f);
  return plot;
}

TEST(ChartDrawing, TextsFitTheAreaAndTickLabelsAreTheMajorTicksWithoutOverlap) {
  const pplot plot = sample_chart();
  recording_painter p(8, 16);
  ASSERT_TRUE(plot.draw(p, {0, 0, 800, 600}));
  const auto pass = plot.prepare(p, {0, 0, 800, 600});
  ASSERT_TRUE(pass.has_value());
  std::vector<std::string> texts;
  for (const auto& t : p.texts) {
    texts.push_back(t.text);
    const auto b = p.bounds(t);
    EXPECT_TRUE(b.left >= 0 && b.top >= 0 && b.right <= 800 && b.bottom <= 600) << t.text;
    EXPECT_FALSE(t.clipped) << t.text;
  }
  // A two-line title, trailing blanks removed; the legend has the labelled series only.
  for (const char* text :
       {"3- LINEAR MIXED", "Residuals Plot", "[I] =0", "[I] =100", "[SUBSTRATE]"})
    EXPECT_EQ(std::count(texts.begin(), texts.end(), text), 1) << text;
  const auto y_title =
      std::find_if(p.texts.begin(), p.texts.end(), [](const auto& t) { return t.text == "RATE"; });
  ASSERT_NE(y_title, p.texts.end());
  EXPECT_TRUE(y_title->vertical);

  const auto x_labels = labels_of(chart_pass::ticks(pass->x));
  const auto y_labels = labels_of(chart_pass::ticks(pass->y));
  ASSERT_GE(x_labels.size(), 4u);
  ASSERT_GE(y_labels.size(), 4u);
  EXPECT_EQ(x_labels.front(), "0");
  EXPECT_EQ(std::stof(y_labels.front()), 0.0f);
  // Texts below the plot on the tick label row, and left of it, in drawing order.
  const float below = float(pass->plot_area.y + pass->plot_area.height);
  std::vector<testing::recording_painter::box> row, column;
  std::vector<std::string> row_texts, column_texts;
  for (const auto& t : p.texts) {
    const auto b = p.bounds(t);
    if (t.h == h_align::center && t.v == v_align::top && b.top > below && b.top < below + 20) {
      row.push_back(b);
      row_texts.push_back(t.text);
    }
    if (t.h == h_align::right && !t.vertical) {
      column.push_back(b);
      column_texts.push_back(t.text);
    }
  }
  EXPECT_EQ(row_texts, x_labels);
  EXPECT_EQ(column_texts, y_labels);
  for (std::size_t i = 1; i < row.size(); ++i)
    EXPECT_LT(row[i - 1].right, row[i].left);
  for (std::size_t i = 1; i < column.size(); ++i)
    EXPECT_LE(column[i].bottom, column[i - 1].top);  // upwards
  for (const auto& b : column)
    EXPECT_LE(b.right, float(pass->plot_area.x));
}

// A cross series marks points drawn by another series: an X of two lines through
// each point inside the axes (wider than a big dot), and an X as its legend swatch.
TEST(ChartDrawing, CrossesAreTwoLinesThroughEachPointAndOneInTheLegend) {
  pplot plot = sample_chart();
  const rgb black{0, 0, 0};
  const int marks = plot.add_series({100.0f, 333.0f, 5000.0f}, {0.05f, 0.1f, 0.1f});
  plot.data[marks].drawer = drawer_type::cross;
  plot.data[marks].label = "flagged";
  plot.data[marks].color = black;
  recording_painter p(8, 16);
  ASSERT_TRUE(plot.draw(p, {0, 0, 800, 600}));
  const auto pass = plot.prepare(p, {0, 0, 800, 600});
  ASSERT_TRUE(pass.has_value());
  std::vector<std::pair<float, float>> centres;
  int legend_lines = 0;
  for (const auto& s : p.shapes) {
    // Axes and ticks are black too, but never diagonal.
    if (s.kind != recorded_shape::line || !(s.color == black) || s.a == s.c || s.b == s.d) continue;
    EXPECT_GT(std::fabs(s.c - s.a), 2.0f * big_dot_size);   // around a dot
    EXPECT_EQ(std::fabs(s.c - s.a), std::fabs(s.d - s.b));  // diagonal
    if (!s.clipped) {
      ++legend_lines;
      continue;
    }
    centres.emplace_back((s.a + s.c) / 2.0f, (s.b + s.d) / 2.0f);
  }
  EXPECT_EQ(legend_lines, 2);
  ASSERT_EQ(centres.size(), 4u);  // the third point lies beyond the axes
  EXPECT_FLOAT_EQ(centres[0].first, pass->screen_x(100.0f));
  EXPECT_FLOAT_EQ(centres[1].second, pass->screen_y(0.05f));
  EXPECT_FLOAT_EQ(centres[2].first, pass->screen_x(333.0f));
  EXPECT_FLOAT_EQ(centres[3].second, pass->screen_y(0.1f));
  const auto label = std::find_if(p.texts.begin(), p.texts.end(),
                                  [](const auto& t) { return t.text == "flagged"; });
  EXPECT_NE(label, p.texts.end());
}

TEST(ChartDrawing, SeriesAreDrawnInsideTheAxesAndBarsStandOnZero) {
  pplot plot = sample_chart();
  plot.data[1].x = {50.0f, 5000.0f};  // leaves the chart to the right
  plot.data[1].y = {0.03f, 1.0f};
  const int bar = plot.add_series({100.0f, 200.0f, 300.0f}, {0.02f, -0.01f, 0.04f});
  plot.data[bar].drawer = drawer_type::bar;
  plot.data[bar].color = green;
  recording_painter p(8, 16);
  ASSERT_TRUE(plot.draw(p, {0, 0, 800, 600}));
  const auto pass = plot.prepare(p, {0, 0, 800, 600});
  ASSERT_TRUE(pass.has_value());
  const prect& a = pass->plot_area;
  const float zero = pass->screen_y(0.0f);

  int blue_dots = 0, pink_dots = 0, swatches = 0, blue_lines = 0, bars = 0;
  for (const auto& s : p.shapes) {
    if (s.kind == recorded_shape::filled_rect && s.color == green) {
      ++bars;  // standing on zero: the bottom or the top edge on it
      EXPECT_TRUE(std::fabs(s.b + s.d - zero) < 0.01f || std::fabs(s.b - zero) < 0.01f);
    }
    if (s.kind == recorded_shape::ellipse) {
      EXPECT_EQ(s.c, big_dot_size);
      if (!s.clipped)
        ++swatches;  // legend
      else if (s.color == blue)
        ++blue_dots;
      else if (s.color == pink)
        ++pink_dots;
    }
    if (s.kind == recorded_shape::line && s.color == blue) {
      ++blue_lines;
      EXPECT_TRUE(s.clipped);
      // The segment was cut at the plot edge (with a little slack).
      EXPECT_LE(std::max(s.a, s.c), float(a.x + a.width + 2));
      EXPECT_GE(std::min(s.b, s.d), float(a.y - 2));
    }
  }
  EXPECT_EQ(swatches, 2);  // the legend shows the dots of the two labelled series
  EXPECT_EQ(blue_dots, 6);
  EXPECT_EQ(pink_dots, 2);
  EXPECT_EQ(blue_lines, 1);
  EXPECT_EQ(bars, 3);
  EXPECT_EQ(p.clip.x, float(a.x));
  EXPECT_EQ(p.clip.w, float(a.width));
}

TEST(ChartDrawing, AFailedPassLeavesOnlyTheBackground) {
  pplot plot;  // no data
  plot.title = "Nothing";
  recording_painter p;
  EXPECT_FALSE(plot.draw(p, {0, 0, 800, 600}));
  ASSERT_EQ(p.shapes.size(), 1u);
  EXPECT_EQ(p.shapes[0].kind, recorded_shape::filled_rect);
  EXPECT_EQ(p.shapes[0].color, (rgb{255, 255, 255}));
  EXPECT_TRUE(p.texts.empty());

  pplot tiny = sample_chart();
  recording_painter q;
  EXPECT_FALSE(tiny.draw(q, {0, 0, 60, 40}));  // no room for a chart
}

TEST(ChartDrawing, StepsLostInSinglePrecisionEndTheAxis) {
  // Around 1e8 a single-precision step of a fraction does not move the tick.
  pplot plot;
  plot.add_series({1e8f, 1e8f + 8.0f}, {0.0f, 1.0f});
  recording_painter p;
  plot.draw(p, {0, 0, 800, 600});
  EXPECT_LT(p.shapes.size(), 5000u);
}

TEST(TitleLines, SplitAtLineBreaks) {
  EXPECT_EQ(title_lines("a  \r\nb"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(title_lines("one\n"), (std::vector<std::string>{"one"}));
  EXPECT_TRUE(title_lines("").empty());
  EXPECT_TRUE(title_lines("   ").empty());
}

TEST(Series, AddTakesTheCommonLength) {
  pplot plot;
  EXPECT_EQ(plot.add_series({1, 2, 3}, {4, 5}), 0);
  EXPECT_EQ(plot.data[0].x.size(), 2u);
  EXPECT_EQ(plot.add_series({}, {1}), 1);
  EXPECT_TRUE(plot.data[1].y.empty());
}

}  // namespace
}  // namespace inhibra::plotengine

namespace inhibra::plotengine {
namespace {

// Shoelace area of a polygon.
double area_of(const std::vector<point>& corners) {
  double twice = 0.0;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const point& a = corners[i];
    const point& b = corners[(i + 1) % corners.size()];
    twice += double(a.x) * b.y - double(b.x) * a.y;
  }
  return std::fabs(twice) / 2.0;
}

// Every marker but the star covers the area of the circle of its radius (the star,
// pointed, a little less), is centred on its point and has its own corners.
TEST(Markers, ShapesOfEqualWeight) {
  constexpr float r = 4.0f;
  const double circle = 3.14159265358979 * r * r;
  const struct {
    marker_shape shape;
    std::size_t corners;
  } cases[] = {{marker_shape::square, 4},        {marker_shape::triangle_up, 3},
               {marker_shape::diamond, 4},       {marker_shape::triangle_down, 3},
               {marker_shape::pentagon, 5},      {marker_shape::hexagon, 6},
               {marker_shape::triangle_left, 3}, {marker_shape::triangle_right, 3},
               {marker_shape::star, 10}};
  std::vector<std::vector<point>> seen;
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.shape));
    const auto corners = marker_corners(c.shape, 100.0f, 50.0f, r);
    ASSERT_EQ(corners.size(), c.corners);
    if (c.shape == marker_shape::star) {
      EXPECT_GT(area_of(corners), 0.5 * circle);
      EXPECT_LT(area_of(corners), circle);
    } else {
      EXPECT_NEAR(area_of(corners), circle, 1e-3 * circle);
    }
    double cx = 0.0, cy = 0.0;
    for (const auto& p : corners) {
      cx += p.x / double(corners.size());
      cy += p.y / double(corners.size());
    }
    EXPECT_NEAR(cx, 100.0, 1e-4);
    EXPECT_NEAR(cy, 50.0, 1e-4);
    for (const auto& other : seen) {  // no two shapes alike
      const bool same =
          other.size() == corners.size() &&
          std::equal(other.begin(), other.end(), corners.begin(), [](point a, point b) {
            return std::fabs(a.x - b.x) < 1e-3f && std::fabs(a.y - b.y) < 1e-3f;
          });
      EXPECT_FALSE(same);
    }
    seen.push_back(corners);
  }
  EXPECT_TRUE(marker_corners(marker_shape::circle, 0, 0, r).empty());
  // Big dots of a shaped series are filled polygons, in the plot and the legend.
  pplot plot;
  plot.add_series({1, 2, 3}, {1, 2, 3});
  plot.data[0].drawer = drawer_type::big_dot;
  plot.data[0].marker = marker_shape::triangle_up;
  plot.data[0].label = "[I] = 5";
  recording_painter p;
  ASSERT_TRUE(plot.draw(p, {0, 0, 400, 300}));
  const auto polygons = std::count_if(p.shapes.begin(), p.shapes.end(), [](const auto& s) {
    return s.kind == recorded_shape::polygon && s.c == 3.0f;
  });
  EXPECT_EQ(polygons, 4);
}

}  // namespace
}  // namespace inhibra::plotengine

namespace inhibra::plotengine {
namespace {

// A title line wider than the chart is broken at blanks into lines that fit; a line
// whose first word does not fit stays whole.
TEST(ChartDrawing, LongTitleLinesBreakAtBlanks) {
  const struct {
    std::string title;
    std::vector<std::string> lines;
  } cases[] = {
      {"Model 4\r\n( Catalytic Down, Specific Up, Ratio 5 )",
       {"Model 4", "( Catalytic Down,", "Specific Up, Ratio 5 )"}},
      {"Short", {"Short"}},
      {"Averyveryverylongwordwithoutblanks x", {"Averyveryverylongwordwithoutblanks x"}},
      {"aaaa bbbb cccc dddd eeee ffff gggg", {"aaaa bbbb cccc dddd", "eeee ffff gggg"}},
  };
  for (const auto& c : cases) {
    pplot plot;
    plot.title = c.title;
    plot.add_series({1, 2}, {1, 2});
    recording_painter p;  // 8 pixels a character; room: 200 - 2 * 8 = 184, 23 characters
    ASSERT_TRUE(plot.draw(p, {0, 0, 200, 400}));
    std::vector<std::string> drawn;
    for (const auto& t : p.texts)
      if (t.h == h_align::center && t.v == v_align::top && t.y < 80.0f) drawn.push_back(t.text);
    EXPECT_EQ(drawn, c.lines) << c.title;
  }
}

}  // namespace
}  // namespace inhibra::plotengine
