// The wheel source files: reading, writing, and the faults a reader must catch.
#include <gtest/gtest.h>

#include "scratchfolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "wheelcore/wheelfile.h"

namespace fs = std::filesystem;

namespace {

const char* const kFano =
    "# pick: 3\n# type: a\n# formula: 2if2\n# v: 7\n# tickets: 7\n# method: construction: test\n"
    "01-02-03\n01-04-05\n01-06-07\n02-04-06\n02-05-07\n03-04-07\n03-05-06\n";


}  // namespace

TEST(WheelFile, ReadsAndWritesTheSameText) {
  WheelFile wheel;
  std::string error;
  ASSERT_TRUE(parseWheelFile(kFano, wheel, error)) << error;
  EXPECT_EQ(wheel.spec.pick, 3);
  EXPECT_EQ(wheel.spec.t, 2);
  EXPECT_EQ(wheel.spec.v, 7);
  EXPECT_EQ(wheel.tickets.size(), 7u);
  EXPECT_EQ(wheel.method, "construction: test");
  EXPECT_TRUE(verifyWheel(wheel.spec, wheel.tickets).holds);
  EXPECT_EQ(formatWheelFile(wheel), kFano);
  EXPECT_EQ(wheelFileName(wheel.spec), "pick3/a/2if2-of-7.txt");
}

TEST(WheelFile, PatternsTakeOneOrTwoDigitPositions) {
  Ticket ticket;
  std::string error;
  ASSERT_TRUE(parsePattern("1-02-30", ticket, error));
  EXPECT_EQ(ticket, (Ticket{1, 2, 30}));
  EXPECT_EQ(formatPattern(ticket), "01-02-30");
  for (const char* bad : {"", "01--02", "-01", "01-", "001-02", "1a-02", "01 02"}) {
    EXPECT_FALSE(parsePattern(bad, ticket, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

TEST(WheelFile, MalformedFilesNameTheirFault) {
  struct Case { std::string text, expected; };
  const std::string header = "# pick: 3\n# type: a\n# formula: 2if2\n# v: 7\n";
  const Case cases[] = {
      {header + "# tickets: 2\n01-02-03\n", "says 2 tickets but the file holds 1"},
      {header + "# tickets: 1\n01-02-03\n\n", "line 7: empty line"},
      {header + "# tickets: 1\n01--03\n", "line 6: empty position"},
      {header + "# tickets: 1\n01-02-03\n# late: x\n", "line 7: header line after"},
      {"# pick: 3\n# type: b\n# formula: 2if2\n# v: 7\n# tickets: 0\n", "neither a nor k"},
      {"# pick: 3\n# type: a\n# formula: 2of2\n# v: 7\n# tickets: 0\n", "<t>if<m>"},
      {"# pick: 3\n# type: a\n# formula: 2if2\n# tickets: 0\n", "\"v\" is missing"},
      {"# pick: 3\n# type: a\n# formula: 4if4\n# v: 7\n# tickets: 0\n", "cannot hold 4"},
      {"# pick: 3\n# pick: 3\n", "given twice"},
  };
  for (const Case& c : cases) {
    WheelFile wheel;
    std::string error;
    EXPECT_FALSE(parseWheelFile(c.text, wheel, error)) << c.text;
    EXPECT_NE(error.find(c.expected), std::string::npos) << "got: " << error;
  }
}

TEST(WheelFile, FolderReadingChecksPlacesAndOrdersBySize) {
  const fs::path folder = scratchFolder("wheel-folder");
  WheelFile fano;
  std::string error;
  ASSERT_TRUE(parseWheelFile(kFano, fano, error));
  ASSERT_TRUE(writeWheelFile((folder / wheelFileName(fano.spec)).string(), fano, error)) << error;
  WheelFile small = fano;
  small.spec.m = 3;
  small.tickets = {{1, 2, 3}, {4, 5, 6}, {1, 6, 7}};
  ASSERT_TRUE(writeWheelFile((folder / wheelFileName(small.spec)).string(), small, error)) << error;

  std::vector<CatalogueEntry> entries;
  ASSERT_TRUE(readWheelFolder(folder.string(), entries, error)) << error;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].wheel.tickets.size(), 3u);  // fewest tickets first within (pick, type, v)
  EXPECT_EQ(entries[1].wheel.tickets.size(), 7u);
  EXPECT_FALSE(fs::exists(folder / (wheelFileName(fano.spec) + ".tmp")));

  // A file whose header does not match its place is refused, by name.
  fs::copy_file(folder / wheelFileName(fano.spec), folder / "pick3/a/2if2-of-8.txt");
  EXPECT_FALSE(readWheelFolder(folder.string(), entries, error));
  EXPECT_NE(error.find("2if2-of-8.txt"), std::string::npos) << error;
  EXPECT_FALSE(readWheelFolder((folder / "missing").string(), entries, error));
}
