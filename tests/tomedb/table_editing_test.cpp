// Table datasets that change and narrow their records: posting in index
// order, Locate and Lookup (index search or scan), master-detail ranges and
// writes that must be refused before anything reaches the file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "catalogue_fixture.h"
#include "tests/database_error_of.h"

namespace {

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

constexpr const char* kPeopleSchema = R"(
table people
  field name String 20
  field city String 20
  field age Integer
  index nameci name caseinsensitive
  index citycase city
  index agekey age unique
)";

constexpr int kPeople = 200;

// A file with one table of kPeople people: name "Person000".."Person199",
// city "City0".."City9" (by i % 10), age i.
class PeopleTest : public ::testing::Test {
 protected:
  PeopleTest() : file_("people") {
    CreateDatabaseFile(ParseSchema(kPeopleSchema), file_.path(), false);
    TTomeTable table;
    Open(table);
    char name[16];
    for (int i = 0; i < kPeople; ++i) {
      std::snprintf(name, sizeof name, "Person%03d", i);
      table.AppendRecord({Variant(name), Variant("City" + std::to_string(i % 10)), Variant(int32_t{i})});
    }
  }

  void Open(TTomeTable& table, const std::string& index = "") {
    table.SetName("People");
    table.SetDatabaseName(file_.path());
    table.SetTableName("people");
    table.SetIndexName(index);
    table.Open();
  }
  static std::vector<std::string> Walk(TTomeTable& table) {
    std::vector<std::string> names;
    for (table.First(); !table.Eof(); table.Next()) names.push_back(table.FieldByName("name").AsString());
    return names;
  }
  const std::string& path() const { return file_.path(); }

 private:
  TempFile file_;
};

TEST_F(PeopleTest, LocateUsesTheIndexExactlyWhenItsCaseHandlingFits) {
  TTomeTable table;
  Open(table, "agekey");
  TTomeTableIO& io = *table.TableIO();

  // The case-insensitive index serves a case-insensitive search: a handful
  // of key reads and one record read, not one per record.
  int64_t fields = io.FieldReadCount();
  ASSERT_TRUE(table.Locate("name", Variant("person187"), loCaseInsensitive));
  EXPECT_LT(io.FieldReadCount() - fields, 20);
  EXPECT_EQ(table.FieldByName("name").AsString(), "Person187");
  EXPECT_EQ(table.RecNo(), 188) << "the position in the order in use (by age)";

  // A case-sensitive search on the same field cannot use that index: scan.
  fields = io.FieldReadCount();
  EXPECT_FALSE(table.Locate("name", Variant("person187"), 0));
  EXPECT_GE(io.FieldReadCount() - fields, kPeople);
  EXPECT_EQ(table.FieldByName("name").AsString(), "Person187") << "a failed Locate does not move";
  ASSERT_TRUE(table.Locate("name", Variant("Person003"), 0));
  EXPECT_EQ(table.RecNo(), 4);

  // citycase is case-sensitive: it serves exactly the search with the option off.
  fields = io.FieldReadCount();
  ASSERT_TRUE(table.Locate("city", Variant("City7"), 0));
  EXPECT_LT(io.FieldReadCount() - fields, 30);
  EXPECT_EQ(table.FieldByName("age").AsInteger(), 7) << "the first in index order, placed in the order in use";
  fields = io.FieldReadCount();
  ASSERT_TRUE(table.Locate("city", Variant("city7"), loCaseInsensitive));
  EXPECT_GE(io.FieldReadCount() - fields, 8) << "scanned";
  EXPECT_EQ(table.FieldByName("age").AsInteger(), 7);

  // Partial keys, and several fields (no index fits: a scan with an array).
  ASSERT_TRUE(table.Locate("name", Variant("PERSON19"), loCaseInsensitive | loPartialKey));
  EXPECT_EQ(table.FieldByName("name").AsString(), "Person190");
  ASSERT_TRUE(table.Locate("city;age", Variant(std::vector<Variant>{Variant("City4"), Variant(int32_t{154})}), 0));
  EXPECT_EQ(table.FieldByName("name").AsString(), "Person154");
  EXPECT_FALSE(table.Locate("city;age", Variant(std::vector<Variant>{Variant("City4"), Variant(int32_t{155})}), 0));
  EXPECT_EQ(ErrorOf([&] { table.Locate("city;age", Variant("City4"), 0); }),
            "People: 2 key values are needed for the key fields 'city;age'");
  EXPECT_EQ(table.State(), dsBrowse);
}

