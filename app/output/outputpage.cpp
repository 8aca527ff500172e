// The output buttons of page 4: print, save and the text view, all acting on
// the rows of the ticket list as built.
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QTreeWidget>

#include "Unit1.h"
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
  const QString failure = saveTicketFile(chosen.first(), ticketTexts());
  if (!failure.isEmpty()) desktop().messageBox(this, failure);
}

void TForm1::SpeedButtontextClick() { showTicketText(); }

void TForm1::showTicketText() {
  Ttextform textform(this, *ticketListView);
  desktop().runModal(textform);
}
