#include "wheels/wheelentry.h"

#include "output/formats.h"

QString wheelEntryText(const QString& formula, const QString& ticketCount) {
  return formula + QStringLiteral("   ") + ticketCount + QStringLiteral(" tickets");
}

QString formulaOf(const QString& comboText) {
  const qsizetype blank = comboText.indexOf(QLatin1Char(' '));
  return blank < 0 ? QString() : comboText.left(blank);
}

namespace {

bool isWholeNumber(const QString& text) {
  if (text.isEmpty()) return false;
  for (const QChar c : text)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  return true;
}

}  // namespace

std::optional<WheelEntry> parseWheelEntry(const QString& comboText, QString* why) {
  const auto refuse = [&](const QString& reason) -> std::optional<WheelEntry> {
    if (why != nullptr)
      *why = QStringLiteral("The wheel \"%1\" cannot be read: %2. Please choose a wheel from the list.")
                 .arg(comboText, reason);
    return std::nullopt;
  };
  const qsizetype blank = comboText.indexOf(QLatin1Char(' '));
  if (trimText(comboText).isEmpty()) return refuse(QStringLiteral("it names no wheel"));
  if (blank == 0) return refuse(QStringLiteral("it does not begin with a formula"));
  if (blank < 0) return refuse(QStringLiteral("the ticket count is missing after the formula"));
  WheelEntry entry;
  entry.xyoption = comboText.left(blank);
  for (const QChar c : entry.xyoption)
    if (c.unicode() < 32) return refuse(QStringLiteral("its formula holds a control character"));
  if (entry.xyoption.contains(QLatin1Char('*')))
    return refuse(QStringLiteral("its formula holds a \"*\""));
  const QString rest = trimText(comboText.mid(blank + 1));
  const qsizetype gap = rest.indexOf(QLatin1Char(' '));
  const QString count = gap < 0 ? rest : rest.left(gap);
  bool ok = false;
  entry.count = count.toInt(&ok);
  if (!isWholeNumber(count) || !ok) return refuse(QStringLiteral("the formula is not followed by a ticket count"));
  if (gap < 0 || trimText(rest.mid(gap)) != QLatin1String("tickets"))
    return refuse(QStringLiteral("the ticket count is not followed by \"tickets\""));
  return entry;
}

QString filterQuoted(const QString& text) {
  QString quoted = text;
  return quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
}

QString surveyFilter(int pick, const QString& wheeltype, int zoption) {
  return QStringLiteral("pick= ") + QString::number(pick) + QStringLiteral(" and  wheeltype='") +
         filterQuoted(wheeltype) + QStringLiteral("' and  zoption= ") + QString::number(zoption);
}

QString ticketFilter(int pick, const QString& wheeltype, const QString& xyoption, int zoption) {
  return QStringLiteral("pick=") + QString::number(pick) + QStringLiteral(" and  wheeltype='") +
         filterQuoted(wheeltype) + QStringLiteral("' and  xyoption='") + filterQuoted(xyoption) +
         QStringLiteral("' and zoption=") + QString::number(zoption);
}
