#include "output/drawcheck.h"

#include <QRegularExpression>
#include <algorithm>
#include <map>

namespace {

// The tokens of a list of numbers: separated by blanks, commas or hyphens.
QStringList tokensOf(const QString& text) {
  static const QRegularExpression separators(QStringLiteral("[\\s,\\-]+"));
  return text.split(separators, Qt::SkipEmptyParts);
}

// A token of one to three decimal digits as a number; -1 for anything else.
int numberOf(const QString& token) {
  if (token.isEmpty() || token.size() > 3) return -1;
  for (const QChar c : token)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return -1;
  return token.toInt();
}

QString numbersText(int count) {
  return count == 1 ? QStringLiteral("1 number") : QStringLiteral("%1 numbers").arg(count);
}

}  // namespace

QString drawProblem(const QString& text, int count, int from, QList<int>& numbers) {
  numbers.clear();
  const QStringList tokens = tokensOf(text);
  if (tokens.isEmpty()) return QStringLiteral("Please type the %1 drawn numbers.").arg(count);
  for (const QString& token : tokens) {
    const int number = numberOf(token);
    if (number < 0) return QStringLiteral("\"%1\" is not a number.").arg(token);
    if (number < 1 || number > from)
      return QStringLiteral("The number %1 is outside 1 to %2 of this lottery.").arg(number).arg(from);
    if (numbers.contains(number)) return QStringLiteral("The number %1 is there twice.").arg(number);
    numbers << number;
  }
  if (numbers.size() != count)
    return QStringLiteral("The lottery draws %1, not %2.").arg(numbersText(count), numbersText(int(numbers.size())));
  return QString();
}

std::optional<QList<int>> ticketNumbers(const QString& ticket) {
  QList<int> numbers;
  for (const QString& token : tokensOf(ticket)) {
    const int number = numberOf(token);
    if (number < 0) return std::nullopt;
    numbers << number;
  }
  if (numbers.isEmpty()) return std::nullopt;
  return numbers;
}

int hitsOf(const QList<int>& ticket, const QList<int>& draw) {
  return static_cast<int>(std::count_if(ticket.begin(), ticket.end(), [&](int n) { return draw.contains(n); }));
}

QString hitsText(int hits) { return hits == 1 ? QStringLiteral("1 hit") : QStringLiteral("%1 hits").arg(hits); }

QString hitsSummary(const QList<int>& hits) {
  std::map<int, int, std::greater<>> tickets;  // hits -> tickets
  for (int h : hits) ++tickets[h];
  QStringList parts;
  for (const auto& [level, count] : tickets) {
    const QString noun = parts.isEmpty() ? (count == 1 ? QStringLiteral(" ticket") : QStringLiteral(" tickets"))
                                         : QString();
    parts << QStringLiteral("%1%2 with %3").arg(count).arg(noun).arg(level);
  }
  return parts.join(QStringLiteral(", "));
}
