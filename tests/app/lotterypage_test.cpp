// Page 1 on real catalogues made at test time: start-up, the country combo
// with its flags, the lottery list of a typed or chosen country, start-up
// with a missing or broken data.dat, and the shipped catalogue.
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "Unit1.h"
#include "catalogue/flags.h"
#include "globalunit.h"
#include "platform/pagecontrol.h"
#include "recordingdesktop.h"
#include "testcatalogue.h"

namespace {

// Stored out of alphabetical order: the combo follows "countryindex".
const std::vector<std::string> kCountries = {"Spain", "Australia", "United States", "Germany"};
const std::vector<TestLottery> kLotteries = {
    {"United States", "Powerball", 69, 5}, {"Spain", "La Primitiva", 49, 6}, {"Australia", "Saturday Lotto", 45, 6},
    {"Spain", "Bonoloto", 49, 6},          {"Australia", "Oz Lotto", 47, 7}, {"United States", "Mega Millions", 70, 5},
};

QStringList comboTexts(const QComboBox* combo) {
  QStringList texts;
  for (int k = 0; k < combo->count(); ++k) texts << combo->itemText(k);
  return texts;
}

bool samePicture(const QIcon& icon, const QPixmap& picture) {
  return !icon.isNull() && icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32) ==
                               picture.toImage().convertToFormat(QImage::Format_ARGB32);
}

class LotteryPage : public ::testing::Test {
 protected:
  RecordingDesktop desktop;
  TestCatalogue catalogue{kCountries, kLotteries};
  TForm1 form{nullptr, catalogue.directory()};

  void SetUp() override {
    form.show();
    QCoreApplication::processEvents();
  }
  // Types `text` into the country combo key by key, after emptying it.
  void type(const QString& text) {
    form.ComboBoxEx1->lineEdit()->clear();
    QTest::keyClicks(form.ComboBoxEx1->lineEdit(), text);
  }
};

TEST_F(LotteryPage, StartsWithTheFirstCountryItsLotteriesNoneSelectedAndItsFlagASecondLater) {
  EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join("|").toStdString();
  EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("|").toStdString();
  EXPECT_EQ(comboTexts(form.ComboBoxEx1), QStringList({"Australia", "Germany", "Spain", "United States"}));
  EXPECT_EQ(form.ComboBoxEx1->currentText(), "Australia");
  EXPECT_EQ(form.ComboBoxEx1->currentIndex(), -1) << "no entry selected yet";
  EXPECT_EQ(lotteryRows(form.ListView3), QStringList({"Oz Lotto|47|7", "Saturday Lotto|45|6"}));
  EXPECT_TRUE(form.ListView3->selectedItems().isEmpty());
  EXPECT_EQ(form.selection.randomListBox.size(), 49);
  EXPECT_TRUE(form.TomeDatabase1->Connected());
  for (TTomeTable* table : {form.TomeTable1, form.TomeTable2, form.TomeTable3, form.TomeTable4})
    EXPECT_TRUE(table->Active()) << table->Name();
  EXPECT_EQ(form.TomeDatabase1->SessionName(), "Default");

  // Entry i shows picture i of the image list.
  ASSERT_EQ(form.ImageList1.size(), 18);
  for (int k = 0; k < form.ComboBoxEx1->count(); ++k)
    EXPECT_TRUE(samePicture(form.ComboBoxEx1->itemIcon(k), form.ImageList1[k])) << k;

  ASSERT_TRUE(form.Timer1->isActive());
  EXPECT_EQ(form.Timer1->interval(), 1000);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form.Timer1->isActive(); }, 3000));
  EXPECT_EQ(form.ComboBoxEx1->currentIndex(), 0);
  EXPECT_EQ(form.ComboBoxEx1->currentText(), "Australia");
  EXPECT_EQ(lotteryRows(form.ListView3), QStringList({"Oz Lotto|47|7", "Saturday Lotto|45|6"}));

  QTest::mouseClick(form.SpeedButtonnext, Qt::LeftButton);
  EXPECT_EQ(desktop.messages, QStringList{"You have to choose a lottery!"});
  EXPECT_EQ(form.PageControl1->currentIndex(), 0);
}

