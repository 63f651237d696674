// File -> Import Table...: the dialog shows the first rows of a table, the reading
// worked out (or remembered) for it and the curves that reading makes, follows every
// edit of the reading, opens the table on OK so that a run reads it that way, and
// changes nothing on Cancel; a file that cannot be cut into cells shows why.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <functional>

#include "shell/shell_harness.hpp"
#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/import_table_dialog.hpp"
#include "toolkit/settings_file.hpp"
#include "toolkit/toolkit_harness.hpp"

using namespace inhibra;
using support::fitted_shell;
using toolkit::ImportTableDialog;

namespace {

const QString import_entry = QStringLiteral("File/Import Table\u2026");

// Chooses Import Table, picks `file`, hands the import dialog to `answer` (which
// accepts or rejects it) and waits until the command is done.
bool import_with(support::running_shell& app, const std::string& file,
                 const std::function<void(ImportTableDialog*)>& answer) {
  const int before = app.done();
  return app.choose(import_entry) &&
         support::answer_file_dialog(QString::fromStdString(file)).has_value() &&
         support::answer_window<ImportTableDialog>(answer) && app.wait_done(before);
}

// Chooses the entry of column `column` in the box of [S] (0), [I] (1) or the rate (2).
void pick_column(ImportTableDialog* d, int which, int column) {
  QComboBox* box = d->columnBox(which);
  box->setCurrentIndex(box->findData(column));
}

// True when a label of the dialog shows `text`.
bool shows(ImportTableDialog* d, const char* text) {
  for (QLabel* label : d->findChildren<QLabel*>()) {
    if (label->text().contains(QString::fromUtf8(text))) return true;
  }
  return false;
}

bool ok_enabled(ImportTableDialog* d) {
  return d->buttons()->button(QDialogButtonBox::Ok)->isEnabled();
}

}  // namespace

class ImportTableTest : public QObject {
  Q_OBJECT

 private slots:
  void detectedReadingFollowsEditsAndOkOpensTheTable() {
    fitted_shell r;
    const std::string table = support::copy_example(r.dir, "rates-long.csv");
    QVERIFY(r.app.start());
    bool checked = false;
    QVERIFY(import_with(r.app, table, [&](ImportTableDialog* d) {
      // The first ten of the file's 25 rows, under the spreadsheet's column names.
      QCOMPARE(d->preview()->rowCount(), 10);
      QCOMPARE(d->preview()->horizontalHeaderItem(1)->text(), QStringLiteral("B"));
      QCOMPARE(d->preview()->item(0, 1)->text(), QStringLiteral("[S] (\u00b5M)"));
      QCOMPARE(d->preview()->item(1, 0)->text(), QStringLiteral("A1"));
      // Worked out from the header row: well, [S], [I], v.
      QCOMPARE(d->layoutBox()->currentIndex(), 0);
      QCOMPARE(d->columnBox(0)->currentData().toInt(), 2);
      QCOMPARE(d->columnBox(1)->currentData().toInt(), 3);
      QCOMPARE(d->columnBox(2)->currentData().toInt(), 4);
      QVERIFY(d->layoutLabel()->text().contains(QStringLiteral("left out: column 1 (well)")));
      QCOMPARE(d->unitsLabel()->text(), QStringLiteral("[S] \u00b5M, [I] nM, rate \u00b5M/min"));
      const QString curves = d->curvesLabel()->text();
      QVERIFY2(curves.startsWith(QStringLiteral("4 curves of 24 rates\n[I] = 0: 6 rates\n")),
               qPrintable(curves));
      QVERIFY(curves.endsWith(QStringLiteral("[I] = 400: 6 rates")));
      QVERIFY(ok_enabled(d));

      // [S] and [I] swapped: six curves of four rates, which a run would refuse.
      pick_column(d, 0, 3);
      pick_column(d, 1, 2);
      QVERIFY2(d->curvesLabel()->text().startsWith(QStringLiteral("6 curves of 24 rates")),
               qPrintable(d->curvesLabel()->text()));
      QVERIFY2(d->messageLabel()->text().contains(
                   QStringLiteral("[I] = 50 has 4 rates; a curve needs at least 5")),
               qPrintable(d->messageLabel()->text()));
      QVERIFY(!ok_enabled(d));
      // One column for two quantities, then a plate layout: neither can be read.
      pick_column(d, 1, 3);
      QVERIFY(d->messageLabel()->text().contains(QStringLiteral("three different columns")));
      d->layoutBox()->setCurrentIndex(1);
      QVERIFY(!d->columnBox(0)->isEnabled());
      QVERIFY2(d->messageLabel()->text().contains(QStringLiteral("plate layout")),
               qPrintable(d->messageLabel()->text()));
      QVERIFY(!ok_enabled(d));
      // Back to the reading worked out, and confirmed.
      d->layoutBox()->setCurrentIndex(0);
      pick_column(d, 0, 2);
      pick_column(d, 1, 3);
      QVERIFY(ok_enabled(d));
      QVERIFY(d->messageLabel()->text().isEmpty());
      checked = true;
      d->buttons()->button(QDialogButtonBox::Ok)->click();
    }));
    QVERIFY(checked);
    QVERIFY(support::wait_until(
        [&] { return r.app.window()->windowTitle() == QString::fromStdString(table); }));
    QVERIFY(r.app.ctx->table.always);
    QVERIFY(r.app.ctx->table.layout == core::table_layout::long_table);
    QCOMPARE(r.app.ctx->table.columns.substrate, 2);
    QCOMPARE(r.app.ctx->table.columns.inhibitor, 3);
    QCOMPARE(r.app.ctx->table.columns.rate, 4);
    QVERIFY(r.app.run_command("Toolbar/Run"));
    QCOMPARE(QString::fromStdString(r.fit.data_file_seen), QString::fromStdString(table));

    // A file opened the usual way is read by its name again.
    QVERIFY(support::open_data_file(r.app, r.data));
    QVERIFY(!r.app.ctx->table.always);
    QVERIFY(!r.app.ctx->table.columns.given());
  }

