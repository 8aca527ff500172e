// Editing through the framework: insert, append, edit, post, cancel, delete,
// the add-record operations, new record values, the error events and the
// events around each step.

#include <gtest/gtest.h>

#include <functional>

#include "tests/dataset/fixedlocale.h"
#include "tests/dataset/memorydataset.h"
#include "tests/database_error_of.h"

namespace {

class EditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds = std::make_unique<TMemoryDataSet>(std::vector<TMemoryDataSet::Column>{
        {"id", ftInteger}, {"name", ftString, 10}, {"day", ftDate}, {"clock", ftTime}, {"stamp", ftDateTime}});
    for (int i = 1; i <= 3; ++i) ds->AddRow({Variant(i * 10), Variant(std::string("n").append(std::to_string(i)))});
    auto note = [this](const char* what) { return [this, what](TDataSet&) { log.push_back(what); }; };
    ds->BeforeInsert = note("BeforeInsert");
    ds->AfterInsert = note("AfterInsert");
    ds->BeforeEdit = note("BeforeEdit");
    ds->AfterEdit = note("AfterEdit");
    ds->BeforePost = note("BeforePost");
    ds->AfterPost = note("AfterPost");
    ds->BeforeCancel = note("BeforeCancel");
    ds->AfterCancel = note("AfterCancel");
    ds->BeforeDelete = note("BeforeDelete");
    ds->AfterDelete = note("AfterDelete");
    ds->OnNewRecord = note("OnNewRecord");
    ds->Open();
  }
  int Id() { return ds->FieldByName("id").AsInteger(); }
  std::vector<int> Ids() {
    std::vector<int> ids;
    for (ds->First(); !ds->Eof(); ds->Next()) ids.push_back(Id());
    return ids;
  }
  FixedLocale locale;
  std::unique_ptr<TMemoryDataSet> ds;
  std::vector<std::string> log;
};

TEST_F(EditTest, AppendPostsAtTheEndAndStaysOnTheNewRecord) {
  ds->Append();
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_FALSE(ds->Modified());
  ds->FieldByName("id").SetAsInteger(40);
  EXPECT_TRUE(ds->Modified());
  ds->Post();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(Id(), 40);
  EXPECT_EQ(ds->RecordCount(), 4);
  EXPECT_EQ(ds->RecNo(), 4);
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeInsert", "OnNewRecord", "AfterInsert", "BeforePost", "AfterPost"}));
  EXPECT_EQ(Ids(), (std::vector<int>{10, 20, 30, 40}));
}

TEST_F(EditTest, InsertGoesBeforeTheActiveRecord) {
  for (int window : {1, 3}) {
    SCOPED_TRACE(window);
    ds->SetWindowSize(window);
    ds->First();
    ds->Next();
    ds->Insert();
    ds->FieldByName("id").SetAsInteger(15 + window);
    ds->Post();
    EXPECT_EQ(Id(), 15 + window);
  }
  EXPECT_EQ(Ids(), (std::vector<int>{10, 18, 16, 20, 30}));
}

TEST_F(EditTest, InsertIntoAnEmptyDataSet) {
  auto empty = std::make_unique<TMemoryDataSet>(std::vector<TMemoryDataSet::Column>{{"id", ftInteger}});
  empty->Open();
  empty->Insert();
  EXPECT_FALSE(empty->IsEmpty());
  empty->FieldByName("id").SetAsInteger(5);
  empty->Post();
  EXPECT_EQ(empty->RecordCount(), 1);
  EXPECT_FALSE(empty->Eof());
  EXPECT_EQ(empty->FieldByName("id").AsInteger(), 5);
  // Cancelling an insert into an empty dataset leaves it empty again.
  auto other = std::make_unique<TMemoryDataSet>(std::vector<TMemoryDataSet::Column>{{"id", ftInteger}});
  other->Open();
  other->Append();
  other->Cancel();
  EXPECT_TRUE(other->IsEmpty());
  EXPECT_TRUE(other->Eof() && other->Bof());
}

TEST_F(EditTest, ANewRecordStartsWithTodayNowAndTheZeroDateTime) {
  int32_t day = 0;
  ASSERT_TRUE(TryEncodeDate(2026, 12, 8, day));
  FixedLocale::FixClock(day, (17 * 60 + 5) * 60 * 1000 + 250);
  ds->Append();
  EXPECT_EQ(ds->FieldByName("day").AsString(), "12/8/2026");
  EXPECT_EQ(DateTimeToStoredTime(ds->FieldByName("clock").AsDateTime()), (17 * 60 + 5) * 60 * 1000 + 250);
  EXPECT_EQ(ds->FieldByName("clock").AsString(), "17:05:00");
  EXPECT_EQ(ds->FieldByName("stamp").AsDateTime(), 0);
  EXPECT_EQ(ds->FieldByName("stamp").AsString(), "12/30/1899");
  EXPECT_EQ(ds->FieldByName("id").AsInteger(), 0);
  EXPECT_EQ(ds->FieldByName("name").AsString(), "");
  ds->Cancel();
}

TEST_F(EditTest, EditPostWritesAndCancelRestores) {
  ds->Next();
  ds->Edit();
  ds->FieldByName("name").SetAsString("changed");
  ds->Post();
  EXPECT_EQ(ds->StoredValue(1, 1), Variant("changed"));
  ds->Edit();
  ds->FieldByName("name").SetAsString("dropped");
  ds->Cancel();
  EXPECT_EQ(ds->FieldByName("name").AsString(), "changed");
  EXPECT_EQ(ds->StoredValue(1, 1), Variant("changed"));
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost", "BeforeEdit",
                                           "AfterEdit", "BeforeCancel", "AfterCancel"}));
}

