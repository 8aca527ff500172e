// Range finds: a find or a filtered list that tests only the key range of
// the filter's leading key terms gives the same records in the same order as
// the scan of every record, and each condition that a range cannot honour
// keeps the full scan.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/temp_file.h"
#include "tomedb/TomeDB.h"
#include "tools/tomedb-create/createdb.h"

namespace {

// Texts that the collation takes as equal though their bytes differ (letter
// case; a precomposed and a decomposed e with acute), a text holding the
// wildcard, and texts that sort apart.
const std::vector<std::string> kTexts = {"abc", "ABC", "Abc", "b", "\xC3\xA9", "e\xCC\x81", "a*", "abd", ""};

TDatabaseSchema RangeSchema() {
  TSchemaTable table;
  table.name = "t";
  table.fields = {{"id", ftInteger, 0, 0}, {"n", ftInteger, 0, 0}, {"s", ftString, 6, 0}, {"c", ftString, 6, 0},
                  {"d", ftDate, 0, 0},     {"w", ftSmallint, 0, 0}};
  table.indexes = {{"byn", tiNone, {"n"}},
                   {"bysn", tiNone, {"s", "n"}},
                   {"byci", tiCaseInsensitive, {"c", "n"}},
                   {"bydesc", tiDescending, {"d", "n"}},
                   {"byws", tiNone, {"w", "s", "n"}}};
  TDatabaseSchema schema;
  schema.tables = {table};
  return schema;
}

class RangeFindTest : public ::testing::Test {
 protected:
  void SetUp() override { CreateDatabaseFile(RangeSchema(), file.path(), false); }

  void Fill(int rows, std::mt19937& random, int deleteEvery) {
    TTomeTable table;
    Open(table, "");
    for (int i = 0; i < rows; ++i) {
      table.Append();
      table.FieldByName("id").SetAsInteger(i);
      table.FieldByName("n").SetAsInteger(static_cast<int32_t>(random() % 6));
      table.FieldByName("s").SetAsString(kTexts[random() % kTexts.size()]);
      table.FieldByName("c").SetAsString(kTexts[random() % kTexts.size()]);
      table.FieldByName("d").SetAsDateTime(43900 + static_cast<double>(random() % 4));  // 2020-03-10 ...
      table.FieldByName("w").SetAsInteger(static_cast<int32_t>(random() % 5) - 2);
      table.Post();
    }
    if (deleteEvery > 0) {
      table.First();
      int i = 0;
      while (!table.Eof()) {
        if (++i % deleteEvery == 0) table.Delete();
        else table.Next();
      }
    }
  }

  void Open(TTomeTable& table, const std::string& index) {
    table.SetDatabaseName(file.path());
    table.SetTableName("t");
    table.SetIndexName(index);
    table.Open();
  }

  TempFile file{"rangefind"};
};

int Id(TTomeTable& table) { return table.FieldByName("id").AsInteger(); }

// Everything a caller can see of a filter on `table`: the ids found forward,
// backward, from a few positions in both directions, and (Filtered on) the
// filtered list.
std::vector<int> Observe(TTomeTable& table, const std::vector<int>& starts) {
  std::vector<int> seen;
  for (bool found = table.FindFirst(); found; found = table.FindNext()) seen.push_back(Id(table));
  seen.push_back(-1);
  for (bool found = table.FindLast(); found; found = table.FindPrior()) seen.push_back(Id(table));
  seen.push_back(-2);
  for (int start : starts) {
    if (table.RecordCount() == 0) break;
    table.SetRecNo(1 + start % table.RecordCount());
    seen.push_back(table.FindNext() ? Id(table) : -3);
    table.SetRecNo(1 + start % table.RecordCount());
    seen.push_back(table.FindPrior() ? Id(table) : -4);
  }
  seen.push_back(table.RecordCount());
  for (table.First(); !table.Eof(); table.Next()) seen.push_back(Id(table));
  return seen;
}

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char ch : text) out += ch == '\'' ? std::string("''") : std::string(1, ch);
  return out + "'";
}

