// The window operations as the shell uses them: windows and the current window,
// ending the program with a closeflag window, drawing, menus, the CR LF text box,
// check boxes and buttons, message boxes called from another thread, and the
// wake-up operations. The file dialogs are tested through the shell's commands.
#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "toolkit/toolkit_harness.hpp"
#include "toolkit/toolkit_window.hpp"
#include "toolkit/window_system.hpp"

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

QRect drawn_area(const QImage& image, QColor background) {
  return area_where(image, [&](QColor c) { return c != background; });
}

}  // namespace

class WindowSystemTest : public QObject {
  Q_OBJECT

 private slots:
  void newWindowBecomesCurrentWithItsClientSize() {
    window_system tk([] {});
    const int first = tk.initwindow(300, 200, "First", 10, 20, false, false);
    const int second = tk.initwindow(120, 80, "Second", -1, -1, false, false);
    QVERIFY(first >= 0);
    QVERIFY(second != first);
    QCOMPARE(tk.getcurrentwindow(), second);
    QCOMPARE(main_of(tk, first)->windowTitle(), QString("First"));
    QVERIFY(main_of(tk, first)->isVisible());
    QCOMPARE(client_of(tk, first)->size(), QSize(300, 200));
    tk.setcurrentwindow(first);
    tk.setwindowtitle("Renamed");
    QCOMPARE(main_of(tk, first)->windowTitle(), QString("Renamed"));
    QCOMPARE(main_of(tk, second)->windowTitle(), QString("Second"));
    tk.closewindow(second);
    QVERIFY(tk.widget(second) == nullptr);
    QCOMPARE(tk.getcurrentwindow(), first);
  }

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
    bool returned = on_command_thread(
        [&] {
          tk.startidle(60000);
          tk.loop();
          tk.dlgmessage(core::box_kind::information, "never shown");
          std::string name = "x";
          QCOMPARE(tk.dlgopenfile(name, "*.in", "*.in", "t"), 0);
          tk.show_plot_window("never", [](QPainter&, const QRect&) {});
        },
        3000);
    QVERIFY(returned);
    QCOMPARE(ends, 1);
  }

  void systemCloseHandlerCanRefuse() {
    window_system tk([] {});
    const int id = tk.initwindow(200, 100, "Dialog", -1, -1, false, false);
    int asked = 0;
    tk.setwindowsystemclosecallback([&asked] {
      ++asked;
      return 0;
    });
    main_of(tk, id)->close();
    QCOMPARE(asked, 1);
    QVERIFY(main_of(tk, id)->isVisible());
    tk.closewindow(id);  // the program closes it regardless
    QCOMPARE(asked, 1);
    QVERIFY(tk.widget(id) == nullptr);
  }

  void wakeUpOperationsWorkOnTheCurrentWindow() {
    window_system tk([] {});
    const int id = tk.initwindow(100, 100, "W", -1, -1, false, false);
    tk.stopidle();
    auto start = std::chrono::steady_clock::now();
    tk.startidle(5000);  // finds the event set and returns at once
    QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::seconds(2));
    start = std::chrono::steady_clock::now();
    tk.startidle(30);  // nothing set: the full pause
    QVERIFY(std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(29));
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
    QRect drawn = drawn_area(shown, background);
    QVERIFY(drawn.isValid());
    QVERIFY(drawn.left() >= 100);
    QVERIFY(drawn.top() >= 30);
    QVERIFY(drawn.bottom() < 30 + 20 + 8);
    const QRect red = area_where(
        shown, [](QColor c) { return c.red() > 150 && c.green() < 40 && c.blue() < 40; });
    QVERIFY(red.isValid() && drawn.contains(red));  // drawn in red
    QCOMPARE(shown.pixelColor(0, 0), background);
    // Right-justified text ends at x.
    tk.clearviewport();
    tk.settextjustify(toolkit::right_text, toolkit::top_text);
    tk.outtextxy(100, 30, "MMM");
    shown = client_of(tk, id)->grab().toImage();
    drawn = drawn_area(shown, background);
    QVERIFY(drawn.right() <= 100);
    QVERIFY(drawn.right() >= 100 - 6);
    QCOMPARE(tk.textwidth("MMM"), tk.textwidth(toolkit::fixed_pitch_font, 20, "MMM"));
    // Colour parts beyond 255 are taken as 255.
    QCOMPARE(window_system::creatergb(255, 255, 255), window_system::creatergb(300, 255, 255));
  }

  void menusCallBackOnTheWindowThread() {
    window_system tk([] {});
    const int id = tk.initwindow(400, 200, "Menus", -1, -1, false, false);
    int opened = 0;
    int ran = 0;
    const int bar = tk.addmenu("", -1);
    const int file = tk.addmenu("File", bar);
    tk.addmenuitem("Open", file, [&opened] { ++opened; });
    const int run = tk.addmenuitem("Run", bar, [&ran] { ++ran; });
    QMenuBar* menu_bar = main_of(tk, id)->menuBar();
    QCOMPARE(menu_bar->actions().size(), 2);
    QAction* open_action = menu_bar->actions()[0]->menu()->actions().front();
    QCOMPARE(open_action->text(), QString("Open"));
    open_action->trigger();
    menu_bar->actions()[1]->trigger();
    QCOMPARE(opened, 1);
    QCOMPARE(ran, 1);
    tk.enablemenuitem(file, false);  // a drop-down is greyed as a whole
    QVERIFY(!menu_bar->actions()[0]->isEnabled());
    tk.enablemenuitem(file, true);
    QVERIFY(menu_bar->actions()[0]->isEnabled());
    // Made from another thread, the callbacks still run on the window thread.
    Qt::HANDLE called_on = nullptr;
    int later = -1;
    QVERIFY(on_command_thread([&] {
      later =
          tk.addmenuitem("Later", file, [&called_on] { called_on = QThread::currentThreadId(); });
    }));
    QVERIFY(later > run);
    menu_bar->actions()[0]->menu()->actions().back()->trigger();
    QCOMPARE(called_on, QThread::currentThreadId());
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
    QVERIFY(w->width() > 200);
    QMenuBar* menu_bar = w->menuBar();
    QVERIFY(wait_until([&] { return menu_bar->width() == w->width(); }, 2000));
    QAction* last = menu_bar->actions().back();
    const QRect where = menu_bar->actionGeometry(last);
    QVERIFY(where.isValid());
    QVERIFY(where.right() < menu_bar->width());
    // No overflow arrow hides entries.
    auto* arrow = menu_bar->findChild<QWidget*>("qt_menubar_ext_button");
    QVERIFY(arrow != nullptr);
    QVERIFY(!arrow->isVisible());
  }

  void textBoxSpeaksCrLfAndFollowsTheWindow() {
    window_system tk([] {});
    const int id = tk.initwindow(300, 200, "Text", -1, -1, false, false);
    tk.settextstyle(toolkit::fixed_pitch_font, 0, 14);
    const int box = tk.createmultilinetextbox(5, 5, 290, 190, false);
    auto* edit = main_of(tk, id)->findChild<QPlainTextEdit*>();
    QVERIFY(edit != nullptr);
    QVERIFY(QFontInfo(edit->font()).fixedPitch());
    QCOMPARE(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
    tk.settextboxcontents(box, "one\r\ntwo\r\n");
    QCOMPARE(edit->toPlainText(), QString("one\ntwo\n"));
    QCOMPARE(tk.gettextboxcontents(box), std::string("one\r\ntwo\r\n"));
    QCOMPARE(tk.gettextboxlength(box), 10);
    // Inserted at the end even when the cursor stands elsewhere; the cursor follows.
    tk.settextboxcursorposition(box, 0);
    QCOMPARE(edit->textCursor().position(), 0);
    tk.inserttextboxtext(box, "three\r\n");
    QCOMPARE(tk.gettextboxcontents(box), std::string("one\r\ntwo\r\nthree\r\n"));
    QCOMPARE(edit->textCursor().position(), edit->toPlainText().size());
    // Positions count CR LF as two.
    tk.settextboxcursorposition(box, 5);
    QCOMPARE(edit->textCursor().position(), 4);
    tk.settextboxcontents(box, "");
    QCOMPARE(tk.gettextboxlength(box), 0);
    // The box keeps its margins when the window grows.
    QWidget* client = client_of(tk, id);
    main_of(tk, id)->resize(500, 400);
    QVERIFY(wait_until([&] { return client->width() == 500; }, 2000));
    QCOMPARE(edit->geometry().left(), 5);
    QCOMPARE(client->width() - edit->geometry().right() - 1, 5);
    QCOMPARE(client->height() - edit->geometry().bottom() - 1, 5);
    tk.settextboxvisible(box, false);
    QVERIFY(!edit->isVisible());
    tk.settextboxvisible(box, true);
    tk.enabletextbox(box, false);
    QVERIFY(!edit->isEnabled());
    // An unknown id does nothing.
    QCOMPARE(tk.gettextboxcontents(box + 10), std::string());
  }

  void checkBoxesAndButtons() {
    window_system tk([] {});
    const int id = tk.initwindow(400, 300, "Controls", -1, -1, false, false);
    const int a = tk.createcheckbox_nohandler(10, 10, 200, 25, "first");
    const int b = tk.createcheckbox_nohandler(10, 40, 200, 25, "second");
    QCOMPARE(a, 0);  // a window's first boxes count from 0
    QCOMPARE(b, 1);
    tk.checkboxsetchecked(b, true);
    QVERIFY(!tk.checkboxischecked(a));
    QVERIFY(tk.checkboxischecked(b));
    const auto boxes = main_of(tk, id)->findChildren<QCheckBox*>();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[1]->geometry(), QRect(10, 40, 200, 25));
    boxes[0]->setChecked(true);  // the person ticks it
    QVERIFY(tk.checkboxischecked(a));
    int clicks = 0;
    tk.createbutton(10, 80, 80, 40, "Press", [&clicks] { ++clicks; });
    main_of(tk, id)->findChild<QPushButton*>()->click();
    QCOMPARE(clicks, 1);
    // Closing the window frees its ids: the next window's boxes count from 0 again.
    tk.closewindow(id);
    tk.initwindow(100, 100, "Again", -1, -1, false, false);
    QCOMPARE(tk.createcheckbox_nohandler(0, 0, 50, 20, "x"), 0);
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
    QString seen_title;
    QString seen_text;
    int seen_icon = -1;
    Qt::TextFormat format = Qt::AutoText;
    bool caller_waited = false;
    QVERIFY(answer_window<QMessageBox>([&](QMessageBox* box) {
      seen_title = box->windowTitle();
      seen_text = box->text();
      seen_icon = box->icon();
      format = box->textFormat();
      caller_waited = !returned.load();  // the caller waits for the person
      box->button(QMessageBox::Ok)->click();
    }));
    QVERIFY(wait_until([&] { return returned.load(); }));
    caller.join();
    QCOMPARE(seen_title, title);
    QCOMPARE(seen_icon, icon);
    QCOMPARE(seen_text, QString("Line one <b>not bold</b>\nLine two"));
    QCOMPARE(format, Qt::PlainText);
    QVERIFY(caller_waited);
  }

  void screenSizesAndScaling() {
    window_system tk([] {});
    QVERIFY(tk.getmaxwidth() > 0);
    QVERIFY(tk.getmaxheight() > 0);
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    QCOMPARE(tk.scaledpi(96), static_cast<int>(std::lround(dpi)));
    QCOMPARE(tk.scaledpi(0), 0);
  }
};

INHIBRA_QT_TEST(WindowSystemTest)
#include "window_system_qtest.moc"
