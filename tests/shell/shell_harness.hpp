#pragma once
// The real desktop shell on a command thread of its own, driven from the test
// thread (the window thread) through its menus, dialogs and boxes.
#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "core/fit_context.hpp"
#include "shell/main_window.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/plot_window.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::support {

// The pauses of a test run: no splash, no settling.
[[nodiscard]] shell::timings quick_timings();

class running_shell {
 public:
  explicit running_shell(shell::services svc = {}, shell::timings pause = quick_timings());
  ~running_shell();  // quits (or shuts the toolkit down) and joins the command thread
  running_shell(const running_shell&) = delete;
  running_shell& operator=(const running_shell&) = delete;

  // Starts the command thread and waits until the command loop runs.
  bool start();
  // Starts the command thread without waiting.
  void start_async();

  [[nodiscard]] QMainWindow* window() const;
  [[nodiscard]] QPlainTextEdit* panel() const;
  [[nodiscard]] QString panel_text() const;  // with CR LF line breaks, as saved

  // A menu entry by path: "File" (drop-downs on the bar by their text),
  // "File/Open Data File", "Settings/Weight/Turn-ON Robust Wt",
  // "File/Recent Files/<name>", and the tool bar's entries under its title,
  // "Toolbar/Run". Null when absent or hidden.
  [[nodiscard]] QAction* action(const QString& path) const;
  // Triggers an entry (as a click does); false when it is absent or greyed out.
  bool choose(const QString& path);
  // Triggers an entry and waits until its command has been executed; false when
  // the entry is greyed out or the command did not finish in time.
  bool run_command(const QString& path, int timeout_ms = 10000);
  // The number of commands executed so far, and a wait for more than `count`.
  [[nodiscard]] int done() const { return shell.commands_completed(); }
  bool wait_done(int count, int timeout_ms = 10000);
  // Every entry by path, and its enabled state (without the recent files).
  [[nodiscard]] std::map<QString, QAction*> actions() const;
  [[nodiscard]] std::map<QString, bool> menu_states() const;

  // True once the command thread has returned from the shell's run().
  [[nodiscard]] bool finished() const { return finished_.load(); }
  bool wait_finished(int timeout_ms = 10000);
  [[nodiscard]] int exit_code() const { return exit_code_; }
  // Chooses the tool bar's "Quit" and waits for the program to end.
  bool quit();

  std::unique_ptr<core::fit_context> ctx = std::make_unique<core::fit_context>();
  std::atomic<int> end_program_calls{0};
  toolkit::window_system tk;
  shell::main_window shell;

 private:
  std::thread thread_;
  std::atomic<bool> finished_{false};
  int exit_code_ = -1;
  std::filesystem::path start_folder_;
};

// A message box as the person saw it.
struct box_seen {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// The message box on screen, or null.
[[nodiscard]] QMessageBox* shown_message_box();
// Waits for a message box, notes it and presses its button.
std::optional<box_seen> answer_message_box(int timeout_ms = 10000);
// Waits `ms` and answers any message box that shows up; true when none did.
bool no_message_box_within(int ms);

// A file dialog as the person saw it.
struct file_dialog_seen {
  QString title;
  QString directory;
  QStringList filters;
  QStringList proposed;  // the file(s) selected when it opened
  bool saving = false;
};
// Waits for a file dialog; picks `file` (or cancels when empty) and notes the dialog.
std::optional<file_dialog_seen> answer_file_dialog(const QString& file, int timeout_ms = 10000);

// A fit of `model` made up for the results' views: every parameter 2 (standard error
// 0.1, limits +-0.2) and `aicc` as both criteria.
[[nodiscard]] fit::model_result hand_fit(int model, double aicc);

// The model-selection dialog's window once it shows its boxes and buttons, or null.
[[nodiscard]] QWidget* model_dialog_window();
// Clicks the dialog's button `label`; false when the dialog or the button is missing.
bool press_dialog_button(const QString& label);

}  // namespace inhibra::support

