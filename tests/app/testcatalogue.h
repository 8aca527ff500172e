#pragma once
// Catalogues for the wizard's tests: a directory of the tests' scratch folder
// holding a data.dat made at test time with the shipped catalogue's schema
// (encrypted with the program's password, compressed) and filled through the
// engine. The directory goes when the test ends.

#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdlib>
#include <string>
#include <vector>

#include "tomedb/TomeDB.h"
#include "tools/makecatalogue/makecatalogue.h"

struct TestLottery {
  std::string country;
  std::string name;
  int from = 0;
  int match = 0;
};

class TestCatalogue {
 public:
  // An empty catalogue: its four tables hold no record.
  TestCatalogue() : dir_(scratch() + QStringLiteral("/catalogue-XXXXXX")) {
    CreateDatabaseFile(CatalogueSchema(), path().toStdString(), false);
  }
  TestCatalogue(const std::vector<std::string>& countries, const std::vector<TestLottery>& lotteries)
      : TestCatalogue() {
    TTomeTable country;
    open(country, "country");
    for (const std::string& name : countries) country.AppendRecord({Variant(name)});
    country.Close();
    TTomeTable lottery;
    open(lottery, "lottery");
    for (const TestLottery& game : lotteries) {
      std::vector<Variant> values = {Variant(game.country), Variant(game.name), Variant(game.from), Variant(0),
                                     Variant(0), Variant(game.match)};
      values.resize(23, Variant(0));
      for (size_t k = 18; k < 23; ++k) values[k] = Variant("");
      lottery.AppendRecord(values);
    }
    lottery.Close();
  }

  // Adds one wheel: its survey row (with `tickets` as its ticket count, the
  // pattern count when negative) and one row of table wheels per pattern, in
  // the order given. The program's database must be closed.
  void addWheel(int pick, const std::string& type, const std::string& formula, int zoption,
                const std::vector<std::string>& patterns, int tickets = -1) {
    TTomeTable survey;
    open(survey, "wheelssurvey");
    survey.AppendRecord({Variant(pick), Variant(type), Variant(formula), Variant(zoption),
                         Variant(tickets < 0 ? static_cast<int>(patterns.size()) : tickets)});
    survey.Close();
    TTomeTable wheels;
    open(wheels, "wheels");
    for (const std::string& pattern : patterns)
      wheels.AppendRecord({Variant(pick), Variant(type), Variant(formula), Variant(zoption), Variant(pattern)});
    wheels.Close();
  }

  QString directory() const { return dir_.path(); }
  QString path() const { return QDir(dir_.path()).filePath(QStringLiteral("data.dat")); }

  // Every lottery record as "country|name|from|match", in stored order. The
  // program's database must be closed.
  QStringList storedLotteries() const {
    TTomeTable lottery;
    open(lottery, "lottery");
    QStringList rows;
    for (lottery.First(); !lottery.Eof(); lottery.Next()) {
      QStringList fields;
      for (const char* name : {"country", "lotteryname", "from", "match"})
        fields << QString::fromStdString(lottery.FieldByName(name).AsString());
      rows << fields.join(QLatin1Char('|'));
    }
    return rows;
  }

 private:
  QTemporaryDir dir_;

  static QString scratch() {
    const char* dir = std::getenv("NUMERION_TEST_TMP");
    return QString::fromLocal8Bit(dir && *dir ? dir : "/tmp");
  }
  void open(TTomeTable& table, const char* name) const {
    table.SetDatabaseName(path().toStdString());
    table.SetPassword(kCataloguePassword);
    table.SetTableName(name);
    table.Open();
  }
};

// The rows of a lottery list as "name|from|match".
inline QStringList lotteryRows(const QTreeWidget* list) {
  QStringList texts;
  for (int k = 0; k < list->topLevelItemCount(); ++k) {
    const QTreeWidgetItem* item = list->topLevelItem(k);
    texts << item->text(0) + "|" + item->text(1) + "|" + item->text(2);
  }
  return texts;
}
