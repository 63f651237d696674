// The font of the program's columns: the check that every printable ASCII character
// has one width, and the choice of a family that passes it when the system's fixed
// font does not. The families are found among the installed ones by measuring, so
// the test holds whichever fonts the machine has (scripts/install-deps installs a
// monospace and a proportional family).
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QTest>

#include "support/qt_test_main.hpp"
#include "toolkit/column_font.hpp"
#include "toolkit/qt_text.hpp"
#include "toolkit/window_system.hpp"

using namespace inhibra;

namespace {

QFont family_font(const QString& family, int pixels) {
  QFont f;
  f.setFamilies({family});
  f.setPixelSize(pixels);
  return f;
}

// An installed family in which an 'i' is narrower than an 'M', or an empty name.
QString proportional_family() {
  for (const QString& family : QFontDatabase::families()) {
    const QFont f = family_font(family, 14);
    if (QFontInfo(f).family() != family) continue;  // substituted
    const QFontMetricsF m(f);
    if (m.horizontalAdvance(QChar('i')) < m.horizontalAdvance(QChar('M'))) return family;
  }
  return {};
}

}  // namespace

class ColumnFontTest : public QObject {
  Q_OBJECT

 private slots:
  void chosenFontLinesUpAtEverySize() {
    const QFont chosen = toolkit::column_font();
    for (int pixels : {9, 12, 14, 20, 33}) {
      QFont f = chosen;
      f.setPixelSize(pixels);
      QVERIFY2(toolkit::characters_line_up(f), qPrintable(QFontInfo(f).family()));
      // The report's widest and narrowest characters take the same room.
      const QFontMetricsF m(f);
      QCOMPARE(m.horizontalAdvance(QStringLiteral("iiiiiiiiii")),
               m.horizontalAdvance(QStringLiteral("MMMMMMMMMM")));
    }
    // The program's fixed-pitch font code and text boxes use it.
    QCOMPARE(QFontInfo(toolkit::font_for(toolkit::fixed_pitch_font, 14)).family(),
             QFontInfo(chosen).family());
    QCOMPARE(toolkit::fixed_font_like(toolkit::font_for(toolkit::gui_font, 17)).pixelSize(), 17);
    QCOMPARE(QFontInfo(toolkit::fixed_font_like(QFont())).family(), QFontInfo(chosen).family());
  }

  void proportionalFontDoesNotLineUp() {
    const QString family = proportional_family();
    QVERIFY2(!family.isEmpty(), "no proportional font is installed");
    for (int pixels : {9, 14, 33})
      QVERIFY2(!toolkit::characters_line_up(family_font(family, pixels)), qPrintable(family));
  }

  // A system fixed font that does not line up gives way to the first family that
  // does, at its own size; one that lines up is kept; with none, it stays.
  void firstFamilyThatLinesUpIsChosen() {
    const QString proportional = proportional_family();
    QVERIFY(!proportional.isEmpty());
    const QString lining_up = QFontInfo(toolkit::column_font()).family();
    QVERIFY(toolkit::characters_line_up(family_font(lining_up, 14)));

    const QFont uneven = family_font(proportional, 15);
    QFont chosen = toolkit::first_lining_up(uneven, {proportional, lining_up});
    QCOMPARE(QFontInfo(chosen).family(), lining_up);
    QCOMPARE(chosen.pixelSize(), 15);
    QVERIFY(toolkit::characters_line_up(chosen));

    chosen = toolkit::first_lining_up(uneven, {proportional});
    QCOMPARE(QFontInfo(chosen).family(), proportional);  // nothing better: kept

    const QFont even = family_font(lining_up, 15);
    chosen = toolkit::first_lining_up(even, {proportional});
    QCOMPARE(QFontInfo(chosen).family(), lining_up);
  }
};

INHIBRA_QT_TEST(ColumnFontTest)
#include "column_font_qtest.moc"
