#include "toolkit/window_thread.hpp"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace inhibra::toolkit {

window_thread::window_thread() : context_(std::make_unique<QObject>()) {}

// Destroying the context drops work still queued for it.
window_thread::~window_thread() = default;

bool window_thread::is_window_thread() const {
  return QThread::currentThread() == context_->thread();
}

void window_thread::post(std::function<void()> task) {
  QMetaObject::invokeMethod(context_.get(), std::move(task), Qt::QueuedConnection);
}

void window_thread::send(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    if (down_) return;
  }
  post(std::move(work));
}

void window_thread::shut_down() {
  {
    std::lock_guard lock(mutex_);
    down_ = true;
  }
  finished_.notify_all();
}

bool window_thread::is_shut_down() const {
  std::lock_guard lock(mutex_);
  return down_;
}

}  // namespace inhibra::toolkit
