#pragma once
// Building the catalogue database from its text sources (countries.txt,
// lotteries.txt and the wheel files under wheels/). The empty file is made by
// the creation library; every record is appended through the engine's table
// I/O. Every wheel is verified against its formula before it is stored. The
// same sources always give the same bytes.

#include <stdexcept>
#include <string>

#include "tools/tomedb-create/createdb.h"

// A source that cannot be turned into the catalogue. The message names the
// file and, where there is one, the line ("countries.txt:7: ...").
class ECatalogueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The password every table of the catalogue is opened with.
inline constexpr const char* kCataloguePassword = "qivort";

// The catalogue's empty database: tables country, lottery, wheels and
// wheelssurvey with their indexes, encrypted, blob compression on.
TDatabaseSchema CatalogueSchema();

struct TCatalogueCounts {
  int countries = 0;
  int lotteries = 0;
  int wheels = 0;
  int tickets = 0;
};

// Builds `outputFile` from the sources in `sourceFolder`. A folder without a
// wheels/ sub-folder gives empty wheel tables. The file is written beside the
// target and renamed over it only when complete, so a failed build never
// leaves a half-built catalogue. Raises ECatalogueError.
TCatalogueCounts BuildCatalogue(const std::string& sourceFolder, const std::string& outputFile);
