#pragma once
// Which catalogue file the program works on. The catalogue ships beside the
// program; where the program is installed for all users that file cannot be
// written, so the lotteries a user adds go into a copy of it in the user's
// data folder ($XDG_DATA_HOME/numerion/data.dat), made from the shipped one
// the first time something is to be written, and used for every read from
// then on. When a newer program ships a newer catalogue (better wheels), the
// copy is made again from it and the lotteries the user added are carried
// over. A catalogue beside the program that can be written (a build tree, a
// portable copy) is used in place. No widgets here: Qt Core and the engine.

#include <QString>

namespace catalogue {

struct CatalogueFiles {
  QString shipped;  // beside the program
  QString user;     // the user's own copy, which may not exist yet
};

// The shipped catalogue in `programFolder` and the user copy in `userFolder`
// (empty: the platform's user data folder, $XDG_DATA_HOME/numerion).
CatalogueFiles catalogueFiles(const QString& programFolder, const QString& userFolder = {});

// Whether the program may write this file: it exists, carries a write bit
// and the user may write it.
bool isWritableCatalogue(const QString& path);

// The file to open: the shipped one when it can be written; else the user's
// copy when there is one (renewed first when the shipped catalogue changed
// since the copy was made); else the shipped one, to be read only.
// A renewal that fails leaves the copy as it was and says why in `warning`.
QString catalogueToOpen(const CatalogueFiles& files, QString& warning);

// Makes the user's copy from the shipped catalogue when there is none yet;
// throws std::runtime_error with a message for the user when it cannot.
void makeUserCopy(const CatalogueFiles& files);

// Makes the copy again from the shipped catalogue and appends to it every
// lottery of the old copy that the shipped one lacks (same country and name).
// The old copy stays in place until the new one is complete. Throws
// std::runtime_error (or the engine's error) when it cannot.
void renewUserCopy(const CatalogueFiles& files);

}  // namespace catalogue
