// The main window as a workspace: the report becomes a tab beside the results and
// the charts, the table and the charts go into their tabs instead of windows, a
// chart shown from the command thread waits for Continue (or its closing, or the
// program's end) while the window stays usable, and the status bar carries the
// run's progress with a Stop button.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <thread>

#include "support/qt_test_main.hpp"
#include "toolkit/plot_window.hpp"
#include "toolkit/table_window.hpp"
#include "toolkit/toolkit_harness.hpp"
#include "toolkit/window_system.hpp"
#include "toolkit/workspace.hpp"

using namespace inhibra;
using support::wait_until;
using toolkit::Workspace;
using toolkit::workspace_tab;

namespace {

void red_corner(QPainter& p, const QRect& area) {
  p.fillRect(QRect(area.topLeft(), area.size() / 4), QColor(255, 0, 0));
}

// The visible top-level windows besides `main`.
int other_windows(const QWidget* main) {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    n += w->isVisible() && w != main ? 1 : 0;
  return n;
}

struct workspace_window {
  workspace_window() {
    support::on_command_thread([this] {
      id = tk.initwindow(400, 300, "Main", -1, -1, false, true);
      box = tk.createmultilinetextbox(5, 5, 390, 290, false);
      tk.make_workspace();
    });
  }
  std::atomic<int> ends{0};
  toolkit::window_system tk{[this] { ++ends; }};
  int id = -1;
  int box = -1;
};

}  // namespace

class WorkspaceTest : public QObject {
  Q_OBJECT

 private slots:
  void tablesAndChartsBecomeTabs() {
    workspace_window m;
    Workspace* ws = m.tk.workspace();
    QVERIFY(ws != nullptr);
    QWidget* main = m.tk.widget(m.id);
    QCOMPARE(ws->count(), 3);
    QCOMPARE(ws->currentIndex(), static_cast<int>(workspace_tab::report));
    QVERIFY(ws->widget(2)->findChild<QPlainTextEdit*>() != nullptr);  // the report's box

    toolkit::table_contents table;
    table.columns = {"Model", "AICc"};
    table.right_aligned = {false, true};
    QVERIFY(support::on_command_thread([&] {
      QVERIFY(m.tk.show_table_window("Results Table", table, {}));
      QVERIFY(m.tk.show_table_window("Results Table again", table, {}));
    }));
    auto* shown = qobject_cast<toolkit::TableWindow*>(ws->results());
    QVERIFY(shown != nullptr);
    QCOMPARE(shown->windowTitle(), QString("Results Table again"));
    QCOMPARE(ws->currentIndex(), static_cast<int>(workspace_tab::results));
    QVERIFY(!shown->closeAction()->isVisible());

    int first = 0;
    QVERIFY(support::on_command_thread([&] {
      first = m.tk.open_plot_window("1- Competitive", red_corner);
      (void)m.tk.open_plot_window("2- Noncompetitive", red_corner);
    }));
    QVERIFY(first > 0);
    QCOMPARE(ws->plotCount(), 2);
    QCOMPARE(ws->plotList()->item(1)->text(), QString("2- Noncompetitive"));
    QCOMPARE(other_windows(main), 0);  // nothing opened a window of its own
    ws->plotList()->setCurrentRow(0);
    auto* chart = qobject_cast<toolkit::PlotWindow*>(ws->currentPlot());
    QVERIFY(chart != nullptr);
    QCOMPARE(chart->windowTitle(), QString("1- Competitive"));
    // Its keys belong to the main window; Copy puts the picture on the clipboard.
    QVERIFY(chart->saveAction()->shortcut().isEmpty());
    chart->copyAction()->trigger();
    QCOMPARE(QGuiApplication::clipboard()->image().size(), chart->devicePictureSize());

    QVERIFY(support::on_command_thread([&] { m.tk.close_plot_window(first); }));
    QCOMPARE(ws->plotCount(), 1);
    QVERIFY(support::on_command_thread([&] {
      m.tk.clear_plots();
      m.tk.close_table_window();
    }));
    QCOMPARE(ws->plotCount(), 0);
    QVERIFY(ws->results() == nullptr);
  }

  void aChartShownWaitsForContinue_data() {
    QTest::addColumn<QString>("released_by");
    QTest::newRow("Continue") << "Continue";
    QTest::newRow("another thread") << "another thread";
    QTest::newRow("closing the chart") << "closing the chart";
    QTest::newRow("the program's end") << "the program's end";
  }

  void aChartShownWaitsForContinue() {
    QFETCH(QString, released_by);
    workspace_window m;
    Workspace* ws = m.tk.workspace();
    std::atomic<bool> returned{false};
    std::thread caller([&] {
      m.tk.show_plot_window("3- Mixed", red_corner);
      returned = true;
    });
    QVERIFY(wait_until([&] { return ws->continueButton()->isVisible(); }));
    QCOMPARE(ws->currentIndex(), static_cast<int>(workspace_tab::plots));
    QCOMPARE(ws->plotCount(), 1);
    // The rest of the window stays usable meanwhile.
    ws->showTab(workspace_tab::report);
    QTest::qWait(50);
    QVERIFY(!returned.load());
    if (released_by == "Continue") {
      ws->continueButton()->click();
    } else if (released_by == "another thread") {
      std::thread([&] { m.tk.continue_paused_plot(); }).join();
    } else if (released_by == "closing the chart") {
      ws->plotList()->setCurrentRow(0);
      ws->currentPlot()->close();
    } else {
      m.tk.shut_down();
    }
    QVERIFY(wait_until([&] { return returned.load(); }, 3000));
    caller.join();
    if (released_by != "the program's end") {
      QVERIFY(!ws->continueButton()->isVisible());
      // Continue keeps the chart; closing it takes it away.
      QCOMPARE(ws->plotCount(), released_by == "closing the chart" ? 0 : 1);
    }
  }

  void statusBarShowsProgressNoticesAndStop() {
    workspace_window m;
    Workspace* ws = m.tk.workspace();
    std::atomic<int> stops{0};
    QVERIFY(support::on_command_thread([&] {
      m.tk.set_status_text("Data.in   |   Weights: equal");
      m.tk.begin_run_progress(4, [&stops] { ++stops; });
      m.tk.set_run_progress(1, "Model 2 (2 of 4)");
      m.tk.set_notices({"Warning: one", "Warning: two\r\nsecond line"});
    }));
    QCOMPARE(ws->statusLabel()->text(), QString("Data.in   |   Weights: equal"));
    QVERIFY(wait_until([&] { return ws->progressBar()->value() == 1; }));
    QCOMPARE(ws->progressBar()->text(), QString("Model 2 (2 of 4)"));
    QCOMPARE(ws->noticeLabel()->text(), QString("Warning: one\nWarning: two second line"));
    QVERIFY(!ws->noticeLabel()->isHidden());
    ws->stopButton()->click();
    ws->stopButton()->click();  // greyed out after the first
    QCOMPARE(stops.load(), 1);
    QVERIFY(support::on_command_thread([&] {
      m.tk.end_run_progress();
      m.tk.set_notices({});
    }));
    QVERIFY(!ws->stopButton()->isVisible());
    QVERIFY(!ws->progressBar()->isVisible());
    QVERIFY(ws->noticeLabel()->isHidden());
  }
};

INHIBRA_QT_TEST(WorkspaceTest)
#include "workspace_qtest.moc"
