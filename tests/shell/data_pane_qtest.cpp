// The Data pane beside the workspace: the open file's rows by curve as soon as it
// opens, a row left out by its check box is not fitted and the results file names
// it, the data file is never changed, and a file changed meanwhile brings every row
// back with a notice rather than leaving out the wrong rows.
#include <QLabel>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/desktop.hpp"
#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/data_pane.hpp"
#include "toolkit/workspace.hpp"

using namespace inhibra;
using support::running_shell;

namespace {

QTreeWidget* rows_tree(running_shell& app) {
  return app.tk.data_pane()->tree();
}

// The row item of the file's line `line`, or null.
QTreeWidgetItem* row_item(running_shell& app, const QString& line) {
  for (QTreeWidgetItemIterator it(rows_tree(app)); *it != nullptr; ++it) {
    if ((*it)->parent() != nullptr && (*it)->text(0) == line) return *it;
  }
  return nullptr;
}

void set_row_used(running_shell& app, const QString& line, bool used) {
  QTreeWidgetItem* item = row_item(app, line);
  QVERIFY2(item != nullptr, qPrintable(line));
  item->setCheckState(0, used ? Qt::Checked : Qt::Unchecked);
}

void write_text(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The residual sum of squares of the first model in a results file.
double first_ssr(const std::string& report) {
  const std::string key = "RESIDUAL SUM OF SQUARES=";
  const std::size_t at = report.find(key);
  return at == std::string::npos ? -1.0 : std::stod(report.substr(at + key.size()));
}

}  // namespace

class DataPaneTest : public QObject {
  Q_OBJECT

 private slots:
  void theOpenFileIsShownByCurve() {
    support::fitted_shell r;
    QVERIFY(r.app.start());
    QCOMPARE(rows_tree(r.app)->topLevelItemCount(), 0);
    QVERIFY(support::open_data_file(r.app, r.data));
    QVERIFY(support::wait_until([&] { return rows_tree(r.app)->topLevelItemCount() == 4; }));
    QTreeWidget* tree = rows_tree(r.app);
    QCOMPARE(tree->topLevelItem(0)->text(0), QString("Curve 1: [I] = 0"));
    QCOMPARE(tree->topLevelItem(3)->text(0), QString("Curve 4: [I] = 400"));
    int rows = 0;
    for (int c = 0; c < 4; ++c) {
      QCOMPARE(tree->topLevelItem(c)->childCount(), 6);
      rows += tree->topLevelItem(c)->childCount();
    }
    QCOMPARE(rows, 24);
    // Line 8 is the second row of curve 2, as the file has it.
    QTreeWidgetItem* eight = row_item(r.app, "8");
    QCOMPARE(eight->parent(), tree->topLevelItem(1));
    QCOMPARE(eight->text(1), QString("100"));
    QCOMPARE(eight->checkState(0), Qt::Checked);
    QVERIFY(r.app.tk.data_pane()->summaryLabel()->text().contains("all 24 rows"));
    QVERIFY(r.app.tk.data_pane()->notesLabel()->isHidden());

    // A file the reader refuses shows why, and no rows: too few to be read.
    const std::string bad = (r.dir.path() / "Bad.in").string();
    write_text(bad, "50 0 0.03\n100 0 0.05\n");
    QVERIFY(support::open_data_file(r.app, bad));
    QVERIFY(support::wait_until([&] { return !r.app.tk.data_pane()->notesLabel()->isHidden(); }));
    QVERIFY(r.app.tk.data_pane()->notesLabel()->text().contains("Data rows exceeded limit"));
    QCOMPARE(rows_tree(r.app)->topLevelItemCount(), 0);
    QVERIFY(r.app.tk.data_pane()->summaryLabel()->text().isEmpty());
  }

  void rowsLeftOutAreNotFittedAndTheResultsFileNamesThem() {
    support::temp_dir dir;
    std::ostringstream console;
    running_shell app(shell::desktop_services(console));
    support::select_models(app.shell.choices(), {2});
    QVERIFY(app.start());
    QVERIFY(app.run_command("Settings/Pause at Each Model's Plot"));
    const std::string data = support::write_example_data(dir.path());
    const std::string original = support::read_file(data);
    QVERIFY(support::open_data_file(app, data));
    QVERIFY(support::wait_until([&] { return row_item(app, "17") != nullptr; }));

    QVERIFY(app.run_command("Toolbar/Run", 60000));
    const std::string all_rows = support::read_file((dir.path() / "Data.out").string());
    QVERIFY(all_rows.find("ROWS LEFT OUT") == std::string::npos);

    set_row_used(app, "17", false);
    set_row_used(app, "4", false);
    QVERIFY(app.tk.data_pane()->summaryLabel()->text().contains("fits 22 of 24 rows"));
    QVERIFY(app.run_command("Toolbar/Run", 60000));
    const std::string left_out = support::read_file((dir.path() / "Data.out").string());
    QVERIFY(left_out.find("          ROWS LEFT OUT: 4, 17\r\n") != std::string::npos);
    QVERIFY(first_ssr(left_out) > 0.0);
    QVERIFY(first_ssr(left_out) != first_ssr(all_rows));
    QVERIFY(app.panel_text().contains("ROWS LEFT OUT: 4, 17"));
    QCOMPARE(support::read_file(data), original);  // the data file is never changed
    // The pane still shows them out for the next run.
    QCOMPARE(row_item(app, "4")->checkState(0), Qt::Unchecked);

    // Checked again, every row is fitted.
    set_row_used(app, "4", true);
    set_row_used(app, "17", true);
    QVERIFY(app.run_command("Toolbar/Run", 60000));
    const std::string again = support::read_file((dir.path() / "Data.out").string());
    QVERIFY(again.find("ROWS LEFT OUT") == std::string::npos);
    QCOMPARE(first_ssr(again), first_ssr(all_rows));
  }

  void aFileChangedMeanwhileBringsEveryRowBack() {
    support::fitted_shell r;
    QVERIFY(r.start_and_open());
    QVERIFY(support::wait_until([&] { return row_item(r.app, "5") != nullptr; }));
    set_row_used(r.app, "5", false);
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QCOMPARE(r.app.ctx->leave_out, (std::vector<std::int32_t>{5}));

    // Another file opened starts with every row in.
    const std::string other = support::write_example_data(r.dir.path(), "Other.in");
    QVERIFY(support::open_data_file(r.app, other));
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QVERIFY(r.app.ctx->leave_out.empty());

    // The rows change under the pane: nothing is left out, and the person is told.
    set_row_used(r.app, "5", false);
    std::string text = support::read_file(other);
    text.replace(text.find("0.032"), 5, "0.033");
    write_text(other, text);
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QVERIFY(r.app.ctx->leave_out.empty());
    QVERIFY(support::wait_until([&] {
      return r.app.tk.workspace()->noticeLabel()->text().contains("has changed since its rows");
    }));
    QCOMPARE(row_item(r.app, "5")->checkState(0), Qt::Checked);
  }
};

INHIBRA_QT_TEST(DataPaneTest)
#include "data_pane_qtest.moc"
