#include "shell/display_check.hpp"

#include <cstdlib>

namespace inhibra::shell {

namespace {

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

// "xcb:option=value" names the platform "xcb".
std::string_view platform_name(std::string_view platform) {
  return platform.substr(0, platform.find(':'));
}

}  // namespace

display_environment current_display_environment(int argc, char** argv) {
  display_environment env;
  env.platform = variable("QT_QPA_PLATFORM");
  for (int i = 1; i + 1 < argc; ++i) {
    const std::string_view arg(argv[i]);
    if (arg == "-platform" || arg == "--platform") env.platform = argv[i + 1];
  }
  env.display = variable("DISPLAY");
  env.wayland_display = variable("WAYLAND_DISPLAY");
  return env;
}

std::optional<std::string> missing_display(const display_environment& env) {
  const std::string_view name = platform_name(env.platform);
  const bool x11 = name.empty() || name == "xcb";
  const bool wayland = name.starts_with("wayland");
  if (x11 && (!env.display.empty() || !env.wayland_display.empty())) return std::nullopt;
  if (wayland && !env.wayland_display.empty()) return std::nullopt;
  if (!x11 && !wayland) return std::nullopt;
  const std::string needed = wayland ? "WAYLAND_DISPLAY is not set" : "DISPLAY is not set";
  return "inhibra: no display to show the program's window (" + needed +
         "). Start it in a desktop session, or fit data files without a window with "
         "inhibra-fit.";
}

}  // namespace inhibra::shell
