#include "toolkit/window_system.hpp"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "toolkit/qt_text.hpp"
#include "toolkit/toolkit_window.hpp"

// The window system's windows and screen: screen sizes, windows and their drawing
// state, the wake-up events and the program's end. Menus and controls are in
// window_controls.cpp, dialogs and plot windows in window_dialogs.cpp.

namespace inhibra::toolkit {

namespace {

// Marks colour codes made by creatergb, apart from the sixteen classic colours.
constexpr int rgb_flag = 0x1000000;

QColor color_of(int code) {
  if ((code & rgb_flag) != 0) return QColor((code >> 16) & 0xff, (code >> 8) & 0xff, code & 0xff);
  static const QColor classic[16] = {
      QColor(0, 0, 0),     QColor(0, 0, 168),    QColor(0, 168, 0),    QColor(0, 168, 168),
      QColor(168, 0, 0),   QColor(168, 0, 168),  QColor(168, 84, 0),   QColor(168, 168, 168),
      QColor(84, 84, 84),  QColor(84, 84, 252),  QColor(84, 252, 84),  QColor(84, 252, 252),
      QColor(252, 84, 84), QColor(252, 84, 252), QColor(252, 252, 84), QColor(255, 255, 255)};
  return classic[std::clamp(code, 0, 15)];
}

// Moves (and if need be shrinks) a window so that it lies inside its screen's
// available area, frame and title bar included.
void keep_inside_screen(QWidget* w) {
  const QScreen* screen = w->screen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  const QSize frame_extra = w->frameGeometry().size() - w->size();
  const QSize most = area.size() - frame_extra;
  if (w->width() > most.width() || w->height() > most.height()) {
    w->resize(std::min(w->width(), most.width()), std::min(w->height(), most.height()));
  }
  const QRect frame = w->frameGeometry();
  const int x = std::max(area.left(), std::min(frame.x(), area.right() + 1 - frame.width()));
  const int y = std::max(area.top(), std::min(frame.y(), area.bottom() + 1 - frame.height()));
  if (x != frame.x() || y != frame.y()) w->move(x, y);
}

// Once shown, and again when a window manager has added its frame (which it does
// after a moment on X11).
void keep_inside_screen_once_framed(QWidget* w) {
  keep_inside_screen(w);
  constexpr int frame_wait_ms = 250;
  QTimer::singleShot(frame_wait_ms, w, [w] { keep_inside_screen(w); });
}

}  // namespace

window_system::window_system(std::function<void()> end_program)
    : end_program_(std::move(end_program)) {}

window_system::~window_system() {
  closing_ = true;
  thread_.shut_down();
  for (auto& [id, w] : windows_) {
    (void)id;
    if (w.isNull()) continue;
    w->onClosed = nullptr;
    delete w.data();
  }
  for (const QPointer<QWidget>& p : plot_windows_) {
    if (p.isNull()) continue;
    if (auto* pw = qobject_cast<PlotWindow*>(p.data())) pw->onClosed = nullptr;
    delete p.data();
  }
}

// --- screen ---------------------------------------------------------------------------

void window_system::setapplicationdpiaware() {
  // Qt scales for high-density screens by itself; nothing to switch on.
}

int window_system::getmaxwidth() {
  return thread_.call([] {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s != nullptr ? s->availableGeometry().width() : 1024;
  });
}

int window_system::getmaxheight() {
  return thread_.call([] {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s != nullptr ? s->availableGeometry().height() : 768;
  });
}

int window_system::scaledpi(int value) {
  const double dpi = thread_.call([] {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s != nullptr ? s->logicalDotsPerInchY() : 96.0;
  });
  return static_cast<int>(std::lround(value * (dpi > 0 ? dpi : 96.0) / 96.0));
}

// --- windows --------------------------------------------------------------------------

ToolkitWindow* window_system::window(int id) const {
  const auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second.data();
}

ToolkitWindow* window_system::current() const {
  return window(current_.load());
}

QWidget* window_system::widget(int id) const {
  return window(id);
}

QWidget* window_system::dialog_parent() const {
  ToolkitWindow* w = current();
  if (w != nullptr && w->isVisible()) return w;
  for (const auto& [id, win] : windows_) {
    (void)id;
    if (win && win->isVisible()) return win;
  }
  return nullptr;
}

std::shared_ptr<wake_event> window_system::event_of(int id) const {
  std::lock_guard lock(events_mutex_);
  const auto it = events_.find(id);
  return it == events_.end() ? nullptr : it->second;
}

int window_system::initwindow(int width, int height, std::string_view title, int left, int top,
                              bool /*double_buffer*/, bool closeflag) {
  if (closing()) return -1;
  const int id = thread_.call(
      [this, width, height, title = std::string(title), left, top, closeflag]() -> int {
        if (closing()) return -1;
        const int id = next_window_++;
        auto* w = new ToolkitWindow(id, QSize(std::max(1, width), std::max(1, height)), closeflag);
        w->setWindowTitle(qt_text(title));
        w->font = QApplication::font();
        w->onClosed = [this](ToolkitWindow* closed) { window_closed(closed); };
        if (left >= 0 && top >= 0) w->move(left, top);
        windows_[id] = w;
        {
          std::lock_guard lock(events_mutex_);
          events_[id] = std::make_shared<wake_event>();
        }
        w->canvas()->clearPage(w->background);
        w->show();
        keep_inside_screen_once_framed(w);
        return id;
      });
  if (id >= 0) current_ = id;
  return id;
}

void window_system::forget_window(int id) {
  for (auto it = menus_.begin(); it != menus_.end();) {
    if (menu_window_[it->first] == id) {
      menu_window_.erase(it->first);
      it = menus_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto* table : {&text_boxes_, &check_boxes_, &buttons_}) {
    std::erase_if(*table, [id](const auto& entry) { return entry.second.window == id; });
  }
  windows_.erase(id);
  std::shared_ptr<wake_event> ev;
  {
    std::lock_guard lock(events_mutex_);
    const auto it = events_.find(id);
    if (it != events_.end()) {
      ev = it->second;
      events_.erase(it);
    }
  }
  if (ev) ev->set();  // a thread still waiting on the window goes on
}

void window_system::closewindow(int id) {
  int expected = id;
  current_.compare_exchange_strong(expected, -1);
  thread_.call([this, id] {
    ToolkitWindow* w = window(id);
    if (w == nullptr) return;
    forget_window(id);
    w->closeForProgram();
    w->deleteLater();
  });
}

void window_system::window_closed(ToolkitWindow* w) {
  {
    std::lock_guard lock(events_mutex_);
    closed_geometry_[w->id()] = w->saveGeometry().toBase64().toStdString();
  }
  if (auto ev = event_of(w->id())) ev->set();
  if (w->endsProgram()) shut_down();
}

void window_system::setcurrentwindow(int id) {
  current_ = id;
}

int window_system::getcurrentwindow() const {
  return current_.load();
}

void window_system::enablewindow(int id, bool flag) {
  thread_.call([this, id, flag] {
    if (ToolkitWindow* w = window(id)) w->setEnabled(flag);
  });
}

void window_system::setwindowtitle(std::string_view title) {
  setwindowtitle(current_.load(), title);
}

void window_system::setwindowtitle(int id, std::string_view title) {
  thread_.call([this, id, title = std::string(title)] {
    if (ToolkitWindow* w = window(id)) w->setWindowTitle(qt_text(title));
  });
}

std::string window_system::getwindowtitle(int id) {
  return thread_.call([this, id]() -> std::string {
    ToolkitWindow* w = window(id);
    return w != nullptr ? w->windowTitle().toStdString() : std::string();
  });
}

std::string window_system::getwindowgeometry(int id) {
  const std::string open = thread_.call([this, id]() -> std::string {
    ToolkitWindow* w = window(id);
    return w != nullptr ? w->saveGeometry().toBase64().toStdString() : std::string();
  });
  if (!open.empty()) return open;
  std::lock_guard lock(events_mutex_);
  const auto it = closed_geometry_.find(id);
  return it != closed_geometry_.end() ? it->second : std::string();
}

void window_system::setwindowgeometry(int id, std::string_view geometry) {
  thread_.call([this, id, geometry = std::string(geometry)] {
    ToolkitWindow* w = window(id);
    if (w == nullptr) return;
    const auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(geometry),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (decoded && w->restoreGeometry(*decoded)) keep_inside_screen_once_framed(w);
  });
}

void window_system::setwindowdropcallback(std::function<void(const std::string&)> handler) {
  const int id = current_.load();
  thread_.call([this, id, handler = std::move(handler)] {
    if (ToolkitWindow* w = window(id)) w->setFileDropHandler(handler);
  });
}

void window_system::setwindowsystemclosecallback(std::function<int()> handler) {
  const int id = current_.load();
  thread_.call([this, id, handler = std::move(handler)] {
    if (ToolkitWindow* w = window(id)) w->systemClose = handler;
  });
}

void window_system::setwindowinputcallback(std::function<void()> handler) {
  const int id = current_.load();
  thread_.call([this, id, handler = std::move(handler)] {
    if (ToolkitWindow* w = window(id)) {
      w->canvas()->onInput = handler;
      w->canvas()->setFocus();
    }
  });
}

int window_system::getactivepage() {
  const int id = current_.load();
  return thread_.call([this, id] {
    ToolkitWindow* w = window(id);
    return w != nullptr ? w->activePage : 0;
  });
}

void window_system::setactivepage(int page) {
  const int id = current_.load();
  thread_.call([this, id, page] {
    if (ToolkitWindow* w = window(id)) w->activePage = page;
  });
}

void window_system::refreshall() {
  if (!drawn_.exchange(false)) return;
  const int id = current_.load();
  thread_.call([this, id] {
    if (ToolkitWindow* w = window(id)) w->update();
  });
}

// --- drawing state --------------------------------------------------------------------

void window_system::setcolor(int color) {
  const int id = current_.load();
  thread_.call([this, id, color] {
    if (ToolkitWindow* w = window(id)) w->color = color_of(color);
  });
}

void window_system::setbkcolor(int color) {
  const int id = current_.load();
  thread_.call([this, id, color] {
    if (ToolkitWindow* w = window(id)) w->background = color_of(color);
  });
}

int window_system::creatergb(int red, int green, int blue) {
  return rgb_flag | (std::clamp(red, 0, 255) << 16) | (std::clamp(green, 0, 255) << 8) |
         std::clamp(blue, 0, 255);
}

void window_system::clearviewport() {
  const int id = current_.load();
  thread_.call([this, id] {
    if (ToolkitWindow* w = window(id)) w->canvas()->clearPage(w->background);
  });
  drawn_ = true;
}

// Text is always drawn horizontally; `direction` is accepted for completeness.
void window_system::settextstyle(int font, int /*direction*/, int size) {
  const int id = current_.load();
  thread_.call([this, id, font, size] {
    if (ToolkitWindow* w = window(id)) w->font = font_for(font, size);
  });
}

void window_system::settextjustify(int horizontal, int vertical) {
  const int id = current_.load();
  thread_.call([this, id, horizontal, vertical] {
    if (ToolkitWindow* w = window(id)) {
      w->horizontalJustify = horizontal;
      w->verticalJustify = vertical;
    }
  });
}

void window_system::outtextxy(int x, int y, std::string_view text) {
  const int id = current_.load();
  thread_.call([this, id, x, y, text = std::string(text)] {
    ToolkitWindow* w = window(id);
    if (w == nullptr) return;
    QImage& page = w->canvas()->page(w->background);
    QPainter p(&page);
    p.setFont(w->font);
    p.setPen(w->color);
    const QFontMetrics fm(w->font);
    const QString line = qt_text(text);
    const int width = fm.horizontalAdvance(line);
    int left = x;
    if (w->horizontalJustify == center_text) left = x - width / 2;
    if (w->horizontalJustify == right_text) left = x - width;
    int top = y;
    if (w->verticalJustify == 1) top = y - fm.height() / 2;
    if (w->verticalJustify == bottom_text) top = y - fm.height();
    p.drawText(left, top + fm.ascent(), line);
    w->canvas()->update();
  });
  drawn_ = true;
}

int window_system::textwidth(std::string_view text) {
  const int id = current_.load();
  return thread_.call([this, id, text = std::string(text)] {
    ToolkitWindow* w = window(id);
    return QFontMetrics(w != nullptr ? w->font : QApplication::font())
        .horizontalAdvance(qt_text(text));
  });
}

int window_system::textheight(std::string_view /*text*/) {
  const int id = current_.load();
  return thread_.call([this, id] {
    ToolkitWindow* w = window(id);
    return QFontMetrics(w != nullptr ? w->font : QApplication::font()).height();
  });
}

int window_system::textwidth(int font, int size, std::string_view text) {
  return thread_.call([font, size, text = std::string(text)] {
    return QFontMetrics(font_for(font, size)).horizontalAdvance(qt_text(text));
  });
}

int window_system::textheight(int font, int size) {
  return thread_.call([font, size] { return QFontMetrics(font_for(font, size)).height(); });
}

// --- wake-up event --------------------------------------------------------------------

void window_system::startidle(int milliseconds) {
  if (closing()) return;
  if (auto ev = event_of(current_.load())) {
    ev->wait_for(milliseconds);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(0, milliseconds)));
  }
}

