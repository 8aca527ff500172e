#pragma once
// What an action raised, for tests that check a database error by its text
// and its kind. Errors of other types pass through to the test.

#include <string>

#include "core/errors.h"

// The message of the EDatabaseError that `action` raises, or "" when it
// raises none.
template <class Action>
std::string ErrorOf(Action&& action) {
  try {
    action();
  } catch (const EDatabaseError& error) {
    return error.what();
  }
  return "";
}

// "<kind>: <message>" of the EDatabaseError that `action` raises (the kind as
// DatabaseErrorKindName gives it, "DamagedFile: Database file ..."), or ""
// when it raises none.
template <class Action>
std::string KindAndErrorOf(Action&& action) {
  try {
    action();
  } catch (const EDatabaseError& error) {
    return std::string(DatabaseErrorKindName(error.Kind())) + ": " + error.what();
  }
  return "";
}
