#include "shell/main_window.hpp"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string_view>
#include <system_error>

#include "evidence/run_evidence.hpp"
#include "fit/report.hpp"
#include "models/model_catalogue.hpp"
#include "shell/info_pages.hpp"
#include "shell/model_dialog.hpp"
#include "shell/remembered.hpp"
#include "shell/results_table.hpp"
#include "shell/text_panel.hpp"
#include "strings/text.hpp"
#include "toolkit/settings_file.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::shell {

namespace {

// The local date and time to the minute, "2026-12-07 20:41".
std::string local_minute_text() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return {};
  char text[32];
  return std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) > 0 ? std::string(text)
                                                                        : std::string();
}

bool is_command(std::int32_t c) {
  return c >= 0 && c <= code(command::residual_axis);
}

}  // namespace

main_window::main_window(toolkit::window_system& tk, core::fit_context& ctx, services svc,
                         timings pause)
    : tk_(tk), ctx_(ctx), svc_(std::move(svc)), pause_(pause) {}

main_window::~main_window() {
  if (frontend_ && ctx_.fe == frontend_.get()) ctx_.fe = previous_frontend_;
}

void main_window::post(std::int32_t c) {
  // A quit already chosen stays chosen: a later entry must not overwrite it.
  std::int32_t pending = st_.pending.load();
  while (pending != code(command::quit) && !st_.pending.compare_exchange_weak(pending, c)) {
  }
  tk_.stopidle(main_id_.load());
}

void main_window::handle_quit() {
  request_stop();
  post(command::quit);
}

void main_window::request_stop() {
  stop_ = 1;
  tk_.continue_paused_plot();
}

void main_window::handle_weight_on() {
  st_.choices.weighting_switch = robust_on;
  post(command::weight_on);
}

void main_window::handle_weight_off() {
  st_.choices.weighting_switch = robust_off;
  post(command::weight_off);
}

// The fitting method is a setting like the weighting: the entry stores it, and its
// command shows it in the menu.
void main_window::handle_chain_only() {
  st_.choices.chain_only = true;
  post(command::chain_only);
}

void main_window::handle_refine() {
  st_.choices.chain_only = false;
  post(command::refine);
}

// The error model is a setting like the weighting.
void main_window::handle_error_model(core::error_model errors) {
  st_.choices.errors = errors;
  post(command::error_model);
}

void main_window::handle_fast_fitting() {
  st_.choices.fast = !st_.choices.fast.load();
  post(command::fast_fitting);
}

void main_window::handle_replicate_means() {
  st_.choices.replicate_means = !st_.choices.replicate_means.load();
  post(command::mean_sd);
}

void main_window::handle_residual_axis() {
  residuals_by_rate_ = !residuals_by_rate_.load();
  post(command::residual_axis);
}

void main_window::handle_pause_setting() {
  pause_at_plots_ = !pause_at_plots_.load();
  post(command::pause_setting);
}

void main_window::handle_dropped_file(const std::string& file) {
  {
    std::lock_guard lock(files_mutex_);
    file_to_open_ = file;
  }
  post(command::open_named);
}

void main_window::handle_recent(int index) {
  {
    std::lock_guard lock(files_mutex_);
    if (index < 0 || index >= static_cast<int>(recent_shown_.size())) return;
    file_to_open_ = recent_shown_[static_cast<std::size_t>(index)];
  }
  post(command::open_named);
}

int main_window::run() {
  start_up();
  command_loop();
  looping_ = false;
  keep_settings();
  // On quit: the main window closes, which ends the program. The program keeps no
  // file open between commands, so there is no file to close first.
  tk_.closewindow(st_.main_window);
  if (ctx_.fe == frontend_.get()) ctx_.fe = previous_frontend_;
  return exit_code_;
}

