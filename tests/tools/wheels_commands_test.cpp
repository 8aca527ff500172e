// The wheelgen commands run in-process: the catalogue command's round trip
// through a wheel folder, and the exit statuses callers script against.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "scratchfolder.h"
#include "wheelcore/commands.h"

namespace fs = std::filesystem;

namespace {

struct CommandRun {
  int status;
  std::string out, err;
};

CommandRun wheelgen(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = runWheelgen(args, out, err);
  return {status, out.str(), err.str()};
}

// Rewrites a wheel file without its last ticket.
void dropLastTicket(const fs::path& file) {
  std::ifstream in(file);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  text.erase(text.find_last_of('\n', text.size() - 2) + 1);
  std::ofstream(file) << text;
}

}  // namespace

TEST(WheelgenCommands, CatalogueFillsAFolderOnceAndStopsAtADamagedFile) {
  const fs::path folder = scratchFolder("wheelgen-catalogue");
  const std::vector<std::string> build = {"catalogue", "--dir", folder.string(), "--pick", "5", "--max-v", "8",
                                          "--seconds", "0", "--quiet"};
  const CommandRun first = wheelgen(build);
  ASSERT_EQ(first.status, 0) << first.err;
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) files += entry.is_regular_file();
  EXPECT_GT(files, 5u);
  EXPECT_EQ(wheelgen({"check", folder.string()}).status, 0);
  // Nothing smaller to find: a second run writes nothing.
  const CommandRun second = wheelgen(build);
  EXPECT_EQ(second.status, 0);
  EXPECT_NE(second.out.find(" 0 files written"), std::string::npos) << second.out;

  // A wheel that no longer holds stops the run, named, and is left as it is.
  fs::path victim;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file() && entry.path().filename().string().find("3if3") != std::string::npos)
      victim = entry.path();
  ASSERT_FALSE(victim.empty());
  dropLastTicket(victim);
  const CommandRun damaged = wheelgen(build);
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.err.find(victim.filename().string()), std::string::npos) << damaged.err;
  EXPECT_EQ(wheelgen({"check", folder.string()}).status, 1);
}

TEST(WheelgenCommands, ExitStatuses) {
  const fs::path folder = scratchFolder("wheelgen-status");
  const std::string holds = (folder / "holds.txt").string(), fails = (folder / "fails.txt").string();
  std::ofstream(holds) << "01-02-03\n01-02-04\n01-03-04\n02-03-04\n";
  std::ofstream(fails) << "01-02-03\n01-02-04\n";
  const std::vector<std::string> spec = {"--pick", "3", "--type", "a", "--formula", "3if3", "--v", "4"};
  auto verify = [&](const std::string& file) {
    std::vector<std::string> args = {"verify", file};
    args.insert(args.end(), spec.begin(), spec.end());
    return wheelgen(args).status;
  };
  EXPECT_EQ(verify(holds), 0);
  EXPECT_EQ(verify(fails), 1);
  EXPECT_EQ(verify((folder / "missing.txt").string()), 2);
  EXPECT_EQ(wheelgen({}).status, 2);
  EXPECT_EQ(wheelgen({"frobnicate"}).status, 2);
  EXPECT_EQ(wheelgen({"search", "--pick", "6"}).status, 2);
  // The output is refused before any search runs.
  EXPECT_EQ(wheelgen({"search", "--pick", "6", "--type", "a", "--formula", "3if3", "--v", "12", "--out",
                      folder.string()})
                .status,
            2);
  // Set-cover options without --cover are refused, not silently ignored.
  for (const std::vector<std::string>& option : {std::vector<std::string>{"--by-tickets"}, {"--cover-limit", "5"}}) {
    std::vector<std::string> args = {"search", "--group", "cyclic", "--out", (folder / "w.txt").string()};
    args.insert(args.end(), spec.begin(), spec.end());
    args.insert(args.end(), option.begin(), option.end());
    const CommandRun run = wheelgen(args);
    EXPECT_EQ(run.status, 2) << option[0];
    EXPECT_NE(run.err.find(option[0] + " goes with --cover"), std::string::npos) << run.err;
  }
  EXPECT_EQ(wheelgen({"--help"}).status, 0);
}

TEST(WheelgenCommands, SearchFromAHeldWheel) {
  const fs::path folder = scratchFolder("wheelgen-from");
  const std::string start = (folder / "start.txt").string(), out = (folder / "out.txt").string();
  const std::vector<std::string> spec = {"--pick", "5", "--type", "a", "--formula", "3if3", "--v", "10"};
  auto search = [&](std::vector<std::string> more) {
    std::vector<std::string> args = {"search"};
    args.insert(args.end(), spec.begin(), spec.end());
    args.insert(args.end(), more.begin(), more.end());
    return wheelgen(args);
  };
  ASSERT_EQ(search({"--moves", "1", "--out", start}).status, 0);
  auto tickets = [](const std::string& file) {
    std::ifstream in(file);
    size_t count = 0;
    for (std::string line; std::getline(in, line);) count += !line.empty() && line[0] != '#';
    return count;
  };
  const CommandRun annealed = search({"--from", start, "--moves", "200000", "--out", out});
  ASSERT_EQ(annealed.status, 0) << annealed.err;
  EXPECT_LE(tickets(out), tickets(start));
  // A wheel of another design, or one that fails, is refused before any search.
  const CommandRun other = wheelgen({"search", "--pick", "5", "--type", "a", "--formula", "3if3", "--v", "11", "--from",
                                     start, "--out", out});
  EXPECT_EQ(other.status, 2);
  EXPECT_NE(other.err.find("not a wheel of"), std::string::npos) << other.err;
  dropLastTicket(start);
  EXPECT_EQ(search({"--from", start, "--out", out}).status, 2);
}
