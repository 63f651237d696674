#include "toolkit/plot_window.hpp"

#include "toolkit/qt_text.hpp"
#include "toolkit/workspace.hpp"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <cmath>

#include "data/output_file.hpp"
#include "toolkit/picture_size_dialog.hpp"
#include "toolkit/qt_text.hpp"

namespace inhibra::toolkit {

picture_format picture_format_of(const QString& file_name) {
  const QString suffix = QFileInfo(file_name).suffix().toLower();
  if (suffix.isEmpty() || suffix == "bmp") return picture_format::bmp;
  if (suffix == "png") return picture_format::png;
  if (suffix == "svg") return picture_format::svg;
  if (suffix == "pdf") return picture_format::pdf;
  return picture_format::other;
}

QString with_picture_extension(const QString& file_name, const QString& filter) {
  if (!QFileInfo(file_name).suffix().isEmpty()) return file_name;
  static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
  const QRegularExpressionMatch found = pattern.match(filter);
  return file_name + QChar('.') + (found.hasMatch() ? found.captured(1).toLower() : "bmp");
}

namespace {

// Draws the chart at `size` onto `painter`, whose device may be larger or smaller:
// the picture is scaled to fit the device's area, keeping its proportions.
void draw_scaled(QPainter& painter, QRect target, QSize size, const plot_drawer& draw) {
  const QSize fitted = size.scaled(target.size(), Qt::KeepAspectRatio);
  painter.setViewport(target.x(), target.y(), fitted.width(), fitted.height());
  painter.setWindow(0, 0, size.width(), size.height());
  draw(painter, QRect(QPoint(0, 0), size));
}

// Writes the bytes whole or not at all, like every file of the programs: beside the
// final name under a temporary name, renamed into place when complete, so a failed
// save leaves an earlier file as it was.
bool write_whole(const QString& file_name, const QByteArray& bytes) {
  data::output_file file;
  if (bytes.isEmpty() || !file.open(QFile::encodeName(file_name).toStdString())) return false;
  file.write(bytes.constData(), bytes.size());
  return file.commit();
}

bool save_image(const QString& file_name, QSize size, const plot_drawer& draw, const char* format,
                int dpi) {
  constexpr double inches_per_metre = 1.0 / 0.0254;
  QImage image(size, QImage::Format_RGB32);
  image.setDotsPerMeterX(static_cast<int>(std::lround(dpi * inches_per_metre)));
  image.setDotsPerMeterY(static_cast<int>(std::lround(dpi * inches_per_metre)));
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, image.rect());
  }
  QBuffer buffer;
  return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format) &&
         write_whole(file_name, buffer.data());
}

}  // namespace

bool save_drawing(const QString& file_name, QSize size, const plot_drawer& draw, int dpi) {
  switch (picture_format_of(file_name)) {
    case picture_format::bmp:
      return save_image(file_name, size, draw, "BMP", dpi);
    case picture_format::png:
      return save_image(file_name, size, draw, "PNG", dpi);
    case picture_format::svg: {
      QBuffer buffer;
      if (!buffer.open(QIODevice::WriteOnly)) return false;
      QSvgGenerator svg;
      svg.setOutputDevice(&buffer);
      svg.setSize(size);
      svg.setViewBox(QRect(QPoint(0, 0), size));
      svg.setResolution(dpi);  // the file's width and height: the size in inches at dpi
      QPainter painter;
      if (!painter.begin(&svg)) return false;
      painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
      draw(painter, QRect(QPoint(0, 0), size));
      return painter.end() && write_whole(file_name, buffer.data());
    }
    case picture_format::pdf: {
      QBuffer buffer;
      if (!buffer.open(QIODevice::WriteOnly)) return false;
      {
        QPdfWriter pdf(&buffer);
        // The page is the picture's size in inches at dpi; its device units are pixels.
        const QSizeF points(size.width() * 72.0 / dpi, size.height() * 72.0 / dpi);
        pdf.setPageSize(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(dpi);
        QPainter painter;
        if (!painter.begin(&pdf)) return false;
        draw_scaled(painter, painter.viewport(), size, draw);
        if (!painter.end()) return false;
      }
      return write_whole(file_name, buffer.data());
    }
    case picture_format::other: {
      const QByteArray suffix = QFileInfo(file_name).suffix().toLower().toLatin1();
      if (!QImageWriter::supportedImageFormats().contains(suffix)) return false;
      return save_image(file_name, size, draw, suffix.constData(), dpi);
    }
  }
  return false;
}

void print_drawing(QPrinter& printer, QSize size, const plot_drawer& draw) {
  QPainter painter;
  if (!painter.begin(&printer)) return;
  draw_scaled(painter, painter.viewport(), size, draw);
  painter.end();
}

PlotCanvas::PlotCanvas(plot_drawer draw, QWidget* parent)
    : QWidget(parent), draw_(std::move(draw)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlotCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.setPen(Qt::black);
  painter.setRenderHint(QPainter::Antialiasing);
  if (draw_) draw_(painter, rect());
}

PlotWindow::PlotWindow(const QString& title, plot_drawer draw, QWidget* parent)
    : QMainWindow(parent), canvas_(new PlotCanvas(std::move(draw), this)) {
  setWindowTitle(title.isEmpty() ? QStringLiteral("APlot") : title);
  setCentralWidget(canvas_);
  menuBar()->setNativeMenuBar(false);
  QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
  save_ = file->addAction(QStringLiteral("Save As..."));
  copy_ = file->addAction(QStringLiteral("Copy"));
  print_ = file->addAction(QStringLiteral("Print..."));
  close_ = file->addAction(QStringLiteral("Close"));
  figure_ = menuBar()->addAction(QStringLiteral("Figure..."));
  figure_->setVisible(false);
  connect(figure_, &QAction::triggered, this, &PlotWindow::editFigure);
  connect(save_, &QAction::triggered, this, &PlotWindow::chooseFileAndSave);
  connect(print_, &QAction::triggered, this, &PlotWindow::choosePrinterAndPrint);
  connect(copy_, &QAction::triggered, this, &PlotWindow::copyToClipboard);
  connect(close_, &QAction::triggered, this, &QWidget::close);
  save_->setShortcut(QKeySequence::Save);
  print_->setShortcut(QKeySequence::Print);
  copy_->setShortcut(QKeySequence::Copy);
  close_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::Key_Escape)});
  canvas_->resize(plot_window_width, plot_window_height);
  resize(plot_window_width, plot_window_height + menuBar()->sizeHint().height());
}