void main_window::start_up() {
  tk_.setapplicationdpiaware();
  // Three quarters of the screen, centred: room for the results table or a chart
  // beside the menus, tabs and status bar; nearly all of a small screen (768 pixels
  // high or so), where three quarters would leave the table a few rows.
  const int percent = tk_.getmaxheight() < 900 ? 94 : 75;
  const int width = tk_.getmaxwidth() * percent / 100;
  const int height = tk_.getmaxheight() * percent / 100;
  const int left = (tk_.getmaxwidth() - width) / 2;
  const int top = (tk_.getmaxheight() - height) / 2;
  st_.main_window =
      tk_.initwindow(width, height, strings::trim_both(st_.main_title), left, top, false, true);
  main_id_ = st_.main_window;
  frontend_ =
      std::make_unique<gui_frontend>(tk_, st_.main_window, svc_.present_plot, pause_at_plots_);
  previous_frontend_ = ctx_.fe;
  ctx_.fe = frontend_.get();

  st_.children.reset(st_.main_window);
  st_.idactivewin = tk_.getactivepage();
  tk_.setactivepage(st_.idactivewin);
  tk_.setwindowtitle(st_.main_window, st_.main_title);
  tk_.setwindowdropcallback([this](const std::string& file) { handle_dropped_file(file); });

  build_menus();

  tk_.setcolor(toolkit::black);
  tk_.setbkcolor(toolkit::window_system::creatergb(255, 255, 255));
  tk_.clearviewport();
  // The fixed-pitch font lines up the report's columns.
  tk_.settextstyle(toolkit::fixed_pitch_font, 0, tk_.scaledpi(14));

  st_.choices.weighting_switch = robust_off;
  restore_settings();
  set_weight_entries();
  set_settings_entries();
  set_recent_entries();
  show_menu_state();

  st_.text_panel = tk_.createmultilinetextbox(5, 5, width - 10, height - 10, false);
  panel_id_ = st_.text_panel;
  tk_.enabletextbox(st_.text_panel, true);
  // The report is shown as written: what Save Results writes is what the run wrote.
  tk_.settextboxreadonly(st_.text_panel, true);
  // The results, the charts and the report share the window as its tabs.
  tk_.make_workspace();
  update_status();

  splash(tk_, st_.main_window, pause_.splash);

  tk_.setbkcolor(toolkit::window_system::creatergb(153, 204, 255));
  tk_.clearviewport();

  st_.data_file_name = "data.in";
  st_.data_file_open = 0;
  // Entries chosen during the splash screen are dropped, except quit.
  std::int32_t pending = st_.pending.load();
  while (pending != code(command::quit) &&
         !st_.pending.compare_exchange_weak(pending, no_command)) {
  }

  std::error_code ec;
  st_.exepath = std::filesystem::current_path(ec).string();
  st_.exepath += static_cast<char>(std::filesystem::path::preferred_separator);
  if (!start_file_.empty()) command_open_named(start_file_);
  update_status();
}

// What the last session kept: the window's place and size, weighting, model
// selection, plot pausing, fast fitting, the last folder and the recent files.
void main_window::restore_settings() {
  if (settings_ == nullptr) return;
  const remembered r = recall(*settings_);
  if (!r.geometry.empty()) tk_.setwindowgeometry(st_.main_window, r.geometry);
  st_.choices.weighting_switch = r.weighting;
  st_.choices.errors = r.errors;
  if (r.models_kept) {
    for (std::size_t k = 0; k < r.models.size(); ++k)
      st_.choices.models[k] = r.models[k] != 0;
  }
  st_.filenamepath = r.folder;
  st_.recent = r.recent;
  pause_at_plots_ = r.pause_at_plots;
  st_.choices.fast = r.fast;
  st_.choices.replicate_means = r.replicate_means;
  residuals_by_rate_ = r.residuals_by_rate;
  units_ = {r.concentration_unit, r.rate_unit};
  frontend_->set_units(units_);
}

void main_window::keep_settings() {
  if (settings_ == nullptr) return;
  remembered r;
  r.geometry = tk_.getwindowgeometry(st_.main_window);
  r.weighting = st_.choices.weighting_switch.load();
  r.errors = st_.choices.errors.load();
  for (std::size_t k = 0; k < r.models.size(); ++k)
    r.models[k] = st_.choices.models[k].load() ? 1 : 0;
  r.folder = st_.filenamepath;
  r.recent = st_.recent;
  r.pause_at_plots = pause_at_plots_.load();
  r.fast = st_.choices.fast.load();
  r.replicate_means = st_.choices.replicate_means.load();
  r.residuals_by_rate = residuals_by_rate_.load();
  r.concentration_unit = units_.concentration;
  r.rate_unit = units_.rate;
  keep(*settings_, r);
}

