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
#include "toolkit/window_system.hpp"

using namespace inhibra;
using support::wait_until;
using toolkit::PlotWindow;

namespace {

PlotWindow* shown_plot_window() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* p = qobject_cast<PlotWindow*>(w); p != nullptr && p->isVisible()) return p;
  }
  return nullptr;
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

  void emptyTitleGivesTheDefault() {
    PlotWindow w(QString(), {});
    QCOMPARE(w.windowTitle(), QString("APlot"));
  }

  void picturesAreWrittenInTheFormatTheNameAsksFor() {
    support::temp_dir dir;
    recording_drawer drawer;
    const QSize size(800, 600);
    const auto name = [&](const char* file) { return QString::fromStdString(dir.file(file)); };

    QVERIFY(toolkit::save_drawing(name("plot.bmp"), size, drawer.drawer()));
    QCOMPARE(head(dir.file("plot.bmp"), 2), std::string("BM"));
    const QImage bmp(name("plot.bmp"), "BMP");
    QCOMPARE(bmp.size(), size);
    QCOMPARE(bmp.pixelColor(10, 10), QColor(255, 0, 0));
    QCOMPARE(bmp.pixelColor(700, 500), QColor(255, 255, 255));

    QVERIFY(toolkit::save_drawing(name("plot.PNG"), size, drawer.drawer()));
    QCOMPARE(head(dir.file("plot.PNG"), 4), std::string("\x89PNG"));

    QVERIFY(toolkit::save_drawing(name("plot.svg"), size, drawer.drawer()));
    const std::string svg = support::read_file(dir.file("plot.svg"));
    QVERIFY(svg.find("<svg") != std::string::npos);
    QVERIFY(svg.find("width=\"") != std::string::npos);

    QVERIFY(toolkit::save_drawing(name("plot.pdf"), size, drawer.drawer()));
    QCOMPARE(head(dir.file("plot.pdf"), 5), std::string("%PDF-"));

    QVERIFY(!toolkit::save_drawing(name("plot.nosuchformat"), size, drawer.drawer()));
    QVERIFY(!toolkit::save_drawing(name("missing/folder/plot.bmp"), size, drawer.drawer()));
  }

  void namesWithoutExtensionBecomeBitmaps() {
    QCOMPARE(toolkit::with_default_picture_extension("/tmp/plot"), QString("/tmp/plot.bmp"));
    QCOMPARE(toolkit::with_default_picture_extension("/tmp/my.folder/plot"),
             QString("/tmp/my.folder/plot.bmp"));
    QCOMPARE(toolkit::with_default_picture_extension("/tmp/plot.png"), QString("/tmp/plot.png"));
    QCOMPARE(toolkit::picture_format_of("x.Svg"), toolkit::picture_format::svg);
    QCOMPARE(toolkit::picture_format_of("x"), toolkit::picture_format::bmp);
    QCOMPARE(toolkit::picture_format_of("x.jpg"), toolkit::picture_format::other);
  }

  void saveAsOffersBitmapsFirstAndSavesTheWindowPicture() {
    support::temp_dir dir;
    recording_drawer drawer;
    PlotWindow w("Saved", drawer.drawer());
    w.show();
    QStringList filters;
    QTimer::singleShot(0, &w, [&w] { w.saveAction()->trigger(); });
    QVERIFY(wait_until([&] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* d = qobject_cast<QFileDialog*>(top);
        if (d == nullptr || !d->isVisible()) continue;
        filters = d->nameFilters();
        d->selectFile(QString::fromStdString(dir.file("picture")));
        static_cast<QDialog*>(d)->accept();
        return true;
      }
      return false;
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
    bool seen = false;
    QVERIFY(wait_until([&] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* d = qobject_cast<QPrintDialog*>(top);
        if (d == nullptr || !d->isVisible()) continue;
        seen = true;
        d->reject();
        return true;
      }
      return false;
    }));
    QVERIFY(seen);
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
