// "Check the Verdict by Simulation...": offered once a run has ranked its fits; asks
// how many sets, shows a progress window whose bar follows the sets and whose Stop
// (or closing the window) ends the simulation early, then shows the summary in the
// same window. A count that is not one is refused with a message.
#include <QInputDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "models/model_catalogue.hpp"
#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "toolkit/progress_window.hpp"
#include "toolkit/toolkit_harness.hpp"

using namespace inhibra;
using support::fitted_shell;
using support::hand_fit;

namespace {

const QString entry = QString::fromUtf8("Fit/Check the Verdict by Simulation\u2026");

// A run whose fits rank model 9 above model 1 (by the textbook AICc as well).
void ranked_run(fitted_shell& r) {
  r.fit.record.data_name = "Data.in";
  r.fit.record.fitted = {hand_fit(1, -90.0), hand_fit(9, -95.0)};
  r.fit.record.ranking = {{2, -95.0, 0.0, 0.9, 0.0, "**"}, {1, -90.0, 5.0, 0.1, 0.95, "  "}};
}

// A simulation that finishes a set every few milliseconds until `sets` are done or a
// stop is asked, as the real one reports them.
evidence::simulation_result paced(const fit::run_record&, int model,
                                  const evidence::simulation_options& o) {
  evidence::simulation_result out;
  out.model = model;
  out.seed = o.seed;
  out.models = {1, 9};
  out.n = 5;
  for (int k = 1; k <= o.sets; ++k) {
    if (o.stop != nullptr && o.stop->load() != 0) {
      out.stopped = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(o.sets > 50 ? 20 : 1));
    ++out.sets;
    ++out.wins[k % 4 == 0 ? 0 : 8];
    if (o.progress) o.progress(k);
  }
  return out;
}

toolkit::ProgressWindow* progress_window() {
  return support::shown_window<toolkit::ProgressWindow>();
}

bool answer_count(const QString& count, QString* label = nullptr) {
  return support::answer_window<QInputDialog>([&](QInputDialog* d) {
    if (label != nullptr) *label = d->labelText() + " [" + d->textValue() + "]";
    d->setTextValue(count);
    d->accept();
  });
}

}  // namespace

class SimulationCommandTest : public QObject {
  Q_OBJECT

 private slots:
  void simulatesTheBestFitAndShowsTheSummary() {
    fitted_shell r({1, 9});
    std::atomic<int> asked_sets{0};
    std::atomic<int> asked_model{0};
    r.fit.simulate = [&](const fit::run_record& run, int model,
                         const evidence::simulation_options& o) {
      asked_sets = o.sets;
      asked_model = model;
      return paced(run, model, o);
    };
    QVERIFY(r.start_and_open());
    QVERIFY(!r.app.action(entry)->isEnabled());
    // A run that ranked nothing offers no check.
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QVERIFY(!r.app.action(entry)->isEnabled());

    ranked_run(r);
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QVERIFY(r.app.action(entry)->isEnabled());
    const int before = r.app.done();
    QVERIFY(r.app.choose(entry));
    QString question;
    QVERIFY(answer_count("30", &question));
    QVERIFY2(question.contains("model 9") && question.endsWith("[200]"), qPrintable(question));
    QVERIFY(r.app.wait_done(before));
    QCOMPARE(asked_sets.load(), 30);
    QCOMPARE(asked_model.load(), 9);

    toolkit::ProgressWindow* w = progress_window();
    QVERIFY(w != nullptr);
    QVERIFY(support::wait_until([&] { return w->bar()->value() == 30; }));
    QVERIFY(w->finished());
    QCOMPARE(w->button()->text(), QString("Close"));
    QCOMPARE(w->doing()->text(), QString("Done: 30 data sets fitted."));
    const QString text = w->text()->toPlainText();
    QVERIFY2(text.startsWith("Selection by simulation: 30 data sets from the fit of model 9"),
             qPrintable(text));
    QVERIFY2(text.contains("seed 20250101"), qPrintable(text));
    // Model 9 won 23 of the 30 sets, model 1 the other 7.
    QVERIFY2(text.contains(QRegularExpression("model  9 \\(simulated\\)\\s+23\\s+76\\.7 %")),
             qPrintable(text));
    // Grown to show the text, and still inside the screen.
    QVERIFY(w->screen()->availableGeometry().contains(w->frameGeometry()));
    QVERIFY(w->windowTitle().endsWith(" - Data.in"));
    w->button()->click();
    QVERIFY(support::wait_until([] { return progress_window() == nullptr; }));
  }

  void stopsAtStopOrWhenTheWindowCloses() {
    fitted_shell r({1, 9});
    r.fit.simulate = paced;
    QVERIFY(r.start_and_open());
    ranked_run(r);
    QVERIFY(r.app.run_command("Toolbar/Run"));
    for (const bool by_closing : {false, true}) {
      const int before = r.app.done();
      QVERIFY(r.app.choose(entry));
      QVERIFY(answer_count("1000"));
      toolkit::ProgressWindow* w = nullptr;
      QVERIFY(support::wait_until([&] {
        w = progress_window();
        return w != nullptr && w->bar()->value() >= 2;
      }));
      // The window is not modal: the main window takes input meanwhile.
      QVERIFY(!w->isModal());
      QVERIFY(r.app.window()->isEnabled());
      if (by_closing) {
        w->close();
      } else {
        w->button()->click();
      }
      QVERIFY(r.app.wait_done(before));
      if (by_closing) {
        QVERIFY(support::wait_until([] { return progress_window() == nullptr; }));
        continue;
      }
      QVERIFY(w->finished());
      QVERIFY2(w->doing()->text().startsWith("Stopped after "), qPrintable(w->doing()->text()));
      QVERIFY(w->bar()->value() < 1000);
      QVERIFY(w->text()->toPlainText().contains("(stopped early)"));
      w->close();
      QVERIFY(support::wait_until([] { return progress_window() == nullptr; }));
    }
  }

  void refusesACountThatIsNotOne() {
    fitted_shell r({1, 9});
    std::atomic<int> simulations{0};
    r.fit.simulate = [&](const fit::run_record& run, int model,
                         const evidence::simulation_options& o) {
      ++simulations;
      return paced(run, model, o);
    };
    QVERIFY(r.start_and_open());
    ranked_run(r);
    QVERIFY(r.app.run_command("Toolbar/Run"));
    for (const QString typed : {"0", "10001", "2.5", "many"}) {
      const int before = r.app.done();
      QVERIFY(r.app.choose(entry));
      QVERIFY(answer_count(typed));
      const auto box = support::answer_message_box();
      QVERIFY(box.has_value());
      QVERIFY2(box->text.contains("is not a number of data sets"), qPrintable(box->text));
      QVERIFY(r.app.wait_done(before));
    }
    QCOMPARE(simulations.load(), 0);
    QVERIFY(progress_window() == nullptr);
  }
};

INHIBRA_QT_TEST(SimulationCommandTest)
#include "simulation_qtest.moc"
