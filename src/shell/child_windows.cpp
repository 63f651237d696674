#include "shell/shell_state.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::shell {

void child_windows::reset(int main_window) {
  ids_.fill(-1);
  ids_[slot_count - 1] = main_window;
}

int child_windows::add(int id) {
  for (int slot = 1; slot < slot_count; ++slot) {
    if (ids_[slot - 1] == -1) {
      ids_[slot - 1] = id;
      return slot;
    }
  }
  return 0;
}

int child_windows::at(int slot) const {
  if (slot < 1 || slot > slot_count) return -1;
  return ids_[slot - 1];
}

void child_windows::free(int slot) {
  if (slot >= 1 && slot < slot_count) ids_[slot - 1] = -1;
}

int child_windows::first_used() const {
  for (int slot = 1; slot < slot_count; ++slot) {
    if (ids_[slot - 1] != -1) return slot;
  }
  return 0;
}

void child_windows::close_all(toolkit::window_system& tk) {
  for (int slot = 1; slot < slot_count; ++slot) {
    if (ids_[slot - 1] != -1) {
      tk.closewindow(ids_[slot - 1]);
      ids_[slot - 1] = -1;
    }
  }
  tk.setcurrentwindow(ids_[slot_count - 1]);
}

}  // namespace inhibra::shell
