#include "toolkit/window_system.hpp"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionMenuItem>
#include <QTextCursor>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include "core/frontend.hpp"
#include "toolkit/toolkit_window.hpp"

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

QFont font_for(int font, int size) {
  QFont f = font == fixed_pitch_font ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
            : font == gui_font       ? QFontDatabase::systemFont(QFontDatabase::GeneralFont)
                                     : QApplication::font();
  if (size > 0) f.setPixelSize(size);
  return f;
}

QFont fixed_font_like(const QFont& f) {
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  if (f.pixelSize() > 0) fixed.setPixelSize(f.pixelSize());
  return fixed;
}

QString qt_text(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Text for a widget: CR LF (and a lone CR) become the widget's line feed.
QString widget_text(std::string_view s) {
  QString t = qt_text(s);
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  t.replace(QChar('\r'), QChar('\n'));
  return t;
}

// Text from a widget: line breaks become CR LF.
std::string program_text(const QString& s) {
  QString t = s;
  t.replace(QChar('\n'), QStringLiteral("\r\n"));
  return t.toStdString();
}

// Character position in a widget's text of byte `position` of its CR LF form.
int widget_position(const QString& text, int position) {
  int bytes = 0;
  int i = 0;
  for (; i < text.size() && bytes < position; ++i) {
    const QChar c = text.at(i);
    bytes += c == QChar('\n') ? 2 : QString(c).toUtf8().size();
  }
  return i;
}

// Width the bar needs to show every entry without the overflow arrow.
int menu_bar_width(QMenuBar* bar) {
  const QFontMetrics fm(bar->font());
  QStyle* style = bar->style();
  const int spacing = style->pixelMetric(QStyle::PM_MenuBarItemSpacing, nullptr, bar);
  const int margin = style->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, bar) +
                     style->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, bar);
  int width = 2 * margin;
  const QList<QAction*> actions = bar->actions();
  for (QAction* a : actions) {
    QStyleOptionMenuItem option;
    option.initFrom(bar);
    option.menuItemType = QStyleOptionMenuItem::Normal;
    option.text = a->text();
    const QSize text = fm.size(Qt::TextShowMnemonic, a->text());
    width += style->sizeFromContents(QStyle::CT_MenuBarItem, &option, text, bar).width();
  }
  if (!actions.isEmpty()) width += spacing * static_cast<int>(actions.size() - 1);
  return width + 8;  // a little slack for the frame
}

// A window is made wide enough for its menu bar, as far as the screen allows.
void fit_menu_bar(QMainWindow* w, QMenuBar* bar) {
  const QScreen* screen = w->screen();
  const int most = screen != nullptr ? screen->availableGeometry().width() : w->width();
  const int want = std::min(menu_bar_width(bar), most);
  if (w->width() < want) w->resize(want, w->height());
}

