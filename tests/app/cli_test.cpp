// numerion-cli's commands run in the test process: tickets equal to the
// wizard's for the same choice on the shipped catalogue, the win table as
// tab-separated lines, the check of a hand-made ticket file, and the one line
// and exit status 2 of each kind of bad input.
#include <QFile>
#include <QFileInfo>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <sstream>

#include "cli.h"
#include "output/ticketoutput.h"
#include "wizardfixture.h"

namespace {

const QString kShipped = QStringLiteral(NUMERION_SHIPPED_CATALOGUE);

struct CliResult {
  int status;
  std::string out, err;
};

CliResult cliRun(QStringList arguments, bool withCatalogue = true) {
  if (withCatalogue) arguments << "--catalogue" << kShipped;
  std::ostringstream out, err;
  const int status = cli::run(arguments, QFileInfo(kShipped).absolutePath(), out, err);
  return {status, out.str(), err.str()};
}

QStringList linesOf(const std::string& text) {
  QStringList lines = QString::fromStdString(text).split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

// The wizard on the shipped catalogue: the first country's first lottery of
// six numbers, ten numbers chosen in this order.
class CliAndWizard : public ::testing::Test {
 protected:
  RecordingDesktop desktop;
  TForm1 form{nullptr, QFileInfo(kShipped).absolutePath()};
  QString country, lottery;
  const QList<int> numbers = {7, 12, 19, 23, 28, 31, 36, 40, 3, 44};

  void SetUp() override {
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.Timer1->isActive(); }, 3000));
    int row = 0;
    while (row < form.ListView3->topLevelItemCount() && form.ListView3->topLevelItem(row)->text(2) != "6") ++row;
    ASSERT_LT(row, form.ListView3->topLevelItemCount());
    country = form.ComboBoxEx1->currentText();
    lottery = form.ListView3->topLevelItem(row)->text(0);
    form.ListView3->setCurrentItem(form.ListView3->topLevelItem(row));
    QTest::mouseClick(form.SpeedButtonnext, Qt::LeftButton);
    for (int n : numbers) QTest::mouseClick(numberbuttons[n], Qt::LeftButton);
    QTest::mouseClick(form.SpeedButtonnext, Qt::LeftButton);
    ASSERT_EQ(form.PageControl1->currentIndex(), 2);
  }
  QStringList selection(const QString& wheel) const {
    QStringList chosen;
    for (int n : numbers) chosen << QString::number(n);
    return {"--country", country, "--lottery", lottery, "--numbers", chosen.join(','), "--wheel", wheel};
  }
};

TEST_F(CliAndWizard, TicketsAreTheWizards) {
  // Abbreviated 4if5 in format 4, then the first key wheel in format 8.
  QTest::mouseClick(form.RadioButton6, Qt::LeftButton);
  const int entry = form.ComboBox2->findText("4if5", Qt::MatchStartsWith);
  ASSERT_GE(entry, 0);
  form.ComboBox2->setCurrentIndex(entry);
  const CliResult offered = cliRun({"wheels", "--country", country, "--lottery", lottery, "--count", "10"});
  QStringList entries;
  for (int i = 0; i < form.ComboBox2->count(); ++i) entries << form.ComboBox2->itemText(i);
  EXPECT_EQ(linesOf(offered.out), entries);
  QTest::mouseClick(form.SpeedButtonbuildticket, Qt::LeftButton);
  ASSERT_EQ(form.PageControl1->currentIndex(), 3);
  const CliResult abbreviated = cliRun(QStringList{"tickets"} + selection("4if5") + QStringList{"--format", "4"});
  EXPECT_EQ(abbreviated.status, 0) << abbreviated.err;
  EXPECT_EQ(linesOf(abbreviated.out), form.ticketTexts());

  QTest::mouseClick(form.SpeedButtonprevious, Qt::LeftButton);
  QTest::mouseClick(form.RadioButton10, Qt::LeftButton);
  form.PageControl2->setCurrentIndex(1);
  ASSERT_GT(form.ComboBox3->count(), 0);
  const QString keyFormula = form.ComboBox3->currentText().section(' ', 0, 0);
  QTest::mouseClick(form.SpeedButtonbuildticket, Qt::LeftButton);
  ASSERT_EQ(form.PageControl1->currentIndex(), 3);
  QTemporaryDir dir;
  const QString out = dir.filePath("key.txt");
  const CliResult key = cliRun(QStringList{"tickets"} + selection(keyFormula) +
                         QStringList{"--type", "k", "--format", "8", "--out", out});
  EXPECT_EQ(key.status, 0) << key.err;
  QFile saved(out);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(linesOf(saved.readAll().toStdString()), form.ticketTexts());
  for (const QString& ticket : form.ticketTexts())
    EXPECT_TRUE(ticket.split(", ").contains("07")) << "the key is on every ticket: " << ticket.toStdString();
}