TEST_F(LotteryPage, ListsTheLotteriesOfExactlyTheCountryTyped) {
  type(" Spain  ");  // blanks around the name are removed
  EXPECT_EQ(lotteryRows(form.ListView3), QStringList({"Bonoloto|49|6", "La Primitiva|49|6"}));
  type("spain");  // letter case counts
  EXPECT_TRUE(lotteryRows(form.ListView3).isEmpty());
  type("Atlantis");
  EXPECT_TRUE(lotteryRows(form.ListView3).isEmpty());
  type("Germany");  // a country without lotteries
  EXPECT_TRUE(lotteryRows(form.ListView3).isEmpty());
  type("Uni*");  // a star is part of the name, not a wildcard
  EXPECT_TRUE(lotteryRows(form.ListView3).isEmpty());
  type("Spain'");  // a quote makes no broken query: simply no such country
  EXPECT_TRUE(lotteryRows(form.ListView3).isEmpty());
  EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join("|").toStdString();
  EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("|").toStdString();
  EXPECT_EQ(form.ComboBoxEx1->count(), 4) << "typing adds no entry";

  QTest::mouseClick(form.SpeedButtonnext, Qt::LeftButton);  // nothing listed, nothing selected
  EXPECT_EQ(desktop.messages, QStringList{"You have to choose a lottery!"});
}

TEST_F(LotteryPage, ACountryTypedBeforeTheFirstFlagShowsStays) {
  ASSERT_TRUE(form.Timer1->isActive());
  type("Spain");
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form.Timer1->isActive(); }, 3000));
  EXPECT_EQ(form.ComboBoxEx1->currentText(), "Spain");
  EXPECT_EQ(lotteryRows(form.ListView3), QStringList({"Bonoloto|49|6", "La Primitiva|49|6"}));
}

TEST_F(LotteryPage, ATypedCountryShowsItsOwnFlagOrNone) {
  form.ComboBoxEx1->setCurrentIndex(1);  // Germany, chosen from the list
  type("Spain");
  EXPECT_EQ(form.ComboBoxEx1->currentIndex(), 2);
  EXPECT_TRUE(samePicture(form.ComboBoxEx1->itemIcon(form.ComboBoxEx1->currentIndex()), form.ImageList1[2]));
  type("Turkey");  // not in the catalogue: no flag at all
  EXPECT_EQ(form.ComboBoxEx1->currentIndex(), -1);
  EXPECT_EQ(form.ComboBoxEx1->currentText(), "Turkey");
  type(" United States ");  // blanks around it, kept as typed
  EXPECT_EQ(form.ComboBoxEx1->currentIndex(), 3);
  EXPECT_EQ(form.ComboBoxEx1->currentText(), " United States ");
  EXPECT_EQ(form.ComboBoxEx1->lineEdit()->cursorPosition(), 15);
  EXPECT_EQ(lotteryRows(form.ListView3), QStringList({"Mega Millions|70|5", "Powerball|69|5"}));
  type("united states");  // letter case counts, as for the list
  EXPECT_EQ(form.ComboBoxEx1->currentIndex(), -1);
  EXPECT_EQ(form.ComboBoxEx1->count(), 4);
}

TEST_F(LotteryPage, AChosenCountryListsItsLotteriesAndNextTakesTheSelectedOne) {
  form.ComboBoxEx1->setCurrentIndex(3);  // as picked from the drop-down list
  EXPECT_EQ(lotteryRows(form.ListView3), QStringList({"Mega Millions|70|5", "Powerball|69|5"}));
  lotterychanged = false;
  form.ListView3->setCurrentItem(form.ListView3->topLevelItem(1));
  EXPECT_TRUE(lotterychanged);
  QTest::mouseClick(form.SpeedButtonnext, Qt::LeftButton);
  EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join("|").toStdString();
  EXPECT_EQ(form.PageControl1->currentIndex(), 1);
  EXPECT_EQ(numbercount, 69);
  EXPECT_EQ(wizardstate.pick, 5);
}

TEST_F(LotteryPage, TheSelectedRowIsPaintedHighlightedWithAndWithoutTheFocus) {
  form.ListView3->setCurrentItem(form.ListView3->topLevelItem(0));
  const QColor highlight = form.ListView3->palette().color(QPalette::Active, QPalette::Highlight);
  const QRect row = form.ListView3->visualItemRect(form.ListView3->topLevelItem(0));
  const QRect other = form.ListView3->visualItemRect(form.ListView3->topLevelItem(1));
  const int x = form.ListView3->viewport()->width() - 20;  // the empty end of the Match column
  for (bool focused : {true, false}) {
    if (focused) form.ListView3->setFocus();
    else form.SpeedButton2->setFocus();
    QCoreApplication::processEvents();
    const QImage picture = form.ListView3->viewport()->grab().toImage();
    EXPECT_EQ(QColor(picture.pixel(x, row.center().y())), highlight) << "focused " << focused;
    EXPECT_NE(QColor(picture.pixel(x, other.center().y())), highlight) << "focused " << focused;
  }
}

TEST_F(LotteryPage, ClosingTheWindowClosesTheCatalogue) {
  form.close();
  EXPECT_FALSE(form.TomeDatabase1->Connected());
  EXPECT_FALSE(form.TomeTable2->Active());
  EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("|").toStdString();
}

