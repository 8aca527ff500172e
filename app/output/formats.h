#pragma once
// The ticket text: a ticket's numbers in ticket order joined by a separator,
// numbers below 10 with or without their leading zero. Eight formats combine
// four separators with the two zero styles.

#include <QStringList>
#include <optional>

struct TicketFormat {
  QString separator;  // put between two numbers
  QString zeropad;    // "0": numbers below 10 keep their leading zero; empty: they lose it
};

// Format 1 to 8; no value for any other number.
std::optional<TicketFormat> ticketFormat(int format);

// One number as a ticket shows it. `text` is as stored in the chosen lists:
// "01".."09", or plain decimal from 10 up.
QString renderNumber(const QString& text, const QString& zeropad);

// `text` without the characters of code 32 or less at either end.
QString trimText(const QString& text);

// A ticket's text: the rendered numbers joined by `separator`, trimmed of
// blanks and control characters at both ends.
QString ticketText(const QStringList& numbers, const QString& separator, const QString& zeropad);
