// Table datasets: opening and the order in use, moving, finds with and
// without Filtered, filter assignment rules, new record values, blobs and
// writing records.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue_fixture.h"
#include "dataset/datetime.h"
#include "tests/database_error_of.h"

namespace {

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override { FillCatalogue(file.path()); }

  // A table named Table1 on the catalogue, opened.
  void OpenTable(TTomeTable& table, const std::string& name, const std::string& index = "") {
    table.SetName("Table1");
    table.SetDatabaseName(file.path());
    table.SetTableName(name);
    table.SetIndexName(index);
    table.Open();
  }
  static std::vector<std::string> Walk(TTomeTable& table, const char* field) {
    std::vector<std::string> values;
    table.First();
    while (!table.Eof()) {
      values.push_back(table.FieldByName(field).AsString());
      table.Next();
    }
    return values;
  }
  static std::vector<std::string> Finds(TTomeTable& table) {
    std::vector<std::string> names;
    for (bool found = table.FindFirst(); found; found = table.FindNext())
      names.push_back(table.FieldByName("lotteryname").AsString());
    return names;
  }

  TCatalogueFile file;
};

TEST_F(TableTest, WalksInTheOrderOfTheIndex) {
  TTomeTable country;
  OpenTable(country, "COUNTRY", "countryindex");
  EXPECT_EQ(country.RecordCount(), 4);
  EXPECT_EQ(Walk(country, "country"), (std::vector<std::string>{"Australia", "Germany", "Spain", "United States"}));
  ASSERT_EQ(country.IndexDefs().Count(), 1);
  EXPECT_EQ(country.IndexDefs()[0].Fields(), "country");
  EXPECT_EQ(country.IndexDefs()[0].Options(), static_cast<TIndexOptions>(ixPrimary));

  TTomeTable lottery;
  OpenTable(lottery, "lottery", "loterynameindex");
  EXPECT_EQ(lottery.IndexDefs()[0].Fields(), "country,lotteryname");
  EXPECT_EQ(Walk(lottery, "lotteryname"), (std::vector<std::string>{"Lotto 6aus49", "Bonoloto", "Cash4Life",
                                                                     "Mega Millions", "Powerball"}));
  lottery.First();
  EXPECT_EQ(lottery.FieldByName("from").AsInteger(), 49);
  EXPECT_EQ(lottery.FieldByName("match").AsInteger(), 6);
}

TEST_F(TableTest, UnknownIndexNameIsNoError) {
  TTomeTable country;
  OpenTable(country, "country", "no such index");
  EXPECT_EQ(country.IndexNo(), 0) << "the first primary index";
  EXPECT_EQ(Walk(country, "country").front(), "Australia");

  TTomeTable lottery;
  OpenTable(lottery, "lottery", "nameindex");
  EXPECT_EQ(lottery.IndexNo(), -1) << "no primary index: stored order";
  EXPECT_EQ(Walk(lottery, "lotteryname").front(), "Powerball");

  lottery.Next();
  lottery.SetIndexName("LOTERYNAMEINDEX");  // switches at once, to the first record
  EXPECT_EQ(lottery.IndexNo(), 0);
  EXPECT_EQ(lottery.FieldByName("lotteryname").AsString(), "Lotto 6aus49");
}

TEST_F(TableTest, DatabaseNameSetAfterTableNameEmptiesIt) {
  TTomeTable table;
  table.SetName("Table1");
  table.SetTableName("country");
  table.SetIndexName("countryindex");
  table.SetDatabaseName(file.path());
  EXPECT_EQ(table.TableName(), "");
  EXPECT_EQ(table.IndexName(), "");
  EXPECT_EQ(ErrorOf([&] { table.Open(); }), "Table1: Table '' not found");
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(Session()->FindDatabase(file.path()), nullptr) << "the failed open gave its database back";

  table.SetTableName("country");
  table.Open();
  EXPECT_EQ(ErrorOf([&] { table.SetDatabaseName("x"); }),
            "Table1: Cannot perform this operation on an open dataset");
}

