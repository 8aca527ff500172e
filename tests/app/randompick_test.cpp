// "Randomize": the dialog's bounds and its opening value, typing into its
// field, cancelling, and the numbers drawn into the choice.
#include <QSpinBox>
#include <QTimer>
#include <set>

#include "numbers/numberUnit.h"
#include "wizardfixture.h"

namespace {

struct DialogSeen {
  int minimum = -1;
  int maximum = -1;
  int value = -1;
  QString caption;
};

class RandomPick : public WizardFixture {
 protected:
  DialogSeen seen;

  // Runs the dialog as the user would: shown, its timer fired, then `act`.
  void answerWith(std::function<void(TnumberForm&)> act) {
    desktop.onModal = [this, act](QDialog& dialog) {
      auto& pickForm = static_cast<TnumberForm&>(dialog);
      dialog.show();
      EXPECT_TRUE(QTest::qWaitFor([&] { return !pickForm.Timer1->isActive(); }, 2000));
      seen = {pickForm.SpinEdit1->minimum(), pickForm.SpinEdit1->maximum(), pickForm.SpinEdit1->value(),
              dialog.windowTitle()};
      act(pickForm);
      return dialog.result();
    };
  }
  void accept(TnumberForm& pickForm) { QTest::mouseClick(pickForm.Button1, Qt::LeftButton); }
};

TEST_F(RandomPick, OpensAtTheMinimumAndAddsDistinctNumbers) {
  confirmLottery(0);
  answerWith([this](TnumberForm& f) { accept(f); });
  click(form.Button2);
  EXPECT_EQ(desktop.dialogs, QStringList{"TnumberForm"});
  EXPECT_EQ(seen.caption, "Select the number");
  EXPECT_EQ(seen.minimum, 7);
  EXPECT_EQ(seen.maximum, 49);
  EXPECT_EQ(seen.value, 7);
  EXPECT_EQ(form.selection.nosortlistbox.size(), 7);
  EXPECT_EQ(form.Label22->text(), "7");
  const QStringList chosen = form.selection.nosortlistbox;
  EXPECT_EQ(std::set<QString>(chosen.begin(), chosen.end()).size(), 7u);
  EXPECT_TRUE(selectionIsConsistent());
  click(form.SpeedButtonnext);
  EXPECT_EQ(page(), 2);
  EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(RandomPick, DrawsFollowTheHandChosenNumbers) {
  confirmLottery(0);
  for (int n : {30, 2, 44, 17}) choose(n);
  answerWith([this](TnumberForm& f) { accept(f); });
  click(form.Button2);
  EXPECT_EQ(seen.minimum, 3);
  EXPECT_EQ(seen.maximum, 45);
  EXPECT_EQ(seen.value, 3);
  ASSERT_EQ(form.selection.nosortlistbox.size(), 7);
  EXPECT_EQ(form.selection.nosortlistbox.mid(0, 4), (QStringList{"30", "02", "44", "17"}));
  EXPECT_EQ(form.Panel13->text(), "30");
  EXPECT_TRUE(selectionIsConsistent());
}

TEST_F(RandomPick, BoundsNearTheEndOfThePool) {
  confirmLottery(0);
  for (int n = 1; n <= 10; ++n) choose(n);
  answerWith([](TnumberForm& f) { QTest::mouseClick(f.Button2, Qt::LeftButton); });
  click(form.Button2);
  EXPECT_EQ(seen.minimum, 1);
  EXPECT_EQ(seen.maximum, 39);

  for (int n = 11; n <= 48; ++n) choose(n);
  click(form.Button2);
  EXPECT_EQ(seen.minimum, 1);
  EXPECT_EQ(seen.maximum, 1);
  EXPECT_EQ(form.selection.nosortlistbox.size(), 48);

  answerWith([this](TnumberForm& f) { accept(f); });
  click(form.Button2);
  EXPECT_EQ(form.selection.nosortlistbox.last(), "49");
  EXPECT_TRUE(form.selection.randomListBox.isEmpty());

  // Every number chosen: the field holds 0 and the press changes nothing.
  click(form.Button2);
  EXPECT_EQ(seen.minimum, 0);
  EXPECT_EQ(seen.maximum, 0);
  EXPECT_EQ(seen.value, 0);
  EXPECT_EQ(form.selection.nosortlistbox.size(), 49);
  EXPECT_TRUE(selectionIsConsistent());
  EXPECT_TRUE(desktop.errors.isEmpty());
}

TEST_F(RandomPick, AskingForEveryFreeNumberFillsTheBoard) {
  confirmLottery(0);
  choose(20);
  answerWith([this](TnumberForm& f) {
    f.SpinEdit1->setValue(f.SpinEdit1->maximum());
    accept(f);
  });
  click(form.Button2);
  EXPECT_EQ(seen.maximum, 48);
  EXPECT_TRUE(form.selection.randomListBox.isEmpty());
  for (int k = 1; k <= 49; ++k) EXPECT_TRUE(isChosen(k)) << k;
  for (const QString& text : form.selection.nosortlistbox) EXPECT_EQ(text.size(), 2) << text.toStdString();
  EXPECT_EQ(form.selection.sortlistbox.front(), "01");
  EXPECT_TRUE(form.Edit1->text().startsWith("20 "));
  EXPECT_TRUE(selectionIsConsistent());
}

TEST_F(RandomPick, CancelAfterChangingTheFieldChangesNothing) {
  confirmLottery(0);
  choose(3);
  answerWith([](TnumberForm& f) {
    f.SpinEdit1->setValue(20);
    QTest::mouseClick(f.Button2, Qt::LeftButton);
  });
  click(form.Button2);
  EXPECT_EQ(form.selection.nosortlistbox, QStringList{"03"});
  EXPECT_EQ(form.Edit1->text(), "03 ");
  EXPECT_TRUE(selectionIsConsistent());

  // Closing the dialog by its close box is a cancel too.
  answerWith([](TnumberForm& f) { f.close(); });
  click(form.Button2);
  EXPECT_EQ(form.selection.nosortlistbox, QStringList{"03"});
}

TEST_F(RandomPick, TheSeedDecidesTheDraw) {
  confirmLottery(0);
  answerWith([this](TnumberForm& f) { accept(f); });
  desktop.seed = 99;
  click(form.Button2);
  const QStringList first = form.selection.nosortlistbox;
  click(form.Button4);
  desktop.seed = 99;
  click(form.Button2);
  EXPECT_EQ(form.selection.nosortlistbox, first);
  click(form.Button4);
  click(form.Button2);  // a new seed for each press
  EXPECT_NE(form.selection.nosortlistbox, first);
}

TEST(NumberDialog, TypedTextStaysWithinTheBounds) {
  RecordingDesktop desktop;
  struct Typed {
    const char* text;
    int expected;
    const char* shown;  // what the field shows once typed
  };
  for (const Typed& typed : {Typed{"12", 12, "12"}, Typed{"99", 45, "45"}, Typed{"450", 45, "45"},
                             Typed{"abc", 3, "3"}, Typed{"", 3, "3"}, Typed{"1", 3, "1"}, Typed{"1x2", 12, "12"}}) {
    TnumberForm dialog;
    dialog.chosencount = 4;
    dialog.boardcount = 49;
    dialog.pickcount = 6;
    EXPECT_EQ(dialog.requestedcount, 0);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Timer1->isActive(); }, 2000));
    dialog.SpinEdit1->selectAll();
    QTest::keyClicks(dialog.SpinEdit1, QString::fromLatin1(typed.text));
    EXPECT_EQ(dialog.SpinEdit1->text(), typed.shown) << typed.text;
    EXPECT_GE(dialog.SpinEdit1->value(), 3);
    EXPECT_LE(dialog.SpinEdit1->value(), 45);
    QTest::mouseClick(dialog.Button1, Qt::LeftButton);
    EXPECT_EQ(dialog.requestedcount, typed.expected) << typed.text;
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }
}

TEST(NumberDialog, Layout) {
  TnumberForm dialog;
  EXPECT_EQ(dialog.size(), QSize(299, 131));
  EXPECT_EQ(dialog.SpinEdit1->geometry(), QRect(88, 24, 89, 26));
  EXPECT_EQ(dialog.Button1->geometry(), QRect(104, 72, 89, 33));
  EXPECT_EQ(dialog.Button2->geometry(), QRect(208, 72, 81, 33));
  EXPECT_EQ(dialog.Button1->text(), "&Ok");
  EXPECT_EQ(dialog.Button2->text(), "&Cancel");
  EXPECT_EQ(dialog.Timer1->interval(), 1);
  EXPECT_FALSE(dialog.Timer1->isActive());
}

}  // namespace
