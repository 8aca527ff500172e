#include "catalogue/catalogue.h"

#include <stdexcept>

#include "output/formats.h"
#include "wheels/wheelentry.h"

QString lotteriesOfCountryFilter(const QString& country) {
  return QStringLiteral("country='") + filterQuoted(trimText(country)) + QLatin1Char('\'');
}

QString lotteryExistsFilter(const QString& country, const QString& name) {
  return QStringLiteral("country='") + filterQuoted(country) + QStringLiteral("' and  lotteryname='") +
         filterQuoted(name) + QLatin1Char('\'');
}

int integerValue(const QString& text) {
  const QString digits = trimText(text);
  qsizetype k = 0;
  if (k < digits.size() && (digits[k] == QLatin1Char('+') || digits[k] == QLatin1Char('-'))) ++k;
  bool ok = k < digits.size();
  for (; ok && k < digits.size(); ++k) ok = digits[k] >= QLatin1Char('0') && digits[k] <= QLatin1Char('9');
  int value = 0;
  if (ok) value = digits.toInt(&ok, 10);  // false when out of range
  if (!ok) throw std::invalid_argument("'" + text.toStdString() + "' is not a valid integer value");
  return value;
}

QString newLotteryProblem(const NewLottery& lottery, int countrySize, int nameSize) {
  if (lottery.from < 1 || lottery.from > 100)
    return QStringLiteral("From must be a number from 1 to 100 (the number board holds at most 100 numbers), "
                          "not %1. Nothing was stored.")
        .arg(lottery.from);
  if (lottery.match < 1 || lottery.match >= lottery.from)
    return QStringLiteral("Match must be at least 1 and less than From (%1), not %2. Nothing was stored.")
        .arg(lottery.from)
        .arg(lottery.match);
  if (lottery.country.toUtf8().size() > countrySize)
    return QStringLiteral("The country name is too long: the catalogue keeps at most %1 bytes of it. "
                          "Nothing was stored.")
        .arg(countrySize);
  if (lottery.name.toUtf8().size() > nameSize)
    return QStringLiteral("The lottery name is too long: the catalogue keeps at most %1 bytes of it. "
                          "Nothing was stored.")
        .arg(nameSize);
  return QString();
}

std::vector<Variant> lotteryRecord(const NewLottery& lottery) {
  std::vector<Variant> values;
  values.reserve(23);
  values.emplace_back(lottery.country.toStdString());
  values.emplace_back(lottery.name.toStdString());
  values.emplace_back(static_cast<std::int32_t>(lottery.from));
  values.emplace_back(std::int32_t{0});
  values.emplace_back(std::int32_t{0});
  values.emplace_back(static_cast<std::int32_t>(lottery.match));
  for (int k = 7; k <= 18; ++k) values.emplace_back(std::int32_t{0});
  for (int k = 19; k <= 23; ++k) values.emplace_back(std::string());
  return values;
}
