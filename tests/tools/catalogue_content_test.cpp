// Checks the catalogue's text sources (countries, lotteries, flag pictures)
// before they are built into data.dat: every line parses, the countries are the
// ones the flag pictures and the new lottery dialog expect, and every lottery
// is one the wizard can play.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef NUMERION_CATALOGUE_DIR
#error "NUMERION_CATALOGUE_DIR must name the catalogue source folder"
#endif

namespace {

namespace fs = std::filesystem;

const fs::path kCatalogue = NUMERION_CATALOGUE_DIR;

// The countries in the order of the flag pictures of the country combo.
const std::vector<std::string> kCountries = {
    "Australia", "Belgium",   "Brazil",         "Canada",        "China",       "France",
    "Germany",   "Greece",    "Ireland",        "Malaysia",      "Mexico",      "New Zealand",
    "Singapore", "South Africa", "Spain",       "Turkey",        "United Kingdom", "United States"};

struct Line {
  int number = 0;
  std::vector<std::string> fields;
};

// Data lines of a source file split at "|"; comments and blank lines skipped.
std::vector<Line> readSource(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot open " << path;
  std::vector<Line> lines;
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    EXPECT_TRUE(text.empty() || text.back() != '\r') << path << ":" << number << ": CR line ending";
    if (text.empty() || text[0] == '#') continue;
    Line line;
    line.number = number;
    std::string field;
    std::istringstream split(text);
    while (std::getline(split, field, '|')) line.fields.push_back(field);
    if (!text.empty() && text.back() == '|') line.fields.push_back("");
    lines.push_back(line);
  }
  return lines;
}

bool hasOuterBlanks(const std::string& s) {
  return !s.empty() && (s.front() == ' ' || s.back() == ' ' || s.front() == '\t' || s.back() == '\t');
}