// The flags are the catalogue's pictures, one for each country of the
// catalogue's sources in their order, drawn 32 x 32 keeping the 4:3 ratio.
TEST(FlagPictures, FollowTheCataloguesCountriesAndFillTheirPictures) {
  QFile sources(QStringLiteral(NUMERION_CATALOGUE_DIR "/countries.txt"));
  ASSERT_TRUE(sources.open(QIODevice::ReadOnly | QIODevice::Text));
  QStringList names;
  QStringList codes;
  for (const QString& line : QString::fromUtf8(sources.readAll()).split(QLatin1Char('\n'))) {
    if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    names << line.section(QLatin1Char('|'), 0, 0);
    codes << line.section(QLatin1Char('|'), 1, 1);
  }
  EXPECT_EQ(flagCountries(), names);
  const QList<QPixmap> pictures = flagPictures();
  ASSERT_EQ(pictures.size(), codes.size());
  for (int k = 0; k < pictures.size(); ++k) {
    EXPECT_EQ(flagResource(k), ":/flags/" + codes[k] + ".svg");
    const QImage image = pictures[k].toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(32, 32)) << codes[k].toStdString();
    EXPECT_EQ(qAlpha(image.pixel(16, 1)), 0) << codes[k].toStdString() << ": the band above is empty";
    EXPECT_EQ(qAlpha(image.pixel(16, 30)), 0) << codes[k].toStdString() << ": the band below is empty";
    EXPECT_EQ(qAlpha(image.pixel(1, 16)), 255) << codes[k].toStdString() << ": drawn to the left edge";
    EXPECT_EQ(qAlpha(image.pixel(30, 16)), 255) << codes[k].toStdString() << ": drawn to the right edge";
  }
  const QImage missing = renderFlag(QStringLiteral(":/flags/none.svg")).toImage();
  bool transparent = true;
  for (int y = 0; y < missing.height(); ++y)
    for (int x = 0; x < missing.width(); ++x) transparent = transparent && qAlpha(missing.pixel(x, y)) == 0;
  EXPECT_TRUE(transparent) << "a picture that cannot be read is left empty";
}

// Start-up with a catalogue the program cannot use: one message box with the
// engine's error, then a working window with empty lists.
struct BrokenStart {
  const char* what;
  std::function<void(const QString& path)> breakIt;
  const char* expected;  // part of the message
};

TEST(StartUp, WithoutAUsableCatalogueReportsOnceAndOpensWithEmptyLists) {
  const QList<BrokenStart> cases = {
      {"missing", [](const QString& path) { QFile::remove(path); }, "data.dat"},
      {"not a database",
       [](const QString& path) {
         QFile file(path);
         ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
         file.write(QByteArray(4096, 'x'));
       },
       ""},
      {"cut short",
       [](const QString& path) {
         QFile file(path);
         ASSERT_TRUE(file.open(QIODevice::ReadWrite));
         ASSERT_TRUE(file.resize(file.size() / 3));
       },
       ""},
      {"another password",
       [](const QString& path) {
         TDatabaseSchema schema = CatalogueSchema();
         schema.password = "wrong1";
         CreateDatabaseFile(schema, path.toStdString(), true);
       },
       "Access denied"},
      {"a table missing",
       [](const QString& path) {
         TDatabaseSchema schema = CatalogueSchema();
         schema.tables.pop_back();
         CreateDatabaseFile(schema, path.toStdString(), true);
       },
       "wheelssurvey"},
  };
  for (const BrokenStart& c : cases) {
    SCOPED_TRACE(c.what);
    TestCatalogue catalogue{{"Spain"}, {{"Spain", "Bonoloto", 49, 6}}};
    c.breakIt(catalogue.path());
    RecordingDesktop desktop;
    TForm1 form(nullptr, catalogue.directory());
    form.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(desktop.messages.size(), 1) << desktop.messages.join("|").toStdString();
    EXPECT_TRUE(desktop.messages[0].contains(QLatin1String(c.expected))) << desktop.messages[0].toStdString();
    EXPECT_TRUE(desktop.messages[0].endsWith("\n\n" + catalogueHint(catalogue.directory())));
    EXPECT_TRUE(catalogueHint(catalogue.directory()).contains(" data.dat in " + catalogue.directory() + ","));
    EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("|").toStdString();
    EXPECT_FALSE(form.TomeDatabase1->Connected());
    for (TTomeTable* table : {form.TomeTable1, form.TomeTable2, form.TomeTable3, form.TomeTable4})
      EXPECT_FALSE(table->Active()) << table->Name();
    EXPECT_EQ(form.ComboBoxEx1->count(), 0);
    EXPECT_TRUE(form.ComboBoxEx1->currentText().isEmpty());
    EXPECT_EQ(form.ListView3->topLevelItemCount(), 0);
    EXPECT_TRUE(form.selection.randomListBox.isEmpty()) << "the steps after the failure are skipped";
    EXPECT_EQ(form.PageControl1->currentIndex(), 0);

    // The window works: typing, Next and the new lottery dialog answer.
    QTest::keyClicks(form.ComboBoxEx1->lineEdit(), "Spain");
    EXPECT_EQ(form.ListView3->topLevelItemCount(), 0);
    desktop.messages.clear();
    QTest::mouseClick(form.SpeedButtonnext, Qt::LeftButton);
    EXPECT_EQ(desktop.messages, QStringList{"You have to choose a lottery!"});
    desktop.onModal = [](QDialog& dialog) {
      QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);  // "&Ok", the first button
      return dialog.result();
    };
    desktop.messages.clear();
    QTest::mouseClick(form.SpeedButton2, Qt::LeftButton);
    EXPECT_EQ(desktop.dialogs, QStringList{"Tnewlottoform"});
    EXPECT_EQ(desktop.messages, QStringList{"The catalogue data.dat could not be opened, so no lottery can be added."});
    EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("|").toStdString();
    form.close();
  }
}

