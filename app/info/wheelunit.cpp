#include "info/wheelunit.h"

#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

QStringList wheelExplanation() {
  return {
      QStringLiteral("What is a Lottery Wheel?"),
      QString(),
      QStringLiteral("Lottery Wheel Systems are a method of playing lottery games, in which the player buys "
                     "several tickets, and arranges the numbers on the tickets in such a manner that they will "
                     "have a guaranteed winner if the drawing results fall within a certain range of numbers."),
      QString(),
      QStringLiteral("However it is dressed up, every wheel comes down to three key elements:"),
      QString(),
      QStringLiteral("   1."),
      QStringLiteral("      The minimum guarantee: how many numbers of at least one ticket are sure to match "
                     "the draw."),
      QStringLiteral("   2."),
      QStringLiteral("      How many of the drawn numbers must fall within your set of numbers for that "
                     "guarantee to hold."),
      QStringLiteral("   3."),
      QStringLiteral("      How many different numbers the wheel includes, that is, the size of your set."),
      QString(),
      QStringLiteral("Put together, the promise of a wheel reads:"),
      QString(),
      QStringLiteral("    * Guaranteed X-win if Y of the numbers drawn are in your set of Z numbers."),
      QString(),
      QStringLiteral("or, in the shorter nomenclature used throughout this program:"),
      QString(),
      QStringLiteral("    * X if Y of Z."),
      QString(),
      QStringLiteral("For example, a wheel written \"4 if 5 of 14\" spreads 14 numbers over its tickets so "
                     "that whenever 5 of the drawn numbers are among your 14, at least one ticket holds 4 of "
                     "them."),
      QString(),
      QStringLiteral("Wheel names may also carry the pick size of the lottery (how many numbers one ticket "
                     "holds) and a letter for the kind of wheel: F for a full wheel, A for an abbreviated "
                     "wheel and K for a key wheel."),
      QString(),
      QStringLiteral("The more numbers you wheel, the better the chance that the drawn numbers fall within "
                     "your set; the stronger the guarantee, the more tickets it takes."),
      QString(),
      QStringLiteral("The number of tickets grows quickly with the size of the set and the strength of the "
                     "guarantee. Decide first how much you are willing to spend, then choose the wheel "
                     "within that limit."),
      QString(),
      QStringLiteral("Keep in mind that \"guarantee\" does not mean a win every time: it holds only when "
                     "enough of the drawn numbers fall within your set."),
      QString(),
      QStringLiteral("There are three types of wheels:"),
      QString(),
      QStringLiteral("   1."),
      QStringLiteral("      Full wheels play every combination of your numbers. They win whatever falls "
                     "within the set, but even a modest set needs a great many tickets; players who filter "
                     "a full wheel down to fewer tickets give up its guarantee."),
      QStringLiteral("   2."),
      QStringLiteral("      Key wheels put one number, the key, on every ticket. Use one when you are "
                     "confident that the key will be drawn: it needs fewer tickets, and its guarantee "
                     "holds whenever the key is among the drawn numbers."),
      QStringLiteral("   3."),
      QStringLiteral("      Abbreviated wheels cover only part of the combinations, yet guarantee a minimum "
                     "win when enough drawn numbers fall within your set, with far fewer tickets than a "
                     "full wheel."),
      QString(),
      QStringLiteral("On page 3 Numerion offers the abbreviated and key wheels of its catalogue that fit "
                     "your lottery and the count of numbers you chose."),
      QString(),
      QStringLiteral("A wheel's tickets are stored as positions 1, 2, 3 and so on. Your numbers are laid over "
                     "those positions in the order you chose them, so the first number you choose is the "
                     "key of a key wheel."),
      QString(),
      QStringLiteral("Every wheel in the catalogue has been checked against its formula, so the guarantee "
                     "it states is one that really holds."),
      QString(),
      QStringLiteral("Why prefer abbreviated wheels to filters? A filter throws tickets away by rules such "
                     "as counts of odd and even numbers or sums, and whatever it removes may be the winning "
                     "combination. An abbreviated wheel also cuts the number of tickets, but it keeps a "
                     "guarantee: you know in advance the least you will win when your numbers come up."),
  };
}

Twheelform::Twheelform(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("wheelForm"));
  setModal(true);
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  resize(870, 500);
  if (const QScreen* screen = this->screen())
    move(screen->availableGeometry().center() - rect().center());

  Memo1 = new QPlainTextEdit(this);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setPlainText(wheelExplanation().join(QLatin1Char('\n')));

  Panel1 = new QFrame(this);
  Panel1->setFixedHeight(64);
  Button1 = new QPushButton(QStringLiteral("&Ok"), Panel1);
  Button1->setGeometry(368, 16, 137, 33);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Memo1, 1);
  layout->addWidget(Panel1);
}
