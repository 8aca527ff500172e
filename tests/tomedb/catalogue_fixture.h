#pragma once
// Database files for the database, session and table tests: a small
// catalogue made from a schema text by the creation library and filled
// through the engine itself. Each file is removed when the test ends.

#include <string>
#include <vector>

#include "core/temp_file.h"
#include "tomedb/TomeDB.h"
#include "tools/tomedb-create/createdb.h"

inline const char* kCatalogueSchema = R"(
table country
  field country String 30
  index countryindex country primary
table lottery
  field country String 30
  field lotteryname String 40
  field from Integer
  field match Integer
  index loterynameindex country,lotteryname
table moments
  field name String 20
  field day Date
  field at Time
  field stamp DateTime
  field note Memo
table empty
  field name String 10
  index nameindex name primary
)";

// A catalogue file; `settings` go before the tables (compression). With a
// cipher algorithm the file is encrypted with `password` in cipher `mode`.
class TCatalogueFile {
 public:
  explicit TCatalogueFile(const std::string& settings = "", const std::string& algorithm = "",
                          const std::string& password = "", int mode = 1)
      : file_("catalogue") {
    std::string text = settings + "\n";
    if (!algorithm.empty())
      text += "encryption " + algorithm + " mode " + std::to_string(mode) + "\npassword \"" + password + "\"\n";
    CreateDatabaseFile(ParseSchema(text + kCatalogueSchema), file_.path(), false);
  }
  const std::string& path() const { return file_.path(); }

 private:
  TempFile file_;
};

// The lotteries every filled catalogue holds, in stored order.
struct TLotteryRow {
  const char* country;
  const char* name;
  int from;
  int match;
};
inline const std::vector<TLotteryRow> kLotteries = {
    {"United States", "Powerball", 69, 5}, {"Spain", "Bonoloto", 49, 6},
    {"United States", "Mega Millions", 70, 5}, {"Germany", "Lotto 6aus49", 49, 6},
    {"United States", "Cash4Life", 60, 5},
};
inline const std::vector<std::string> kCountries = {"Spain", "Germany", "United States", "Australia"};

// Appends the rows above through a table of the engine, then closes it.
inline void FillCatalogue(const std::string& path, const std::string& password = "") {
  TTomeTable country;
  country.SetDatabaseName(path);
  if (!password.empty()) country.SetPassword(password);
  country.SetTableName("country");
  country.Open();
  for (const std::string& name : kCountries) country.AppendRecord({Variant(name)});
  country.Close();

  TTomeTable lottery;
  lottery.SetDatabaseName(path);
  if (!password.empty()) lottery.SetPassword(password);
  lottery.SetTableName("lottery");
  lottery.Open();
  for (const TLotteryRow& row : kLotteries)
    lottery.AppendRecord({Variant(row.country), Variant(row.name), Variant(row.from), Variant(row.match)});
  lottery.Close();
}
