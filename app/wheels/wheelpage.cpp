// Page 3 of the main window: the wheel family tabs with their formula combos
// and "No Tickets" panels, the key display, and the fixed texts about wheels.
// The combos are filled from the wheel survey when "Next >>" leaves page 2.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextDocument>
#include <algorithm>

#include "Unit1.h"
#include "globalunit.h"
#include "output/formats.h"
#include "platform/controls.h"
#include "platform/desktop.h"
#include "platform/guard.h"
#include "wheels/wheelcatalogue.h"
#include "wheels/wheelentry.h"
#include "wheels/wheelpage.h"

QStringList wheelIntroLines() {
  return {
      QStringLiteral("Lottery Wheel Systems are a method of playing lottery games, in which the player buys "),
      QStringLiteral("several tickets, and arranges the numbers on the tickets in such a manner that they will have "),
      QStringLiteral("a guaranteed winner if the drawing results fall within a certain range of numbers."),
  };
}

QStringList abbreviatedWheelLines() {
  return {
      QStringLiteral("Does not cover all possible combinations, but guarantees at least one winning "),
      QStringLiteral("ticket if a certain amount of numbers drawn fall within your wheeled number set.  "),
      QStringLiteral("An abbreviated wheel strikes a balance between covering a wide range of numbers "),
      QStringLiteral("and keeping the cost of play within a reasonable budget: it plays many numbers "),
      QStringLiteral("on far fewer tickets than a full wheel of the same numbers would need.  "),
      QStringLiteral("Before you choose one, look at the criteria of its guarantee (how many of the "),
      QStringLiteral("drawn numbers must fall within your set, and how many of them one ticket is sure "),
      QStringLiteral("to hold) and at the number of tickets you will have to buy.  "),
      QStringLiteral("Abbreviated wheels are the most sought-after kind of wheel among lottery "),
      QStringLiteral("players."),
  };
}

QStringList keyWheelLines() {
  return {
      QStringLiteral("Works like an Abbreviated Wheel, except that each ticket will contain "),
      QStringLiteral("your key number.  Use a key wheel if you're sure that a certain number will definitely "),
      QStringLiteral("appear in the results, and you want the benefits of mathematically-reduced "),
      QStringLiteral("Abbreviated Wheel."),
  };
}

namespace {

// A read-only memo showing `lines` as they are, one per line. Where the
// desktop's substitute for the window font is wider than the one the page
// was laid out for, the memo's font steps down (to 6 points at the least)
// until every line fits without wrapping or scrolling.
QPlainTextEdit* fixedMemo(QWidget* parent, const QStringList& lines, const QRect& place) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setGeometry(place);
  memo->setPlainText(lines.join(QLatin1Char('\n')));
  const int frame = 2 * memo->frameWidth();
  const qreal margin = 2 * memo->document()->documentMargin();
  QFont font = memo->font();
  for (qreal size = font.pointSizeF(); size >= 6; size -= 0.5) {
    font.setPointSizeF(size);
    const QFontMetricsF metrics(font);
    qreal widest = 0;
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    const qreal height = static_cast<qreal>(lines.size()) * metrics.lineSpacing();
    if (widest + margin + frame + 4 <= place.width() && height + margin + frame <= place.height()) break;
  }
  memo->setFont(font);
  return memo;
}

// A "No Tickets" panel: hidden at start, drawn over the formula label and
// combo that it covers.
QLabel* noTicketsPanel(QWidget* parent, const QRect& place) {
  auto* panel = new QLabel(QStringLiteral("No Tickets"), parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(2);
  panel->setAlignment(Qt::AlignCenter);
  panel->setAutoFillBackground(true);
  panel->setGeometry(place);
  panel->hide();
  return panel;
}

QComboBox* formulaCombo(QWidget* parent, int left, int top) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->move(left, top);
  combo->resize(129, combo->sizeHint().height());
  return combo;
}

TClickLabel* paysLink(QWidget* parent, int left, int top) {
  auto* link = new TClickLabel(QStringLiteral("What it pays..."), parent);
  styleAsLink(link);
  link->setToolTip(QStringLiteral("The win table of the chosen wheel for your numbers, and its chances per draw"));
  link->adjustSize();
  link->move(left, top);
  return link;
}

}  // namespace

