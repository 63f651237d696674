#pragma once
// Whether the desktop program can show a window at all. Without a display, or with
// one it cannot use, the window system would abort the program; the person is told
// why in one line instead, and the program ends with status 1: decided before the
// window system starts when no display is named, and while it starts for a display
// that is named but not there (a dead X server, a missing Wayland socket, an
// unknown platform).
#include <optional>
#include <string>
#include <string_view>

namespace inhibra::shell {

// The window system the program would use and the displays it can see.
struct display_environment {
  std::string platform;          // "-platform" on the command line, else QT_QPA_PLATFORM
  bool platform_option = false;  // the platform came from "-platform"
  std::string display;           // DISPLAY
  std::string wayland_display;   // WAYLAND_DISPLAY
};

// The environment of this process with the command line `argv`.
[[nodiscard]] display_environment current_display_environment(int argc, char** argv);

// The message for standard error when no window can be shown; nothing when one can.
// X11 (the default) needs DISPLAY or WAYLAND_DISPLAY, Wayland needs WAYLAND_DISPLAY;
// other platforms (offscreen, vnc, ...) need neither.
[[nodiscard]] std::optional<std::string> missing_display(const display_environment& env);

// The message for standard error when the window system could not start with `env`:
// it names the platform and displays that were tried.
[[nodiscard]] std::string unusable_display(const display_environment& env);

// Watches the window system's start. While it lives, Qt's messages are held back; a
// fatal one (no display or platform could be used) prints unusable_display(env) as
// the only line on standard error and ends the process with status 1, instead of
// Qt's abort. started() hands the held-back messages on and puts the earlier message
// handler back (so does the end of its life). One at a time, on the main thread.
class window_system_start {
 public:
  explicit window_system_start(const display_environment& env);
  ~window_system_start();
  window_system_start(const window_system_start&) = delete;
  window_system_start& operator=(const window_system_start&) = delete;

  // The application object exists: messages go their usual way again.
  void started();

 private:
  bool watching_ = true;
};

}  // namespace inhibra::shell
