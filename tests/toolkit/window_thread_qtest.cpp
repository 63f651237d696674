// Work handed to the window thread: it runs there, results come back, calls made
// on the window thread run at once, and a shut-down frees a caller whose work the
// window thread will never run.
#include <QObject>
#include <QTest>
#include <QThread>
#include <atomic>
#include <string>
#include <thread>

#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "toolkit/toolkit_harness.hpp"
#include "toolkit/window_thread.hpp"

using inhibra::support::wait_until;
using inhibra::toolkit::window_thread;

class WindowThreadTest : public QObject {
  Q_OBJECT

 private slots:
  void workRunsOnTheWindowThread() {
    window_thread wt;
    // Called there, it runs at once: no event handling needed.
    QVERIFY(wt.is_window_thread());
    QCOMPARE(wt.call([] { return 1; }), 1);
    // Called from another thread, it runs there and its result comes back.
    QThread* ran_on = nullptr;
    std::string result;
    std::atomic<bool> caller_is_window_thread{true};
    QVERIFY(inhibra::support::on_command_thread([&] {
      caller_is_window_thread = wt.is_window_thread();
      result = wt.call([&ran_on] {
        ran_on = QThread::currentThread();
        return std::string("from the window thread");
      });
      wt.call([] {});  // work without a result
    }));
    QVERIFY(!caller_is_window_thread.load());
    QCOMPARE(ran_on, QThread::currentThread());
    QCOMPARE(result, std::string("from the window thread"));
  }

  void shutDownFreesAWaitingCaller() {
    window_thread wt;
    std::atomic<bool> returned{false};
    std::atomic<int> value{-1};
    std::atomic<bool> ran{false};
    std::thread caller([&] {
      value = wt.call([&ran] {
        ran = true;
        return 42;
      });
      returned = true;
    });
    // The window thread handles no events meanwhile: the work cannot run.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QVERIFY(!returned.load());
    wt.shut_down();
    caller.join();
    QVERIFY(returned.load());
    QCOMPARE(value.load(), 0);  // the default value
    QVERIFY(wt.is_shut_down());
    // Later calls from other threads return at once and send nothing.
    std::atomic<bool> later_ran{false};
    std::atomic<int> later_value{-1};
    std::thread late([&] {
      later_value = wt.call([&later_ran] {
        later_ran = true;
        return 7;
      });
    });
    late.join();
    QCOMPARE(later_value.load(), 0);
    inhibra::support::pump_events(20);
    QVERIFY(!later_ran.load());
  }
};

INHIBRA_QT_TEST(WindowThreadTest)
#include "window_thread_qtest.moc"