TEST_F(TableTest, EmptyTable) {
  TTomeTable table;
  OpenTable(table, "empty");
  table.First();
  EXPECT_TRUE(table.Eof());
  EXPECT_TRUE(table.Bof());
  EXPECT_EQ(table.RecNo(), 0);
  EXPECT_EQ(table.RecordCount(), 0);
  EXPECT_FALSE(table.FindFirst()) << "empty filter on an empty table";
  EXPECT_EQ(table.FieldByName("name").AsString(), "") << "no buffer: the field reads empty";
}

TEST_F(TableTest, FindFirstAndFindNextWithFilteredOff) {
  TTomeTable table;
  OpenTable(table, "lottery", "loterynameindex");
  EXPECT_TRUE(table.FindFirst()) << "an empty filter accepts every record";
  EXPECT_EQ(table.RecNo(), 1);

  table.SetFilter("country='United States'");
  EXPECT_EQ(Finds(table), (std::vector<std::string>{"Cash4Life", "Mega Millions", "Powerball"}));
  EXPECT_EQ(table.FieldByName("lotteryname").AsString(), "Powerball") << "a failed FindNext stays on the last match";
  EXPECT_EQ(table.RecNo(), 5);
  EXPECT_EQ(table.RecordCount(), 5) << "Filtered off: every record counts";
  EXPECT_EQ(Walk(table, "lotteryname").size(), 5u);

  EXPECT_TRUE(table.FindLast());
  EXPECT_EQ(table.FieldByName("lotteryname").AsString(), "Powerball");
  EXPECT_TRUE(table.FindPrior());
  EXPECT_EQ(table.FieldByName("lotteryname").AsString(), "Mega Millions");

  // A text with an error is refused when set while open, and by the next
  // find when it was set while closed.
  EXPECT_EQ(ErrorOf([&] { table.SetFilter("pick= 5 and  country='Spain'"); }), "Table1: Field 'pick' not found");
  EXPECT_EQ(table.Filter(), "country='United States'");
  table.Close();
  table.SetFilter("pick= 5 and  country='Spain'");
  table.Open();
  EXPECT_EQ(ErrorOf([&] { table.FindFirst(); }), "Table1: Field 'pick' not found");
  EXPECT_EQ(table.State(), dsBrowse);
}

TEST_F(TableTest, FilteredOnNarrowsTheRecordList) {
  TTomeTable table;
  OpenTable(table, "lottery", "loterynameindex");
  table.SetFilter("country='United States'");
  std::vector<int> progress;
  table.OnFilterProgress = [&](TTomeTable&, int percent) { progress.push_back(percent); };
  table.SetFiltered(true);
  EXPECT_EQ(progress, (std::vector<int>{0, 20, 40, 60, 80}));
  EXPECT_EQ(table.RecordCount(), 3);
  EXPECT_EQ(Walk(table, "lotteryname"), (std::vector<std::string>{"Cash4Life", "Mega Millions", "Powerball"}));
  EXPECT_EQ(Finds(table).size(), 3u);

  // A record appended afterwards joins the list untested, in its key place.
  table.AppendRecord({Variant("Spain"), Variant("La Primitiva"), Variant(49), Variant(6)});
  EXPECT_EQ(table.RecordCount(), 4);
  EXPECT_EQ(table.FieldByName("lotteryname").AsString(), "La Primitiva");

  table.SetFiltered(false);
  EXPECT_EQ(table.RecordCount(), 6);
  EXPECT_EQ(table.RecNo(), 1);
}

TEST_F(TableTest, OnFilterRecordIsAskedBeforeTheExpression) {
  TTomeTable table;
  OpenTable(table, "lottery");
  table.SetFilter("match=5");
  int asked = 0;
  table.OnFilterRecord = [&](TDataSet& dataSet, bool& accept) {
    ++asked;
    accept = dataSet.FieldByName("from").AsInteger() < 70;
  };
  table.SetFiltered(true);
  EXPECT_EQ(asked, 5);
  EXPECT_EQ(Walk(table, "lotteryname"), (std::vector<std::string>{"Powerball", "Cash4Life"}));
}

