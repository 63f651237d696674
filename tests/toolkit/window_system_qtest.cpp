// The window operations as the shell uses them: windows and the current window,
// ending the program with a closeflag window, drawing, menus, the CR LF text box,
// check boxes and buttons, message boxes and file dialogs called from another
// thread, and the wake-up operations.
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
#include <optional>
#include <thread>

#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/toolkit_window.hpp"
#include "toolkit/window_system.hpp"

using namespace inhibra;
using support::wait_until;
using toolkit::window_system;

namespace {

// Runs `work` on a thread of its own while the test thread handles events.
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

QMainWindow* main_of(window_system& tk, int id) {
  return qobject_cast<QMainWindow*>(tk.widget(id));
}

QWidget* client_of(window_system& tk, int id) {
  return main_of(tk, id)->centralWidget();
}

// Bounding box of the pixels of `image` that are not `background`.
QRect drawn_area(const QImage& image, QColor background) {
  QRect box;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) != background) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
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

  void closingACloseflagWindowEndsTheProgram() {
    int ends = 0;
    window_system tk([&ends] { ++ends; });
    const int other = tk.initwindow(100, 100, "Other", -1, -1, false, false);
    const int main = tk.initwindow(200, 100, "Main", -1, -1, false, true);
    main_of(tk, main)->close();  // the person's close button
    QCOMPARE(ends, 1);
    QVERIFY(tk.closing());
    QVERIFY(!main_of(tk, other)->isVisible());  // every window goes
    // Nothing waits any more, on any thread.
    bool returned = on_command_thread(
        [&] {
          tk.startidle(60000);
          tk.loop();
          tk.dlgmessage(toolkit::information_box, "never shown");
          std::string name = "x";
          QCOMPARE(tk.dlgopenfile(name, "*.in", "*.in", "t"), 0);
          tk.show_plot_window("never", [](QPainter&, const QRect&) {});
        },
        3000);
    QVERIFY(returned);
    QCOMPARE(ends, 1);
  }

  void closingAWindowForTheProgramAlsoEndsIt() {
    int ends = 0;
    window_system tk([&ends] { ++ends; });
    const int main = tk.initwindow(200, 100, "Main", -1, -1, false, true);
    QVERIFY(on_command_thread([&] { tk.closewindow(main); }));
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

  void closingAWindowWakesItsWaiter() {
    window_system tk([] {});
    const int id = tk.initwindow(200, 100, "Splash", -1, -1, false, false);
    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> done{false};
    std::thread waiter([&] {
      tk.startidle(60000);
      done = true;
    });
    support::pump_events(30);
    main_of(tk, id)->close();
    QVERIFY(wait_until([&] { return done.load(); }, 5000));
    waiter.join();
    QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::seconds(10));
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
    bool reddish = false;
    for (int y = drawn.top(); y <= drawn.bottom(); ++y) {
      for (int x = drawn.left(); x <= drawn.right(); ++x) {
        const QColor c = shown.pixelColor(x, y);
        reddish = reddish || (c.red() > 150 && c.green() < 40 && c.blue() < 40);
      }
    }
    QVERIFY(reddish);
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
  }

  void colourCodes() {
    QCOMPARE(window_system::creatergb(255, 255, 255), window_system::creatergb(300, 255, 255));
    QVERIFY(window_system::creatergb(0, 0, 0) != toolkit::black);
    window_system tk([] {});
    const int id = tk.initwindow(20, 20, "C", -1, -1, false, false);
    tk.setbkcolor(toolkit::white);
    tk.clearviewport();
    QCOMPARE(client_of(tk, id)->grab().toImage().pixelColor(5, 5), QColor(255, 255, 255));
    tk.setbkcolor(window_system::creatergb(153, 204, 255));
    tk.clearviewport();
    QCOMPARE(client_of(tk, id)->grab().toImage().pixelColor(5, 5), QColor(153, 204, 255));
  }

  void menusKeepTheirOrderAndCallBackUnlessGreyed() {
    window_system tk([] {});
    const int id = tk.initwindow(400, 200, "Menus", -1, -1, false, false);
    int opened = 0;
    int ran = 0;
    const int bar = tk.addmenu("", -1);
    const int file = tk.addmenu("File", bar);
    const int open = tk.addmenuitem("Open", file, [&opened] { ++opened; });
    const int run = tk.addmenuitem("Run", bar, [&ran] { ++ran; });
    QMenuBar* menu_bar = main_of(tk, id)->menuBar();
    QCOMPARE(menu_bar->actions().size(), 2);
    QCOMPARE(menu_bar->actions()[0]->text(), QString("File"));
    QCOMPARE(menu_bar->actions()[1]->text(), QString("Run"));
    QAction* open_action = menu_bar->actions()[0]->menu()->actions().front();
    QCOMPARE(open_action->text(), QString("Open"));
    open_action->trigger();
    menu_bar->actions()[1]->trigger();
    QCOMPARE(opened, 1);
    QCOMPARE(ran, 1);
    tk.enablemenuitem(run, false);
    tk.enablemenuitem(open, false);
    menu_bar->actions()[1]->trigger();
    open_action->trigger();
    QCOMPARE(ran, 1);
    QCOMPARE(opened, 1);
    tk.enablemenuitem(file, false);
    QVERIFY(!menu_bar->actions()[0]->isEnabled());
    tk.enablemenuitem(file, true);
    tk.enablemenuitem(run, true);
    QVERIFY(menu_bar->actions()[0]->isEnabled());
    QVERIFY(menu_bar->actions()[1]->isEnabled());
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

  void textBoxSpeaksCrLf() {
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
    tk.settextboxvisible(box, false);
    QVERIFY(!edit->isVisible());
    tk.settextboxvisible(box, true);
    tk.enabletextbox(box, false);
    QVERIFY(!edit->isEnabled());
    // An unknown id does nothing.
    QCOMPARE(tk.gettextboxcontents(box + 10), std::string());
  }

  void textBoxKeepsItsMarginsWhenTheWindowGrows() {
    window_system tk([] {});
    const int id = tk.initwindow(300, 200, "Text", -1, -1, false, false);
    tk.createmultilinetextbox(5, 5, 290, 190, false);
    auto* edit = main_of(tk, id)->findChild<QPlainTextEdit*>();
    QWidget* client = client_of(tk, id);
    main_of(tk, id)->resize(500, 400);
    QVERIFY(wait_until([&] { return client->width() == 500; }, 2000));
    QCOMPARE(edit->geometry().left(), 5);
    QCOMPARE(client->width() - edit->geometry().right() - 1, 5);
    QCOMPARE(client->height() - edit->geometry().bottom() - 1, 5);
  }

  void checkBoxesAndButtons() {
    window_system tk([] {});
    const int id = tk.initwindow(400, 300, "Controls", -1, -1, false, false);
    const int a = tk.createcheckbox_nohandler(10, 10, 200, 25, "first");
    const int b = tk.createcheckbox_nohandler(10, 40, 200, 25, "second");
    QCOMPARE(a, 0);  // a window's first boxes count from 0
    QCOMPARE(b, 1);
    QVERIFY(!tk.checkboxischecked(a));
    tk.checkboxsetchecked(b, true);
    QVERIFY(tk.checkboxischecked(b));
    const auto boxes = main_of(tk, id)->findChildren<QCheckBox*>();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[1]->text(), QString("second"));
    QVERIFY(QFontInfo(boxes[0]->font()).fixedPitch());
    QCOMPARE(boxes[1]->geometry(), QRect(10, 40, 200, 25));
    boxes[0]->setChecked(true);  // the person ticks it
    QVERIFY(tk.checkboxischecked(a));
    tk.setcheckboxvisible(a, false);
    QVERIFY(!boxes[0]->isVisible());
    QVERIFY(tk.checkboxwidth("a much longer label than this one", 14) >
            tk.checkboxwidth("short", 14));
    int clicks = 0;
    tk.createbutton(10, 80, 80, 40, "Press", [&clicks] { ++clicks; });
    auto* button = main_of(tk, id)->findChild<QPushButton*>();
    QCOMPARE(button->text(), QString("Press"));
    QCOMPARE(button->geometry(), QRect(10, 80, 80, 40));
    button->click();
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
      tk.dlgmessage(kind, "Line one <b>not bold</b>\r\nLine two");
      returned = true;
    });
    QString seen_title;
    QString seen_text;
    int seen_icon = -1;
    Qt::TextFormat format = Qt::AutoText;
    bool caller_waited = false;
    const bool answered = wait_until([&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box == nullptr || !box->isVisible()) continue;
        seen_title = box->windowTitle();
        seen_text = box->text();
        seen_icon = box->icon();
        format = box->textFormat();
        caller_waited = !returned.load();  // the caller waits for the person
        box->button(QMessageBox::Ok)->click();
        return true;
      }
      return false;
    });
    QVERIFY(answered);
    QVERIFY(wait_until([&] { return returned.load(); }));
    caller.join();
    QCOMPARE(seen_title, title);
    QCOMPARE(seen_icon, icon);
    QCOMPARE(seen_text, QString("Line one <b>not bold</b>\nLine two"));
    QCOMPARE(format, Qt::PlainText);
    QVERIFY(caller_waited);
  }

  void openDialogReturnsTheChosenFile() {
    support::temp_dir dir;
    const std::string data = dir.write("Data.in", "1 2 3\n");
    window_system tk([] {});
    tk.initwindow(300, 200, "Main", -1, -1, false, false);
    for (bool choose : {true, false}) {
      std::string name = dir.path().string() + "/*.in";
      const std::string before = name;
      std::atomic<int> result{-1};
      std::thread caller([&] { result = tk.dlgopenfile(name, "*.in", "*.in", "Enter data file"); });
      QString directory;
      QStringList filters;
      QString title;
      QVERIFY(wait_until([&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
          auto* d = qobject_cast<QFileDialog*>(w);
          if (d == nullptr || !d->isVisible()) continue;
          directory = d->directory().absolutePath();
          filters = d->nameFilters();
          title = d->windowTitle();
          if (choose) {
            d->selectFile(QString::fromStdString(data));
            static_cast<QDialog*>(d)->accept();
          } else {
            d->reject();
          }
          return true;
        }
        return false;
      }));
      QVERIFY(wait_until([&] { return result.load() != -1; }));
      caller.join();
      QCOMPARE(std::filesystem::path(directory.toStdString()),
               std::filesystem::canonical(dir.path()));
      QCOMPARE(filters, QStringList({"*.in (*.in *.IN)"}));
      QCOMPARE(title, QString("Enter data file"));
      if (choose) {
        QCOMPARE(result.load(), 1);
        QCOMPARE(std::filesystem::canonical(name), std::filesystem::canonical(data));
      } else {
        QCOMPARE(result.load(), 0);
        QCOMPARE(name, before);
      }
    }
  }

  void saveDialogProposesTheNameAndAddsTheExtension() {
    support::temp_dir dir;
    window_system tk([] {});
    tk.initwindow(300, 200, "Main", -1, -1, false, false);
    std::string name = dir.file("Data.txt");
    std::atomic<int> result{-1};
    std::thread caller([&] { result = tk.dlgsavefile(name, "*.txt", "*.txt", "Save Data"); });
    QStringList proposed;
    QVERIFY(wait_until([&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* d = qobject_cast<QFileDialog*>(w);
        if (d == nullptr || !d->isVisible()) continue;
        proposed = d->selectedFiles();
        d->selectFile(QString::fromStdString(dir.file("report")));
        static_cast<QDialog*>(d)->accept();
        return true;
      }
      return false;
    }));
    QVERIFY(wait_until([&] { return result.load() != -1; }));
    caller.join();
    QCOMPARE(proposed, QStringList({QString::fromStdString(dir.file("Data.txt"))}));
    QCOMPARE(result.load(), 1);
    QCOMPARE(name, dir.file("report.txt"));
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
