#include "output/ticketoutput.h"

#include <QFileInfo>
#include <QSaveFile>

QStringList printoutLines(const QStringList& tickets) {
  QStringList lines{QStringLiteral(" "), QStringLiteral(" "), QStringLiteral(" ")};
  for (const QString& ticket : tickets) lines << QLatin1Char(' ') + ticket;
  return lines;
}

QStringList textViewLines(const QStringList& tickets) {
  QStringList lines;
  lines.reserve(tickets.size());
  const QString gap(13, QLatin1Char(' '));
  for (qsizetype i = 0; i < tickets.size(); ++i)
    lines << QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')) + gap + tickets[i];
  return lines;
}

QString saveTicketFile(const QString& path, const QStringList& tickets) {
  const auto failure = [&](const QString& reason) {
    return QStringLiteral("The tickets could not be saved to \"%1\": %2").arg(path, reason);
  };
  const QFileInfo target(path);
  if (target.isDir()) return failure(QStringLiteral("it is a folder."));
  if (target.exists() && !target.isWritable()) return failure(QStringLiteral("the file is read-only."));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return failure(file.errorString() + QLatin1Char('.'));
  QByteArray content;
  for (const QString& ticket : tickets) {
    content += ticket.toUtf8();
    content += '\n';
  }
  if (file.write(content) != content.size()) {
    const QString reason = file.errorString();
    file.cancelWriting();
    file.commit();
    return failure(reason + QLatin1Char('.'));
  }
  if (!file.commit()) return failure(file.errorString() + QLatin1Char('.'));
  return QString();
}

QString withTextExtension(const QString& path) {
  const QFileInfo file(path);
  // A folder stays as it is, for saveTicketFile to refuse.
  return file.isDir() || file.fileName().contains(QLatin1Char('.')) ? path : path + QStringLiteral(".txt");
}
