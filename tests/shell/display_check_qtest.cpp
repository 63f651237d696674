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
  void aWindowNeedsADisplay_data() {
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<bool>("shown");
    QTest::newRow("default, no display") << ""
                                         << ""
                                         << "" << false;
    QTest::newRow("default, X display") << ""
                                        << ":0"
                                        << "" << true;
    QTest::newRow("default, Wayland only") << ""
                                           << ""
                                           << "wayland-0" << true;
    QTest::newRow("xcb with options, no display") << "xcb:nograb"
                                                  << ""
                                                  << "" << false;
    QTest::newRow("wayland, X display only") << "wayland"
                                             << ":0"
                                             << "" << false;
    QTest::newRow("wayland-egl") << "wayland-egl"
                                 << ""
                                 << "wayland-0" << true;
    QTest::newRow("offscreen") << "offscreen"
                               << ""
                               << "" << true;
    QTest::newRow("vnc") << "vnc"
                         << ""
                         << "" << true;
  }

  void aWindowNeedsADisplay() {
    QFETCH(QString, platform);
    QFETCH(QString, display);
    QFETCH(QString, wayland);
    QFETCH(bool, shown);
    const display_environment env{platform.toStdString(), display.toStdString(),
                                  wayland.toStdString()};
    const auto problem = shell::missing_display(env);
    QCOMPARE(!problem.has_value(), shown);
    if (problem) {
      QVERIFY(problem->starts_with("inhibra: no display"));
      QVERIFY(problem->find(platform.startsWith("wayland") ? "WAYLAND_DISPLAY" : "DISPLAY") !=
              std::string::npos);
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