// A lottery table whose field "match" has another name: the query fails on
// its first record. At start-up that is reported; while the user changes the
// country it is not, and the list keeps what it had.
TEST(StartUp, AFailingLotteryQueryIsReportedWhenShownAndSwallowedOnAChange) {
  TestCatalogue catalogue;
  TDatabaseSchema schema = CatalogueSchema();
  for (TSchemaTable& table : schema.tables)
    for (TSchemaField& field : table.fields)
      if (field.name == "match") field.name = "pick";
  CreateDatabaseFile(schema, catalogue.path().toStdString(), true);
  {
    TTomeTable country;
    country.SetDatabaseName(catalogue.path().toStdString());
    country.SetPassword(kCataloguePassword);
    country.SetTableName("country");
    country.Open();
    country.AppendRecord({Variant("Spain")});
    TTomeTable lottery;
    lottery.SetDatabaseName(catalogue.path().toStdString());
    lottery.SetTableName("lottery");
    lottery.Open();
    lottery.AppendRecord({Variant("Spain"), Variant("Bonoloto"), Variant(49)});
  }
  RecordingDesktop desktop;
  TForm1 form(nullptr, catalogue.directory());
  form.show();
  QCoreApplication::processEvents();
  ASSERT_EQ(desktop.messages.size(), 1) << desktop.messages.join("|").toStdString();
  EXPECT_TRUE(desktop.messages[0].contains("Field 'match' not found")) << desktop.messages[0].toStdString();
  EXPECT_EQ(form.ComboBoxEx1->currentText(), "Spain");
  EXPECT_EQ(form.ListView3->topLevelItemCount(), 0);
  form.ComboBoxEx1->lineEdit()->clear();
  QTest::keyClicks(form.ComboBoxEx1->lineEdit(), "Spain");
  EXPECT_EQ(desktop.messages.size(), 1) << desktop.messages.join("|").toStdString();
  EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("|").toStdString();
  EXPECT_EQ(form.ListView3->topLevelItemCount(), 0);
}

// The catalogue the build places beside the program, opened as the program
// opens it: its 18 countries in the order of the flags, each with lotteries.
TEST(ShippedCatalogue, ListsTheEighteenCountriesWithTheirLotteries) {
  const QString path = QStringLiteral(NUMERION_SHIPPED_CATALOGUE);
  ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
  QFile before(path);
  ASSERT_TRUE(before.open(QIODevice::ReadOnly));
  const QByteArray bytes = before.readAll();
  before.close();
  {
    RecordingDesktop desktop;
    TForm1 form(nullptr, QFileInfo(path).absolutePath());
    form.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join("|").toStdString();
    EXPECT_EQ(comboTexts(form.ComboBoxEx1), flagCountries());
    for (int k = 0; k < form.ComboBoxEx1->count(); ++k) {
      form.ComboBoxEx1->setCurrentIndex(k);
      const QString country = form.ComboBoxEx1->itemText(k);
      EXPECT_TRUE(samePicture(form.ComboBoxEx1->itemIcon(k), form.ImageList1[k])) << country.toStdString();
      EXPECT_GE(form.ListView3->topLevelItemCount(), 1) << country.toStdString();
      for (const QString& row : lotteryRows(form.ListView3)) {
        const int from = row.section('|', 1, 1).toInt();
        const int match = row.section('|', 2, 2).toInt();
        EXPECT_TRUE(from >= 1 && from <= 100 && match >= 5 && match <= 7) << row.toStdString();
      }
    }
    EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("|").toStdString();
  }
  QFile after(path);
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_TRUE(after.readAll() == bytes) << "reading the catalogue leaves it as built";
}

}  // namespace
