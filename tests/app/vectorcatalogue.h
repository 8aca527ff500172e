#pragma once
// A wheel catalogue held in vectors, standing in for the catalogue tables:
// survey rows and ticket rows in stored order, matched on their fields. It
// records the filter text of each query it was asked, and can fail on demand.

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "wheels/wheelcatalogue.h"
#include "wheels/wheelentry.h"

struct WheelTicketRow {
  int pick;
  QString wheeltype;
  QString xyoption;
  int zoption;
  QString digitalstring;
};

class VectorWheelCatalogue : public WheelCatalogue {
 public:
  std::vector<WheelSurveyRow> survey;
  std::vector<WheelTicketRow> wheels;
  QStringList surveyQueries;
  QStringList ticketQueries;
  int rowsHanded = 0;
  bool failing = false;  // every read throws, as a damaged table would

  std::vector<WheelSurveyRow> surveyEntries(int pick, const QString& type, int zoption) override {
    surveyQueries << surveyFilter(pick, type, zoption);
    if (failing) throw std::runtime_error("wheelssurvey: read error");
    std::vector<WheelSurveyRow> found;
    for (const WheelSurveyRow& row : survey)
      if (row.pick == pick && row.wheeltype == type && row.zoption == zoption) found.push_back(row);
    return found;
  }

  int widestWheel(int pick) override {
    if (failing) throw std::runtime_error("wheelssurvey: read error");
    int widest = 0;
    for (const WheelSurveyRow& row : survey)
      if (row.pick == pick) widest = std::max(widest, row.zoption);
    return widest;
  }

  void walkPatterns(int pick, const QString& type, const QString& xyoption, int zoption,
                    const std::function<bool(const QString&)>& use) override {
    ticketQueries << ticketFilter(pick, type, xyoption, zoption);
    if (failing) throw std::runtime_error("wheels: read error");
    for (const WheelTicketRow& row : wheels) {
      if (row.pick != pick || row.wheeltype != type || row.xyoption != xyoption || row.zoption != zoption) continue;
      ++rowsHanded;
      if (!use(row.digitalstring)) return;
    }
  }

  // Adds a wheel to both tables: its survey row and one ticket row per pattern.
  void addWheel(int pick, const QString& type, const QString& formula, int zoption, const QStringList& patterns) {
    survey.push_back({pick, type, formula, zoption, static_cast<int>(patterns.size())});
    for (const QString& pattern : patterns) wheels.push_back({pick, type, formula, zoption, pattern});
  }
};
