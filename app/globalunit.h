#pragma once
// The wizard state: the few values that carry the user's choices from one
// wizard page to the next. Every page reads or writes them; no page keeps
// choices of its own. User-interface thread only.

#include <QString>
#include <cstdint>

struct globalvar1 {
  std::int32_t pick = 0;  // numbers on one ticket: the chosen lottery's Match value
  QString wheeltype;      // "a" (abbreviated) or "k" (key): the family tab active when page 2 was left
  QString xyoption;       // the chosen wheel's guarantee formula, e.g. "4if5"
  std::int32_t zoption = 0;  // how many numbers are chosen; always the length of the selection list
};

// The one instance, alive for the whole run.
extern globalvar1 wizardstate;

// How many numbers the chosen lottery draws from (its From value); 49 at start.
extern std::int32_t numbercount;
