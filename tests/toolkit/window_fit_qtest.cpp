// Windows that fit and remember: a window asked for partly off the screen, or larger
// than it, is placed inside the screen's available area; its geometry read back
// restores a new window (also after it closed); a file dropped on a window or on its
// text box reaches the window's drop handler; menu entries take standard shortcuts
// and check marks without changing their texts; settings files keep their values.
#include <QAction>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QUrl>
#include <string>

#include "support/qt_test_main.hpp"
#include "support/qt_wait.hpp"
#include "support/temp_dir.hpp"
#include "toolkit/settings_file.hpp"
#include "toolkit/window_system.hpp"

using namespace inhibra;
using support::wait_until;
using toolkit::window_system;

namespace {

QRect available() {
  return QGuiApplication::primaryScreen()->availableGeometry();
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

}  // namespace

class WindowFitTest : public QObject {
  Q_OBJECT

 private slots:
  void windowsAreKeptInsideTheScreen() {
    const QRect screen = available();
    window_system tk([] {});
    // Asked for past the right and bottom edges: moved in, size kept.
    const int near_edge = tk.initwindow(400, 300, "Near the edge", screen.right() - 100,
                                        screen.bottom() - 100, false, false);
    QWidget* w = tk.widget(near_edge);
    QVERIFY2(screen.contains(w->frameGeometry()), qPrintable(QString("%1,%2 %3x%4")
                                                                 .arg(w->frameGeometry().x())
                                                                 .arg(w->frameGeometry().y())
                                                                 .arg(w->width())
                                                                 .arg(w->height())));
    QCOMPARE(qobject_cast<QMainWindow*>(w)->centralWidget()->size(), QSize(400, 300));
    // Larger than the screen: made smaller.
    const int large =
        tk.initwindow(screen.width() + 300, screen.height() + 200, "Large", 0, 0, false, false);
    QVERIFY(screen.contains(tk.widget(large)->frameGeometry()));
  }

  void geometryReadBackRestoresAnotherWindow() {
    window_system tk([] {});
    const QRect screen = available();
    const int first = tk.initwindow(300, 200, "First", 10, 10, false, false);
    const QRect wanted(screen.left() + 30, screen.top() + 40, 360, 250);
    tk.widget(first)->setGeometry(wanted);
    const std::string kept = tk.getwindowgeometry(first);
    QVERIFY(!kept.empty());
    tk.closewindow(first);
    QCOMPARE(tk.getwindowgeometry(first), kept);  // as it was when it closed

    const int second = tk.initwindow(200, 150, "Second", -1, -1, false, false);
    tk.setwindowgeometry(second, kept);
    QCOMPARE(tk.widget(second)->geometry().size(), wanted.size());
    // Text that is no geometry changes nothing.
    tk.setwindowgeometry(second, "not a geometry");
    QCOMPARE(tk.widget(second)->geometry().size(), wanted.size());
    QCOMPARE(tk.getwindowtitle(second), std::string("Second"));
  }

  void droppedFilesReachTheWindowsHandler() {
    window_system tk([] {});
    const int id = tk.initwindow(300, 200, "Drop", -1, -1, false, false);
    const int box = tk.createmultilinetextbox(5, 5, 290, 190, false);
    QVERIFY(box >= 0);
    std::vector<std::string> dropped;
    tk.setwindowdropcallback([&dropped](const std::string& file) { dropped.push_back(file); });

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/data/plate one.in"), QUrl::fromLocalFile("/data/b.in")});
    auto* main = qobject_cast<QMainWindow*>(tk.widget(id));
    QVERIFY(drop_on(main->centralWidget(), files));
    auto* panel = main->findChild<QPlainTextEdit*>();
    QVERIFY(drop_on(panel->viewport(), files));  // not pasted into the text
    QCOMPARE(panel->toPlainText(), QString());
    QCOMPARE(dropped, std::vector<std::string>({"/data/plate one.in", "/data/plate one.in"}));

    // Text and remote addresses are no files to open.
    QMimeData text;
    text.setText("Data.in");
    QVERIFY(!drop_on(main->centralWidget(), text));
    QMimeData remote;
    remote.setUrls({QUrl("https://example.org/Data.in")});
    QVERIFY(!drop_on(main->centralWidget(), remote));
    QCOMPARE(dropped.size(), std::size_t{2});
  }

  void menuEntriesTakeShortcutsAndCheckMarks() {
    window_system tk([] {});
    tk.initwindow(300, 200, "Menus", -1, -1, false, false);
    const int bar = tk.addmenu("", -1);
    const int file = tk.addmenu("File", bar);
    const int open = tk.addmenuitem("Open Data File", file, {});
    const int quit = tk.addmenuitem("Quit", file, {});
    const int pause = tk.addmenuitem("Pause", file, {});
    tk.setmenuitemshortcut(open, toolkit::shortcut::open);
    tk.setmenuitemshortcut(quit, toolkit::shortcut::quit);
    tk.setmenuitemchecked(pause, true);
    tk.setmenuitemtext(quit, "Leave");
    tk.setmenuitemvisible(open, false);

    auto* main = qobject_cast<QMainWindow*>(tk.widget(tk.getcurrentwindow()));
    const QList<QAction*> entries = main->menuBar()->actions().front()->menu()->actions();
    QCOMPARE(entries.at(0)->text(), QString("Open Data File"));
    QCOMPARE(entries.at(0)->shortcut(), QKeySequence(QKeySequence::Open));
    QVERIFY(!entries.at(0)->isVisible());
    QCOMPARE(entries.at(1)->shortcut(), QKeySequence(QKeySequence::Quit));
    QCOMPARE(entries.at(1)->text(), QString("Leave"));
    QVERIFY(entries.at(2)->isCheckable() && entries.at(2)->isChecked());
    tk.setmenuitemchecked(pause, false);
    QVERIFY(!entries.at(2)->isChecked());
  }

  void settingsFilesKeepTheirValues() {
    support::temp_dir dir;
    const std::string path = dir.file("inhibra.ini");
    {
      toolkit::settings_file s(path);
      QVERIFY(!s.contains("a/text"));
      QCOMPARE(s.number("a/number", -7), -7);
      s.set_text("a/text", "Grüße, [S] = 2");
      s.set_number("a/number", 42);
      s.set_texts("a/list", {"/x/Data.in", "/y/Run 2.in"});
    }
    const toolkit::settings_file again(path);
    QCOMPARE(again.text("a/text"), std::string("Grüße, [S] = 2"));
    QCOMPARE(again.number("a/number", 0), 42);
    QCOMPARE(again.texts("a/list"), std::vector<std::string>({"/x/Data.in", "/y/Run 2.in"}));
    QCOMPARE(again.number("a/text", 5), 5);  // not a number: the fallback
  }
};

INHIBRA_QT_TEST(WindowFitTest)
#include "window_fit_qtest.moc"