TEST(LocateTest, MemoKeysAndMissingKeyValues) {
  TCatalogueFile file;
  TTomeTable table;
  table.SetName("Moments");
  table.SetDatabaseName(file.path());
  table.SetTableName("moments");
  table.Open();
  for (const char* name : {"a", "b", "c"})
    table.AppendRecord({Variant(name), Variant(), Variant(), Variant(), Variant(std::string("note of ") + name)});
  table.First();
  ASSERT_TRUE(table.Locate("note", Variant("note of b"), 0));
  EXPECT_EQ(table.FieldByName("name").AsString(), "b");
  EXPECT_TRUE(table.Locate("note", Variant("NOTE OF C"), loCaseInsensitive));
  EXPECT_EQ(table.FieldByName("name").AsString(), "c");
  EXPECT_TRUE(table.Locate("note", Variant("note of a"), loPartialKey));
  EXPECT_FALSE(table.Locate("note", Variant("note of d"), 0));
  EXPECT_EQ(table.Lookup("note", Variant("note of b"), "name").AsString(), "b");
  EXPECT_EQ(table.State(), dsBrowse);

  EXPECT_EQ(ErrorOf([&] { table.Locate("name", Variant(std::vector<Variant>{}), 0); }),
            "Moments: A key value is needed for the key field 'name'");
  EXPECT_EQ(ErrorOf([&] { table.Lookup("name", Variant(std::vector<Variant>{}), "note"); }),
            "Moments: A key value is needed for the key field 'name'");
  EXPECT_EQ(table.State(), dsBrowse);
}

TEST_F(PeopleTest, LocateAndLookupStayInsideTheFilteredList) {
  TTomeTable table;
  Open(table, "nameci");
  table.SetFilter("city='City3'");
  table.SetFiltered(true);
  ASSERT_EQ(table.RecordCount(), kPeople / 10);
  EXPECT_FALSE(table.Locate("name", Variant("Person004"), loCaseInsensitive)) << "in the file, not in the list";
  ASSERT_TRUE(table.Locate("name", Variant("person013"), loCaseInsensitive));
  EXPECT_EQ(table.RecNo(), 2);

  table.SetFiltered(false);
  table.First();
  const Variant values = table.Lookup("name", Variant("Person042"), "city;age");
  ASSERT_TRUE(values.IsArray());
  EXPECT_EQ(values.Items()[0].AsString(), "City2");
  EXPECT_EQ(values.Items()[1].AsInteger(), 42);
  EXPECT_EQ(table.Lookup("age", Variant(int32_t{99}), "name").AsString(), "Person099");
  EXPECT_TRUE(table.Lookup("age", Variant(int32_t{500}), "name").IsNull());
  EXPECT_EQ(table.RecNo(), 1) << "Lookup does not move";
  EXPECT_EQ(table.FieldByName("name").AsString(), "Person000");
}

