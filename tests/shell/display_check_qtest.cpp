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
          shell::missing_display(display_environment{c.platform, c.display, c.wayland});
      const std::string name = c.platform + "|" + c.display + "|" + c.wayland;
      QVERIFY2(!problem.has_value() == c.shown, name.c_str());
      if (!problem) continue;
      QVERIFY(problem->starts_with("inhibra: no display"));
      const bool wayland = c.platform.starts_with("wayland");
      QVERIFY2(problem->find(wayland ? "WAYLAND_DISPLAY" : "DISPLAY") != std::string::npos,
               name.c_str());
    }
  }

  void commandLinePlatformOutweighsTheVariable() {
    const QByteArray before = qgetenv("QT_QPA_PLATFORM");
    qputenv("QT_QPA_PLATFORM", "xcb");
    char name[] = "inhibra";
    char option[] = "-platform";
    char offscreen[] = "offscreen";
    char* argv[] = {name, option, offscreen, nullptr};
    QCOMPARE(shell::current_display_environment(3, argv).platform, std::string("offscreen"));
    QCOMPARE(shell::current_display_environment(1, argv).platform, std::string("xcb"));
    qputenv("QT_QPA_PLATFORM", before);
  }
};

INHIBRA_QT_TEST(DisplayCheckTest)
#include "display_check_qtest.moc"
