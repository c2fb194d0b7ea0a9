#include "qt_convert.h"

#include <QStringDecoder>
#include <QStringList>

namespace tarvolin {

QString ToQString(std::string_view text, bool lineBreaks) {
  const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString result = utf8.decode(bytes);
  if (utf8.hasError()) result = QString::fromLatin1(bytes);
  if (lineBreaks) {
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QChar('\r'), QChar('\n'));
  }
  return result;
}

std::string ToStdString(const QString& text) {
  return text.toStdString();
}

QColor QtColour(uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

QString QtFilter(std::string_view filter) {
  if (filter.empty()) return {};
  const QStringList parts = ToQString(filter).split(QChar('|'));
  QStringList filters;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QStringList patterns;
    if (i + 1 < parts.size()) {
      for (const QString& p : parts[i + 1].split(QChar(';'), Qt::SkipEmptyParts)) {
        if (!p.trimmed().isEmpty()) patterns << p.trimmed();
      }
    }
    if (patterns.isEmpty()) patterns << QStringLiteral("*");
    filters << description + QStringLiteral(" (") + patterns.join(QChar(' ')) + QChar(')');
  }
  return filters.join(QStringLiteral(";;"));
}

}  // namespace tarvolin
