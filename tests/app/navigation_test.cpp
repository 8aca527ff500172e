// The wizard's spine: start-up state, the bottom buttons on every page, the
// Next / Previous / Finish paths, refused page changes and the finish label.
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPointingDevice>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "Unit1.h"
#include "globalunit.h"
#include "platform/pagecontrol.h"
#include "recordingdesktop.h"
#include "testcatalogue.h"

namespace {

const QString kRefusal = QStringLiteral("Please click \"Next >>\" or \"<< Previous\" button!");

class Wizard : public ::testing::Test {
 protected:
  RecordingDesktop desktop;
  TestCatalogue catalogue;  // empty
  TForm1 form{nullptr, catalogue.directory()};

  void SetUp() override {
    form.show();
    QCoreApplication::processEvents();
  }
  int page() const { return form.PageControl1->currentIndex(); }
  int visiblePage() const { return form.PageControl1->indexOf(form.PageControl1->currentWidget()); }
  void click(QToolButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  void selectRow(int row) { form.ListView3->setCurrentItem(form.ListView3->topLevelItem(row)); }
  // Visible navigation buttons, named by caption or tool tip.
  QStringList visibleButtons() const {
    QStringList names;
    for (QToolButton* b : {form.SpeedButtonprevious, form.SpeedButtonnext, form.SpeedButtonbuildticket,
                           form.speedbuttonfinish, form.SpeedButtonprinttickets, form.SpeedButtonsavefile,
                           form.SpeedButtontext, form.SpeedButtonapplyfilter})
      if (!b->isHidden()) names << (b->text().isEmpty() ? b->toolTip() : b->text());
    return names;
  }
};

TEST_F(Wizard, StartsOnPageOneWithOnlyNextAndAFullPool) {
  EXPECT_EQ(form.windowTitle(), "Numerion");
  EXPECT_EQ(page(), 0);
  EXPECT_EQ(visibleButtons(), QStringList{"Next >>"});
  EXPECT_EQ(numbercount, 49);
  EXPECT_TRUE(lotterychanged);
  EXPECT_FALSE(pagechangeallowed);
  EXPECT_FALSE(boardbuilt);
  EXPECT_EQ(buttoncount, 0);
  EXPECT_EQ(exedir, catalogue.directory());
  ASSERT_EQ(form.selection.randomListBox.size(), 49);
  EXPECT_EQ(form.selection.randomListBox.front(), "1");
  EXPECT_EQ(form.selection.randomListBox.back(), "49");
  EXPECT_GE(form.width(), 743);
  EXPECT_GE(form.height(), 594);
  EXPECT_EQ(form.minimumSize(), QSize(743, 594));
  EXPECT_EQ(form.PageControl1->tabText(2), "3. Choose Wheels && Build Tickets");
  EXPECT_EQ(form.PageControl1->tabText(1), "Select Numbers");
  EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(Wizard, ShowPageSetsTheButtonsOfEveryPage) {
  const QList<QStringList> expected = {
      {"Next >>"},
      {"<< Previous", "Next >>"},
      {"<< Previous", "Build Ticket >>"},
      {"<< Previous", "Next >>", "Print Tickets", "Save Tickets", ""},
      {"<< Previous", "Finish"},
  };
  for (int index = 0; index < 5; ++index) {
    form.showPage(index);
    EXPECT_EQ(page(), index);
    EXPECT_EQ(visiblePage(), index);
    EXPECT_EQ(visibleButtons(), expected[index]) << "page index " << index;
  }
  form.showPage(-3);  // below 0 counts as 0
  EXPECT_EQ(page(), 0);
  EXPECT_EQ(visibleButtons(), expected[0]);
  EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(Wizard, NextWithoutALotteryIsRefused) {
  click(form.SpeedButtonnext);
  EXPECT_EQ(desktop.messages, QStringList{"You have to choose a lottery!"});
  EXPECT_EQ(page(), 0);
}

TEST_F(Wizard, NextTakesTheSelectedLotteryAndGatesPageTwo) {
  form.addLotteryRow("Lotto", "49", "6");
  form.addLotteryRow("Mini", "35", "5");
  selectRow(1);
  click(form.SpeedButtonnext);
  EXPECT_TRUE(desktop.messages.isEmpty());
  EXPECT_EQ(page(), 1);
  EXPECT_EQ(visiblePage(), 1);
  EXPECT_EQ(wizardstate.pick, 5);
  EXPECT_EQ(numbercount, 35);
  EXPECT_EQ(buttoncount, 49);
  EXPECT_FALSE(lotterychanged);
  EXPECT_FALSE(pagechangeallowed);
  EXPECT_EQ(form.selection.randomListBox.size(), 35);

  click(form.SpeedButtonnext);  // Match 5 and nothing chosen
  EXPECT_EQ(desktop.messages, QStringList{"You should choose 6 more numbers."});
  EXPECT_EQ(page(), 1);
}

TEST_F(Wizard, PreviousAndFinishWalkBackWithoutChangingChoices) {
  form.addLotteryRow("Lotto", "49", "6");
  selectRow(0);
  click(form.SpeedButtonnext);
  ASSERT_EQ(page(), 1);
  click(form.SpeedButtonprevious);
  EXPECT_EQ(page(), 0);
  EXPECT_EQ(visibleButtons(), QStringList{"Next >>"});
  // The selection is unchanged: Next goes straight back to page 2.
  click(form.SpeedButtonnext);
  EXPECT_EQ(page(), 1);

  form.nextPage();  // as "Next >>" does from page 2 once enough numbers are chosen
  ASSERT_EQ(page(), 2);
  EXPECT_FALSE(pagechangeallowed);
  form.nextPage();
  ASSERT_EQ(page(), 3);
  click(form.SpeedButtonnext);
  ASSERT_EQ(page(), 4);
  EXPECT_EQ(visibleButtons(), (QStringList{"<< Previous", "Finish"}));
  click(form.SpeedButtonprevious);
  EXPECT_EQ(page(), 3);
  click(form.SpeedButtonnext);
  click(form.speedbuttonfinish);
  EXPECT_EQ(page(), 0);
  EXPECT_EQ(visibleButtons(), QStringList{"Next >>"});
  EXPECT_EQ(wizardstate.pick, 6);
  EXPECT_EQ(form.ListView3->selectedItems().size(), 1);
  EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(Wizard, SelectingAnotherLotteryMarksTheChoiceChanged) {
  form.addLotteryRow("Lotto", "49", "6");
  form.addLotteryRow("Mini", "35", "5");
  selectRow(0);
  click(form.SpeedButtonnext);
  click(form.SpeedButtonprevious);
  EXPECT_FALSE(lotterychanged);
  selectRow(1);
  EXPECT_TRUE(lotterychanged);
  click(form.SpeedButtonnext);
  EXPECT_EQ(numbercount, 35);
  EXPECT_EQ(wizardstate.pick, 5);
}

TEST_F(Wizard, AnErrorInAHandlerGoesToTheErrorBox) {
  form.addLotteryRow("Broken", "forty", "6");
  selectRow(0);
  click(form.SpeedButtonnext);
  EXPECT_EQ(desktop.errors, QStringList{"'forty' is not a valid integer value"});
  EXPECT_EQ(page(), 0);
  EXPECT_EQ(numbercount, 49);
  EXPECT_FALSE(pagechangeallowed);
}

TEST_F(Wizard, UserPageChangesAreRefused) {
  QTabBar* bar = form.PageControl1->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(3).center());
  EXPECT_EQ(desktop.messages, QStringList{kRefusal});
  EXPECT_EQ(page(), 0);
  EXPECT_EQ(visiblePage(), 0);

  desktop.messages.clear();
  QTest::keyClick(form.PageControl1, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(desktop.messages, QStringList{kRefusal});
  EXPECT_EQ(page(), 0);

  desktop.messages.clear();
  QTest::keyClick(form.PageControl1, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(desktop.messages, QStringList{kRefusal});
  EXPECT_EQ(page(), 0);

  desktop.messages.clear();
  form.showPage(2);
  QTest::keyClick(bar, Qt::Key_Left);
  EXPECT_EQ(desktop.messages, QStringList{kRefusal});
  EXPECT_EQ(page(), 2);
  EXPECT_EQ(visiblePage(), 2);
  EXPECT_EQ(visibleButtons(), (QStringList{"<< Previous", "Build Ticket >>"}));

  desktop.messages.clear();
  const QPointF at = bar->tabRect(2).center();
  // A wheel without pixel precision: Qt turns each notch into a tab change.
  const QPointingDevice mouse("wheel mouse", 99, QInputDevice::DeviceType::Mouse,
                              QPointingDevice::PointerType::Generic,
                              QInputDevice::Capability::Position | QInputDevice::Capability::Scroll, 1, 3);
  QWheelEvent wheel(at, bar->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false, Qt::MouseEventNotSynthesized, &mouse);
  QCoreApplication::sendEvent(bar, &wheel);
  EXPECT_EQ(desktop.messages, QStringList{kRefusal});
  EXPECT_EQ(page(), 2);
}

TEST_F(Wizard, FinishLabelStaysCentred) {
  form.showPage(4);
  for (const QSize size : {QSize(743, 594), QSize(1000, 701), QSize(1201, 777)}) {
    form.resize(size);
    QCoreApplication::processEvents();
    const QWidget* sheet = form.TabSheet7;
    EXPECT_EQ(form.Label4->x(), (sheet->width() - form.Label4->width()) / 2) << size.width();
    EXPECT_EQ(form.Label4->y(), (sheet->height() - form.Label4->height()) / 2) << size.height();
  }
  EXPECT_EQ(form.Label4->text(), "Congratulation !!!");
}

struct DirectoryCase {
  const char* name;
  const char* path;
  const char* directory;
};
void PrintTo(const DirectoryCase& c, std::ostream* os) { *os << '"' << c.path << '"'; }

class Directoryof : public ::testing::TestWithParam<DirectoryCase> {};

TEST_P(Directoryof, TakesTheDirectoryPart) {
  EXPECT_EQ(directoryof(QString::fromUtf8(GetParam().path)), QString::fromUtf8(GetParam().directory));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Directoryof,
    ::testing::Values(DirectoryCase{"WindowsProgram", "C:\\Programs\\Wheel\\wheel.exe", "C:\\Programs\\Wheel"},
                      DirectoryCase{"WindowsDriveRoot", "C:\\wheel.exe", "C:\\"},
                      DirectoryCase{"WindowsNoExtension", "C:\\Programs\\Wheel\\wheel", ""},
                      DirectoryCase{"DotInFolderOnly", "C:\\Programs.d\\wheel", ""},
                      DirectoryCase{"UnixProgram", "/opt/numerion/numerion.bin", "/opt/numerion"},
                      DirectoryCase{"UnixNoExtension", "/opt/numerion/numerion", ""},
                      DirectoryCase{"UnixRoot", "/numerion.bin", "/"},
                      DirectoryCase{"MixedSeparators", "D:/games\\wheel.exe", "D:/games"},
                      DirectoryCase{"BareName", "wheel.exe", ""}, DirectoryCase{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<DirectoryCase>& info) { return std::string(info.param.name); });

}  // namespace
