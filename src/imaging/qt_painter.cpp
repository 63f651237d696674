#include "imaging/qt_painter.hpp"

#include <QFontMetricsF>
#include <QPen>
#include <QPolygonF>
#include <QString>
#include <cmath>

namespace inhibra::imaging {

namespace {

QString text_of(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

qt_painter::qt_painter(QPainter& p) : p_(p) {
  use_pen();
}

void qt_painter::use_pen() {
  QPen pen(color_, line_width_, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
  p_.setPen(pen);
  p_.setBrush(Qt::NoBrush);
}

void qt_painter::set_color(plotengine::rgb color) {
  color_ = QColor(color.red, color.green, color.blue);
  use_pen();
}

void qt_painter::set_line_width(float width) {
  line_width_ = width;
  use_pen();
}

void qt_painter::draw_line(float x1, float y1, float x2, float y2) {
  p_.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void qt_painter::draw_rect(float x, float y, float width, float height) {
  p_.drawRect(QRectF(x, y, width, height));
}

void qt_painter::fill_rect(float x, float y, float width, float height) {
  p_.fillRect(QRectF(x, y, width, height), color_);
}

void qt_painter::fill_ellipse(float cx, float cy, float rx, float ry) {
  p_.setPen(Qt::NoPen);
  p_.setBrush(color_);
  p_.drawEllipse(QPointF(cx, cy), rx, ry);
  use_pen();
}

void qt_painter::fill_polygon(std::span<const plotengine::point> corners) {
  QPolygonF polygon;
  polygon.reserve(static_cast<qsizetype>(corners.size()));
  for (const auto& c : corners)
    polygon << QPointF(c.x, c.y);
  p_.setPen(Qt::NoPen);
  p_.setBrush(color_);
  p_.drawPolygon(polygon);
  use_pen();
}

void qt_painter::draw_text(float x, float y, std::string_view text, plotengine::h_align h,
                           plotengine::v_align v, bool vertical) {
  const QString s = text_of(text);
  const QFontMetricsF fm(p_.font(), p_.device());
  const qreal along = fm.horizontalAdvance(s);
  const qreal across = fm.height();
  // The box the text covers on the screen.
  const qreal box_w = vertical ? across : along;
  const qreal box_h = vertical ? along : across;
  const qreal left = h == plotengine::h_align::left     ? x
                     : h == plotengine::h_align::center ? x - box_w / 2.0
                                                        : x - box_w;
  const qreal top = v == plotengine::v_align::top      ? y
                    : v == plotengine::v_align::center ? y - box_h / 2.0
                                                       : y - box_h;
  if (!vertical) {
    p_.drawText(QPointF(left, top + fm.ascent()), s);
    return;
  }
  // Turned a quarter anticlockwise: the text reads upwards, its glyph tops face left.
  // A point (u, v) of the turned frame lies at (x + v, y - u) on the screen.
  p_.save();
  p_.translate(x, y);
  p_.rotate(-90.0);
  p_.drawText(QPointF(y - top - along, left - x + fm.ascent()), s);
  p_.restore();
}

int qt_painter::text_width(std::string_view text) {
  const QFontMetricsF fm(p_.font(), p_.device());
  return static_cast<int>(std::ceil(fm.horizontalAdvance(text_of(text))));
}

int qt_painter::font_height() {
  const QFontMetricsF fm(p_.font(), p_.device());
  return static_cast<int>(std::ceil(fm.height()));
}

void qt_painter::set_clip(float x, float y, float width, float height) {
  p_.setClipRect(QRectF(x, y, width, height));
}

void qt_painter::clear_clip() {
  p_.setClipping(false);
}

}  // namespace inhibra::imaging