void main_window::command_loop() {
  looping_ = true;
  while (st_.pending.load() != code(command::quit) && !tk_.closing()) {
    tk_.startidle(pause_.poll);
    tk_.refreshall();
    const std::int32_t c = st_.pending.load();
    execute(c);
    if (tk_.closing()) break;
    tk_.setcurrentwindow(st_.main_window);
    if (c != code(command::none) && c != no_command && is_command(c)) {
      set_weight_entries();
      set_settings_entries();
      show_menu_state();
      keep_settings();
      update_status();
      ++completed_;
    }
    // Back to "nothing", unless quit was chosen meanwhile: quit is never lost, the
    // loop ends as soon as the running command has returned.
    std::int32_t pending = st_.pending.load();
    bool quit = false;
    while (true) {
      if (pending == code(command::quit)) {
        quit = true;
        break;
      }
      if (st_.pending.compare_exchange_weak(pending, code(command::none))) break;
    }
    if (quit) break;
    tk_.stopidle(st_.main_window);
    tk_.refreshall();
    tk_.loop();  // returns at once: this pass has just set the event
  }
}

void main_window::execute(std::int32_t c) {
  if (!is_command(c)) {
    std::int32_t expected = c;
    st_.pending.compare_exchange_strong(expected, no_command);
    return;
  }
  st_.choices.copy_to(ctx_);
  if (shows_page(static_cast<command>(c))) {
    show_page_now(static_cast<command>(c));
    return;
  }
  switch (static_cast<command>(c)) {
    case command::quit:
      break;
    case command::run:
      command_run();
      break;
    case command::save:
      command_save();
      break;
    case command::print:
      command_print();
      break;
    case command::open:
      command_open();
      break;
    case command::clear:
      command_clear();
      break;
    case command::plot:
      command_plot(result_plot::xy);
      break;
    case command::none:
      break;
    case command::data:
      command_edit();
      break;
    case command::weight_on:
    case command::weight_off:
      // The switch itself was set by the entry; the radio marks follow it.
      set_weight_entries();
      break;
    case command::model_lib:
      model_lib(tk_, st_);
      break;
    case command::resplot:
      command_plot(residuals_by_rate_.load() ? result_plot::residuals_by_rate
                                             : result_plot::residuals);
      break;
    case command::kmapplot:
      // The last run's best model is the context's; complete inhibition: the linear chart.
      command_plot(models::complete_inhibition(models::shape_of(ctx_.model))
                       ? result_plot::kmapp_linear
                       : result_plot::kmapp_hyperbolic);
      break;
    case command::mc50plot:
      command_plot(result_plot::mc50);
      break;
    case command::lineweaver_burk:
      command_plot(result_plot::lineweaver_burk);
      break;
    case command::dixon:
      command_plot(result_plot::dixon);
      break;
    case command::chain_only:
    case command::refine:
      set_method_entries();
      break;
    case command::error_model:
      set_error_model_entries();
      break;
    case command::pause_setting:
    case command::fast_fitting:
    case command::mean_sd:
    case command::residual_axis:
      set_settings_entries();
      break;
    case command::axis_units:
      command_axis_units();
      break;
    case command::model_plots:
      if (frontend_) frontend_->show_kept_plots();
      break;
    case command::open_named: {
      std::string file;
      {
        std::lock_guard lock(files_mutex_);
        file = file_to_open_;
      }
      command_open_named(file);
      break;
    }
    case command::results_table:
      command_results_table();
      break;
    case command::simulate:
      command_simulate();
      break;
    case command::import_table:
      command_import_table();
      break;
    default:  // the information pages, shown above
      break;
  }
}

