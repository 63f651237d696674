#pragma once
// A painter that keeps every call, with a fixed-pitch font: each character is
// `char_width` pixels wide and a line is `line_height` pixels high.
#include <string>
#include <vector>

#include "plotengine/painter.hpp"

namespace inhibra::plotengine::testing {

struct recorded_text {
  float x, y;
  std::string text;
  h_align h;
  v_align v;
  bool vertical;
  rgb color;
  bool clipped;  // drawn while a clip rectangle was set
};

struct recorded_shape {
  enum kind_t { line, rect, filled_rect, ellipse, polygon } kind;
  float a, b, c, d;  // x1 y1 x2 y2 / x y w h / cx cy rx ry / first corner, corner count
  rgb color;
  bool clipped;
};

class recording_painter : public painter {
 public:
  recording_painter(int char_width = 8, int line_height = 16)
      : char_width_(char_width), line_height_(line_height) {}

  void set_color(rgb c) override { color_ = c; }
  void set_line_width(float) override {}
  void draw_line(float x1, float y1, float x2, float y2) override {
    shapes.push_back({recorded_shape::line, x1, y1, x2, y2, color_, clipping_});
  }
  void draw_rect(float x, float y, float w, float h) override {
    shapes.push_back({recorded_shape::rect, x, y, w, h, color_, clipping_});
  }
  void fill_rect(float x, float y, float w, float h) override {
    shapes.push_back({recorded_shape::filled_rect, x, y, w, h, color_, clipping_});
  }
  void fill_ellipse(float cx, float cy, float rx, float ry) override {
    shapes.push_back({recorded_shape::ellipse, cx, cy, rx, ry, color_, clipping_});
  }
  void fill_polygon(std::span<const point> corners) override {
    const point first = corners.empty() ? point{} : corners.front();
    shapes.push_back({recorded_shape::polygon, first.x, first.y, float(corners.size()), 0.0f,
                      color_, clipping_});
  }
  void draw_text(float x, float y, std::string_view text, h_align h, v_align v,
                 bool vertical) override {
    texts.push_back({x, y, std::string(text), h, v, vertical, color_, clipping_});
  }
  int text_width(std::string_view text) override {
    return char_width_ * static_cast<int>(text.size());
  }
  int font_height() override { return line_height_; }
  void set_clip(float x, float y, float w, float h) override {
    clipping_ = true;
    clip = {x, y, w, h};
  }
  void clear_clip() override { clipping_ = false; }

  // The screen box a recorded text covers: left, top, right, bottom.
  struct box {
    float left, top, right, bottom;
  };
  [[nodiscard]] box bounds(const recorded_text& t) const {
    const float w = float(char_width_) * float(t.text.size());
    const float h = float(line_height_);
    // Extent along and across the reading direction, as seen on the screen.
    const float along = w, across = h;
    const float sw = t.vertical ? across : along;  // screen width
    const float sh = t.vertical ? along : across;  // screen height
    float left = t.h == h_align::left ? t.x : t.h == h_align::center ? t.x - sw / 2 : t.x - sw;
    float top = t.v == v_align::top ? t.y : t.v == v_align::center ? t.y - sh / 2 : t.y - sh;
    return {left, top, left + sw, top + sh};
  }

  std::vector<recorded_text> texts;
  std::vector<recorded_shape> shapes;
  struct {
    float x = 0, y = 0, w = 0, h = 0;
  } clip;

 private:
  int char_width_;
  int line_height_;
  rgb color_{};
  bool clipping_ = false;
};

// A painter without a font: it can neither measure nor size text.
class fontless_painter : public recording_painter {
 public:
  int text_width(std::string_view) override { return 0; }
  int font_height() override { return 0; }
};

}  // namespace inhibra::plotengine::testing
