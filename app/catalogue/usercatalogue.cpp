#include "catalogue/usercatalogue.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <set>
#include <stdexcept>
#include <utility>

#include "catalogue/catalogue.h"
#include "tomedb/TomeDB.h"

namespace catalogue {

namespace {

[[noreturn]] void fail(const QString& message) { throw std::runtime_error(message.toStdString()); }

// The shipped catalogue the copy was made from is known by its digest, kept
// beside the copy.
QString stampPath(const CatalogueFiles& files) { return files.user + QStringLiteral(".source"); }

QByteArray digestOf(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!hash.addData(&file)) return {};
  return hash.result().toHex();
}

QByteArray recordedDigest(const CatalogueFiles& files) {
  QFile file(stampPath(files));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().trimmed();
}

void writeStamp(const CatalogueFiles& files, const QByteArray& digest) {
  QSaveFile stamp(stampPath(files));
  if (!stamp.open(QIODevice::WriteOnly) || stamp.write(digest + '\n') < 0 || !stamp.commit())
    fail(QStringLiteral("Cannot write \"%1\": %2").arg(stampPath(files), stamp.errorString()));
}

// Copies the shipped catalogue to `target` as a file the user may write
// (the shipped one carries no write bits).
void copyShipped(const CatalogueFiles& files, const QString& target) {
  if (!QDir().mkpath(QFileInfo(target).absolutePath()))
    fail(QStringLiteral("Cannot create the folder \"%1\" for your copy of the catalogue.")
             .arg(QFileInfo(target).absolutePath()));
  QFile::remove(target);
  QFile source(files.shipped);
  if (!source.copy(target))
    fail(QStringLiteral("Cannot copy the catalogue \"%1\" to \"%2\": %3").arg(files.shipped, target, source.errorString()));
  QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

using LotteryKey = std::pair<std::string, std::string>;

void openLotteries(TTomeTable& table, const QString& path) {
  table.SetDatabaseName(path.toStdString());
  table.SetPassword(kPassword);
  table.SetTableName(kLotteryTable);
  table.Open();
}

}  // namespace

CatalogueFiles catalogueFiles(const QString& programFolder, const QString& userFolder) {
  QString folder = userFolder;
  if (folder.isEmpty())
    folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/numerion");
  return {programFolder + QLatin1Char('/') + QLatin1String(kFileName), folder + QLatin1Char('/') + QLatin1String(kFileName)};
}

bool isWritableCatalogue(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile()) return false;
  // No write bit at all means read-only even for a user whom the system
  // would let write anyway, as the engine reads it.
  const auto writeBits = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
  if (!(info.permissions() & writeBits)) return false;
  return info.isWritable();
}

QString catalogueToOpen(const CatalogueFiles& files, QString& warning) {
  warning.clear();
  if (isWritableCatalogue(files.shipped) || !QFileInfo::exists(files.user)) return files.shipped;
  if (QFileInfo::exists(files.shipped)) {
    const QByteArray shipped = digestOf(files.shipped);
    if (!shipped.isEmpty() && shipped != recordedDigest(files)) {
      try {
        renewUserCopy(files);
      } catch (const std::exception& error) {
        warning = QStringLiteral("Your copy of the catalogue could not be brought up to date with the new one "
                                 "(%1); it is used as it was.")
                      .arg(QString::fromUtf8(error.what()));
      }
    }
  }
  return files.user;
}

void makeUserCopy(const CatalogueFiles& files) {
  if (QFileInfo::exists(files.user)) return;
  const QString temporary = files.user + QStringLiteral(".new");
  copyShipped(files, temporary);
  writeStamp(files, digestOf(files.shipped));
  if (!QFile::rename(temporary, files.user)) {
    QFile::remove(temporary);
    fail(QStringLiteral("Cannot create your copy of the catalogue \"%1\".").arg(files.user));
  }
}

void renewUserCopy(const CatalogueFiles& files) {
  const QString temporary = files.user + QStringLiteral(".new");
  copyShipped(files, temporary);
  try {
    TTomeTable added;
    openLotteries(added, temporary);
    std::set<LotteryKey> shipped;
    for (added.First(); !added.Eof(); added.Next())
      shipped.insert({added.FieldByName("country").AsString(), added.FieldByName("lotteryname").AsString()});
    TTomeTable own;
    openLotteries(own, files.user);
    for (own.First(); !own.Eof(); own.Next()) {
      const LotteryKey key{own.FieldByName("country").AsString(), own.FieldByName("lotteryname").AsString()};
      if (shipped.count(key)) continue;
      std::vector<Variant> values;
      for (int i = 0; i < own.FieldCount(); ++i) values.push_back(own.Fields()[i].Value());
      added.AppendRecord(values);
    }
    own.Close();
    added.Close();
  } catch (...) {
    QFile::remove(temporary);
    throw;
  }
  // The old copy goes only once the new one is complete.
  const QString previous = files.user + QStringLiteral(".old");
  QFile::remove(previous);
  if (!QFile::rename(files.user, previous) || !QFile::rename(temporary, files.user)) {
    QFile::rename(previous, files.user);
    QFile::remove(temporary);
    fail(QStringLiteral("Cannot replace your copy of the catalogue \"%1\".").arg(files.user));
  }
  writeStamp(files, digestOf(files.shipped));
  QFile::remove(previous);
}

}  // namespace catalogue
