#pragma once
// Keeping the catalogue's wheel folder: the set of wheels it holds, and
// storing a better wheel into it. The folder only ever gets smaller wheels:
// a wheel is written where its file is missing or holds more tickets, and
// every wheel is verified before it is written. One design serves several
// wheels (an abbreviated wheel and the key wheel with one more number per
// ticket and one more position), so storing a design writes all of them.

#include <string>
#include <vector>

#include "wheelcore/search.h"
#include "wheelcore/wheelfile.h"

// Largest wheel the catalogue ships.
constexpr size_t kMaxCatalogueTickets = 1000;

// The wheels the catalogue holds: picks 5, 6, 7; v from pick + 1 to 30; every
// formula t if m with 2 <= t <= m <= pick; types a and k.
std::vector<WheelSpec> catalogueSpecs();

// A block list as published: one ticket per line, numbers separated by
// blanks, '#' comment lines (the first one is kept as `credit`). For a key
// wheel the lines may be whole tickets (holding 1) or the blocks of its other
// positions, numbered 1..v-1 with pick - 1 numbers each. Tickets come back
// sorted; false and why (naming the line) on anything malformed.
bool parseBlockList(const std::string& text, const WheelSpec& spec, std::vector<Ticket>& tickets,
                    std::string& credit, std::string& error);

struct StoreOutcome {
  std::vector<std::string> written;  // the files written, relative to the folder
  size_t smallestBefore = 0;         // the fewest tickets held for the design before (0: none)
};

// Writes the design's tickets as every catalogue wheel of that design whose
// file is missing or larger (up to kMaxCatalogueTickets tickets), each
// verified first. False only on a failure to verify or to write.
bool storeDesignWheel(const std::string& folder, const Design& design, const std::vector<uint64_t>& tickets,
                      const std::string& method, const std::string& seed, const std::string& budget,
                      StoreOutcome& outcome, std::string& error);

// Importing a wheel found elsewhere: `text` is a wheel file (its header names
// the wheel; `spec`, when given, must agree) or a block list for `spec`. The
// wheel is verified and stored as storeDesignWheel does. The block list's
// first comment, or `credit` when not empty, becomes the method "import: ...".
enum class ImportVerdict { written, notSmaller, fails, malformed };
struct ImportOutcome {
  ImportVerdict verdict = ImportVerdict::malformed;
  WheelSpec spec;
  size_t tickets = 0;
  StoreOutcome stored;
  std::string message;  // why, when not written
};
ImportOutcome importWheel(const std::string& text, const WheelSpec* spec, const std::string& credit,
                          const std::string& folder);
