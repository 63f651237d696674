// The wake-up event: a set event is consumed by the wait that sees it, waits time
// out, another thread's set wakes a waiter, and cancelling frees every waiter for good.
#include <QObject>
#include <QTest>
#include <chrono>
#include <thread>

#include "support/qt_test_main.hpp"
#include "toolkit/wake_event.hpp"

using inhibra::toolkit::wake_event;
using clock_type = std::chrono::steady_clock;

namespace {
long long ms_since(clock_type::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - start).count();
}
}  // namespace

class WakeEventTest : public QObject {
  Q_OBJECT

 private slots:
  void setEventIsConsumedByOneWaitElseWaitsTimeOut() {
    wake_event ev;
    ev.set();
    auto start = clock_type::now();
    QVERIFY(ev.wait_for(5000));
    QVERIFY(ms_since(start) < 1000);
    // Reset by the wait that saw it: the next one waits its full time.
    start = clock_type::now();
    QVERIFY(!ev.wait_for(40));
    QVERIFY(ms_since(start) >= 39);
    QVERIFY(!ev.wait_for(0));
    QVERIFY(!ev.wait_for(-5));
  }

  void anotherThreadWakesAWaiter() {
    wake_event ev;
    const auto start = clock_type::now();
    std::thread setter([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      ev.set();
    });
    QVERIFY(ev.wait());
    const auto waited = ms_since(start);
    setter.join();
    QVERIFY(waited >= 45);
    QVERIFY(waited < 5000);
  }

  void cancelFreesWaitersForGood() {
    wake_event ev;
    std::thread canceller([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      ev.cancel();
    });
    QVERIFY(!ev.wait());
    canceller.join();
    QVERIFY(ev.cancelled());
    const auto start = clock_type::now();
    QVERIFY(!ev.wait_for(10000));
    QVERIFY(!ev.wait());
    QVERIFY(ms_since(start) < 1000);
    // A set after cancelling is still seen once.
    ev.set();
    QVERIFY(ev.wait_for(10));
  }
};

INHIBRA_QT_TEST(WakeEventTest)
#include "wake_event_qtest.moc"