TEST_F(PeopleTest, PostsPlaceRecordsInIndexOrderAndSurviveReopening) {
  std::vector<std::string> before;
  {
    TTomeTable table;
    Open(table, "nameci");
    // An appended record becomes current in its index place.
    table.Append();
    table.FieldByName("name").SetAsString("person0995");  // between Person099 and Person100, ignoring case
    table.FieldByName("age").SetAsInteger(1000);
    table.Post();
    EXPECT_EQ(table.RecNo(), 101);
    EXPECT_EQ(table.FieldByName("name").AsString(), "person0995");

    // A key edit moves the record to its new place and keeps it current.
    ASSERT_TRUE(table.Locate("name", Variant("Person000"), loCaseInsensitive));
    table.Edit();
    table.FieldByName("name").SetAsString("Zed");
    table.Post();
    EXPECT_EQ(table.RecNo(), kPeople + 1);
    EXPECT_EQ(table.FieldByName("name").AsString(), "Zed");
    table.First();
    EXPECT_EQ(table.FieldByName("name").AsString(), "Person001");

    // Deleting the last record of the list leaves the new last current.
    table.Last();
    table.Delete();
    EXPECT_EQ(table.FieldByName("name").AsString(), "Person199");
    EXPECT_EQ(table.RecordCount(), kPeople);
    before = Walk(table);
  }
  TTomeTable again;
  Open(again, "nameci");
  EXPECT_EQ(Walk(again), before) << "the index order in the file is the one the table showed";
  ASSERT_TRUE(again.Locate("age", Variant(int32_t{1000}), 0));
  EXPECT_EQ(again.FieldByName("name").AsString(), "person0995");
  EXPECT_FALSE(again.Locate("name", Variant("Zed"), loCaseInsensitive));
}

TEST_F(PeopleTest, UniqueViolationsLeaveTheFileUnchanged) {
  const std::string original = FileBytes(path());
  {
    TTomeTable table;
    Open(table, "agekey");
    table.Append();
    table.FieldByName("name").SetAsString("Twin");
    table.FieldByName("age").SetAsInteger(5);
    EXPECT_EQ(ErrorOf([&] { table.Post(); }), "Invalid unique field value '5'");
    table.Cancel();
    ASSERT_TRUE(table.Locate("age", Variant(int32_t{6}), 0));
    table.Edit();
    table.FieldByName("age").SetAsInteger(7);
    EXPECT_EQ(ErrorOf([&] { table.Post(); }), "Invalid unique field value '7'");
    table.Cancel();
    EXPECT_EQ(table.RecordCount(), kPeople);
  }
  EXPECT_EQ(FileBytes(path()), original);
}

TEST_F(PeopleTest, WritesAreRefusedWhereWritingIsNotAllowed) {
  const std::string original = FileBytes(path());
  {
    TTomeDatabase database;
    database.SetDatabaseName(path());
    database.SetReadOnly(true);
    TTomeTable table;
    Open(table);
    EXPECT_FALSE(table.CanModify());
    EXPECT_EQ(ErrorOf([&] { table.Append(); }), "People: Cannot modify a read-only dataset");
    EXPECT_EQ(ErrorOf([&] { table.AppendRecord({Variant("x")}); }), "People: Cannot modify a read-only dataset");
    EXPECT_EQ(ErrorOf([&] { table.Edit(); }), "People: Cannot modify a read-only dataset");
  }
  // A file without write permission opens for reading only, even for root.
  ASSERT_EQ(::chmod(path().c_str(), 0444), 0);
  {
    TTomeTable table;
    Open(table);
    EXPECT_FALSE(table.CanModify());
    EXPECT_EQ(ErrorOf([&] { table.Append(); }), "People: Cannot modify a read-only dataset");
    EXPECT_EQ(ErrorOf([&] { table.Delete(); }), "Cannot modify a read-only database");
  }
  ::chmod(path().c_str(), 0644);
  EXPECT_EQ(FileBytes(path()), original);
}

// ------------------------------------------------------- master and detail

class MasterDetailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FillCatalogue(file.path());
    master.SetName("Countries");
    master.SetDatabaseName(file.path());
    master.SetTableName("country");
    master.SetIndexName("countryindex");
    source.SetDataSet(&master);
    detail.SetName("Lotteries");
    detail.SetDatabaseName(file.path());
    detail.SetTableName("lottery");
    detail.SetIndexName("loterynameindex");
    detail.SetMasterSource(&source);
    detail.SetMasterFields("country");
    master.Open();
    detail.Open();
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (detail.First(); !detail.Eof(); detail.Next()) names.push_back(detail.FieldByName("lotteryname").AsString());
    return names;
  }

  TCatalogueFile file;
  TTomeTable master;
  TDataSource source;
  TTomeTable detail;
};

TEST_F(MasterDetailTest, TheDetailFollowsTheMaster) {
  EXPECT_EQ(master.FieldByName("country").AsString(), "Australia");
  EXPECT_TRUE(detail.RangeActive());
  EXPECT_EQ(detail.RecordCount(), 0) << "a master value without details gives an empty list";
  EXPECT_TRUE(detail.Eof());
  master.Next();  // Germany
  EXPECT_EQ(Names(), std::vector<std::string>{"Lotto 6aus49"});
  master.Last();  // United States
  EXPECT_EQ(Names(), (std::vector<std::string>{"Cash4Life", "Mega Millions", "Powerball"}));

  // A record appended under the range takes its key place in it.
  detail.Append();
  detail.FieldByName("country").SetAsString("United States");
  detail.FieldByName("lotteryname").SetAsString("Lucky for Life");
  detail.Post();
  EXPECT_EQ(detail.RecNo(), 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Cash4Life", "Lucky for Life", "Mega Millions", "Powerball"}));
  detail.Refresh();
  EXPECT_EQ(detail.RecordCount(), 4);

  // Filtered goes off when the master moves.
  detail.SetFilter("from>60");
  detail.SetFiltered(true);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Mega Millions", "Powerball"})) << "the filter narrows the range";
  master.Prior();  // Spain
  EXPECT_FALSE(detail.Filtered());
  EXPECT_EQ(Names(), std::vector<std::string>{"Bonoloto"});

  // Disabling the master's source cancels the range.
  source.SetEnabled(false);
  EXPECT_FALSE(detail.RangeActive());
  EXPECT_EQ(detail.RecordCount(), 6);
  EXPECT_TRUE(detail.CanModify());
}

TEST_F(MasterDetailTest, ChoosingAnIndexAppliesTheRangeAtOnce) {
  master.Next();  // Germany
  detail.Close();
  detail.SetIndexName("");
  detail.Open();
  EXPECT_FALSE(detail.RangeActive()) << "no index, no range";
  detail.SetFilter("from>0");
  detail.SetFiltered(true);
  EXPECT_EQ(detail.RecordCount(), 5);
  detail.SetIndexName("loterynameindex");
  EXPECT_TRUE(detail.RangeActive());
  EXPECT_FALSE(detail.Filtered());
  EXPECT_EQ(detail.FieldByName("lotteryname").AsString(), "Lotto 6aus49") << "on the range's first record";
  EXPECT_EQ(Names(), std::vector<std::string>{"Lotto 6aus49"});
}

TEST_F(MasterDetailTest, RefreshNeedsAnIndexAndLinksMustNotCircle) {
  master.Next();
  detail.SetIndexName("no such index");  // the stored order: the range cannot apply
  EXPECT_EQ(ErrorOf([&] { detail.Refresh(); }), "Lotteries: No index currently active");
  detail.SetIndexName("loterynameindex");
  EXPECT_EQ(Names(), std::vector<std::string>{"Lotto 6aus49"});

  TDataSource detailSource;
  detailSource.SetDataSet(&detail);
  EXPECT_EQ(ErrorOf([&] { detail.SetMasterSource(&detailSource); }),
            "Lotteries: Circular datalinks are not allowed");
  EXPECT_EQ(ErrorOf([&] { master.SetMasterSource(&detailSource); }),
            "Countries: Circular datalinks are not allowed");
  EXPECT_EQ(detail.MasterSource(), &source) << "a refused source changes nothing";
}

}  // namespace
