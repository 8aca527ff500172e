// Opening the catalogue's database and its four tables, for the wizard and
// the command line alike.
#include <exception>
#include <string>

#include "catalogue/catalogue.h"
#include "tomedb/TomeDB.h"

void catalogue::openTables(TTomeDatabase& database, TTomeTable& country, TTomeTable& lottery, TTomeTable& wheels,
                           TTomeTable& survey, const QString& path) {
  try {
    database.Close();
  } catch (const std::exception&) {
    // Whatever went wrong with the old file, the new one is opened below.
  }
  const std::string fileName = path.toStdString();
  struct TableBinding {
    TTomeTable& table;
    const char* tableName;
    const char* indexName;
  };
  const TableBinding bindings[] = {
      {country, kCountryTable, kCountryIndex},
      {lottery, kLotteryTable, kLotteryIndex},
      {wheels, kWheelsTable, kWheelsIndex},
      {survey, kSurveyTable, ""},
  };
  try {
    database.SetDatabaseName(fileName);
    database.Open();
    for (const TableBinding& binding : bindings) {
      // The database name first: setting it empties the table and index names.
      binding.table.SetDatabaseName(fileName);
      binding.table.SetPassword(kPassword);
      binding.table.SetTableName(binding.tableName);
      binding.table.SetIndexName(binding.indexName);
      binding.table.Open();
    }
  } catch (...) {
    // All four tables or none: a catalogue that opens only in part (a table
    // missing) is not used at all, so nothing is written to it.
    try {
      database.Close();
    } catch (const std::exception&) {
      // The open's own error is the one to report.
    }
    throw;
  }
}
