#pragma once
// What wheel choice and ticket building read from the catalogue: the survey
// of the wheels (table wheelssurvey) and the tickets of one wheel (table
// wheels). The main window reaches both tables only through this interface;
// the program's implementation runs the queries of surveyFilter and
// ticketFilter (wheels/wheelentry.h) on the window's table objects, tests
// give rows of their own.
//
// User-interface thread only. Errors of the underlying tables propagate as
// exceptions.

#include <QString>
#include <functional>
#include <vector>

// One record of table wheelssurvey.
struct WheelSurveyRow {
  int pick = 0;       // numbers per ticket
  QString wheeltype;  // "a" abbreviated, "k" key
  QString xyoption;   // the guarantee formula
  int zoption = 0;    // how many chosen numbers the wheel spreads
  int ticket = 0;     // how many tickets the wheel has
};

class WheelCatalogue {
 public:
  virtual ~WheelCatalogue() = default;

  // The survey rows of the wheels of type `wheeltype` for `pick` numbers per
  // ticket and `zoption` chosen numbers, in the table's stored order.
  virtual std::vector<WheelSurveyRow> surveyEntries(int pick, const QString& wheeltype, int zoption) = 0;

  // The most chosen numbers that any wheel for `pick` numbers per ticket
  // spreads (the largest zoption of the survey), 0 when there is none.
  virtual int widestWheel(int pick) = 0;

  // Hands the position pattern (field digitalstring) of each ticket row of
  // the wheel (pick, wheeltype, xyoption, zoption) to `use`, in the table's
  // browse order, until `use` returns false or the rows run out.
  virtual void walkPatterns(int pick, const QString& wheeltype, const QString& xyoption, int zoption,
                            const std::function<bool(const QString& pattern)>& use) = 0;
};
