// Opening and closing the catalogue's database and its four tables: the
// main window's part of the catalogue (TForm1::openCatalogue,
// TForm1::closeCatalogue).
#include <exception>

#include "Unit1.h"
#include "catalogue/catalogue.h"
#include "tomedb/TomeDB.h"

void TForm1::openCatalogue(const QString& path) {
  try {
    TomeDatabase1->Close();
  } catch (const std::exception&) {
    // Whatever went wrong with the old file, the new one is opened below.
  }
  const std::string fileName = path.toStdString();
  TomeDatabase1->SetDatabaseName(fileName);
  TomeDatabase1->Open();
  struct TableBinding {
    TTomeTable* table;
    const char* tableName;
    const char* indexName;
  };
  const TableBinding bindings[] = {
      {TomeTable1, kCountryTable, kCountryIndex},
      {TomeTable2, kLotteryTable, kLotteryIndex},
      {TomeTable3, kWheelsTable, kWheelsIndex},
      {TomeTable4, kSurveyTable, ""},
  };
  for (const TableBinding& binding : bindings) {
    // The database name first: setting it empties the table and index names.
    binding.table->SetDatabaseName(fileName);
    binding.table->SetPassword(kCataloguePassword);
    binding.table->SetTableName(binding.tableName);
    binding.table->SetIndexName(binding.indexName);
    binding.table->Open();
  }
}

void TForm1::closeCatalogue() { TomeDatabase1->Close(); }
