#include "numbers/selection.h"

#include <stdexcept>

QString boardText(int number) {
  return number < 10 ? QStringLiteral("0") + QString::number(number) : QString::number(number);
}

QString padTwo(const QString& text) { return text.size() == 1 ? QStringLiteral("0") + text : text; }

int numberValue(const QString& text) {
  if (text.startsWith(QLatin1Char('0')) && text.size() >= 2 && text[1].isDigit())
    return text[1].digitValue();
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok) throw std::invalid_argument("'" + text.toStdString() + "' is not a valid integer value");
  return value;
}

QString typedNumberProblem(const QString& digits, int boardCount, const QStringList& chosen, int* number) {
  bool ok = !digits.isEmpty();
  for (const QChar c : digits)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) ok = false;
  const int value = ok ? digits.toInt(&ok) : 0;
  if (!ok || value < 1 || value > boardCount)
    return QStringLiteral("%1 is not on the board: its numbers run from 1 to %2.").arg(digits).arg(boardCount);
  for (const QString& text : chosen)
    if (numberValue(text) == value) return QStringLiteral("%1 is chosen already.").arg(value);
  if (number != nullptr) *number = value;
  return QString();
}

namespace {

// Index of the first entry of `ascending` whose value is greater than that of
// `text`; the count when there is none; -1 for an empty list.
int firstGreater(const QStringList& ascending, const QString& text) {
  if (ascending.isEmpty()) return -1;
  const int value = numberValue(text);
  for (int i = 0; i < ascending.size(); ++i)
    if (numberValue(ascending[i]) > value) return i;
  return static_cast<int>(ascending.size());
}

}  // namespace

int SelectionLists::sortedPosition(const QString& text) const { return firstGreater(sortlistbox, text); }

int SelectionLists::poolPosition(const QString& text) const { return firstGreater(randomListBox, text); }

void SelectionLists::choose(const QString& text) {
  const int position = sortedPosition(text);
  const int poolIndex = poolPosition(text) - 1;
  if (poolIndex < 0 || numberValue(randomListBox[poolIndex]) != numberValue(text))
    throw std::logic_error("Number " + text.toStdString() + " is not free");
  nosortlistbox.append(text);
  if (position == -1)
    sortlistbox.append(text);
  else
    sortlistbox.insert(position, text);
  randomListBox.removeAt(poolIndex);
}

QString SelectionLists::chooseFromPool(int index) {
  const QString text = padTwo(randomListBox.at(index));
  const int position = sortedPosition(text);
  nosortlistbox.append(text);
  if (position == -1)
    sortlistbox.append(text);
  else
    sortlistbox.insert(position, text);
  randomListBox.removeAt(index);
  return text;
}

int SelectionLists::takeBackLast() {
  const QString text = nosortlistbox.takeLast();
  sortlistbox.removeAt(sortlistbox.indexOf(text));
  const int value = numberValue(text);
  const QString plain = QString::number(value);
  const int position = poolPosition(plain);
  if (position == -1 || position >= randomListBox.size())
    randomListBox.append(plain);
  else
    randomListBox.insert(position, plain);
  return value;
}

void SelectionLists::reset(int count) {
  nosortlistbox.clear();
  sortlistbox.clear();
  randomListBox.clear();
  for (int k = 1; k <= count; ++k) randomListBox.append(QString::number(k));
}
