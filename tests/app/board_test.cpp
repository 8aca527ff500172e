// Page 2 driven through the real window: building the board for the chosen
// lottery, choosing, taking back, clearing, sorting the display, and the gate
// of "Next >>".
#include <QFrame>
#include <random>

#include "numbers/numberUnit.h"
#include "platform/pagecontrol.h"
#include "wizardfixture.h"

namespace {

using Board = WizardFixture;

TEST_F(Board, NextBuildsTheBoardOfTheChosenLottery) {
  confirmLottery(0);
  ASSERT_EQ(page(), 1);
  EXPECT_EQ(form.Panel8->text(), "Utopia:Lotto");
  EXPECT_TRUE(boardbuilt);
  EXPECT_EQ(numbercount, 49);
  EXPECT_EQ(wizardstate.pick, 6);
  EXPECT_FALSE(form.Panel5->isHidden());
  EXPECT_EQ(form.Panel5->findChildren<QToolButton*>().size(), 49);
  EXPECT_EQ(numberbuttons[1]->text(), "01");
  EXPECT_EQ(numberbuttons[49]->text(), "49");
  EXPECT_EQ(numberbuttons[50], nullptr);
  EXPECT_EQ(numberbuttons[7]->size(), QSize(40, 30));
  EXPECT_TRUE(selectionIsConsistent());

  form.Panel5->resize(719, 290);
  EXPECT_EQ(numberbuttons[1]->pos(), QPoint(144, 62));
  EXPECT_EQ(numberbuttons[49]->pos(), QPoint(488, 194));

  // Another lottery replaces every button.
  choose(5);
  click(form.SpeedButtonprevious);
  confirmLottery(1);
  EXPECT_EQ(form.Panel5->findChildren<QToolButton*>().size(), 6);
  EXPECT_EQ(buttoncount, 49);
  EXPECT_EQ(numbercount, 6);
  EXPECT_EQ(numberbuttons[7], nullptr);
  EXPECT_TRUE(form.selection.nosortlistbox.isEmpty());
  EXPECT_TRUE(selectionIsConsistent());
  form.Panel5->resize(719, 290);
  EXPECT_EQ(numberbuttons[1]->pos(), QPoint(230, 128));
}

TEST_F(Board, ComingBackWithTheSameLotteryKeepsTheChoice) {
  confirmLottery(0);
  choose(12);
  choose(4);
  click(form.SpeedButtonprevious);
  click(form.SpeedButtonnext);
  EXPECT_EQ(page(), 1);
  EXPECT_EQ(form.selection.nosortlistbox, (QStringList{"12", "04"}));
  EXPECT_TRUE(isChosen(12));
  EXPECT_TRUE(selectionIsConsistent());
}

TEST_F(Board, ChoosingShowsTheOrderOrTheSortedList) {
  confirmLottery(0);
  for (int n : {17, 3, 42}) choose(n);
  EXPECT_EQ(form.selection.nosortlistbox, (QStringList{"17", "03", "42"}));
  EXPECT_EQ(form.selection.sortlistbox, (QStringList{"03", "17", "42"}));
  EXPECT_EQ(form.Edit1->text(), "17 03 42 ");
  EXPECT_EQ(form.Label22->text(), "3");
  // The count stands clear of its caption whatever font the desktop gives.
  EXPECT_GE(form.Label22->x(), 296);
  EXPECT_GT(form.Label22->x(), form.Label21->geometry().right());
  EXPECT_EQ(form.Label21->width(), form.Label21->sizeHint().width());
  EXPECT_EQ(form.Panel13->text(), "17");
  EXPECT_EQ(wizardstate.zoption, 3);
  EXPECT_TRUE(isChosen(17));
  click(form.CheckBox1);
  EXPECT_EQ(form.Edit1->text(), "03 17 42 ");
  click(form.CheckBox1);
  EXPECT_EQ(form.Edit1->text(), "17 03 42 ");
  // A chosen number cannot be clicked again.
  choose(17);
  EXPECT_EQ(form.selection.nosortlistbox.size(), 3);
  EXPECT_TRUE(selectionIsConsistent());

  click(form.Button5);  // Backspace takes back 42
  EXPECT_EQ(form.selection.nosortlistbox, (QStringList{"17", "03"}));
  EXPECT_TRUE(isFree(42));
  const auto at = form.selection.randomListBox.indexOf("42");
  EXPECT_EQ(form.selection.randomListBox.mid(at - 1, 3), (QStringList{"41", "42", "43"}));
  EXPECT_EQ(form.Label22->text(), "2");
  EXPECT_EQ(wizardstate.zoption, 2);
  EXPECT_TRUE(selectionIsConsistent());

  choose(42);  // like a first choice of 42
  EXPECT_EQ(form.selection.nosortlistbox, (QStringList{"17", "03", "42"}));
  EXPECT_EQ(form.Edit1->text(), "17 03 42 ");
  EXPECT_TRUE(selectionIsConsistent());
}

TEST_F(Board, BackspaceWithOneNumberAndClearEmptyEverything) {
  confirmLottery(0);
  choose(9);
  EXPECT_EQ(form.Edit1->text(), "09 ");
  click(form.Button5);
  EXPECT_TRUE(form.selection.nosortlistbox.isEmpty());
  EXPECT_EQ(form.Label22->text(), "0");
  EXPECT_EQ(form.Edit1->text(), "");
  EXPECT_EQ(form.Panel13->text(), "09") << "the key display keeps its caption";
  EXPECT_TRUE(selectionIsConsistent());
  click(form.Button5);  // nothing chosen: simply clears
  EXPECT_TRUE(selectionIsConsistent());

  for (int n : {1, 49, 25}) choose(n);
  click(form.Button4);
  EXPECT_EQ(wizardstate.zoption, 0);
  EXPECT_EQ(form.selection.randomListBox.size(), 49);
  EXPECT_TRUE(selectionIsConsistent());
}

TEST_F(Board, PoolAfterChoosingTheEnds) {
  confirmLottery(0);
  choose(1);
  choose(49);
  EXPECT_EQ(form.selection.randomListBox.front(), "2");
  EXPECT_EQ(form.selection.randomListBox.back(), "48");
  EXPECT_EQ(form.selection.randomListBox.size(), 47);
}

TEST_F(Board, TypingIntoTheDisplayChoosesNothing) {
  confirmLottery(0);
  choose(5);
  QTest::keyClicks(form.Edit1, "abc");
  EXPECT_EQ(form.Edit1->text(), "05 ");
  EXPECT_EQ(form.selection.nosortlistbox, QStringList{"05"});
}

TEST_F(Board, NextOnPageTwoNeedsOneNumberMoreThanATicket) {
  confirmLottery(0);
  click(form.SpeedButtonnext);
  EXPECT_EQ(desktop.messages.last(), "You should choose 7 more numbers.");
  for (int n : {1, 2, 3, 4}) choose(n);
  click(form.SpeedButtonnext);
  EXPECT_EQ(desktop.messages.last(), "You should choose 3 more numbers.");
  choose(5);
  choose(6);
  click(form.SpeedButtonnext);
  EXPECT_EQ(desktop.messages.last(), "You should choose 1 more numbers.");
  EXPECT_EQ(page(), 1);
  choose(7);
  const auto shown = desktop.messages.size();
  click(form.SpeedButtonnext);
  EXPECT_EQ(desktop.messages.size(), shown);
  EXPECT_EQ(page(), 2);
  EXPECT_EQ(wizardstate.wheeltype, "a");
  EXPECT_EQ(wizardstate.zoption, 7);
  EXPECT_FALSE(pagechangeallowed);

  // Back on page 2 the choice is intact; leaving with the key tab active.
  click(form.SpeedButtonprevious);
  EXPECT_EQ(form.selection.nosortlistbox.size(), 7);
  form.PageControl2->setCurrentIndex(1);
  click(form.SpeedButtonnext);
  EXPECT_EQ(wizardstate.wheeltype, "k");
}

TEST_F(Board, LotteriesBeyondTheBoardAreRefused) {
  form.addLotteryRow("Huge", "120", "6");
  form.addLotteryRow("Empty", "0", "1");
  confirmLottery(0);
  choose(8);
  click(form.SpeedButtonprevious);
  for (int row : {3, 4}) {
    confirmLottery(row);
    EXPECT_EQ(page(), 0);
    EXPECT_TRUE(desktop.messages.last().contains("1 to 100")) << desktop.messages.last().toStdString();
    EXPECT_EQ(numbercount, 49);
    EXPECT_EQ(wizardstate.pick, 6);
    EXPECT_EQ(form.Panel5->findChildren<QToolButton*>().size(), 49);
    EXPECT_EQ(form.selection.nosortlistbox, QStringList{"08"});
    EXPECT_TRUE(selectionIsConsistent());
  }
  form.addLotteryRow("Hundred", "100", "6");
  confirmLottery(5);
  EXPECT_EQ(page(), 1);
  EXPECT_EQ(numberbuttons[100]->text(), "100");
  choose(100);
  EXPECT_EQ(form.selection.randomListBox.size(), 99);
  EXPECT_TRUE(selectionIsConsistent());
}

TEST_F(Board, ListsStayConsistentUnderLongRandomUse) {
  confirmLottery(2);  // 40 numbers, pick 5
  std::mt19937 rng(20261208);
  desktop.onModal = [&](QDialog& dialog) {
    auto& pickForm = static_cast<TnumberForm&>(dialog);
    const PickBounds bounds = pickBounds(pickForm.chosencount, pickForm.boardcount, pickForm.pickcount);
    if (bounds.maximum < bounds.minimum || rng() % 4 == 0) return int(QDialog::Rejected);
    pickForm.requestedcount = bounds.minimum + int(rng() % (bounds.maximum - bounds.minimum + 1));
    return int(QDialog::Accepted);
  };
  for (int step = 0; step < 400; ++step) {
    const unsigned action = rng() % 20;
    if (action < 12) {
      const int number = 1 + int(rng() % 40);
      choose(number);  // a chosen button ignores the click
    } else if (action < 16) {
      click(form.Button5);
    } else if (action < 17) {
      click(form.Button4);
    } else if (action < 19) {
      click(form.Button2);
    } else {
      click(form.CheckBox1);
    }
    ASSERT_TRUE(selectionIsConsistent()) << "after step " << step << " action " << action;
  }
  EXPECT_TRUE(desktop.errors.isEmpty());
}

}  // namespace