TEST_F(TableTest, FailedFilterAssignmentKeepsThePreviousText) {
  TTomeTable table;
  OpenTable(table, "lottery");
  table.SetFilter("country='Spain'");
  EXPECT_THROW(table.SetFilter("country="), EDatabaseError);
  EXPECT_EQ(table.Filter(), "country='Spain'");

  table.SetFiltered(true);
  EXPECT_EQ(table.RecordCount(), 1);
  EXPECT_EQ(ErrorOf([&] { table.SetFilter("nosuch=1"); }), "Table1: Field 'nosuch' not found");
  EXPECT_EQ(table.Filter(), "country='Spain'");
  EXPECT_EQ(table.RecordCount(), 1);

  // An error while the list is rebuilt puts the previous text back and its list.
  table.OnFilterRecord = [](TDataSet& dataSet, bool&) {
    if (dataSet.FieldByName("country").AsString() == "Germany") DatabaseError(ekGeneral, "refused");
  };
  EXPECT_EQ(ErrorOf([&] { table.SetFilter("from=49"); }), "refused");
  EXPECT_EQ(table.Filter(), "country='Spain'");
  EXPECT_EQ(table.State(), dsBrowse);
  table.OnFilterRecord = nullptr;
  table.Refresh();
  EXPECT_EQ(Walk(table, "lotteryname"), (std::vector<std::string>{"Bonoloto"}));

  // While closed the text is only stored.
  table.Close();
  table.SetFilter("country=");
  EXPECT_EQ(table.Filter(), "country=");
  EXPECT_THROW(table.Open(), EDatabaseError) << "the filtered list is built after the open";
  EXPECT_FALSE(table.Active()) << "never open with Filtered on and every record shown";
}

TEST_F(TableTest, FilterOptionsIgnoreCase) {
  TTomeTable table;
  OpenTable(table, "lottery");
  table.SetFilter("country='SPAIN'");
  table.SetFiltered(true);
  EXPECT_EQ(table.RecordCount(), 0);
  table.SetFilterOptions(foCaseInsensitive);
  EXPECT_EQ(table.RecordCount(), 1);
}

TEST_F(TableTest, RecNoAndBookmarks) {
  TTomeTable table;
  OpenTable(table, "country", "countryindex");
  table.SetRecNo(3);
  EXPECT_EQ(table.FieldByName("country").AsString(), "Spain");
  table.SetRecNo(9);  // beyond the count: nothing happens
  EXPECT_EQ(table.RecNo(), 3);
  TBookmark mark = table.GetBookmark();
  table.First();
  table.GotoBookmark(mark);
  EXPECT_EQ(table.FieldByName("country").AsString(), "Spain");

  table.SetFilter("country='Germany'");
  table.SetFiltered(true);
  EXPECT_EQ(ErrorOf([&] { table.GotoBookmark(mark); }), "Bookmark not found");
}

TEST_F(TableTest, NewRecordStartsWithTodayNowAndDateTimeZero) {
  const int32_t today = 739226;  // 2024-12-08
  const int32_t now = (13 * 3600 + 14 * 60 + 15) * 1000;
  SetClockOverride(TLocalDateTime{today, now});
  TTomeTable table;
  OpenTable(table, "moments");
  table.Append();
  EXPECT_EQ(table.FieldByName("day").AsDateTime(), StoredDateToDateTime(today));
  EXPECT_EQ(table.FieldByName("at").AsDateTime(), StoredTimeToDateTime(now));
  EXPECT_EQ(table.FieldByName("stamp").AsDateTime(), 0.0) << "1899-12-30 00:00";
  EXPECT_EQ(table.FieldByName("name").AsString(), "");
  table.FieldByName("name").SetAsString("noon");
  table.FieldByName("note").SetAsString("a memo kept outside the record");
  table.Post();
  SetClockOverride(std::nullopt);

  table.Close();
  table.Open();
  table.First();
  EXPECT_EQ(table.FieldByName("name").AsString(), "noon");
  EXPECT_EQ(table.FieldByName("day").AsDateTime(), StoredDateToDateTime(today));
  EXPECT_EQ(table.FieldByName("stamp").AsDateTime(), 0.0);
  EXPECT_EQ(table.FieldByName("note").AsString(), "a memo kept outside the record");
  auto stream = table.CreateBlobStream(table.FieldByName("note"), bmRead);
  EXPECT_EQ(stream->Size(), 30);
  EXPECT_EQ(ErrorOf([&] { table.CreateBlobStream(table.FieldByName("name"), bmRead); }), "General error");
}

