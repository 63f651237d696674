// Plot windows: size, title and "File" menu, the caller blocked until the window
// closes, redrawing at a new size, the picture saved as BMP, PNG, SVG or PDF (the
// chosen file type naming the extension, bitmaps drawn at the size asked for) or
// printed (to a PDF file: no printer needed), the keys that close the window, and
// the Figure dialog that edits a chart's title and axis labels.
#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QSpinBox>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <iterator>
#include <mutex>
#include <thread>
#include <utility>

#include "plotengine/pplot.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/figure_dialog.hpp"
#include "toolkit/picture_size_dialog.hpp"
#include "toolkit/plot_window.hpp"
#include "toolkit/toolkit_harness.hpp"
#include "toolkit/window_system.hpp"

using namespace inhibra;
using support::answer_window;
using support::wait_until;
using toolkit::PlotWindow;

namespace {

PlotWindow* shown_plot_window() {
  return support::shown_window<PlotWindow>();
}

// Draws a red square in the top-left quarter of the area and records the areas.
struct recording_drawer {
  std::mutex mutex;
  std::vector<QRect> areas;

  toolkit::plot_drawer drawer() {
    return [this](QPainter& p, const QRect& area) {
      {
        std::lock_guard lock(mutex);
        areas.push_back(area);
      }
      p.fillRect(QRect(area.topLeft(), area.size() / 4), QColor(255, 0, 0));
    };
  }
  QRect last() {
    std::lock_guard lock(mutex);
    return areas.empty() ? QRect() : areas.back();
  }
};

// Answers Save As: the file dialog, then (when `size` is given) the picture size
// dialog that follows it for bitmaps. Both are answered from one wait, since the
// second dialog opens inside the handling of the first.
bool answer_save_as(const std::function<void(QFileDialog*)>& file,
                    const std::function<void(toolkit::PictureSizeDialog*)>& size = {}) {
  bool file_answered = false;
  return wait_until([&] {
    if (!file_answered) {
      QFileDialog* d = support::shown_window<QFileDialog>();
      if (d == nullptr) return false;
      file(d);
      file_answered = true;
      return !size;
    }
    auto* s = support::shown_window<toolkit::PictureSizeDialog>();
    if (s == nullptr) return false;
    size(s);
    return true;
  });
}

// The texts of the entries shown.
QStringList texts(const QList<QAction*>& actions) {
  QStringList out;
  for (QAction* a : actions) {
    if (a->isVisible()) out << a->text();
  }
  return out;
}

std::string head(const std::string& file, std::size_t n) {
  return support::read_file(file).substr(0, n);
}

}  // namespace

class PlotWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void showBlocksTheCallerUntilTheWindowCloses_data() {
    QTest::addColumn<QString>("closed_by");
    for (const char* way : {"File/Close", "close button", "Ctrl+W", "Escape", "shut-down"})
      QTest::newRow(way) << QString(way);
  }

  void showBlocksTheCallerUntilTheWindowCloses() {
    QFETCH(QString, closed_by);
    int ends = 0;
    toolkit::window_system tk([&ends] { ++ends; });
    recording_drawer drawer;
    std::atomic<bool> returned{false};
    std::thread caller([&] {
      tk.show_plot_window("Rate vs [S]\r\nModel 2", drawer.drawer());
      returned = true;
    });
    QVERIFY(wait_until([] { return shown_plot_window() != nullptr; }));
    PlotWindow* w = shown_plot_window();
    QCOMPARE(w->windowTitle(), QString("Rate vs [S] Model 2"));
    QCOMPARE(w->canvas()->size(), QSize(toolkit::plot_window_width, toolkit::plot_window_height));
    QCOMPARE(texts(w->menuBar()->actions()), QStringList{"File"});  // no Figure... here
    QCOMPARE(texts(w->menuBar()->actions().front()->menu()->actions()),
             QStringList({"Save As...", "Copy", "Print...", "Close"}));
    QCOMPARE(w->saveAction()->shortcut(), QKeySequence(QKeySequence::Save));
    QCOMPARE(w->printAction()->shortcut(), QKeySequence(QKeySequence::Print));
    QVERIFY(wait_until([&] { return drawer.last() == QRect(0, 0, 800, 600); }));
    // Resizing redraws at the new size.
    w->resize(500, 400 + w->menuBar()->sizeHint().height());
    QVERIFY(wait_until([&] { return drawer.last().width() == 500; }));
    QCOMPARE(drawer.last(), w->canvas()->rect());
    const QImage shown = w->canvas()->grab().toImage();
    QCOMPARE(shown.pixelColor(10, 10), QColor(255, 0, 0));
    QCOMPARE(shown.pixelColor(400, 300), QColor(255, 255, 255));
    QVERIFY(!returned.load());
    if (closed_by == "File/Close") {
      w->closeAction()->trigger();
    } else if (closed_by == "close button") {
      w->close();
    } else if (closed_by == "shut-down") {
      tk.shut_down();
    } else {
      QVERIFY(QTest::qWaitForWindowExposed(w));
      w->activateWindow();
      QTest::keySequence(w, closed_by == "Escape" ? QKeySequence(Qt::Key_Escape)
                                                  : QKeySequence(Qt::CTRL | Qt::Key_W));
    }
    QVERIFY(wait_until([&] { return returned.load(); }, 3000));
    caller.join();
    QVERIFY(wait_until([] { return shown_plot_window() == nullptr; }));
    QCOMPARE(ends, closed_by == "shut-down" ? 1 : 0);  // only the shut-down ends the program
  }

  void picturesAreWrittenInTheFormatTheNameAsksFor() {
    support::temp_dir dir;
    recording_drawer drawer;
    const auto saved = [&](const std::string& file) {
      return toolkit::save_drawing(QString::fromStdString(dir.file(file)), QSize(800, 600),
                                   drawer.drawer());
    };
    // Saved through the programs' one writer: a temporary file that a killed program
    // left two days before, with that writer's mark, goes with the next save.
    const auto left = dir.write(".inhibra-partial-plot.PNG.Ab12Cd", "left behind");
    const std::filesystem::file_time_type then =
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(48);
    std::filesystem::last_write_time(left, then);
    QVERIFY(saved("plot.PNG"));  // any case
    QCOMPARE(head(dir.file("plot.PNG"), 4), std::string("\x89PNG"));
    QVERIFY(!saved("plot.nosuchformat"));
    QVERIFY(!saved("missing/folder/plot.bmp"));
    // Written beside the name and renamed into place: nothing else is left in the folder.
    QCOMPARE(std::distance(std::filesystem::directory_iterator(dir.path()),
                           std::filesystem::directory_iterator()),
             std::ptrdiff_t{1});
    QCOMPARE(toolkit::with_picture_extension("/tmp/my.folder/plot"),
             QString("/tmp/my.folder/plot.bmp"));
    QCOMPARE(toolkit::with_picture_extension("/tmp/plot.png", "PDF documents (*.pdf)"),
             QString("/tmp/plot.png"));  // an extension typed wins
    QCOMPARE(toolkit::picture_format_of("x.Svg"), toolkit::picture_format::svg);
    QCOMPARE(toolkit::picture_format_of("x.jpg"), toolkit::picture_format::other);
    QCOMPARE(PlotWindow(QString(), {}).windowTitle(), QString("APlot"));  // an untitled window
  }

  void saveAsTakesTheExtensionOfTheChosenFileType_data() {
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("bitmap") << 0 << "plot.bmp" << QByteArray("BM");
    QTest::newRow("png") << 1 << "plot.png" << QByteArray("\x89PNG");
    QTest::newRow("svg") << 2 << "plot.svg" << QByteArray("<?xml");
    QTest::newRow("pdf") << 3 << "plot.pdf" << QByteArray("%PDF-");
  }

  void saveAsTakesTheExtensionOfTheChosenFileType() {
    QFETCH(int, filter);
    QFETCH(QString, file);
    QFETCH(QByteArray, magic);
    support::temp_dir dir;
    recording_drawer drawer;
    PlotWindow w("Saved", drawer.drawer());
    w.show();
    QTimer::singleShot(0, &w, [&w] { w.saveAction()->trigger(); });
    QStringList filters;
    const auto choose_file = [&](QFileDialog* d) {
      filters = d->nameFilters();
      d->selectNameFilter(filters.at(filter));
      d->selectFile(QString::fromStdString(dir.file("plot")));  // typed without extension
      static_cast<QDialog*>(d)->accept();
    };
    QSize offered;
    const auto three_by_two_inches = [&](toolkit::PictureSizeDialog* d) {
      offered = d->chosen().pixels;
      d->unitBox()->setCurrentIndex(1);
      d->dpiBox()->setValue(300);
      d->widthBox()->setValue(3.0);
      d->heightBox()->setValue(2.0);
      d->accept();
    };
    const bool bitmap = filter <= 1;  // every format asks for a size: 3 x 2 inches at 300 dpi
    QVERIFY(answer_save_as(choose_file, three_by_two_inches));
    QVERIFY(filters.front().startsWith("Bitmap files (*.bmp)"));
    const std::string saved = dir.file(file.toStdString());
    QVERIFY(wait_until([&] { return std::filesystem::exists(saved); }));
    QCOMPARE(std::filesystem::directory_iterator(dir.path())->path().filename().string(),
             file.toStdString());  // no other file
    QCOMPARE(QByteArray::fromStdString(head(saved, static_cast<std::size_t>(magic.size()))), magic);
    // Vector files have the physical size chosen (a PDF page a whole number of points).
    if (file.endsWith(".svg"))
      QVERIFY(support::read_file(saved).find(R"(<svg width="76.2mm" height="50.8mm")") !=
              std::string::npos);
    if (file.endsWith(".pdf"))
      QVERIFY(support::read_file(saved).find("/MediaBox [0 0 216.000000 144.000000]") !=
              std::string::npos);
    if (!bitmap) return;
    QCOMPARE(offered, w.canvas()->size());  // the size offered is the window's drawing area
    const QImage image(QString::fromStdString(saved));
    QCOMPARE(image.size(), QSize(900, 600));
    QCOMPARE(drawer.last().size(), QSize(900, 600));  // drawn at that size, not scaled up
    QCOMPARE(std::lround(image.dotsPerMeterX() * 0.0254), 300L);
    QCOMPARE(image.pixelColor(10, 10), QColor(255, 0, 0));
    QCOMPARE(image.pixelColor(880, 580), QColor(255, 255, 255));
  }

  void pictureSizesInInchesFollowTheResolution() {
    toolkit::PictureSizeDialog d(QSize(800, 600), 100);
    d.unitBox()->setCurrentIndex(1);  // the same picture in inches
    QCOMPARE(d.widthBox()->value(), 8.0);
    QCOMPARE(d.heightBox()->value(), 6.0);
    d.dpiBox()->setValue(150);
    QCOMPARE(d.chosen().pixels, QSize(1200, 900));
    d.unitBox()->setCurrentIndex(0);
    QCOMPARE(d.widthBox()->value(), 1200.0);
    QCOMPARE(toolkit::pixels_for_inches(0.001, 72), 1);  // never empty
  }

  // A German desktop's locale neither shows a comma nor reads "2,5" as 25.
  void pictureSizesKeepTheDecimalPointInAnyLocale() {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(QLocale().toString(2.5), QString("2,5"));  // the locale took
    toolkit::PictureSizeDialog d(QSize(1000, 600), 400);
    d.unitBox()->setCurrentIndex(1);
    QCOMPARE(d.widthBox()->text(), QString("2.50"));
    QLineEdit* typed = d.widthBox()->findChild<QLineEdit*>();
    QVERIFY(typed != nullptr);
    for (const auto& [text, inches] : {std::pair{"3.25", 3.25}, {"1.5", 1.5}}) {
      typed->selectAll();
      QTest::keyClicks(typed, text);
      d.widthBox()->interpretText();
      QCOMPARE(d.widthBox()->value(), inches);
    }
    // A typed comma is refused: what the box shows is what it reads.
    typed->selectAll();
    QTest::keyClicks(typed, "2,5");
    d.widthBox()->interpretText();
    QVERIFY(!d.widthBox()->text().contains(','));
    QCOMPARE(d.widthBox()->value(), QLocale::c().toDouble(d.widthBox()->cleanText()));
    QLocale::setDefault(before);
  }

  // "Figure..." is offered only for a chart whose texts may change; the dialog shows
  // them, Cancel keeps them, OK gives them to the chart (a title line a line, empty
  // lines at its end dropped), which is drawn and saved with them, and the window
  // takes the new title.
  void figureDialogEditsTheChartsTexts() {
    support::temp_dir dir;
    auto chart = std::make_shared<plotengine::pplot>();
    chart->title = "2- Model\r\nData.in";
    chart->x_label = "[S]";
    chart->y_label = "Rate v";
    // Draws the chart's texts, as a chart would.
    auto draw = [chart](QPainter& p, const QRect& area) {
      int y = area.top() + 20;
      for (const std::string& line : plotengine::title_lines(chart->title)) {
        p.drawText(area.left() + 10, y, QString::fromStdString(line));
        y += 20;
      }
      p.drawText(area.left() + 10, y, QString::fromStdString(chart->x_label));
      p.drawText(area.left() + 10, y + 20, QString::fromStdString(chart->y_label));
    };
    PlotWindow w("2- Model Data.in", draw);
    QVERIFY(!w.figureAction()->isVisible());
    w.setFigureAccess(toolkit::figure_of(chart));
    QVERIFY(w.figureAction()->isVisible());
    w.show();

    toolkit::figure_texts seen;
    QTimer::singleShot(0, &w, [&w] { w.figureAction()->trigger(); });
    QVERIFY(answer_window<toolkit::FigureDialog>([&seen](toolkit::FigureDialog* d) {
      seen = d->chosen();
      d->xLabelBox()->setText("ignored");
      d->reject();
    }));
    QCOMPARE(seen, (toolkit::figure_texts{"2- Model\nData.in", "[S]", "Rate v"}));
    QCOMPARE(chart->x_label, std::string("[S]"));

    QTimer::singleShot(0, &w, [&w] { w.figureAction()->trigger(); });
    QVERIFY(answer_window<toolkit::FigureDialog>([](toolkit::FigureDialog* d) {
      d->titleBox()->setPlainText("Figure 3\nCompetitive inhibition\n\n");
      d->xLabelBox()->setText("Substrate (mM)");
      d->yLabelBox()->setText("Initial rate (uM/min)");
      d->accept();
    }));
    QCOMPARE(chart->title, std::string("Figure 3\r\nCompetitive inhibition"));
    QCOMPARE(chart->x_label, std::string("Substrate (mM)"));
    QCOMPARE(chart->y_label, std::string("Initial rate (uM/min)"));
    QCOMPARE(w.windowTitle(), QString("Figure 3 Competitive inhibition"));
    const std::string svg = dir.file("figure.svg");
    QVERIFY(w.saveAs(QString::fromStdString(svg)));
    const std::string saved = support::read_file(svg);
    for (const char* text : {"Competitive inhibition", "Substrate (mM)", "Initial rate (uM/min)"})
      QVERIFY2(saved.find(text) != std::string::npos, text);
    QVERIFY(saved.find("Data.in") == std::string::npos);

    // An empty title leaves the window a name of its own.
    w.applyFigure({"", "x", "y"});
    QCOMPARE(chart->title, std::string());
    QCOMPARE(w.windowTitle(), QString("APlot"));
  }

  void printingToAPdfFileNeedsNoPrinter() {
    support::temp_dir dir;
    recording_drawer drawer;
    PlotWindow w("Printed", drawer.drawer());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.file("printed.pdf")));
    w.printOn(printer);
    QCOMPARE(head(dir.file("printed.pdf"), 5), std::string("%PDF-"));
    // Drawn at the window's size, scaled onto the page.
    QCOMPARE(drawer.last(), QRect(QPoint(0, 0), w.canvas()->size()));
    // The menu entry asks for a printer first.
    w.show();
    QTimer::singleShot(0, &w, [&w] { w.printAction()->trigger(); });
    QVERIFY(answer_window<QPrintDialog>([](QPrintDialog* d) { d->reject(); }));
  }

  void openReturnsAtOnceAndCloseEndsTheWindow() {
    toolkit::window_system tk([] {});
    tk.initwindow(100, 100, "Main", -1, -1, false, true);
    recording_drawer drawer;
    int id = 0;
    // The caller goes on while the window stays up and draws.
    QVERIFY(support::on_command_thread(
        [&] { id = tk.open_plot_window("Kept open", drawer.drawer()); }));
    QVERIFY(id > 0);
    PlotWindow* w = shown_plot_window();
    QVERIFY(w != nullptr);
    QCOMPARE(w->windowTitle(), QString("Kept open"));
    QVERIFY(wait_until([&] { return drawer.last().isValid(); }));
    QVERIFY(support::on_command_thread([&] { tk.close_plot_window(id); }));
    QVERIFY(wait_until([] { return shown_plot_window() == nullptr; }));
    // Closing again, or an unknown window, does nothing.
    QVERIFY(support::on_command_thread([&] {
      tk.close_plot_window(id);
      tk.close_plot_window(id + 100);
    }));
  }

  void showFromTheWindowThreadAlsoWaits() {
    toolkit::window_system tk([] {});
    QTimer::singleShot(50, [] {
      if (PlotWindow* w = shown_plot_window()) w->close();
    });
    tk.show_plot_window("From a callback", [](QPainter&, const QRect&) {});
    QVERIFY(shown_plot_window() == nullptr);
  }
};

INHIBRA_QT_TEST(PlotWindowTest)
#include "plot_window_qtest.moc"
