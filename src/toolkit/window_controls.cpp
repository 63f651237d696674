// The window system's menus and controls: menu bars, drop-downs and their entries,
// the multi-line text box, check boxes and buttons.
#include "toolkit/window_system.hpp"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionMenuItem>
#include <QTextCursor>
#include <QToolBar>
#include <algorithm>

#include "toolkit/qt_text.hpp"
#include "toolkit/toolkit_window.hpp"

namespace inhibra::toolkit {

namespace {

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

// The same for a tool bar: wide enough that no entry goes behind its extension arrow.
void fit_tool_bar(QMainWindow* w, QToolBar* bar) {
  const QScreen* screen = w->screen();
  const int most = screen != nullptr ? screen->availableGeometry().width() : w->width();
  const QMargins frame = w->contentsMargins();
  bar->layout()->activate();
  const int want = std::min(bar->sizeHint().width() + frame.left() + frame.right(), most);
  if (w->width() < want) w->resize(want, w->height());
}

}  // namespace

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

int window_system::addtoolbar(std::string_view title) {
  const int id = current_.load();
  return thread_.call([this, id, title = std::string(title)]() -> int {
    ToolkitWindow* w = window(id);
    if (w == nullptr) return -1;
    QToolBar* bar = w->addToolBar(qt_text(title));
    bar->setObjectName(qt_text(title));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // Its commands are the program's one-click commands: the bar cannot be hidden.
    bar->toggleViewAction()->setVisible(false);
    bar->toggleViewAction()->setEnabled(false);
    const int menu_id = next_menu_++;
    menus_[menu_id] = bar;
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
    } else if (auto* tools = qobject_cast<QToolBar*>(it->second)) {
      action = tools->addAction(qt_text(title));
      // A tool button shows the action's icon text, which would drop a trailing "...".
      action->setIconText(qt_text(title));
      if (ToolkitWindow* w = window(menu_window_[parent])) fit_tool_bar(w, tools);
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

void window_system::addmenuseparator(int parent) {
  thread_.call([this, parent] {
    const auto it = menus_.find(parent);
    if (it == menus_.end()) return;
    if (auto* menu = qobject_cast<QMenu*>(it->second)) {
      menu->addSeparator();
    } else if (auto* tools = qobject_cast<QToolBar*>(it->second)) {
      tools->addSeparator();
      if (ToolkitWindow* w = window(menu_window_[parent])) fit_tool_bar(w, tools);
    }
  });
}

bool window_system::addmenuradiogroup(const std::vector<int>& entries) {
  return thread_.call([this, entries]() -> bool {
    std::vector<QAction*> actions;
    for (const int id : entries) {
      const auto it = menus_.find(id);
      auto* action = it != menus_.end() ? qobject_cast<QAction*>(it->second) : nullptr;
      if (action == nullptr || action->actionGroup() != nullptr || action->menu() != nullptr)
        return false;
      if (std::find(actions.begin(), actions.end(), action) != actions.end()) return false;
      actions.push_back(action);
    }
    if (actions.empty()) return false;
    auto* group = new QActionGroup(actions.front()->parent());
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (QAction* action : actions) {
      action->setCheckable(true);
      group->addAction(action);
    }
    return true;
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
    } else if (auto* tools = qobject_cast<QToolBar*>(it->second)) {
      tools->setEnabled(flag);
    }
  });
}

void window_system::setmenuitemchecked(int id, bool checked) {
  thread_.call([this, id, checked] {
    const auto it = menus_.find(id);
    if (it == menus_.end()) return;
    if (auto* action = qobject_cast<QAction*>(it->second)) {
      action->setCheckable(true);
      action->setChecked(checked);
    }
  });
}

namespace {

// The action that shows menu entry or drop-down `item` (null for the bar).
QAction* shown_action(QObject* item) {
  if (auto* action = qobject_cast<QAction*>(item)) return action;
  if (auto* menu = qobject_cast<QMenu*>(item)) return menu->menuAction();
  return nullptr;
}

QKeySequence keys_for(shortcut key) {
  switch (key) {
    case shortcut::open:
      return QKeySequence::Open;
    case shortcut::save:
      return QKeySequence::Save;
    case shortcut::print:
      return QKeySequence::Print;
    case shortcut::quit:
      return QKeySequence::Quit;
    case shortcut::help:
      return QKeySequence::HelpContents;
  }
  return {};
}

}  // namespace

void window_system::setmenuitemtext(int id, std::string_view title) {
  thread_.call([this, id, title = std::string(title)] {
    const auto it = menus_.find(id);
    if (it == menus_.end()) return;
    if (QAction* action = shown_action(it->second)) action->setText(qt_text(title));
  });
}

void window_system::setmenuitemvisible(int id, bool flag) {
  thread_.call([this, id, flag] {
    const auto it = menus_.find(id);
    if (it == menus_.end()) return;
    if (QAction* action = shown_action(it->second)) {
      action->setVisible(flag);
    } else if (auto* tools = qobject_cast<QToolBar*>(it->second)) {
      tools->setVisible(flag);
    }
  });
}

void window_system::setmenuitemshortcut(int id, shortcut key) {
  thread_.call([this, id, key] {
    const auto it = menus_.find(id);
    if (it == menus_.end()) return;
    if (auto* action = qobject_cast<QAction*>(it->second)) action->setShortcut(keys_for(key));
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
    w->takeFileDropsOf(box->viewport());  // a dropped file is opened, not pasted
    box->show();
    return store_control(text_boxes_, {id, box});
  });
}

QPlainTextEdit* window_system::text_box(int id) const {
  const auto it = text_boxes_.find(id);
  return it == text_boxes_.end() ? nullptr : qobject_cast<QPlainTextEdit*>(it->second.widget);
}

void window_system::change_text_box(int id, std::function<void(QPlainTextEdit*)> change) {
  thread_.call([this, id, change = std::move(change)] {
    if (QPlainTextEdit* box = text_box(id)) change(box);
  });
}

void window_system::enabletextbox(int id, bool flag) {
  change_text_box(id, [flag](QPlainTextEdit* box) { box->setEnabled(flag); });
}

void window_system::settextboxreadonly(int id, bool flag) {
  change_text_box(id, [flag](QPlainTextEdit* box) { box->setReadOnly(flag); });
}

void window_system::settextboxfocused(int id) {
  change_text_box(id, [](QPlainTextEdit* box) { box->setFocus(); });
}

void window_system::settextboxvisible(int id, bool flag) {
  change_text_box(id, [flag](QPlainTextEdit* box) { box->setVisible(flag); });
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

}  // namespace inhibra::toolkit
