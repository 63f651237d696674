// The main window's menus: making the entries from the table of commands, what
// choosing one does, which are offered, and the entries that show a setting
// (weighting, fitting method, plot pausing) or a list (the recent files).
#include <mutex>
#include <string_view>
#include <vector>

#include "shell/info_pages.hpp"
#include "shell/main_window.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::shell {

namespace {

// The toolkit's name for a standard key (an entry with none asks for none).
toolkit::shortcut keys_of(standard_key key) {
  switch (key) {
    case standard_key::open:
      return toolkit::shortcut::open;
    case standard_key::save:
      return toolkit::shortcut::save;
    case standard_key::print:
      return toolkit::shortcut::print;
    case standard_key::quit:
      return toolkit::shortcut::quit;
    case standard_key::none:
    case standard_key::help:
      break;
  }
  return toolkit::shortcut::help;
}

// The ids of a radio group's entries, in the table's order.
std::vector<int> group_ids(const menu_ids& ids, radio_group group) {
  std::vector<int> out;
  for (const command_entry& e : commands()) {
    if (e.group == group) out.push_back(ids[e.id].in_menus);
  }
  return out;
}

}  // namespace

void main_window::build_menus() {
  const int bar = tk_.addmenu("", -1);
  for (const menu m : bar_menus)
    add_entries(m, tk_.addmenu(menu_title(m), bar));
  // The one-click commands stay one click away, with their texts, on a tool bar
  // under the menus: people who know them find them where a desktop program keeps
  // such buttons, and the drop-downs keep one entry per command.
  add_entries(menu::tool_bar, tk_.addtoolbar(menu_title(menu::tool_bar)));
  for (const radio_group group :
       {radio_group::weighting, radio_group::error_model, radio_group::fitting_method}) {
    tk_.addmenuradiogroup(group_ids(st_.menus, group));
  }
  // The standard keys reach the entries; their texts stay as they are.
  for (const command_entry& e : commands()) {
    if (e.key != standard_key::none)
      tk_.setmenuitemshortcut(st_.menus[e.id].in_menus, keys_of(e.key));
  }
}

// The entries the table puts in `which`, under `parent` (made already), in the
// table's order; an entry that is a drop-down brings its own entries, and the recent
// files' drop-down an entry for each file it can show.
void main_window::add_entries(menu which, int parent) {
  const bool tool_bar = which == menu::tool_bar;
  for (const command_entry& e : commands()) {
    const place& shown = tool_bar ? e.on_tool_bar : e.in_menus;
    if (shown.where != which) continue;
    if (shown.line_before) tk_.addmenuseparator(parent);
    int& id = tool_bar ? st_.menus[e.id].on_tool_bar : st_.menus[e.id].in_menus;
    if (e.opens == menu::none) {
      id = tk_.addmenuitem(shown.text, parent, [this, c = e.id] { choose(c); });
    } else {
      id = tk_.addmenu(shown.text, parent);
      add_entries(e.opens, id);
    }
  }
  if (which != menu::recent_files) return;
  for (int i = 0; i < recent_count; ++i) {
    st_.menus.recent[static_cast<std::size_t>(i)] =
        tk_.addmenuitem("", parent, [this, i] { handle_recent(i); });
  }
}

// Choosing an entry (window thread): a setting is stored at once and its command
// shows it in the menus; an information page comes up at once while a run is going
// on; any other command is stored for the command loop.
void main_window::choose(menu_command c) {
  const command code = entry(c).code;
  switch (code) {
    case command::quit:
      handle_quit();
      break;
    case command::weight_on:
      handle_weight_on();
      break;
    case command::weight_off:
      handle_weight_off();
      break;
    case command::chain_only:
      handle_chain_only();
      break;
    case command::refine:
      handle_refine();
      break;
    case command::error_model:
      handle_error_model(static_cast<core::error_model>(place_in_group(c)));
      break;
    case command::pause_setting:
      handle_pause_setting();
      break;
    case command::fast_fitting:
      handle_fast_fitting();
      break;
    case command::mean_sd:
      handle_replicate_means();
      break;
    case command::residual_axis:
      handle_residual_axis();
      break;
    default:
      if (shows_page(code)) {
        show_page(code);
      } else {
        post(code);
      }
      break;
  }
}