QString filter_text(std::string_view filter_name, std::string_view pattern) {
  QString patterns = qt_text(pattern);
  const QString upper = patterns.toUpper();
  if (upper != patterns) patterns += QChar(' ') + upper;  // names keep their case on disk
  return qt_text(filter_name) + QStringLiteral(" (") + patterns + QChar(')');
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

// --- menus ------------------------------------------------------------------------------

int window_system::addmenu(std::string_view title, int parent) {
  const int id = current_.load();
  return thread_.call([this, id, parent, title = std::string(title)]() -> int {
    ToolkitWindow* w = window(id);
    if (w == nullptr) return -1;
    QObject* made = nullptr;
    if (parent == -1) {
      QMenuBar* bar = w->menuBar();
      bar->setNativeMenuBar(false);  // commands sit on the bar, in the window
      made = bar;
    } else {
      const auto it = menus_.find(parent);
      if (it == menus_.end()) return -1;
      if (auto* bar = qobject_cast<QMenuBar*>(it->second)) {
        made = bar->addMenu(qt_text(title));
        fit_menu_bar(w, bar);
      } else if (auto* menu = qobject_cast<QMenu*>(it->second)) {
        made = menu->addMenu(qt_text(title));
      } else {
        return -1;
      }
    }
    const int menu_id = next_menu_++;
    menus_[menu_id] = made;
    menu_window_[menu_id] = id;
    return menu_id;
  });
}

int window_system::addmenuitem(std::string_view title, int parent, std::function<void()> callback) {
  return thread_.call([this, parent, title = std::string(title), callback]() -> int {
    const auto it = menus_.find(parent);
    if (it == menus_.end()) return -1;
    QAction* action = nullptr;
    if (auto* bar = qobject_cast<QMenuBar*>(it->second)) {
      action = bar->addAction(qt_text(title));
      if (auto* w = qobject_cast<QMainWindow*>(bar->parentWidget())) fit_menu_bar(w, bar);
    } else if (auto* menu = qobject_cast<QMenu*>(it->second)) {
      action = menu->addAction(qt_text(title));
    } else {
      return -1;
    }
    QObject::connect(action, &QAction::triggered, action, [callback] {
      if (callback) callback();
    });
    const int menu_id = next_menu_++;
    menus_[menu_id] = action;
    menu_window_[menu_id] = menu_window_[parent];
    return menu_id;
  });
}

void window_system::enablemenuitem(int id, bool flag) {
  thread_.call([this, id, flag] {
    const auto it = menus_.find(id);
    if (it == menus_.end()) return;
    if (auto* action = qobject_cast<QAction*>(it->second)) {
      action->setEnabled(flag);
    } else if (auto* menu = qobject_cast<QMenu*>(it->second)) {
      menu->menuAction()->setEnabled(flag);
    } else if (auto* bar = qobject_cast<QMenuBar*>(it->second)) {
      bar->setEnabled(flag);
    }
  });
}

// --- controls ---------------------------------------------------------------------------

int window_system::store_control(std::map<int, control>& table, control c) {
  int id = 0;  // the lowest free id: the first controls of a new window count from 0
  while (table.count(id) != 0)
    ++id;
  table[id] = c;
  return id;
}

int window_system::createmultilinetextbox(int left, int top, int width, int height, bool wordwrap) {
  const int id = current_.load();
  return thread_.call([this, id, left, top, width, height, wordwrap]() -> int {
    ToolkitWindow* w = window(id);
    if (w == nullptr) return -1;
    auto* box = new QPlainTextEdit;
    box->setLineWrapMode(wordwrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    box->setFont(w->font);
    w->canvas()->place(box, QRect(left, top, width, height), true);
    box->show();
    return store_control(text_boxes_, {id, box});
  });
}

QPlainTextEdit* window_system::text_box(int id) const {
  const auto it = text_boxes_.find(id);
  return it == text_boxes_.end() ? nullptr : qobject_cast<QPlainTextEdit*>(it->second.widget);
}

void window_system::enabletextbox(int id, bool flag) {
  thread_.call([this, id, flag] {
    QPlainTextEdit* box = text_box(id);
    if (box == nullptr) return;
    box->setEnabled(flag);
  });
}

void window_system::settextboxfocused(int id) {
  thread_.call([this, id] {
    QPlainTextEdit* box = text_box(id);
    if (box == nullptr) return;
    box->setFocus();
  });
}

void window_system::settextboxvisible(int id, bool flag) {
  thread_.call([this, id, flag] {
    QPlainTextEdit* box = text_box(id);
    if (box == nullptr) return;
    box->setVisible(flag);
  });
}

int window_system::gettextboxlength(int id) {
  return static_cast<int>(gettextboxcontents(id).size());
}

std::string window_system::gettextboxcontents(int id) {
  return thread_.call([this, id]() -> std::string {
    QPlainTextEdit* box = text_box(id);
    return box != nullptr ? program_text(box->toPlainText()) : std::string();
  });
}

void window_system::settextboxcontents(int id, std::string_view text) {
  thread_.call([this, id, text = std::string(text)] {
    QPlainTextEdit* box = text_box(id);
    if (box == nullptr) return;
    box->setPlainText(widget_text(text));
  });
}

void window_system::inserttextboxtext(int id, std::string_view text) {
  thread_.call([this, id, text = std::string(text)] {
    QPlainTextEdit* box = text_box(id);
    if (box == nullptr) return;
    box->moveCursor(QTextCursor::End);
    box->insertPlainText(widget_text(text));
  });
}

void window_system::settextboxcursorposition(int id, int position) {
  thread_.call([this, id, position] {
    QPlainTextEdit* box = text_box(id);
    if (box == nullptr) return;
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(widget_position(box->toPlainText(), std::max(0, position)));
    box->setTextCursor(cursor);
    box->ensureCursorVisible();
  });
}

int window_system::createcheckbox_nohandler(int x, int y, int width, int height,
                                            std::string_view label) {
  const int id = current_.load();
  return thread_.call([this, id, x, y, width, height, label = std::string(label)]() -> int {
    ToolkitWindow* w = window(id);
    if (w == nullptr) return -1;
    auto* box = new QCheckBox(qt_text(label));
    box->setFont(fixed_font_like(w->font));
    w->canvas()->place(box, QRect(x, y, width, height), false);
    box->show();
    return store_control(check_boxes_, {id, box});
  });
}

int window_system::checkboxwidth(std::string_view label, int size) {
  return thread_.call([size, label = std::string(label)] {
    QCheckBox probe(qt_text(label));
    probe.setFont(fixed_font_like(font_for(fixed_pitch_font, size)));
    return probe.sizeHint().width();
  });
}

int window_system::buttonwidth(std::string_view label, int size) {
  return thread_.call([size, label = std::string(label)] {
    QPushButton probe(qt_text(label));
    probe.setFont(font_for(gui_font, size));
    return probe.sizeHint().width();
  });
}

bool window_system::checkboxischecked(int id) {
  return thread_.call([this, id] {
    const auto it = check_boxes_.find(id);
    auto* box = it == check_boxes_.end() ? nullptr : qobject_cast<QCheckBox*>(it->second.widget);
    return box != nullptr && box->isChecked();
  });
}

void window_system::checkboxsetchecked(int id, bool flag) {
  thread_.call([this, id, flag] {
    const auto it = check_boxes_.find(id);
    if (it == check_boxes_.end()) return;
    if (auto* box = qobject_cast<QCheckBox*>(it->second.widget)) box->setChecked(flag);
  });
}

void window_system::setcheckboxvisible(int id, bool flag) {
  thread_.call([this, id, flag] {
    const auto it = check_boxes_.find(id);
    if (it != check_boxes_.end() && it->second.widget != nullptr)
      it->second.widget->setVisible(flag);
  });
}

int window_system::createbutton(int x, int y, int width, int height, std::string_view label,
                                std::function<void()> callback) {
  const int id = current_.load();
  return thread_.call(
      [this, id, x, y, width, height, label = std::string(label), callback]() -> int {
        ToolkitWindow* w = window(id);
        if (w == nullptr) return -1;
        auto* button = new QPushButton(qt_text(label));
        button->setFont(w->font);
        QObject::connect(button, &QPushButton::clicked, button, [callback] {
          if (callback) callback();
        });
        w->canvas()->place(button, QRect(x, y, width, height), false);
        button->show();
        return store_control(buttons_, {id, button});
      });
}

// --- dialogs ----------------------------------------------------------------------------

void window_system::dlgmessage(int kind, std::string_view text) {
  if (closing()) return;
  thread_.call([this, kind, text = std::string(text)] {
    if (closing()) return;
    const core::box_kind k = core::box_kind_of(kind);
    const QMessageBox::Icon icon = k == core::box_kind::information ? QMessageBox::Information
                                   : k == core::box_kind::warning   ? QMessageBox::Warning
                                   : k == core::box_kind::error     ? QMessageBox::Critical
                                                                    : QMessageBox::NoIcon;
    const std::string_view title = core::box_title(k);
    QMessageBox box(icon, qt_text(title), widget_text(text), QMessageBox::Ok, dialog_parent());
    box.setTextFormat(Qt::PlainText);
    box.exec();
  });
}

namespace {

// Runs a file dialog for `name` (a suggested file, or a folder followed by a pattern).
std::optional<std::string> run_file_dialog(QWidget* parent, bool save, const std::string& name,
                                           const QString& filter, const QString& title,
                                           const QString& pattern) {
  QFileDialog dialog(parent, title);
  dialog.setNameFilter(filter);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (save && pattern.startsWith(QStringLiteral("*."))) dialog.setDefaultSuffix(pattern.mid(2));
  const QFileInfo suggested(QString::fromStdString(name));
  if (suggested.fileName().contains(QChar('*')) || name.empty()) {
    dialog.setDirectory(name.empty() ? QDir::currentPath() : suggested.absolutePath());
  } else {
    dialog.setDirectory(suggested.absolutePath());
    dialog.selectFile(suggested.fileName());
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(chosen.front()).toStdString();
}

}  // namespace

int window_system::dlgopenfile(std::string& name, std::string_view filter_name,
                               std::string_view pattern, std::string_view title) {
  if (closing()) return 0;
  const auto chosen = thread_.call([this, name, filter = filter_text(filter_name, pattern),
                                    title = qt_text(title), pattern = qt_text(pattern)] {
    return closing() ? std::nullopt
                     : run_file_dialog(dialog_parent(), false, name, filter, title, pattern);
  });
  if (!chosen) return 0;
  name = *chosen;
  return 1;
}

int window_system::dlgsavefile(std::string& name, std::string_view filter_name,
                               std::string_view pattern, std::string_view title) {
  if (closing()) return 0;
  const auto chosen = thread_.call([this, name, filter = filter_text(filter_name, pattern),
                                    title = qt_text(title), pattern = qt_text(pattern)] {
    return closing() ? std::nullopt
                     : run_file_dialog(dialog_parent(), true, name, filter, title, pattern);
  });
  if (!chosen) return 0;
  name = *chosen;
  return 1;
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

// --- plot windows -----------------------------------------------------------------------

void window_system::show_plot_window(std::string_view title, plot_drawer draw) {
  if (closing()) return;
  QString shown = qt_text(title);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  shown.replace(QChar('\n'), QChar(' '));
  shown.replace(QChar('\r'), QChar(' '));

  auto ev = std::make_shared<wake_event>();
  auto closed = std::make_shared<std::atomic<bool>>(false);
  {
    std::lock_guard lock(events_mutex_);
    plot_events_.push_back(ev);
  }
  const auto window = thread_.call([this, shown, draw, ev, closed]() -> QPointer<PlotWindow> {
    if (closing()) return nullptr;
    auto* pw = new PlotWindow(shown, draw);
    pw->onClosed = [ev, closed] {
      closed->store(true);
      ev->set();
    };
    plot_windows_.push_back(pw);
    pw->show();
    return pw;
  });
  if (window.isNull() || closing()) ev->cancel();

  if (thread_.is_window_thread()) {
    // Called from a callback: handle events here until the window is closed.
    while (!closed->load() && !closing() && !window.isNull()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents, 50);
    }
  } else {
    while (!closed->load() && !ev->cancelled())
      ev->wait();
  }

  thread_.call([this, window] {
    if (window.isNull()) return;
    std::erase_if(plot_windows_, [&](const QPointer<QWidget>& p) {
      return p.isNull() || p.data() == window.data();
    });
    window->onClosed = nullptr;
    window->close();
    window->deleteLater();
  });
  std::lock_guard lock(events_mutex_);
  std::erase(plot_events_, ev);
}

int window_system::open_plot_window(std::string_view title, plot_drawer draw) {
  if (closing()) return 0;
  QString shown = qt_text(title);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  shown.replace(QChar('\n'), QChar(' '));
  shown.replace(QChar('\r'), QChar(' '));
  return thread_.call([this, shown, draw]() -> int {
    if (closing()) return 0;
    auto* pw = new PlotWindow(shown, draw);
    pw->setAttribute(Qt::WA_DeleteOnClose);
    plot_windows_.push_back(pw);
    const int id = next_open_plot_++;
    open_plots_[id] = pw;
    pw->show();
    return id;
  });
}

void window_system::close_plot_window(int id) {
  if (closing()) return;
  thread_.call([this, id] {
    const auto it = open_plots_.find(id);
    if (it == open_plots_.end()) return;
    const QPointer<QWidget> window = it->second;
    open_plots_.erase(it);
    std::erase_if(plot_windows_, [&](const QPointer<QWidget>& p) {
      return p.isNull() || p.data() == window.data();
    });
    if (!window.isNull()) window->close();
  });
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
