#pragma once
// What the three output buttons of page 4 make of the ticket list: the lines
// of the printout, the lines of the text view, and the saved text file.

#include <QStringList>

class QTreeWidget;

// The ticket texts of `list` (its "Tickets" column), from the first row to
// the last.
QStringList ticketTexts(const QTreeWidget& list);

// The printed lines: three lines of one blank, then per ticket a blank and
// the ticket text.
QStringList printoutLines(const QStringList& tickets);

// The text view's lines: the 0-based row number with at least three digits
// (000, 001, ..., 999, 1000), thirteen blanks, then the ticket text.
QStringList textViewLines(const QStringList& tickets);

// Writes `tickets` to the file `path`, one per line, UTF-8, each line ending
// in "\n". The file is written beside its final place under a temporary name
// and renamed over `path` only when complete, so a failure leaves no
// half-written file and an existing file unchanged. An existing file that is
// read-only is not replaced. Returns the empty text on success, else a
// message for the user that names the file.
QString saveTicketFile(const QString& path, const QStringList& tickets);

// `path` with ".txt" added when its file name has no extension (no "." in
// it) and it names no folder; else `path` unchanged.
QString withTextExtension(const QString& path);
