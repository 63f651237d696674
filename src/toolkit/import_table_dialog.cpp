#include "toolkit/import_table_dialog.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "toolkit/qt_text.hpp"

namespace inhibra::toolkit {

namespace {

// "C" for column 3, "AA" for column 27, as spreadsheets name columns.
QString letters(int column) {
  QString out;
  for (int n = column; n > 0; n = (n - 1) / 26)
    out.prepend(QChar('A' + (n - 1) % 26));
  return out;
}

// A label that shows text as given (no rich text) and can be copied from.
QLabel* plain_label(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

ImportTableDialog::ImportTableDialog(import_table_view view, QWidget* parent)
    : QDialog(parent),
      view_(std::move(view)),
      preview_(new QTableWidget(this)),
      layout_(new QComboBox(this)),
      column_{new QComboBox(this), new QComboBox(this), new QComboBox(this)},
      layout_text_(plain_label(this)),
      curves_(plain_label(this)),
      units_(plain_label(this)),
      message_(plain_label(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
  setWindowTitle(one_line_title("Import Table - " + view_.file));

  // The rows as cut into cells, under the spreadsheet's column names.
  int shown_columns = view_.columns;
  for (const auto& row : view_.rows)
    shown_columns = std::max(shown_columns, static_cast<int>(row.size()));
  preview_->setRowCount(static_cast<int>(view_.rows.size()));
  preview_->setColumnCount(shown_columns);
  for (int c = 0; c < shown_columns; ++c)
    preview_->setHorizontalHeaderItem(c, new QTableWidgetItem(letters(c + 1)));
  for (std::size_t r = 0; r < view_.rows.size(); ++r) {
    for (std::size_t c = 0; c < view_.rows[r].size(); ++c) {
      auto* item = new QTableWidgetItem(qt_text(view_.rows[r][c]));
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      preview_->setItem(static_cast<int>(r), static_cast<int>(c), item);
    }
  }
  preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  preview_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

  layout_->addItem(QStringLiteral("long: one rate a row"));
  layout_->addItem(QStringLiteral("plate: [S] down the first column, [I] across the first row"));
  for (QComboBox* box : column_) {
    for (int c = 1; c <= view_.columns; ++c) {
      const auto k = static_cast<std::size_t>(c - 1);
      const std::string title = k < view_.column_titles.size() ? view_.column_titles[k] : "";
      box->addItem(QString::number(c) + QStringLiteral(" (") + letters(c) + QStringLiteral(")") +
                       (title.empty() ? QString() : QStringLiteral(" ") + qt_text(title)),
                   c);
    }
  }
  const import_mapping& offered = view_.offered;
  layout_->setCurrentIndex(offered.layout == import_layout::wide_table ? 1 : 0);
  const int chosen[3] = {offered.substrate, offered.inhibitor, offered.rate};
  // A column not offered (0) stays unchosen until the person chooses one.
  for (int k = 0; k < 3; ++k)
    column_[k]->setCurrentIndex(chosen[k] >= 1 && chosen[k] <= view_.columns ? chosen[k] - 1 : -1);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Layout:"), layout_);
  form->addRow(QStringLiteral("[S] column:"), column_[0]);
  form->addRow(QStringLiteral("[I] column:"), column_[1]);
  form->addRow(QStringLiteral("Rate column:"), column_[2]);
  form->addRow(QStringLiteral("Read as:"), layout_text_);
  form->addRow(QStringLiteral("Curves:"), curves_);
  form->addRow(QStringLiteral("Units:"), units_);
  auto* offered_from = plain_label(this);
  offered_from->setText(widget_text(view_.offered_from));
  offered_from->setVisible(!view_.offered_from.empty());
  message_->setStyleSheet(QStringLiteral("color: #a00000"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(preview_, 1);
  layout->addWidget(offered_from);
  layout->addLayout(form);
  layout->addWidget(message_);
  layout->addWidget(buttons_);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(layout_, &QComboBox::currentIndexChanged, this, [this] { describe(); });
  for (QComboBox* box : column_)
    connect(box, &QComboBox::currentIndexChanged, this, [this] { describe(); });
  resize(720, 560);
  describe();
}

import_mapping ImportTableDialog::mapping() const {
  import_mapping m;
  m.layout = layout_->currentIndex() == 1 ? import_layout::wide_table : import_layout::long_table;
  m.substrate = column_[0]->currentData().toInt();
  m.inhibitor = column_[1]->currentData().toInt();
  m.rate = column_[2]->currentData().toInt();
  return m;
}

void ImportTableDialog::describe() {
  const import_mapping m = mapping();
  const bool readable = view_.error.empty();
  layout_->setEnabled(readable);
  for (QComboBox* box : column_)
    box->setEnabled(readable && m.layout == import_layout::long_table);
  import_outcome outcome;
  if (!readable) {
    outcome.error = view_.error;
  } else if (view_.describe) {
    outcome = view_.describe(m);
  }
  layout_text_->setText(qt_text(outcome.layout));
  curves_->setText(widget_text(outcome.curves));
  units_->setText(qt_text(outcome.units));
  message_->setText(widget_text(outcome.error));
  message_->setVisible(!outcome.error.empty());
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(outcome.error.empty());
}

}  // namespace inhibra::toolkit
