// Opening and closing the catalogue's database and its four tables: the
// main window's part of the catalogue (TForm1::openCatalogue,
// TForm1::closeCatalogue).
#include <exception>

#include "Unit1.h"
#include "catalogue/catalogue.h"
#include "catalogue/usercatalogue.h"
#include "wheels/tablecatalogue.h"
#include "tomedb/TomeDB.h"

void TForm1::openCatalogue(const QString& path) {
  try {
    TomeDatabase1->Close();
  } catch (const std::exception&) {
    // Whatever went wrong with the old file, the new one is opened below.
  }
  const std::string fileName = path.toStdString();
  struct TableBinding {
    TTomeTable* table;
    const char* tableName;
    const char* indexName;
  };
  const TableBinding bindings[] = {
      {TomeTable1, catalogue::kCountryTable, catalogue::kCountryIndex},
      {TomeTable2, catalogue::kLotteryTable, catalogue::kLotteryIndex},
      {TomeTable3, catalogue::kWheelsTable, catalogue::kWheelsIndex},
      {TomeTable4, catalogue::kSurveyTable, ""},
  };
  try {
    TomeDatabase1->SetDatabaseName(fileName);
    TomeDatabase1->Open();
    for (const TableBinding& binding : bindings) {
      // The database name first: setting it empties the table and index names.
      binding.table->SetDatabaseName(fileName);
      binding.table->SetPassword(catalogue::kPassword);
      binding.table->SetTableName(binding.tableName);
      binding.table->SetIndexName(binding.indexName);
      binding.table->Open();
    }
    catalogueFile_ = path;
  } catch (...) {
    catalogueFile_.clear();
    // All four tables or none: a catalogue that opens only in part (a table
    // missing) is not used at all, so nothing is written to it.
    try {
      TomeDatabase1->Close();
    } catch (const std::exception&) {
      // The open's own error is the one to report.
    }
    throw;
  }
}

void TForm1::closeCatalogue() {
  // The wheels are read from these tables; with them closed there is nothing
  // to offer. A catalogue given by a test stays.
  if (wheelCatalogue == tableWheels_.get()) wheelCatalogue = nullptr;
  TomeDatabase1->Close();
  catalogueFile_.clear();
}

void TForm1::prepareCatalogueForWriting() {
  if (catalogueFile_.isEmpty() || catalogue::isWritableCatalogue(catalogueFile_)) return;
  if (catalogueFile_ != catalogueFiles_.shipped || catalogueFiles_.user.isEmpty()) return;
  catalogue::makeUserCopy(catalogueFiles_);
  const bool wheelsFromTables = wheelCatalogue == tableWheels_.get();
  openCatalogue(catalogueFiles_.user);
  if (wheelsFromTables) wheelCatalogue = tableWheels_.get();
}
