// Importing published block lists into the wheel folder: only verified and
// only smaller wheels are written, for every wheel of the same design; and a
// search's output file is checked before the search.
#include <gtest/gtest.h>

#include "scratchfolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "wheelcore/store.h"
#include "wheelcore/wheelfile.h"

namespace fs = std::filesystem;

namespace {


std::string readAll(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// "5 if 5 of 7", tickets of 6: the six 6-sets that leave out one of the
// positions 1..6 (every 5-set leaves out two positions, one of them <= 6).
const char* const kSixBlocks =
    "# C(7,6,5): 6 blocks, a published table (CC BY 4.0)\n"
    "2 3 4 5 6 7\n1 3 4 5 6 7\n1 2 4 5 6 7\n1 2 3 5 6 7\n1 2 3 4 6 7\n1 2 3 4 5 7\n";

}  // namespace

TEST(WheelImport, WritesOnlySmallerVerifiedWheelsForEveryWheelOfTheDesign) {
  const fs::path folder = scratchFolder("wheel-import");
  const WheelSpec spec{6, WheelType::abbreviated, 5, 5, 7};
  // The catalogue holds the full wheel: all seven 6-sets.
  WheelFile full;
  full.spec = spec;
  full.method = "construction: full wheel";
  for (int left = 7; left >= 1; --left) {
    Ticket ticket;
    for (int p = 1; p <= 7; ++p)
      if (p != left) ticket.push_back(p);
    full.tickets.push_back(ticket);
  }
  std::string error;
  ASSERT_TRUE(writeWheelFile((folder / wheelFileName(spec)).string(), full, error)) << error;

  ImportOutcome outcome = importWheel(kSixBlocks, &spec, "", folder.string());
  ASSERT_EQ(outcome.verdict, ImportVerdict::written) << outcome.message;
  EXPECT_EQ(outcome.stored.smallestBefore, 7u);
  // The key wheel with one more number per ticket shares the design.
  const WheelSpec twin{7, WheelType::key, 6, 6, 8};
  ASSERT_EQ(outcome.stored.written, (std::vector<std::string>{wheelFileName(spec), wheelFileName(twin)}));
  WheelFile stored;
  ASSERT_TRUE(readWheelFile((folder / wheelFileName(twin)).string(), stored, error)) << error;
  EXPECT_EQ(stored.tickets.size(), 6u);
  EXPECT_TRUE(verifyWheel(twin, stored.tickets).holds);
  EXPECT_EQ(stored.method, "import: C(7,6,5): 6 blocks, a published table (CC BY 4.0)");

  // The same list again is not smaller; the files stay as they are.
  const std::string before = readAll(folder / wheelFileName(spec));
  outcome = importWheel(kSixBlocks, &spec, "", folder.string());
  EXPECT_EQ(outcome.verdict, ImportVerdict::notSmaller) << outcome.message;
  // Five of the blocks leave the 5-set {1..5}'s neighbours uncovered: refused.
  std::string five(kSixBlocks);
  five.erase(five.rfind("1 2 3 4 5 7\n"));
  outcome = importWheel(five, &spec, "", folder.string());
  EXPECT_EQ(outcome.verdict, ImportVerdict::fails);
  EXPECT_NE(outcome.message.find("refused"), std::string::npos) << outcome.message;
  EXPECT_EQ(readAll(folder / wheelFileName(spec)), before);

  // Malformed lists name their line; a wheel file's header must agree.
  outcome = importWheel("# x\n1 2 3 4 5 6\n1 2 3 4 5 8\n", &spec, "", folder.string());
  EXPECT_EQ(outcome.verdict, ImportVerdict::malformed);
  EXPECT_NE(outcome.message.find("line 3"), std::string::npos) << outcome.message;
  outcome = importWheel("1 2 3 4 5 5\n", &spec, "", folder.string());
  EXPECT_EQ(outcome.verdict, ImportVerdict::malformed);
  const WheelSpec other{6, WheelType::abbreviated, 4, 5, 7};
  outcome = importWheel(before, &other, "", folder.string());
  EXPECT_EQ(outcome.verdict, ImportVerdict::malformed) << outcome.message;
}

TEST(WheelImport, KeyBlockListsMayLeaveOutTheKey) {
  const WheelSpec key{5, WheelType::key, 4, 4, 8};
  std::vector<Ticket> tickets;
  std::string credit, error;
  ASSERT_TRUE(parseBlockList("# c\n3 1 2 4\n1 5 6 7\n", key, tickets, credit, error)) << error;
  EXPECT_EQ(tickets, (std::vector<Ticket>{{1, 2, 3, 4, 5}, {1, 2, 6, 7, 8}}));
  EXPECT_EQ(credit, "c");
  ASSERT_TRUE(parseBlockList("1 2 3 4 5\n", key, tickets, credit, error)) << error;
  EXPECT_EQ(tickets.front(), (Ticket{1, 2, 3, 4, 5}));
  EXPECT_FALSE(parseBlockList("1 2 3 4 9\n", key, tickets, credit, error));
  EXPECT_FALSE(parseBlockList("# only a comment\n", key, tickets, credit, error));
}

TEST(WheelImport, OutputIsCheckedBeforeASearch) {
  const fs::path folder = scratchFolder("wheel-output");
  const fs::path previous = fs::current_path();
  fs::current_path(folder);
  std::string error;
  // A bare file name lies in the current folder.
  EXPECT_TRUE(checkWritable("w.txt", error)) << error;
  WheelFile wheel;
  wheel.spec = {3, WheelType::abbreviated, 2, 2, 4};
  wheel.tickets = {{1, 2, 3}, {1, 2, 4}, {1, 3, 4}};
  EXPECT_TRUE(writeWheelFile("w.txt", wheel, error)) << error;
  EXPECT_TRUE(fs::exists(folder / "w.txt"));
  EXPECT_FALSE(checkWritable(folder.string(), error));
  EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
  // A folder that cannot be made: a file stands in its place.
  EXPECT_FALSE(checkWritable((folder / "w.txt" / "inner.txt").string(), error));
  fs::current_path(previous);
}
