// Conversions between the program's byte strings and colours and Qt's.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvolin {

// Program text as a QString: UTF-8 when it is valid UTF-8, otherwise
// Latin-1, so that input files in an 8-bit code page still show every byte.
// Bare carriage returns (the line breaks of box texts) become line feeds
// when `lineBreaks` is set.
QString ToQString(std::string_view text, bool lineBreaks = false);

std::string ToStdString(const QString& text);

// A colour given as a 0xBBGGRR integer (red in the low byte).
QColor QtColour(uint32_t bgr);

// A file-dialog filter "description|pattern|description|pattern..." with
// patterns separated by ';' in Qt's form "description (pattern pattern);;...".
QString QtFilter(std::string_view filter);

}  // namespace tarvolin
