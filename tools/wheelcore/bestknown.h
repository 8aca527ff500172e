#pragma once
// The table of the smallest published wheel sizes (catalogue/best-known-wheels.tsv):
// for tickets of k numbers, "t if m" of v, the best size known and whether it
// is proven exact. A key wheel compares with the row of its design
// (k - 1, t - 1, m - 1, v - 1). Pure functions.

#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "wheelcore/search.h"

struct BestKnown {
  uint64_t size = 0;
  bool exact = false;  // proven: no smaller wheel exists
};

using BestKnownTable = std::map<std::tuple<int, int, int, int>, BestKnown>;  // (k, t, m, v)

// Reads the tab-separated table: '#' comment lines, a header line starting
// "k\t", then rows k, t, m, v, best_known, kind ("proven exact" or an upper
// bound), source. False and why (with the line) on anything else.
bool parseBestKnown(const std::string& text, BestKnownTable& table, std::string& error);
bool readBestKnown(const std::string& path, BestKnownTable& table, std::string& error);

// The row a design compares with, if the table has one.
std::optional<BestKnown> bestKnownFor(const BestKnownTable& table, const Design& design);
