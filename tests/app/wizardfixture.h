#pragma once
// A shown main window on an empty catalogue with a recording desktop, a
// lottery list made by hand and helpers to drive page 2 through its real
// buttons.

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>

#include <gtest/gtest.h>

#include "Unit1.h"
#include "globalunit.h"
#include "platform/pagecontrol.h"
#include "recordingdesktop.h"
#include "testcatalogue.h"

class WizardFixture : public ::testing::Test {
 protected:
  RecordingDesktop desktop;
  TestCatalogue catalogue;
  TForm1 form{nullptr, catalogue.directory()};

  void SetUp() override {
    form.show();
    QCoreApplication::processEvents();
    form.ComboBoxEx1->setEditText("Utopia");
    form.addLotteryRow("Lotto", "49", "6");
    form.addLotteryRow("Mini", "6", "5");
    form.addLotteryRow("Forty", "40", "5");
  }

  int page() const { return form.PageControl1->currentIndex(); }
  void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  // Confirms lottery `row` on page 1 with "Next >>".
  void confirmLottery(int row) {
    form.ListView3->setCurrentItem(form.ListView3->topLevelItem(row));
    click(form.SpeedButtonnext);
  }
  void choose(int number) { click(numberbuttons[number]); }
  bool isChosen(int number) const {
    return !numberbuttons[number]->isEnabled() && numberbuttons[number]->autoRaise();
  }
  bool isFree(int number) const { return numberbuttons[number]->isEnabled() && !numberbuttons[number]->autoRaise(); }

  // Every rule that ties the lists, the buttons, the count and the display
  // together.
  ::testing::AssertionResult selectionIsConsistent() const {
    const SelectionLists& s = form.selection;
    QStringList sorted = s.nosortlistbox;
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
      return numberValue(a) < numberValue(b);
    });
    if (sorted != s.sortlistbox) return ::testing::AssertionFailure() << "sortlistbox is not nosortlistbox sorted";
    QStringList pool;
    for (int k = 1; k <= numbercount; ++k) {
      const bool chosen = s.nosortlistbox.contains(boardText(k));
      if (!chosen) pool << QString::number(k);
      if (chosen ? !isChosen(k) : !isFree(k))
        return ::testing::AssertionFailure() << "button " << k << " does not show its state";
    }
    if (pool != s.randomListBox) return ::testing::AssertionFailure() << "pool is not the free numbers";
    if (wizardstate.zoption != s.nosortlistbox.size())
      return ::testing::AssertionFailure() << "zoption " << wizardstate.zoption << " for " << s.nosortlistbox.size();
    if (form.Label22->text() != QString::number(s.nosortlistbox.size()))
      return ::testing::AssertionFailure() << "count shows " << form.Label22->text().toStdString();
    QStringList unique = s.nosortlistbox;
    if (unique.removeDuplicates() != 0) return ::testing::AssertionFailure() << "a number chosen twice";
    return ::testing::AssertionSuccess();
  }
};
