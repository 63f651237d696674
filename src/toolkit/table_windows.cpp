// The window system's table window: one at a time, placed beside the window it
// belongs to and kept inside the screen.
#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "toolkit/qt_text.hpp"
#include "toolkit/table_window.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::toolkit {

namespace {

constexpr int gap = 8;  // pixels between the owning window and the table

// Right of `owner` when the screen has room there, else as far right as it fits;
// never past the screen's available area.
void place_beside(QWidget* table, const QWidget* owner) {
  const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect room = screen->availableGeometry();
  const QSize size(std::min(table->width(), room.width()),
                   std::min(table->height(), room.height()));
  table->resize(size);
  QPoint at = room.topLeft();
  if (owner != nullptr) {
    const QRect beside = owner->frameGeometry();
    at = QPoint(beside.right() + gap, beside.top());
  }
  at.setX(std::clamp(at.x(), room.left(), room.right() - size.width() + 1));
  at.setY(std::clamp(at.y(), room.top(), room.bottom() - size.height() + 1));
  table->move(at);
}

}  // namespace

bool window_system::show_table_window(std::string_view title, const table_contents& contents,
                                      table_writer export_csv) {
  if (closing()) return false;
  const QString shown = one_line_title(title);
  return thread_.call([this, shown, contents, export_csv]() -> bool {
    if (closing()) return false;
    auto* table = qobject_cast<TableWindow*>(table_window_.data());
    if (!workspace_.isNull()) {
      // In a workspace the table is the Results tab: no window of its own to close.
      if (table == nullptr) {
        table = new TableWindow(shown, contents, export_csv);
        table->closeAction()->setVisible(false);
        table_window_ = table;
        workspace_->setResults(table);
      } else {
        table->setWindowTitle(shown);
        table->setContents(contents);
        table->setExporter(export_csv);
      }
      workspace_->showTab(workspace_tab::results);
      return true;
    }
    if (table == nullptr) {
      table = new TableWindow(shown, contents, export_csv);
      table->setAttribute(Qt::WA_DeleteOnClose);
      table_window_ = table;
      plot_windows_.push_back(table);  // closed with the plot windows when the program ends
      place_beside(table, dialog_parent());
    } else {
      table->setWindowTitle(shown);
      table->setContents(contents);
      table->setExporter(export_csv);
    }
    table->show();
    table->raise();
    return true;
  });
}

void window_system::close_table_window() {
  if (closing()) return;
  thread_.call([this] {
    if (!workspace_.isNull()) {
      workspace_->clearResults();
      return;
    }
    if (!table_window_.isNull()) table_window_->close();
  });
}

QWidget* window_system::table_window() const {
  return table_window_.data();
}

}  // namespace inhibra::toolkit
