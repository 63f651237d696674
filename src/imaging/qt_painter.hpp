#pragma once
// The chart engine's painter over a QPainter: windows, images, SVG and PDF files and
// printers all draw charts through it.
#include <QColor>
#include <QPainter>

#include "plotengine/painter.hpp"

namespace inhibra::imaging {

class qt_painter final : public plotengine::painter {
 public:
  // Draws with `p`, which must be active; its font is the chart's font.
  explicit qt_painter(QPainter& p);

  void set_color(plotengine::rgb color) override;
  void set_line_width(float width) override;
  void draw_line(float x1, float y1, float x2, float y2) override;
  void draw_rect(float x, float y, float width, float height) override;
  void fill_rect(float x, float y, float width, float height) override;
  void fill_ellipse(float cx, float cy, float rx, float ry) override;
  void fill_polygon(std::span<const plotengine::point> corners) override;
  void draw_text(float x, float y, std::string_view text, plotengine::h_align h,
                 plotengine::v_align v, bool vertical) override;
  [[nodiscard]] int text_width(std::string_view text) override;
  [[nodiscard]] int font_height() override;
  void set_clip(float x, float y, float width, float height) override;
  void clear_clip() override;

 private:
  void use_pen();

  QPainter& p_;
  QColor color_{Qt::black};
  qreal line_width_ = 1.0;
};

}  // namespace inhibra::imaging