TEST_F(RangeFindTest, RandomFiltersFindWhatTheFullScanFinds) {
  std::mt19937 random(20261209);
  Fill(400, random, 7);
  const std::vector<std::string> indexes = {"byn", "bysn", "byci", "bydesc", "byws", ""};
  const char* dates[] = {"'03/10/2020'", "'03/11/2020'", "'03/12/2020'", "'03/13/2020'", "'03/20/2020'"};
  auto term = [&](const std::string& field) -> std::string {
    if (field == "n") return "n=" + std::to_string(random() % 7);
    if (field == "w") return "w=" + std::to_string(static_cast<int>(random() % 6) - 3);
    if (field == "d") return std::string("d=") + dates[random() % 5];
    return field + "=" + Quote(kTexts[random() % kTexts.size()]);
  };
  const std::vector<std::string> extras = {"id > 100", "id < 300", "n <> 2", "s <> 'b'", "(n = 1 or n = 3)", "w >= 0"};
  int narrowed = 0;
  for (int round = 0; round < 150; ++round) {
    const std::string index = indexes[random() % indexes.size()];
    TTomeTable ranged, full;
    Open(ranged, index);
    Open(full, index);
    full.SetRangeFinds(false);
    std::vector<std::string> terms;
    const std::vector<std::string> keyFields = index == "byn"      ? std::vector<std::string>{"n"}
                                               : index == "bysn"   ? std::vector<std::string>{"s", "n"}
                                               : index == "byci"   ? std::vector<std::string>{"c", "n"}
                                               : index == "bydesc" ? std::vector<std::string>{"d", "n"}
                                               : index == "byws"   ? std::vector<std::string>{"w", "s", "n"}
                                                                   : std::vector<std::string>{"n"};
    const size_t leading = random() % (keyFields.size() + 1);
    for (size_t k = 0; k < leading; ++k) terms.push_back(term(keyFields[k]));
    if (random() % 2) terms.push_back(extras[random() % extras.size()]);
    if (random() % 4 == 0) terms.push_back(term(keyFields.back()));
    if (terms.empty()) terms.push_back(term("s"));
    std::shuffle(terms.begin(), terms.end(), random);
    std::string filter;
    for (const std::string& t : terms) filter += (filter.empty() ? "" : " and ") + t;
    const auto options = static_cast<TFilterOptions>(random() % 4);
    const bool filtered = random() % 3 == 0;
    for (TTomeTable* table : {&ranged, &full}) {
      table->SetFilter(filter);
      table->SetFilterOptions(options);
      table->SetFiltered(filtered);
    }
    const std::vector<int> starts = {static_cast<int>(random() % 400), static_cast<int>(random() % 400)};
    const int64_t before = ranged.TableIO()->RecordReadCount();
    const std::vector<int> expected = Observe(full, starts);
    const int64_t between = ranged.TableIO()->RecordReadCount();
    EXPECT_EQ(Observe(ranged, starts), expected)
        << "index '" << index << "' filter " << filter << " options " << int(options) << " filtered " << filtered;
    if (ranged.TableIO()->RecordReadCount() - between < between - before) ++narrowed;
  }
  EXPECT_GT(narrowed, 25) << "rounds in which a range narrowed the scans";
}

TEST_F(RangeFindTest, AppendedAndChangedRecordsAreFoundInTheirNewPlace) {
  std::mt19937 random(7);
  Fill(120, random, 0);
  TTomeTable ranged, full;
  Open(ranged, "bysn");
  Open(full, "bysn");
  full.SetRangeFinds(false);
  for (TTomeTable* table : {&ranged, &full}) table->SetFilter("s='b' and n=3");
  ranged.SetFiltered(true);
  // A record that now matches, and one that no longer does.
  ranged.Append();
  ranged.FieldByName("id").SetAsInteger(1000);
  ranged.FieldByName("n").SetAsInteger(3);
  ranged.FieldByName("s").SetAsString("b");
  ranged.Post();
  ranged.SetFiltered(false);
  ASSERT_TRUE(ranged.FindFirst());
  ranged.Edit();
  ranged.FieldByName("s").SetAsString("abd");
  ranged.Post();
  full.Refresh();
  EXPECT_EQ(Observe(ranged, {5, 50}), Observe(full, {5, 50}));
}

// Each row: an index, a filter and its options, and whether a range may
// serve it. Where it may not, the range-find table reads exactly as many
// records as the one that never uses ranges.
struct TRangeCase {
  const char* name;
  const char* index;
  const char* filter;
  TFilterOptions options;
  bool ranged;
};
// Test names and listings show the filter, not the case's bytes.
void PrintTo(const TRangeCase& c, std::ostream* os) { *os << c.filter; }

class RangeConditionTest : public RangeFindTest, public ::testing::WithParamInterface<TRangeCase> {};

