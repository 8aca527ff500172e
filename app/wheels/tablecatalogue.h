#pragma once
// The wheel catalogue of the program: the survey and the tickets read from
// the catalogue's tables wheelssurvey and wheels through their table objects
// (TForm1::TomeTable4 and TomeTable3), with the queries of surveyFilter and
// ticketFilter run by First, Filter, FindFirst and FindNext.
//
// The tables are not owned and must outlive this object; each call moves
// their cursors and leaves their Filter set to the last query. A table that
// is not open gives an error naming it. User-interface thread only.

#include "wheels/wheelcatalogue.h"

class TTomeTable;

class TableWheelCatalogue : public WheelCatalogue {
 public:
  // REQUIRES: wheels is table "wheels", survey is table "wheelssurvey".
  TableWheelCatalogue(TTomeTable* wheels, TTomeTable* survey) : wheels_(wheels), survey_(survey) {}

  std::vector<WheelSurveyRow> surveyEntries(int pick, const QString& wheeltype, int zoption) override;
  int widestWheel(int pick) override;
  void walkPatterns(int pick, const QString& wheeltype, const QString& xyoption, int zoption,
                    const std::function<bool(const QString& pattern)>& use) override;

 private:
  TTomeTable* wheels_;
  TTomeTable* survey_;
};
