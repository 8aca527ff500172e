#pragma once
// The user's choice of numbers as three lists of number texts, with no widgets
// involved, so that the invariants can be checked directly:
//  - sortlistbox holds exactly the entries of nosortlistbox, ascending by value;
//  - randomListBox holds exactly the numbers 1..N that are not chosen, ascending.
// Chosen numbers are written as on the board ("01".."09", then "10", "11", ...);
// the pool holds plain decimal texts ("1".."N").

#include <QStringList>

// The text of number k on the board and in the chosen lists: "07", "42".
QString boardText(int number);
// "0" before a text of exactly one character; longer texts unchanged.
QString padTwo(const QString& text);
// The value of a number text in either form. A text beginning with "0" counts
// by its second character alone. Throws std::invalid_argument for a text that
// is not a number.
int numberValue(const QString& text);

// Why the digits typed for a number cannot choose it, as a message for the
// user, or an empty text when they choose number `*number`: the board runs
// from 1 to `boardCount`, and a chosen number cannot be chosen again.
QString typedNumberProblem(const QString& digits, int boardCount, const QStringList& chosen, int* number);

class SelectionLists {
 public:
  QStringList nosortlistbox;  // chosen numbers in the order chosen; the first is the key
  QStringList sortlistbox;    // the same numbers, ascending
  QStringList randomListBox;  // the pool: numbers not chosen, ascending

  // Insertion index of `text` in sortlistbox: -1 when the list is empty, else
  // the index of the first entry of greater value, or the count when none is.
  int sortedPosition(const QString& text) const;
  // The same search over the pool.
  int poolPosition(const QString& text) const;

  // Chooses the number written `text` (board form): appends it, inserts it in
  // order and takes it out of the pool. REQUIRES: the number is in the pool.
  void choose(const QString& text);
  // Chooses pool entry `index`; returns its board text.
  QString chooseFromPool(int index);
  // Takes back the last chosen number and returns the value put back into
  // the pool. REQUIRES: at least one number chosen.
  int takeBackLast();
  // Nothing chosen; the pool holds "1" to `count`.
  void reset(int count);
};
