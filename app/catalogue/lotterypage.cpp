// Page 1 of the wizard, "1. Select Lottery": the country combo with its
// flags, the lottery list of the chosen country, and the button that opens
// the new lottery dialog.
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <exception>

#include "Unit1.h"
#include "catalogue/catalogue.h"
#include "catalogue/flags.h"
#include "catalogue/newlottounit.h"
#include "output/formats.h"
#include "platform/controls.h"
#include "platform/desktop.h"
#include "platform/guard.h"
#include "tomedb/TomeDB.h"

namespace {

QString fieldText(TTomeTable* table, const char* field) {
  return QString::fromStdString(table->FieldByName(field).AsString());
}

}  // namespace

void TForm1::createLotteryPage() {
  Panel3 = new QFrame(TabSheet4);
  Panel3->setGeometry(0, 0, TabSheet4->width(), 97);
  Label1 = new QLabel(QStringLiteral("Country :"), Panel3);
  Label1->move(24, 24);

  ImageList1 = flagPictures();
  ComboBoxEx1 = new QComboBox(Panel3);
  ComboBoxEx1->setEditable(true);
  // The typed text is the query, exactly as typed: no completion, and Enter
  // adds no entry.
  ComboBoxEx1->setCompleter(nullptr);
  ComboBoxEx1->setInsertPolicy(QComboBox::NoInsert);
  ComboBoxEx1->setGeometry(88, 16, 273, 38);
  ComboBoxEx1->setMaxVisibleItems(8);
  ComboBoxEx1->setIconSize(QSize(32, 32));
  QFont comboFont(QStringLiteral("MS Sans Serif"));
  comboFont.setPixelSize(19);
  ComboBoxEx1->setFont(comboFont);
  // The text stays empty until fillCountries gives it the first country, so a
  // catalogue that cannot be opened leaves the combo empty.

  connect(ComboBoxEx1, &QComboBox::editTextChanged, this, guardedSlot(this, &TForm1::ComboBoxEx1Change));

  SpeedButton2 = makeSpeedButton(Panel3, QStringLiteral("&Create New Lottery"), 368, 16, 169, 36);
  connect(SpeedButton2, &QToolButton::clicked, this, guardedSlot(this, &TForm1::SpeedButton2Click));

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, guardedSlot(this, &TForm1::Timer1Timer));

  ListView3 = new QTreeWidget(TabSheet4);
  ListView3->setRootIsDecorated(false);
  ListView3->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView3->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView3->setHeaderLabels({QStringLiteral("Lottery Name"), QStringLiteral("From"), QStringLiteral("Match")});
  ListView3->setColumnWidth(0, 150);
  ListView3->setColumnWidth(1, 150);
  // Grid lines. An item rule of a style sheet takes over the painting of the
  // selection as well, so the selected row states its colours; they are the
  // same with and without the focus, so the selection stays visible.
  const QPalette palette = ListView3->palette();
  ListView3->setStyleSheet(
      QStringLiteral("QTreeView::item { border-right: 1px solid #d0d0d0; border-bottom: 1px solid #d0d0d0; }"
                     "QTreeView::item:selected { background: %1; color: %2; }")
          .arg(palette.color(QPalette::Active, QPalette::Highlight).name(),
               palette.color(QPalette::Active, QPalette::HighlightedText).name()));
  QFont listFont(QStringLiteral("MS Sans Serif"));
  listFont.setPixelSize(13);
  ListView3->setFont(listFont);
  connect(ListView3, &QTreeWidget::itemSelectionChanged, this,
          guardedSlot(this, &TForm1::ListView3SelectItem));
  TabSheet4->installEventFilter(this);
}

void TForm1::fillCountries() {
  // Filling is the program's doing, not a change by the user.
  const QSignalBlocker blocker(ComboBoxEx1);
  ComboBoxEx1->clear();
  TomeTable1->First();
  const int count = TomeTable1->RecordCount();
  for (int i = 0; i < count; ++i) {
    const QIcon flag = i < ImageList1.size() ? QIcon(ImageList1[i]) : QIcon();
    ComboBoxEx1->addItem(flag, fieldText(TomeTable1, "country"));
    TomeTable1->Next();
  }
  // The first country's text at once, with no entry selected yet; its flag
  // follows when Timer1 selects the entry.
  ComboBoxEx1->setCurrentIndex(-1);
  ComboBoxEx1->setEditText(count > 0 ? ComboBoxEx1->itemText(0) : QString());
  ComboBoxEx1->repaint();
  Timer1->start();
}

void TForm1::Timer1Timer() {
  Timer1->stop();
  // Only while the combo still shows the first country: a country the user
  // has typed or chosen meanwhile stays.
  if (ComboBoxEx1->count() == 0 || ComboBoxEx1->currentText() != ComboBoxEx1->itemText(0)) return;
  const QSignalBlocker blocker(ComboBoxEx1);
  ComboBoxEx1->setCurrentIndex(0);
}

void TForm1::fillLotteries(const QString& country) {
  ListView3->clear();
  // Without a catalogue there is nothing to list; the failure to open it was
  // reported at start-up.
  if (!TomeTable2->Active()) return;
  const QString wanted = trimText(country);
  TomeTable2->SetFilter(lotteriesOfCountryFilter(country).toStdString());
  for (bool found = TomeTable2->FindFirst(); found; found = TomeTable2->FindNext()) {
    // The filter compares through the locale's collation and reads "*" as a
    // wildcard; the list holds the lotteries of exactly the country asked for.
    if (fieldText(TomeTable2, "country") != wanted) continue;
    addLotteryRow(fieldText(TomeTable2, "lotteryname"),
                  QString::number(TomeTable2->FieldByName("from").AsInteger()),
                  QString::number(TomeTable2->FieldByName("match").AsInteger()));
  }
}

void TForm1::addLotteryRow(const QString& name, const QString& from, const QString& match) {
  new QTreeWidgetItem(ListView3, {name, from, match});
}

void TForm1::ComboBoxEx1Change() {
  showTypedCountryFlag();
  try {
    fillLotteries(ComboBoxEx1->currentText());
  } catch (...) {
    // A text being typed may name no country yet; the list keeps the rows it
    // has so far and nothing is shown.
  }
}

void TForm1::showTypedCountryFlag() {
  // The combo draws the picture of its current entry beside the text: a
  // typed text makes the entry of the country it names current (blanks
  // around it allowed, letter case as the list compares), or none.
  const int named = ComboBoxEx1->findText(trimText(ComboBoxEx1->currentText()),
                                          Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (named == ComboBoxEx1->currentIndex()) return;
  // Changing the current entry rewrites the text: keep it as typed.
  QLineEdit* edit = ComboBoxEx1->lineEdit();
  const QString typed = edit->text();
  const int cursor = edit->cursorPosition();
  const QSignalBlocker blocker(ComboBoxEx1);
  ComboBoxEx1->setCurrentIndex(named);
  if (edit->text() != typed) edit->setText(typed);
  edit->setCursorPosition(cursor);
}

void TForm1::ListView3SelectItem() { lotterychanged = true; }

void TForm1::SpeedButton2Click() {
  Tnewlottoform form(this);
  desktop().runModal(form);
}
