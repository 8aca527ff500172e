#pragma once
// The main window with a wheel catalogue in vectors: the "Lotto" lottery
// (49 numbers, 6 per ticket) and helpers that reach page 3 with a choice of
// numbers and build tickets through the real buttons.

#include <QComboBox>
#include <QTabWidget>

#include "vectorcatalogue.h"
#include "wizardfixture.h"

class WheelFixture : public WizardFixture {
 protected:
  VectorWheelCatalogue catalogue;

  void SetUp() override {
    WizardFixture::SetUp();
    form.wheelCatalogue = &catalogue;
  }

  // Confirms "Lotto", chooses `numbers` in order and leaves page 2.
  void toPageThree(const QList<int>& numbers = {17, 3, 42, 8, 25, 31, 11}) {
    confirmLottery(0);
    for (int n : numbers) choose(n);
    click(form.SpeedButtonnext);
    ASSERT_EQ(page(), 2);
  }

  // The survey row of wheel `formula`.
  WheelSurveyRow& surveyRow(const QString& formula) {
    for (WheelSurveyRow& row : catalogue.survey)
      if (row.xyoption == formula) return row;
    throw std::logic_error("no survey row " + formula.toStdString());
  }

  QStringList column(int c) const {
    QStringList texts;
    for (int i = 0; i < form.ticketListView->topLevelItemCount(); ++i)
      texts << form.ticketListView->topLevelItem(i)->text(c);
    return texts;
  }
  QStringList ids() const { return column(0); }
  QStringList tickets() const { return column(1); }
  QStringList entries(const QComboBox* combo) const {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    return texts;
  }
};
