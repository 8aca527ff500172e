// Pictures of the wizard for the documentation. Disabled in the suite; run
// with --gtest_also_run_disabled_tests --gtest_filter='Screenshot.*' and the
// target file in NUMERION_SCREENSHOT.
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <cstdlib>

#include "wizardfixture.h"

namespace {

using Screenshot = WizardFixture;

TEST_F(Screenshot, DISABLED_PageTwoWithAChoice) {
  const char* target = std::getenv("NUMERION_SCREENSHOT");
  ASSERT_NE(target, nullptr) << "set NUMERION_SCREENSHOT to the PNG to write";
  confirmLottery(0);
  for (int n : {17, 3, 42, 8, 25, 31, 11}) choose(n);
  click(form.CheckBox1);
  QCoreApplication::processEvents();
  ASSERT_EQ(form.selection.nosortlistbox.size(), 7);
  EXPECT_TRUE(form.grab().save(QString::fromLocal8Bit(target), "PNG"));
}

// Page 1 on the shipped catalogue, once the first country's flag shows.
TEST(ScreenshotPageOne, DISABLED_OnTheShippedCatalogue) {
  const char* target = std::getenv("NUMERION_SCREENSHOT");
  ASSERT_NE(target, nullptr) << "set NUMERION_SCREENSHOT to the PNG to write";
  RecordingDesktop desktop;
  TForm1 form(nullptr, QFileInfo(QStringLiteral(NUMERION_SHIPPED_CATALOGUE)).absolutePath());
  form.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form.Timer1->isActive(); }, 3000));
  form.ListView3->setCurrentItem(form.ListView3->topLevelItem(0));
  QCoreApplication::processEvents();
  EXPECT_TRUE(desktop.messages.isEmpty());
  EXPECT_TRUE(form.grab().save(QString::fromLocal8Bit(target), "PNG"));
}

}  // namespace
