#include "toolkit/progress_window.hpp"

#include <algorithm>

#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace inhibra::toolkit {

ProgressWindow::ProgressWindow(const QString& title, const QString& doing, int maximum,
                               std::function<void()> on_stop, QWidget* parent)
    : QDialog(parent), on_stop_(std::move(on_stop)) {
  setWindowTitle(title);
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  doing_ = new QLabel(doing, this);
  doing_->setWordWrap(true);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, std::max(1, maximum));
  bar_->setValue(0);
  text_ = new QPlainTextEdit(this);
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->hide();
  button_ = new QPushButton(tr("Stop"), this);
  button_->setAutoDefault(false);
  connect(button_, &QPushButton::clicked, this, [this] {
    if (finished_) {
      close();
    } else {
      askStop();
    }
  });
  layout->addWidget(doing_);
  layout->addWidget(bar_);
  layout->addWidget(text_, 1);
  layout->addWidget(button_, 0, Qt::AlignRight);
  resize(480, sizeHint().height());
}

void ProgressWindow::setValue(int value) {
  bar_->setValue(std::clamp(value, bar_->minimum(), bar_->maximum()));
}

void ProgressWindow::finish(const QString& doing, const QString& text) {
  finished_ = true;
  doing_->setText(doing);
  text_->setPlainText(text);
  text_->show();
  button_->setText(tr("Close"));
  button_->setEnabled(true);
  // Wide enough for the text's lines, and tall enough for most of them, within the
  // screen the window is on.
  const QFontMetrics metrics(text_->font());
  int widest = 0;
  int lines = 0;
  for (const QString& line : text.split('\n')) {
    widest = std::max(widest, metrics.horizontalAdvance(line));
    ++lines;
  }
  QSize wanted(widest + 60, height() + metrics.lineSpacing() * (lines + 2));
  const QScreen* s = screen();
  if (s == nullptr) {
    resize(wanted.expandedTo(size()));
    return;
  }
  const QRect room = s->availableGeometry();
  resize(wanted.boundedTo(room.size() * 0.9).expandedTo(size()));
  // Grown downwards and to the right: moved back inside the screen, frame included.
  const QRect frame = frameGeometry();
  const int left = std::clamp(frame.left(), room.left(),
                              std::max(room.left(), room.right() + 1 - frame.width()));
  const int top =
      std::clamp(frame.top(), room.top(), std::max(room.top(), room.bottom() + 1 - frame.height()));
  move(left, top);
}

void ProgressWindow::askStop() {
  if (stop_asked_ || finished_) return;
  stop_asked_ = true;
  button_->setEnabled(false);
  doing_->setText(doing_->text() + tr(" Stopping..."));
  if (on_stop_) on_stop_();
}

// Closing ends the work and the window at once (a dialog's own close would only
// reject, which here asks for the stop and keeps the window).
void ProgressWindow::closeEvent(QCloseEvent* event) {
  askStop();
  event->accept();
}

void ProgressWindow::reject() {
  if (finished_) {
    QDialog::reject();
  } else {
    askStop();
  }
}

}  // namespace inhibra::toolkit
