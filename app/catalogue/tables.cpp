// Opening and closing the catalogue's database and its four tables: the
// main window's part of the catalogue (TForm1::openCatalogue,
// TForm1::closeCatalogue).
#include "Unit1.h"
#include "catalogue/catalogue.h"
#include "catalogue/usercatalogue.h"
#include "wheels/tablecatalogue.h"
#include "tomedb/TomeDB.h"

void TForm1::openCatalogue(const QString& path) {
  catalogueFile_.clear();
  catalogue::openTables(*TomeDatabase1, *TomeTable1, *TomeTable2, *TomeTable3, *TomeTable4, path);
  catalogueFile_ = path;
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
