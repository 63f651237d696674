// The window system's workspace operations: the main window's tabs and status bar,
// and the charts and the table shown in them instead of windows of their own.
#include <QAction>
#include <QCoreApplication>
#include <QDockWidget>

#include <algorithm>

#include "toolkit/qt_text.hpp"
#include "toolkit/toolkit_window.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::toolkit {

void window_system::make_workspace() {
  const int id = current_.load();
  thread_.call([this, id] {
    ToolkitWindow* w = window(id);
    if (w == nullptr || !workspace_.isNull()) return;
    QWidget* drawing = w->takeCentralWidget();
    workspace_ = new Workspace(drawing, w);
    w->setCentralWidget(workspace_);
    workspace_->showTab(workspace_tab::report);
    // The rows of the file stay in view beside whichever tab is shown; the dock can
    // be moved or floated but not closed, so it cannot get lost.
    auto* dock = new QDockWidget(QObject::tr("Data"), w);
    dock->setObjectName(QStringLiteral("data_dock"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    data_pane_ = new DataPane(dock);
    data_pane_->clear();
    dock->setWidget(data_pane_);
    w->addDockWidget(Qt::LeftDockWidgetArea, dock);
    w->resizeDocks({dock}, {std::max(240, w->width() / 4)}, Qt::Horizontal);
  });
}

void window_system::show_data_pane(data_pane_contents contents, row_toggle on_toggle) {
  thread_.call([this, contents = std::move(contents), on_toggle = std::move(on_toggle)] {
    if (!data_pane_.isNull()) data_pane_->setContents(contents, on_toggle);
  });
}

DataPane* window_system::data_pane() const {
  return data_pane_.data();
}

Workspace* window_system::workspace() const {
  return workspace_.data();
}

void window_system::show_workspace_tab(workspace_tab tab) {
  thread_.call([this, tab] {
    if (!workspace_.isNull()) workspace_->showTab(tab);
  });
}

void window_system::set_status_text(std::string_view text) {
  thread_.call([this, shown = qt_text(text)] {
    if (!workspace_.isNull()) workspace_->setStatus(shown);
  });
}

void window_system::set_notices(const std::vector<std::string>& notices) {
  QStringList shown;
  for (const std::string& notice : notices)
    shown << qt_text(notice).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  thread_.call([this, shown] {
    if (!workspace_.isNull()) workspace_->setNotices(shown);
  });
}

void window_system::begin_run_progress(int maximum, std::function<void()> on_stop) {
  thread_.call([this, maximum, on_stop = std::move(on_stop)] {
    if (!workspace_.isNull()) workspace_->beginProgress(maximum, on_stop);
  });
}

void window_system::set_run_progress(int value, std::string_view text) {
  thread_.send([this, value, shown = qt_text(text)] {
    if (!workspace_.isNull()) workspace_->setProgress(value, shown);
  });
}

void window_system::end_run_progress() {
  thread_.call([this] {
    if (!workspace_.isNull()) workspace_->endProgress();
  });
}

void window_system::clear_plots() {
  thread_.call([this] {
    if (!workspace_.isNull()) workspace_->clearPlots();
  });
}

void window_system::continue_paused_plot() {
  std::lock_guard lock(events_mutex_);
  if (paused_event_) paused_event_->set();
}

PlotWindow* window_system::new_plot_page(std::string_view title, plot_drawer draw) {
  auto* page = new PlotWindow(one_line_title(title), std::move(draw));
  page->embed();
  page->setFigureAccess(std::exchange(next_figure_, {}));
  QPointer<Workspace> ws = workspace_;
  QPointer<PlotWindow> self = page;
  page->onClosed = [ws, self] {
    if (!ws.isNull() && !self.isNull()) ws->removePlot(self.data());
  };
  workspace_->addPlot(page->windowTitle(), page);
  return page;
}

// The run waits at the chart while the rest of the window stays usable: Continue (or
// closing the chart, or the program's end) lets it go on.
void window_system::show_paused_page(std::string_view title, plot_drawer draw) {
  auto ev = std::make_shared<wake_event>();
  {
    std::lock_guard lock(events_mutex_);
    plot_events_.push_back(ev);
    paused_event_ = ev;
  }
  const bool shown = thread_.call([this, title = std::string(title), draw, ev]() -> bool {
    if (closing() || workspace_.isNull()) return false;
    PlotWindow* page = new_plot_page(title, draw);
    page->onClosed = [ev, removed = page->onClosed] {
      ev->set();
      removed();
    };
    workspace_->showPause(
        QStringLiteral("The run waits at this chart: Continue goes on with the next model."),
        [ev] { ev->set(); });
    return true;
  });
  if (!shown || closing()) ev->cancel();
  if (thread_.is_window_thread()) {
    while (!ev->wait_for(0) && !closing())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents, 50);
  } else {
    ev->wait();
  }
  thread_.call([this] {
    if (!workspace_.isNull()) workspace_->hidePause();
  });
  std::lock_guard lock(events_mutex_);
  std::erase(plot_events_, ev);
  if (paused_event_ == ev) paused_event_.reset();
}

}  // namespace inhibra::toolkit