TEST_F(CliAndWizard, TheReportKeepsTheFormulaAndCountsEverySet) {
  const CliResult report = cliRun(QStringList{"report"} + selection("4if5") + QStringList{"--format", "tsv"});
  ASSERT_EQ(report.status, 0) << report.err;
  const QStringList lines = linesOf(report.out);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines[0], "drawn_among_chosen\tbest_hits\tways");
  // h = 0..6, j = 0..6: the ways of each h add up to C(10, h), and five of
  // the chosen drawn always leave four on one ticket.
  const quint64 sets[] = {1, 10, 45, 120, 210, 252, 210};
  quint64 sums[7] = {};
  for (int i = 1; i <= 49; ++i) {
    const QStringList fields = lines[i].split('\t');
    ASSERT_EQ(fields.size(), 3) << lines[i].toStdString();
    const int h = fields[0].toInt(), j = fields[1].toInt();
    sums[h] += fields[2].toULongLong();
    if (h == 5 && j < 4) {
      EXPECT_EQ(fields[2], "0") << lines[i].toStdString();
    }
  }
  for (int h = 0; h <= 6; ++h) EXPECT_EQ(sums[h], sets[h]) << h;
  EXPECT_EQ(lines[50], "drawn_among_chosen\thits\ttickets_worst\ttickets_average");
  EXPECT_TRUE(lines.contains("prize_hits\twheel_chance\trandom_chance"));
  const CliResult text = cliRun(QStringList{"report"} + selection("4if5"));
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("h=5 | 252 |"), std::string::npos) << text.out;
}

TEST(Cli, ChecksAHandMadeTicketFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath("tickets.txt");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("1 2 3 4 5 6\n01-07-08-09-10-11\n\n20, 21, 22, 23, 24, 25\n");
  file.close();
  const CliResult run = cliRun({"check", "--tickets", path, "--draw", "1,7,8,9,10,2"}, false);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(linesOf(run.out), (QStringList{"1\t1 2 3 4 5 6\t2 hits", "2\t01-07-08-09-10-11\t5 hits",
                                          "3\t20, 21, 22, 23, 24, 25\t0 hits", "1 ticket with 5, 1 with 2, 1 with 0"}));
  EXPECT_TRUE(run.err.empty());

  const CliResult wrongSize = cliRun({"check", "--tickets", path, "--draw", "1,7,8,9,10"}, false);
  EXPECT_EQ(wrongSize.status, 2);
  EXPECT_EQ(wrongSize.err, "numerion-cli: the draw \"1,7,8,9,10\": The lottery draws 6 numbers, not 5 numbers.\n");
  const CliResult missing = cliRun({"check", "--tickets", dir.filePath("none.txt"), "--draw", "1,2,3,4,5,6"}, false);
  EXPECT_EQ(missing.status, 1);
  ASSERT_TRUE(file.open(QIODevice::Append));
  file.write("1 2 x 4 5 6\n");
  file.close();
  const CliResult damaged = cliRun({"check", "--tickets", path, "--draw", "1,7,8,9,10,2"}, false);
  EXPECT_EQ(damaged.status, 2);
  EXPECT_NE(damaged.err.find("line 5 of"), std::string::npos) << damaged.err;
}

TEST_F(CliAndWizard, EveryBadInputIsOneLineAndStatusTwo) {
  const QStringList good = selection("4if5");
  const auto with = [&](const QString& option, const QString& value) {
    QStringList arguments = QStringList{"tickets"} + good;
    arguments[arguments.indexOf(option) + 1] = value;
    return arguments;
  };
  struct Case {
    QStringList arguments;
    const char* says;
  };
  const Case cases[] = {
      {with("--country", "Atlantis"), "unknown country \"Atlantis\""},
      {with("--lottery", "Nothing"), "unknown lottery \"Nothing\""},
      {with("--numbers", "7,12,19,23,28,31,36,40,3,99"), "the number 99 is outside 1 to"},
      {with("--numbers", "7,12,19,23,28,31,36,40,3,0"), "the number 0 is outside 1 to"},
      {with("--numbers", "7,12,19,23,28,31,36,40,3,7"), "the number 7 is chosen twice"},
      {with("--numbers", "7,12,19,23,28,31"), "6 numbers are too few"},
      {with("--numbers", "7,12,,19,23,28,31,36,40,3"), "is not a whole number"},
      {with("--wheel", "9if9"), "the abbreviated wheel \"9if9\" is not offered for 10 chosen numbers"},
      {QStringList{"tickets"} + good + QStringList{"--format", "9"}, "--format is a number from 1 to 8"},
      {QStringList{"tickets"} + good + QStringList{"--type", "x"}, "--type is a (abbreviated) or k (key)"},
      {QStringList{"report"} + good + QStringList{"--format", "csv"}, "--format is text or tsv"},
      {{"tickets", "--country", country}, "tickets needs --lottery"},
      {{"wheels", "--country", country, "--lottery", lottery, "--count", "3"}, "--count must lie from 7 to"},
      {{"lotteries", "--country", country, "--bogus", "1"}, "lotteries takes no option --bogus"},
      {{"frobnicate"}, "unknown command \"frobnicate\""},
      {{}, "no command given"},
  };
  for (const Case& c : cases) {
    const CliResult run = cliRun(c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments.join(' ').toStdString();
    EXPECT_TRUE(run.out.empty()) << c.arguments.join(' ').toStdString();
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
  }
  const CliResult noFile = cliRun({"countries", "--catalogue", "/nonexistent/data.dat"}, false);
  EXPECT_EQ(noFile.status, 2);
}

TEST(Cli, HelpOnEveryCommand) {
  for (const char* command : {"countries", "lotteries", "wheels", "tickets", "report", "check"}) {
    const CliResult run = cliRun({command, "--help"}, false);
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_EQ(run.out.rfind(std::string("Usage: numerion-cli ") + command, 0), 0u) << run.out;
  }
  const CliResult top = cliRun({"--help"}, false);
  EXPECT_EQ(top.status, 0);
  EXPECT_NE(top.out.find("report "), std::string::npos);
  const CliResult countries = cliRun({"countries"});
  EXPECT_EQ(countries.status, 0);
  EXPECT_EQ(linesOf(countries.out).size(), 18);
}

}  // namespace
