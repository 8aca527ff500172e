// The output formats on page 3 and the ticket list on page 4.
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTreeWidget>

#include "Unit1.h"
#include "output/formats.h"
#include "output/ticketoutput.h"
#include "platform/guard.h"

void TForm1::createOutputFormats() {
  Label18 = new QLabel(QStringLiteral("Output Format:"), TabSheet5);
  Label18->move(64, 328);
  struct Choice {
    QRadioButton** button;
    const char* caption;
    int left;
    int top;
    int format;
  };
  const Choice choices[] = {
      {&RadioButton3, "1 2 3 4 5", 152, 328, 1},        {&RadioButton5, "01 02 03 04 05", 152, 352, 2},
      {&RadioButton4, "1-2-3-4-5", 280, 328, 3},        {&RadioButton6, "01-02-03-04-05", 280, 352, 4},
      {&RadioButton7, "1,2,3,4,5", 408, 328, 5},        {&RadioButton8, "01,02,03,04,05", 408, 352, 6},
      {&RadioButton9, "1, 2, 3, 4, 5", 536, 328, 7},    {&RadioButton10, "01, 02, 03, 04, 05", 536, 352, 8},
  };
  for (const Choice& choice : choices) {
    auto* button = new QRadioButton(QString::fromLatin1(choice.caption), TabSheet5);
    button->setGeometry(choice.left, choice.top, 125, 25);
    const int format = choice.format;
    connect(button, &QRadioButton::clicked, this, [this, format] { guarded(this, [&] { setFormat(format); }); });
    *choice.button = button;
  }
  RadioButton3->setChecked(true);
}

void TForm1::createTicketPage() {
  ticketListView = new QTreeWidget(TabSheet3);
  ticketListView->setRootIsDecorated(false);
  ticketListView->setSelectionBehavior(QAbstractItemView::SelectRows);
  ticketListView->setSelectionMode(QAbstractItemView::SingleSelection);
  ticketListView->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("Tickets"), QStringLiteral("Tag")});
  ticketListView->setColumnWidth(0, 150);
  ticketListView->setColumnWidth(1, 150);
  QPalette palette = ticketListView->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
  // Keep the selection visible when the list loses the focus.
  palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  ticketListView->setPalette(palette);

  Panel2 = new QFrame(TabSheet3);
  Label19 = new QLabel(QStringLiteral("Tickets:"), Panel2);
  Label19->move(0, 8);
  Label20 = new QLabel(QStringLiteral("0"), Panel2);
  Label20->setGeometry(48, 8, 80, Label19->sizeHint().height());
  drawSummaryLabel = new QLabel(Panel2);
  drawSummaryLabel->setGeometry(136, 8, 600, Label19->sizeHint().height());
  TabSheet3->installEventFilter(this);
}

void TForm1::setFormat(int format) {
  const std::optional<TicketFormat> chosen = ticketFormat(format);
  if (!chosen) return;
  separator = chosen->separator;
  zeropad = chosen->zeropad;
}

QStringList ticketTexts(const QTreeWidget& list) {
  QStringList tickets;
  tickets.reserve(list.topLevelItemCount());
  for (int i = 0; i < list.topLevelItemCount(); ++i) tickets << list.topLevelItem(i)->text(1);
  return tickets;
}
