// The tomedb command over files made by the creation library: listing,
// schema round trip, appending and dumping with an index and a filter, the
// two output formats, and its errors.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tomedb/catalogue_fixture.h"
#include "tools/tomedb/tomedbtool.h"

using ::testing::HasSubstr;

namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

Result RunTool(std::vector<std::string> args) {
  std::ostringstream out, err;
  int status = RunTomeDB(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(TomeDBToolTest, ListsTablesAndShowsASchemaThatCreatesTheSameTable) {
  TCatalogueFile file;
  Result tables = RunTool({"tables", file.path()});
  EXPECT_EQ(tables.status, 0) << tables.err;
  EXPECT_EQ(tables.out, "country\nlottery\nmoments\nempty\n");

  Result schema = RunTool({"schema", file.path(), "LOTTERY"});
  ASSERT_EQ(schema.status, 0) << schema.err;
  EXPECT_EQ(schema.out,
            "table lottery\n"
            "  field country String 30\n"
            "  field lotteryname String 40\n"
            "  field from Integer\n"
            "  field match Integer\n"
            "  index loterynameindex country,lotteryname\n");
  // The printed schema is valid input for the creation tool.
  TempFile copy("schema-copy");
  CreateDatabaseFile(ParseSchema(schema.out), copy.path(), false);
  EXPECT_EQ(RunTool({"schema", copy.path(), "lottery"}).out, schema.out);
  EXPECT_THAT(RunTool({"schema", file.path(), "country"}).out, HasSubstr("index countryindex country primary\n"));
}

TEST(TomeDBToolTest, AppendThenDumpInStoredAndIndexOrderAndWithAFilter) {
  TCatalogueFile file;
  for (const TLotteryRow& row : kLotteries)
    ASSERT_EQ(RunTool({"append", file.path(), "lottery", row.country, row.name, std::to_string(row.from),
                   std::to_string(row.match)})
                  .status,
              0);
  Result stored = RunTool({"dump", file.path(), "lottery"});
  ASSERT_EQ(stored.status, 0) << stored.err;
  EXPECT_EQ(stored.out,
            "country,lotteryname,from,match\n"
            "United States,Powerball,69,5\n"
            "Spain,Bonoloto,49,6\n"
            "United States,Mega Millions,70,5\n"
            "Germany,Lotto 6aus49,49,6\n"
            "United States,Cash4Life,60,5\n");

  Result filtered =
      RunTool({"dump", file.path(), "lottery", "--index", "loterynameindex", "--filter", "country='United States'"});
  ASSERT_EQ(filtered.status, 0) << filtered.err;
  EXPECT_EQ(filtered.out,
            "country,lotteryname,from,match\n"
            "United States,Cash4Life,60,5\n"
            "United States,Mega Millions,70,5\n"
            "United States,Powerball,69,5\n");

  Result none = RunTool({"dump", file.path(), "lottery", "--filter=from=1"});
  EXPECT_EQ(none.out, "country,lotteryname,from,match\n");
}

TEST(TomeDBToolTest, QuotesAndEscapesValues) {
  TCatalogueFile file;
  Result noDate = RunTool({"append", file.path(), "moments", "x", "--", "-1"});
  EXPECT_EQ(noDate.status, 1) << "after --, -1 is a value, and no date";
  EXPECT_THAT(noDate.err, HasSubstr("'-1' is not a valid date"));
  Result append = RunTool({"append", file.path(), "country", "Tab\there, \"quoted\""});
  ASSERT_EQ(append.status, 0) << append.err;
  EXPECT_EQ(RunTool({"dump", file.path(), "country"}).out, "country\n\"Tab\there, \"\"quoted\"\"\"\n");
  EXPECT_EQ(RunTool({"dump", file.path(), "country", "--format", "tsv"}).out, "country\nTab\\there, \"quoted\"\n");
  EXPECT_EQ(CsvField("plain"), "plain");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(TsvField("a\\b\r\n"), "a\\\\b\\r\\n");
}

TEST(TomeDBToolTest, PasswordProtectedFile) {
  TCatalogueFile file("", "Blowfish", "qivort");
  EXPECT_EQ(RunTool({"append", file.path(), "country", "Spain", "--password", "qivort"}).status, 0);
  Result wrong = RunTool({"dump", file.path(), "country", "--password", "Qivort"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.err, "tomedb: Access denied\n");
  Result missing = RunTool({"dump", file.path(), "country"});
  EXPECT_EQ(missing.err, "tomedb: Access denied\n");
  EXPECT_EQ(RunTool({"tables", file.path()}).out, "country\nlottery\nmoments\nempty\n") << "names need no password";
  EXPECT_EQ(RunTool({"tables", file.path(), "--password", "x"}).err, "tomedb: Access denied\n");
  Result right = RunTool({"dump", file.path(), "country", "--password=qivort"});
  EXPECT_EQ(right.out, "country\nSpain\n");
}

TEST(TomeDBToolTest, ErrorsAndUsage) {
  TCatalogueFile file;
  Result badValue = RunTool({"append", file.path(), "lottery", "Spain", "El Gordo", "fifty"});
  EXPECT_EQ(badValue.status, 1);
  EXPECT_THAT(badValue.err, HasSubstr("fifty"));
  EXPECT_EQ(RunTool({"dump", file.path(), "lottery"}).out, "country,lotteryname,from,match\n") << "nothing appended";

  Result tooMany = RunTool({"append", file.path(), "country", "a", "b"});
  EXPECT_EQ(tooMany.status, 1);
  EXPECT_THAT(tooMany.err, HasSubstr("Too many values"));

  EXPECT_EQ(RunTool({"dump", file.path(), "nosuch"}).err, "tomedb: Table 'nosuch' not found\n");
  EXPECT_THAT(RunTool({"dump", file.path() + ".gone", "country"}).err, HasSubstr("Cannot open file"));
  Result badIndex = RunTool({"dump", file.path(), "country", "--index", "nameindex"});
  EXPECT_EQ(badIndex.status, 1);
  EXPECT_EQ(badIndex.err, "tomedb: table 'country' has no index 'nameindex'\n");
  Result badFilter = RunTool({"dump", file.path(), "country", "--filter", "country="});
  EXPECT_EQ(badFilter.status, 1);

  EXPECT_EQ(RunTool({}).status, 2);
  EXPECT_EQ(RunTool({"drop", file.path()}).status, 2);
  EXPECT_EQ(RunTool({"dump", file.path()}).status, 2);
  EXPECT_EQ(RunTool({"tables", file.path(), "--filter", "x=1"}).status, 2);
  EXPECT_EQ(RunTool({"dump", file.path(), "country", "--format", "xml"}).status, 2);
  EXPECT_EQ(RunTool({"dump", file.path(), "country", "--index"}).status, 2);
  EXPECT_EQ(RunTool({"--help"}).status, 0);
}

}  // namespace

namespace {

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void PutFileInt32(const std::string& path, int64_t offset, int32_t value) {
  std::fstream io(path, std::ios::binary | std::ios::in | std::ios::out);
  uint8_t bytes[4];
  PutInt32LE(bytes, value);
  io.seekp(offset);
  io.write(reinterpret_cast<const char*>(bytes), 4);
}

}  // namespace

TEST(TomeDBToolTest, CheckReportsEveryProblemAndChangesNothing) {
  TempFile file("check");
  CreateDatabaseFile(
      ParseSchema("table t\nfield k Integer\nfield memo Memo\nindex byk k unique\ntable u\nfield x Integer\n"),
      file.path(), false);
  for (const char* k : {"10", "20", "30"}) ASSERT_EQ(RunTool({"append", file.path(), "t", k, "memo"}).status, 0);
  Result clean = RunTool({"check", file.path()});
  EXPECT_EQ(clean.status, 0) << clean.out << clean.err;
  EXPECT_THAT(clean.out, HasSubstr("2 tables, no problems found"));

  const std::vector<uint8_t> bytes = FileBytes(file.path());
  const int32_t header = GetInt32LE(bytes.data() + kTableDirectoryOffset + kTdOffsets);
  const int32_t tab = GetInt32LE(bytes.data() + header + kThRecordTabOffset);
  const int32_t record0 = GetInt32LE(bytes.data() + tab + 4);
  const int32_t record1 = GetInt32LE(bytes.data() + tab + 4 + kRecordTabItemSize);
  // Behind the engine's back record 0's key becomes 99 (out of order before
  // 20) and record 1's 30 (the same as record 2's); record 1's memo points
  // past the end of the file.
  PutFileInt32(file.path(), record0, 99);
  PutFileInt32(file.path(), record1, 30);
  PutFileInt32(file.path(), record1 + 4, static_cast<int32_t>(bytes.size()) + 1000);
  // And an append that stopped after the record total.
  PutFileInt32(file.path(), header + kThRecordTotal, 4);
  PutFileInt32(file.path(), tab + 4 + 3 * kRecordTabItemSize, static_cast<int32_t>(bytes.size()) + 64);
  const std::vector<uint8_t> damaged = FileBytes(file.path());

  Result check = RunTool({"check", file.path()});
  EXPECT_EQ(check.status, 1);
  EXPECT_THAT(check.out, HasSubstr("table 't': record 3 is an append that stopped part-way"));
  EXPECT_THAT(check.out, HasSubstr("table 't': record 1: Database file '" + file.path() + "' is damaged"));
  EXPECT_THAT(check.out, HasSubstr("index 'byk': records 0 and 1 are out of key order"));
  EXPECT_THAT(check.out, HasSubstr("index 'byk': records 1 and 2 have the same unique key"));
  EXPECT_EQ(FileBytes(file.path()), damaged);
  EXPECT_EQ(RunTool({"check", file.path(), "extra"}).status, 2);
}
