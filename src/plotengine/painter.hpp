#pragma once
// What the chart engine draws with. A window, an image, a vector file or a test
// recorder implements it; coordinates are pixels with y growing downwards.
#include <cstdint>
#include <span>
#include <string_view>

namespace inhibra::plotengine {

// A colour, each part 0..255.
struct rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const rgb&, const rgb&) = default;
};

// A point in painter coordinates.
struct point {
  float x = 0.0f;
  float y = 0.0f;
};

enum class h_align { left, center, right };
enum class v_align { top, center, bottom };

class painter {
 public:
  virtual ~painter() = default;

  // Colour of the lines, fills and texts that follow.
  virtual void set_color(rgb color) = 0;
  // Width in pixels of the lines that follow.
  virtual void set_line_width(float width) = 0;
  virtual void draw_line(float x1, float y1, float x2, float y2) = 0;
  virtual void draw_rect(float x, float y, float width, float height) = 0;
  virtual void fill_rect(float x, float y, float width, float height) = 0;
  // A filled ellipse around (cx, cy) with half-axes rx and ry.
  virtual void fill_ellipse(float cx, float cy, float rx, float ry) = 0;
  // A filled polygon through the corners in order (closed back to the first).
  virtual void fill_polygon(std::span<const point> corners) = 0;
  // One line of text (UTF-8). (x, y) is the anchor that the alignments refer to;
  // a vertical text reads upwards and its alignments refer to the turned text as
  // seen on the screen.
  virtual void draw_text(float x, float y, std::string_view text, h_align h, v_align v,
                         bool vertical = false) = 0;
  // Width of a text in pixels; 0 when this painter cannot measure text.
  [[nodiscard]] virtual int text_width(std::string_view text) = 0;
  // Height of a line of text in pixels; 0 when this painter has no font.
  [[nodiscard]] virtual int font_height() = 0;
  // Restricts what follows to a rectangle, until clear_clip.
  virtual void set_clip(float x, float y, float width, float height) = 0;
  virtual void clear_clip() = 0;
};

}  // namespace inhibra::plotengine
