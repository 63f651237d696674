#pragma once
// A window's wake-up event. Callbacks on the window thread set it; the command
// thread waits on it with or without a time limit. An event found set is reset by
// the wait that sees it. Once cancelled (the program is ending) every wait returns
// at once, so no thread is left blocked on a window that is gone.
#include <condition_variable>
#include <mutex>

namespace inhibra::toolkit {

class wake_event {
 public:
  // Sets the event and wakes a waiting thread.
  void set();
  // Waits until the event is set or cancelled, or `milliseconds` have passed.
  // Returns true when the event was found set (and resets it).
  bool wait_for(int milliseconds);
  // Waits without a time limit until the event is set or cancelled; true when set.
  bool wait();
  // Wakes every waiter now and makes every later wait return at once.
  void cancel();
  [[nodiscard]] bool cancelled() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
  bool cancelled_ = false;
};

}  // namespace inhibra::toolkit
