#pragma once
// Waiting in Qt tests while another thread drives the widgets: the test thread is
// the window thread, so it must keep handling events while it waits. Conditions are
// checked by a timer, which also fires inside modal dialogs' own event loops; a
// condition may therefore answer a dialog that is blocking the wait.
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace inhibra::support {

// Handles events until `condition` holds (true) or `timeout_ms` passed (false).
inline bool wait_until(const std::function<bool()>& condition, int timeout_ms = 10000) {
  if (condition()) return true;
  QEventLoop loop;
  bool met = false;
  bool checking = false;
  QTimer poll;
  poll.setInterval(2);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (met || checking) return;
    checking = true;  // a condition that opens a dialog must not be re-entered
    met = condition();
    checking = false;
    if (met) loop.quit();
  });
  QTimer::singleShot(timeout_ms, &loop, [&loop] {
    // A dialog nobody answered would keep its own event loop (and this wait) alive.
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* d = qobject_cast<QDialog*>(w); d != nullptr && d->isVisible()) d->reject();
    }
    loop.quit();
  });
  poll.start();
  loop.exec();
  return met;
}

// Handles events for `ms` milliseconds.
inline void pump_events(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, [&loop] { loop.quit(); });
  loop.exec();
}

}  // namespace inhibra::support
