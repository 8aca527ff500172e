#pragma once
// The catalogue data.dat as the wizard uses it: where it lies, its password,
// the texts of the lottery queries, and the record of a new lottery. Plain
// functions without widgets; the main window runs the queries on its table
// objects (lotterypage.cpp, newlottounit.cpp).

#include <QString>
#include <vector>

#include "dataset/variant.h"

class TTomeDatabase;
class TTomeTable;

namespace catalogue {

// The file beside the executable and the password every table is opened with.
inline constexpr char kFileName[] = "data.dat";
inline constexpr char kPassword[] = "qivort";

// The tables of the catalogue and their index names (as the file spells them).
inline constexpr char kCountryTable[] = "country";
inline constexpr char kCountryIndex[] = "countryindex";
inline constexpr char kLotteryTable[] = "lottery";
inline constexpr char kLotteryIndex[] = "loterynameindex";
inline constexpr char kWheelsTable[] = "wheels";
inline constexpr char kWheelsIndex[] = "pickindex";
inline constexpr char kSurveyTable[] = "wheelssurvey";

// Opens `database` on the catalogue file `path`, then its four tables on
// it with the password and their indexes: all four or none. On failure the
// database is closed again and the engine's error propagates. The objects
// are not owned; a database open before is closed first.
void openTables(TTomeDatabase& database, TTomeTable& country, TTomeTable& lottery, TTomeTable& wheels,
                TTomeTable& survey, const QString& path);

}  // namespace catalogue

// Query "lotteries of a country" (table lottery): the country name with the
// blanks around it removed. Quotes in the name are doubled, so any name makes
// a valid filter that compares with that very name.
QString lotteriesOfCountryFilter(const QString& country);

// Query "lottery exists" (table lottery): country and name exactly as typed,
// quotes doubled.
QString lotteryExistsFilter(const QString& country, const QString& name);

// The integer value of a From or Match text: decimal digits with an optional
// sign, blanks around them allowed. Throws std::invalid_argument with the
// conversion message "'<text>' is not a valid integer value" otherwise.
int integerValue(const QString& text);

// A lottery as the new lottery dialog adds it.
struct NewLottery {
  QString country;
  QString name;
  int from = 0;   // the highest number drawn
  int match = 0;  // numbers on one ticket
};

// Why `lottery` cannot be stored, as a message for the user, or an empty text
// when it can: From must lie in 1..100 (the number board's limit), Match in
// 1..From - 1, and the texts must fit their fields (`countrySize` and
// `nameSize` bytes of UTF-8), since a longer text would be cut when stored.
QString newLotteryProblem(const NewLottery& lottery, int countrySize, int nameSize);

// The 23 values of a lottery record in field order: country, name, From, 0,
// 0, Match, twelve 0s and five empty texts.
std::vector<Variant> lotteryRecord(const NewLottery& lottery);
