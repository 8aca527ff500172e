// The catalogue build: small source folders written at test time, built, and
// read back through the engine's table I/O with the catalogue's password.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "makecatalogue/makecatalogue.h"
#include "tomedb/tableio_fixture.h"

namespace {

namespace fs = std::filesystem;

const char* kLotteryLine =
    "Spain|La Primitiva|49|1|0|6|0|0|0|0|0|0|0|0|0|0|0|0||Reintegro|||";

class CatalogueFolder {
 public:
  CatalogueFolder() {
    const char* tmp = std::getenv("NUMERION_TEST_TMP");
    root_ = fs::path(tmp && *tmp ? tmp : "/tmp") / ("catalogue-" + std::to_string(::getpid()) + "-" +
                                                    std::to_string(counter_++));
    fs::remove_all(root_);
    fs::create_directories(root_);
    Write("countries.txt", "# countries\nBrazil|br\nSpain|es\n");
    Write("lotteries.txt", std::string("# lotteries\n\nBrazil|Mega-Sena|60|0|0|6|0|0|0|0|0|0|0|0|0|0|0|0|||||\n") +
                               kLotteryLine + "\n");
  }
  ~CatalogueFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  void Write(const std::string& name, const std::string& text) const {
    fs::create_directories((root_ / name).parent_path());
    std::ofstream(root_ / name, std::ios::binary) << text;
  }
  std::string folder() const { return root_.string(); }
  std::string output() const { return (root_ / "data.dat").string(); }
  std::string Build() const {
    try {
      BuildCatalogue(folder(), output());
      return "";
    } catch (const ECatalogueError& e) {
      return e.what();
    }
  }

 private:
  fs::path root_;
  static inline int counter_ = 0;
};

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A wheel source of pick 5, 5if5 of 6: the full wheel needs all 6 tickets of 5
// numbers.
std::string WheelText(const std::string& ticketsText, int tickets) {
  return "# pick: 5\n# type: a\n# formula: 5if5\n# v: 6\n# tickets: " + std::to_string(tickets) +
         "\n# method: construction\n" + ticketsText;
}
const char* kFullWheel = "01-02-03-04-05\n01-02-03-04-06\n01-02-03-05-06\n01-02-04-05-06\n01-03-04-05-06\n02-03-04-05-06\n";

}  // namespace

TEST(MakeCatalogue, StoresEveryRecordEncryptedAndReadsBackWithThePassword) {
  CatalogueFolder sources;
  sources.Write("wheels/pick5/a/5if5-of-6.txt", WheelText(kFullWheel, 6));
  ASSERT_EQ(sources.Build(), "");

  TTomeDBFileIO io(nullptr);
  io.Open(sources.output(), mtDisk, true, false);
  EXPECT_FALSE(io.SetPassword("Qivort"));
  ASSERT_TRUE(io.SetPassword("qivort"));
  {
    TTomeTableIO country(&io);
    country.SetTableName("country");
    country.Open();
    TRecordValues values(country);
    ASSERT_EQ(country.RecordListOf(1).size(), 2u);
    values.Read(1, 0);
    EXPECT_EQ(values.Text(0), "Brazil");
    values.Read(1, 1);
    EXPECT_EQ(values.Text(0), "Spain");
    country.Close();
  }
  {
    TTomeTableIO lottery(&io);
    lottery.SetTableName("lottery");
    lottery.Open();
    ASSERT_EQ(lottery.FieldDefs().Count(), 23);
    TRecordValues values(lottery);
    values.Read(1, 1);
    EXPECT_EQ(values.Text(0), "Spain");
    EXPECT_EQ(values.Text(1), "La Primitiva");
    EXPECT_EQ(values.Int(2), 49);
    EXPECT_EQ(values.Int(3), 1);
    EXPECT_EQ(values.Int(5), 6);
    EXPECT_EQ(values.Text(19), "Reintegro");
    lottery.Close();
  }
  {
    TTomeTableIO wheels(&io);
    wheels.SetTableName("wheels");
    wheels.Open();
    TRecordValues values(wheels);
    ASSERT_EQ(wheels.RecordListOf(1).size(), 6u);
    values.Read(1, 5);
    EXPECT_EQ(values.Int(0), 5);
    EXPECT_EQ(values.Text(1), "a");
    EXPECT_EQ(values.Text(2), "5if5");
    EXPECT_EQ(values.Int(3), 6);
    EXPECT_EQ(values.Text(4), "02-03-04-05-06");
    wheels.Close();
    TTomeTableIO survey(&io);
    survey.SetTableName("wheelssurvey");
    survey.Open();
    TRecordValues entry(survey);
    ASSERT_EQ(survey.RecordListOf(0).size(), 1u);
    entry.Read(0, 0);
    EXPECT_EQ(entry.Int(4), 6);
    survey.Close();
  }
  // The names are not in the file as plain text.
  const std::vector<uint8_t> bytes = FileBytes(sources.output());
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.find("Primitiva"), std::string::npos);
}

