// The new lottery dialog on a catalogue made at test time: its layout, adding
// lotteries and seeing them listed, duplicates per country, quotes and stars
// in names, the refusals of bad numbers and names, and a lottery surviving
// the catalogue's closing.
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "Unit1.h"
#include "catalogue/flags.h"
#include "catalogue/newlottounit.h"
#include "globalunit.h"
#include "platform/pagecontrol.h"
#include "recordingdesktop.h"
#include "testcatalogue.h"

namespace {

std::string joined(const QStringList& list) { return list.join("|").toStdString(); }

// What the user types into the dialog before pressing "&Ok".
struct Entry {
  QString country = QStringLiteral("United States");
  QString name;
  QString from = QStringLiteral("40");
  QString match = QStringLiteral("5");
};

class NewLottery : public ::testing::Test {
 protected:
  RecordingDesktop desktop;
  TestCatalogue catalogue{{"Australia", "Spain", "United States"},
                          {{"United States", "Powerball", 69, 5}, {"United States", "Lotto America", 52, 5},
                           {"Spain", "Bonoloto", 49, 6}}};
  TForm1 form{nullptr, catalogue.directory()};
  bool accepted = false;

  void SetUp() override {
    form.show();
    QCoreApplication::processEvents();
  }

  // Opens the dialog with "&Create New Lottery", types `entry` and presses
  // "&Ok". Returns whether the dialog closed accepted (after a refusal it
  // stays open with its contents, its result unset).
  bool add(const Entry& entry) {
    int result = -1;
    desktop.onModal = [&](QDialog& dialog) {
      auto& dialogForm = static_cast<Tnewlottoform&>(dialog);
      dialogForm.ComboBox4->setEditText(entry.country);
      dialogForm.Edit1->setText(entry.name);
      dialogForm.ComboBox1->setEditText(entry.from);
      dialogForm.ComboBox2->setEditText(entry.match);
      QTest::mouseClick(dialogForm.Button1, Qt::LeftButton);
      result = dialog.result();
      return result;
    };
    QTest::mouseClick(form.SpeedButton2, Qt::LeftButton);
    desktop.onModal = nullptr;
    return result == QDialog::Accepted;
  }
  Entry named(const QString& name, const QString& country = QStringLiteral("United States")) {
    Entry entry;
    entry.name = name;
    entry.country = country;
    return entry;
  }
  // The rows page 1 lists for `country` typed into the country combo.
  QStringList listed(const QString& country) {
    form.ComboBoxEx1->setEditText(country);
    return lotteryRows(form.ListView3);
  }
  // Every lottery record, read from the file after the program closed it.
  QStringList stored() {
    form.closeCatalogue();
    const QStringList records = catalogue.storedLotteries();
    form.openCatalogue(catalogue.path());
    return records;
  }
};

TEST_F(NewLottery, DialogLayoutTabOrderAndCancel) {
  Tnewlottoform dialog(&form);
  EXPECT_EQ(dialog.windowTitle(), "New Lotto");
  EXPECT_EQ(dialog.size(), QSize(501, 320));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "not resizable";
  const QList<std::pair<QWidget*, QPoint>> places = {
      {dialog.Label5, {40, 24}},    {dialog.ComboBox4, {136, 24}}, {dialog.Label1, {40, 72}},
      {dialog.Edit1, {136, 72}},    {dialog.Label2, {40, 112}},    {dialog.ComboBox1, {136, 112}},
      {dialog.Label3, {40, 152}},   {dialog.ComboBox2, {136, 152}}, {dialog.Panel1, {40, 208}},
      {dialog.Button1, {232, 248}}, {dialog.Button2, {360, 248}},
  };
  for (const auto& [widget, place] : places) EXPECT_EQ(widget->pos(), place) << widget->metaObject()->className();
  EXPECT_EQ(dialog.Label5->text(), "Country");
  EXPECT_EQ(dialog.Label1->text(), "Lottery Name");
  EXPECT_EQ(dialog.Label2->text(), "From");
  EXPECT_EQ(dialog.Label3->text(), "Match");
  EXPECT_EQ(dialog.Button1->text(), "&Ok");
  EXPECT_EQ(dialog.Button2->text(), "&Cancel");
  EXPECT_EQ(dialog.Button1->size(), QSize(113, 41));
  EXPECT_EQ(dialog.Panel1->size(), QSize(433, 2));
  for (QPushButton* button : {dialog.Button1, dialog.Button2})
    EXPECT_FALSE(button->isDefault() || button->autoDefault()) << "no default button";

  QStringList countries;
  for (int k = 0; k < dialog.ComboBox4->count(); ++k) countries << dialog.ComboBox4->itemText(k);
  EXPECT_EQ(countries, flagCountries());
  EXPECT_EQ(dialog.ComboBox4->currentText(), "United States");
  ASSERT_EQ(dialog.ComboBox1->count(), 71);
  EXPECT_EQ(dialog.ComboBox1->itemText(0), "10");
  EXPECT_EQ(dialog.ComboBox1->itemText(70), "80");
  EXPECT_EQ(dialog.ComboBox1->currentText(), "40");
  ASSERT_EQ(dialog.ComboBox2->count(), 2);
  EXPECT_EQ(dialog.ComboBox2->itemText(1), "6");
  EXPECT_EQ(dialog.ComboBox2->currentText(), "5");
  EXPECT_TRUE(dialog.Edit1->text().isEmpty());
  for (QComboBox* combo : {dialog.ComboBox4, dialog.ComboBox1, dialog.ComboBox2}) EXPECT_TRUE(combo->isEditable());

  dialog.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog.focusWidget(), dialog.Edit1);
  QList<QWidget*> chain;
  for (QWidget* w = dialog.Edit1; chain.size() < 6; w = w->nextInFocusChain())
    if ((w->focusPolicy() & Qt::TabFocus) && w->parentWidget() == &dialog) chain << w;  // not a combo's edit
  EXPECT_EQ(chain, (QList<QWidget*>{dialog.Edit1, dialog.ComboBox1, dialog.ComboBox2, dialog.Button1,
                                    dialog.Button2, dialog.ComboBox4}));

