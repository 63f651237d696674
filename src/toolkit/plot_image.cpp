#include "toolkit/plot_image.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>
#include <cmath>

#include <unistd.h>

#include "toolkit/qt_painter.hpp"

namespace inhibra::toolkit {

namespace {

constexpr int base_font_pixels = 14;  // at 800 x 600
constexpr int screen_dpi = 96;

QString qt_path(const std::string& path) {
  return QString::fromStdString(path);
}

bool written(const std::string& path) {
  const QFileInfo info(qt_path(path));
  return info.exists() && info.isFile() && info.size() > 0;
}

// The chart's first title line names the vector files.
QString document_title(const plotengine::pplot& plot) {
  const auto lines = plotengine::title_lines(plot.title);
  return lines.empty() ? QStringLiteral("Inhibra plot") : QString::fromStdString(lines.front());
}

bool save_bitmap(const plotengine::pplot& plot, const std::string& path, const char* format,
                 int width, int height) {
  const QImage image = render_plot(plot, width, height);
  return !image.isNull() && image.save(qt_path(path), format) && written(path);
}

bool save_svg(const plotengine::pplot& plot, const std::string& path, int width, int height) {
  QSvgGenerator svg;
  svg.setFileName(qt_path(path));
  svg.setSize(QSize(width, height));
  svg.setViewBox(QRect(0, 0, width, height));
  svg.setResolution(screen_dpi);
  svg.setTitle(document_title(plot));
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  paint_plot(painter, plot, QRect(0, 0, width, height));
  painter.end();
  return written(path);
}

bool save_pdf(const plotengine::pplot& plot, const std::string& path, int width, int height) {
  QPdfWriter pdf(qt_path(path));
  pdf.setResolution(screen_dpi);
  // One page the size of the chart at screen resolution, no margins.
  const QSizeF points(width * 72.0 / screen_dpi, height * 72.0 / screen_dpi);
  pdf.setPageSize(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch));
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
  pdf.setTitle(document_title(plot));
  pdf.setCreator(QStringLiteral("Inhibra"));
  QPainter painter;
  if (!painter.begin(&pdf)) return false;
  const QRect area = painter.viewport();
  paint_plot(painter, plot, area);
  painter.end();
  return written(path);
}

}  // namespace

std::optional<image_format> format_for_path(std::string_view path) {
  const auto dot = path.rfind('.');
  const auto slash = path.find_last_of("/\\");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return std::nullopt;
  std::string ext(path.substr(dot + 1));
  for (char& c : ext)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "png") return image_format::png;
  if (ext == "bmp") return image_format::bmp;
  if (ext == "svg") return image_format::svg;
  if (ext == "pdf") return image_format::pdf;
  return std::nullopt;
}

int chart_font_pixels(const QRect& area) {
  const double scale = std::min(area.width() / 800.0, area.height() / 600.0);
  const long px = std::lround(base_font_pixels * scale);
  return static_cast<int>(std::clamp(px, 10L, 40L));
}

bool paint_plot(QPainter& painter, const plotengine::pplot& plot, const QRect& area) {
  painter.save();
  // Areas larger than 800 x 600 show the chart of that size magnified, so that
  // dots, lines and text grow together; smaller ones lay it out at their own size.
  const double magnify = std::max(1.0, std::min(area.width() / 800.0, area.height() / 600.0));
  const QRect laid_out(0, 0, static_cast<int>(std::floor(area.width() / magnify)),
                       static_cast<int>(std::floor(area.height() / magnify)));
  painter.translate(area.topLeft());
  painter.scale(magnify, magnify);
  QFont font = painter.font();
  font.setPixelSize(chart_font_pixels(laid_out));
  painter.setFont(font);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  qt_painter p(painter);
  const bool drawn = plot.draw(p, {0, 0, laid_out.width(), laid_out.height()});
  painter.restore();
  return drawn;
}

QImage render_plot(const plotengine::pplot& plot, int width, int height) {
  if (width < 1 || height < 1 || !headless_app::available()) return {};
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  paint_plot(painter, plot, QRect(0, 0, width, height));
  painter.end();
  return image;
}

bool save_plot_as(const plotengine::pplot& plot, const std::string& path, image_format format,
                  int width, int height) {
  if (width < 1 || height < 1 || path.empty() || !headless_app::available()) return false;
  if (!QFileInfo(qt_path(path)).absoluteDir().exists()) return false;  // nowhere to write
  switch (format) {
    case image_format::png:
      return save_bitmap(plot, path, "PNG", width, height);
    case image_format::bmp:
      return save_bitmap(plot, path, "BMP", width, height);
    case image_format::svg:
      return save_svg(plot, path, width, height);
    case image_format::pdf:
      return save_pdf(plot, path, width, height);
  }
  return false;
}

bool save_plot(const plotengine::pplot& plot, const std::string& path, int width, int height) {
  const auto format = format_for_path(path);
  return format.has_value() && save_plot_as(plot, path, *format, width, height);
}

headless_app::headless_app() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Without a runtime folder Qt warns on every start; a private one of our own (mode
  // 0700, as Qt requires) keeps a headless run's error stream for real messages.
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    const QString dir = QDir::tempPath() + "/inhibra-runtime-" + QString::number(getuid());
    if (QDir().mkpath(dir)) {
      QFile::setPermissions(
          dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
      qputenv("XDG_RUNTIME_DIR", dir.toLocal8Bit());
    }
  }
  app_ = std::make_unique<QGuiApplication>(argc_, argv_);
}

headless_app::~headless_app() = default;

bool headless_app::available() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace inhibra::toolkit
