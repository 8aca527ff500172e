// The whole wizard on a catalogue built at test time with wheels taken from
// the catalogue's sources: a lottery, numbers by clicks and by "Randomize",
// each offered wheel built, its tickets checked against the wheel's guarantee
// over the chosen numbers, saved, printed to PDF and viewed as text, then
// "Finish" and round again.
#include <QFile>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <bit>
#include <map>
#include <memory>

#include <gtest/gtest.h>

#include "Unit1.h"
#include "globalunit.h"
#include "numbers/numberUnit.h"
#include "output/textUnit.h"
#include "platform/pagecontrol.h"
#include "recordingdesktop.h"
#include "testcatalogue.h"
#include "wheelcore/wheelfile.h"

namespace {

struct SourceWheel {
  std::string formula;
  std::vector<std::string> patterns;
};

// A wheel file of the catalogue's sources: its formula and its patterns.
SourceWheel readSourceWheel(const QString& relativePath) {
  WheelFile file;
  std::string error;
  const std::string path = NUMERION_CATALOGUE_DIR "/wheels/" + relativePath.toStdString();
  if (!readWheelFile(path, file, error)) throw std::runtime_error(error);
  SourceWheel wheel{formulaText(file.spec.t, file.spec.m), {}};
  for (const Ticket& ticket : file.tickets) wheel.patterns.push_back(formatPattern(ticket));
  return wheel;
}

// "4if5" as t = 4, m = 5.
std::pair<int, int> formulaNumbers(const QString& formula) {
  const QStringList parts = formula.split("if");
  return {parts.value(0).toInt(), parts.value(1).toInt()};
}

// Whether `tickets` (texts in format 8) meet "t if m" over `chosen`: every m
// of the chosen numbers (every m holding the key, for a key wheel) share at
// least t numbers with some ticket; a key wheel has the key on every ticket.
::testing::AssertionResult meetsGuarantee(const QStringList& tickets, const QStringList& chosen, int pick,
                                          const QString& formula, bool keyWheel) {
  const auto [t, m] = formulaNumbers(formula);
  const int v = static_cast<int>(chosen.size());
  if (t < 1 || m < t || v > 30) return ::testing::AssertionFailure() << "unreadable formula " << formula.toStdString();
  std::vector<uint32_t> masks;
  for (const QString& ticket : tickets) {
    uint32_t mask = 0;
    const QStringList numbers = ticket.split(", ");
    for (const QString& number : numbers) {
      const int position = static_cast<int>(chosen.indexOf(number));
      if (position < 0) return ::testing::AssertionFailure() << "ticket " << ticket.toStdString() << " holds " << number.toStdString() << ", not chosen";
      mask |= 1u << position;
    }
    if (numbers.size() != pick || std::popcount(mask) != pick)
      return ::testing::AssertionFailure() << "ticket " << ticket.toStdString() << " does not hold " << pick << " distinct numbers";
    if (keyWheel && (mask & 1u) == 0)
      return ::testing::AssertionFailure() << "ticket " << ticket.toStdString() << " lacks the key " << chosen[0].toStdString();
    masks.push_back(mask);
  }
  for (uint32_t drawn = 0; drawn < (1u << v); ++drawn) {
    if (std::popcount(drawn) != m || (keyWheel && (drawn & 1u) == 0)) continue;
    bool won = false;
    for (uint32_t mask : masks) won = won || std::popcount(mask & drawn) >= t;
    if (!won) return ::testing::AssertionFailure() << "drawn set " << drawn << " wins nothing";
  }
  return ::testing::AssertionSuccess();
}

class EndToEnd : public ::testing::Test {
 protected:
  RecordingDesktop desktop;
  TestCatalogue files{{"Atlantis", "Utopia"}, {{"Utopia", "Lotto", 49, 6}, {"Atlantis", "Pick Five", 39, 5}}};
  std::unique_ptr<TForm1> form;
  QTemporaryDir scratch;
  std::map<QString, int> wheelSizes;  // "a/4if5" -> tickets

