// Checking a draw on page 4: reading the drawn numbers and the tickets, the
// summary line, and the "Check draw..." dialog over a built ticket list.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "output/checkdrawunit.h"
#include "output/drawcheck.h"
#include "output/ticketoutput.h"
#include "wheelfixture.h"

namespace {

TEST(DrawCheckLogic, TheDrawnNumbersAreCheckedAgainstTheLottery) {
  struct Case {
    const char* typed;
    const char* problem;  // empty: a valid draw
  };
  const Case cases[] = {
      {"3 17, 42-8 25,,31", ""},
      {"  ", "Please type the 6 drawn numbers."},
      {"3 17 42 8 25 x1", "\"x1\" is not a number."},
      {"3 17 42 8 25 4.5", "\"4.5\" is not a number."},
      {"3 17 42 8 25 50", "The number 50 is outside 1 to 49 of this lottery."},
      {"0 17 42 8 25 31", "The number 0 is outside 1 to 49 of this lottery."},
      {"3 17 42 8 25 17", "The number 17 is there twice."},
      {"3 17 42 8 25", "The lottery draws 6 numbers, not 5 numbers."},
      {"3 17 42 8 25 31 11", "The lottery draws 6 numbers, not 7 numbers."},
  };
  for (const Case& c : cases) {
    QList<int> numbers;
    EXPECT_EQ(drawProblem(c.typed, 6, 49, numbers), QString(c.problem)) << c.typed;
    if (QString(c.problem).isEmpty()) {
      EXPECT_EQ(numbers, (QList<int>{3, 17, 42, 8, 25, 31}));
    }
  }
}

TEST(DrawCheckLogic, TicketsInEveryFormatAndTheSummary) {
  for (const char* ticket : {"1 2 13 4", "01 02 13 04", "1-2-13-4", "01-02-13-04", "1,2,13,4", "01,02,13,04",
                             "1, 2, 13, 4", "01, 02, 13, 04"})
    EXPECT_EQ(ticketNumbers(ticket), (QList<int>{1, 2, 13, 4})) << ticket;
  EXPECT_FALSE(ticketNumbers("1 2 x 4"));
  EXPECT_FALSE(ticketNumbers(""));
  EXPECT_EQ(hitsOf({1, 2, 13, 4}, {4, 13, 20}), 2);
  EXPECT_EQ(hitsSummary({3, 5, 3, 0, 4, 4, 4, 4}), "1 ticket with 5, 4 with 4, 2 with 3, 1 with 0");
  EXPECT_EQ(hitsSummary({2, 2}), "2 tickets with 2");
  EXPECT_EQ(hitsSummary({}), "");
  EXPECT_EQ(withTextExtension("/tmp/x/tickets"), "/tmp/x/tickets.txt");
  EXPECT_EQ(withTextExtension("/tmp/x.d/tickets.dat"), "/tmp/x.d/tickets.dat");
}

class CheckDraw : public WheelFixture {
 protected:
  void SetUp() override {
    WheelFixture::SetUp();
    catalogue.addWheel(6, "a", "3if3", 7, {"1-2-3-4-5-6", "01-03-05-07-02-04", "2-4-6-1-3-5", "7-6-5-4-3-2"});
    toPageThree();  // 17 3 42 8 25 31 11
    click(form.SpeedButtonbuildticket);
  }
  // Runs the dialog with each text typed in turn and OK pressed; returns
  // the problem shown after each.
  QStringList checkWith(const QStringList& typed) {
    QStringList problems;
    desktop.onModal = [&](QDialog& dialog) {
      auto& check = dynamic_cast<Tcheckdrawform&>(dialog);
      check.show();
      for (const QString& text : typed) {
        check.drawEdit->setText(text);
        click(check.okButton);
        problems << check.problemLabel->text();
      }
      return check.result();
    };
    click(form.checkDrawButton);
    desktop.onModal = nullptr;
    return problems;
  }
  bool standsOut(int row) const { return form.ticketListView->topLevelItem(row)->font(1).bold(); }
};

TEST_F(CheckDraw, TagsTheHitsAndSumsThemUp) {
  ASSERT_EQ(page(), 3);
  EXPECT_TRUE(form.checkDrawButton->isVisible());
  EXPECT_EQ(tickets(), (QStringList{"17 3 42 8 25 31", "17 42 25 11 3 8", "3 8 31 17 42 25", "11 31 25 8 42 3"}));
  // A wrong draw keeps the dialog open and says why; a right one closes it.
  EXPECT_EQ(checkWith({"17 3 42 8 99 1", "17 3 11 8 40 1"}),
            (QStringList{"The number 99 is outside 1 to 49 of this lottery.", ""}));
  EXPECT_EQ(column(2), (QStringList{"3 hits", "4 hits", "3 hits", "3 hits"}));
  EXPECT_EQ(form.drawSummaryLabel->text(), "Draw 17 3 11 8 40 1: 1 ticket with 4, 3 with 3");
  EXPECT_FALSE(standsOut(0));
  EXPECT_TRUE(standsOut(1));
  EXPECT_FALSE(standsOut(2));

  // The saved file holds the tickets alone.
  QTemporaryDir dir;
  desktop.onModal = [&](QDialog& dialog) {
    dynamic_cast<QFileDialog&>(dialog).selectFile(dir.filePath("draw"));
    return int(QDialog::Accepted);
  };
  click(form.SpeedButtonsavefile);
  QFile saved(dir.filePath("draw.txt"));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << "no extension given: .txt is added";
  EXPECT_EQ(saved.readAll(), QByteArray("17 3 42 8 25 31\n17 42 25 11 3 8\n3 8 31 17 42 25\n11 31 25 8 42 3\n"));

  // Going back clears the check; so does building again.
  click(form.SpeedButtonprevious);
  EXPECT_EQ(column(2), (QStringList{"", "", "", ""}));
  EXPECT_FALSE(standsOut(1));
  EXPECT_TRUE(form.drawSummaryLabel->text().isEmpty());
  click(form.SpeedButtonbuildticket);
  checkWith({"17 3 42 8 25 31"});
  EXPECT_EQ(column(2)[0], "6 hits");
  click(form.SpeedButtonprevious);
  click(form.SpeedButtonbuildticket);
  EXPECT_EQ(column(2), (QStringList{"", "", "", ""}));
  EXPECT_TRUE(form.drawSummaryLabel->text().isEmpty());
}

TEST_F(CheckDraw, CancelOrNoHitsChangeNothingVisible) {
  checkWith({});  // closed at once
  EXPECT_EQ(column(2), (QStringList{"", "", "", ""}));
  checkWith({"1 2 4 5 6 7"});
  EXPECT_EQ(column(2), (QStringList{"0 hits", "0 hits", "0 hits", "0 hits"}));
  EXPECT_FALSE(standsOut(0)) << "no hits is nothing to stand out";
  EXPECT_EQ(form.drawSummaryLabel->text(), "Draw 1 2 4 5 6 7: 4 tickets with 0");
}

}  // namespace
