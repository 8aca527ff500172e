// libFuzzer target: a whole database file, opened and read table by table in
// every order, blob values included. Any failure other than a database error,
// any sanitizer report and any run past the time or memory limit is a
// finding.

#include "fuzz/read_whole_database.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The seeds that are encrypted use this password; others ignore it.
  ReadWholeDatabase(data, size, "fuzz");
  return 0;
}
