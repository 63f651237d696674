#include "shell/display_check.hpp"

#include <QMessageLogContext>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

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

const char* const use_inhibra_fit =
    "Start it in a desktop session, or fit data files without a window with inhibra-fit.";

// A message of Qt's held back while the window system starts, with copies of its
// context's texts.
struct held_message {
  QtMsgType type;
  std::string file, function, category;
  int line;
  QString text;
};

// The state of the one watch at a time; the handler is a plain function.
struct start_watch {
  std::mutex mutex;
  std::string failure;  // the line for standard error
  QtMessageHandler earlier = nullptr;
  std::vector<held_message> held;
};

start_watch& watch() {
  static start_watch w;
  return w;
}

void hold_back(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  start_watch& w = watch();
  std::lock_guard lock(w.mutex);
  if (type == QtFatalMsg) {
    // Qt would abort (and suggest reinstalling); the person hears what was tried.
    std::fputs(w.failure.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::_Exit(1);
  }
  const auto text_of = [](const char* s) { return s != nullptr ? std::string(s) : std::string(); };
  w.held.push_back({type, text_of(context.file), text_of(context.function),
                    text_of(context.category), context.line, text});
}

}  // namespace

display_environment current_display_environment(int argc, char** argv) {
  display_environment env;
  env.platform = variable("QT_QPA_PLATFORM");
  for (int i = 1; i + 1 < argc; ++i) {
    const std::string_view arg(argv[i]);
    if (arg == "-platform" || arg == "--platform") {
      env.platform = argv[i + 1];
      env.platform_option = true;
    }
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
  return "inhibra: no display to show the program's window (" + needed + "). " + use_inhibra_fit;
}

std::string unusable_display(const display_environment& env) {
  std::string tried;
  const auto add = [&tried](const std::string& what) {
    tried += tried.empty() ? what : ", " + what;
  };
  if (!env.platform.empty())
    add(env.platform_option ? "-platform " + env.platform : "QT_QPA_PLATFORM=" + env.platform);
  const bool wayland = platform_name(env.platform).starts_with("wayland");
  if (!env.display.empty()) {
    add("DISPLAY=" + env.display);
  } else if (!wayland) {
    add("DISPLAY is not set");
  }
  if (!env.wayland_display.empty()) {
    add("WAYLAND_DISPLAY=" + env.wayland_display);
  } else if (wayland) {
    add("WAYLAND_DISPLAY is not set");
  }
  return "inhibra: no display it can use to show the program's window (" + tried + "). " +
         use_inhibra_fit;
}

window_system_start::window_system_start(const display_environment& env) {
  start_watch& w = watch();
  std::lock_guard lock(w.mutex);
  w.failure = unusable_display(env);
  w.held.clear();
  w.earlier = qInstallMessageHandler(hold_back);
}

window_system_start::~window_system_start() {
  started();
}

void window_system_start::started() {
  if (!watching_) return;
  watching_ = false;
  start_watch& w = watch();
  std::vector<held_message> held;
  {
    std::lock_guard lock(w.mutex);
    qInstallMessageHandler(w.earlier);
    held.swap(w.held);
  }
  for (const held_message& m : held) {
    const QMessageLogContext context(m.file.empty() ? nullptr : m.file.c_str(), m.line,
                                     m.function.empty() ? nullptr : m.function.c_str(),
                                     m.category.empty() ? "default" : m.category.c_str());
    qt_message_output(m.type, context, m.text);
  }
}

}  // namespace inhibra::shell
