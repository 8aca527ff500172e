// The logic of number selection without widgets: number texts, insertion
// positions, the three lists, board geometry and the random pick's bounds.
// The output formats are tested with the page that chooses them.
#include <gtest/gtest.h>

#include "numbers/boardlayout.h"
#include "numbers/numberUnit.h"
#include "numbers/selection.h"
#include "recordingdesktop.h"

namespace {

TEST(NumberText, BoardAndPoolForms) {
  EXPECT_EQ(boardText(1), "01");
  EXPECT_EQ(boardText(9), "09");
  EXPECT_EQ(boardText(10), "10");
  EXPECT_EQ(boardText(100), "100");
  EXPECT_EQ(padTwo("5"), "05");
  EXPECT_EQ(padTwo("12"), "12");
  EXPECT_EQ(padTwo("05"), "05");
  EXPECT_EQ(numberValue("07"), 7);
  EXPECT_EQ(numberValue("7"), 7);
  EXPECT_EQ(numberValue("42"), 42);
  EXPECT_EQ(numberValue("100"), 100);
  EXPECT_THROW(numberValue("x1"), std::invalid_argument);
}

TEST(SelectionLists, PositionsSearchByValue) {
  SelectionLists lists;
  EXPECT_EQ(lists.sortedPosition("05"), -1);
  lists.sortlistbox = {"03", "17", "42"};
  EXPECT_EQ(lists.sortedPosition("01"), 0);
  EXPECT_EQ(lists.sortedPosition("09"), 1);
  EXPECT_EQ(lists.sortedPosition("17"), 2);  // equal values go after
  EXPECT_EQ(lists.sortedPosition("49"), 3);
  lists.randomListBox = {"1", "2", "10"};
  EXPECT_EQ(lists.poolPosition("02"), 2);
  EXPECT_EQ(lists.poolPosition("10"), 3);
  lists.randomListBox.clear();
  EXPECT_EQ(lists.poolPosition("10"), -1);
}

TEST(SelectionLists, ChooseTakeBackAndReset) {
  SelectionLists lists;
  lists.reset(49);
  for (const char* text : {"17", "03", "42"}) lists.choose(text);
  EXPECT_EQ(lists.nosortlistbox, (QStringList{"17", "03", "42"}));
  EXPECT_EQ(lists.sortlistbox, (QStringList{"03", "17", "42"}));
  EXPECT_EQ(lists.randomListBox.size(), 46);
  EXPECT_FALSE(lists.randomListBox.contains("3"));
  EXPECT_THROW(lists.choose("17"), std::logic_error);  // not free any more

  EXPECT_EQ(lists.takeBackLast(), 42);
  EXPECT_EQ(lists.nosortlistbox, (QStringList{"17", "03"}));
  EXPECT_EQ(lists.sortlistbox, (QStringList{"03", "17"}));
  const auto at = lists.randomListBox.indexOf("42");
  ASSERT_GT(at, 0);
  EXPECT_EQ(lists.randomListBox[at - 1], "41");
  EXPECT_EQ(lists.randomListBox[at + 1], "43");

  EXPECT_EQ(lists.chooseFromPool(0), "01");
  EXPECT_EQ(lists.sortlistbox.front(), "01");
  EXPECT_EQ(lists.randomListBox.front(), "2");

  lists.reset(6);
  EXPECT_TRUE(lists.nosortlistbox.isEmpty());
  EXPECT_TRUE(lists.sortlistbox.isEmpty());
  EXPECT_EQ(lists.randomListBox, (QStringList{"1", "2", "3", "4", "5", "6"}));
}

TEST(SelectionLists, TakingBackTheLastFreeNumberRefillsAnEmptyPool) {
  SelectionLists lists;
  lists.reset(2);
  lists.choose("02");
  lists.choose("01");
  ASSERT_TRUE(lists.randomListBox.isEmpty());
  EXPECT_EQ(lists.takeBackLast(), 1);
  EXPECT_EQ(lists.randomListBox, QStringList{"1"});
}

TEST(BoardLayout, FortyNineNumbersInTheUsualPanel) {
  const BoardLayout layout = layoutBoardButtons(719, 290, 40, 30, 49);
  EXPECT_EQ(layout.rows, 5);
  EXPECT_EQ(layout.leftMargin, 101);
  EXPECT_EQ(layout.topMargin, 29);
  ASSERT_EQ(layout.buttons.size(), 49u);
  EXPECT_EQ(layout.buttons[0], QRect(144, 62, 40, 30));
  EXPECT_EQ(layout.buttons[9].topLeft(), QPoint(144 + 9 * 43, 62));   // "10" ends row 1
  EXPECT_EQ(layout.buttons[10].topLeft(), QPoint(144, 95));           // "11" starts row 2
  EXPECT_EQ(layout.buttons[48], QRect(488, 194, 40, 30));
}

TEST(BoardLayout, OneRowAndAnEmptyLastRow) {
  const BoardLayout six = layoutBoardButtons(719, 290, 40, 30, 6);
  EXPECT_EQ(six.rows, 1);
  EXPECT_EQ(six.leftMargin, 187);
  EXPECT_EQ(six.topMargin, 95);
  EXPECT_EQ(six.buttons[0].topLeft(), QPoint(230, 128));

  const BoardLayout forty = layoutBoardButtons(719, 290, 40, 30, 40);
  EXPECT_EQ(forty.rows, 5);
  EXPECT_EQ(forty.topMargin, (290 - 7 * 33) / 2);
  EXPECT_EQ(forty.buttons[39].topLeft(), QPoint(101 + 10 * 43, 29 + 4 * 33));

  // A panel smaller than the grid gives negative margins, truncated toward zero.
  const BoardLayout cramped = layoutBoardButtons(100, 50, 40, 30, 49);
  EXPECT_EQ(cramped.leftMargin, (100 - 516) / 2);
  EXPECT_EQ(cramped.topMargin, (50 - 231) / 2);
  EXPECT_EQ(cramped.topMargin, -90);
}

TEST(PickBounds, FollowTheChoiceAndThePool) {
  struct Case {
    int chosen, board, pick, minimum, maximum;
  };
  for (const Case& c : {Case{0, 49, 6, 7, 49}, Case{4, 49, 6, 3, 45}, Case{10, 49, 6, 1, 39},
                        Case{48, 49, 6, 1, 1}, Case{49, 49, 6, 1, 0}}) {
    const PickBounds bounds = pickBounds(c.chosen, c.board, c.pick);
    EXPECT_EQ(bounds.minimum, c.minimum) << c.chosen;
    EXPECT_EQ(bounds.maximum, c.maximum) << c.chosen;
  }
  const PickBounds bounds{3, 45};
  EXPECT_EQ(boundedRequest("12", bounds), 12);
  EXPECT_EQ(boundedRequest("2", bounds), 3);
  EXPECT_EQ(boundedRequest("46", bounds), 45);
  EXPECT_EQ(boundedRequest("-5", bounds), 3);
  EXPECT_EQ(boundedRequest("abc", bounds), 3);
  EXPECT_EQ(boundedRequest("", bounds), 3);
  EXPECT_EQ(boundedRequest("1.5", bounds), 3);
  EXPECT_EQ(boundedRequest("5", PickBounds{1, 0}), 0);  // every number chosen
}

}  // namespace
