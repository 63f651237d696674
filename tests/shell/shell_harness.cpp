#include "shell/shell_harness.hpp"

#include "models/model_catalogue.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QToolBar>
#include <system_error>

#include "models/model_catalogue.hpp"
#include "plotengine/pplot.hpp"
#include "support/qt_wait.hpp"
#include "toolkit/toolkit_harness.hpp"

namespace inhibra::support {

shell::timings quick_timings() {
  shell::timings t;
  t.poll = 3;
  t.splash = 0;
  t.settle = 0;
  t.flush = 0;
  return t;
}

running_shell::running_shell(shell::services svc, shell::timings pause)
    : tk([this] { ++end_program_calls; }), shell(tk, *ctx, std::move(svc), pause) {
  std::error_code ec;
  start_folder_ = std::filesystem::current_path(ec);
}

running_shell::~running_shell() {
  if (thread_.joinable()) {
    if (!finished_) {
      shell.handle_quit();
      wait_until([this] { return finished_.load(); }, 5000);
    }
    if (!finished_) tk.shut_down();
    thread_.join();
  }
  // Windows closed by the program are deleted later; let that happen now.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  std::error_code ec;
  std::filesystem::current_path(start_folder_, ec);  // the open dialog moves it
}

void running_shell::start_async() {
  thread_ = std::thread([this] {
    exit_code_ = shell.run();
    finished_ = true;
  });
}

bool running_shell::start() {
  start_async();
  return wait_until([this] { return shell.in_command_loop() || finished_.load(); }) && !finished_;
}

QMainWindow* running_shell::window() const {
  return qobject_cast<QMainWindow*>(tk.widget(shell.main_window_id()));
}

QPlainTextEdit* running_shell::panel() const {
  QMainWindow* w = window();
  return w != nullptr ? w->findChild<QPlainTextEdit*>() : nullptr;
}

QString running_shell::panel_text() const {
  QPlainTextEdit* p = panel();
  if (p == nullptr) return {};
  QString t = p->toPlainText();
  t.replace(QChar('\n'), QStringLiteral("\r\n"));
  return t;
}

std::map<QString, QAction*> running_shell::actions() const {
  std::map<QString, QAction*> found;
  QMainWindow* w = window();
  if (w == nullptr) return found;
  // Entries of drop-downs inside drop-downs too; hidden entries and separating lines
  // are not offered.
  const std::function<void(const QString&, QMenu*)> add_menu = [&](const QString& path,
                                                                   QMenu* menu) {
    for (QAction* item : menu->actions()) {
      if (!item->isVisible() || item->isSeparator()) continue;
      found[path + "/" + item->text()] = item;
      if (item->menu() != nullptr) add_menu(path + "/" + item->text(), item->menu());
    }
  };
  for (QAction* a : w->menuBar()->actions()) {
    found[a->text()] = a;
    if (a->menu() != nullptr) add_menu(a->text(), a->menu());
  }
  // A tool bar's entries under its title: "Toolbar/Ca/Sp_Plot".
  for (QToolBar* bar : w->findChildren<QToolBar*>()) {
    for (QAction* a : bar->actions()) {
      if (a->isVisible() && !a->isSeparator()) found[bar->windowTitle() + "/" + a->text()] = a;
    }
  }
  return found;
}

QAction* running_shell::action(const QString& path) const {
  const auto all = actions();
  const auto it = all.find(path);
  return it != all.end() ? it->second : nullptr;
}

bool running_shell::choose(const QString& path) {
  QAction* a = action(path);
  if (a == nullptr || !a->isEnabled()) return false;
  a->trigger();
  return true;
}

bool running_shell::run_command(const QString& path, int timeout_ms) {
  const int before = done();
  if (!choose(path)) return false;
  return wait_done(before, timeout_ms);
}

bool running_shell::wait_done(int count, int timeout_ms) {
  return wait_until([this, count] { return done() > count || finished_.load(); }, timeout_ms) &&
         done() > count;
}

std::map<QString, bool> running_shell::menu_states() const {
  std::map<QString, bool> states;
  // The recent files' entries change with every file opened; they are not states.
  for (const auto& [path, a] : actions()) {
    if (!path.startsWith(QStringLiteral("File/Recent Files/"))) states[path] = a->isEnabled();
  }
  return states;
}

bool running_shell::wait_finished(int timeout_ms) {
  return wait_until([this] { return finished_.load(); }, timeout_ms);
}

bool running_shell::quit() {
  if (!choose(QStringLiteral("Toolbar/Quit"))) shell.handle_quit();
  return wait_finished();
}

QMessageBox* shown_message_box() {
  return shown_window<QMessageBox>();
}

std::optional<box_seen> answer_message_box(int timeout_ms) {
  std::optional<box_seen> seen;
  wait_until(
      [&] {
        QMessageBox* box = shown_message_box();
        if (box == nullptr) return false;
        seen = box_seen{box->windowTitle(), box->text(), box->icon()};
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
          ok->click();
        } else {
          box->accept();
        }
        return true;
      },
      timeout_ms);
  return seen;
}