TEST_F(TableTest, EditAndDeleteKeepTheOrder) {
  TTomeTable table;
  OpenTable(table, "lottery", "loterynameindex");
  ASSERT_TRUE(table.FindFirst());  // Lotto 6aus49, Germany
  table.Edit();
  table.FieldByName("country").SetAsString("Zambia");
  table.Post();
  EXPECT_EQ(table.FieldByName("lotteryname").AsString(), "Lotto 6aus49");
  EXPECT_EQ(table.RecNo(), 5) << "the record moved to its new key place";
  table.Delete();
  EXPECT_EQ(table.RecordCount(), 4);
  EXPECT_EQ(table.FieldByName("lotteryname").AsString(), "Powerball") << "deleting the last leaves the new last";

  TTomeTable again;
  again.SetDatabaseName(file.path());
  again.SetTableName("lottery");
  again.Open();
  EXPECT_EQ(again.RecordCount(), 4);
}

TEST_F(TableTest, ReadOnlyTablesRefuseChanges) {
  TTomeTable table;
  table.SetReadOnly(true);
  OpenTable(table, "country");
  EXPECT_FALSE(table.CanModify());
  EXPECT_EQ(ErrorOf([&] { table.Append(); }), "Table1: Cannot modify a read-only dataset");
  table.Close();
  table.SetReadOnly(false);
  table.Open();
  EXPECT_TRUE(table.CanModify());
}

TEST(MemoryTableTest, TableOnAnInMemoryDatabase) {
  TMemoryStream stream;
  const std::vector<uint8_t> image = BuildDatabaseImage(ParseSchema(kCatalogueSchema));
  stream.Write(image.data(), static_cast<int64_t>(image.size()));
  const uint32_t handle = RegisterMemoryDatabase(&stream);
  {
    TTomeTable table;
    table.SetMediumType(mtMemory);
    table.SetDatabaseName(MemoryDatabaseName(handle));
    table.SetTableName("country");
    table.Open();
    EXPECT_EQ(table.Database()->MediumType(), mtMemory) << "the temporary database takes the dataset's medium";
    table.AppendRecord({Variant("Malaysia")});
    table.AppendRecord({Variant("Greece")});
    EXPECT_EQ(table.RecordCount(), 2);
    table.First();
    EXPECT_EQ(table.FieldByName("country").AsString(), "Greece");
    std::vector<int> recNos;
    table.OnFilterRecord = [&](TDataSet& dataSet, bool&) { recNos.push_back(dataSet.RecNo()); };
    table.SetFiltered(true);
    EXPECT_EQ(recNos, (std::vector<int>{1, 2})) << "RecNo while testing is the tested record's";
  }
  EXPECT_GT(stream.Size(), static_cast<int64_t>(image.size())) << "the records went into the caller's stream";
  UnregisterMemoryDatabase(handle);
}

TEST(EncryptedTableTest, ValuesRoundTripThroughTheCipher) {
  TCatalogueFile file("compression on", "Blowfish", "qivort", 2);
  FillCatalogue(file.path(), "qivort");
  TTomeTable table;
  table.SetDatabaseName(file.path());
  table.SetPassword("qivort");
  table.SetTableName("lottery");
  table.SetIndexName("loterynameindex");
  table.Open();
  table.SetFilter("country='United States' and match=5");
  std::vector<std::string> names;
  for (bool found = table.FindFirst(); found; found = table.FindNext())
    names.push_back(table.FieldByName("lotteryname").AsString());
  EXPECT_EQ(names, (std::vector<std::string>{"Cash4Life", "Mega Millions", "Powerball"}));
}

}  // namespace