void main_window::show_page(command page) {
  if (running_.load()) {
    show_page_now(page);
  } else {
    post(page);
  }
}

void main_window::show_page_now(command page) {
  switch (page) {
    case command::about:
      about(tk_);
      break;
    case command::models:
      models(tk_);
      break;
    case command::example:
      examplefile(tk_);
      break;
    case command::mechanism:
      mechanism(tk_);
      break;
    case command::help:
      help(tk_);
      break;
    case command::mc50:
      mc50(tk_);
      break;
    default:
      break;
  }
}

// The facts have changed: every entry is offered, or greyed out, by its command's
// needs, in the menus and on the tool bar alike.
void main_window::show_menu_state() {
  for (const command_entry& e : commands()) {
    const bool on = enabled(e, st_.offers);
    const menu_ids::places& ids = st_.menus[e.id];
    tk_.enablemenuitem(ids.in_menus, on);
    if (ids.on_tool_bar >= 0) tk_.enablemenuitem(ids.on_tool_bar, on);
  }
}

// The weighting's radio marks follow the switch; both entries stay enabled. A choice
// made while another command ran has set the switch although its command was lost;
// the menu must show it.
void main_window::set_weight_entries() {
  const bool on = st_.choices.weighting_switch.load() != robust_off;
  tk_.setmenuitemchecked(st_.menus[menu_command::weight_on].in_menus, on);
  tk_.setmenuitemchecked(st_.menus[menu_command::weight_off].in_menus, !on);
  set_method_entries();
  set_error_model_entries();
}

// The entry of the error model in use carries the radio mark.
void main_window::set_error_model_entries() {
  const auto in_use = static_cast<std::size_t>(st_.choices.errors.load());
  const std::vector<int> entries = group_ids(st_.menus, radio_group::error_model);
  for (std::size_t k = 0; k < entries.size(); ++k)
    tk_.setmenuitemchecked(entries[k], k == in_use);
}

// The entry of the fitting method in use carries the radio mark.
void main_window::set_method_entries() {
  const bool chain = st_.choices.chain_only.load();
  tk_.setmenuitemchecked(st_.menus[menu_command::chain_only].in_menus, chain);
  tk_.setmenuitemchecked(st_.menus[menu_command::refine].in_menus, !chain);
  st_.offers.chain_only = chain;
}

// The pause and fast-fitting entries show their settings with a check mark; the
// charts of the last run can be shown once there are any.
void main_window::set_settings_entries() {
  const menu_ids& m = st_.menus;
  tk_.setmenuitemchecked(m[menu_command::pause_at_plots].in_menus, pause_at_plots_.load());
  tk_.setmenuitemchecked(m[menu_command::fast_fitting].in_menus, st_.choices.fast.load());
  tk_.setmenuitemchecked(m[menu_command::replicate_means].in_menus,
                         st_.choices.replicate_means.load());
  tk_.setmenuitemchecked(m[menu_command::residuals_by_rate].in_menus, residuals_by_rate_.load());
  st_.offers.charts_kept = frontend_ && frontend_->kept_plot_count() > 0;
}

// One entry per recent file, most recent first; unused entries are hidden and the
// drop-down is greyed out while the list is empty.
void main_window::set_recent_entries() {
  for (int i = 0; i < recent_count; ++i) {
    const int id = st_.menus.recent[static_cast<std::size_t>(i)];
    const bool used = i < static_cast<int>(st_.recent.size());
    if (used) tk_.setmenuitemtext(id, st_.recent[static_cast<std::size_t>(i)]);
    tk_.setmenuitemvisible(id, used);
  }
  st_.offers.recent_files = !st_.recent.empty();
  std::lock_guard lock(files_mutex_);
  recent_shown_ = st_.recent;
}

}  // namespace inhibra::shell
