// "Build Ticket >>": the chosen wheel's patterns over the chosen numbers, the
// ticket count of the entry, the "No Ticket!" refusals, and damaged wheels.
#include <QApplication>
#include <QCheckBox>
#include <QMouseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "wheelfixture.h"

namespace {

const QStringList kFive = {"1-2-3-4-5-6", "01-03-05-07-02-04", "2-4-6-1-3-5", "7-6-5-4-3-2", "1-3-5-7-2-4"};

class Build : public WheelFixture {
 protected:
  void SetUp() override {
    WheelFixture::SetUp();
    catalogue.addWheel(6, "a", "3if3", 7, kFive);
    catalogue.addWheel(6, "k", "3if4", 7, {"1-2-3-4-5-6", "2-1-3-4-5-7", "3-4-1-5-6-7", "7-6-5-4-3-01"});
  }
  void build() { click(form.SpeedButtonbuildticket); }

  // A double-click on the place of `button` as the system delivers it: each
  // press and release goes to whichever bottom-row button is at that place at
  // that moment, 120 ms between the presses.
  void doubleClickOn(const QToolButton* button) {
    const QPoint place = button->geometry().center();
    const ulong start = ulong(QTest::lastMouseTimestamp) + 10000;
    const std::pair<QEvent::Type, ulong> sequence[] = {{QEvent::MouseButtonPress, start},
                                                      {QEvent::MouseButtonRelease, start + 40},
                                                      {QEvent::MouseButtonDblClick, start + 120},
                                                      {QEvent::MouseButtonRelease, start + 160}};
    for (const auto& [type, time] : sequence) {
      QWidget* target = form.Panel6->childAt(place);
      ASSERT_NE(target, nullptr);
      const QPointF local = target->mapFrom(form.Panel6, place);
      const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
      QMouseEvent event(type, local, target->mapToGlobal(local), Qt::LeftButton, held, Qt::NoModifier);
      event.setTimestamp(time);
      QApplication::sendEvent(target, &event);
    }
    QTest::lastMouseTimestamp = int(start + 10000);
  }
};

TEST_F(Build, ADoubleClickOnTheForwardButtonMovesOnePage) {
  confirmLottery(0);
  for (int n : {17, 3, 42, 8, 25, 31, 11}) choose(n);
  doubleClickOn(form.SpeedButtonnext);
  EXPECT_EQ(page(), 2) << "the second press does not build tickets";
  EXPECT_EQ(form.ticketListView->topLevelItemCount(), 0);
  EXPECT_TRUE(catalogue.ticketQueries.isEmpty());
  build();  // a press of its own acts
  ASSERT_EQ(page(), 3);
  doubleClickOn(form.SpeedButtonnext);
  EXPECT_EQ(page(), 4) << "the second press does not finish";
  doubleClickOn(form.SpeedButtonprevious);  // one page back as well
  EXPECT_EQ(page(), 3);
  EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join("|").toStdString();
}

TEST_F(Build, PatternsOverTheChosenNumbersInTheFormat) {
  toPageThree();
  build();
  EXPECT_TRUE(desktop.messages.isEmpty());
  EXPECT_TRUE(desktop.errors.isEmpty());
  EXPECT_EQ(page(), 3);
  EXPECT_FALSE(pagechangeallowed);
  EXPECT_EQ(catalogue.ticketQueries, QStringList{"pick=6 and  wheeltype='a' and  xyoption='3if3' and zoption=7"});
  EXPECT_EQ(ids(), (QStringList{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(tickets(), (QStringList{"17 3 42 8 25 31", "17 42 25 11 3 8", "3 8 31 17 42 25", "11 31 25 8 42 3",
                                    "17 42 25 11 3 8"}));
  EXPECT_EQ(column(2), (QStringList{"", "", "", "", ""}));
  EXPECT_EQ(form.Label20->text(), "5");
  EXPECT_EQ(form.Memo4->toPlainText().split('\n'), kFive);
  EXPECT_EQ(wizardstate.xyoption, "3if3");
  EXPECT_EQ(ticketlimit, 0);

  // Format 4, then format 8: each build replaces the list and restarts the IDs.
  click(form.SpeedButtonprevious);
  click(form.RadioButton6);
  build();
  EXPECT_EQ(ids(), (QStringList{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(tickets().first(), "17-03-42-08-25-31");
  click(form.SpeedButtonprevious);
  click(form.RadioButton10);
  build();
  EXPECT_EQ(ids(), (QStringList{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(tickets().first(), "17, 03, 42, 08, 25, 31");
  EXPECT_EQ(tickets()[1], "17, 42, 25, 11, 03, 08");
  // The list stays when going back.
  click(form.SpeedButtonprevious);
  click(form.SpeedButtonprevious);
  EXPECT_EQ(form.ticketListView->topLevelItemCount(), 5);
}

TEST_F(Build, AutoSortDoesNotSortTickets) {
  confirmLottery(0);
  click(form.CheckBox1);
  for (int n : {17, 3, 42, 8, 25, 31, 11}) choose(n);
  click(form.SpeedButtonnext);
  build();
  EXPECT_EQ(tickets()[1], "17 42 25 11 3 8");
}

TEST_F(Build, AKeyWheelPutsTheKeyOnEveryTicket) {
  toPageThree();
  form.PageControl2->setCurrentIndex(1);
  ASSERT_EQ(form.Panel13->text(), "17");
  build();
  ASSERT_EQ(form.ticketListView->topLevelItemCount(), 4);
  for (const QString& ticket : tickets()) EXPECT_TRUE(ticket.split(' ').contains("17")) << ticket.toStdString();
  EXPECT_EQ(tickets()[3], "11 31 25 8 42 17");
  EXPECT_EQ(catalogue.ticketQueries, QStringList{"pick=6 and  wheeltype='k' and  xyoption='3if4' and zoption=7"});
}

TEST_F(Build, TheEntryCountCapsTheRowsRead) {
  surveyRow("3if3").ticket = 3;
  toPageThree();
  build();
  EXPECT_EQ(ids(), (QStringList{"1", "2", "3"}));
  EXPECT_EQ(catalogue.rowsHanded, 3);
  EXPECT_EQ(ticketlimit, 0);

  // A count above the rows gives one ticket per row.
  const auto offerAgain = [this](int count) {
    surveyRow("3if3").ticket = count;
    click(form.SpeedButtonprevious);
    click(form.SpeedButtonprevious);
    click(form.SpeedButtonnext);
  };
  catalogue.rowsHanded = 0;
  offerAgain(9);
  ASSERT_EQ(form.ComboBox2->currentText(), "3if3   9 tickets");
  build();
  EXPECT_EQ(form.ticketListView->topLevelItemCount(), 5);
  EXPECT_EQ(catalogue.rowsHanded, 5);
  EXPECT_EQ(ticketlimit, 4);

  // A count of 0 still reads the first row.
  offerAgain(0);
  ASSERT_EQ(form.ComboBox2->currentText(), "3if3   0 tickets");
  build();
  EXPECT_EQ(tickets(), QStringList{"17 3 42 8 25 31"});
  EXPECT_EQ(form.Label20->text(), "1");
}

TEST_F(Build, AWheelWithoutRowsGivesAnEmptyList) {
  catalogue.survey.push_back({6, "a", "2if2", 7, 4});
  toPageThree();
  form.ComboBox2->setCurrentIndex(1);
  build();
  EXPECT_EQ(page(), 3);
  EXPECT_EQ(form.ticketListView->topLevelItemCount(), 0);
  EXPECT_EQ(form.Label20->text(), "0");
}

TEST_F(Build, ASingleTokenPattern) {
  catalogue.addWheel(6, "a", "1if1", 7, {"5"});
  toPageThree();
  form.ComboBox2->setCurrentIndex(1);
  click(form.RadioButton10);
  build();
  EXPECT_EQ(tickets(), QStringList{"25"});
}

TEST_F(Build, NoTicketOnEitherTab) {
  catalogue.survey.clear();
  catalogue.addWheel(6, "k", "3if4", 7, {"1-2-3-4-5-6"});
  toPageThree();
  form.PageControl2->setCurrentIndex(1);
  build();
  ASSERT_EQ(tickets(), QStringList{"17 3 42 8 25 31"});
  click(form.SpeedButtonprevious);
  form.PageControl2->setCurrentIndex(0);
  build();
  EXPECT_EQ(desktop.messages, QStringList{"No Ticket!"});
  EXPECT_EQ(page(), 2);
  EXPECT_EQ(tickets(), QStringList{"17 3 42 8 25 31"});
  EXPECT_FALSE(pagechangeallowed);

  // No key wheel for eight numbers: the key tab refuses.
  catalogue.survey.clear();
  catalogue.addWheel(6, "a", "3if3", 8, {"1-2-3-4-5-8"});
  click(form.SpeedButtonprevious);
  choose(44);
  click(form.SpeedButtonnext);
  form.PageControl2->setCurrentIndex(1);
  desktop.messages.clear();
  build();
  EXPECT_EQ(desktop.messages, QStringList{"No Ticket!"});
  EXPECT_EQ(page(), 2);
  EXPECT_EQ(tickets(), QStringList{"17 3 42 8 25 31"});
  form.PageControl2->setCurrentIndex(0);
  build();
  EXPECT_EQ(tickets(), QStringList{"17 3 42 8 25 44"});
}

TEST_F(Build, ADamagedWheelStopsTheBuildAndKeepsTheList) {
  toPageThree();
  build();
  ASSERT_EQ(form.ticketListView->topLevelItemCount(), 5);
  const QString memo = form.Memo4->toPlainText();
  click(form.SpeedButtonprevious);

  struct Case {
    const char* pattern;
    const char* reason;
  };
  const Case cases[] = {
      {"1-2--4-5-6", "position 3 is empty"},
      {"1-2-x-4-5-6", "\"x\" is not a number"},
      {"1-2-3-4-5-8", "position \"8\" is outside 1 to 7"},
  };
  for (const Case& c : cases) {
    catalogue.wheels.clear();
    catalogue.survey.clear();
    catalogue.addWheel(6, "a", "4if5", 7, {"1-2-3-4-5-6", c.pattern});
    click(form.SpeedButtonprevious);
    click(form.SpeedButtonnext);
    desktop.errors.clear();
    build();
    ASSERT_EQ(desktop.errors.size(), 1);
    EXPECT_EQ(desktop.errors[0],
              QStringLiteral("The abbreviated wheel \"4if5\" for 6 numbers per ticket and 7 chosen numbers has a "
                             "damaged ticket \"%1\": %2. No tickets were built.")
                  .arg(c.pattern, c.reason));
    EXPECT_EQ(page(), 2);
    EXPECT_FALSE(pagechangeallowed);
    EXPECT_EQ(form.ticketListView->topLevelItemCount(), 5);
    EXPECT_EQ(tickets().first(), "17 3 42 8 25 31");
    EXPECT_EQ(form.Label20->text(), "5");
    EXPECT_EQ(form.Memo4->toPlainText(), memo);
  }
}

TEST_F(Build, OnlyAnOfferedEntryIsBuilt) {
  toPageThree();
  build();
  ASSERT_EQ(form.ticketListView->topLevelItemCount(), 5);
  click(form.SpeedButtonprevious);
  const QString notOffered = QStringLiteral(
      "The wheel \"%1\" is not one of the wheels offered for your numbers. Please choose a wheel from the list.");
  const struct {
    const char* text;
    QString message;
  } cases[] = {
      {"lucky", "The wheel \"lucky\" cannot be read: the ticket count is missing after the formula. "
                "Please choose a wheel from the list."},
      {"3if3", "The wheel \"3if3\" cannot be read: the ticket count is missing after the formula. "
               "Please choose a wheel from the list."},
      // Well formed, but a lower count would drop tickets, and an unknown
      // formula would build nothing.
      {"3if3 0 tickets", notOffered.arg("3if3 0 tickets")},
      {"3if3   4 tickets", notOffered.arg("3if3   4 tickets")},
      {"9if9   5 tickets", notOffered.arg("9if9   5 tickets")},
  };
  for (const auto& c : cases) {
    desktop.messages.clear();
    catalogue.ticketQueries.clear();
    form.ComboBox2->setEditText(c.text);
    build();
    EXPECT_EQ(desktop.messages, QStringList{c.message}) << c.text;
    EXPECT_EQ(page(), 2);
    EXPECT_FALSE(pagechangeallowed);
    EXPECT_TRUE(catalogue.ticketQueries.isEmpty());
    EXPECT_EQ(form.ticketListView->topLevelItemCount(), 5) << "the last build's tickets stay";
    EXPECT_EQ(form.Label20->text(), "5");
  }
}

TEST_F(Build, AFailingTableIsReportedAndTheTabsStayLocked) {
  toPageThree();
  catalogue.failing = true;
  build();
  EXPECT_EQ(desktop.errors, QStringList{"wheels: read error"});
  EXPECT_EQ(page(), 2);
  EXPECT_FALSE(pagechangeallowed);
}

}  // namespace
