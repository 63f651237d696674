#include "shell/main_window.hpp"

#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "shell/info_pages.hpp"
#include "shell/model_dialog.hpp"
#include "shell/results_table.hpp"
#include "shell/text_panel.hpp"
#include "strings/text.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::shell {

namespace {

// One row of the menu-state table: its entries and, per column (start, open, open
// cancelled, clear with a file open, run done, save), E enabled, D disabled, a
// blank for unchanged, * for the Ca/Sp rule after a run.
struct menu_row {
  std::array<int menu_ids::*, 3> entries;
  int count;
  std::string_view states;
};

constexpr std::array<menu_row, 21> menu_table = {{
    {{&menu_ids::file}, 1, "EE EEE"},
    {{&menu_ids::bar_open}, 1, "EEEEEE"},
    {{&menu_ids::weight}, 1, "DE EEE"},
    {{&menu_ids::bar_run}, 1, "DEDEED"},
    {{&menu_ids::bar_clear}, 1, "DEEDEE"},
    {{&menu_ids::bar_xy_plot}, 1, "DD DEE"},
    {{&menu_ids::bar_residuals}, 1, "DD DEE"},
    {{&menu_ids::bar_kmapp_plot}, 1, "DD D*E"},
    {{&menu_ids::bar_mc50_plot}, 1, "DD DEE"},
    {{&menu_ids::bar_about, &menu_ids::bar_quit}, 2, "EE EEE"},
    {{&menu_ids::file_open}, 1, "EEEEEE"},
    {{&menu_ids::file_edit}, 1, "DE DE "},
    {{&menu_ids::file_run}, 1, "DEDEED"},
    {{&menu_ids::file_xy_plot}, 1, "DD DEE"},
    {{&menu_ids::file_clear}, 1, "DEEDEE"},
    {{&menu_ids::file_save}, 1, "DD DED"},
    {{&menu_ids::file_print}, 1, "DD DEE"},
    {{&menu_ids::file_mechanism, &menu_ids::file_example}, 2, "E     "},
    {{&menu_ids::file_model_library, &menu_ids::file_about, &menu_ids::file_quit}, 3, "EE EEE"},
    {{&menu_ids::weight_on}, 1, "E  E  "},
    {{&menu_ids::weight_off}, 1, "D  D  "},
}};

bool is_command(std::int32_t c) {
  return c >= 0 && c <= code(command::results_table);
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

void main_window::handle_weight_on() {
  ctx_.nwt_global = 2;
  post(command::weight_on);
}

void main_window::handle_weight_off() {
  ctx_.nwt_global = 0;
  post(command::weight_off);
}

// The fitting method is a setting like the weighting: the entry stores it, and its
// command shows it in the menu.
void main_window::handle_chain_only() {
  ctx_.chain_only = true;
  post(command::chain_only);
}

void main_window::handle_refine() {
  ctx_.chain_only = false;
  post(command::refine);
}

int main_window::run() {
  start_up();
  command_loop();
  looping_ = false;
  // On quit: the main window closes, which ends the program. The program keeps no
  // file open between commands, so there is no file to close first.
  tk_.closewindow(st_.main_window);
  if (ctx_.fe == frontend_.get()) ctx_.fe = previous_frontend_;
  return exit_code_;
}

void main_window::start_up() {
  tk_.setapplicationdpiaware();
  // Half the screen, centred; the halves are taken in single precision.
  const int width = static_cast<int>(static_cast<float>(tk_.getmaxwidth()) / 2.0f);
  const int height = static_cast<int>(static_cast<float>(tk_.getmaxheight()) / 2.0f);
  const int left = width / 2;
  const int top = height / 2;
  st_.main_window =
      tk_.initwindow(width, height, strings::trim_both(st_.main_title), left, top, false, true);
  main_id_ = st_.main_window;
  frontend_ = std::make_unique<gui_frontend>(tk_, st_.main_window, svc_.present_plot);
  previous_frontend_ = ctx_.fe;
  ctx_.fe = frontend_.get();

  st_.children.reset(st_.main_window);
  st_.idactivewin = tk_.getactivepage();
  tk_.setactivepage(st_.idactivewin);
  tk_.setwindowtitle(st_.main_window, st_.main_title);

  build_menus();

  tk_.setcolor(toolkit::black);
  tk_.setbkcolor(toolkit::window_system::creatergb(255, 255, 255));
  tk_.clearviewport();
  // The fixed-pitch font lines up the report's columns.
  tk_.settextstyle(toolkit::fixed_pitch_font, 0, tk_.scaledpi(14));

  set_menu_state(menu_column::start);
  tk_.enablemenuitem(st_.menus.file_results_table, false);
  ctx_.nwt_global = 0;
  set_method_entries();

  st_.text_panel = tk_.createmultilinetextbox(5, 5, width - 10, height - 10, false);
  panel_id_ = st_.text_panel;
  tk_.enabletextbox(st_.text_panel, true);

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
}

void main_window::build_menus() {
  menu_ids& m = st_.menus;
  auto on = [this](void (main_window::*handler)()) {
    return [this, handler] { (this->*handler)(); };
  };
  m.bar = tk_.addmenu("", -1);
  m.file = tk_.addmenu("File", m.bar);
  m.file_open = tk_.addmenuitem("Open Data File", m.file, on(&main_window::handle_open));
  m.file_edit = tk_.addmenuitem("Edit Data File", m.file, on(&main_window::handle_data));
  m.file_run = tk_.addmenuitem("Run Curve-fit", m.file, on(&main_window::handle_run));
  m.file_xy_plot = tk_.addmenuitem("XY Plot", m.file, on(&main_window::handle_plot));
  m.file_results_table =
      tk_.addmenuitem("Results Table", m.file, on(&main_window::handle_results_table));
  m.file_clear = tk_.addmenuitem("Clear Display", m.file, on(&main_window::handle_clear));
  m.file_save = tk_.addmenuitem("Save Results", m.file, on(&main_window::handle_save));
  m.file_print = tk_.addmenuitem("Print Results", m.file, on(&main_window::handle_print));
  m.file_mechanism =
      tk_.addmenuitem("Mechanism of Inhibition", m.file, on(&main_window::handle_mechanism));
  m.file_model_library = tk_.addmenuitem("Model Library", m.file, on(&main_window::handle_models));
  m.file_mc50 = tk_.addmenuitem("MC50", m.file, on(&main_window::handle_mc50));
  m.file_example = tk_.addmenuitem("Example Data File", m.file, on(&main_window::handle_example));
  m.file_about = tk_.addmenuitem("About", m.file, on(&main_window::handle_about));
  m.file_quit = tk_.addmenuitem("Quit", m.file, on(&main_window::handle_quit));
  m.bar_open = tk_.addmenuitem("OpenData", m.bar, on(&main_window::handle_open));
  m.bar_models = tk_.addmenuitem("Models", m.bar, on(&main_window::handle_model_lib));
  m.weight = tk_.addmenu("Weight", m.bar);
  m.weight_on = tk_.addmenuitem("Turn-ON Robust Wt", m.weight, on(&main_window::handle_weight_on));
  m.weight_off =
      tk_.addmenuitem("Turn-OFF Robust Wt", m.weight, on(&main_window::handle_weight_off));
  m.method_chain = tk_.addmenuitem("Chain Only (Reproduce Earlier Results)", m.weight,
                                   on(&main_window::handle_chain_only));
  m.method_refine =
      tk_.addmenuitem("Refine Fits (Default)", m.weight, on(&main_window::handle_refine));
  m.bar_run = tk_.addmenuitem("Run", m.bar, on(&main_window::handle_run));
  m.bar_clear = tk_.addmenuitem("Clear", m.bar, on(&main_window::handle_clear));
  m.bar_xy_plot = tk_.addmenuitem("XY_Plot", m.bar, on(&main_window::handle_plot));
  m.bar_residuals = tk_.addmenuitem("Residuals", m.bar, on(&main_window::handle_resplot));
  m.bar_kmapp_plot = tk_.addmenuitem("Ca/Sp_Plot", m.bar, on(&main_window::handle_kmapplot));
  m.bar_mc50_plot = tk_.addmenuitem("MC50_Plot", m.bar, on(&main_window::handle_mc50plot));
  m.bar_help = tk_.addmenuitem("Help", m.bar, on(&main_window::handle_help));
  m.bar_about = tk_.addmenuitem("About", m.bar, on(&main_window::handle_about));
  m.bar_quit = tk_.addmenuitem("Quit", m.bar, on(&main_window::handle_quit));
}

void main_window::set_menu_state(menu_column column) {
  const menu_ids& m = st_.menus;
  if (column == menu_column::start) {
    // The weighting drop-down is enabled with both entries before the table disables
    // it, so that it offers "Turn-ON" and not "Turn-OFF" once it becomes available.
    tk_.enablemenuitem(m.weight, true);
    tk_.enablemenuitem(m.weight_on, true);
    tk_.enablemenuitem(m.weight_off, true);
  }
  const auto index = static_cast<std::size_t>(column);
  for (const menu_row& row : menu_table) {
    const char state = row.states[index];
    if (state == ' ') continue;
    bool flag = state == 'E';
    if (state == '*') {
      // One curve shows no dependence on [I]: the Ca/Sp plot needs two or more.
      int selected = 0;
      for (const auto& k : ctx_.imdl)
        selected += k.load();
      flag = selected >= 1 && ctx_.idatasets >= 2;
    }
    for (int e = 0; e < row.count; ++e)
      tk_.enablemenuitem(m.*row.entries[e], flag);
  }
}

// The weighting entries follow the switch. A toggle chosen while another command
// ran has set the switch although its command was lost; the menu must show it.
void main_window::set_weight_entries() {
  const bool on = ctx_.nwt_global.load() != 0;
  tk_.enablemenuitem(st_.menus.weight_on, !on);
  tk_.enablemenuitem(st_.menus.weight_off, on);
  set_method_entries();
}

// The entry of the fitting method in use is greyed out.
void main_window::set_method_entries() {
  const bool chain = ctx_.chain_only.load();
  tk_.enablemenuitem(st_.menus.method_chain, !chain);
  tk_.enablemenuitem(st_.menus.method_refine, chain);
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
      printscreen(tk_, st_);
      break;
    case command::open:
      command_open();
      break;
    case command::about:
      about(tk_);
      break;
    case command::models:
      models(tk_);
      break;
    case command::clear:
      command_clear();
      break;
    case command::example:
      examplefile(tk_);
      break;
    case command::mechanism:
      mechanism(tk_);
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
      command_weight(true);
      break;
    case command::weight_off:
      command_weight(false);
      break;
    case command::model_lib:
      model_lib(tk_, st_, ctx_);
      break;
    case command::resplot:
      command_plot(result_plot::residuals);
      break;
    case command::kmapplot:
      // The best model of the last run is the context's current model.
      command_plot(ctx_.model <= 4 ? result_plot::kmapp_linear : result_plot::kmapp_hyperbolic);
      break;
    case command::help:
      help(tk_);
      break;
    case command::mc50:
      mc50(tk_);
      break;
    case command::mc50plot:
      command_plot(result_plot::mc50);
      break;
    case command::chain_only:
    case command::refine:
      set_method_entries();
      break;
    case command::results_table:
      command_results_table();
      break;
  }
}

void main_window::command_run() {
  cleartext(tk_, st_);
  int selected = 0;
  for (const auto& k : ctx_.imdl)
    selected += k.load();
  if (selected == 0) {
    model_lib(tk_, st_, ctx_);
    return;
  }
  if (st_.data_file_open == 0) {
    tk_.enablemenuitem(st_.menus.bar_run, false);
    tk_.enablemenuitem(st_.menus.file_run, false);
    tk_.dlgmessage(
        core::box_kind::information,
        strings::join_crlf({"No data file open - Warning!", "Open a data file for input. "}));
    return;
  }
  // The program holds no file open between commands, so the run can open the data file.
  tk_.setwindowtitle(st_.main_window, "Wait, computing model...");
  core::run_status status = core::run_status::success;
  last_run_ = {};
  if (svc_.run) status = svc_.run(ctx_, st_.data_file_name, last_run_);
  const int s = core::code(status);
  if (s == 0) {
    tk_.setwindowtitle(st_.main_window, "Computation completed...Saving results");
    if (!readtext(tk_, st_, st_.data_file_name, pause_)) {
      // The report cannot be shown: the program ends.
      exit_code_ = 1;
      st_.pending = code(command::quit);
      return;
    }
    if (ctx_.global_mdl_count == 1) tk_.settextboxcursorposition(st_.text_panel, 0);
    tk_.startidle(pause_.settle);
    tk_.refreshall();
  } else if (s == 4 || s == 5 || s == 6) {
    models(tk_);
  } else if (s == 7) {
    examplefile(tk_);
  }
  tk_.setwindowtitle(st_.main_window, st_.main_title);
  set_menu_state(menu_column::run_done);
  set_weight_entries();
  // The table of the fits comes up beside the report; its entry shows it again.
  const bool fitted = s == 0 && !last_run_.fitted.empty();
  tk_.enablemenuitem(st_.menus.file_results_table, fitted);
  if (fitted) command_results_table();
  // The data file was missing or could not be opened, and the person has been told
  // so: offer another one at once.
  if (s == core::code(core::run_status::file_not_found) ||
      s == core::code(core::run_status::file_not_opened)) {
    command_open();
  }
}

void main_window::command_results_table() {
  if (last_run_.fitted.empty()) return;
  auto rows = results_rows(last_run_);
  const std::string data = std::filesystem::path(last_run_.data_name).filename().string();
  tk_.show_table_window(std::string(results_table_title) + " - " + data, results_contents(rows),
                        [rows](const std::string& name) { return export_csv(rows, name); });
}

void main_window::command_open() {
  st_.data_file_open = openfile(tk_, st_) ? 1 : 0;
  set_menu_state(st_.data_file_open != 0 ? menu_column::open : menu_column::open_cancelled);
}

void main_window::command_save() {
  savetext(tk_, st_);
  set_menu_state(menu_column::save);
}

void main_window::command_clear() {
  if (st_.data_file_open != 0) {
    cleartext(tk_, st_);
    ctx_.nwt_global = 0;
    set_menu_state(menu_column::clear_file_open);
  } else {
    tk_.enablemenuitem(st_.menus.bar_clear, false);
    tk_.enablemenuitem(st_.menus.file_clear, false);
  }
}

void main_window::command_edit() {
  st_.editor_file_name = st_.filenamedata;
  editfile(tk_, st_.editor_file_name, st_.menus.file_edit);
}

void main_window::command_weight(bool on) {
  // The switch itself was set by the menu handler.
  tk_.enablemenuitem(st_.menus.weight, true);
  tk_.enablemenuitem(st_.menus.weight_on, !on);
  tk_.enablemenuitem(st_.menus.weight_off, on);
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
