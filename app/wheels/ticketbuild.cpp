#include "wheels/ticketbuild.h"

#include "wheels/tickets.h"
#include "wheels/wheelcatalogue.h"

namespace {

QString wheelName(const WheelChoice& wheel) {
  return QStringLiteral("%1 wheel \"%2\" for %3 numbers per ticket and %4 chosen numbers")
      .arg(wheel.wheeltype == QLatin1String("a") ? QStringLiteral("abbreviated") : QStringLiteral("key"),
           wheel.xyoption)
      .arg(wheel.pick)
      .arg(wheel.zoption);
}

}  // namespace

std::vector<BuiltTicket> buildWheelTickets(WheelCatalogue& catalogue, const WheelChoice& wheel,
                                           const QStringList& chosen, const QString& separator,
                                           const QString& zeropad, int* remaining, QStringList* lastPositions) {
  std::vector<BuiltTicket> built;
  QString damage;
  int limit = wheel.count;
  QStringList positions;
  catalogue.walkPatterns(wheel.pick, wheel.wheeltype, wheel.xyoption, wheel.zoption, [&](const QString& pattern) {
    try {
      BuiltTicket ticket;
      ticket.pattern = pattern;
      ticket.text = decodeTicket(pattern + QLatin1Char('-'), chosen, separator, zeropad, positions);
      for (const QString& position : positions) ticket.positions << position.toInt();
      built.push_back(std::move(ticket));
    } catch (const PatternError& error) {
      damage = QStringLiteral("The %1 has a damaged ticket \"%2\": %3. No tickets were built.")
                   .arg(wheelName(wheel), pattern, QString::fromUtf8(error.what()));
      return false;
    }
    limit -= 1;
    return limit > 0;
  });
  if (remaining != nullptr) *remaining = limit;
  if (lastPositions != nullptr) *lastPositions = positions;
  if (!damage.isEmpty()) throw TicketBuildError(damage.toStdString());
  return built;
}
