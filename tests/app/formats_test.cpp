// The output formats on page 3 and the ticket list on page 4.
#include <QHeaderView>
#include <QRadioButton>

#include "output/formats.h"
#include "wizardfixture.h"

namespace {

using Formats = WizardFixture;

TEST_F(Formats, FormatOneAtStart) {
  EXPECT_TRUE(form.RadioButton3->isChecked());
  EXPECT_EQ(separator, " ");
  EXPECT_EQ(zeropad, "");
}

TEST_F(Formats, EachRadioButtonSetsItsFormat) {
  struct Row {
    QRadioButton* button;
    const char* caption;
    QPoint place;
    const char* separator;
    const char* zeropad;
  };
  const Row rows[] = {
      {form.RadioButton10, "01, 02, 03, 04, 05", {536, 352}, ", ", "0"},
      {form.RadioButton3, "1 2 3 4 5", {152, 328}, " ", ""},
      {form.RadioButton5, "01 02 03 04 05", {152, 352}, " ", "0"},
      {form.RadioButton4, "1-2-3-4-5", {280, 328}, "-", ""},
      {form.RadioButton6, "01-02-03-04-05", {280, 352}, "-", "0"},
      {form.RadioButton7, "1,2,3,4,5", {408, 328}, ",", ""},
      {form.RadioButton8, "01,02,03,04,05", {408, 352}, ",", "0"},
      {form.RadioButton9, "1, 2, 3, 4, 5", {536, 328}, ", ", ""},
  };
  form.showPage(2);
  for (const Row& row : rows) {
    click(row.button);
    EXPECT_EQ(row.button->text(), row.caption);
    EXPECT_EQ(row.button->pos(), row.place) << row.caption;
    EXPECT_EQ(separator, row.separator) << row.caption;
    EXPECT_EQ(zeropad, row.zeropad) << row.caption;
    // Each caption is its own format applied to 1 to 5.
    EXPECT_EQ(ticketText({"01", "02", "03", "04", "05"}, separator, zeropad), row.caption);
  }
  // Numbers outside 1..8 change nothing.
  form.setFormat(0);
  form.setFormat(9);
  EXPECT_EQ(separator, ", ");
  EXPECT_EQ(zeropad, "");
}

TEST_F(Formats, TheChoiceSurvivesPageMoves) {
  confirmLottery(0);
  for (int n = 1; n <= 7; ++n) choose(n);
  click(form.SpeedButtonnext);
  ASSERT_EQ(page(), 2);
  click(form.RadioButton6);
  click(form.SpeedButtonprevious);
  click(form.SpeedButtonnext);
  EXPECT_TRUE(form.RadioButton6->isChecked());
  EXPECT_EQ(separator, "-");
  EXPECT_EQ(zeropad, "0");
}

TEST_F(Formats, TicketListColumnsAndCount) {
  QTreeWidget* list = form.ticketListView;
  ASSERT_EQ(list->columnCount(), 3);
  EXPECT_EQ(list->headerItem()->text(0), "ID");
  EXPECT_EQ(list->headerItem()->text(1), "Tickets");
  EXPECT_EQ(list->headerItem()->text(2), "Tag");
  EXPECT_EQ(list->columnWidth(0), 150);
  EXPECT_EQ(list->columnWidth(1), 150);
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_FALSE(list->isSortingEnabled());
  EXPECT_EQ(list->palette().color(QPalette::Base), list->palette().color(QPalette::ToolTipBase));
  EXPECT_EQ(form.Label19->text(), "Tickets:");
  EXPECT_EQ(form.Label19->pos(), QPoint(0, 8));
  EXPECT_EQ(form.Label20->pos(), QPoint(48, 8));
  form.showPage(3);
  QCoreApplication::processEvents();
  EXPECT_EQ(form.Panel2->height(), 44);
  EXPECT_EQ(form.Panel2->geometry().bottom(), form.TabSheet3->height() - 1);
  EXPECT_EQ(list->geometry().bottom() + 1, form.Panel2->y());
}

}  // namespace
