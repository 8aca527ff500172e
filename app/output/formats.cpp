#include "output/formats.h"

std::optional<TicketFormat> ticketFormat(int format) {
  static const char* const separators[] = {" ", "-", ",", ", "};
  if (format < 1 || format > 8) return std::nullopt;
  const int index = format - 1;
  return TicketFormat{QString::fromLatin1(separators[index / 2]),
                      index % 2 == 1 ? QStringLiteral("0") : QString()};
}

QString renderNumber(const QString& text, const QString& zeropad) {
  if (zeropad == QLatin1String("0")) return text;
  if (text.startsWith(QLatin1Char('0'))) return text.mid(1, 1);
  return text;
}

QString trimText(const QString& text) {
  qsizetype first = 0;
  qsizetype last = text.size();
  while (first < last && text[first].unicode() <= 32) ++first;
  while (last > first && text[last - 1].unicode() <= 32) --last;
  return text.mid(first, last - first);
}

QString ticketText(const QStringList& numbers, const QString& separator, const QString& zeropad) {
  QStringList rendered;
  rendered.reserve(numbers.size());
  for (const QString& number : numbers) rendered << renderNumber(number, zeropad);
  return trimText(rendered.join(separator));
}
