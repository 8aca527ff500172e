#include "catalogue/newlottounit.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "Unit1.h"
#include "catalogue/catalogue.h"
#include "catalogue/flags.h"
#include "output/formats.h"
#include "platform/desktop.h"
#include "platform/guard.h"
#include "tomedb/TomeDB.h"

namespace {

QLabel* makeLabel(QWidget* parent, const QString& caption, int left, int top) {
  auto* label = new QLabel(caption, parent);
  label->adjustSize();
  label->move(left, top);
  return label;
}

// A combo box that takes typed text as well as a choice, exactly as typed.
QComboBox* makeEditableCombo(QWidget* parent, const QStringList& choices, const QString& initial, int left,
                             int top, int width) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(true);
  combo->setCompleter(nullptr);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->addItems(choices);
  combo->setCurrentIndex(int(choices.indexOf(initial)));
  combo->setEditText(initial);
  combo->move(left, top);
  combo->resize(width, combo->sizeHint().height());
  return combo;
}

QPushButton* makeButton(QWidget* parent, const QString& caption, int left, int top) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(left, top, 113, 41);
  // No default button: Enter does not press either.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace

Tnewlottoform::Tnewlottoform(TForm1* owner) : QDialog(owner), owner_(owner) {
  setWindowTitle(QStringLiteral("New Lotto"));
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  setFixedSize(501, 320);
  setModal(true);
  if (const QScreen* screen = owner ? owner->screen() : this->screen())
    move(screen->availableGeometry().center() - rect().center());

  QStringList froms;
  for (int k = 10; k <= 80; ++k) froms << QString::number(k);

  Label5 = makeLabel(this, QStringLiteral("Country"), 40, 24);
  ComboBox4 = makeEditableCombo(this, flagCountries(), QStringLiteral("United States"), 136, 24, 169);
  Label1 = makeLabel(this, QStringLiteral("Lottery Name"), 40, 72);
  Edit1 = new QLineEdit(this);
  Edit1->move(136, 72);
  Edit1->resize(305, Edit1->sizeHint().height());
  Label2 = makeLabel(this, QStringLiteral("From"), 40, 112);
  ComboBox1 = makeEditableCombo(this, froms, QStringLiteral("40"), 136, 112, 169);
  Label3 = makeLabel(this, QStringLiteral("Match"), 40, 152);
  ComboBox2 = makeEditableCombo(this, {QStringLiteral("5"), QStringLiteral("6")}, QStringLiteral("5"), 136, 152,
                                169);
  Panel1 = new QFrame(this);
  Panel1->setFrameShape(QFrame::HLine);
  Panel1->setFrameShadow(QFrame::Sunken);
  Panel1->setGeometry(40, 208, 433, 2);
  Button1 = makeButton(this, QStringLiteral("&Ok"), 232, 248);
  Button2 = makeButton(this, QStringLiteral("&Cancel"), 360, 248);
  connect(Button1, &QPushButton::clicked, this, guardedSlot(this, &Tnewlottoform::Button1Click));
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

  // The name first; the country last.
  setTabOrder(Edit1, ComboBox1);
  setTabOrder(ComboBox1, ComboBox2);
  setTabOrder(ComboBox2, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, ComboBox4);
  Edit1->setFocus();
}

bool Tnewlottoform::lotteryExists(const QString& country, const QString& name) {
  TTomeTable* lottery = owner_->TomeTable2;
  lottery->SetFilter(lotteryExistsFilter(country, name).toStdString());
  for (bool found = lottery->FindFirst(); found; found = lottery->FindNext()) {
    // The filter compares through the locale's collation and reads "*" as a
    // wildcard; a duplicate is the very same country and name.
    if (QString::fromStdString(lottery->FieldByName("country").AsString()) == country &&
        QString::fromStdString(lottery->FieldByName("lotteryname").AsString()) == name)
      return true;
  }
  return false;
}

void Tnewlottoform::Button1Click() {
  TTomeTable* lottery = owner_->TomeTable2;
  if (!lottery->Active()) {
    desktop().messageBox(this, QStringLiteral("The catalogue %1 could not be opened, so no lottery can be added.")
                                   .arg(QLatin1String(catalogue::kFileName)));
    return;
  }
  NewLottery entry;
  // Page 1 lists a country's lotteries by the trimmed text, so blanks around
  // a typed country or name would store a lottery that is never listed, or a
  // look-alike of one that is: both are stored trimmed.
  entry.country = trimText(ComboBox4->currentText());
  entry.name = trimText(Edit1->text());
  if (lotteryExists(entry.country, entry.name)) {
    desktop().messageBox(this, QStringLiteral("Duplicated lottery name!"));
    return;
  }
  // Both numbers are read and checked before anything is stored.
  entry.from = integerValue(ComboBox1->currentText());
  entry.match = integerValue(ComboBox2->currentText());
  const QString problem = newLotteryProblem(entry, lottery->FieldByName("country").Size(),
                                            lottery->FieldByName("lotteryname").Size());
  if (!problem.isEmpty()) {
    desktop().messageBox(this, problem);
    return;
  }
  // An installed program's catalogue is read-only: the user's own copy takes
  // the lottery (and every read from now on).
  owner_->prepareCatalogueForWriting();
  lottery->AppendRecord(lotteryRecord(entry));
  // The user's lottery is on the disk before the dialog closes.
  owner_->TomeDatabase1->FileIO()->Flush();
  accept();
}
