#pragma once
// numerion-cli's commands: the countries and lotteries of the catalogue, the
// wheels offered for a choice of numbers, their tickets exactly as the wizard
// builds them, a wheel's win table and chances, and the hits of a saved
// ticket file against a draw.
//
// Exit status: 0 done, 1 the catalogue or a file could not be read or
// written, 2 bad input (one line on `err` says what is wrong).

#include <QString>
#include <QStringList>
#include <ostream>

namespace cli {

inline constexpr int kOk = 0;
inline constexpr int kFailure = 1;
inline constexpr int kBadInput = 2;

// Runs one command line (`arguments` without the program's name). Without
// --catalogue FILE the catalogue is found as the wizard finds it from
// `programFolder`. Needs a QCoreApplication.
int run(const QStringList& arguments, const QString& programFolder, std::ostream& out, std::ostream& err);

}  // namespace cli
