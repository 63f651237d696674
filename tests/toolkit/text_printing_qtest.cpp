// Printing a text such as the results report: every line on the pages, a line too
// long for the page at the usual size printed smaller rather than cut, a long text
// over several pages, and the window system asking its printer chooser first.
#include <QPrinter>
#include <QRegularExpression>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/qt_test_main.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/text_printing.hpp"
#include "toolkit/window_system.hpp"

using namespace inhibra;

namespace {

// The text of a PDF file as a reader extracts it (poppler's pdftotext), and its page
// count (pdfinfo); empty and 0 when the tools fail.
QString pdf_text(const support::temp_dir& dir, const std::string& pdf) {
  const std::string out = dir.file("extracted.txt");
  const std::string command = "pdftotext '" + pdf + "' '" + out + "'";
  if (std::system(command.c_str()) != 0) return {};
  return QString::fromStdString(support::read_file(out));
}

int pdf_pages(const support::temp_dir& dir, const std::string& pdf) {
  const std::string out = dir.file("info.txt");
  const std::string command = "pdfinfo '" + pdf + "' > '" + out + "'";
  if (std::system(command.c_str()) != 0) return 0;
  const auto m = QRegularExpression(QStringLiteral(R"(Pages:\s+(\d+))"))
                     .match(QString::fromStdString(support::read_file(out)));
  return m.hasMatch() ? m.captured(1).toInt() : 0;
}

}  // namespace

class TextPrintingTest : public QObject {
  Q_OBJECT

 private slots:
  void everyLineIsPrintedWholeOverAsManyPagesAsNeeded() {
    support::temp_dir dir;
    const std::string pdf = dir.file("report.pdf");
    constexpr int lines = 150;  // more than one page holds at the usual size
    QString text;
    for (int i = 1; i <= lines; ++i)
      text += QString("row %1 %2\r\n").arg(i, 3, 10, QChar('0')).arg(QString(20, QChar('x')));
    // A line without blanks, wider than a page at the usual size.
    const QString wide = QChar('W') + QString(130, QChar('7')) + QChar('W');
    text += wide + QStringLiteral("\n");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    QVERIFY(toolkit::print_text_on(printer, text));
    const QString printed = pdf_text(dir, pdf);
    QVERIFY2(!printed.isEmpty(), "pdftotext (poppler-utils) is needed");
    for (const int i : {1, lines / 2, lines})
      QVERIFY(
          printed.contains(QString("row %1 %2").arg(i, 3, 10, QChar('0')).arg(QString(20, 'x'))));
    QVERIFY2(printed.contains(wide), "the wide line is printed smaller, on one line");
    QVERIFY(pdf_pages(dir, pdf) >= 2);
  }

  void windowSystemPrintsOnlyWhenTheChooserSaysSo() {
    support::temp_dir dir;
    const std::string pdf = dir.file("chosen.pdf");
    toolkit::window_system tk([] {});
    (void)tk.initwindow(300, 200, "Main", -1, -1, false, false);
    bool print = false;
    QString document;
    tk.set_printer_chooser([&](QPrinter& printer, QWidget*) {
      document = printer.docName();
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf));
      return print;
    });
    QCOMPARE(tk.print_text("Data.out", "first line\r\nsecond line\r\n"), 0);
    QCOMPARE(document, QString("Data.out"));
    QVERIFY(!std::filesystem::exists(pdf));
    print = true;
    QCOMPARE(tk.print_text("Data.out", "first line\r\nsecond line\r\n"), 1);
    const QString printed = pdf_text(dir, pdf);
    QVERIFY(printed.contains("first line") && printed.contains("second line"));
  }
};

INHIBRA_QT_TEST(TextPrintingTest)
#include "text_printing_qtest.moc"