bool PlotWindow::saveAs(const QString& file_name) {
  return save_drawing(file_name, canvas_->size(), canvas_->drawer());
}

void PlotWindow::printOn(QPrinter& printer) {
  print_drawing(printer, canvas_->size(), canvas_->drawer());
}

QImage PlotWindow::picture() const {
  QImage image(devicePictureSize(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  draw_scaled(painter, image.rect(), canvas_->size(), canvas_->drawer());
  return image;
}

void PlotWindow::copyToClipboard() {
  QGuiApplication::clipboard()->setImage(picture());
}

void PlotWindow::embed() {
  for (QAction* action : {save_, copy_, print_, close_})
    action->setShortcuts({});
}

QSize PlotWindow::devicePictureSize() const {
  const double ratio = canvas_->devicePixelRatioF();
  return QSize(static_cast<int>(std::lround(canvas_->width() * ratio)),
               static_cast<int>(std::lround(canvas_->height() * ratio)));
}

void PlotWindow::chooseFileAndSave() {
  QFileDialog dialog(this, QStringLiteral("Save As"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(
      {QStringLiteral("Bitmap files (*.bmp)"), QStringLiteral("PNG images (*.png)"),
       QStringLiteral("SVG drawings (*.svg)"), QStringLiteral("PDF documents (*.pdf)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString name =
      with_picture_extension(dialog.selectedFiles().front(), dialog.selectedNameFilter());
  // Every format asks for its size: bitmaps store the resolution, SVG and PDF files
  // take the physical size, and the chart's text keeps its size in points.
  constexpr int screen_dpi = 96;
  PictureSizeDialog size(devicePictureSize(), screen_dpi, this);
  if (size.exec() != QDialog::Accepted) return;
  const picture_size chosen = size.chosen();
  if (!save_drawing(name, chosen.pixels, canvas_->drawer(), chosen.dpi)) {
    QMessageBox::warning(this, QStringLiteral("Warning"),
                         QStringLiteral("The plot could not be saved as\n%1").arg(name));
  }
}

void PlotWindow::choosePrinterAndPrint() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(windowTitle());
  printer.setPageOrientation(QPageLayout::Landscape);
  QPrintDialog dialog(&printer, this);
  dialog.setWindowTitle(QStringLiteral("Print"));
  if (dialog.exec() != QDialog::Accepted) return;
  printOn(printer);
}

void PlotWindow::setFigureAccess(figure_access access) {
  figure_access_ = std::move(access);
  figure_->setVisible(static_cast<bool>(figure_access_));
}

void PlotWindow::applyFigure(const figure_texts& texts) {
  if (!figure_access_) return;
  figure_access_.apply(texts);
  QString title = one_line_title(texts.title.toStdString());
  if (title.trimmed().isEmpty()) title = QStringLiteral("APlot");
  setWindowTitle(title);
  canvas_->update();
  // In the main window's Plots tab the chart's entry in the list follows.
  for (QWidget* up = parentWidget(); up != nullptr; up = up->parentWidget()) {
    auto* ws = qobject_cast<Workspace*>(up);
    if (ws == nullptr) continue;
    if (ws->currentPlot() == this && ws->plotList()->currentItem() != nullptr)
      ws->plotList()->currentItem()->setText(title);
    break;
  }
}

void PlotWindow::editFigure() {
  if (!figure_access_) return;
  FigureDialog dialog(figure_access_.read(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  applyFigure(dialog.chosen());
}

void PlotWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closed_) return;
  closed_ = true;
  if (onClosed) onClosed();
}

}  // namespace inhibra::toolkit
