#pragma once
// Runs work on the window thread (the thread of the Qt event loop, which owns every
// widget) on behalf of the command thread, and waits for its result. A call made on
// the window thread itself runs at once. After shut_down() no new work is sent and
// every waiting caller returns a default value, so the command thread can never
// hang on a window thread that has stopped handling events.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

class QObject;

namespace inhibra::toolkit {

class window_thread {
 public:
  // Must be made on the thread that runs (or will run) the Qt event loop.
  window_thread();
  ~window_thread();
  window_thread(const window_thread&) = delete;
  window_thread& operator=(const window_thread&) = delete;

  // True when the calling thread is the window thread.
  [[nodiscard]] bool is_window_thread() const;

  // Runs `work` on the window thread and returns its result; blocks the caller
  // until then. `work` must own everything it touches (capture by value): after a
  // shut-down the caller returns a default value while `work` may still run later.
  template <class F>
  std::invoke_result_t<F&> call(F work);

  // Runs `work` on the window thread later and returns at once; after a shut-down it
  // is dropped. `work` must own everything it touches, as for call().
  void send(std::function<void()> work);

  // No further work is sent; callers waiting now return a default value.
  void shut_down();
  [[nodiscard]] bool is_shut_down() const;

 private:
  void post(std::function<void()> task);

  std::unique_ptr<QObject> context_;  // lives on the window thread; receives the work
  mutable std::mutex mutex_;
  std::condition_variable finished_;
  bool down_ = false;
};

template <class F>
std::invoke_result_t<F&> window_thread::call(F work) {
  using result = std::invoke_result_t<F&>;
  if (is_window_thread()) return work();

  struct slot {
    bool done = false;
    std::conditional_t<std::is_void_v<result>, char, result> value{};
  };
  auto s = std::make_shared<slot>();
  {
    std::lock_guard lock(mutex_);
    if (down_) return result();
  }
  post([this, s, work = std::move(work)]() mutable {
    if constexpr (std::is_void_v<result>) {
      work();
    } else {
      auto value = work();
      std::lock_guard lock(mutex_);
      s->value = std::move(value);
    }
    {
      std::lock_guard lock(mutex_);
      s->done = true;
    }
    finished_.notify_all();
  });
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [&] { return s->done || down_; });
  if constexpr (std::is_void_v<result>) {
    return;
  } else {
    if (!s->done) return result();
    return std::move(s->value);
  }
}

}  // namespace inhibra::toolkit
