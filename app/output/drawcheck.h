#pragma once
// Checking tickets against a draw: reading the drawn numbers a user types
// (or a command line gives), reading the numbers of a ticket text in any of
// the eight formats, the hits of each ticket and the line that sums them up.
// No widgets.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The numbers of `text`: whole numbers separated by blanks, commas or
// hyphens. Why they cannot be a draw of `count` numbers from 1 to `from`, as
// one sentence for the user, or an empty text when they can; `numbers`
// receives them in the order typed.
QString drawProblem(const QString& text, int count, int from, QList<int>& numbers);

// The numbers of a ticket text in any of the eight formats; no value for a
// text that holds anything else or no number at all.
std::optional<QList<int>> ticketNumbers(const QString& ticket);

// How many of `draw` the ticket holds.
int hitsOf(const QList<int>& ticket, const QList<int>& draw);

// What the Tag column says of a ticket with `hits` hits: "1 hit", "3 hits".
QString hitsText(int hits);

// The hits of a list of tickets summed up, most hits first, levels without a
// ticket left out: "1 ticket with 5, 4 with 4, 9 with 3". Empty for no
// tickets.
QString hitsSummary(const QList<int>& hits);