TEST_F(EditTest, MovingPostsAChangedRecordAndCancelsAnUnchangedOne) {
  ds->Edit();
  ds->FieldByName("id").SetAsInteger(11);
  ds->Next();
  EXPECT_EQ(ds->StoredValue(0, 0), Variant(11));
  EXPECT_EQ(Id(), 20);
  ds->Append();
  ds->First();  // nothing was typed: the new record is dropped
  EXPECT_EQ(ds->RecordCount(), 3);
  EXPECT_EQ(Id(), 11);
}

TEST_F(EditTest, DeleteKeepsANeighbourActive) {
  ds->Next();
  ds->Delete();
  EXPECT_EQ(Id(), 30);
  EXPECT_EQ(ds->RecordCount(), 2);
  ds->Delete();  // the last one: the new last becomes active
  EXPECT_EQ(Id(), 10);
  ds->Delete();
  EXPECT_TRUE(ds->IsEmpty());
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(ErrorOf([&] { ds->Delete(); }), "Memory1: Cannot perform this operation on an empty dataset");
  EXPECT_EQ(ds->LiveRecordCount(), 0);
}

TEST_F(EditTest, AppendAndInsertRecordPostAtOnce) {
  ds->AppendRecord({Variant(99), Variant("last")});
  EXPECT_EQ(Id(), 99);
  EXPECT_EQ(ds->State(), dsBrowse);
  ds->First();
  ds->InsertRecord({Variant(1), Variant(), Variant("1/2/2003")});
  EXPECT_EQ(Id(), 1);
  EXPECT_EQ(ds->FieldByName("name").AsString(), "");
  EXPECT_EQ(ds->FieldByName("day").AsString(), "1/2/2003");
  EXPECT_EQ(Ids(), (std::vector<int>{1, 10, 20, 30, 99}));
  EXPECT_EQ(ErrorOf([&] { ds->AppendRecord(std::vector<Variant>(6, Variant(1))); }),
            "Memory1: Too many values: 6 given for 5 fields");
  // A value that does not convert fails the whole record; nothing is stored.
  EXPECT_EQ(ErrorOf([&] { ds->AppendRecord({Variant("x")}); }), "'x' is not a valid integer value");
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->RecordCount(), 5);
}

TEST_F(EditTest, ReadOnlyDataSetsRefuseChanges) {
  ds->SetReadOnly(true);
  EXPECT_EQ(ErrorOf([&] { ds->Edit(); }), "Memory1: Cannot modify a read-only dataset");
  EXPECT_EQ(ErrorOf([&] { ds->Append(); }), "Memory1: Cannot modify a read-only dataset");
  EXPECT_EQ(ErrorOf([&] { ds->AppendRecord({Variant(1)}); }), "Memory1: Cannot modify a read-only dataset");
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_TRUE(log.empty());
}

TEST_F(EditTest, PostErrorHandlerDecides) {
  ds->Edit();
  ds->FieldByName("id").SetAsInteger(12);
  // Without a handler the error passes on and the edit stays open.
  ds->failNextPost = "Disk full";
  EXPECT_EQ(ErrorOf([&] { ds->Post(); }), "Memory1: Disk full");
  EXPECT_EQ(ds->State(), dsEdit);
  // Retry after the handler fixed the cause.
  int calls = 0;
  ds->OnPostError = [&](TDataSet&, EDatabaseError& e, TDataAction& action) {
    ++calls;
    EXPECT_STREQ(e.what(), "Memory1: Disk full");
    action = daRetry;
  };
  ds->failNextPost = "Disk full";
  ds->Post();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ds->StoredValue(0, 0), Variant(12));
  // Abort ends the post silently.
  ds->Edit();
  ds->FieldByName("id").SetAsInteger(13);
  ds->OnPostError = [](TDataSet&, EDatabaseError&, TDataAction& action) { action = daAbort; };
  ds->failNextPost = "Disk full";
  EXPECT_THROW(ds->Post(), EAbort);
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(ds->StoredValue(0, 0), Variant(12));
  ds->Cancel();
}

TEST_F(EditTest, OnNewRecordCanSetValuesWithoutMarkingTheRecordModified) {
  ds->OnNewRecord = [](TDataSet& d) { d.FieldByName("name").SetAsString("default"); };
  ds->Append();
  EXPECT_EQ(ds->FieldByName("name").AsString(), "default");
  EXPECT_FALSE(ds->Modified());
  ds->Cancel();
  // An error in OnNewRecord leaves the dataset browsing where it was.
  ds->Last();
  ds->OnNewRecord = [](TDataSet&) { DatabaseError(ekGeneral, "no new records today"); };
  EXPECT_EQ(ErrorOf([&] { ds->Insert(); }), "no new records today");
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(Id(), 30);
  EXPECT_EQ(ds->RecordCount(), 3);
}

TEST_F(EditTest, PostOutsideEditIsAnError) {
  EXPECT_EQ(ErrorOf([&] { ds->Post(); }), "Memory1: Dataset not in edit or insert mode");
  ds->Cancel();  // nothing to cancel: no effect
  EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(EditTest, RefreshRereadsAroundTheActiveRecord) {
  ds->Next();
  ds->AddRow({Variant(40)});  // stored behind the cursor's back
  ds->Refresh();
  EXPECT_EQ(Id(), 20);
  EXPECT_EQ(ds->RecordCount(), 4);
  EXPECT_EQ(Ids(), (std::vector<int>{10, 20, 30, 40}));
}

TEST_F(EditTest, ClosingDropsAnOpenEdit) {
  ds->Edit();
  ds->FieldByName("id").SetAsInteger(77);
  ds->Close();
  EXPECT_EQ(ds->StoredValue(0, 0), Variant(10));
  ds->Open();
  EXPECT_EQ(Id(), 10);
}

}  // namespace
