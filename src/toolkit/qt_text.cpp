#include "toolkit/qt_text.hpp"

#include <QApplication>
#include <QFontDatabase>

#include "toolkit/column_font.hpp"
#include "toolkit/window_system.hpp"

namespace inhibra::toolkit {

QString qt_text(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString widget_text(std::string_view s) {
  QString t = qt_text(s);
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  t.replace(QChar('\r'), QChar('\n'));
  return t;
}

std::string program_text(const QString& s) {
  QString t = s;
  t.replace(QChar('\n'), QStringLiteral("\r\n"));
  return t.toStdString();
}

int widget_position(const QString& text, int position) {
  int bytes = 0;
  int i = 0;
  for (; i < text.size() && bytes < position; ++i) {
    const QChar c = text.at(i);
    bytes += c == QChar('\n') ? 2 : QString(c).toUtf8().size();
  }
  return i;
}

QString one_line_title(std::string_view title) {
  QString shown = qt_text(title);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  shown.replace(QChar('\n'), QChar(' '));
  shown.replace(QChar('\r'), QChar(' '));
  return shown;
}

QString filter_text(std::string_view filter_name, std::string_view pattern) {
  QString patterns = qt_text(pattern);
  const QString upper = patterns.toUpper();
  if (upper != patterns) patterns += QChar(' ') + upper;
  return qt_text(filter_name) + QStringLiteral(" (") + patterns + QChar(')');
}

QFont font_for(int font, int size) {
  QFont f = font == fixed_pitch_font ? column_font()
            : font == gui_font       ? QFontDatabase::systemFont(QFontDatabase::GeneralFont)
                                     : QApplication::font();
  if (size > 0) f.setPixelSize(size);
  return f;
}

QFont fixed_font_like(const QFont& f) {
  QFont fixed = column_font();
  if (f.pixelSize() > 0) fixed.setPixelSize(f.pixelSize());
  return fixed;
}

}  // namespace inhibra::toolkit
