#include "wheels/tickets.h"

#include "output/formats.h"

substrinfo nextToken(const QString& sep, const QString& s, int from) {
  substrinfo token;
  const QChar separatorChar = sep.isEmpty() ? QChar() : sep[0];
  int i = from;
  while (i >= 1 && i <= s.size() && s[i - 1] != separatorChar) {
    token.text += s[i - 1];
    ++i;
  }
  token.next = i + 1;
  return token;
}

QString stripZero(const QString& text) {
  return text.startsWith(QLatin1Char('0')) ? text.mid(1, 1) : text;
}

namespace {

bool allDigits(const QString& text) {
  for (const QChar c : text)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  return true;
}

// Checks one raw token against the count of chosen numbers and returns the
// position it names.
int positionOf(const QString& token, int tokenNumber, qsizetype count) {
  const QString range = QStringLiteral("1 to %1").arg(count);
  if (token.isEmpty()) throw PatternError(QStringLiteral("position %1 is empty").arg(tokenNumber).toStdString());
  if (!allDigits(token))
    throw PatternError(QStringLiteral("\"%1\" is not a number").arg(token).toStdString());
  // Positions are one or two digits; a longer token would lose digits to
  // stripZero and silently name another position.
  const QString stripped = stripZero(token);
  const int position = stripped.toInt();
  if (token.size() > 2 || stripped.isEmpty() || position < 1 || position > count)
    throw PatternError(QStringLiteral("position \"%1\" is outside %2").arg(token, range).toStdString());
  return position;
}

}  // namespace

QString decodeTicket(const QString& pattern, const QStringList& nosortlistbox, const QString& separator,
                     const QString& zeropad, QStringList& positions) {
  positions.clear();
  const QString text = trimText(pattern);
  const auto n = static_cast<int>(text.count(QLatin1Char('-')));
  QStringList raw;
  substrinfo token = nextToken(QStringLiteral("-"), text, 1);
  raw << token.text;
  for (int k = 1; k < n; ++k) {
    token = nextToken(QStringLiteral("-"), text, token.next);
    raw << token.text;
  }
  QStringList numbers;
  QList<int> seen;
  for (int k = 0; k < raw.size(); ++k) {
    const int position = positionOf(raw[k], k + 1, nosortlistbox.size());
    // A ticket holds each number once; a repeated position would print one
    // number twice on the ticket and leave the ticket a number short.
    if (seen.contains(position))
      throw PatternError(QStringLiteral("position %1 appears twice").arg(position).toStdString());
    seen << position;
    positions << stripZero(raw[k]);
    numbers << nosortlistbox[position - 1];
  }
  return ticketText(numbers, separator, zeropad);
}
