#pragma once
// The desktop program's main routine: the main window with its menu bar and
// results panel, the splash screen, and the command loop that executes one menu
// command at a time on the command thread.
//
// Menu entries only store a command code (the weighting entries also set the
// weighting switch) and wake the loop; the loop polls every few milliseconds and
// runs the command. A command chosen while another one runs is lost, except quit,
// which ends the program as soon as the running command returns.
//
// With a settings store, the window's place and size, the weighting, the model
// selection, plot pausing, the last folder and the recent files are restored at
// start-up and kept after every command and at the end.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit_context.hpp"
#include "shell/axis_units.hpp"
#include "shell/gui_frontend.hpp"
#include "shell/shell_state.hpp"

namespace inhibra::toolkit {
class settings_file;
class window_system;
}  // namespace inhibra::toolkit

namespace inhibra::shell {

// Said when the person stopped a run.
inline constexpr std::string_view run_stopped_notice =
    "The run was stopped before it ended: no results file was written.";

class main_window {
 public:
  main_window(toolkit::window_system& tk, core::fit_context& ctx, services svc, timings pause = {});
  ~main_window();
  main_window(const main_window&) = delete;
  main_window& operator=(const main_window&) = delete;

  // Before run(): a data file to open at start-up (the command line's), and where
  // settings are kept (none: nothing is restored or kept).
  void set_start_file(std::string file) { start_file_ = std::move(file); }
  void set_settings(toolkit::settings_file* store) { settings_ = store; }

  // The settings the menus and dialogs have chosen for the next run; the window
  // thread writes them, the command thread copies them into the context.
  [[nodiscard]] run_choices& choices() { return st_.choices; }

  // Start-up, then the command loop until quit or until the main window is closed;
  // closes the main window and returns the exit code. Runs on the command thread.
  int run();

  // What the entries do (window thread, or any thread): each stores its command code
  // and wakes the loop; a setting's entry stores the setting first. `choose` finds
  // the handler of an entry of the table of commands.
  // Quit also stops a run going on (a paused one at once), as a signal would.
  void handle_quit();
  void handle_run() { post(command::run); }
  void handle_print() { post(command::print); }
  void handle_plot() { post(command::plot); }
  void handle_weight_on();
  void handle_weight_off();
  void handle_chain_only();
  void handle_refine();
  void handle_error_model(core::error_model errors);
  // Residuals against the fitted rate from now on, or against [S] again.
  void handle_residual_axis();
  void handle_pause_setting();
  void handle_fast_fitting();
  void handle_replicate_means();
  // A file dropped on the main window, or the recent file shown at `index`: the loop
  // opens it as the open dialog would.
  void handle_dropped_file(const std::string& file);
  void handle_recent(int index);

  // Ends the run going on at its next safe point (before its next model; a paused
  // run goes on to it at once), leaving no results file. Any thread.
  void request_stop();

  // Stores any code, as a menu entry would, and wakes the loop. A pending quit is
  // never replaced.
  void post(std::int32_t code);
  void post(command c) { post(code(c)); }

  // Ids once start-up has made them (-1 before).
  [[nodiscard]] int main_window_id() const { return main_id_.load(); }
  [[nodiscard]] int text_panel_id() const { return panel_id_.load(); }
  // True from the first pass of the command loop until it ends.
  [[nodiscard]] bool in_command_loop() const { return looping_.load(); }
  // Number of commands (other than "nothing") executed so far.
  [[nodiscard]] int commands_completed() const { return completed_.load(); }

 private:
  void start_up();
  void build_menus();
  void add_entries(menu which, int parent);
  void choose(menu_command c);
  void command_loop();
  void execute(std::int32_t code);
  void show_menu_state();
  void set_weight_entries();
  void set_method_entries();
  void set_error_model_entries();
  void set_settings_entries();
  void set_recent_entries();
  void restore_settings();
  void keep_settings();

  // An information page: a command like any other, but shown at once while a run
  // is going on, so that it never waits for the run.
  void show_page(command page);
  void show_page_now(command page);
  void command_run();
  void show_run_notices(core::run_status status);
  void update_status();
  void show_stopped_run(int status);
  void command_open();
  void command_save();
  void command_print();
  void command_clear();
  void command_edit();
  void command_plot(result_plot kind);
  void command_open_named(const std::string& file);
  void show_opened_file();
  void note_recent(const std::string& file);
  void forget_last_run();
  void command_axis_units();
  void command_results_table();
  void command_simulate();
  void command_import_table();
  void show_data(bool keep_left_out);
  void take_left_out();

  toolkit::window_system& tk_;
  core::fit_context& ctx_;
  services svc_;
  timings pause_;
  shell_state st_;
  std::unique_ptr<gui_frontend> frontend_;
  core::frontend* previous_frontend_ = nullptr;
  std::atomic<int> main_id_{-1};
  std::atomic<int> panel_id_{-1};
  std::atomic<bool> looping_{false};
  std::atomic<int> completed_{0};
  int exit_code_ = 0;
  std::string start_file_;
  toolkit::settings_file* settings_ = nullptr;
  std::atomic<bool> pause_at_plots_{true};
  std::atomic<bool> residuals_by_rate_{false};  // the residual plot's x: fitted rate, else [S]
  std::atomic<bool> running_{false};            // a run is going on
  std::atomic<int> stop_{0};                    // the run's stop flag, see request_stop
  axis_units units_;                            // command thread
  std::mutex files_mutex_;                      // guards the two members below
  std::string file_to_open_;                    // a dropped or recent file for the loop
  std::vector<std::string> recent_shown_;       // the recent files as the menu shows them
  fit::run_record last_run_;                    // what the last run fitted, for the results table
  std::string last_run_time_;                   // when it started, local time to the minute
  std::mutex rows_mutex_;                       // guards left_out_
  std::set<int> left_out_;                      // rows the Data pane leaves out, by place
  std::vector<std::array<double, 3>> shown_rows_;  // the rows the Data pane shows; command thread
  std::vector<std::string> data_notices_;          // about the Data pane, for the next notices
};

}  // namespace inhibra::shell
