// A fixed-pitch font whatever fonts a machine has: the labels and the process
// lines are laid out in columns, so a proportional font would break them.
#pragma once

#include <QFont>
#include <QString>

namespace tarvolin {

// The preferred family when Qt matches it to a fixed-pitch font; otherwise
// the first fixed-pitch match among common monospaced families, the system's
// fixed font and every installed family, in that order. Only when no
// fixed-pitch font is installed at all does it return the preferred family's
// closest match.
QFont FixedPitchFont(const QString& preferredFamily);

// True when at least one installed family is matched to a fixed-pitch font.
bool AnyFixedPitchFontInstalled();

}  // namespace tarvolin
