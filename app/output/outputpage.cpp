// The output buttons of page 4: print, save and the text view, all acting on
// the rows of the ticket list as built.
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QLabel>
#include <QTreeWidget>
#include <algorithm>

#include "Unit1.h"
#include "globalunit.h"
#include "output/checkdrawunit.h"
#include "output/drawcheck.h"
#include "output/textUnit.h"
#include "output/ticketoutput.h"
#include "platform/desktop.h"
#include "platform/textdevice.h"

QStringList TForm1::ticketTexts() const { return ::ticketTexts(*ticketListView); }

void TForm1::SpeedButtonprintticketsClick() { printTickets(); }

void TForm1::printTickets() {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog PrintDialog1(&printer, this);
  if (desktop().runModal(PrintDialog1) != QDialog::Accepted) return;
  try {
    TextPrintDevice device;
    device.open(printer, QFont(QStringLiteral("Courier New"), 8));
    for (const QString& line : printoutLines(ticketTexts())) device.writeLine(line);
    device.close();
  } catch (const PrintError& error) {
    desktop().errorBox(this, QString::fromUtf8(error.what()));
  }
}

void TForm1::SpeedButtonsavefileClick() {
  QFileDialog SaveDialog1(this);
  SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog1.setFileMode(QFileDialog::AnyFile);
  SaveDialog1.setNameFilter(QStringLiteral("*.txt (*.txt)"));
  if (desktop().runModal(SaveDialog1) != QDialog::Accepted) return;
  const QStringList chosen = SaveDialog1.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return;
  // A name without an extension gets ".txt". The dialog's own default
  // suffix is not used: it would turn a folder chosen by mistake into a
  // file beside it.
  const QString failure = saveTicketFile(withTextExtension(chosen.first()), ticketTexts());
  if (!failure.isEmpty()) desktop().messageBox(this, failure);
}

void TForm1::SpeedButtontextClick() { showTicketText(); }

void TForm1::showTicketText() {
  Ttextform textform(this, *ticketListView);
  desktop().runModal(textform);
}

void TForm1::checkDrawClick() {
  if (ticketListView->topLevelItemCount() == 0) {
    desktop().messageBox(this, QStringLiteral("There are no tickets to check yet."));
    return;
  }
  Tcheckdrawform form(this, wizardstate.pick, numbercount);
  if (desktop().runModal(form) != QDialog::Accepted) return;
  checkDraw(form.draw());
}

void TForm1::checkDraw(const QList<int>& draw) {
  clearDrawCheck();
  QList<int> hits;
  for (int i = 0; i < ticketListView->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = ticketListView->topLevelItem(i);
    const std::optional<QList<int>> numbers = ticketNumbers(row->text(1));
    hits << (numbers ? hitsOf(*numbers, draw) : 0);
    row->setText(2, hitsText(hits.last()));
  }
  const int most = *std::max_element(hits.begin(), hits.end());
  if (most > 0) {
    for (int i = 0; i < ticketListView->topLevelItemCount(); ++i) {
      if (hits[i] != most) continue;
      QTreeWidgetItem* row = ticketListView->topLevelItem(i);
      QFont bold = ticketListView->font();
      bold.setBold(true);
      for (int column = 0; column < 3; ++column) {
        row->setFont(column, bold);
        row->setBackground(column, QColor(0xff, 0xe0, 0x80));
      }
    }
  }
  QStringList drawn;
  for (int number : draw) drawn << QString::number(number);
  drawSummaryLabel->setText(QStringLiteral("Draw %1: %2").arg(drawn.join(QLatin1Char(' ')), hitsSummary(hits)));
}

void TForm1::clearDrawCheck() {
  for (int i = 0; i < ticketListView->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = ticketListView->topLevelItem(i);
    row->setText(2, QString());
    for (int column = 0; column < 3; ++column) {
      row->setData(column, Qt::FontRole, QVariant());
      row->setData(column, Qt::BackgroundRole, QVariant());
    }
  }
  drawSummaryLabel->clear();
}
