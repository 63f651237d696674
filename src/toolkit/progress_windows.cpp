// The window system's progress windows: opened beside the current window, moved on
// from any thread without waiting, and closed with the other windows when the
// program ends.
#include <QString>

#include "toolkit/progress_window.hpp"
#include "toolkit/qt_text.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::toolkit {

int window_system::open_progress_window(std::string_view title, std::string_view doing, int maximum,
                                        std::function<void()> on_stop) {
  if (closing()) return 0;
  const QString shown = one_line_title(title);
  const QString line = QString::fromUtf8(doing.data(), static_cast<qsizetype>(doing.size()));
  return thread_.call([this, shown, line, maximum, on_stop]() -> int {
    if (closing()) return 0;
    auto* window = new ProgressWindow(shown, line, maximum, on_stop, dialog_parent());
    window->setAttribute(Qt::WA_DeleteOnClose);
    plot_windows_.push_back(window);  // closed with the plot windows when the program ends
    const int id = next_progress_++;
    progress_windows_[id] = window;
    window->show();
    window->raise();
    return id;
  });
}

void window_system::set_progress(int id, int value) {
  if (closing()) return;
  thread_.send([this, id, value] {
    if (auto* window = qobject_cast<ProgressWindow*>(progress_window(id))) window->setValue(value);
  });
}

void window_system::finish_progress_window(int id, std::string_view doing, std::string_view text) {
  if (closing()) return;
  const QString line = QString::fromUtf8(doing.data(), static_cast<qsizetype>(doing.size()));
  const QString body = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  thread_.call([this, id, line, body] {
    if (auto* window = qobject_cast<ProgressWindow*>(progress_window(id))) {
      window->finish(line, body);
      window->raise();
    }
  });
}

QWidget* window_system::progress_window(int id) const {
  const auto it = progress_windows_.find(id);
  return it == progress_windows_.end() ? nullptr : it->second.data();
}

}  // namespace inhibra::toolkit
