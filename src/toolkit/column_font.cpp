#include "toolkit/column_font.hpp"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QString>

namespace inhibra::toolkit {

namespace {

// Monospace families common on desktops, tried before the rest of the installed ones.
const char* const known_monospace[] = {"DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono",
                                       "Noto Mono",        "Nimbus Mono PS",  "Ubuntu Mono",
                                       "Cousine",          "Source Code Pro", "Hack",
                                       "Fira Mono",        "Courier New",     "FreeMono"};

// Every installed family that calls itself monospace, the known names first.
QStringList monospace_families() {
  const QStringList installed = QFontDatabase::families();
  QStringList out;
  for (const char* name : known_monospace) {
    const QString family = QString::fromLatin1(name);
    if (installed.contains(family)) out << family;
  }
  for (const QString& family : installed) {
    const bool named = family.contains(QStringLiteral("Mono"), Qt::CaseInsensitive) ||
                       family.contains(QStringLiteral("Courier"), Qt::CaseInsensitive);
    if ((named || QFontDatabase::isFixedPitch(family)) && !out.contains(family)) out << family;
  }
  return out;
}

}  // namespace

bool characters_line_up(const QFont& font) {
  const QFontMetricsF metrics(font);
  const qreal width = metrics.horizontalAdvance(QChar(' '));
  if (width <= 0) return false;
  for (char16_t c = u'!'; c <= u'~'; ++c) {
    if (metrics.horizontalAdvance(QChar(c)) != width) return false;
  }
  return true;
}

QFont first_lining_up(const QFont& preferred, const QStringList& families) {
  if (characters_line_up(preferred)) return preferred;
  for (const QString& family : families) {
    QFont candidate(preferred);
    candidate.setFamilies({family});
    candidate.setStyleHint(QFont::Monospace);
    if (characters_line_up(candidate)) return candidate;
  }
  return preferred;
}

QFont column_font() {
  static const QFont chosen =
      first_lining_up(QFontDatabase::systemFont(QFontDatabase::FixedFont), monospace_families());
  return chosen;
}

}  // namespace inhibra::toolkit
