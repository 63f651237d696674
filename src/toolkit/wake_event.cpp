#include "toolkit/wake_event.hpp"

#include <chrono>

namespace inhibra::toolkit {

void wake_event::set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  changed_.notify_all();
}

bool wake_event::wait_for(int milliseconds) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(milliseconds > 0 ? milliseconds : 0),
                    [this] { return set_ || cancelled_; });
  const bool was_set = set_;
  set_ = false;
  return was_set;
}

bool wake_event::wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return set_ || cancelled_; });
  const bool was_set = set_;
  set_ = false;
  return was_set;
}

void wake_event::cancel() {
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  changed_.notify_all();
}

bool wake_event::cancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

}  // namespace inhibra::toolkit