namespace inhibra::support {

// A stand-in for the fit: writes a results file beside the data file, sets the
// counts a real run leaves, and returns a chosen status. It can be held inside the
// run until the test releases it.
class fake_fit {
 public:
  // The results file text: two empty lines, then the report.
  static constexpr std::string_view default_report =
      "\r\n\r\n      INHIBRA RESULTS\r\nModel 1   SSR = 1.25E-04   \r\nEND OF REPORT\r\n";

  int status = 0;
  int curves = 4;
  int models = 1;
  int best_model = 2;
  std::string report{default_report};
  bool write_results = true;
  // The run shows a chart of model 1 after the hold, as a real run does (and so waits
  // there when the shell pauses at charts), and honours a stop asked meanwhile.
  bool show_chart = false;
  fit::run_record record;  // what the run says it fitted (nothing by default)
  // The selection by simulation the shell asks for (unset: none is simulated).
  std::function<evidence::simulation_result(const fit::run_record&, int model,
                                            const evidence::simulation_options&)>
      simulate;

  // What the runs saw.
  std::atomic<int> runs{0};
  std::atomic<int> weighting_seen{-1};
  std::atomic<int> chain_only_seen{-1};
  std::atomic<int> fast_seen{-1};
  std::atomic<core::error_model> errors_seen{core::error_model::equal};
  std::string data_file_seen;  // read after the run returned

  // Holding runs inside the fit.
  void hold() { held_ = true; }
  void release();
  [[nodiscard]] bool inside() const { return inside_.load(); }

  // The services for a shell whose runs come here; plots go to `plot`.
  shell::services services(std::function<void(core::fit_context&, shell::result_plot)> plot = {});

 private:
  core::run_status run(core::fit_context& ctx, std::string& data_file, fit::run_record& out);

  std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;
  std::atomic<bool> inside_{false};
};

// Copies the bundled example data file (four curves) into `folder` as `name`; its path.
std::string write_example_data(const std::filesystem::path& folder,
                               const std::string& name = "Data.in");

// Opens `file` through "OpenData" and the open dialog; true when the dialog came.
bool open_data_file(running_shell& app, const std::string& file);

// Selects model `k` (1..10) in the context as the dialog would.
void select_models(shell::run_choices& choices, std::initializer_list<int> models);

// Chooses `path`, picks `file` in the file dialog it shows (or cancels it when empty)
// and waits until the command is done; the dialog as seen, or nothing.
std::optional<file_dialog_seen> choose_and_answer_dialog(running_shell& app, const QString& path,
                                                         const QString& file = {});
// Chooses `path` and answers the message box it shows.
std::optional<box_seen> choose_and_answer_box(running_shell& app, const QString& path);

// The plot window on screen, or null.
[[nodiscard]] toolkit::PlotWindow* open_plot_window();
// The chart a paused run waits at in the main window's Plots tab, or null.
[[nodiscard]] toolkit::PlotWindow* paused_chart(const running_shell& app);
// The titles of the charts in the Plots tab, in order.
[[nodiscard]] QStringList chart_titles(const running_shell& app);
// The visible top-level windows other than the main window.
[[nodiscard]] QWidgetList other_windows(const running_shell& app);
// CR LF text as the widgets show it, with LF line breaks.
[[nodiscard]] QString lf(std::string_view crlf_text);

// A shell whose runs go to a fake fit, with the example data file in a folder of
// its own and `models` selected.
struct fitted_shell {
  explicit fitted_shell(std::initializer_list<int> models = {1},
                        const std::string& data_name = "Data.in",
                        std::function<void(core::fit_context&, shell::result_plot)> plot = {});
  bool start_and_open() { return app.start() && open_data_file(app, data); }
  bool start_and_run() { return start_and_open() && app.run_command("Toolbar/Run"); }

  temp_dir dir;
  std::string data;
  fake_fit fit;
  running_shell app;
};

}  // namespace inhibra::support