bool no_message_box_within(int ms) {
  return !answer_message_box(ms).has_value();
}

std::optional<file_dialog_seen> answer_file_dialog(const QString& file, int timeout_ms) {
  std::optional<file_dialog_seen> seen;
  wait_until(
      [&] {
        QFileDialog* dialog = shown_window<QFileDialog>();
        if (dialog == nullptr) return false;
        seen = file_dialog_seen{dialog->windowTitle(), dialog->directory().absolutePath(),
                                dialog->nameFilters(), dialog->selectedFiles(),
                                dialog->acceptMode() == QFileDialog::AcceptSave};
        if (file.isEmpty()) {
          dialog->reject();
        } else {
          dialog->selectFile(file);
          static_cast<QDialog*>(dialog)->accept();  // as the Open or Save button does
        }
        return true;
      },
      timeout_ms);
  return seen;
}

QWidget* model_dialog_window() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->findChildren<QCheckBox*>().size() == 10 &&
        w->findChildren<QPushButton*>().size() == 5) {
      return w;
    }
  }
  return nullptr;
}

bool press_dialog_button(const QString& label) {
  QWidget* dialog = model_dialog_window();
  if (dialog == nullptr) return false;
  for (auto* b : dialog->findChildren<QPushButton*>()) {
    if (b->text() == label && b->isEnabled()) {
      b->click();
      return true;
    }
  }
  return false;
}

}  // namespace inhibra::support

#include <fstream>

#include "data/file_names.hpp"
#include "shell/info_pages.hpp"

namespace inhibra::support {

void fake_fit::release() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
  }
  released_.notify_all();
}

core::run_status fake_fit::run(core::fit_context& ctx, std::string& data_file,
                               fit::run_record& out) {
  ++runs;
  weighting_seen = ctx.weighting_switch;
  chain_only_seen = ctx.chain_only ? 1 : 0;
  fast_seen = ctx.fast ? 1 : 0;
  errors_seen = ctx.error_switch;
  data_file_seen = data_file;
  inside_ = true;
  {
    std::unique_lock lock(mutex_);
    released_.wait(lock, [this] { return !held_; });
  }
  inside_ = false;
  if (show_chart && ctx.fe != nullptr) {
    plotengine::pplot chart;
    chart.title = "1- Competitive";
    ctx.fe->show_plot(chart);
    if (ctx.stop != nullptr && ctx.stop->load() != 0) return core::run_status::interrupted;
  }
  if (write_results) {
    std::ofstream(data::results_name(data_file), std::ios::binary | std::ios::trunc) << report;
  }
  ctx.idatasets = curves;
  ctx.global_mdl_count = models;
  ctx.model = best_model;
  out = record;
  return static_cast<core::run_status>(status);
}

