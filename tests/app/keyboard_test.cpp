// The wizard without a mouse: Enter and Alt+N for the forward button, Alt+P
// for "<< Previous", numbers typed into the display, and the Tab order of
// each page.
#include <QApplication>
#include <QRadioButton>
#include <QTabBar>

#include "wheelfixture.h"

namespace {

class Keyboard : public WheelFixture {
 protected:
  void SetUp() override {
    WheelFixture::SetUp();
    catalogue.addWheel(6, "a", "3if3", 7, {"1-2-3-4-5-6", "2-3-4-5-6-7"});
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }
  QWidget* focused() const { return QApplication::focusWidget(); }
  // Keys go where the user's keys would: to the widget with the focus.
  void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(focused(), k, modifiers);
  }
  void type(const QString& text) { QTest::keyClicks(focused(), text); }
  // The widgets Tab visits from the focus on, until it comes back.
  QList<QWidget*> tabCycle() {
    QList<QWidget*> seen;
    QWidget* start = focused();
    for (int i = 0; i < 40; ++i) {
      seen << focused();
      key(Qt::Key_Tab);
      if (focused() == start) break;
    }
    return seen;
  }
};

TEST_F(Keyboard, TheWholeWizardByKeys) {
  form.ListView3->setFocus();
  key(Qt::Key_Space);  // the current row, the first lottery
  ASSERT_EQ(form.ListView3->selectedItems().size(), 1);
  key(Qt::Key_Return);
  ASSERT_EQ(page(), 1);
  EXPECT_EQ(focused(), form.Edit1);

  type("17 3 42 8 25 31 11");  // the last number waits for its blank or Enter
  EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join("|").toStdString();
  EXPECT_EQ(form.selection.nosortlistbox, (QStringList{"17", "03", "42", "08", "25", "31"}));
  EXPECT_EQ(form.Edit1->text(), "17 03 42 08 25 31 11");
  key(Qt::Key_Return);  // chooses 11
  EXPECT_EQ(form.selection.nosortlistbox.size(), 7);
  EXPECT_TRUE(isChosen(11));
  EXPECT_TRUE(selectionIsConsistent());
  EXPECT_EQ(page(), 1);
  key(Qt::Key_Return);  // nothing typed: "Next >>"
  ASSERT_EQ(page(), 2);
  EXPECT_EQ(focused(), form.ComboBox2);
  key(Qt::Key_Return);  // "Build Ticket >>"
  ASSERT_EQ(page(), 3);
  EXPECT_EQ(tickets(), (QStringList{"17 3 42 8 25 31", "3 42 8 25 31 11"}));
  key(Qt::Key_P, Qt::AltModifier);
  EXPECT_EQ(page(), 2);
  key(Qt::Key_N, Qt::AltModifier);  // builds again
  ASSERT_EQ(page(), 3);
  key(Qt::Key_N, Qt::AltModifier);
  ASSERT_EQ(page(), 4);
  EXPECT_EQ(focused(), form.speedbuttonfinish);
  key(Qt::Key_Return);
  EXPECT_EQ(page(), 0);
  key(Qt::Key_P, Qt::AltModifier);  // no "<< Previous" on page 1
  EXPECT_EQ(page(), 0);
  EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join("|").toStdString();
  // The captions are the same as ever.
  EXPECT_EQ(form.SpeedButtonnext->text(), "Next >>");
  EXPECT_EQ(form.SpeedButtonprevious->text(), "<< Previous");
}

TEST_F(Keyboard, TypedNumbersAreCheckedAndTheDisplayShowsTheTrueSelection) {
  confirmLottery(0);
  form.Edit1->setFocus();
  type("5 ");
  type("abc-+.");  // not numbers: not taken
  EXPECT_EQ(form.Edit1->text(), "05 ");
  type("99 ");
  type("0 ");
  type("5 ");
  EXPECT_EQ(desktop.messages, (QStringList{"99 is not on the board: its numbers run from 1 to 49.",
                                           "0 is not on the board: its numbers run from 1 to 49.",
                                           "5 is chosen already."}));
  EXPECT_EQ(form.selection.nosortlistbox, QStringList{"05"});
  type("0049");  // three digits at most: "004" is 4
  key(Qt::Key_Backspace);  // takes back a digit
  EXPECT_EQ(form.Edit1->text(), "05 00");
  type("7 ");
  EXPECT_EQ(form.selection.nosortlistbox, (QStringList{"05", "07"}));
  key(Qt::Key_Backspace);  // nothing typed: takes back the last number
  EXPECT_EQ(form.selection.nosortlistbox, QStringList{"05"});
  EXPECT_TRUE(isFree(7));
  click(form.CheckBox1);
  form.Edit1->setFocus();
  type("3 ");
  EXPECT_EQ(form.Edit1->text(), "03 05 ") << "Auto Sort shows the sorted list";
  EXPECT_TRUE(selectionIsConsistent());
}

TEST_F(Keyboard, TabVisitsEachPageAndTheBottomRowButNeverTheTabs) {
  form.ComboBoxEx1->setFocus();
  EXPECT_EQ(tabCycle(), (QList<QWidget*>{form.ComboBoxEx1, form.SpeedButton2, form.ListView3, form.SpeedButton3,
                                         form.SpeedButtonnext}));
  confirmLottery(0);
  ASSERT_EQ(focused(), form.Edit1);
  EXPECT_EQ(tabCycle(), (QList<QWidget*>{form.Edit1, form.CheckBox1, form.Button2, form.Button5, form.Button4,
                                         form.SpeedButton3, form.SpeedButtonprevious, form.SpeedButtonnext}));
  for (int n = 1; n <= 7; ++n) choose(n);
  click(form.SpeedButtonnext);
  ASSERT_EQ(focused(), form.ComboBox2);
  const QList<QWidget*> pageThree = tabCycle();
  EXPECT_EQ(pageThree.mid(0, 3), (QList<QWidget*>{form.ComboBox2, form.RadioButton3, form.SpeedButton3}));
  EXPECT_EQ(pageThree.mid(3), (QList<QWidget*>{form.SpeedButtonprevious, form.SpeedButtonbuildticket,
                                               form.PageControl2->tabBar()}));
  for (QWidget* w : pageThree) EXPECT_NE(w, form.PageControl1->tabBar());
  // Space presses a focused bottom button, as Enter does.
  form.SpeedButtonprevious->setFocus();
  key(Qt::Key_Space);
  EXPECT_EQ(page(), 1);
  // The page tabs still refuse the keyboard.
  QTest::keyClick(form.PageControl1, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(page(), 1);
  EXPECT_EQ(desktop.messages, QStringList{"Please click \"Next >>\" or \"<< Previous\" button!"});
}

}  // namespace
