#pragma once
// The window that shows one chart: 800 x 600 pixels, the chart's title as window
// title, and a "File" menu to save the picture (in the format the name's extension
// asks for, else the one of the chosen file type), to copy it, to print it and to close the
// window (also on Ctrl+W and Escape); "Figure..." beside it edits the chart's texts
// when the chart's owner allows it. The chart is drawn by a
// callback into whatever rectangle the window (or the file, or the page) offers,
// so resizing the window redraws it at the new size.
#include <QMainWindow>
#include <QString>
#include <QWidget>
#include <functional>

#include "toolkit/figure_dialog.hpp"

class QAction;
class QImage;
class QPainter;
class QPrinter;

namespace inhibra::toolkit {

// Draws a chart into `area` of the painter's device.
using plot_drawer = std::function<void(QPainter& painter, const QRect& area)>;

// Size of a new plot window's drawing area.
inline constexpr int plot_window_width = 800;
inline constexpr int plot_window_height = 600;

// How a picture is written, chosen by the file name's extension.
enum class picture_format { bmp, png, svg, pdf, other };
[[nodiscard]] picture_format picture_format_of(const QString& file_name);
// The name with the extension of the file type `filter` ("PNG images (*.png)") added
// when its last component has none; ".bmp" when the filter names no extension.
[[nodiscard]] QString with_picture_extension(const QString& file_name, const QString& filter = {});

// Writes the chart, drawn at `size`, to `file_name` in the format its extension names
// (BMP when it has none; other extensions that Qt can write as images are honoured).
// Bitmaps record `dpi` as their resolution; SVG and PDF files are size/dpi inches
// large. Returns false when the file could not be written.
bool save_drawing(const QString& file_name, QSize size, const plot_drawer& draw, int dpi = 96);
// Prints the chart drawn at `size`, scaled to fit the printer's page.
void print_drawing(QPrinter& printer, QSize size, const plot_drawer& draw);

// The drawing area of a plot window.
class PlotCanvas : public QWidget {
  Q_OBJECT

 public:
  PlotCanvas(plot_drawer draw, QWidget* parent);
  [[nodiscard]] const plot_drawer& drawer() const { return draw_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  plot_drawer draw_;
};

class PlotWindow : public QMainWindow {
  Q_OBJECT

 public:
  PlotWindow(const QString& title, plot_drawer draw, QWidget* parent = nullptr);

  [[nodiscard]] PlotCanvas* canvas() const { return canvas_; }
  [[nodiscard]] QAction* saveAction() const { return save_; }
  [[nodiscard]] QAction* printAction() const { return print_; }
  [[nodiscard]] QAction* copyAction() const { return copy_; }
  [[nodiscard]] QAction* closeAction() const { return close_; }
  // "Figure..." on the window's bar, shown once the window has a figure access.
  [[nodiscard]] QAction* figureAction() const { return figure_; }

  // The chart's texts become editable through `access` (an empty one hides the entry).
  void setFigureAccess(figure_access access);
  // Gives the chart `texts`, as the Figure dialog's OK does: the chart is redrawn,
  // and the window's title (and in the Plots tab the chart's name) follows the chart's.
  void applyFigure(const figure_texts& texts);

  // Saves the picture as shown now (the window's drawing size) under `file_name`.
  bool saveAs(const QString& file_name);
  // The picture size Save As offers: the drawing area in device pixels,
  // so that a picture saved from a high-density screen is as sharp as shown.
  [[nodiscard]] QSize devicePictureSize() const;
  // Prints the picture as shown now.
  void printOn(QPrinter& printer);
  // The picture as shown now.
  [[nodiscard]] QImage picture() const;
  // The window becomes a page of another: its entries lose their keys, which belong
  // to the window it is shown in.
  void embed();

  // Told once when the window has closed.
  std::function<void()> onClosed;

 public slots:
  // "Save As...": asks for a name and file type (BMP offered first) and the picture's
  // size and resolution; then draws the picture at that size and saves it.
  void chooseFileAndSave();
  // "Print...": the system print dialog, then printing.
  void choosePrinterAndPrint();
  // "Copy": the picture onto the clipboard.
  void copyToClipboard();
  // "Figure...": the chart's title and axis labels in the Figure dialog, applied on OK.
  void editFigure();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  PlotCanvas* canvas_;
  QAction* save_;
  QAction* print_;
  QAction* copy_;
  QAction* close_;
  QAction* figure_;
  figure_access figure_access_;
  bool closed_ = false;
};

}  // namespace inhibra::toolkit