shell::services fake_fit::services(
    std::function<void(core::fit_context&, shell::result_plot)> plot) {
  shell::services s;
  s.run = [this](core::fit_context& ctx, std::string& name, fit::run_record& out) {
    return run(ctx, name, out);
  };
  s.make_plot = std::move(plot);
  s.present_plot = [](toolkit::window_system& tk, const plotengine::pplot& chart, bool wait) {
    if (wait) {
      tk.show_plot_window(chart.title, [](QPainter&, const QRect&) {});
    } else {
      (void)tk.open_plot_window(chart.title, [](QPainter&, const QRect&) {});
    }
  };
  s.simulate = [this](const core::fit_context&, const fit::run_record& run, int model,
                      const evidence::simulation_options& options) {
    return simulate ? simulate(run, model, options) : evidence::simulation_result{};
  };
  return s;
}

fit::model_result hand_fit(int model, double aicc) {
  fit::model_result r;
  r.model = model;
  r.name = std::string(models::model_info(model)->name);
  r.n = models::model_info(model)->parameters;
  r.se_produced = true;
  for (std::size_t k = 0; k < static_cast<std::size_t>(r.n); ++k) {
    r.p[k] = 2.0;
    r.se[k] = 0.1;
    r.cl[k] = 0.2;
  }
  r.aicc = aicc;
  r.textbook = {0.0, aicc, aicc};
  return r;
}

std::string write_example_data(const std::filesystem::path& folder, const std::string& name) {
  const auto path = folder / name;
  std::filesystem::copy_file(std::filesystem::path(INHIBRA_SOURCE_DIR) / "examples/Data.in", path);
  return path.string();
}

bool open_data_file(running_shell& app, const std::string& file) {
  return choose_and_answer_dialog(app, QStringLiteral("Toolbar/OpenData"),
                                  QString::fromStdString(file))
      .has_value();
}

void select_models(shell::run_choices& choices, std::initializer_list<int> models) {
  for (auto& m : choices.models)
    m = false;
  for (int k : models)
    choices.models[static_cast<std::size_t>(k - 1)] = true;
}

std::optional<file_dialog_seen> choose_and_answer_dialog(running_shell& app, const QString& path,
                                                         const QString& file) {
  const int before = app.done();
  if (!app.choose(path)) return std::nullopt;
  auto dialog = answer_file_dialog(file);
  if (!app.wait_done(before)) return std::nullopt;
  return dialog;
}

std::optional<box_seen> choose_and_answer_box(running_shell& app, const QString& path) {
  const int before = app.done();
  if (!app.choose(path)) return std::nullopt;
  auto box = answer_message_box();
  if (!app.wait_done(before)) return std::nullopt;
  return box;
}

toolkit::PlotWindow* open_plot_window() {
  return shown_window<toolkit::PlotWindow>();
}

toolkit::PlotWindow* paused_chart(const running_shell& app) {
  const toolkit::Workspace* ws = app.tk.workspace();
  if (ws == nullptr || !ws->continueButton()->isVisible()) return nullptr;
  return qobject_cast<toolkit::PlotWindow*>(ws->currentPlot());
}

QStringList chart_titles(const running_shell& app) {
  QStringList titles;
  if (const toolkit::Workspace* ws = app.tk.workspace()) {
    for (int i = 0; i < ws->plotList()->count(); ++i)
      titles << ws->plotList()->item(i)->text();
  }
  return titles;
}

QWidgetList other_windows(const running_shell& app) {
  QWidgetList others;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w != app.window() && qobject_cast<QMenu*>(w) == nullptr) others << w;
  }
  return others;
}

QString lf(std::string_view crlf_text) {
  QString t = QString::fromUtf8(crlf_text.data(), static_cast<qsizetype>(crlf_text.size()));
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return t;
}

fitted_shell::fitted_shell(std::initializer_list<int> models, const std::string& data_name,
                           std::function<void(core::fit_context&, shell::result_plot)> plot)
    : data(write_example_data(dir.path(), data_name)), app(fit.services(std::move(plot))) {
  select_models(app.shell.choices(), models);
}

}  // namespace inhibra::support
