#include "toolkit/text_printing.hpp"

#include <QFontMetricsF>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>
#include <QTextDocument>
#include <QTextOption>
#include <algorithm>

#include "toolkit/column_font.hpp"

namespace inhibra::toolkit {

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
  const double page_width = printer.pageLayout().paintRectPixels(printer.resolution()).width();
  const double line_width =
      QFontMetricsF(font, &printer).horizontalAdvance(QString(longest, QChar('M')));
  if (line_width > page_width && line_width > 0) {
    font.setPointSizeF(std::max(smallest_print_points,
                                std::floor(print_points * page_width / line_width * 10) / 10));
  }

  QTextDocument document;
  document.setDefaultFont(font);
  document.setDocumentMargin(0);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  document.setDefaultTextOption(option);
  document.setPlainText(lines);
  document.print(&printer);
  return printer.printerState() != QPrinter::Error;
}

}  // namespace inhibra::toolkit