  dialog.Edit1->setText("Never");
  QTest::mouseClick(dialog.Button2, Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(stored().size(), 3);
}

TEST_F(NewLottery, AddedLotteryIsListedWhenItsCountryIsNextListed) {
  listed("Australia");
  EXPECT_TRUE(add(named("Cash Five")));  // the initial contents otherwise
  EXPECT_TRUE(desktop.messages.isEmpty()) << joined(desktop.messages);
  EXPECT_TRUE(desktop.errors.isEmpty()) << joined(desktop.errors);
  EXPECT_EQ(form.ComboBoxEx1->currentText(), "Australia") << "page 1 is not refilled";
  EXPECT_EQ(listed("United States"),
            QStringList({"Cash Five|40|5", "Lotto America|52|5", "Powerball|69|5"}));

  form.ListView3->setCurrentItem(form.ListView3->topLevelItem(0));
  QTest::mouseClick(form.SpeedButtonnext, Qt::LeftButton);
  EXPECT_EQ(form.PageControl1->currentIndex(), 1);
  EXPECT_EQ(numbercount, 40);
  EXPECT_EQ(wizardstate.pick, 5);
}

TEST_F(NewLottery, ANameIsUniqueWithinItsCountryOnly) {
  EXPECT_FALSE(add(named("Powerball")));
  EXPECT_EQ(desktop.messages, QStringList{"Duplicated lottery name!"});
  EXPECT_TRUE(add(named("Powerball", "Spain")));
  EXPECT_TRUE(add(named("powerball")));  // letter case counts
  EXPECT_TRUE(add(named("")));           // the empty name, once per country
  EXPECT_FALSE(add(named("")));
  EXPECT_TRUE(add(named("", "Spain")));
  EXPECT_FALSE(add(named("", "Spain")));
  EXPECT_EQ(desktop.messages, QStringList(3, "Duplicated lottery name!"));
  EXPECT_EQ(stored().size(), 3 + 4);
  EXPECT_EQ(listed("Spain"), QStringList({"|40|5", "Bonoloto|49|6", "Powerball|40|5"}));
}

TEST_F(NewLottery, BlanksAroundTheCountryAndTheNameAreNotStored) {
  // Blanks around a name make no look-alike, around a country no lottery
  // that page 1 never lists.
  EXPECT_FALSE(add(named(" Powerball ")));
  EXPECT_FALSE(add(named("Powerball", "United States ")));
  EXPECT_EQ(desktop.messages, QStringList(2, "Duplicated lottery name!"));
  EXPECT_TRUE(add(named("\tCash Five  ", "  United States ")));
  EXPECT_FALSE(add(named("Cash Five")));
  EXPECT_EQ(listed("United States"), QStringList({"Cash Five|40|5", "Lotto America|52|5", "Powerball|69|5"}));
  EXPECT_EQ(stored().size(), 3 + 1);
}

TEST_F(NewLottery, QuotesAndStarsInNamesAreNamesLikeAnyOther) {
  EXPECT_TRUE(add(named("Lotto d'Italia", "Italy")));
  EXPECT_TRUE(add(named("O'Reilly's '' Draw")));
  EXPECT_TRUE(add(named("Lotto*")));  // "Lotto America" is no duplicate of it
  EXPECT_TRUE(add(named("*")));
  EXPECT_TRUE(add(named("Fortune", "Côte d'Ivoire")));
  EXPECT_TRUE(desktop.messages.isEmpty()) << joined(desktop.messages);
  EXPECT_TRUE(desktop.errors.isEmpty()) << joined(desktop.errors);
  EXPECT_FALSE(add(named("Lotto d'Italia", "Italy")));
  EXPECT_FALSE(add(named("O'Reilly's '' Draw")));
  EXPECT_FALSE(add(named("Lotto*")));
  EXPECT_EQ(desktop.messages, QStringList(3, "Duplicated lottery name!"));

  EXPECT_EQ(listed("Italy"), QStringList{"Lotto d'Italia|40|5"});
  EXPECT_EQ(listed(" Côte d'Ivoire "), QStringList{"Fortune|40|5"});
  EXPECT_EQ(listed("United States"), QStringList({"*|40|5", "Lotto America|52|5", "Lotto*|40|5",
                                                  "O'Reilly's '' Draw|40|5", "Powerball|69|5"}));
  EXPECT_EQ(stored().size(), 3 + 5);
}

TEST_F(NewLottery, NumbersThatNoLotteryCanHaveAreRefusedAndNothingIsStored) {
  struct Refusal {
    const char* from;
    const char* match;
    const char* start;  // of the message
  };
  const Refusal refusals[] = {
      {"0", "5", "From must be a number from 1 to 100"}, {"-7", "5", "From must be a number from 1 to 100"},
      {"101", "5", "From must be a number from 1 to 100"}, {"40", "0", "Match must be at least 1 and less than From"},
      {"40", "-1", "Match must be at least 1"},          {"10", "10", "Match must be at least 1 and less than From (10)"},
      {"6", "7", "Match must be at least 1"},
  };
  for (const Refusal& r : refusals) {
    desktop.messages.clear();
    Entry entry = named("Odd");
    entry.from = r.from;
    entry.match = r.match;
    EXPECT_FALSE(add(entry)) << r.from << " " << r.match;
    ASSERT_EQ(desktop.messages.size(), 1) << r.from << " " << r.match;
    EXPECT_TRUE(desktop.messages[0].startsWith(r.start)) << desktop.messages[0].toStdString();
    EXPECT_TRUE(desktop.messages[0].endsWith("Nothing was stored.")) << desktop.messages[0].toStdString();
  }
  // The edges that are accepted: the board's 100 numbers, Match one below From.
  Entry biggest = named("Hundred");
  biggest.from = "100";
  biggest.match = "99";
  EXPECT_TRUE(add(biggest));
  Entry smallest = named("Two");
  smallest.from = "2";
  smallest.match = "1";
  EXPECT_TRUE(add(smallest));
  EXPECT_EQ(stored().size(), 3 + 2);
}

TEST_F(NewLottery, FromOrMatchThatIsNoIntegerIsReportedAndNothingIsStored) {
  const QStringList notIntegers = {"4o", "", "forty", "4 0", "0x28", "40.0", "99999999999"};
  for (const QString& text : notIntegers) {
    desktop.errors.clear();
    Entry entry = named("Odd");
    entry.from = text;
    EXPECT_FALSE(add(entry)) << text.toStdString();
    EXPECT_EQ(desktop.errors, QStringList{"'" + text + "' is not a valid integer value"});
  }
  desktop.errors.clear();
  Entry entry = named("Odd");
  entry.match = "five";
  EXPECT_FALSE(add(entry));
  EXPECT_EQ(desktop.errors, QStringList{"'five' is not a valid integer value"});
  EXPECT_EQ(stored().size(), 3);

  // A duplicate is reported first, as the dialog checks the name before the numbers.
  desktop.errors.clear();
  Entry duplicate = named("Powerball");
  duplicate.from = "x";
  EXPECT_FALSE(add(duplicate));
  EXPECT_EQ(desktop.messages, QStringList{"Duplicated lottery name!"});
  EXPECT_TRUE(desktop.errors.isEmpty());

  Entry padded = named("Padded");  // blanks around a number are no error
  padded.from = " 45 ";
  padded.match = "6 ";
  EXPECT_TRUE(add(padded));
  EXPECT_EQ(listed("United States").first(), "Lotto America|52|5");
  EXPECT_TRUE(listed("United States").contains("Padded|45|6"));
}

TEST_F(NewLottery, TextsLongerThanTheirFieldsAreRefused) {
  EXPECT_TRUE(add(named(QString(60, 'n'))));
  EXPECT_FALSE(add(named(QString(61, 'n'))));
  EXPECT_FALSE(add(named(QString(31, QChar(0x00e9)))));  // 62 bytes of UTF-8
  EXPECT_FALSE(add(named("Lotto", QString(41, 'c'))));
  EXPECT_EQ(desktop.messages.size(), 3) << joined(desktop.messages);
  EXPECT_TRUE(desktop.messages[0].startsWith("The lottery name is too long")) << joined(desktop.messages);
  EXPECT_TRUE(desktop.messages[2].startsWith("The country name is too long")) << joined(desktop.messages);
  EXPECT_TRUE(add(named(QString(30, QChar(0x00e9)), QString(40, 'c'))));
  EXPECT_EQ(listed(QString(40, 'c')), QStringList{QString(30, QChar(0x00e9)) + "|40|5"});
}

TEST_F(NewLottery, ANewLotterySurvivesClosingAndReopeningTheCatalogue) {
  EXPECT_TRUE(add(named("Keeper", "Spain")));
  form.closeCatalogue();
  EXPECT_TRUE(catalogue.storedLotteries().contains("Spain|Keeper|40|5"));
  form.openCatalogue(catalogue.path());
  EXPECT_EQ(listed("Spain"), QStringList({"Bonoloto|49|6", "Keeper|40|5"}));
  EXPECT_TRUE(desktop.messages.isEmpty()) << joined(desktop.messages);
}

}  // namespace
