// The window operations as the shell uses them: ending the program with a closeflag
// window, the wake-up event and the window thread under it, drawing, the menu bar's
// width, message boxes called from another thread, windows kept inside the screen
// and files dropped on a window, tool bars and radio groups. Other menu entries, the
// text box, check boxes, buttons, the file dialogs and the kept settings are tested
// through the shell's commands.
#include <QAbstractButton>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QThread>
#include <QToolBar>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "toolkit/toolkit_harness.hpp"
#include "toolkit/toolkit_window.hpp"
#include "toolkit/wake_event.hpp"
#include "toolkit/window_system.hpp"
#include "toolkit/window_thread.hpp"

using namespace inhibra;
using support::answer_window;
using support::on_command_thread;
using support::wait_until;
using toolkit::window_system;

namespace {

QMainWindow* main_of(window_system& tk, int id) {
  return qobject_cast<QMainWindow*>(tk.widget(id));
}

QWidget* client_of(window_system& tk, int id) {
  return main_of(tk, id)->centralWidget();
}

// Bounding box of the pixels of `image` whose colour passes `keep`.
QRect area_where(const QImage& image, const std::function<bool(QColor)>& keep) {
  QRect box;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (keep(image.pixelColor(x, y))) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

// Drags `mime` onto `target` and drops it there; true when the drop was accepted.
bool drop_on(QWidget* target, const QMimeData& mime) {
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

bool took_less(std::chrono::steady_clock::time_point start, int ms) {
  return std::chrono::steady_clock::now() - start < std::chrono::milliseconds(ms);
}

}  // namespace

class WindowSystemTest : public QObject {
  Q_OBJECT

 private slots:
  void closingACloseflagWindowEndsTheProgram_data() {
    QTest::addColumn<bool>("by_person");  // else closed by the program from its thread
    QTest::newRow("close button") << true;
    QTest::newRow("closewindow") << false;
  }

  void closingACloseflagWindowEndsTheProgram() {
    QFETCH(bool, by_person);
    int ends = 0;
    window_system tk([&ends] { ++ends; });
    const int other = tk.initwindow(100, 100, "Other", -1, -1, false, false);
    const int main = tk.initwindow(200, 100, "Main", -1, -1, false, true);
    if (by_person) {
      main_of(tk, main)->close();
    } else {
      QVERIFY(on_command_thread([&] { tk.closewindow(main); }));
    }
    QCOMPARE(ends, 1);
    QVERIFY(tk.closing());
    QVERIFY(!main_of(tk, other)->isVisible());  // every window goes
    // Nothing waits any more, on any thread.
    QVERIFY(on_command_thread(
        [&] {
          tk.startidle(60000);
          tk.loop();
          tk.dlgmessage(core::box_kind::information, "never shown");
          std::string name = "x";
          QCOMPARE(tk.dlgopenfile(name, "*.in", "*.in", "t"), 0);
          tk.show_plot_window("never", [](QPainter&, const QRect&) {});
        },
        3000));
    QCOMPARE(ends, 1);
  }

  void wakeUpOperationsWorkOnTheCurrentWindow() {
    window_system tk([] {});
    const int id = tk.initwindow(100, 100, "W", -1, -1, false, false);
    tk.stopidle();
    auto start = std::chrono::steady_clock::now();
    tk.startidle(5000);  // finds the event set and returns at once
    QVERIFY(took_less(start, 2000));
    start = std::chrono::steady_clock::now();
    tk.startidle(30);  // the event was used up: the full pause
    QVERIFY(!took_less(start, 29));
    // A callback on the window thread wakes a waiting command thread.
    std::atomic<bool> done{false};
    std::thread waiter([&] {
      tk.loop();
      done = true;
    });
    support::pump_events(20);
    QVERIFY(!done.load());
    tk.stopidle(id);
    QVERIFY(wait_until([&] { return done.load(); }, 5000));
    waiter.join();
    // So does closing the window.
    done = false;
    std::thread sleeper([&] {
      tk.startidle(60000);
      done = true;
    });
    support::pump_events(30);
    main_of(tk, id)->close();
    QVERIFY(wait_until([&] { return done.load(); }, 5000));
    sleeper.join();
  }

  void wakeEventCancelledFreesEveryWaitForGood() {
    toolkit::wake_event ev;
    QVERIFY(!ev.wait_for(0));
    QVERIFY(!ev.wait_for(-5));
    std::thread canceller([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      ev.cancel();
    });
    QVERIFY(!ev.wait());
    canceller.join();
    const auto start = std::chrono::steady_clock::now();
    QVERIFY(!ev.wait_for(10000) && !ev.wait());
    QVERIFY(took_less(start, 1000));
    ev.set();  // a set after cancelling is still seen once
    QVERIFY(ev.wait_for(10));
  }

  void windowThreadRunsWorkAndShutDownFreesCallers() {
    toolkit::window_thread wt;
    QVERIFY(wt.is_window_thread());
    QCOMPARE(wt.call([] { return 1; }), 1);  // at once: no event handling needed
    QThread* ran_on = nullptr;
    std::string result;
    bool caller_is_window_thread = true;
    QVERIFY(on_command_thread([&] {
      caller_is_window_thread = wt.is_window_thread();
      result = wt.call([&ran_on] {
        ran_on = QThread::currentThread();
        return std::string("from the window thread");
      });
    }));
    QVERIFY(!caller_is_window_thread);
    QCOMPARE(ran_on, QThread::currentThread());
    QCOMPARE(result, std::string("from the window thread"));

    // The window thread handles no events meanwhile: the work cannot run.
    std::atomic<int> value{-1};
    std::atomic<int> runs{0};
    const auto work = [&runs] {
      ++runs;
      return 42;
    };
    std::thread caller([&] { value = wt.call(work); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QCOMPARE(value.load(), -1);
    wt.shut_down();
    caller.join();
    QCOMPARE(value.load(), 0);  // the default value
    QVERIFY(wt.is_shut_down());
    // Later calls return at once and send nothing.
    std::thread([&] { value = wt.call(work); }).join();
    QCOMPARE(value.load(), 0);
    support::pump_events(20);
    QCOMPARE(runs.load(), 1);  // only the work sent before the shut-down
  }

  void textIsDrawnInTheColourAndPlaceAsked() {
    window_system tk([] {});
    const int id = tk.initwindow(200, 100, "Draw", -1, -1, false, false);
    const QColor background(1, 2, 3);
    tk.setbkcolor(window_system::creatergb(1, 2, 3));
    tk.clearviewport();
    tk.setcolor(window_system::creatergb(250, 0, 0));
    tk.settextstyle(toolkit::fixed_pitch_font, 0, 20);
    tk.settextjustify(toolkit::left_text, toolkit::top_text);
    tk.outtextxy(100, 30, "MMM");
    QImage shown = client_of(tk, id)->grab().toImage();
    const auto not_background = [&](QColor c) { return c != background; };
    QRect drawn = area_where(shown, not_background);
    QVERIFY(drawn.left() >= 100 && drawn.top() >= 30 && drawn.bottom() < 30 + 20 + 8);
    const QRect red = area_where(
        shown, [](QColor c) { return c.red() > 150 && c.green() < 40 && c.blue() < 40; });
    QVERIFY(red.isValid() && drawn.contains(red));
    QCOMPARE(shown.pixelColor(0, 0), background);
    // Right-justified text ends at x.
    tk.clearviewport();
    tk.settextjustify(toolkit::right_text, toolkit::top_text);
    tk.outtextxy(100, 30, "MMM");
    drawn = area_where(client_of(tk, id)->grab().toImage(), not_background);
    QVERIFY(drawn.right() <= 100 && drawn.right() >= 100 - 6);
    QCOMPARE(tk.textwidth("MMM"), tk.textwidth(toolkit::fixed_pitch_font, 20, "MMM"));
    // Colour parts beyond 255 are taken as 255.
    QCOMPARE(window_system::creatergb(255, 255, 255), window_system::creatergb(300, 255, 255));
  }

  void windowWidensToShowEveryBarEntry() {
    window_system tk([] {});
    const int id = tk.initwindow(200, 100, "Narrow", -1, -1, false, false);
    const int bar = tk.addmenu("", -1);
    for (const char* entry : {"File", "OpenData", "Models", "Weight", "Run", "Clear", "XY_Plot",
                              "Residuals", "Ca/Sp_Plot", "MC50_Plot", "Help", "About", "Quit"}) {
      tk.addmenuitem(entry, bar, [] {});
    }
    QMainWindow* w = main_of(tk, id);
    QMenuBar* menu_bar = w->menuBar();
    QVERIFY(wait_until([&] { return menu_bar->width() == w->width(); }, 2000));
    QVERIFY(w->width() > 200);
    QVERIFY(menu_bar->actionGeometry(menu_bar->actions().back()).right() < menu_bar->width());
    // No overflow arrow hides entries.
    auto* arrow = menu_bar->findChild<QWidget*>("qt_menubar_ext_button");
    QVERIFY(arrow != nullptr && !arrow->isVisible());
  }

  // A tool bar takes entries like a drop-down, shows every one (the window widens)
  // and cannot be hidden; entries of a radio group carry one mark at most, a click
  // on the marked one keeps it, and an entry joins one group only.
  void toolBarsAndRadioGroups() {
    window_system tk([] {});
    const int id = tk.initwindow(150, 100, "Narrow", -1, -1, false, false);
    const int tools = tk.addtoolbar("Toolbar");
    int clicks = 0;
    std::vector<int> entries;
    for (const char* entry : {"OpenData", "Models", "Run", "Clear", "XY_Plot", "Ca/Sp_Plot"})
      entries.push_back(tk.addmenuitem(entry, tools, [&clicks] { ++clicks; }));
    tk.addmenuseparator(tools);
    QMainWindow* w = main_of(tk, id);
    auto* bar = w->findChild<QToolBar*>();
    QVERIFY(bar != nullptr);
    QCOMPARE(bar->windowTitle(), QString("Toolbar"));
    QVERIFY(!bar->toggleViewAction()->isVisible());
    QCOMPARE(bar->actions().size(), qsizetype{7});
    QVERIFY(bar->actions().back()->isSeparator());
    QVERIFY2(wait_until([&] { return w->width() >= bar->sizeHint().width(); }, 2000),
             qPrintable(QString("window %1, tool bar %2, screen %3")
                            .arg(w->width())
                            .arg(bar->sizeHint().width())
                            .arg(w->screen()->availableGeometry().width())));
    bar->actions()[2]->trigger();
    QCOMPARE(clicks, 1);
    tk.enablemenuitem(entries[2], false);
    QVERIFY(!bar->actions()[2]->isEnabled());

    const int menu_bar = tk.addmenu("", -1);
    const int settings = tk.addmenu("Settings", menu_bar);
    const int on = tk.addmenuitem("Turn-ON Robust Wt", settings, [&clicks] { ++clicks; });
    const int off = tk.addmenuitem("Turn-OFF Robust Wt", settings, [&clicks] { ++clicks; });
    const int alone = tk.addmenuitem("Fast Fitting", settings, [] {});
    QVERIFY(tk.addmenuradiogroup({on, off}));
    QVERIFY(!tk.addmenuradiogroup({off, alone}));  // off belongs to a group already
    QVERIFY(!tk.addmenuradiogroup({alone, 999}));  // no such entry
    QVERIFY(!tk.addmenuradiogroup({settings}));    // a drop-down is no entry
    QVERIFY(!tk.addmenuradiogroup({}));
    const QList<QAction*> shown = w->menuBar()->actions().front()->menu()->actions();
    QAction* turn_on = shown[0];
    QAction* turn_off = shown[1];
    QVERIFY(turn_on->isCheckable() && turn_off->isCheckable() && !shown[2]->isCheckable());
    tk.setmenuitemchecked(on, true);
    QVERIFY(turn_on->isChecked() && !turn_off->isChecked());
    tk.setmenuitemchecked(off, true);
    QVERIFY(!turn_on->isChecked() && turn_off->isChecked());
    turn_on->trigger();
    QVERIFY(turn_on->isChecked() && !turn_off->isChecked());
    turn_on->trigger();  // the marked entry stays marked, and still calls back
    QVERIFY(turn_on->isChecked() && !turn_off->isChecked());
    QCOMPARE(clicks, 3);
    QVERIFY(!shown[2]->isChecked());  // outside the group nothing changed
  }

  void messageBoxesByKind_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");
    QTest::newRow("information") << 1 << "Information" << int(QMessageBox::Information);
    QTest::newRow("warning") << 2 << "Warning" << int(QMessageBox::Warning);
    QTest::newRow("error") << 3 << "Error" << int(QMessageBox::Critical);
    QTest::newRow("other") << 9 << "Message" << int(QMessageBox::NoIcon);
  }

  void messageBoxesByKind() {
    QFETCH(int, kind);
    QFETCH(QString, title);
    QFETCH(int, icon);
    window_system tk([] {});
    tk.initwindow(300, 200, "Main", -1, -1, false, true);
    std::atomic<bool> returned{false};
    std::thread caller([&] {
      tk.dlgmessage(core::box_kind_of(kind), "Line one <b>not bold</b>\r\nLine two");
      returned = true;
    });
    bool caller_waited = false;
    QVERIFY(answer_window<QMessageBox>([&](QMessageBox* box) {
      QCOMPARE(box->windowTitle(), title);
      QCOMPARE(int(box->icon()), icon);
      QCOMPARE(box->text(), QString("Line one <b>not bold</b>\nLine two"));
      QCOMPARE(box->textFormat(), Qt::PlainText);
      caller_waited = !returned.load();  // the caller waits for the person
      box->button(QMessageBox::Ok)->click();
    }));
    QVERIFY(wait_until([&] { return returned.load(); }));
    caller.join();
    QVERIFY(caller_waited);
  }

  void windowsAreKeptInsideTheScreen() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    window_system tk([] {});
    // Asked for past the right and bottom edges: moved in, size kept.
    const int near_edge = tk.initwindow(400, 300, "Near the edge", screen.right() - 100,
                                        screen.bottom() - 100, false, false);
    QVERIFY(screen.contains(tk.widget(near_edge)->frameGeometry()));
    QCOMPARE(client_of(tk, near_edge)->size(), QSize(400, 300));
    // Larger than the screen: made smaller.
    const int large =
        tk.initwindow(screen.width() + 300, screen.height() + 200, "Large", 0, 0, false, false);
    QVERIFY(screen.contains(tk.widget(large)->frameGeometry()));
    // A kept geometry restores another window; text that is no geometry changes nothing.
    const QSize size = tk.widget(near_edge)->size();
    tk.setwindowgeometry(large, tk.getwindowgeometry(near_edge));
    QCOMPARE(tk.widget(large)->size(), size);
    tk.setwindowgeometry(large, "not a geometry");
    QCOMPARE(tk.widget(large)->size(), size);
  }

  void droppedFilesReachTheWindowsHandler() {
    window_system tk([] {});
    const int id = tk.initwindow(300, 200, "Drop", -1, -1, false, false);
    tk.createmultilinetextbox(5, 5, 290, 190, false);
    std::vector<std::string> dropped;
    tk.setwindowdropcallback([&dropped](const std::string& file) { dropped.push_back(file); });
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/data/plate one.in"), QUrl::fromLocalFile("/data/b.in")});
    QVERIFY(drop_on(client_of(tk, id), files));
    auto* panel = main_of(tk, id)->findChild<QPlainTextEdit*>();
    QVERIFY(drop_on(panel->viewport(), files));  // not pasted into the text
    QCOMPARE(panel->toPlainText(), QString());
    QCOMPARE(dropped, std::vector<std::string>({"/data/plate one.in", "/data/plate one.in"}));
    // Text and remote addresses are no files to open.
    QMimeData text;
    text.setText("Data.in");
    QVERIFY(!drop_on(client_of(tk, id), text));
    QMimeData remote;
    remote.setUrls({QUrl("https://example.org/Data.in")});
    QVERIFY(!drop_on(client_of(tk, id), remote));
    QCOMPARE(dropped.size(), std::size_t{2});
  }

  void screenSizesAndScaling() {
    window_system tk([] {});
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(tk.getmaxwidth(), screen.width());
    QCOMPARE(tk.getmaxheight(), screen.height());
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    QCOMPARE(tk.scaledpi(96), static_cast<int>(std::lround(dpi)));
    QCOMPARE(tk.scaledpi(0), 0);
  }
};

INHIBRA_QT_TEST(WindowSystemTest)
#include "window_system_qtest.moc"
