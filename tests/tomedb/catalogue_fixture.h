#pragma once
// Database files for the database, session and table tests: a small
// catalogue made from a schema text by the creation library and filled
// through the engine itself. Each file is removed when the test ends.

#include <fstream>
#include <string>
#include <vector>

#include "core/temp_file.h"
#include "tomedb/TomeDB.h"
#include "tools/tomedb-create/createdb.h"
// The cipher unit and the file layout both name the highest cipher mode.
#define kMaxCipherMode kMaxCipherModeOfCipherUnit
#include "tomedb/algorithms/EncryptBase.h"
#undef kMaxCipherMode

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
// cipher algorithm the empty file is then switched to encryption with the
// check value of `password`, as the creation tool will do once it can.
class TCatalogueFile {
 public:
  explicit TCatalogueFile(const std::string& settings = "", const std::string& algorithm = "",
                          const std::string& password = "", uint8_t mode = 1)
      : file_("catalogue") {
    CreateDatabaseFile(ParseSchema(settings + "\n" + kCatalogueSchema), file_.path(), false);
    if (algorithm.empty()) return;
    std::fstream io(file_.path(), std::ios::binary | std::ios::in | std::ios::out);
    auto patch = [&](int32_t offset, const void* bytes, size_t length) {
      io.seekp(kDataProcessOffset + offset);
      io.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(length));
    };
    const uint8_t on = 1;
    patch(kDpEncryptFlag, &on, 1);
    patch(kDpCipherMode, &mode, 1);
    TNameArray name;
    name.SetText(algorithm);
    patch(kDpEncryptName, name.bytes.data(), kNameSize);
    TFixedText<kDpCheckValueSize> check;
    check.SetText(PasswordCheckValue(password));
    patch(kDpCheckValue, check.bytes.data(), kDpCheckValueSize);
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