  void SetUp() override {
    // Wheels for 10 chosen numbers of pick 6, and one for 9 that must not be
    // offered; the survey lists them in this order.
    addSourceWheel("a", "pick6/a/4if5-of-10.txt");
    addSourceWheel("a", "pick6/a/3if4-of-10.txt");
    addSourceWheel("a", "pick6/a/5if6-of-9.txt", 9);
    addSourceWheel("k", "pick6/k/4if5-of-10.txt");
    addSourceWheel("k", "pick6/k/3if3-of-10.txt");
    form = std::make_unique<TForm1>(nullptr, files.directory());
    form->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Timer1->isActive(); }, 3000));
  }

  void addSourceWheel(const std::string& type, const QString& file, int v = 10) {
    const SourceWheel wheel = readSourceWheel(file);
    files.addWheel(6, type, wheel.formula, v, wheel.patterns);
    if (v == 10) wheelSizes[QString::fromStdString(type + "/" + wheel.formula)] = static_cast<int>(wheel.patterns.size());
  }

  int page() const { return form->PageControl1->currentIndex(); }
  void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  QStringList column(const QTreeWidget* list, int c) const {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(c);
    return texts;
  }
  QStringList entries(const QComboBox* combo) const {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    return texts;
  }
  static QString entry(const QString& formula, int tickets) {
    return formula + "   " + QString::number(tickets) + " tickets";
  }
  // Chooses Utopia's "Lotto" on page 1 and goes on to page 2.
  void chooseLotto() {
    form->ComboBoxEx1->setEditText("Utopia");
    ASSERT_EQ(column(form->ListView3, 0), QStringList{"Lotto"});
    form->ListView3->setCurrentItem(form->ListView3->topLevelItem(0));
    click(form->SpeedButtonnext);
    ASSERT_EQ(page(), 1);
  }
  // Builds the tickets of entry `index` of the active tab and checks them.
  void buildAndCheck(QComboBox* combo, int index, bool keyWheel) {
    combo->setCurrentIndex(index);
    const QString formula = combo->currentText().section(' ', 0, 0);
    click(form->SpeedButtonbuildticket);
    ASSERT_EQ(page(), 3) << desktop.messages.join("|").toStdString();
    const QStringList tickets = column(form->ticketListView, 1);
    const int expected = wheelSizes.at((keyWheel ? "k/" : "a/") + formula);
    EXPECT_EQ(tickets.size(), expected);
    EXPECT_EQ(form->Label20->text(), QString::number(expected));
    EXPECT_EQ(column(form->ticketListView, 0).value(expected - 1), QString::number(expected));
    EXPECT_TRUE(meetsGuarantee(tickets, form->selection.nosortlistbox, 6, formula, keyWheel)) << formula.toStdString();
    click(form->SpeedButtonprevious);
    ASSERT_EQ(page(), 2);
  }
};