void main_window::command_run() {
  cleartext(tk_, st_);
  // The models of this run: the choice copied into the context as the command began.
  const auto selected =
      static_cast<int>(std::count(ctx_.selected_models.begin(), ctx_.selected_models.end(), true));
  if (selected == 0) {
    model_lib(tk_, st_);
    return;
  }
  if (st_.data_file_open == 0) {
    show_menu_state();
    tk_.dlgmessage(
        core::box_kind::information,
        strings::join_crlf({"No data file open - Warning!", "Open a data file for input. "}));
    return;
  }
  // The program holds no file open between commands, so the run can open the data file.
  tk_.setwindowtitle(st_.main_window, "Wait, computing model...");
  core::run_status status = core::run_status::success;
  // Nothing of an earlier run stays on show while this one goes on.
  tk_.close_table_window();
  tk_.set_notices({});
  if (!tk_.closing()) stop_ = 0;
  const std::atomic<int>* outer_stop = ctx_.stop;
  ctx_.stop = &stop_;
  take_left_out();
  tk_.begin_run_progress(selected, [this] { request_stop(); });
  on_run_start(st_.offers);
  show_menu_state();
  running_ = true;
  frontend_->begin_run();
  last_run_ = {};
  last_run_time_ = local_minute_text();
  if (svc_.run) status = svc_.run(ctx_, st_.data_file_name, last_run_);
  frontend_->end_run();
  running_ = false;
  tk_.end_run_progress();
  ctx_.stop = outer_stop;
  const int s = core::code(status);
  if (s != 0) {
    frontend_->forget_kept_plots();
    show_stopped_run(s);
    tk_.show_workspace_tab(toolkit::workspace_tab::report);
  }
  show_run_notices(status);
  if (s == 0) {
    tk_.setwindowtitle(st_.main_window, "Computation completed...Saving results");
    // Without pausing at the plots the report comes up without the pauses that pace it.
    timings loading = pause_;
    if (!pause_at_plots_.load()) loading.flush = loading.settle = 0;
    if (!readtext(tk_, st_, st_.data_file_name, loading)) {
      // The report cannot be shown: the program ends.
      exit_code_ = 1;
      st_.pending = code(command::quit);
      return;
    }
    if (ctx_.global_mdl_count == 1) tk_.settextboxcursorposition(st_.text_panel, 0);
    tk_.startidle(loading.settle);
    tk_.refreshall();
  } else if (status == core::run_status::see_model_library ||
             status == core::run_status::too_many_parameters ||
             status == core::run_status::model_not_usable) {
    models(tk_);
  } else if (status == core::run_status::see_example_file) {
    examplefile(tk_);
  }
  tk_.setwindowtitle(st_.main_window, st_.main_title);
  const bool fitted = s == 0 && !last_run_.fitted.empty();
  on_run_end(st_.offers, {.in_order = s == 0,
                          .curves = ctx_.idatasets,
                          .fitted = !last_run_.fitted.empty(),
                          .ranked = !last_run_.ranking.empty()});
  show_menu_state();
  set_weight_entries();
  // The table of the fits comes up beside the report; its entry shows it again.
  if (fitted) command_results_table();
  // A file the run could not read is no file to offer again.
  if (s == core::code(core::run_status::file_not_found) ||
      s == core::code(core::run_status::file_not_opened) ||
      s == core::code(core::run_status::file_rejected)) {
    st_.recent = without_recent(st_.recent, st_.data_file_name);
    set_recent_entries();
  }
  // The data file was missing or could not be opened, and the person has been told
  // so: offer another one at once.
  if (s == core::code(core::run_status::file_not_found) ||
      s == core::code(core::run_status::file_not_opened)) {
    command_open();
  }
}

// A run that stopped wrote no results file (or, when it had fitted models, only
// theirs): the panel shows what the run's messages said, each after its kind,
// and the run's closing line naming the results file. A missing data file has no
// results file to name; a run stopped by the person says so.
void main_window::show_stopped_run(int status) {
  std::string text;
  if (status == core::code(core::run_status::interrupted))
    text += std::string(run_stopped_notice) + "\r\n";
  for (const auto& shown : frontend_->run_messages())
    text += std::string(core::box_title(shown.kind)) + ": " + shown.text + "\r\n";
  if (status != core::code(core::run_status::file_not_found)) {
    std::ostringstream closing;
    fit::write_closing_line(closing, strings::printable(last_run_.results_name));
    text += closing.str();
  }
  write_text_to_panel(tk_, st_.text_panel, text);
}

