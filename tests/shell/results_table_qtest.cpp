// The results table after a run: it comes up beside the report (which stays as
// it was) and "Fit/Results Table" shows it again.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStandardItemModel>
#include <QTest>

#include "evidence/run_evidence.hpp"
#include "models/model_catalogue.hpp"
#include "shell/results_table.hpp"
#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "toolkit/table_window.hpp"
#include "toolkit/workspace.hpp"

using namespace inhibra;
using support::fitted_shell;
using support::hand_fit;

namespace {

toolkit::TableWindow* table_of(support::running_shell& app) {
  auto* w = qobject_cast<toolkit::TableWindow*>(app.tk.table_window());
  return w != nullptr && w->isVisible() ? w : nullptr;
}

}  // namespace

class ResultsTableWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void comesUpAfterARunAndFromTheFileMenu() {
    fitted_shell r({1, 9});
    QVERIFY(r.start_and_open());
    QVERIFY(!r.app.action("Fit/Results Table")->isEnabled());
    // A run that fitted nothing shows no table and offers none.
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QVERIFY(table_of(r.app) == nullptr);
    QVERIFY(!r.app.action("Fit/Results Table")->isEnabled());
    const QString report = r.app.panel_text();
    QVERIFY(!report.isEmpty());

    r.fit.record.data_name = "/somewhere/Data.in";
    r.fit.record.fitted = {hand_fit(1, -90.0), hand_fit(9, -95.0)};
    r.fit.record.ranking = {{2, -95.0, 0.0, 0.9, 0.0, "**"}, {1, -90.0, 5.0, 0.1, 0.95, "  "}};
    QVERIFY(r.app.run_command("Toolbar/Run"));

    toolkit::TableWindow* table = table_of(r.app);
    QVERIFY(table != nullptr);
    QCOMPARE(table->windowTitle(), QString("Results Table - Data.in"));
    QCOMPARE(table->model()->rowCount(), 2);
    // Which file and settings, the verdict on the run's fits, then the ranking by AICc,
    // said so: model 9 (the lower AICc) first, and marked.
    const QString heading = table->heading()->text();
    const QStringList lines = heading.split('\n');
    QVERIFY2(lines[0].startsWith("Data.in, run ") && lines[0].contains("Weights: equal"),
             qPrintable(heading));
    QVERIFY2(lines[1].startsWith("Verdict: ") && heading.contains("model 9"), qPrintable(heading));
    QVERIFY(table->model()->item(0, 1)->text().startsWith(QString::fromUtf8("\u2605 ")));
    QVERIFY(heading.endsWith(
        QString::fromUtf8(shell::ranking_caption.data(), shell::ranking_caption.size())));
    QVERIFY(table->heading()->isVisibleTo(table));
    QCOMPARE(table->model()->item(0, 2)->text(),
             QString("partial (hyperbolic) mixed, toward competitive (a > 1)"));
    QCOMPARE(table->model()->item(0, 0)->rowCount(), 5);  // model 9's parameters under it
    QCOMPARE(table->model()->item(0, 0)->child(4, 1)->text(), QString("b"));
    QVERIFY(table->legend()->text().contains("Evidence ratio"));
    QVERIFY(table->model()->item(1, 3)->textAlignment() & Qt::AlignRight);  // figures
    table->copyAction()->trigger();
    const auto evidence = evidence::weigh_evidence(r.fit.record);
    QCOMPARE(QGuiApplication::clipboard()->text().toStdString(),
             shell::tab_separated(shell::results_rows(r.fit.record),
                                  {evidence.nested, evidence.mechanism.sentence, {}, {}}));
    // The report panel shows the results file as before, and nothing else.
    QCOMPARE(r.app.panel_text(), report);
    // The table is the main window's Results tab, on show after the run.
    toolkit::Workspace* ws = r.app.tk.workspace();
    QCOMPARE(ws->results(), static_cast<QWidget*>(table));
    QCOMPARE(ws->currentIndex(), static_cast<int>(toolkit::workspace_tab::results));

    // Another tab hides it; the entry brings it back.
    ws->showTab(toolkit::workspace_tab::report);
    QVERIFY(support::wait_until([&] { return table_of(r.app) == nullptr; }));
    QVERIFY(r.app.action("Fit/Results Table")->isEnabled());
    QVERIFY(r.app.run_command("Fit/Results Table"));
    QVERIFY(table_of(r.app) != nullptr);
    QCOMPARE(table_of(r.app)->model()->rowCount(), 2);

    // A run that fits nothing takes the entry and the earlier table away.
    r.fit.record = {};
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QVERIFY(!r.app.action("Fit/Results Table")->isEnabled());
    QVERIFY(ws->results() == nullptr);
  }
};

INHIBRA_QT_TEST(ResultsTableWindowTest)
#include "results_table_qtest.moc"