TEST_P(RangeConditionTest, RangeOnlyWhereTheIndexMeansWhatTheFilterMeans) {
  std::mt19937 random(99);
  Fill(300, random, 0);
  const TRangeCase& c = GetParam();
  TTomeTable ranged, full;
  Open(ranged, c.index);
  Open(full, c.index);
  full.SetRangeFinds(false);
  for (TTomeTable* table : {&ranged, &full}) {
    table->SetFilter(c.filter);
    table->SetFilterOptions(c.options);
  }
  auto reads = [&](TTomeTable& table, std::vector<int>& ids) {
    const int64_t before = table.TableIO()->RecordReadCount();
    for (bool found = table.FindFirst(); found; found = table.FindNext()) ids.push_back(Id(table));
    return table.TableIO()->RecordReadCount() - before;
  };
  std::vector<int> rangedIds, fullIds;
  const int64_t rangedReads = reads(ranged, rangedIds);
  const int64_t fullReads = reads(full, fullIds);
  EXPECT_EQ(rangedIds, fullIds);
  if (c.ranged)
    EXPECT_LT(rangedReads * 2, fullReads);
  else
    EXPECT_EQ(rangedReads, fullReads);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, RangeConditionTest,
    ::testing::Values(
        TRangeCase{"LeadingIntegerKey", "byn", "n=4", 0, true},
        TRangeCase{"TwoKeysAndAnotherTerm", "bysn", "id>3 and n=2 and s='abc'", 0, true},
        TRangeCase{"WildcardWithoutPartialCompare", "bysn", "s='a*'", foNoPartialCompare, true},
        TRangeCase{"CaseInsensitiveBoth", "byci", "c='ABC'", foCaseInsensitive, true},
        TRangeCase{"DescendingDates", "bydesc", "d='03/12/2020'", 0, true},
        TRangeCase{"SmallintKey", "byws", "w=-1 and s='b'", 0, true},
        TRangeCase{"StoredOrder", "", "n=4", 0, false},
        TRangeCase{"SecondKeyFieldOnly", "bysn", "n=2", 0, false},
        TRangeCase{"OrAtTheTop", "byn", "n=4 or n=5", 0, false},
        TRangeCase{"Negation", "byn", "not n=4", 0, false},
        TRangeCase{"NotEquality", "byn", "n>=4", 0, false},
        TRangeCase{"ConstantOnTheLeft", "byn", "4=n", 0, false},
        TRangeCase{"WildcardPartialCompare", "bysn", "s='a*'", 0, false},
        TRangeCase{"FilterIgnoresCaseIndexDoesNot", "bysn", "s='ABC'", foCaseInsensitive, false},
        TRangeCase{"IndexIgnoresCaseFilterDoesNot", "byci", "c='ABC'", 0, false},
        TRangeCase{"TextLongerThanTheField", "bysn", "s='abcdefg'", 0, false},
        TRangeCase{"SmallintOutOfRange", "byws", "w=65535", 0, false},
        TRangeCase{"FloatConstant", "byn", "n=4.0", 0, false}),
    [](const ::testing::TestParamInfo<TRangeCase>& info) { return std::string(info.param.name); });

TEST_F(RangeFindTest, HandlersAndTheSwitchKeepTheFullScan) {
  std::mt19937 random(5);
  Fill(200, random, 0);
  TTomeTable table;
  Open(table, "byn");
  table.SetFilter("n=4");
  auto readsOfFind = [&] {
    const int64_t before = table.TableIO()->RecordReadCount();
    for (bool found = table.FindFirst(); found; found = table.FindNext()) {
    }
    return table.TableIO()->RecordReadCount() - before;
  };
  const int64_t ranged = readsOfFind();
  table.SetRangeFinds(false);
  const int64_t full = readsOfFind();
  EXPECT_LT(ranged * 2, full);
  table.SetRangeFinds(true);
  int asked = 0;
  table.OnFilterRecord = [&](TDataSet&, bool&) { ++asked; };
  EXPECT_EQ(readsOfFind(), full);
  EXPECT_GE(asked, 200) << "the handler is asked about every record";
  table.OnFilterRecord = nullptr;
  int progress = 0;
  table.OnFilterProgress = [&](TTomeTable&, int) { ++progress; };
  table.SetFiltered(true);
  EXPECT_EQ(progress, 200) << "the list build reports every record";
}

}  // namespace