// Plain decimal digits only, no sign, no leading zero, within int32.
bool parseDecimal(const std::string& s, int32_t& value) {
  if (s.empty() || s.size() > 10) return false;
  if (!std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  if (s.size() > 1 && s[0] == '0') return false;
  long long v = std::stoll(s);
  if (v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

// Field positions (0-based) and declared string sizes of table "lottery".
enum LotteryField {
  fCountry = 0, fName = 1, fFrom = 2, fBouns = 3, fExtraFrom = 4, fMatch = 5, fExtraPick = 6,
  fFirstSpareInt = 7, fLastSpareInt = 17, fRegion = 18, fExtraName = 19, fFirstSpareString = 20,
  fFieldCount = 23
};
const std::map<int, size_t> kStringSizes = {{fCountry, 40}, {fName, 60}, {fRegion, 40},
                                            {fExtraName, 30}, {20, 40}, {21, 40}, {22, 40}};

struct Lottery {
  int line = 0;
  std::string country, name, extraName;
  int32_t from = 0, bouns = 0, extraFrom = 0, match = 0, extraPick = 0;
};

class CatalogueContent : public ::testing::Test {
 protected:
  // Parses lotteries.txt, reporting every malformed field with its line.
  static std::vector<Lottery> lotteries() {
    const fs::path path = kCatalogue / "lotteries.txt";
    std::vector<Lottery> result;
    for (const Line& line : readSource(path)) {
      const std::string where = "lotteries.txt:" + std::to_string(line.number);
      if (line.fields.size() != fFieldCount) {
        ADD_FAILURE() << where << ": " << line.fields.size() << " fields, expected 23";
        continue;
      }
      int32_t ints[fFieldCount] = {};
      bool ok = true;
      for (int i = 0; i < fFieldCount; ++i) {
        const std::string& f = line.fields[i];
        if (kStringSizes.count(i)) {
          if (f.size() > kStringSizes.at(i) || hasOuterBlanks(f)) {
            ADD_FAILURE() << where << ": field " << i + 1 << " \"" << f << "\" too long or has outer blanks";
            ok = false;
          }
        } else if (!parseDecimal(f, ints[i])) {
          ADD_FAILURE() << where << ": field " << i + 1 << " \"" << f << "\" is not a decimal integer";
          ok = false;
        }
      }
      for (int i = fFirstSpareInt; i <= fLastSpareInt; ++i)
        if (ints[i] != 0) ADD_FAILURE() << where << ": unused field " << i + 1 << " is not 0";
      for (int i = fFirstSpareString; i < fFieldCount; ++i)
        if (!line.fields[i].empty()) ADD_FAILURE() << where << ": unused field " << i + 1 << " is not empty";
      if (!ok) continue;
      Lottery l;
      l.line = line.number;
      l.country = line.fields[fCountry];
      l.name = line.fields[fName];
      l.extraName = line.fields[fExtraName];
      l.from = ints[fFrom];
      l.bouns = ints[fBouns];
      l.extraFrom = ints[fExtraFrom];
      l.match = ints[fMatch];
      l.extraPick = ints[fExtraPick];
      result.push_back(l);
    }
    return result;
  }
};

TEST_F(CatalogueContent, CountriesAreTheEighteenInFlagOrderEachWithItsPicture) {
  const std::vector<Line> lines = readSource(kCatalogue / "countries.txt");
  std::vector<std::string> names;
  std::set<std::string> flagFiles;
  for (const Line& line : lines) {
    ASSERT_EQ(line.fields.size(), 2u) << "countries.txt:" << line.number;
    names.push_back(line.fields[0]);
    const fs::path svg = kCatalogue / "flags" / (line.fields[1] + ".svg");
    EXPECT_TRUE(fs::is_regular_file(svg)) << "countries.txt:" << line.number << ": no picture " << svg;
    EXPECT_TRUE(flagFiles.insert(line.fields[1] + ".svg").second) << "picture used twice: " << line.fields[1];
  }
  EXPECT_EQ(names, kCountries);

  // No stray pictures that the image list would not show.
  std::set<std::string> svgs;
  for (const auto& entry : fs::directory_iterator(kCatalogue / "flags"))
    if (entry.path().extension() == ".svg") svgs.insert(entry.path().filename().string());
  EXPECT_EQ(svgs, flagFiles);
  EXPECT_TRUE(fs::is_regular_file(kCatalogue / "flags" / "LICENSE"));
}

TEST_F(CatalogueContent, FlagPicturesAreLandscapeSvgsTheRendererCanDraw) {
  for (const auto& entry : fs::directory_iterator(kCatalogue / "flags")) {
    if (entry.path().extension() != ".svg") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string name = entry.path().filename().string();
    EXPECT_NE(text.find("<svg"), std::string::npos) << name;
    EXPECT_NE(text.find("viewBox=\"0 0 640 480\""), std::string::npos) << name << ": not a 4:3 picture";
    // Markers are drawn by no renderer the program can rely on; such a
    // picture must be flattened before it is shipped.
    EXPECT_EQ(text.find("<marker"), std::string::npos) << name << ": uses <marker>";
  }
}

TEST_F(CatalogueContent, LotteriesParseAndBelongToTheCatalogueCountries) {
  const std::vector<Lottery> all = lotteries();
  ASSERT_GE(all.size(), 60u);
  std::map<std::string, int> perCountry;
  size_t lastCountry = 0;
  for (const Lottery& l : all) {
    const auto it = std::find(kCountries.begin(), kCountries.end(), l.country);
    if (it == kCountries.end()) {
      ADD_FAILURE() << "lotteries.txt:" << l.line << ": unknown country \"" << l.country << "\"";
      continue;
    }
    // Grouped by country in the countries' order, so the file stays tidy.
    const size_t index = static_cast<size_t>(it - kCountries.begin());
    EXPECT_GE(index, lastCountry) << "lotteries.txt:" << l.line << ": out of country order";
    lastCountry = std::max(lastCountry, index);
    EXPECT_FALSE(l.name.empty()) << "lotteries.txt:" << l.line;
    ++perCountry[l.country];
  }
  for (const std::string& country : kCountries)
    EXPECT_GE(perCountry[country], 1) << country << " has no lottery";
}

TEST_F(CatalogueContent, EveryLotteryFitsTheBoardAndTheWheels) {
  for (const Lottery& l : lotteries()) {
    const std::string where = "lotteries.txt:" + std::to_string(l.line) + " " + l.name;
    // The board has room for 100 numbers; the wheels cover tickets of 5, 6 and 7.
    EXPECT_GE(l.from, 1) << where;
    EXPECT_LE(l.from, 100) << where;
    EXPECT_TRUE(l.match == 5 || l.match == 6 || l.match == 7) << where << ": match " << l.match;
    EXPECT_LT(l.match, l.from) << where;
    EXPECT_LE(l.match + l.bouns, l.from) << where << ": more balls drawn than there are";
    // An extra drum is given with both its size and the picks from it, or not at all.
    EXPECT_EQ(l.extraFrom == 0, l.extraPick == 0) << where;
    EXPECT_LE(l.extraPick, l.extraFrom) << where;
    EXPECT_EQ(l.extraFrom == 0, l.extraName.empty()) << where << ": extra drum without a name";
  }
}

TEST_F(CatalogueContent, NoLotteryNameRepeatsWithinACountry) {
  std::set<std::pair<std::string, std::string>> seen;
  for (const Lottery& l : lotteries())
    EXPECT_TRUE(seen.insert({l.country, l.name}).second)
        << "lotteries.txt:" << l.line << ": \"" << l.name << "\" listed twice for " << l.country;
}

}  // namespace
