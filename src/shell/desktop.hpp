#pragma once
// The desktop program's threads: the calling thread runs the Qt event loop and is
// the window thread; a command thread runs the shell (start-up, command loop and
// every command, the whole fit included). The program ends when the main window
// closes: by the quit command, by its close button, or on SIGTERM/SIGINT.
#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "core/fit_context.hpp"
#include "shell/shell_state.hpp"

class QApplication;
class QSocketNotifier;

#ifdef __linux__
#include <signal.h>
#endif

namespace inhibra::shell {

// SIGTERM and SIGINT close the main window, as its close button does. Make this
// first thing in main(), before the QApplication: the signals are blocked in every
// thread started afterwards and read from a descriptor by the event loop.
class termination_signals {
 public:
  termination_signals();
  ~termination_signals();
  termination_signals(const termination_signals&) = delete;
  termination_signals& operator=(const termination_signals&) = delete;

  // Calls `on_signal` on the event loop's thread when a signal arrives.
  void watch(std::function<void()> on_signal);

 private:
#ifdef __linux__
  sigset_t set_{};
  sigset_t previous_{};
  bool blocked_ = false;
  int fd_ = -1;
#endif
  std::unique_ptr<QSocketNotifier> notifier_;
};

// The program's services: "Run" fits with ezfit (the data reader's console lines go
// to `console`), the plot commands draw the result plots, and every chart, those of
// a run included, is shown in a plot window that the command waits for.
[[nodiscard]] services desktop_services(std::ostream& console);

// Runs the program and returns its exit code; `start_file`, when not empty, is opened
// at start-up. The person's settings of the program are restored and kept. When the
// main window closes during a
// run, the run stops before its next model without writing its results file. When
// the command thread has still not finished after `grace` (a model takes longer),
// the process ends at once with std::quick_exit: nothing the person can see is
// waiting any more, and an earlier results file is left as it was.
int run_desktop(QApplication& app, termination_signals& termination, core::fit_context& ctx,
                services svc, const std::string& start_file = {}, timings pause = {},
                std::chrono::milliseconds grace = std::chrono::seconds(2));

}  // namespace inhibra::shell
