// Opening a data file: by the open dialog, or by name (the command line's file, a
// dropped or a recent file). Nothing of the last run's file stays on show or on
// offer, the file joins the recent files, and the Data pane shows its rows, which
// the person may leave out of the next run.
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "shell/data_view.hpp"
#include "shell/main_window.hpp"
#include "shell/remembered.hpp"
#include "shell/text_panel.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::shell {

void main_window::command_open() {
  if (!openfile(tk_, st_)) {
    st_.data_file_open = 0;
    on_open_cancelled(st_.offers);
    show_menu_state();
    return;
  }
  forget_last_run();
  show_opened_file();
}

// A file named on the command line, dropped on the window or chosen from the recent
// files is opened as the open dialog opens a file; a missing one is reported and the
// file open before stays open.
void main_window::command_open_named(const std::string& file) {
  if (!open_named_file(tk_, st_, file)) return;
  forget_last_run();
  show_opened_file();
}

// A file has been opened and the last run forgotten: the menus offer what the file
// allows, and the Data pane shows its rows.
void main_window::show_opened_file() {
  st_.data_file_open = 1;
  note_recent(st_.data_file_name);
  on_open(st_.offers);
  show_menu_state();
  show_data(false);
}

// Another file is open: nothing of the last run's file stays on show or on offer (its
// report, its table, the check by simulation, the charts kept of it).
void main_window::forget_last_run() {
  cleartext(tk_, st_);
  last_run_ = {};
  ctx_.table = {};  // read by its name again, unless Import Table says otherwise
  tk_.close_table_window();
  if (frontend_) frontend_->forget_kept_plots();
  set_settings_entries();
}

void main_window::note_recent(const std::string& file) {
  st_.recent = with_recent(st_.recent, file);
  set_recent_entries();
}

// The Data pane shows the open file's rows as a run would read them now. A new file
// starts with every row in; `keep_left_out` keeps the rows left out while the file
// reads as it did, and puts them all back, with a notice, when it has changed.
void main_window::show_data(bool keep_left_out) {
  std::set<int> out;
  if (keep_left_out) {
    std::lock_guard lock(rows_mutex_);
    out = left_out_;
  }
  data_view view = read_data_view(st_.data_file_name, ctx_.table, out);
  if (!out.empty() && view.rows != shown_rows_) {
    data_notices_.emplace_back(
        "The data file has changed since its rows were shown: no row is left out of this run.");
    out.clear();
    view = read_data_view(st_.data_file_name, ctx_.table, out);
  }
  {
    std::lock_guard lock(rows_mutex_);
    left_out_ = out;
  }
  shown_rows_ = view.rows;
  tk_.show_data_pane(std::move(view.contents), [this](int place, bool used) {
    std::lock_guard lock(rows_mutex_);
    if (used) {
      left_out_.erase(place);
    } else {
      left_out_.insert(place);
    }
  });
}

// The rows the Data pane leaves out go to the run; the pane is read again first, so
// that the places still name the rows the person saw.
void main_window::take_left_out() {
  show_data(true);
  std::lock_guard lock(rows_mutex_);
  ctx_.leave_out.assign(left_out_.begin(), left_out_.end());
}

}  // namespace inhibra::shell
