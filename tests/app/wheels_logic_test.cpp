// Wheel entries, query texts and pattern decoding, without widgets.
#include <gtest/gtest.h>

#include "output/formats.h"
#include "recordingdesktop.h"
#include "vectorcatalogue.h"
#include "wheels/ticketbuild.h"
#include "wheels/tickets.h"
#include "wheels/wheelentry.h"

namespace {

// Chosen in this order: 17, 3, 42, 8, 25, 31, 11.
const QStringList kChosen = {"17", "03", "42", "08", "25", "31", "11"};

QString decoded(const QString& pattern, int format) {
  const TicketFormat f = *ticketFormat(format);
  QStringList positions;
  return decodeTicket(pattern + "-", kChosen, f.separator, f.zeropad, positions);
}

// The reason a pattern is refused; empty when it decodes.
QString refusal(const QString& pattern) {
  QStringList positions;
  try {
    decodeTicket(pattern + "-", kChosen, " ", "", positions);
  } catch (const PatternError& error) {
    return QString::fromUtf8(error.what());
  }
  return QString();
}

TEST(TicketDecoding, TokensAndZeros) {
  EXPECT_EQ(nextToken("-", "12-3-", 1).text, "12");
  EXPECT_EQ(nextToken("-", "12-3-", 1).next, 4);
  EXPECT_EQ(nextToken("-", "12-3-", 4).text, "3");
  EXPECT_EQ(nextToken("-", "12-3-", 4).next, 6);
  EXPECT_EQ(nextToken("-", "12", 1).next, 4);  // ran out: length + 2
  EXPECT_EQ(nextToken("-", "12-", 4).text, "");
  EXPECT_EQ(stripZero("05"), "5");
  EXPECT_EQ(stripZero("10"), "10");
  EXPECT_EQ(stripZero("7"), "7");
  EXPECT_EQ(stripZero("0"), "");
}

TEST(TicketDecoding, WorkedExamplesInThreeFormats) {
  EXPECT_EQ(decoded("1-2-3-4-5-6", 1), "17 3 42 8 25 31");
  EXPECT_EQ(decoded("1-2-3-4-5-6", 4), "17-03-42-08-25-31");
  EXPECT_EQ(decoded("1-2-3-4-5-6", 8), "17, 03, 42, 08, 25, 31");
  // Leading zeros do not move a position; the pattern's order is kept.
  EXPECT_EQ(decoded("01-03-05-07-02-04", 1), "17 42 25 11 3 8");
  EXPECT_EQ(decoded("5", 1), "25");
  EXPECT_EQ(decoded("5", 8), "25");
  EXPECT_EQ(decoded("07", 2), "11");
  // Blanks around the whole pattern are trimmed.
  EXPECT_EQ(decoded(" \t2-1", 3), "3-17");

  QStringList positions{"stale"};
  decodeTicket("01-07-02-", kChosen, " ", "", positions);
  EXPECT_EQ(positions, (QStringList{"1", "7", "2"}));
}

TEST(TicketDecoding, DamagedPatternsAreRefused) {
  EXPECT_EQ(refusal("1--3"), "position 2 is empty");
  EXPECT_EQ(refusal(""), "position 1 is empty");
  EXPECT_EQ(refusal("-1-2"), "position 1 is empty");
  EXPECT_EQ(refusal("1-2-"), "position 3 is empty");  // the stored pattern ends in "-"
  EXPECT_EQ(refusal("1-x-3"), "\"x\" is not a number");
  EXPECT_EQ(refusal("1-2 -3"), "\"2 \" is not a number");
  EXPECT_EQ(refusal("1-+2"), "\"+2\" is not a number");
  EXPECT_EQ(refusal("1-8"), "position \"8\" is outside 1 to 7");
  EXPECT_EQ(refusal("0-1"), "position \"0\" is outside 1 to 7");
  EXPECT_EQ(refusal("00"), "position \"00\" is outside 1 to 7");
  // Three digits would lose one to the leading-zero rule and name another
  // position ("010" would read as 1).
  EXPECT_EQ(refusal("010"), "position \"010\" is outside 1 to 7");
  EXPECT_EQ(refusal("99999999999"), "position \"99999999999\" is outside 1 to 7");
  EXPECT_EQ(refusal("1-3-01"), "position 1 appears twice");
  EXPECT_EQ(refusal("07"), "");
  EXPECT_EQ(refusal("7"), "");
  // Nothing chosen: every position is outside.
  QStringList positions;
  EXPECT_THROW(decodeTicket("1-", {}, " ", "", positions), PatternError);
}

TEST(WheelEntries, EntryTextAndFormula) {
  EXPECT_EQ(wheelEntryText("4if5", "12"), "4if5   12 tickets");
  EXPECT_EQ(formulaOf("4if5   12 tickets"), "4if5");
  EXPECT_EQ(formulaOf("4if5"), "");  // no blank: no formula
  EXPECT_EQ(formulaOf(""), "");
}

TEST(WheelEntries, EntriesReadBack) {
  struct Row {
    const char* text;
    const char* formula;
    int count;
  };
  const Row good[] = {
      {"4if5   12 tickets", "4if5", 12},
      {"3if3 7 tickets", "3if3", 7},
      {"5if6   0 tickets", "5if6", 0},
      {"F   3    tickets  ", "F", 3},
      {"it's   2 tickets", "it's", 2},
  };
  for (const Row& row : good) {
    QString why;
    const std::optional<WheelEntry> entry = parseWheelEntry(row.text, &why);
    ASSERT_TRUE(entry.has_value()) << row.text << ": " << why.toStdString();
    EXPECT_EQ(entry->xyoption, row.formula);
    EXPECT_EQ(entry->count, row.count);
  }
}

TEST(WheelEntries, HandTypedTextsAreRefused) {
  for (const char* text : {"", "4if5", " 4if5   12 tickets", "4if5   twelve tickets", "4if5   12",
                           "4if5   -3 tickets", "4if5   12 ticket", "4if5   12 tickets please",
                           "4if5   99999999999 tickets", "4if*   3 tickets", "4if5   1.5 tickets"}) {
    QString why;
    EXPECT_FALSE(parseWheelEntry(text, &why).has_value()) << text;
    EXPECT_TRUE(why.startsWith(QStringLiteral("The wheel \"%1\" cannot be read: ").arg(text))) << why.toStdString();
    EXPECT_TRUE(why.endsWith("Please choose a wheel from the list.")) << why.toStdString();
  }
  QString why;
  parseWheelEntry("3if3", &why);
  EXPECT_TRUE(why.contains("the ticket count is missing")) << why.toStdString();
}

TEST(WheelQueries, ExactFilterTexts) {
  EXPECT_EQ(surveyFilter(6, "a", 10), "pick= 6 and  wheeltype='a' and  zoption= 10");
  EXPECT_EQ(surveyFilter(6, "k", 10), "pick= 6 and  wheeltype='k' and  zoption= 10");
  EXPECT_EQ(ticketFilter(6, "a", "F", 7), "pick=6 and  wheeltype='a' and  xyoption='F' and zoption=7");
  EXPECT_EQ(ticketFilter(5, "k", "3if4", 12), "pick=5 and  wheeltype='k' and  xyoption='3if4' and zoption=12");
  // Inserted texts cannot break out of their quotes.
  EXPECT_EQ(ticketFilter(6, "a", "x' or pick=5 or 'y", 7),
            "pick=6 and  wheeltype='a' and  xyoption='x'' or pick=5 or ''y' and zoption=7");
  EXPECT_EQ(surveyFilter(6, "'", 7), "pick= 6 and  wheeltype='''' and  zoption= 7");
  EXPECT_EQ(filterQuoted("''"), "''''");
}

TEST(TicketBuilding, RowsUpToTheCountAndADamagedRowStopsAll) {
  VectorWheelCatalogue catalogue;
  catalogue.addWheel(6, "k", "3if4", 7, {"1-2-3-4-5-6", "2-1-3-4-5-7", "3-4-1-5-6-07", "7-6-5-4-3-1"});
  int remaining = 0;
  QStringList last;
  const std::vector<BuiltTicket> built =
      buildWheelTickets(catalogue, {6, "k", "3if4", 7, 3}, kChosen, "-", "0", &remaining, &last);
  ASSERT_EQ(built.size(), 3u) << "the entry's count caps the rows";
  EXPECT_EQ(remaining, 0);
  EXPECT_EQ(built[2].pattern, "3-4-1-5-6-07");
  EXPECT_EQ(built[2].text, "42-08-17-25-31-11");
  EXPECT_EQ(built[2].positions, (QList<int>{3, 4, 1, 5, 6, 7}));
  EXPECT_EQ(last, (QStringList{"3", "4", "1", "5", "6", "7"}));

  catalogue.addWheel(6, "a", "4if5", 7, {"1-2-3-4-5-6", "1-2-3-4-5-9"});
  try {
    buildWheelTickets(catalogue, {6, "a", "4if5", 7, 2}, kChosen, " ", "", &remaining);
    ADD_FAILURE() << "a damaged row builds nothing";
  } catch (const TicketBuildError& error) {
    EXPECT_EQ(QString::fromUtf8(error.what()),
              "The abbreviated wheel \"4if5\" for 6 numbers per ticket and 7 chosen numbers has a damaged ticket "
              "\"1-2-3-4-5-9\": position \"9\" is outside 1 to 7. No tickets were built.");
  }
}

}  // namespace
