#pragma once
// Driving the toolkit from the test thread (the window thread): work on a command
// thread of its own, and answering the top-level windows it opens.
#include <QApplication>
#include <QWidget>
#include <atomic>
#include <thread>

#include "support/qt_wait.hpp"

namespace inhibra::support {

// Runs `work` on a thread of its own while the test thread handles events; false
// when it did not return within `timeout_ms`.
template <class F>
bool on_command_thread(F work, int timeout_ms = 10000) {
  std::atomic<bool> done{false};
  std::thread t([&] {
    work();
    done = true;
  });
  const bool ok = wait_until([&] { return done.load(); }, timeout_ms);
  t.join();
  return ok;
}

// The visible top-level window of type T, or null.
template <class T>
T* shown_window() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* t = qobject_cast<T*>(w); t != nullptr && t->isVisible()) return t;
  }
  return nullptr;
}

// Waits for a visible top-level window of type T and hands it to `answer`.
template <class T, class F>
bool answer_window(F answer, int timeout_ms = 10000) {
  return wait_until(
      [&] {
        T* w = shown_window<T>();
        if (w != nullptr) answer(w);
        return w != nullptr;
      },
      timeout_ms);
}

}  // namespace inhibra::support