// The run's messages (warnings, and why it stopped) above the results and in the
// status bar, instead of a box each.
void main_window::show_run_notices(core::run_status status) {
  std::vector<std::string> notices;
  if (status == core::run_status::interrupted) notices.emplace_back(run_stopped_notice);
  notices.insert(notices.end(), data_notices_.begin(), data_notices_.end());
  data_notices_.clear();
  for (const auto& shown : frontend_->run_messages()) {
    std::string text = std::string(core::box_title(shown.kind)) + ": " + shown.text;
    if (std::find(notices.begin(), notices.end(), text) == notices.end())
      notices.push_back(std::move(text));
  }
  tk_.set_notices(notices);
}

// The status bar names the data file and the settings the next run uses.
void main_window::update_status() {
  std::string text = st_.data_file_open != 0
                         ? std::filesystem::path(st_.data_file_name).filename().string()
                         : std::string("No data file open");
  text += "   |   Weights: ";
  text += core::error_model_name(st_.choices.errors.load());
  text += st_.choices.weighting_switch.load() == robust_on ? ", robust" : "";
  text += "   |   Fitting: ";
  text += st_.choices.chain_only.load() ? "chain only" : "refined";
  if (st_.choices.fast.load()) text += ", fast";
  tk_.set_status_text(text);
}

void main_window::command_results_table() {
  if (last_run_.fitted.empty()) return;
  // The units set for the charts, else those a data table's header row gave.
  data::axis_units units = last_run_.units;
  if (!units_.concentration.empty()) units.substrate = units.inhibitor = units_.concentration;
  if (!units_.rate.empty()) units.rate = units_.rate;
  auto rows = results_rows(last_run_, units);
  const std::string data = std::filesystem::path(last_run_.data_name).filename().string();
  const evidence::run_evidence evidence = evidence::weigh_evidence(last_run_);
  const table_evidence beside{evidence.nested, evidence.mechanism.sentence, last_run_.flagged_rows,
                              run_line(last_run_, last_run_time_)};
  tk_.show_table_window(
      std::string(results_table_title) + " - " + data, results_contents(rows, beside),
      [rows, beside](const std::string& name) { return export_csv(rows, name, beside); });
}

// The units are asked one after the other; cancelling either keeps both as they were.
void main_window::command_axis_units() {
  axis_units chosen = units_;
  if (tk_.dlginputtext(chosen.concentration, "Axis Units",
                       "Concentration unit ([S], [I], Kmapp, MC50; empty for none):") == 0 ||
      tk_.dlginputtext(chosen.rate, "Axis Units", "Rate unit (empty for none):") == 0) {
    return;
  }
  units_ = chosen;
  frontend_->set_units(units_);
}

void main_window::command_save() {
  savetext(tk_, st_);
  on_save(st_.offers);
  show_menu_state();
}

// Without a results file to print (yet, or any more) the entry is greyed out.
void main_window::command_print() {
  if (printscreen(tk_, st_)) return;
  st_.offers.results_file_missing = true;
  show_menu_state();
}

void main_window::command_clear() {
  if (st_.data_file_open != 0) {
    cleartext(tk_, st_);
    st_.choices.weighting_switch = robust_off;
  }
  on_clear(st_.offers);
  show_menu_state();
}

// A data file that is not there cannot be edited: its entry is greyed out instead.
void main_window::command_edit() {
  st_.editor_file_name = st_.filenamedata;
  if (editfile(tk_, st_.editor_file_name)) return;
  st_.offers.data_file_missing = true;
  show_menu_state();
}

void main_window::command_plot(result_plot kind) {
  tk_.startidle(pause_.settle);
  tk_.refreshall();
  if (svc_.make_plot) svc_.make_plot(ctx_, kind);
  tk_.setcurrentwindow(st_.main_window);
  st_.children.close_all(tk_);
  tk_.refreshall();
}

}  // namespace inhibra::shell
