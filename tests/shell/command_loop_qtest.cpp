// Start-up and the command loop: the main window as it starts, quit honoured after
// a plot window closes, commands lost while another runs, and the program ending
// promptly when its main window is closed, whatever it is doing.
#include <QFontInfo>
#include <QPointer>
#include <QTest>

#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/plot_window.hpp"

using namespace inhibra;
using support::running_shell;

namespace {

toolkit::PlotWindow* open_plot_window() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* p = qobject_cast<toolkit::PlotWindow*>(w); p != nullptr && p->isVisible()) return p;
  }
  return nullptr;
}

// Plots as the plot facility shows them: a window the command waits for.
struct plot_recorder {
  std::atomic<int> shown{0};
  std::vector<shell::result_plot> kinds;  // read once the command has returned
  toolkit::window_system* tk = nullptr;

  std::function<void(fit::fit_context&, shell::result_plot)> service() {
    return [this](fit::fit_context&, shell::result_plot kind) {
      kinds.push_back(kind);
      ++shown;
      tk->show_plot_window("Plot", [](QPainter&, const QRect&) {});
    };
  }
};

// A shell after a run, with plots waiting to be shown.
struct shell_after_run {
  shell_after_run()
      : data(support::write_example_data(dir.path())), app(fit.services(plots.service())) {
    plots.tk = &app.tk;
    support::select_models(*app.ctx, {1});
  }
  bool start() {
    return app.start() && support::open_data_file(app, data) && app.run_command("Run");
  }

  support::temp_dir dir;
  std::string data;
  support::fake_fit fit;
  plot_recorder plots;
  running_shell app;
};

}  // namespace

class CommandLoopTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpShowsTheMainWindowWithAFixedPitchPanel() {
    running_shell app;
    QVERIFY(app.start());
    QMainWindow* w = app.window();
    QVERIFY(w != nullptr);
    QVERIFY(w->isVisible());
    QCOMPARE(w->windowTitle(), QString("Inhibra: Enzyme Inhibition Modeling Software"));
    const int width = static_cast<int>(static_cast<float>(app.tk.getmaxwidth()) / 2.0f);
    QVERIFY(w->width() >= width);
    QPlainTextEdit* panel = app.panel();
    QVERIFY(panel != nullptr);
    QVERIFY(panel->isEnabled());
    QVERIFY(QFontInfo(panel->font()).fixedPitch());
    QCOMPARE(panel->lineWrapMode(), QPlainTextEdit::NoWrap);
    // Five pixels of the window's background around the panel.
    QCOMPARE(panel->geometry().topLeft(), QPoint(5, 5));
    QWidget* client = panel->parentWidget();
    QCOMPARE(client->width() - panel->geometry().right() - 1, 5);
    QCOMPARE(client->height() - panel->geometry().bottom() - 1, 5);
    const QImage shown = client->grab().toImage();
    QCOMPARE(shown.pixelColor(1, 1), QColor(153, 204, 255));
    // The panel follows the window's size.
    w->resize(w->width() + 60, w->height() + 40);
    QVERIFY(
        support::wait_until([&] { return client->width() - panel->geometry().right() - 1 == 5; }));
    QCOMPARE(client->height() - panel->geometry().bottom() - 1, 5);
    QVERIFY(app.quit());
    QCOMPARE(app.exit_code(), 0);
    QCOMPARE(app.end_program_calls.load(), 1);
  }

  void splashScreenGoesOnAClickOrAKey() {
    for (bool by_key : {false, true}) {
      shell::timings slow = support::quick_timings();
      slow.splash = 60000;
      running_shell app({}, slow);
      app.start_async();
      QWidget* splash = nullptr;
      QVERIFY(support::wait_until([&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
          if (w->isVisible() && w->windowTitle() == "Inhibra" && w != app.window()) splash = w;
        }
        return splash != nullptr && !splash->findChildren<QWidget*>().isEmpty();
      }));
      QWidget* client = splash->findChildren<QWidget*>().front();
      // Its text is drawn in black on its background.
      QSet<QRgb> colours;
      QVERIFY(support::wait_until([&] {
        const QImage page = client->grab().toImage();
        colours.clear();
        for (int y = 0; y < page.height(); y += 2) {
          for (int x = 0; x < page.width(); x += 2)
            colours.insert(page.pixel(x, y));
        }
        return colours.contains(QColor(0, 0, 0).rgb());
      }));
      QVERIFY(colours.contains(QColor(242, 245, 250).rgb()));
      // Clicked (or typed on) until it goes: it listens once its text is drawn.
      QPointer<QWidget> target = client;
      QVERIFY(support::wait_until(
          [&] {
            if (app.shell.in_command_loop()) return true;
            if (!target.isNull() && by_key) QTest::keyClick(target.data(), Qt::Key_Space);
            if (!target.isNull() && !by_key) QTest::mouseClick(target.data(), Qt::LeftButton);
            return false;
          },
          3000));
      QVERIFY(app.quit());
    }
  }

  void quitChosenDuringAPlotEndsTheProgramWhenItCloses() {
    shell_after_run s;
    QVERIFY(s.start());
    QVERIFY(s.app.choose("XY_Plot"));
    QVERIFY(support::wait_until([] { return open_plot_window() != nullptr; }));
    QVERIFY(s.app.choose("Quit"));
    support::pump_events(100);
    QVERIFY(!s.app.finished());
    QVERIFY(open_plot_window() != nullptr);
    open_plot_window()->closeAction()->trigger();
    QVERIFY(s.app.wait_finished());
    QCOMPARE(s.plots.shown.load(), 1);
    QCOMPARE(s.app.end_program_calls.load(), 1);
  }

  void clearChosenDuringAPlotHasNoEffect() {
    shell_after_run s;
    QVERIFY(s.start());
    const QString report = s.app.panel_text();
    QVERIFY(!report.isEmpty());
    const int before = s.app.done();
    QVERIFY(s.app.choose("Residuals"));
    QVERIFY(support::wait_until([] { return open_plot_window() != nullptr; }));
    QVERIFY(s.app.choose("Clear"));
    open_plot_window()->close();
    QVERIFY(s.app.wait_done(before));
    support::pump_events(100);
    QCOMPARE(s.app.done(), before + 1);
    QCOMPARE(s.app.panel_text(), report);
    QVERIFY(s.app.action("XY_Plot")->isEnabled());
  }

  void quitThenClearDuringAPlotStillQuits() {
    shell_after_run s;
    QVERIFY(s.start());
    QVERIFY(s.app.choose("MC50_Plot"));
    QVERIFY(support::wait_until([] { return open_plot_window() != nullptr; }));
    QVERIFY(s.app.choose("File/Quit"));
    QVERIFY(s.app.choose("Clear"));
    open_plot_window()->closeAction()->trigger();
    QVERIFY(s.app.wait_finished());
  }

  void plotCommandsDrawTheirPlots() {
    shell_after_run s;
    s.fit.best_model = 7;  // hyperbolic best model
    QVERIFY(s.start());
    for (const char* entry : {"XY_Plot", "File/XY Plot", "Residuals", "Ca/Sp_Plot", "MC50_Plot"}) {
      const int before = s.app.done();
      QVERIFY2(s.app.choose(entry), entry);
      QVERIFY(support::wait_until([] { return open_plot_window() != nullptr; }));
      open_plot_window()->close();
      QVERIFY(s.app.wait_done(before));
    }
    using shell::result_plot;
    QCOMPARE(s.plots.kinds,
             (std::vector<result_plot>{result_plot::xy, result_plot::xy, result_plot::residuals,
                                       result_plot::kmapp_hyperbolic, result_plot::mc50}));
  }

  void caSpPlotOfALinearBestModelIsTheLinearOne() {
    shell_after_run s;
    s.fit.best_model = 4;
    QVERIFY(s.start());
    const int before = s.app.done();
    QVERIFY(s.app.choose("Ca/Sp_Plot"));
    QVERIFY(support::wait_until([] { return open_plot_window() != nullptr; }));
    open_plot_window()->close();
    QVERIFY(s.app.wait_done(before));
    QCOMPARE(s.plots.kinds, std::vector<shell::result_plot>{shell::result_plot::kmapp_linear});
  }

  void closingTheMainWindowDuringARunEndsPromptly() {
    support::temp_dir dir;
    support::fake_fit fit;
    fit.hold();
    running_shell app(fit.services());
    support::select_models(*app.ctx, {1});
    QVERIFY(app.start());
    QVERIFY(support::open_data_file(app, support::write_example_data(dir.path())));
    QVERIFY(app.choose("Run"));
    QVERIFY(support::wait_until([&] { return fit.inside(); }));
    app.window()->close();
    QCOMPARE(app.end_program_calls.load(), 1);
    QVERIFY(app.tk.closing());
    // The run goes on to its end; nothing it does afterwards waits for the person.
    std::thread late_box([&] { app.ctx->fe->message(fit::box_kind::error, "late"); });
    late_box.join();
    fit.release();
    QVERIFY(app.wait_finished(3000));
    QVERIFY(support::no_message_box_within(50));
  }

  void closingTheMainWindowWithTheDialogOpenEndsPromptly() {
    running_shell app;
    support::select_models(*app.ctx, {3, 4});
    QVERIFY(app.start());
    QVERIFY(app.choose("Models"));
    QVERIFY(support::wait_until([] { return support::model_dialog_window() != nullptr; }));
    QVERIFY(support::press_dialog_button("Clear"));
    app.window()->close();
    QVERIFY(app.wait_finished(3000));
    QVERIFY(support::model_dialog_window() == nullptr);
  }

  void closingTheMainWindowWithABoxOpenEndsPromptly() {
    running_shell app;
    QVERIFY(app.start());
    QVERIFY(app.choose("Help"));
    // A box blocks the main window's close button; a desktop session may still end
    // the program (as SIGTERM does), which answers the box.
    QVERIFY(support::wait_until([&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(w) != nullptr && w->isVisible()) {
          app.tk.shut_down();
          return true;
        }
      }
      return false;
    }));
    QVERIFY(app.wait_finished(3000));
    QCOMPARE(app.end_program_calls.load(), 1);
  }

  void unknownCodesDoNothing() {
    running_shell app;
    QVERIFY(app.start());
    app.shell.post(99);
    app.shell.post(18);
    support::pump_events(50);
    QVERIFY(no_message_box_within(20));
    const int before = app.done();
    QVERIFY(app.choose("About"));
    QVERIFY(support::answer_message_box().has_value());
    QVERIFY(app.wait_done(before));
    QCOMPARE(app.done(), before + 1);
  }

 private:
  static bool no_message_box_within(int ms) { return support::no_message_box_within(ms); }
};

INHIBRA_QT_TEST(CommandLoopTest)
#include "command_loop_qtest.moc"
