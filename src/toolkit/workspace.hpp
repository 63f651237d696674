#pragma once
// The main window's working area once it is a workspace: tabs for the ranked
// results of the last run, its charts and its report, and a status bar with the
// file and settings in use, the run's notices, its progress and a Stop button.
// The window system fills the pieces; this class only arranges and shows them.
#include <QString>
#include <QTabWidget>
#include <functional>

class QLabel;
class QListWidget;
class QMainWindow;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace inhibra::toolkit {

// The tabs, in their order.
enum class workspace_tab { results, plots, report };

class Workspace : public QTabWidget {
  Q_OBJECT

 public:
  // `report` becomes the Report tab; the status bar's parts go into `window`'s.
  Workspace(QWidget* report, QMainWindow* window);

  void showTab(workspace_tab tab);

  // --- Results: one table, or a line saying there is none yet ----------------------
  // Shows `table` (taking it over) in place of any earlier one.
  void setResults(QWidget* table);
  void clearResults();
  [[nodiscard]] QWidget* results() const { return table_; }
  // The run's warnings above the table (hidden when empty) and, shortened, in the
  // status bar.
  void setNotices(const QStringList& notices);
  [[nodiscard]] QLabel* noticeLabel() const { return notices_; }

  // --- Plots: a list of charts beside the chart chosen -----------------------------
  // Adds `page` (taking it over) under `title` and shows it.
  void addPlot(const QString& title, QWidget* page);
  // Removes and deletes `page` when it is one of the charts.
  void removePlot(QWidget* page);
  void clearPlots();
  [[nodiscard]] int plotCount() const;
  [[nodiscard]] QListWidget* plotList() const { return plot_list_; }
  [[nodiscard]] QWidget* currentPlot() const;
  // A run waits at a chart: the bar above the charts says `text`, and its Continue
  // button calls `on_continue`.
  void showPause(const QString& text, std::function<void()> on_continue);
  void hidePause();
  [[nodiscard]] QPushButton* continueButton() const { return continue_; }

  // --- status bar ------------------------------------------------------------------
  void setStatus(const QString& text);
  [[nodiscard]] QLabel* statusLabel() const { return status_; }
  // A run's progress over `maximum` steps; Stop calls `on_stop`.
  void beginProgress(int maximum, std::function<void()> on_stop);
  void setProgress(int value, const QString& text);
  void endProgress();
  [[nodiscard]] QProgressBar* progressBar() const { return progress_; }
  [[nodiscard]] QPushButton* stopButton() const { return stop_; }

 private:
  QStackedWidget* results_stack_;
  QLabel* no_results_;
  QLabel* notices_;
  QWidget* table_ = nullptr;
  QListWidget* plot_list_;
  QStackedWidget* plot_stack_;
  QLabel* no_plots_;
  QWidget* pause_bar_;
  QLabel* pause_text_;
  QPushButton* continue_;
  QLabel* status_;
  QLabel* notice_;
  QProgressBar* progress_;
  QPushButton* stop_;
  std::function<void()> on_continue_;
  std::function<void()> on_stop_;
};

}  // namespace inhibra::toolkit
