#include "wheels/tablecatalogue.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "tomedb/TomeDB.h"
#include "wheels/wheelentry.h"

namespace {

QString textOf(TTomeTable* table, const char* field) {
  return QString::fromStdString(table->FieldByName(field).AsString());
}

int integerOf(TTomeTable* table, const char* field) { return table->FieldByName(field).AsInteger(); }

void requireOpen(TTomeTable* table, const char* name) {
  if (table == nullptr || !table->Active())
    throw std::runtime_error(std::string("The wheel table '") + name + "' of the catalogue is not open.");
}

}  // namespace

std::vector<WheelSurveyRow> TableWheelCatalogue::surveyEntries(int pick, const QString& wheeltype, int zoption) {
  requireOpen(survey_, "wheelssurvey");
  std::vector<WheelSurveyRow> rows;
  survey_->First();
  survey_->SetFilter(surveyFilter(pick, wheeltype, zoption).toStdString());
  for (bool found = survey_->FindFirst(); found; found = survey_->FindNext()) {
    WheelSurveyRow row;
    row.pick = integerOf(survey_, "pick");
    row.wheeltype = textOf(survey_, "wheeltype");
    row.xyoption = textOf(survey_, "xyoption");
    row.zoption = integerOf(survey_, "zoption");
    row.ticket = integerOf(survey_, "ticket");
    // The filter compares texts through the locale's collation; only a row of
    // exactly this type is offered for it.
    if (row.wheeltype != wheeltype) continue;
    rows.push_back(row);
  }
  return rows;
}

int TableWheelCatalogue::widestWheel(int pick) {
  requireOpen(survey_, "wheelssurvey");
  int widest = 0;
  survey_->First();
  survey_->SetFilter("pick= " + std::to_string(pick));
  for (bool found = survey_->FindFirst(); found; found = survey_->FindNext())
    widest = std::max(widest, integerOf(survey_, "zoption"));
  return widest;
}

void TableWheelCatalogue::walkPatterns(int pick, const QString& wheeltype, const QString& xyoption, int zoption,
                                       const std::function<bool(const QString& pattern)>& use) {
  requireOpen(wheels_, "wheels");
  wheels_->First();
  wheels_->SetFilter(ticketFilter(pick, wheeltype, xyoption, zoption).toStdString());
  for (bool found = wheels_->FindFirst(); found; found = wheels_->FindNext()) {
    // As for the survey: the rows of exactly this wheel, whatever the
    // collation takes as equal.
    if (textOf(wheels_, "wheeltype") != wheeltype || textOf(wheels_, "xyoption") != xyoption) continue;
    if (!use(textOf(wheels_, "digitalstring"))) return;
    if (wheels_->Eof()) return;
  }
}