TEST(MakeCatalogue, SameSourcesGiveTheSameBytes) {
  // The same sources in two folders, their wheel files written in opposite
  // orders, and one folder built a second time over its own output: neither
  // the folder's path, nor the order its files were made in, nor an earlier
  // output may reach the bytes.
  std::string fourIfFive = WheelText("01-02-03-04-05\n", 1);
  fourIfFive.replace(fourIfFive.find("5if5"), 4, "4if5");
  const std::vector<std::pair<std::string, std::string>> wheels = {
      {"wheels/pick5/a/5if5-of-6.txt", WheelText(kFullWheel, 6)}, {"wheels/pick5/a/4if5-of-6.txt", fourIfFive}};
  CatalogueFolder first, second;
  for (const auto& [name, text] : wheels) first.Write(name, text);
  for (auto it = wheels.rbegin(); it != wheels.rend(); ++it) second.Write(it->first, it->second);
  ASSERT_EQ(first.Build(), "");
  const std::vector<uint8_t> bytes = FileBytes(first.output());
  ASSERT_EQ(second.Build(), "");
  EXPECT_EQ(FileBytes(second.output()), bytes);
  ASSERT_EQ(first.Build(), "");
  EXPECT_EQ(FileBytes(first.output()), bytes);
}

TEST(MakeCatalogue, SourceErrorsNameTheFileAndLine) {
  struct Case {
    const char* file;
    std::string text;
    const char* expected;
  };
  const std::string good = kLotteryLine;
  const std::vector<Case> cases = {
      {"countries.txt", "# c\nBrazil\n", "countries.txt:2: expected 2 fields"},
      {"countries.txt", "Brazil|br\nBrazil|br\n", "countries.txt:2: "},  // unique index refuses the second
      {"countries.txt", "Brazil|br\r\n", "countries.txt:1: CR line ending"},
      {"countries.txt", std::string(41, 'x') + "|xx\n", "countries.txt:1: field country: longer than 40"},
      {"lotteries.txt", "#\n#\n" + good + "|\n", "lotteries.txt:3: expected 23 fields, found 24"},
      {"lotteries.txt", "Spain|Lotto|049|0|0|6|0|0|0|0|0|0|0|0|0|0|0|0|||||\n",
       "lotteries.txt:1: field from: '049' is not a plain decimal integer"},
      {"lotteries.txt", "Spain|Lotto|-4|0|0|6|0|0|0|0|0|0|0|0|0|0|0|0|||||\n", "lotteries.txt:1: field from"},
      {"lotteries.txt", "Spain|Lotto|49|0|0|99999999999|0|0|0|0|0|0|0|0|0|0|0|0|||||\n",
       "lotteries.txt:1: field match"},
      {"lotteries.txt", "Spain| Lotto|49|0|0|6|0|0|0|0|0|0|0|0|0|0|0|0|||||\n",
       "lotteries.txt:1: field lotteryname: blanks at an end"},
  };
  for (const Case& c : cases) {
    CatalogueFolder sources;
    sources.Write(c.file, c.text);
    EXPECT_THAT(sources.Build(), ::testing::HasSubstr(c.expected)) << c.text;
    EXPECT_FALSE(fs::exists(sources.output())) << c.text;
    EXPECT_FALSE(fs::exists(sources.output() + ".part")) << c.text;
  }
}

TEST(MakeCatalogue, AWheelThatDoesNotHoldIsABuildErrorNamingItsFile) {
  CatalogueFolder sources;
  // The last ticket missing: the draw 2-3-4-5-6 meets no ticket in 5 positions.
  std::string fiveTickets(kFullWheel);
  fiveTickets.resize(fiveTickets.size() - 15);
  sources.Write("wheels/pick5/a/5if5-of-6.txt", WheelText(fiveTickets, 5));
  const std::string error = sources.Build();
  EXPECT_THAT(error, ::testing::HasSubstr("5if5-of-6.txt"));
  EXPECT_THAT(error, ::testing::HasSubstr("does not hold"));
  EXPECT_FALSE(fs::exists(sources.output()));
}

TEST(MakeCatalogue, AFailedBuildLeavesThePreviousCatalogueInPlace) {
  CatalogueFolder sources;
  ASSERT_EQ(sources.Build(), "");
  const std::vector<uint8_t> before = FileBytes(sources.output());
  sources.Write("lotteries.txt", "broken\n");
  EXPECT_THAT(sources.Build(), ::testing::HasSubstr("lotteries.txt:1:"));
  EXPECT_EQ(FileBytes(sources.output()), before);
}

// The catalogue the build ships beside the program: its 18 countries in
// alphabetical order, each with at least one lottery.
TEST(MakeCatalogue, TheShippedCatalogueListsTheEighteenCountries) {
  const std::string path = NUMERION_SHIPPED_CATALOGUE;
  ASSERT_TRUE(fs::exists(path)) << path;
  TTomeDBFileIO io(nullptr);
  io.Open(path, mtDisk, true, false);
  ASSERT_TRUE(io.SetPassword(kCataloguePassword));
  TTomeTableIO country(&io);
  country.SetTableName("country");
  country.Open();
  TRecordValues values(country);
  std::vector<std::string> names;
  for (int32_t k = 0; k < static_cast<int32_t>(country.RecordListOf(1).size()); ++k) {
    values.Read(1, k);
    names.push_back(values.Text(0));
  }
  country.Close();
  EXPECT_THAT(names, ::testing::ElementsAre("Australia", "Belgium", "Brazil", "Canada", "China", "France", "Germany",
                                            "Greece", "Ireland", "Malaysia", "Mexico", "New Zealand", "Singapore",
                                            "South Africa", "Spain", "Turkey", "United Kingdom", "United States"));
  TTomeTableIO lottery(&io);
  lottery.SetTableName("lottery");
  lottery.Open();
  TRecordValues game(lottery);
  std::set<std::string> withGames;
  for (int32_t k = 0; k < static_cast<int32_t>(lottery.RecordListOf(1).size()); ++k) {
    game.Read(1, k);
    withGames.insert(game.Text(0));
  }
  lottery.Close();
  EXPECT_EQ(withGames, std::set<std::string>(names.begin(), names.end()));
}
