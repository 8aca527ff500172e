#pragma once
// The wheelgen command: verifies wheels, searches for small ones, keeps the
// catalogue's wheel sources (catalogue/wheels/) and writes their report
// (docs/wheels.md). "wheelgen --help" lists the commands.
//
// Runs on the calling thread; results go to `out`, progress and errors to
// `err`.

#include <iosfwd>
#include <string>
#include <vector>

// Runs the command with its arguments (without the program name). Returns
// the exit status: 0 success (a wheel holds), 1 failure (a wheel fails, or
// nothing written), 2 wrong usage.
int runWheelgen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
