// The wheel survey and the wheels' tickets read from the catalogue's tables:
// which rows a query takes, in which order, and where a walk stops.
#include <QCoreApplication>
#include <stdexcept>

#include <gtest/gtest.h>

#include "Unit1.h"
#include "recordingdesktop.h"
#include "testcatalogue.h"
#include "tomedb/TomeDB.h"
#include "wheels/tablecatalogue.h"

namespace {

// A catalogue of a few wheels that differ in one field each from the wheel
// (6, "a", "4if5", 10), opened the way the main window opens it.
class TableCatalogue : public ::testing::Test {
 protected:
  TestCatalogue files;
  TTomeTable wheels;
  TTomeTable survey;

  void SetUp() override {
    files.addWheel(6, "a", "4if5", 10, {"03-04-06-07-08-10", "01-02-03-04-05-09", "02-05-06-07-08-10"});
    files.addWheel(6, "a", "4if5", 9, {"01-02-03-04-05-06"});
    files.addWheel(5, "a", "4if5", 10, {"01-02-03-04-05"});
    files.addWheel(6, "k", "4if5", 10, {"01-02-03-04-05-06", "01-07-08-09-10-02"});
    files.addWheel(6, "a", "3if5", 10, {"01-02-03-04-05-06"}, 2);
    files.addWheel(6, "a", "4if'5", 10, {"01-02-03-04-05-07"});
    open(wheels, "wheels", "pickindex");
    open(survey, "wheelssurvey", "");
  }

  void open(TTomeTable& table, const char* name, const char* index) {
    table.SetDatabaseName(files.path().toStdString());
    table.SetPassword(kCataloguePassword);
    table.SetTableName(name);
    table.SetIndexName(index);
    table.Open();
  }

  static QStringList formulas(const std::vector<WheelSurveyRow>& rows) {
    QStringList texts;
    for (const WheelSurveyRow& row : rows)
      texts << QStringLiteral("%1/%2/%3/%4/%5").arg(row.pick).arg(row.wheeltype, row.xyoption).arg(row.zoption).arg(row.ticket);
    return texts;
  }
  QStringList patterns(int pick, const QString& type, const QString& formula, int zoption, int stopAfter = 1000) {
    TableWheelCatalogue catalogue(&wheels, &survey);
    QStringList seen;
    catalogue.walkPatterns(pick, type, formula, zoption, [&](const QString& pattern) {
      seen << pattern;
      return seen.size() < stopAfter;
    });
    return seen;
  }
};

TEST_F(TableCatalogue, TheSurveyOffersTheRowsOfOnePickTypeAndCountInStoredOrder) {
  TableWheelCatalogue catalogue(&wheels, &survey);
  EXPECT_EQ(formulas(catalogue.surveyEntries(6, "a", 10)),
            (QStringList{"6/a/4if5/10/3", "6/a/3if5/10/2", "6/a/4if'5/10/1"}));
  EXPECT_EQ(formulas(catalogue.surveyEntries(6, "k", 10)), QStringList{"6/k/4if5/10/2"});
  EXPECT_EQ(formulas(catalogue.surveyEntries(6, "a", 9)), QStringList{"6/a/4if5/9/1"});
  EXPECT_TRUE(catalogue.surveyEntries(7, "a", 10).empty());
  EXPECT_TRUE(catalogue.surveyEntries(6, "A", 10).empty());
  // The query leaves its text on the table, as the window's own queries do.
  EXPECT_EQ(survey.Filter(), "pick= 6 and  wheeltype='A' and  zoption= 10");
}

TEST_F(TableCatalogue, AWheelsPatternsComeInIndexOrderAndStopWhenAsked) {
  EXPECT_EQ(patterns(6, "a", "4if5", 10),
            (QStringList{"01-02-03-04-05-09", "02-05-06-07-08-10", "03-04-06-07-08-10"}));
  EXPECT_EQ(patterns(6, "a", "4if5", 10, 2), (QStringList{"01-02-03-04-05-09", "02-05-06-07-08-10"}));
  EXPECT_EQ(patterns(6, "k", "4if5", 10), (QStringList{"01-02-03-04-05-06", "01-07-08-09-10-02"}));
  EXPECT_EQ(patterns(6, "a", "4if'5", 10), QStringList{"01-02-03-04-05-07"});
  EXPECT_TRUE(patterns(6, "a", "4if6", 10).isEmpty());
  EXPECT_TRUE(patterns(6, "a", "4if5", 11).isEmpty());
  EXPECT_EQ(wheels.Filter(), "pick=6 and  wheeltype='a' and  xyoption='4if5' and zoption=11");
}

TEST_F(TableCatalogue, ClosedTablesAreNamedInTheError) {
  survey.Close();
  wheels.Close();
  TableWheelCatalogue catalogue(&wheels, &survey);
  try {
    catalogue.surveyEntries(6, "a", 10);
    FAIL() << "a closed survey was read";
  } catch (const std::exception& error) {
    EXPECT_STREQ(error.what(), "The wheel table 'wheelssurvey' of the catalogue is not open.");
  }
  EXPECT_THROW(patterns(6, "a", "4if5", 10), std::runtime_error);
}

TEST(MainWindowWheels, TheWindowReadsItsWheelsOnlyWhileTheCatalogueIsOpen) {
  RecordingDesktop desktop;
  {
    TestCatalogue files;
    TForm1 form(nullptr, files.directory());
    ASSERT_NE(form.wheelCatalogue, nullptr);
    EXPECT_TRUE(form.wheelCatalogue->surveyEntries(6, "a", 10).empty());
    form.closeCatalogue();
    EXPECT_EQ(form.wheelCatalogue, nullptr);
  }
  {
    QTemporaryDir nothing;
    TForm1 form(nullptr, nothing.path());
    EXPECT_EQ(form.wheelCatalogue, nullptr);
    EXPECT_EQ(desktop.messages.size(), 1);
  }
}

}  // namespace
