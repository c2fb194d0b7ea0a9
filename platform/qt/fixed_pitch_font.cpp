#include "fixed_pitch_font.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace tarvolin {

namespace {

// A family as Qt matches it for a typewriter font. QFontInfo reports what
// was actually chosen, which may be another family than the one asked for
// (some "Mono" fonts are not fixed pitch in every glyph and are reported so).
QFont TypewriterFont(const QString& family) {
  QFont font(family);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  return font;
}

bool IsFixedPitch(const QFont& font) {
  return QFontInfo(font).fixedPitch();
}

QStringList Candidates(const QString& preferredFamily) {
  QStringList families{preferredFamily,
                       QStringLiteral("Liberation Mono"),
                       QStringLiteral("Nimbus Mono PS"),
                       QStringLiteral("DejaVu Sans Mono"),
                       QStringLiteral("Courier"),
                       QStringLiteral("FreeMono")};
  families << QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
  families << QFontDatabase::families();
  return families;
}

}  // namespace

QFont FixedPitchFont(const QString& preferredFamily) {
  for (const QString& family : Candidates(preferredFamily)) {
    QFont font = TypewriterFont(family);
    if (IsFixedPitch(font)) {
      // Pin the family that was matched, so later size changes keep it.
      font.setFamily(QFontInfo(font).family());
      return font;
    }
  }
  return TypewriterFont(preferredFamily);
}

bool AnyFixedPitchFontInstalled() {
  for (const QString& family : QFontDatabase::families()) {
    if (IsFixedPitch(TypewriterFont(family))) return true;
  }
  return false;
}

}  // namespace tarvolin
