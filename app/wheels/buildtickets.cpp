// "Build Ticket >>": the chosen wheel's patterns laid over the chosen numbers,
// written in the current number format into the ticket list on page 4.
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <vector>

#include "Unit1.h"
#include "globalunit.h"
#include "platform/desktop.h"
#include "platform/pagecontrol.h"
#include "wheels/ticketbuild.h"
#include "wheels/tickets.h"
#include "wheels/wheelcatalogue.h"
#include "wheels/wheelentry.h"
#include "wheels/wintableunit.h"

namespace {

// Raises pagechangeallowed for the life of the object: the page control then
// accepts the program's own change, and no early return or exception can
// leave the user free to click the tabs.
class PageChangeWindow {
 public:
  PageChangeWindow() { pagechangeallowed = true; }
  ~PageChangeWindow() { pagechangeallowed = false; }
  PageChangeWindow(const PageChangeWindow&) = delete;
  PageChangeWindow& operator=(const PageChangeWindow&) = delete;
};

}  // namespace

std::optional<WheelEntry> TForm1::offeredEntry(const QComboBox* combo, const QLabel* noTickets) {
  if (wheelCatalogue == nullptr) {
    desktop().messageBox(this, QStringLiteral("No wheel catalogue is open, so no tickets can be built."));
    return std::nullopt;
  }
  if (!noTickets->isHidden()) {
    desktop().messageBox(this, QStringLiteral("No Ticket!"));
    return std::nullopt;
  }
  // A text typed by hand must still name a formula and a ticket count.
  QString why;
  std::optional<WheelEntry> entry = parseWheelEntry(combo->currentText(), &why);
  if (!entry) {
    desktop().messageBox(this, why);
    return std::nullopt;
  }
  // The count of an entry is the size of its wheel: a count typed lower
  // would drop tickets and lose the guarantee, a formula typed by hand names
  // a wheel that was never offered for these numbers.
  if (combo->findText(combo->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
    desktop().messageBox(this, QStringLiteral("The wheel \"%1\" is not one of the wheels offered for your "
                                              "numbers. Please choose a wheel from the list.")
                                   .arg(combo->currentText()));
    return std::nullopt;
  }
  return entry;
}

void TForm1::SpeedButtonbuildticketClick() {
  const bool abbreviated = PageControl2->currentIndex() == 0;
  const QString type = abbreviated ? QStringLiteral("a") : QStringLiteral("k");
  const QComboBox* combo = abbreviated ? ComboBox2 : ComboBox3;
  const QLabel* noTickets = abbreviated ? Panel12 : Panel11;

  const std::optional<WheelEntry> entry = offeredEntry(combo, noTickets);
  if (!entry) return;

  PageChangeWindow allowed;
  wizardstate.xyoption = entry->xyoption;
  ticketlimit = entry->count;

  // Read and decode every row first: a damaged row stops the build before
  // anything on screen changes.
  const WheelChoice wheel{wizardstate.pick, type, wizardstate.xyoption, wizardstate.zoption, entry->count};
  std::vector<BuiltTicket> built;
  try {
    built = buildWheelTickets(*wheelCatalogue, wheel, selection.nosortlistbox, separator, zeropad, &ticketlimit,
                              &baseListBox);
  } catch (const TicketBuildError& error) {
    desktop().errorBox(this, QString::fromUtf8(error.what()));
    return;
  }

  ticketListView->clear();
  Memo4->clear();
  clearDrawCheck();
  for (const BuiltTicket& ticket : built) {
    Memo4->appendPlainText(ticket.pattern);
    addTicket(ticket.text);
  }
  Label20->setText(QString::number(ticketListView->topLevelItemCount()));
  showPage(PageControl1->currentIndex() + 1);
}

QString TForm1::decodeTicket(const QString& pattern) {
  return ::decodeTicket(pattern, selection.nosortlistbox, separator, zeropad, baseListBox);
}

void TForm1::addTicket(const QString& ticket) {
  auto* row = new QTreeWidgetItem(ticketListView);
  row->setText(0, QString::number(ticketListView->topLevelItemCount()));
  row->setText(1, ticket);
  row->setText(2, QString());
}

void TForm1::showWinTable(bool keyWheels) {
  const QComboBox* combo = keyWheels ? ComboBox3 : ComboBox2;
  const std::optional<WheelEntry> entry = offeredEntry(combo, keyWheels ? Panel11 : Panel12);
  if (!entry) return;
  const QString type = keyWheels ? QStringLiteral("k") : QStringLiteral("a");
  const WheelChoice wheel{wizardstate.pick, type, entry->xyoption, wizardstate.zoption, entry->count};
  std::vector<BuiltTicket> built;
  try {
    built = buildWheelTickets(*wheelCatalogue, wheel, selection.nosortlistbox, separator, zeropad);
  } catch (const TicketBuildError& error) {
    desktop().errorBox(this, QString::fromUtf8(error.what()));
    return;
  }
  WinTableRequest request;
  request.from = numbercount;
  request.v = static_cast<int>(selection.nosortlistbox.size());
  request.k = wizardstate.pick;
  request.keyWheel = keyWheels;
  for (const BuiltTicket& ticket : built) {
    uint64_t mask = 0;
    for (int position : ticket.positions) mask |= uint64_t{1} << (position - 1);
    request.tickets.push_back(mask);
  }
  const std::string problem = wheelReportProblem(request.from, request.v, request.k, request.tickets, keyWheels);
  if (!problem.empty()) {
    desktop().messageBox(this, QStringLiteral("What this wheel pays cannot be counted: %1.")
                                   .arg(QString::fromStdString(problem)));
    return;
  }
  request.title = QStringLiteral("%1: the %2 wheel \"%3\" with %4 over your %5 numbers%6; %7 numbers "
                                 "drawn from 1 to %8.")
                      .arg(Panel8->text(), keyWheels ? QStringLiteral("key") : QStringLiteral("abbreviated"),
                           entry->xyoption)
                      .arg(request.tickets.size() == 1 ? QStringLiteral("1 ticket")
                                                       : QStringLiteral("%1 tickets").arg(request.tickets.size()))
                      .arg(request.v)
                      .arg(keyWheels ? QStringLiteral(" (key %1)").arg(selection.nosortlistbox.first()) : QString())
                      .arg(request.k)
                      .arg(request.from);
  Twintableform form(this, std::move(request));
  desktop().runModal(form);
}
