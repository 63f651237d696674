#pragma once
// Whether the desktop program can show a window at all, decided before the window
// system starts: without a display the window system would abort the program, so
// the person is told why instead.
#include <optional>
#include <string>
#include <string_view>

namespace inhibra::shell {

// The window system the program would use and the displays it can see.
struct display_environment {
  std::string platform;         // "-platform" on the command line, else QT_QPA_PLATFORM
  std::string display;          // DISPLAY
  std::string wayland_display;  // WAYLAND_DISPLAY
};

// The environment of this process with the command line `argv`.
[[nodiscard]] display_environment current_display_environment(int argc, char** argv);

// The message for standard error when no window can be shown; nothing when one can.
// X11 (the default) needs DISPLAY or WAYLAND_DISPLAY, Wayland needs WAYLAND_DISPLAY;
// other platforms (offscreen, vnc, ...) need neither.
[[nodiscard]] std::optional<std::string> missing_display(const display_environment& env);

}  // namespace inhibra::shell
