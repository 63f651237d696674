#pragma once
// SIGINT, SIGTERM and SIGHUP ask inhibra-fit to stop at its next safe point (between
// two models, before the next file or plot) instead of ending it mid-write: the
// runs that have not finished leave no results or plot file, and earlier ones stay. A
// second signal (any of the three) removes the unfinished files and ends the program
// at once; a signal that was ignored when the program started (nohup) stays ignored.
#include <atomic>

namespace inhibra::cli {

// Installs the handlers. Call once, before any other thread starts.
void install_stop_signals();

// The number of the first signal received, 0 while none has come.
[[nodiscard]] const std::atomic<int>& stop_signal();

// "SIGINT", "SIGTERM", "SIGHUP" ("a signal" for others).
[[nodiscard]] const char* stop_signal_name(int signal_number);

}  // namespace inhibra::cli
