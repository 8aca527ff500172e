// Pictures of the wizard for the documentation (scripts/screenshots).
// Disabled in the suite; run with --gtest_also_run_disabled_tests
// --gtest_filter='ScreenshotWizard.*' and the target folder in
// NUMERION_SCREENSHOT_DIR.
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "output/checkdrawunit.h"
#include "platform/controls.h"
#include "wheels/wintableunit.h"
#include "wizardfixture.h"

namespace {

// Pages 1 to 4 on the shipped catalogue, driven by clicks: a six-number
// lottery, ten numbers, the wheel "4if5", what it pays, its tickets. Writes
// page1.png to page4.png, wintable.png and checkdraw.png into NUMERION_SCREENSHOT_DIR and
// prints how long the wheel offer, the win table and the build took.
TEST(ScreenshotWizard, DISABLED_PagesOneToFourOnTheShippedCatalogue) {
  const char* folder = std::getenv("NUMERION_SCREENSHOT_DIR");
  ASSERT_NE(folder, nullptr) << "set NUMERION_SCREENSHOT_DIR to the folder of the PNGs";
  const auto save = [&](TForm1& form, int page) {
    QCoreApplication::processEvents();
    const QString file = QStringLiteral("%1/page%2.png").arg(QString::fromLocal8Bit(folder)).arg(page);
    EXPECT_TRUE(form.grab().save(file, "PNG")) << file.toStdString();
  };
  const auto click = [](QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); };
  RecordingDesktop desktop;
  TForm1 form(nullptr, QFileInfo(QStringLiteral(NUMERION_SHIPPED_CATALOGUE)).absolutePath());
  form.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form.Timer1->isActive(); }, 3000));
  int row = 0;
  while (row < form.ListView3->topLevelItemCount() && form.ListView3->topLevelItem(row)->text(2) != "6") ++row;
  ASSERT_LT(row, form.ListView3->topLevelItemCount()) << "the first country has no six-number lottery";
  form.ListView3->setCurrentItem(form.ListView3->topLevelItem(row));
  save(form, 1);

  click(form.SpeedButtonnext);
  ASSERT_EQ(form.PageControl1->currentIndex(), 1);
  for (int n : {7, 12, 19, 23, 28, 31, 36, 40, 3, 44}) click(numberbuttons[n]);
  save(form, 2);

  QElapsedTimer clock;
  clock.start();
  click(form.SpeedButtonnext);
  const qint64 offerMs = clock.elapsed();
  ASSERT_EQ(form.PageControl1->currentIndex(), 2);
  const int entry = form.ComboBox2->findText("4if5", Qt::MatchStartsWith);
  ASSERT_GE(entry, 0) << "no wheel 4if5 for ten numbers";
  form.ComboBox2->setCurrentIndex(entry);
  save(form, 3);

  // "What it pays..." of that wheel, once counted.
  clock.restart();
  desktop.onModal = [&](QDialog& dialog) {
    auto& window = dynamic_cast<Twintableform&>(dialog);
    window.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.finished(); }, 60000));
    QTest::qWait(200);
    const QString file = QStringLiteral("%1/wintable.png").arg(QString::fromLocal8Bit(folder));
    EXPECT_TRUE(window.grab().save(file, "PNG")) << file.toStdString();
    return int(QDialog::Accepted);
  };
  QTest::mouseClick(form.abbreviatedPaysLink, Qt::LeftButton);
  desktop.onModal = nullptr;
  const qint64 winTableMs = clock.elapsed();

  clock.restart();
  click(form.SpeedButtonbuildticket);
  const qint64 buildMs = clock.elapsed();
  ASSERT_EQ(form.PageControl1->currentIndex(), 3);
  save(form, 4);

  // A draw checked against those tickets.
  desktop.onModal = [&](QDialog& dialog) {
    auto& check = dynamic_cast<Tcheckdrawform&>(dialog);
    check.show();
    check.drawEdit->setText("7 12 19 23 40 5");
    QTest::mouseClick(check.okButton, Qt::LeftButton);
    return check.result();
  };
  click(form.checkDrawButton);
  desktop.onModal = nullptr;
  QCoreApplication::processEvents();
  const QString checked = QStringLiteral("%1/checkdraw.png").arg(QString::fromLocal8Bit(folder));
  EXPECT_TRUE(form.grab().save(checked, "PNG")) << checked.toStdString();
  EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join("|").toStdString();
  std::printf("wheel offer %lld ms, win table window %lld ms, build of %s tickets %lld ms\n",
              static_cast<long long>(offerMs), static_cast<long long>(winTableMs),
              form.Label20->text().toUtf8().constData(), static_cast<long long>(buildMs));
}

}  // namespace
