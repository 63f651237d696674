// Table windows: rows with rows under them, the header and alignment as given, the
// clipboard text, and the CSV export through the file dialog, with a failure told.
#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <string>
#include <vector>

#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/table_window.hpp"
#include "toolkit/toolkit_harness.hpp"

using namespace inhibra;
using support::answer_window;
using support::wait_until;
using toolkit::TableWindow;

namespace {

toolkit::table_contents two_rows() {
  toolkit::table_contents c;
  c.columns = {"Name", "Figure", "Note"};
  c.right_aligned = {false, true, false};
  c.rows = {{{"first", "1.5", ""}, {{{"", "2", "under"}, {}}, {{"", "3"}, {}}}},
            {{"second \u0394", "4"}, {}, {"", "", "more about the second"}}};
  c.legend = "What the figures mean.";
  c.clipboard_text = "Name\tFigure\nfirst\t1.5\n";
  return c;
}

}  // namespace

class TableWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void rowsOpenOntoTheRowsUnderThem() {
    TableWindow w("Table", two_rows(), {});
    QStandardItemModel* m = w.model();
    QVERIFY(w.view()->model() == m);  // the view shows it
    QCOMPARE(m->columnCount(), 3);
    QCOMPARE(m->rowCount(), 2);
    QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QString("Figure"));
    QCOMPARE(m->item(1, 0)->text(), QString("second \u0394"));
    QCOMPARE(m->item(1, 2)->text(), QString());  // a missing cell is empty
    QStandardItem* first = m->item(0, 0);
    QCOMPARE(first->rowCount(), 2);
    QCOMPARE(first->child(0, 2)->text(), QString("under"));
    QCOMPARE(first->child(1, 1)->text(), QString("3"));
    QVERIFY(m->item(0, 1)->textAlignment() & Qt::AlignRight);
    QVERIFY(!(m->item(0, 0)->textAlignment() & Qt::AlignRight));
    QVERIFY(!m->item(0, 1)->isEditable());
    QCOMPARE(w.legend()->text(), QString("What the figures mean."));
    QVERIFY(!w.heading()->isVisibleTo(&w));  // no heading given: none shown
    // A cell's tooltip where the row gives one, none elsewhere.
    QCOMPARE(m->item(1, 2)->toolTip(), QString("more about the second"));
    QCOMPARE(m->item(1, 0)->toolTip(), QString());
    QCOMPARE(m->item(0, 2)->toolTip(), QString());

    // New contents replace the old ones in the same window.
    toolkit::table_contents one = two_rows();
    one.rows.resize(1);
    one.heading = "Ranked by the first figure.";
    w.setContents(one);
    QCOMPARE(w.model()->rowCount(), 1);
    QCOMPARE(w.heading()->text(), QString("Ranked by the first figure."));
    QVERIFY(w.heading()->isVisibleTo(&w));
  }

  // The rows keep the given order until a header is clicked; figures sort by value,
  // texts without regard to case, and cells without a number after the figures.
  void aHeaderClickSortsByThatColumn() {
    toolkit::table_contents c;
    c.columns = {"Name", "Figure"};
    c.right_aligned = {false, true};
    for (const auto& [name, figure] : std::vector<std::pair<std::string, std::string>>{
             {"beta", "10"}, {"Alpha", "9"}, {"gamma", "-"}, {"delta", "-1.5E+01"}}) {
      toolkit::table_row row;
      row.cells = {name, figure};
      c.rows.push_back(row);
    }
    TableWindow w("Table", c, {});
    auto column = [&](int k) {
      QStringList texts;
      for (int r = 0; r < w.model()->rowCount(); ++r)
        texts << w.model()->item(r, k)->text();
      return texts;
    };
    QCOMPARE(column(0), QStringList({"beta", "Alpha", "gamma", "delta"}));
    w.view()->header()->setSortIndicator(1, Qt::AscendingOrder);
    QCOMPARE(column(1), QStringList({"-1.5E+01", "9", "10", "-"}));
    w.view()->header()->setSortIndicator(0, Qt::AscendingOrder);
    QCOMPARE(column(0), QStringList({"Alpha", "beta", "delta", "gamma"}));
  }

  void copyAndExportTheTable() {
    support::temp_dir dir;
    std::vector<std::string> written;
    std::string failure;
    TableWindow w("Table", two_rows(), [&](const std::string& name) {
      written.push_back(name);
      return failure;
    });
    QGuiApplication::clipboard()->setText("before");
    w.copyAction()->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("Name\tFigure\nfirst\t1.5\n"));
    // Export asks for a name and adds ".csv".
    w.show();
    QStringList filters;
    QTimer::singleShot(0, &w, [&w] { w.exportAction()->trigger(); });
    QVERIFY(answer_window<QFileDialog>([&](QFileDialog* d) {
      filters = d->nameFilters();
      d->selectFile(QString::fromStdString(dir.file("table")));
      static_cast<QDialog*>(d)->accept();
    }));
    QVERIFY(wait_until([&] { return !written.empty(); }));
    QCOMPARE(written, std::vector<std::string>{dir.file("table.csv")});
    QCOMPARE(filters, QStringList{"CSV files (*.csv)"});
    // A failed export is told, with the name and the reason.
    failure = "disk full";
    QString told;
    QTimer::singleShot(0, &w, [&] {
      answer_window<QMessageBox>([&](QMessageBox* box) {
        told = box->text();
        box->accept();
      });
    });
    QVERIFY(!w.exportTo("/nowhere/table.txt"));
    QCOMPARE(written.back(), std::string("/nowhere/table.txt"));  // a name with an extension
    QVERIFY(told.contains("/nowhere/table.txt") && told.contains("disk full"));
  }
};

INHIBRA_QT_TEST(TableWindowTest)
#include "table_window_qtest.moc"
