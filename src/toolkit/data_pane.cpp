#include "toolkit/data_pane.hpp"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "toolkit/qt_text.hpp"

namespace inhibra::toolkit {

namespace {

// Rows carry their place in this role; curve items carry none.
constexpr int place_role = Qt::UserRole + 1;

// A small swatch of the curve's colour, as the charts draw it.
QIcon swatch(const std::array<int, 3>& colour) {
  QPixmap picture(12, 12);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setPen(QColor(60, 60, 60));
  painter.setBrush(QColor(colour[0], colour[1], colour[2]));
  painter.drawEllipse(1, 1, 10, 10);
  return QIcon(picture);
}

}  // namespace

DataPane::DataPane(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  heading_ = new QLabel(tr("No data file open"));
  heading_->setWordWrap(true);
  tree_ = new QTreeWidget;
  tree_->setColumnCount(4);
  tree_->setHeaderLabels({tr("Row"), QStringLiteral("[S]"), QStringLiteral("[I]"), tr("Rate")});
  tree_->setUniformRowHeights(true);
  tree_->setAlternatingRowColors(true);
  tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tree_->header()->setStretchLastSection(false);  // the rates stay beside their row
  tree_->setToolTip(
      tr("Clear a row's check box to leave it out of the next run. "
         "The data file is not changed."));
  summary_ = new QLabel;
  summary_->setWordWrap(true);
  notes_ = new QLabel;
  notes_->setWordWrap(true);
  notes_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  notes_->setStyleSheet(
      QStringLiteral("QLabel { background: #fff4d6; border: 1px solid #d9b44a; padding: 3px; }"));
  notes_->hide();
  layout->addWidget(heading_);
  layout->addWidget(tree_, 1);
  layout->addWidget(summary_);
  layout->addWidget(notes_);
  connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (filling_ || column != 0) return;
    const QVariant place = item->data(0, place_role);
    if (!place.isValid()) return;  // a curve: its rows report themselves
    if (on_toggle_) on_toggle_(place.toInt(), item->checkState(0) == Qt::Checked);
    updateSummary();
  });
}

void DataPane::setContents(const data_pane_contents& contents, row_toggle on_toggle) {
  filling_ = true;
  on_toggle_ = std::move(on_toggle);
  tree_->clear();
  heading_->setText(qt_text(contents.heading));
  for (const data_pane_curve& curve : contents.curves) {
    QTreeWidgetItem* parent = nullptr;
    if (!curve.title.empty()) {
      parent = new QTreeWidgetItem(tree_);
      parent->setText(0, qt_text(curve.title));
      parent->setIcon(0, swatch(curve.colour));
      parent->setFirstColumnSpanned(true);
      // Checking a curve checks all its rows; it shows partly checked when some are out.
      parent->setFlags(parent->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
      parent->setExpanded(true);
    }
    for (const data_pane_row& row : curve.rows) {
      auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
      item->setText(0, qt_text(row.source));
      for (int c = 0; c < 3; ++c) {
        item->setText(c + 1, qt_text(row.values[static_cast<std::size_t>(c)]));
        item->setTextAlignment(c + 1, Qt::AlignRight | Qt::AlignVCenter);
      }
      item->setData(0, place_role, row.place);
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(0, row.used ? Qt::Checked : Qt::Unchecked);
    }
    if (parent != nullptr) parent->setExpanded(true);
  }
  QStringList notes;
  for (const std::string& note : contents.notes)
    notes << qt_text(note).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  notes_->setText(notes.join(QStringLiteral("\n")));
  notes_->setVisible(!notes.isEmpty());
  filling_ = false;
  updateSummary();
}

void DataPane::clear() {
  setContents({"No data file open", {}, {}}, nullptr);
}

// How many rows the next run fits, and which are left out.
void DataPane::updateSummary() {
  int rows = 0;
  QStringList out;
  for (QTreeWidgetItemIterator it(tree_); *it != nullptr; ++it) {
    if (!(*it)->data(0, place_role).isValid()) continue;
    ++rows;
    if ((*it)->checkState(0) != Qt::Checked) out << (*it)->text(0);
  }
  if (rows == 0) {
    summary_->clear();
  } else if (out.isEmpty()) {
    summary_->setText(rows == 1 ? tr("The next run fits the one row.")
                                : tr("The next run fits all %1 rows.").arg(rows));
  } else {
    summary_->setText(tr("The next run fits %1 of %2 rows; left out: %3.")
                          .arg(rows - out.size())
                          .arg(rows)
                          .arg(out.join(QStringLiteral(", "))));
  }
}

}  // namespace inhibra::toolkit
