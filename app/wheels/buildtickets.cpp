// "Build Ticket >>": the chosen wheel's patterns laid over the chosen numbers,
// written in the current number format into the ticket list on page 4.
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <utility>
#include <vector>

#include "Unit1.h"
#include "globalunit.h"
#include "platform/desktop.h"
#include "platform/pagecontrol.h"
#include "wheels/tickets.h"
#include "wheels/wheelcatalogue.h"
#include "wheels/wheelentry.h"

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

QString wheelName(const QString& type, const QString& formula, int pick, int zoption) {
  return QStringLiteral("%1 wheel \"%2\" for %3 numbers per ticket and %4 chosen numbers")
      .arg(type == QLatin1String("a") ? QStringLiteral("abbreviated") : QStringLiteral("key"), formula)
      .arg(pick)
      .arg(zoption);
}

}  // namespace

void TForm1::SpeedButtonbuildticketClick() {
  const bool abbreviated = PageControl2->currentIndex() == 0;
  const QString type = abbreviated ? QStringLiteral("a") : QStringLiteral("k");
  QComboBox* combo = abbreviated ? ComboBox2 : ComboBox3;
  const QLabel* noTickets = abbreviated ? Panel12 : Panel11;

  if (wheelCatalogue == nullptr) {
    desktop().messageBox(this, QStringLiteral("No wheel catalogue is open, so no tickets can be built."));
    return;
  }
  if (!noTickets->isHidden()) {
    desktop().messageBox(this, QStringLiteral("No Ticket!"));
    return;
  }
  // A text typed by hand must still name a formula and a ticket count.
  QString why;
  const std::optional<WheelEntry> entry = parseWheelEntry(combo->currentText(), &why);
  if (!entry) {
    desktop().messageBox(this, why);
    return;
  }
  // The count of an entry is the size of its wheel: a count typed lower
  // would drop tickets and lose the guarantee, a formula typed by hand names
  // a wheel that was never offered for these numbers.
  if (combo->findText(combo->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
    desktop().messageBox(this, QStringLiteral("The wheel \"%1\" is not one of the wheels offered for your "
                                              "numbers. Please choose a wheel from the list.")
                                   .arg(combo->currentText()));
    return;
  }

  PageChangeWindow allowed;
  wizardstate.xyoption = entry->xyoption;
  ticketlimit = entry->count;

  // Read and decode every row first: a damaged row stops the build before
  // anything on screen changes.
  std::vector<std::pair<QString, QString>> built;  // pattern, ticket text
  QString damage;
  wheelCatalogue->walkPatterns(
      wizardstate.pick, type, wizardstate.xyoption, wizardstate.zoption, [&](const QString& pattern) {
        try {
          built.emplace_back(pattern, decodeTicket(pattern + QLatin1Char('-')));
        } catch (const PatternError& error) {
          damage = QStringLiteral("The %1 has a damaged ticket \"%2\": %3. No tickets were built.")
                       .arg(wheelName(type, wizardstate.xyoption, wizardstate.pick, wizardstate.zoption), pattern,
                            QString::fromUtf8(error.what()));
          return false;
        }
        ticketlimit -= 1;
        return ticketlimit > 0;
      });
  if (!damage.isEmpty()) {
    desktop().errorBox(this, damage);
    return;
  }

  ticketListView->clear();
  Memo4->clear();
  for (const auto& [pattern, ticket] : built) {
    Memo4->appendPlainText(pattern);
    addTicket(ticket);
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