void window_system::stopidle() {
  stopidle(current_.load());
}

void window_system::stopidle(int id) {
  if (auto ev = event_of(id)) ev->set();
}

void window_system::loop() {
  if (closing()) return;
  if (auto ev = event_of(current_.load())) ev->wait();
}

// --- program end ----------------------------------------------------------------------

void window_system::close_everything() {
  // Dialogs still open are answered "cancel"; their callers see that and go on.
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(top); dialog != nullptr && dialog->isVisible()) {
      dialog->reject();
    }
  }
  for (const QPointer<QWidget>& p : std::vector<QPointer<QWidget>>(plot_windows_)) {
    if (!p.isNull()) p->close();
  }
  for (const auto& [id, w] : std::map<int, QPointer<ToolkitWindow>>(windows_)) {
    (void)id;
    if (!w.isNull()) w->closeForProgram();
  }
}

void window_system::shut_down() {
  if (closing_.exchange(true)) return;
  {
    std::lock_guard lock(events_mutex_);
    for (auto& [id, ev] : events_) {
      (void)id;
      ev->cancel();
    }
    for (auto& ev : plot_events_)
      ev->cancel();
  }
  thread_.shut_down();
  if (thread_.is_window_thread()) {
    close_everything();
    if (end_program_) end_program_();
  }
}

}  // namespace inhibra::toolkit
