#include "toolkit/table_window.hpp"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>
#include <limits>

#include "toolkit/qt_text.hpp"

namespace inhibra::toolkit {

namespace {

// What a click on a column's header sorts by: a figure's value, so that 9 comes
// before 10 and -2 before -1, or a text without regard to case. Cells that hold no
// number in a column of figures ("-", "not determined") sort after every number.
constexpr int sort_role = Qt::UserRole + 1;

QVariant sort_key(const QString& text, bool figures) {
  if (figures) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? QVariant(value) : QVariant(std::numeric_limits<double>::infinity());
  }
  return text.toCaseFolded();
}

QList<QStandardItem*> items_of(const table_row& row, const table_contents& contents) {
  QList<QStandardItem*> items;
  for (std::size_t c = 0; c < contents.columns.size(); ++c) {
    auto* item = new QStandardItem(c < row.cells.size() ? qt_text(row.cells[c]) : QString());
    item->setEditable(false);
    const bool figures = c < contents.right_aligned.size() && contents.right_aligned[c];
    item->setData(sort_key(item->text(), figures), sort_role);
    if (c < contents.right_aligned.size() && contents.right_aligned[c])
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (c < row.tooltips.size() && !row.tooltips[c].empty())
      item->setToolTip(qt_text(row.tooltips[c]));
    items.append(item);
  }
  for (const table_row& child : row.children)
    items.front()->appendRow(items_of(child, contents));
  return items;
}

}  // namespace

TableWindow::TableWindow(const QString& title, const table_contents& contents,
                         table_writer export_csv, QWidget* parent)
    : QMainWindow(parent),
      view_(new QTreeView),
      model_(new QStandardItemModel(this)),
      legend_(new QLabel),
      heading_(new QLabel),
      second_title_(new QLabel),
      second_view_(new QTreeView),
      second_model_(new QStandardItemModel(this)),
      export_csv_(std::move(export_csv)) {
  setWindowTitle(title);
  menuBar()->setNativeMenuBar(false);
  QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
  copy_ = file->addAction(QStringLiteral("Copy Table"));
  export_ = file->addAction(QStringLiteral("Export CSV..."));
  close_ = file->addAction(QStringLiteral("Close"));
  connect(copy_, &QAction::triggered, this, &TableWindow::copyToClipboard);
  connect(export_, &QAction::triggered, this, &TableWindow::chooseFileAndExport);
  connect(close_, &QAction::triggered, this, &QWidget::close);

  view_->setModel(model_);
  // The rows come in the caller's order; a click on a header sorts by that column.
  model_->setSortRole(sort_role);
  view_->header()->setSortIndicator(-1, Qt::AscendingOrder);
  view_->setSortingEnabled(true);
  view_->setAlternatingRowColors(true);
  view_->setUniformRowHeights(true);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  legend_->setWordWrap(true);
  legend_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  heading_->setWordWrap(true);
  second_view_->setModel(second_model_);
  second_view_->setRootIsDecorated(false);
  second_view_->setUniformRowHeights(true);
  heading_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* copy_button = new QPushButton(QStringLiteral("Copy"));
  auto* export_button = new QPushButton(QStringLiteral("Export CSV..."));
  connect(copy_button, &QPushButton::clicked, copy_, &QAction::trigger);
  connect(export_button, &QPushButton::clicked, export_, &QAction::trigger);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(copy_button);
  buttons->addWidget(export_button);

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->addWidget(heading_);
  // The tables take the room; the legend, long once every column is explained, scrolls
  // in a few lines of its own below them.
  layout->addWidget(view_, 3);
  layout->addWidget(second_title_);
  layout->addWidget(second_view_, 1);
  auto* legend_room = new QScrollArea;
  legend_room->setWidget(legend_);
  legend_room->setWidgetResizable(true);
  legend_room->setFrameShape(QFrame::NoFrame);
  legend_room->setMaximumHeight(7 * legend_->fontMetrics().lineSpacing());
  layout->addWidget(legend_room);
  layout->addLayout(buttons);
  setCentralWidget(central);
  setContents(contents);
  resize(1000, 560);
}

void TableWindow::setContents(const table_contents& contents) {
  model_->clear();
  QStringList header;
  for (const std::string& column : contents.columns)
    header.append(qt_text(column));
  model_->setHorizontalHeaderLabels(header);
  for (const table_row& row : contents.rows)
    model_->appendRow(items_of(row, contents));
  // Columns as wide as their widest cell, the rows under others included (a view
  // measures only the rows it shows).
  view_->expandAll();
  for (int c = 0; c < model_->columnCount(); ++c)
    view_->resizeColumnToContents(c);
  view_->collapseAll();
  legend_->setText(qt_text(contents.legend));
  heading_->setText(qt_text(contents.heading));
  heading_->setVisible(!contents.heading.empty());
  second_model_->clear();
  QStringList second_header;
  for (const std::string& column : contents.second_columns)
    second_header.append(qt_text(column));
  second_model_->setHorizontalHeaderLabels(second_header);
  table_contents second;  // the second table's rows, laid out as the first's
  second.columns = contents.second_columns;
  for (const table_row& row : contents.second_rows)
    second_model_->appendRow(items_of(row, second));
  for (int c = 0; c < second_model_->columnCount(); ++c)
    second_view_->resizeColumnToContents(c);
  second_title_->setText(qt_text(contents.second_title));
  second_title_->setVisible(!contents.second_columns.empty());
  second_view_->setVisible(!contents.second_columns.empty());
  clipboard_text_ = contents.clipboard_text;
}

void TableWindow::copyToClipboard() {
  QGuiApplication::clipboard()->setText(qt_text(clipboard_text_));
}

bool TableWindow::exportTo(const QString& file_name) {
  QString name = file_name;
  if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".csv");
  const std::string error = export_csv_ ? export_csv_(name.toStdString()) : "nothing to write";
  if (error.empty()) return true;
  QMessageBox::warning(
      this, QStringLiteral("Warning"),
      QStringLiteral("The table could not be exported as\n%1\n%2").arg(name, qt_text(error)));
  return false;
}

void TableWindow::chooseFileAndExport() {
  const QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), QString(),
                                                    QStringLiteral("CSV files (*.csv)"));
  if (!name.isEmpty()) exportTo(name);
}

}  // namespace inhibra::toolkit
