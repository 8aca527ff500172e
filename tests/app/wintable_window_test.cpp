// "What it pays...": the win table window opened from page 3, its tables and
// chart against the analysis run here, and cancelling a long count.
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <algorithm>
#include <numeric>
#include <random>

#include "platform/controls.h"
#include "wheelfixture.h"
#include "wheels/wintableunit.h"

namespace {

const QStringList kFive = {"1-2-3-4-5-6", "01-03-05-07-02-04", "2-4-6-1-3-5", "7-6-5-4-3-2"};

// The positions of a pattern as a mask, read here without the wizard's code.
uint64_t maskOf(const QString& pattern) {
  uint64_t mask = 0;
  for (const QString& position : pattern.split('-')) mask |= uint64_t{1} << (position.toInt() - 1);
  return mask;
}

class WinTableWindow : public WheelFixture {
 protected:
  // Opens the window from the link of the abbreviated or key tab and hands
  // it, shown, to `inspect`.
  void open(TClickLabel* link, const std::function<void(Twintableform&)>& inspect) {
    bool opened = false;
    desktop.onModal = [&](QDialog& dialog) {
      auto& window = dynamic_cast<Twintableform&>(dialog);
      window.show();
      opened = true;
      inspect(window);
      return int(QDialog::Accepted);
    };
    QTest::mouseClick(link, Qt::LeftButton);
    desktop.onModal = nullptr;
    EXPECT_TRUE(opened);
  }
  static QString text(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : "<none>";
  }
};

TEST_F(WinTableWindow, ShowsTheTableAndTheChancesOfTheChosenWheel) {
  catalogue.addWheel(6, "a", "3if3", 7, kFive);
  toPageThree();
  ASSERT_TRUE(form.abbreviatedPaysLink->isVisible());
  std::vector<uint64_t> masks;
  for (const QString& pattern : kFive) masks.push_back(maskOf(pattern));
  const WinTable expected = computeWinTable(7, 6, masks, KeyCount::anyPosition);
  open(form.abbreviatedPaysLink, [&](Twintableform& window) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.finished(); }, 10000));
    ASSERT_TRUE(window.report());
    EXPECT_TRUE(window.titleLabel->text().contains("\"3if3\" with 4 tickets over your 7 numbers"));
    EXPECT_FALSE(window.cancelButton->isVisible());
    ASSERT_EQ(window.tables->count(), 2);
    const auto* ways = dynamic_cast<QTableWidget*>(window.tables->widget(0));
    ASSERT_NE(ways, nullptr);
    ASSERT_EQ(ways->rowCount(), 7);  // h = 0..6
    for (int h = 0; h <= 6; ++h) {
      EXPECT_EQ(text(ways, h, 1), QString::number(expected.sets[h]));
      for (int j = 0; j <= 6; ++j) EXPECT_EQ(text(ways, h, 2 + j), QString::number(expected.ways[h][j])) << h << j;
      EXPECT_EQ(text(ways, h, 9), QString::number(expected.guaranteed(h)));
    }
    // {1, 6, 7} lies on no ticket whole, but two of any three do.
    EXPECT_EQ(text(ways, 3, 9), "2");
    for (int j = 1; j <= 6; ++j) {
      EXPECT_EQ(text(window.chancesTable, j - 1, 1), QString::fromStdString(oddsText(chanceOfPrize(expected, 49, j))));
      EXPECT_EQ(text(window.chancesTable, j - 1, 2),
                QString::fromStdString(oddsText(chanceOfPrizeRandom(49, 6, 4, j))));
    }
    ASSERT_NE(window.chartView->chart(), nullptr);
    const QList<QAbstractSeries*> series = window.chartView->chart()->series();
    ASSERT_EQ(series.size(), 2);
    EXPECT_EQ(static_cast<QLineSeries*>(series[0])->count(), 6);
    EXPECT_EQ(series[1]->name(), "4 random tickets");
  });
  EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join("|").toStdString();
}

TEST_F(WinTableWindow, AKeyWheelIsCountedWithTheKeyDrawnAndNot) {
  catalogue.addWheel(6, "k", "3if4", 7, {"1-2-3-4-5-6", "2-1-3-4-5-7", "3-4-1-5-6-7", "7-6-5-4-3-01"});
  toPageThree();
  form.PageControl2->setCurrentIndex(1);
  open(form.keyPaysLink, [&](Twintableform& window) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.finished(); }, 10000));
    ASSERT_EQ(window.tables->count(), 4);
    EXPECT_EQ(window.tables->tabText(0), "Win table, key drawn");
    EXPECT_EQ(window.tables->tabText(2), "Win table, key not drawn");
    EXPECT_TRUE(window.titleLabel->text().contains("(key 17)"));
  });
}

TEST_F(WinTableWindow, NoWheelNoWindow) {
  toPageThree();  // nothing offered
  QTest::mouseClick(form.abbreviatedPaysLink, Qt::LeftButton);
  EXPECT_EQ(desktop.messages, QStringList{"No Ticket!"});
  EXPECT_TRUE(desktop.dialogs.isEmpty());
}

TEST_F(WinTableWindow, ALongCountShowsProgressAndStopsOnCancelOrClose) {
  // 2,000 tickets of six over thirty chosen numbers: seconds of counting.
  std::mt19937 generator(7);
  QStringList patterns;
  for (int t = 0; t < 2000; ++t) {
    std::vector<int> positions(30);
    std::iota(positions.begin(), positions.end(), 1);
    std::shuffle(positions.begin(), positions.end(), generator);
    QStringList pattern;
    for (int i = 0; i < 6; ++i) pattern << QString::number(positions[i]);
    patterns << pattern.join('-');
  }
  catalogue.addWheel(6, "a", "3if6", 30, patterns);
  QList<int> numbers;
  for (int n = 1; n <= 30; ++n) numbers << n;
  toPageThree(numbers);
  QElapsedTimer clock;
  open(form.abbreviatedPaysLink, [&](Twintableform& window) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.progressBar->value() > 0; }, 10000));
    EXPECT_FALSE(window.finished());
    EXPECT_TRUE(window.cancelButton->isVisible());
    clock.start();
    QTest::mouseClick(window.cancelButton, Qt::LeftButton);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(window.finished());
    EXPECT_FALSE(window.report());
    EXPECT_EQ(window.stateLabel->text(), "Cancelled: nothing was counted.");
    EXPECT_EQ(window.tables->count(), 0);
  });
  // Closed while still counting: the window goes at once.
  open(form.abbreviatedPaysLink, [&](Twintableform& window) {
    EXPECT_FALSE(window.finished());
    clock.start();
  });
  EXPECT_LT(clock.elapsed(), 1000);
}

}  // namespace
