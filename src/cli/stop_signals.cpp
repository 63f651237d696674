#include "cli/stop_signals.hpp"

#include <csignal>

namespace inhibra::cli {

namespace {

std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free, "stored from a signal handler");

extern "C" void on_stop_signal(int signal_number) {
  int none = 0;
  (void)received.compare_exchange_strong(none, signal_number);
}

}  // namespace

void install_stop_signals() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls resume; the handler then gives way to the default, so
  // that a second signal ends a program that does not stop soon enough.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal the caller chose to ignore (nohup, a background job) stays ignored.
    struct sigaction before {};
    if (sigaction(s, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    (void)sigaction(s, &action, nullptr);
  }
}

const std::atomic<int>& stop_signal() {
  return received;
}

const char* stop_signal_name(int signal_number) {
  switch (signal_number) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

}  // namespace inhibra::cli
