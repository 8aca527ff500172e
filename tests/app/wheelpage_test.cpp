// Page 3: its fixed content, the formula combos filled from the wheel survey
// when "Next >>" leaves page 2, and the "No Tickets" panels.
#include <QFrame>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "platform/controls.h"
#include "wheelfixture.h"
#include "wheels/wheelpage.h"

namespace {

class WheelPage : public WheelFixture {
 protected:
  void SetUp() override {
    WheelFixture::SetUp();
    catalogue.addWheel(6, "a", "3if3", 7, {"1-2-3-4-5-6"});
    catalogue.addWheel(6, "a", "4if6", 7, {"1-2-3-4-5-6", "1-2-3-4-5-7"});
    catalogue.addWheel(6, "k", "3if4", 7, {"1-2-3-4-5-6"});
    catalogue.addWheel(6, "a", "3if3", 8, {"1-2-3-4-5-6"});  // for eight numbers
    catalogue.addWheel(5, "a", "3if3", 7, {"1-2-3-4-5"});    // for five per ticket
  }
};

QStringList lines(const QPlainTextEdit* memo) { return memo->toPlainText().split('\n'); }

TEST_F(WheelPage, FixedContentAndPlaces) {
  EXPECT_EQ(form.PageControl2->geometry(), QRect(64, 80, 601, 233));
  EXPECT_EQ(form.PageControl2->tabText(0), "Abraviation Wheels");
  EXPECT_EQ(form.PageControl2->tabText(1), "Key Wheels");
  EXPECT_EQ(form.Label12->text(), "Wheels");
  EXPECT_TRUE(form.Label12->font().bold());
  EXPECT_EQ(form.Label11->text(), "More Info");
  EXPECT_EQ(form.Label11->pos(), QPoint(64, 40));

  EXPECT_EQ(lines(form.Memo1), wheelIntroLines());
  EXPECT_EQ(lines(form.Memo1)[1],
            "several tickets, and arranges the numbers on the tickets in such a manner that they will have ");
  ASSERT_EQ(lines(form.Memo2).size(), 10);
  EXPECT_EQ(lines(form.Memo2)[0], "Does not cover all possible combinations, but guarantees at least one winning ");
  EXPECT_EQ(lines(form.Memo2)[1], "ticket if a certain amount of numbers drawn fall within your wheeled number set.  ");
  ASSERT_EQ(lines(form.Memo3).size(), 4);
  EXPECT_EQ(lines(form.Memo3)[3], "Abbreviated Wheel.");
  EXPECT_TRUE(form.Memo4->isHidden());
  // The texts are read whole, without wrapping or scrolling.
  form.showPage(2);
  QCoreApplication::processEvents();
  for (QPlainTextEdit* memo : {form.Memo1, form.Memo2}) {
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_FALSE(memo->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(memo->verticalScrollBar()->isVisible());
  }

  EXPECT_EQ(form.ComboBox2->parentWidget(), form.TabSheet2);
  EXPECT_EQ(form.ComboBox2->pos(), QPoint(96, 160));
  EXPECT_EQ(form.ComboBox2->width(), 129);
  EXPECT_EQ(form.ComboBox3->parentWidget(), form.TabSheet6);
  EXPECT_EQ(form.ComboBox3->pos(), QPoint(88, 136));
  EXPECT_EQ(form.ComboBox3->width(), 129);
  EXPECT_EQ(form.Label13->text(), "Formula");
  EXPECT_EQ(form.Label14->text(), "Formula");
  EXPECT_EQ(form.Label16->text(), "Your Key is:");
  EXPECT_EQ(form.Panel13->parentWidget(), form.TabSheet6);
  EXPECT_EQ(form.Panel13->geometry(), QRect(88, 80, 81, 33));
  EXPECT_TRUE(form.Panel13->font().bold());

  // The panels start hidden and, when shown, cover the label and the combo.
  EXPECT_EQ(form.Panel12->geometry(), QRect(24, 152, 225, 41));
  EXPECT_EQ(form.Panel11->geometry(), QRect(24, 128, 225, 41));
  for (QLabel* panel : {form.Panel12, form.Panel11}) {
    EXPECT_EQ(panel->text(), "No Tickets");
    EXPECT_TRUE(panel->isHidden());
  }
  EXPECT_TRUE(form.Panel12->geometry().contains(form.ComboBox2->geometry()));
  EXPECT_TRUE(form.Panel12->geometry().contains(form.Label13->geometry()));
  EXPECT_TRUE(form.Panel11->geometry().contains(form.ComboBox3->geometry()));
  EXPECT_TRUE(form.Panel11->geometry().contains(form.Label14->geometry()));
}

TEST_F(WheelPage, MoreInfoOpensTheWheelExplanation) {
  form.showPage(2);
  QTest::mouseClick(form.Label11, Qt::LeftButton);
  EXPECT_EQ(desktop.dialogs, QStringList{"Twheelform"});
}

TEST_F(WheelPage, NextOffersTheWheelsOfThePickAndTheCount) {
  toPageThree();
  EXPECT_EQ(catalogue.surveyQueries, (QStringList{"pick= 6 and  wheeltype='a' and  zoption= 7",
                                                  "pick= 6 and  wheeltype='k' and  zoption= 7"}));
  EXPECT_EQ(entries(form.ComboBox2), (QStringList{"3if3   1 tickets", "4if6   2 tickets"}));
  EXPECT_EQ(form.ComboBox2->currentText(), "3if3   1 tickets");
  EXPECT_EQ(entries(form.ComboBox3), QStringList{"3if4   1 tickets"});
  EXPECT_EQ(form.ComboBox3->currentText(), "3if4   1 tickets");
  EXPECT_TRUE(form.Panel12->isHidden());
  EXPECT_TRUE(form.Panel11->isHidden());
  EXPECT_FALSE(pagechangeallowed);
  EXPECT_TRUE(desktop.messages.isEmpty());
  // Filling the lists is no change by the user.
  EXPECT_EQ(wizardstate.xyoption, "");

  // One more number: the lists are rebuilt for eight numbers.
  click(form.SpeedButtonprevious);
  choose(44);
  click(form.SpeedButtonnext);
  EXPECT_EQ(catalogue.surveyQueries.last(), "pick= 6 and  wheeltype='k' and  zoption= 8");
  EXPECT_EQ(entries(form.ComboBox2), QStringList{"3if3   1 tickets"});
  EXPECT_TRUE(entries(form.ComboBox3).isEmpty());
  EXPECT_TRUE(form.Panel12->isHidden());
  EXPECT_FALSE(form.Panel11->isHidden());
  // The lists and panels stay while moving between pages 3 and 4.
  form.nextPage();
  click(form.SpeedButtonprevious);
  EXPECT_EQ(entries(form.ComboBox2), QStringList{"3if3   1 tickets"});
  EXPECT_FALSE(form.Panel11->isHidden());
}

TEST_F(WheelPage, NoAbbreviatedWheelButTwoKeyWheels) {
  catalogue.survey.clear();
  catalogue.addWheel(6, "k", "3if4", 7, {"1-2-3-4-5-6"});
  catalogue.addWheel(6, "k", "4if5", 7, {"1-2-3-4-5-6"});
  toPageThree();
  EXPECT_FALSE(form.Panel12->isHidden());
  EXPECT_TRUE(form.Panel11->isHidden());
  EXPECT_EQ(form.ComboBox3->currentText(), "3if4   1 tickets");
  EXPECT_EQ(form.ComboBox3->count(), 2);
}

TEST_F(WheelPage, KeyWheelsNeedAKeyOnShow) {
  confirmLottery(0);
  for (int n : {17, 3, 42, 8, 25, 31, 11}) choose(n);
  form.Panel13->setText(" \t");
  click(form.SpeedButtonnext);
  EXPECT_EQ(form.ComboBox3->count(), 1);
  EXPECT_FALSE(form.Panel11->isHidden());
}

TEST_F(WheelPage, PickingOrEditingAnEntrySetsTheFormula) {
  toPageThree();
  QTest::keyClick(form.ComboBox2, Qt::Key_Down);
  EXPECT_EQ(form.ComboBox2->currentText(), "4if6   2 tickets");
  EXPECT_EQ(wizardstate.xyoption, "4if6");
  form.ComboBox2->lineEdit()->selectAll();
  QTest::keyClicks(form.ComboBox2->lineEdit(), "5if6 3");
  EXPECT_EQ(wizardstate.xyoption, "5if6");
  form.ComboBox3->lineEdit()->selectAll();
  QTest::keyClicks(form.ComboBox3->lineEdit(), "typed");
  EXPECT_EQ(wizardstate.xyoption, "");  // no blank yet
}

TEST_F(WheelPage, WithoutACatalogueNothingIsOffered) {
  form.wheelCatalogue = nullptr;
  toPageThree();
  EXPECT_EQ(form.ComboBox2->count(), 0);
  EXPECT_FALSE(form.Panel12->isHidden());
  EXPECT_FALSE(form.Panel11->isHidden());
  click(form.SpeedButtonbuildticket);
  EXPECT_EQ(desktop.messages, QStringList{"No wheel catalogue is open, so no tickets can be built."});
  EXPECT_EQ(page(), 2);
}

TEST_F(WheelPage, AFailingSurveyIsReportedAndTheTabsStayLocked) {
  catalogue.failing = true;
  toPageThree();
  EXPECT_EQ(desktop.errors, QStringList{"wheelssurvey: read error"});
  EXPECT_FALSE(pagechangeallowed);
}

}  // namespace

namespace {

TEST_F(WheelPage, MoreNumbersThanAnyWheelSpreadsAreExplainedOnLeavingPageTwo) {
  toPageThree({1, 2, 3, 4, 5, 6, 7, 8});  // the abbreviated 3if3 spreads eight, no key wheel does
  EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join("|").toStdString();
  EXPECT_TRUE(form.Panel12->toolTip().isEmpty());
  EXPECT_EQ(form.Panel11->toolTip(),
            "The catalogue holds no key wheel for 6 numbers per ticket and 8 chosen numbers.");

  click(form.SpeedButtonprevious);
  for (int n : {9, 10}) choose(n);
  click(form.SpeedButtonnext);
  ASSERT_EQ(page(), 2);
  const QString why = "The catalogue's wheels spread at most 8 numbers, and you have chosen 10. Go back with "
                      "\"<< Previous\" and take back 2 numbers to get wheels to choose from.";
  EXPECT_EQ(desktop.messages, QStringList{why});
  EXPECT_EQ(form.Panel12->toolTip(), why);
  EXPECT_EQ(form.Panel11->toolTip(), why);
  click(form.SpeedButtonbuildticket);  // the fixed refusal stays
  EXPECT_EQ(desktop.messages.last(), "No Ticket!");
}

}  // namespace
