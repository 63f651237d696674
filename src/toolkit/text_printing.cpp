#include "toolkit/text_printing.hpp"

#include <QFontMetricsF>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>
#include <QTextDocument>
#include <QTextOption>
#include <algorithm>
#include <cmath>

#include "toolkit/column_font.hpp"

namespace inhibra::toolkit {

namespace {

// The margin a text document keeps on each side of a printed page.
constexpr double document_margin_cm = 2.0;

}  // namespace

bool choose_printer_by_dialog(QPrinter& printer, QWidget* parent) {
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("Print"));
  return dialog.exec() == QDialog::Accepted;
}

bool print_text_on(QPrinter& printer, const QString& text) {
  QString lines = text;
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  qsizetype longest = 1;
  for (const QString& line : lines.split(QChar('\n')))
    longest = std::max(longest, line.size());

  // The columns of a report line up only in a fixed-pitch font; it shrinks until the
  // longest line fits, as far as it stays legible.
  QFont font = column_font();
  font.setPointSizeF(print_points);
  // The document keeps a margin of its own on each side of the printed page.
  const double margin = document_margin_cm / 2.54 * printer.resolution();
  const double page_width =
      printer.pageLayout().paintRectPixels(printer.resolution()).width() - 2 * margin;
  const double line_width =
      QFontMetricsF(font, &printer).horizontalAdvance(QString(longest, QChar('M')));
  if (line_width > page_width && line_width > 0 && page_width > 0) {
    // A tenth of a point below the size that just fits: no rounding of the glyph
    // advances makes the line wrap.
    font.setPointSizeF(std::max(smallest_print_points,
                                std::floor(print_points * page_width / line_width * 10 - 1) / 10));
  }

  QTextDocument document;
  document.setDefaultFont(font);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  document.setDefaultTextOption(option);
  document.setPlainText(lines);
  document.print(&printer);
  return printer.printerState() != QPrinter::Error;
}

}  // namespace inhibra::toolkit