void TForm1::createWheelPage() {
  Label12 = new QLabel(QStringLiteral("Wheels"), TabSheet5);
  QFont bold = Label12->font();
  bold.setBold(true);
  Label12->setFont(bold);
  Label12->move(64, 16);
  Label11 = new TClickLabel(QStringLiteral("More Info"), TabSheet5);
  styleAsLink(Label11);
  Label11->move(64, 40);
  connect(Label11, &TClickLabel::clicked, this, guardedSlot(this, &TForm1::Label11Click));
  Memo1 = fixedMemo(TabSheet5, wheelIntroLines(), QRect(160, 8, 505, 57));
  Panel10 = new QFrame(TabSheet5);
  Panel10->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  Panel10->setGeometry(64, 70, 601, 2);

  PageControl2 = new QTabWidget(TabSheet5);
  PageControl2->setGeometry(64, 80, 601, 233);
  TabSheet2 = new QWidget;
  TabSheet6 = new QWidget;
  PageControl2->addTab(TabSheet2, QStringLiteral("Abraviation Wheels"));
  PageControl2->addTab(TabSheet6, QStringLiteral("Key Wheels"));

  // Abbreviated wheels.
  Memo2 = fixedMemo(TabSheet2, abbreviatedWheelLines(), QRect(16, 8, 561, 137));
  Label13 = new QLabel(QStringLiteral("Formula"), TabSheet2);
  Label13->adjustSize();
  Label13->move(40, 164);
  ComboBox2 = formulaCombo(TabSheet2, 96, 160);
  Panel12 = noTicketsPanel(TabSheet2, QRect(24, 152, 225, 41));

  // Key wheels: the key is the first chosen number.
  Memo3 = fixedMemo(TabSheet6, keyWheelLines(), QRect(16, 8, 561, 65));
  Label16 = new QLabel(QStringLiteral("Your Key is:"), TabSheet6);
  Label16->adjustSize();
  Label16->move(16, 88);
  Panel13 = new QLabel(TabSheet6);
  Panel13->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel13->setAlignment(Qt::AlignCenter);
  Panel13->setFont(bold);
  Panel13->setGeometry(88, 80, 81, 33);
  Label14 = new QLabel(QStringLiteral("Formula"), TabSheet6);
  Label14->adjustSize();
  Label14->move(32, 140);
  ComboBox3 = formulaCombo(TabSheet6, 88, 136);
  Panel11 = noTicketsPanel(TabSheet6, QRect(24, 128, 225, 41));

  // What the chosen entry of each tab pays, beside its combo.
  abbreviatedPaysLink = paysLink(TabSheet2, 260, 164);
  keyPaysLink = paysLink(TabSheet6, 260, 140);
  connect(abbreviatedPaysLink, &TClickLabel::clicked, this, [this] { guarded(this, [this] { showWinTable(false); }); });
  connect(keyPaysLink, &TClickLabel::clicked, this, [this] { guarded(this, [this] { showWinTable(true); }); });

  // The raw patterns of the last build; never shown.
  Memo4 = new QPlainTextEdit(TabSheet5);
  Memo4->hide();

  // Only the user's own picks and edits count as a change.
  connect(ComboBox2, &QComboBox::activated, this, guardedSlot(this, &TForm1::ComboBox2Change));
  connect(ComboBox2->lineEdit(), &QLineEdit::textEdited, this, guardedSlot(this, &TForm1::ComboBox2Change));
  connect(ComboBox3, &QComboBox::activated, this, guardedSlot(this, &TForm1::ComboBox3Change));
  connect(ComboBox3->lineEdit(), &QLineEdit::textEdited, this, guardedSlot(this, &TForm1::ComboBox3Change));
}

void TForm1::fillWheelLists() {
  const auto query = [this](const QString& type) {
    if (wheelCatalogue == nullptr) return;
    for (const WheelSurveyRow& row : wheelCatalogue->surveyEntries(wizardstate.pick, type, wizardstate.zoption))
      addWheelEntry(QString::number(row.pick), row.wheeltype, row.xyoption, QString::number(row.zoption),
                    QString::number(row.ticket));
  };
  query(QStringLiteral("a"));
  if (ComboBox2->count() > 0) {
    ComboBox2->setCurrentIndex(0);
    Panel12->hide();
  } else {
    Panel12->show();
  }
  query(QStringLiteral("k"));
  if (ComboBox3->count() > 0 && !trimText(Panel13->text()).isEmpty()) {
    ComboBox3->setCurrentIndex(0);
    Panel11->hide();
  } else {
    Panel11->show();
  }
  explainMissingWheels();
}

void TForm1::explainMissingWheels() {
  Panel12->setToolTip(QString());
  Panel11->setToolTip(QString());
  if (Panel12->isHidden() && Panel11->isHidden()) return;
  const int widest = wheelCatalogue != nullptr ? wheelCatalogue->widestWheel(wizardstate.pick) : 0;
  const int chosen = wizardstate.zoption;
  QString beyond;
  if (widest > 0 && chosen > widest)
    beyond = QStringLiteral("The catalogue's wheels spread at most %1 numbers, and you have chosen %2. Go back "
                            "with \"<< Previous\" and take back %3 to get wheels to choose from.")
                 .arg(widest)
                 .arg(chosen)
                 .arg(chosen - widest == 1 ? QStringLiteral("1 number") : QStringLiteral("%1 numbers").arg(chosen - widest));
  const auto reason = [&](const QString& kind) {
    if (!beyond.isEmpty()) return beyond;
    if (widest == 0)
      return QStringLiteral("The catalogue holds no wheels for %1 numbers per ticket.").arg(wizardstate.pick);
    return QStringLiteral("The catalogue holds no %1 wheel for %2 numbers per ticket and %3 chosen numbers.")
        .arg(kind)
        .arg(wizardstate.pick)
        .arg(chosen);
  };
  if (!Panel12->isHidden()) Panel12->setToolTip(reason(QStringLiteral("abbreviated")));
  if (!Panel11->isHidden()) Panel11->setToolTip(reason(QStringLiteral("key")));
  // Nothing at all to build, and no other wheel would help: say so on arrival
  // rather than only when "Build Ticket >>" finds nothing.
  if (!beyond.isEmpty() && !Panel12->isHidden() && !Panel11->isHidden()) desktop().messageBox(this, beyond);
}

void TForm1::addWheelEntry(const QString& /*pick*/, const QString& wheeltype, const QString& formula,
                           const QString& /*numbers*/, const QString& tickets) {
  QComboBox* combo = wheeltype == QLatin1String("a") ? ComboBox2 : ComboBox3;
  combo->addItem(wheelEntryText(formula, tickets));
  combo->update();
}

void TForm1::ComboBox2Change() { wizardstate.xyoption = formulaOf(ComboBox2->currentText()); }

void TForm1::ComboBox3Change() { wizardstate.xyoption = formulaOf(ComboBox3->currentText()); }
