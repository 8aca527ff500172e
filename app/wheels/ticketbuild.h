#pragma once
// Building the tickets of one wheel over the chosen numbers: the patterns of
// the wheel's rows read from the catalogue, decoded over the chosen numbers
// in the order chosen and written in a ticket format. The wizard's "Build
// Ticket >>" and the command line both build through here, so both give the
// same tickets for the same choice. No widgets.

#include <QList>
#include <QStringList>
#include <stdexcept>
#include <vector>

class WheelCatalogue;

// One wheel of the catalogue as a formula combo entry names it.
struct WheelChoice {
  int pick = 0;        // numbers per ticket
  QString wheeltype;   // "a" or "k"
  QString xyoption;    // the formula
  int zoption = 0;     // how many numbers are chosen
  int count = 0;       // the entry's ticket count: the most rows read (at least one)
};

struct BuiltTicket {
  QString pattern;       // the row's position pattern as stored
  QString text;          // the ticket in the chosen format
  QList<int> positions;  // the positions it holds, 1-based, in pattern order
};

// Why a build stopped: a damaged row, with a message for the user that names
// the wheel and the row.
class TicketBuildError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The tickets of `wheel` over `chosen` (board texts, in the order chosen),
// rendered with `separator` and `zeropad`. `remaining`, when given, receives
// the entry's count less the rows read. `lastPositions`, when given, receives
// the position texts of the last pattern decoded. Throws TicketBuildError
// for a damaged row (nothing is returned then); errors of the catalogue
// propagate.
std::vector<BuiltTicket> buildWheelTickets(WheelCatalogue& catalogue, const WheelChoice& wheel,
                                           const QStringList& chosen, const QString& separator,
                                           const QString& zeropad, int* remaining = nullptr,
                                           QStringList* lastPositions = nullptr);
