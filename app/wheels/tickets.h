#pragma once
// Laying a wheel's position pattern over the chosen numbers. A pattern such
// as "01-03-05-07-02-04" names positions 1..N in the list of chosen numbers
// (in the order chosen); the ticket holds those numbers in the pattern's
// order, written in the current number format. Plain functions without
// widgets.
//
// Patterns come from the catalogue file and are not trusted: a pattern that
// cannot be laid over the chosen numbers raises PatternError, never reads
// outside the list.

#include <QStringList>
#include <stdexcept>

// One token cut from a text: the token and the 1-based position just after
// the separator that ended it.
struct substrinfo {
  QString text;
  int next = 0;
};

// The token of `s` that starts at the 1-based position `from` and runs up to,
// not including, the next `sep` (one character) or the end of the text.
substrinfo nextToken(const QString& sep, const QString& s, int from);

// A text that begins with "0" reduced to its second character alone ("05"
// gives "5"); any other text unchanged ("10", "7").
QString stripZero(const QString& text);

// Why a pattern could not be decoded, for the user (the token and what is
// wrong with it).
class PatternError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The ticket text of `pattern`, which carries one "-" after its last token as
// the build passes it. Position k stands for entry k - 1 of `nosortlistbox`,
// which is rendered with `zeropad` and joined with `separator`.
// `positions` receives the positions read, as texts in token order (cleared
// first). Throws PatternError for an empty token, a token that is not one or
// two digits, a position outside 1..nosortlistbox.size(), or a position
// named twice.
QString decodeTicket(const QString& pattern, const QStringList& nosortlistbox, const QString& separator,
                     const QString& zeropad, QStringList& positions);
