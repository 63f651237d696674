// The display check made before the window system starts: X11 (the default) takes
// DISPLAY or WAYLAND_DISPLAY, Wayland only WAYLAND_DISPLAY, the offscreen and other
// platforms none; "-platform" on the command line outweighs QT_QPA_PLATFORM.
#include <QTest>

#include "shell/display_check.hpp"
#include "support/qt_test_main.hpp"

using namespace inhibra;
using shell::display_environment;

class DisplayCheckTest : public QObject {
  Q_OBJECT

 private slots:
  void aWindowNeedsADisplay() {
    struct case_ {
      std::string platform, display, wayland;
      bool shown;
    };
    const case_ cases[] = {{"", "", "", false},          {"", ":0", "", true},
                           {"", "", "wayland-0", true},  {"xcb:nograb", "", "", false},
                           {"wayland", ":0", "", false}, {"wayland-egl", "", "wayland-0", true},
                           {"offscreen", "", "", true},  {"vnc", "", "", true}};
    for (const case_& c : cases) {
      const auto problem =
          shell::missing_display(display_environment{c.platform, false, c.display, c.wayland});
      const std::string name = c.platform + "|" + c.display + "|" + c.wayland;
      QVERIFY2(!problem.has_value() == c.shown, name.c_str());
      if (!problem) continue;
      QVERIFY(problem->starts_with("inhibra: no display"));
      const bool wayland = c.platform.starts_with("wayland");
      QVERIFY2(problem->find(wayland ? "WAYLAND_DISPLAY" : "DISPLAY") != std::string::npos,
               name.c_str());
    }
  }

  // When the window system could not start, the line names what it tried.
  void anUnusableDisplayIsNamed() {
    struct case_ {
      display_environment env;
      const char* tried;
    };
    const case_ cases[] = {
        {{"", false, ":97", ""}, "(DISPLAY=:97)"},
        {{"", false, "", "wayland-97"}, "(DISPLAY is not set, WAYLAND_DISPLAY=wayland-97)"},
        {{"nonsense", false, ":0", ""}, "(QT_QPA_PLATFORM=nonsense, DISPLAY=:0)"},
        {{"nonsense", true, "", ""}, "(-platform nonsense, DISPLAY is not set)"},
        {{"wayland", false, "", "wayland-1"},
         "(QT_QPA_PLATFORM=wayland, WAYLAND_DISPLAY=wayland-1)"},
        {{"wayland-egl", true, ":1", ""},
         "(-platform wayland-egl, DISPLAY=:1, WAYLAND_DISPLAY is not set)"}};
    for (const case_& c : cases) {
      const std::string line = shell::unusable_display(c.env);
      QCOMPARE(line, "inhibra: no display it can use to show the program's window " +
                         std::string(c.tried) +
                         ". Start it in a desktop session, or fit data files without a window "
                         "with inhibra-fit.");
    }
  }

  // Messages while the window system starts are held back, then handed on in
  // order to the handler that was there before, which is put back.
  void messagesOfAStartThatWorkedAreHandedOn() {
    static QStringList seen;
    seen.clear();
    const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext& context, const QString& text) {
          seen << QString::fromUtf8(context.category) + ": " + text;
        });
    {
      shell::window_system_start start(display_environment{"", false, ":0", ""});
      qWarning("first");
      qInfo("second");
      QVERIFY(seen.isEmpty());
      start.started();
      QCOMPARE(seen, QStringList({"default: first", "default: second"}));
      qWarning("after");
      QCOMPARE(seen.size(), 3);
    }
    qWarning("later");  // the end of the watch changes nothing more
    QCOMPARE(seen.size(), 4);
    {
      shell::window_system_start start(display_environment{});
      qWarning("held until the end");
      QCOMPARE(seen.size(), 4);
    }
    QCOMPARE(seen.last(), QString("default: held until the end"));
    qInstallMessageHandler(before);
  }

  void commandLinePlatformOutweighsTheVariable() {
    const QByteArray before = qgetenv("QT_QPA_PLATFORM");
    qputenv("QT_QPA_PLATFORM", "xcb");
    char name[] = "inhibra";
    char option[] = "-platform";
    char offscreen[] = "offscreen";
    char* argv[] = {name, option, offscreen, nullptr};
    QCOMPARE(shell::current_display_environment(3, argv).platform, std::string("offscreen"));
    QVERIFY(shell::current_display_environment(3, argv).platform_option);
    QCOMPARE(shell::current_display_environment(1, argv).platform, std::string("xcb"));
    QVERIFY(!shell::current_display_environment(1, argv).platform_option);
    qputenv("QT_QPA_PLATFORM", before);
  }
};

INHIBRA_QT_TEST(DisplayCheckTest)
#include "display_check_qtest.moc"
