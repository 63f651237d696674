#include "toolkit/figure_dialog.hpp"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace inhibra::toolkit {

namespace {

// Lines of the title box shown without scrolling.
constexpr int title_rows = 4;

}  // namespace

figure_access figure_of(std::shared_ptr<plotengine::pplot> chart) {
  figure_access access;
  access.read = [chart] {
    QString title = QString::fromStdString(chart->title);
    title.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return figure_texts{title, QString::fromStdString(chart->x_label),
                        QString::fromStdString(chart->y_label)};
  };
  access.apply = [chart](const figure_texts& texts) {
    QString title = texts.title;
    title.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    title.replace(QChar('\n'), QStringLiteral("\r\n"));
    chart->title = title.toStdString();
    chart->x_label = texts.x_label.toStdString();
    chart->y_label = texts.y_label.toStdString();
  };
  return access;
}

FigureDialog::FigureDialog(const figure_texts& texts, QWidget* parent)
    : QDialog(parent),
      title_(new QPlainTextEdit(texts.title, this)),
      x_label_(new QLineEdit(texts.x_label, this)),
      y_label_(new QLineEdit(texts.y_label, this)) {
  setWindowTitle(QStringLiteral("Figure"));
  title_->setTabChangesFocus(true);
  title_->setLineWrapMode(QPlainTextEdit::NoWrap);
  const QFontMetrics fm(title_->font());
  title_->setFixedHeight(fm.lineSpacing() * title_rows + 2 * title_->frameWidth() + 8);
  title_->setMinimumWidth(fm.averageCharWidth() * 50);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Title (one line each):"), title_);
  form->addRow(QStringLiteral("&X axis label:"), x_label_);
  form->addRow(QStringLiteral("&Y axis label:"), y_label_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

figure_texts FigureDialog::chosen() const {
  QString title = title_->toPlainText();
  while (title.endsWith(QChar('\n')))
    title.chop(1);
  return {title, x_label_->text(), y_label_->text()};
}

}  // namespace inhibra::toolkit
