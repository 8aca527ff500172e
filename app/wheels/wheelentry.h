#pragma once
// The texts of wheel choice: the formula combo entries ("4if5   12 tickets"),
// reading an entry back, and the filter texts of the two catalogue queries.
// Plain functions without widgets.

#include <QString>
#include <optional>

// The entry of one wheel in a formula combo: the formula, three blanks, the
// ticket count and " tickets".
QString wheelEntryText(const QString& formula, const QString& ticketCount);

// The formula of a combo text: everything before its first blank; empty when
// the text has no blank.
QString formulaOf(const QString& comboText);

// A formula combo text read back for the build.
struct WheelEntry {
  QString xyoption;  // the formula
  int count = 0;     // the wheel's ticket count: how many rows the build reads at most
};

// Reads a combo text of the entry form: a formula without blanks, one or more
// blanks, a whole number, then the word "tickets". A text typed by hand in
// any other form gives no value, and `why` (when given) receives a message
// for the user. A formula holding "*" is refused as well: the filter language
// would take it as a wildcard and build from several wheels at once.
std::optional<WheelEntry> parseWheelEntry(const QString& comboText, QString* why = nullptr);

// `text` as the inside of a quoted filter constant: each single quote doubled.
QString filterQuoted(const QString& text);

// The survey query for the wheels of one type ("a" or "k") made for `pick`
// numbers per ticket and `zoption` chosen numbers, on table wheelssurvey.
QString surveyFilter(int pick, const QString& wheeltype, int zoption);

// The query for the tickets of one wheel, on table wheels.
QString ticketFilter(int pick, const QString& wheeltype, const QString& xyoption, int zoption);
