#include "toolkit/plot_window.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSvgGenerator>

namespace inhibra::toolkit {

picture_format picture_format_of(const QString& file_name) {
  const QString suffix = QFileInfo(file_name).suffix().toLower();
  if (suffix.isEmpty() || suffix == "bmp") return picture_format::bmp;
  if (suffix == "png") return picture_format::png;
  if (suffix == "svg") return picture_format::svg;
  if (suffix == "pdf") return picture_format::pdf;
  return picture_format::other;
}

QString with_default_picture_extension(const QString& file_name) {
  if (QFileInfo(file_name).suffix().isEmpty()) return file_name + ".bmp";
  return file_name;
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

bool save_image(const QString& file_name, QSize size, const plot_drawer& draw, const char* format) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, image.rect());
  }
  return image.save(file_name, format);
}

}  // namespace

bool save_drawing(const QString& file_name, QSize size, const plot_drawer& draw) {
  switch (picture_format_of(file_name)) {
    case picture_format::bmp:
      return save_image(file_name, size, draw, "BMP");
    case picture_format::png:
      return save_image(file_name, size, draw, "PNG");
    case picture_format::svg: {
      QSvgGenerator svg;
      svg.setFileName(file_name);
      svg.setSize(size);
      svg.setViewBox(QRect(QPoint(0, 0), size));
      QPainter painter;
      if (!painter.begin(&svg)) return false;
      painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
      draw(painter, QRect(QPoint(0, 0), size));
      return painter.end() && QFileInfo(file_name).isFile();
    }
    case picture_format::pdf: {
      QPdfWriter pdf(file_name);
      pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
      pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
      pdf.setResolution(72);  // one device unit per point: the page is `size` units large
      QPainter painter;
      if (!painter.begin(&pdf)) return false;
      draw_scaled(painter, painter.viewport(), size, draw);
      return painter.end() && QFileInfo(file_name).isFile();
    }
    case picture_format::other: {
      const QByteArray suffix = QFileInfo(file_name).suffix().toLower().toLatin1();
      if (!QImageWriter::supportedImageFormats().contains(suffix)) return false;
      return save_image(file_name, size, draw, suffix.constData());
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
  print_ = file->addAction(QStringLiteral("Print..."));
  close_ = file->addAction(QStringLiteral("Close"));
  connect(save_, &QAction::triggered, this, &PlotWindow::chooseFileAndSave);
  connect(print_, &QAction::triggered, this, &PlotWindow::choosePrinterAndPrint);
  connect(close_, &QAction::triggered, this, &QWidget::close);
  canvas_->resize(plot_window_width, plot_window_height);
  resize(plot_window_width, plot_window_height + menuBar()->sizeHint().height());
}

bool PlotWindow::saveAs(const QString& file_name) {
  return save_drawing(file_name, canvas_->size(), canvas_->drawer());
}

void PlotWindow::printOn(QPrinter& printer) {
  print_drawing(printer, canvas_->size(), canvas_->drawer());
}

void PlotWindow::chooseFileAndSave() {
  QString name = QFileDialog::getSaveFileName(
      this, QStringLiteral("Save As"), QString(),
      QStringLiteral("Bitmap files (*.bmp);;PNG images (*.png);;SVG drawings (*.svg);;"
                     "PDF documents (*.pdf)"));
  if (name.isEmpty()) return;
  name = with_default_picture_extension(name);
  if (!saveAs(name)) {
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

void PlotWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closed_) return;
  closed_ = true;
  if (onClosed) onClosed();
}

}  // namespace inhibra::toolkit