TEST_F(EndToEnd, FromTheLotteryToPrintedSavedAndViewedTicketsAndRoundAgain) {
  chooseLotto();

  // Seven numbers by hand, three more by "Randomize".
  for (int n : {17, 3, 42, 8, 25, 31, 11}) click(numberbuttons[n]);
  desktop.onModal = [](QDialog& dialog) {
    auto& pick = dynamic_cast<TnumberForm&>(dialog);
    dialog.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !pick.Timer1->isActive(); }, 2000));
    pick.SpinEdit1->setValue(3);
    QTest::mouseClick(pick.Button1, Qt::LeftButton);
    return dialog.result();
  };
  click(form->Button2);
  desktop.onModal = nullptr;
  ASSERT_EQ(form->selection.nosortlistbox.size(), 10);
  EXPECT_EQ(form->selection.nosortlistbox.mid(0, 7), (QStringList{"17", "03", "42", "08", "25", "31", "11"}));
  EXPECT_EQ(form->Panel13->text(), "17");

  // Page 3 offers the wheels for pick 6 and ten numbers, in the survey's order.
  click(form->SpeedButtonnext);
  ASSERT_EQ(page(), 2);
  EXPECT_EQ(entries(form->ComboBox2), (QStringList{entry("4if5", wheelSizes["a/4if5"]), entry("3if4", wheelSizes["a/3if4"])}));
  EXPECT_EQ(entries(form->ComboBox3), (QStringList{entry("4if5", wheelSizes["k/4if5"]), entry("3if3", wheelSizes["k/3if3"])}));
  EXPECT_TRUE(form->Panel12->isHidden());
  EXPECT_TRUE(form->Panel11->isHidden());

  // Every offered wheel, in format 8, keeps its guarantee over these numbers.
  click(form->RadioButton10);
  form->PageControl2->setCurrentIndex(0);
  for (int i = 0; i < form->ComboBox2->count(); ++i) buildAndCheck(form->ComboBox2, i, false);
  form->PageControl2->setCurrentIndex(1);
  for (int i = 0; i < form->ComboBox3->count(); ++i) buildAndCheck(form->ComboBox3, i, true);

  // The last build (the key wheel 3if3) is output: saved, printed, viewed.
  click(form->SpeedButtonbuildticket);
  ASSERT_EQ(page(), 3);
  const QStringList tickets = column(form->ticketListView, 1);
  const QString saved = scratch.filePath("tickets.txt");
  const QString pdf = scratch.filePath("tickets.pdf");
  desktop.onModal = [&](QDialog& dialog) {
    if (auto* print = qobject_cast<QPrintDialog*>(&dialog)) {
      print->printer()->setOutputFormat(QPrinter::PdfFormat);
      print->printer()->setOutputFileName(pdf);
    }
    if (auto* save = qobject_cast<QFileDialog*>(&dialog)) save->selectFile(saved);
    if (auto* text = dynamic_cast<Ttextform*>(&dialog)) {
      dialog.show();
      QCoreApplication::processEvents();
      const QStringList lines = text->Memo1->toPlainText().split('\n');
      EXPECT_EQ(lines.size(), tickets.size());
      EXPECT_EQ(lines.value(0), "000" + QString(13, ' ') + tickets.value(0));
      text->Button1->click();
      return dialog.result();
    }
    return int(QDialog::Accepted);
  };
  click(form->SpeedButtonsavefile);
  click(form->SpeedButtonprinttickets);
  click(form->SpeedButtontext);
  EXPECT_EQ(desktop.dialogs.mid(1), (QStringList{"QFileDialog", "QPrintDialog", "Ttextform"}));
  EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("|").toStdString();
  QFile file(saved);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(file.readAll()), tickets.join('\n') + '\n');
  QProcess pdftotext;
  pdftotext.start("pdftotext", {"-layout", pdf, "-"});
  ASSERT_TRUE(pdftotext.waitForFinished(30000));
  QStringList printed;
  for (const QString& line : QString::fromUtf8(pdftotext.readAllStandardOutput()).split(QRegularExpression("[\n\f]")))
    if (!line.trimmed().isEmpty()) printed << line.trimmed();
  EXPECT_EQ(printed, tickets);

  // "Next >>" to the last page, "Finish" back to the first, and round again
  // with ten other numbers.
  click(form->SpeedButtonnext);
  ASSERT_EQ(page(), 4);
  click(form->speedbuttonfinish);
  ASSERT_EQ(page(), 0);
  form->ListView3->setCurrentItem(form->ListView3->topLevelItem(0));
  click(form->SpeedButtonnext);
  ASSERT_EQ(page(), 1);
  click(form->Button4);
  for (int n : {49, 1, 2, 9, 10, 33, 34, 40, 41, 48}) click(numberbuttons[n]);
  ASSERT_EQ(form->selection.nosortlistbox.size(), 10);
  click(form->SpeedButtonnext);
  ASSERT_EQ(page(), 2);
  form->PageControl2->setCurrentIndex(0);
  buildAndCheck(form->ComboBox2, 0, false);
  EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join("|").toStdString();
}

}  // namespace