  void readingIsRememberedForItsHeaderRowAndCancelChangesNothing() {
    support::temp_dir config;
    toolkit::settings_file store(config.file("inhibra.ini"));
    fitted_shell r;
    r.app.shell.set_settings(&store);
    // Two columns could be the rate: the columns are left for the person to choose.
    std::string text = "S,I,v,rate\n";
    for (int k = 1; k <= 5; ++k)
      text +=
          std::to_string(50 * k) + ",0," + std::to_string(k) + "," + std::to_string(k + 1) + "\n";
    r.dir.write("first.csv", text);
    r.dir.write("second.csv", text);
    QVERIFY(r.app.start());
    QVERIFY(import_with(r.app, r.dir.file("first.csv"), [&](ImportTableDialog* d) {
      QVERIFY(shows(d, "Two columns could be the rate"));
      QCOMPARE(d->columnBox(2)->currentIndex(), -1);
      QVERIFY(d->messageLabel()->text().contains(QStringLiteral("Choose the columns")));
      QVERIFY(!ok_enabled(d));
      pick_column(d, 0, 1);
      pick_column(d, 1, 2);
      pick_column(d, 2, 4);
      QVERIFY(ok_enabled(d));
      d->accept();
    }));
    QCOMPARE(r.app.ctx->table.columns.rate, 4);

    // Another file with the same header row is offered the reading chosen; Cancel
    // leaves the open file and its reading as they were.
    const QString title = r.app.window()->windowTitle();
    bool offered = false;
    QVERIFY(import_with(r.app, r.dir.file("second.csv"), [&](ImportTableDialog* d) {
      offered = d->columnBox(2)->currentData().toInt() == 4 && ok_enabled(d) &&
                shows(d, "chosen last time");
      d->reject();
    }));
    QVERIFY(offered);
    QCOMPARE(r.app.window()->windowTitle(), title);
    QCOMPARE(r.app.ctx->table.columns.rate, 4);
    QVERIFY(r.app.ctx->table.always);
  }

  void aFileThatCannotBeCutIntoCellsShowsWhy() {
    fitted_shell r;
    r.dir.write("open quote.csv", "S,I,v\n\"50,0,1\n");
    QVERIFY(r.app.start());
    const QString title = r.app.window()->windowTitle();
    QString shown;
    bool ok = true;
    QVERIFY(import_with(r.app, r.dir.file("open quote.csv"), [&](ImportTableDialog* d) {
      shown = d->messageLabel()->text();
      ok = ok_enabled(d);
      d->reject();
    }));
    QVERIFY2(shown.startsWith(QStringLiteral("The table cannot be cut into cells")),
             qPrintable(shown));
    QVERIFY(!ok);
    QCOMPARE(r.app.window()->windowTitle(), title);
    QVERIFY(!r.app.ctx->table.always);
  }
};

INHIBRA_QT_TEST(ImportTableTest)
#include "import_table_qtest.moc"
