#include "toolkit/workspace.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QVBoxLayout>

namespace inhibra::toolkit {

namespace {

QLabel* placeholder(const QString& text) {
  auto* label = new QLabel(text);
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  label->setEnabled(false);
  return label;
}

}  // namespace

Workspace::Workspace(QWidget* report, QMainWindow* window) : QTabWidget(window) {
  setDocumentMode(true);

  // Results: the notices of the run above the table, or a line saying there is none.
  auto* results = new QWidget;
  auto* results_layout = new QVBoxLayout(results);
  results_layout->setContentsMargins(4, 4, 4, 4);
  notices_ = new QLabel;
  notices_->setWordWrap(true);
  notices_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  notices_->setStyleSheet(
      QStringLiteral("QLabel { background: #fff4d6; border: 1px solid #d9b44a; padding: 4px; }"));
  notices_->hide();
  results_stack_ = new QStackedWidget;
  no_results_ = placeholder(tr("Open a data file and run the fit: the ranked models appear here."));
  results_stack_->addWidget(no_results_);
  results_layout->addWidget(notices_);
  results_layout->addWidget(results_stack_, 1);
  addTab(results, tr("Results"));

  // Plots: the charts by title on the left, the one chosen on the right, and the
  // bar of a paused run above it.
  auto* plots = new QSplitter(Qt::Horizontal);
  plot_list_ = new QListWidget;
  plot_list_->setMinimumWidth(120);
  auto* right = new QWidget;
  auto* right_layout = new QVBoxLayout(right);
  right_layout->setContentsMargins(0, 0, 0, 0);
  pause_bar_ = new QWidget;
  auto* pause_layout = new QHBoxLayout(pause_bar_);
  pause_text_ = new QLabel;
  pause_text_->setWordWrap(true);
  continue_ = new QPushButton(tr("Continue"));
  continue_->setDefault(true);
  pause_layout->addWidget(pause_text_, 1);
  pause_layout->addWidget(continue_);
  pause_bar_->setStyleSheet(QStringLiteral("background: #dcecff;"));
  pause_bar_->hide();
  plot_stack_ = new QStackedWidget;
  no_plots_ = placeholder(tr("The charts of the run appear here."));
  plot_stack_->addWidget(no_plots_);
  right_layout->addWidget(pause_bar_);
  right_layout->addWidget(plot_stack_, 1);
  plots->addWidget(plot_list_);
  plots->addWidget(right);
  plots->setStretchFactor(1, 1);
  plots->setSizes({200, 800});
  addTab(plots, tr("Plots"));
  connect(plot_list_, &QListWidget::currentRowChanged, this,
          [this](int row) { plot_stack_->setCurrentIndex(row < 0 ? 0 : row + 1); });
  connect(continue_, &QPushButton::clicked, this, [this] {
    if (auto go = std::exchange(on_continue_, nullptr)) go();
  });

  addTab(report, tr("Report"));

  // The status bar: the file and settings, the run's notices, its progress and Stop.
  QStatusBar* bar = window->statusBar();
  status_ = new QLabel;
  notice_ = new QLabel;
  progress_ = new QProgressBar;
  progress_->setMinimumWidth(200);
  progress_->setMaximumWidth(260);
  progress_->setTextVisible(true);
  progress_->hide();
  stop_ = new QPushButton(tr("Stop"));
  stop_->hide();
  connect(stop_, &QPushButton::clicked, this, [this] {
    stop_->setEnabled(false);
    if (on_stop_) on_stop_();
  });
  bar->addWidget(status_);
  bar->addWidget(notice_, 1);
  bar->addPermanentWidget(progress_);
  bar->addPermanentWidget(stop_);
}

void Workspace::showTab(workspace_tab tab) {
  setCurrentIndex(static_cast<int>(tab));
}

void Workspace::setResults(QWidget* table) {
  if (table == table_) return;
  clearResults();
  table_ = table;
  results_stack_->addWidget(table);
  results_stack_->setCurrentWidget(table);
}

void Workspace::clearResults() {
  if (table_ != nullptr) {
    results_stack_->removeWidget(table_);
    table_->deleteLater();
    table_ = nullptr;
  }
  results_stack_->setCurrentWidget(no_results_);
  setNotices({});
}

void Workspace::setNotices(const QStringList& notices) {
  notices_->setText(notices.join(QChar('\n')));
  notices_->setVisible(!notices.isEmpty());
  if (notices.isEmpty()) {
    notice_->clear();
  } else if (notices.size() == 1) {
    notice_->setText(notices.front());
  } else {
    notice_->setText(tr("%1 notices: see the Results tab").arg(notices.size()));
  }
}

void Workspace::addPlot(const QString& title, QWidget* page) {
  plot_stack_->addWidget(page);
  plot_list_->addItem(title);
  plot_list_->item(plot_list_->count() - 1)->setToolTip(title);
  plot_list_->setCurrentRow(plot_list_->count() - 1);
}

void Workspace::removePlot(QWidget* page) {
  const int index = plot_stack_->indexOf(page);
  if (index < 1) return;
  plot_stack_->removeWidget(page);
  delete plot_list_->takeItem(index - 1);
  page->deleteLater();
  plot_stack_->setCurrentIndex(plot_list_->currentRow() + 1);
}

void Workspace::clearPlots() {
  while (plot_stack_->count() > 1)
    removePlot(plot_stack_->widget(plot_stack_->count() - 1));
}

int Workspace::plotCount() const {
  return plot_list_->count();
}

QWidget* Workspace::currentPlot() const {
  return plot_stack_->currentIndex() > 0 ? plot_stack_->currentWidget() : nullptr;
}

void Workspace::showPause(const QString& text, std::function<void()> on_continue) {
  on_continue_ = std::move(on_continue);
  pause_text_->setText(text);
  pause_bar_->show();
  showTab(workspace_tab::plots);
  continue_->setFocus();
}

void Workspace::hidePause() {
  on_continue_ = nullptr;
  pause_bar_->hide();
}

void Workspace::setStatus(const QString& text) {
  status_->setText(text);
}

void Workspace::beginProgress(int maximum, std::function<void()> on_stop) {
  on_stop_ = std::move(on_stop);
  progress_->setRange(0, maximum);
  progress_->setValue(0);
  progress_->show();
  stop_->setEnabled(true);
  stop_->show();
}

void Workspace::setProgress(int value, const QString& text) {
  progress_->setValue(value);
  progress_->setFormat(text);
}

void Workspace::endProgress() {
  on_stop_ = nullptr;
  progress_->hide();
  stop_->hide();
}

}  // namespace inhibra::toolkit
