#include "cli/stop_signals.hpp"

#include <csignal>

#include "data/partial_files.hpp"

namespace inhibra::cli {

namespace {

std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free, "stored from a signal handler");

// The first signal asks for a stop. A second one (of any of the three) removes the
// unfinished files and ends the program by the default action of its signal, which
// is delivered as soon as this handler returns.
extern "C" void on_stop_signal(int signal_number) {
  int none = 0;
  if (received.compare_exchange_strong(none, signal_number)) return;
  data::remove_held_partials();
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  (void)sigaction(signal_number, &fallback, nullptr);
  (void)raise(signal_number);
}

}  // namespace

void install_stop_signals() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls resume; the other two signals wait while one is handled.
  action.sa_flags = SA_RESTART;
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  sigaddset(&action.sa_mask, SIGHUP);
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
