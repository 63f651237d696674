#include "toolkit/toolkit_window.hpp"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <QCloseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

namespace inhibra::toolkit {

ToolkitCanvas::ToolkitCanvas(QSize nominal, QWidget* parent) : QWidget(parent), nominal_(nominal) {
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(1, 1);
}

QImage& ToolkitCanvas::page(const QColor& background) {
  const QSize want = size().expandedTo(nominal_).expandedTo(QSize(1, 1));
  if (page_.size() != want) {
    QImage grown(want, QImage::Format_RGB32);
    grown.fill(background);
    if (!page_.isNull()) {
      QPainter p(&grown);
      p.drawImage(0, 0, page_);
    }
    page_ = std::move(grown);
  }
  return page_;
}

void ToolkitCanvas::clearPage(const QColor& background) {
  fill_ = background;
  page(background).fill(background);
  update();
}

void ToolkitCanvas::place(QWidget* child, const QRect& rect, bool anchored) {
  child->setParent(this);
  child->setGeometry(rect);
  if (anchored) {
    anchored_.push_back({child, rect});
    layoutAnchored();
  }
}

void ToolkitCanvas::layoutAnchored() {
  for (const auto& a : anchored_) {
    if (a.widget.isNull()) continue;
    const int right = nominal_.width() - (a.rect.x() + a.rect.width());
    const int bottom = nominal_.height() - (a.rect.y() + a.rect.height());
    const int w = std::max(1, width() - a.rect.x() - right);
    const int h = std::max(1, height() - a.rect.y() - bottom);
    a.widget->setGeometry(a.rect.x(), a.rect.y(), w, h);
  }
}

void ToolkitCanvas::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (page_.isNull()) {
    p.fillRect(rect(), fill_);
    return;
  }
  p.drawImage(0, 0, page_);
}

void ToolkitCanvas::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!page_.isNull()) page(fill_);
  layoutAnchored();
}

void ToolkitCanvas::mousePressEvent(QMouseEvent* event) {
  if (onInput) onInput();
  QWidget::mousePressEvent(event);
}

void ToolkitCanvas::keyPressEvent(QKeyEvent* event) {
  if (onInput) onInput();
  QWidget::keyPressEvent(event);
}

ToolkitWindow::ToolkitWindow(int id, QSize client, bool closeflag)
    : id_(id), closeflag_(closeflag), canvas_(new ToolkitCanvas(client, this)) {
  setCentralWidget(canvas_);
  resize(client);
}

void ToolkitWindow::closeForProgram() {
  programClosing_ = true;
  close();
}

void ToolkitWindow::closeEvent(QCloseEvent* event) {
  if (!programClosing_ && systemClose && systemClose() == 0) {
    event->ignore();
    return;
  }
  event->accept();
  if (closed_) return;
  closed_ = true;
  if (onClosed) onClosed(this);
}

namespace {

// The first local file among the dropped items; empty when there is none.
QString first_local_file(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls()) return {};
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

}  // namespace

void ToolkitWindow::setFileDropHandler(std::function<void(const std::string&)> handler) {
  fileDropped_ = std::move(handler);
  canvas_->setAcceptDrops(true);
  takeFileDropsOf(canvas_);
}

void ToolkitWindow::takeFileDropsOf(QWidget* target) {
  target->installEventFilter(this);
}

bool ToolkitWindow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (!fileDropped_ ||
      (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)) {
    return QMainWindow::eventFilter(watched, event);
  }
  auto* drop = static_cast<QDropEvent*>(event);
  const QString file = first_local_file(drop->mimeData());
  if (file.isEmpty()) return QMainWindow::eventFilter(watched, event);
  drop->acceptProposedAction();
  if (type == QEvent::Drop) fileDropped_(file.toStdString());
  return true;
}

}  // namespace inhibra::toolkit
