// Plot windows: size, title and "File" menu, the caller blocked until the window
// closes, redrawing at a new size, and the picture saved as BMP, PNG, SVG or PDF
// or printed (to a PDF file: no printer needed).
#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTest>
#include <atomic>
#include <mutex>
#include <thread>

#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"
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

std::string head(const std::string& file, std::size_t n) {
  return support::read_file(file).substr(0, n);
}

}  // namespace

class PlotWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void showBlocksTheCallerUntilTheWindowCloses_data() {
    QTest::addColumn<bool>("from_menu");
    QTest::newRow("File/Close") << true;
    QTest::newRow("close button") << false;
  }

  void showBlocksTheCallerUntilTheWindowCloses() {
    QFETCH(bool, from_menu);
    toolkit::window_system tk([] {});
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
    QStringList entries;
    QCOMPARE(w->menuBar()->actions().size(), 1);
    QCOMPARE(w->menuBar()->actions().front()->text(), QString("File"));
    for (QAction* a : w->menuBar()->actions().front()->menu()->actions())
      entries << a->text();
    QCOMPARE(entries, QStringList({"Save As...", "Print...", "Close"}));
    QVERIFY(wait_until([&] { return drawer.last() == QRect(0, 0, 800, 600); }));
    support::pump_events(50);
    QVERIFY(!returned.load());
    if (from_menu) {
      w->closeAction()->trigger();
    } else {
      w->close();
    }
    QVERIFY(wait_until([&] { return returned.load(); }));
    caller.join();
    QVERIFY(wait_until([] { return shown_plot_window() == nullptr; }));
  }

  void resizingRedrawsAtTheNewSize() {
    recording_drawer drawer;
    PlotWindow w("Resizable", drawer.drawer());
    w.show();
    QVERIFY(wait_until([&] { return drawer.last() == QRect(0, 0, 800, 600); }));
    w.resize(500, 400 + w.menuBar()->sizeHint().height());
    QVERIFY(wait_until([&] { return drawer.last().width() == 500; }));
    QCOMPARE(drawer.last(), w.canvas()->rect());
    const QImage shown = w.canvas()->grab().toImage();
    QCOMPARE(shown.pixelColor(10, 10), QColor(255, 0, 0));
    QCOMPARE(shown.pixelColor(400, 300), QColor(255, 255, 255));
  }

  void picturesAreWrittenInTheFormatTheNameAsksFor_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("start");  // the format's first bytes; empty: refused
    QTest::newRow("bmp") << "plot.bmp" << QByteArray("BM");
    QTest::newRow("png, any case") << "plot.PNG" << QByteArray("\x89PNG");
    QTest::newRow("svg") << "plot.svg" << QByteArray("<?xml");
    QTest::newRow("pdf") << "plot.pdf" << QByteArray("%PDF-");
    QTest::newRow("unknown format") << "plot.nosuchformat" << QByteArray();
    QTest::newRow("missing folder") << "missing/folder/plot.bmp" << QByteArray();
  }

  void picturesAreWrittenInTheFormatTheNameAsksFor() {
    QFETCH(QString, file);
    QFETCH(QByteArray, start);
    support::temp_dir dir;
    recording_drawer drawer;
    const std::string name = dir.file(file.toStdString());
    QCOMPARE(toolkit::save_drawing(QString::fromStdString(name), QSize(800, 600), drawer.drawer()),
             !start.isEmpty());
    if (start.isEmpty()) return;
    QCOMPARE(head(name, static_cast<std::size_t>(start.size())), start.toStdString());
    if (file.endsWith(".bmp")) {  // the drawing itself, at the size asked for
      const QImage bmp(QString::fromStdString(name), "BMP");
      QCOMPARE(bmp.size(), QSize(800, 600));
      QCOMPARE(bmp.pixelColor(10, 10), QColor(255, 0, 0));
      QCOMPARE(bmp.pixelColor(700, 500), QColor(255, 255, 255));
    }
  }

  void namesWithoutExtensionBecomeBitmaps() {
    QCOMPARE(toolkit::with_default_picture_extension("/tmp/plot"), QString("/tmp/plot.bmp"));
    QCOMPARE(toolkit::with_default_picture_extension("/tmp/my.folder/plot"),
             QString("/tmp/my.folder/plot.bmp"));
    QCOMPARE(toolkit::with_default_picture_extension("/tmp/plot.png"), QString("/tmp/plot.png"));
    QCOMPARE(toolkit::picture_format_of("x.Svg"), toolkit::picture_format::svg);
    QCOMPARE(toolkit::picture_format_of("x"), toolkit::picture_format::bmp);
    QCOMPARE(toolkit::picture_format_of("x.jpg"), toolkit::picture_format::other);
    QCOMPARE(PlotWindow(QString(), {}).windowTitle(), QString("APlot"));  // an untitled window
  }

  void saveAsOffersBitmapsFirstAndSavesTheWindowPicture() {
    support::temp_dir dir;
    recording_drawer drawer;
    PlotWindow w("Saved", drawer.drawer());
    w.show();
    QStringList filters;
    QTimer::singleShot(0, &w, [&w] { w.saveAction()->trigger(); });
    QVERIFY(answer_window<QFileDialog>([&](QFileDialog* d) {
      filters = d->nameFilters();
      d->selectFile(QString::fromStdString(dir.file("picture")));
      static_cast<QDialog*>(d)->accept();
    }));
    QVERIFY(wait_until([&] { return std::filesystem::exists(dir.file("picture.bmp")); }));
    QVERIFY(filters.front().startsWith("Bitmap files (*.bmp)"));
    const QImage saved(QString::fromStdString(dir.file("picture.bmp")), "BMP");
    QCOMPARE(saved.size(), w.canvas()->size());
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
  }

  void printOpensThePrintDialog() {
    recording_drawer drawer;
    PlotWindow w("Print me", drawer.drawer());
    w.show();
    QTimer::singleShot(0, &w, [&w] { w.printAction()->trigger(); });
    QVERIFY(answer_window<QPrintDialog>([](QPrintDialog* d) { d->reject(); }));
  }

  void shutDownReturnsABlockedCaller() {
    int ends = 0;
    toolkit::window_system tk([&ends] { ++ends; });
    tk.initwindow(100, 100, "Main", -1, -1, false, true);
    std::atomic<bool> returned{false};
    std::thread caller([&] {
      tk.show_plot_window("Plot", [](QPainter&, const QRect&) {});
      returned = true;
    });
    QVERIFY(wait_until([] { return shown_plot_window() != nullptr; }));
    tk.shut_down();
    QVERIFY(wait_until([&] { return returned.load(); }, 3000));
    caller.join();
    QCOMPARE(ends, 1);
    QVERIFY(shown_plot_window() == nullptr);
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
