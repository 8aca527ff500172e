// The cursor protocol: opening, moving, the window of record buffers,
// bookmarks, finds and the scroll and open events.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/dataset/memorydataset.h"
#include "tests/database_error_of.h"

namespace {

std::vector<TMemoryDataSet::Column> Columns() {
  return {{"id", ftInteger}, {"name", ftString, 10}};
}

// A dataset holding ids 1..count named "n1".."n<count>".
std::unique_ptr<TMemoryDataSet> Numbers(int count) {
  auto ds = std::make_unique<TMemoryDataSet>(Columns());
  for (int i = 1; i <= count; ++i) ds->AddRow({Variant(i), Variant(std::string("n").append(std::to_string(i)))});
  return ds;
}

int Id(TDataSet& ds) { return ds.FieldByName("id").AsInteger(); }

std::vector<int> WalkForward(TDataSet& ds) {
  std::vector<int> ids;
  for (ds.First(); !ds.Eof(); ds.Next()) ids.push_back(Id(ds));
  return ids;
}

std::vector<int> WalkBackward(TDataSet& ds) {
  std::vector<int> ids;
  for (ds.Last(); !ds.Bof(); ds.Prior()) ids.push_back(Id(ds));
  return ids;
}

TEST(Cursor, EmptyDataSetIsAtBothEnds) {
  auto ds = Numbers(0);
  ds->Open();
  EXPECT_TRUE(ds->Eof());
  EXPECT_TRUE(ds->Bof());
  EXPECT_TRUE(ds->IsEmpty());
  EXPECT_EQ(ds->RecordCount(), 0);
  EXPECT_EQ(ds->RecNo(), 0);
  ds->First();
  EXPECT_TRUE(ds->Eof());
  EXPECT_TRUE(ds->Bof());
  EXPECT_EQ(ds->MoveBy(1), 0);
  EXPECT_EQ(ds->MoveBy(-1), 0);
  ds->Last();
  EXPECT_TRUE(ds->Eof() && ds->Bof());
  // No buffer: fields read as empty.
  EXPECT_TRUE(ds->FieldByName("name").IsNull());
  EXPECT_EQ(ds->FieldByName("name").AsString(), "");
  EXPECT_TRUE(ds->GetBookmark().empty());
}

TEST(Cursor, OpenLandsOnFirstRecordWithBof) {
  auto ds = Numbers(3);
  ds->Open();
  EXPECT_TRUE(ds->Active());
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_TRUE(ds->Bof());
  EXPECT_FALSE(ds->Eof());
  EXPECT_EQ(Id(*ds), 1);
  EXPECT_EQ(ds->RecNo(), 1);
  EXPECT_EQ(ds->RecordCount(), 3);
}

TEST(Cursor, WalksBothWaysAndStopsOnTheEnds) {
  for (int window : {1, 2, 3, 7}) {
    SCOPED_TRACE("window " + std::to_string(window));
    auto ds = Numbers(5);
    ds->SetWindowSize(window);
    ds->Open();
    EXPECT_EQ(WalkForward(*ds), (std::vector<int>{1, 2, 3, 4, 5}));
    // Next past the end keeps the last record active.
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(Id(*ds), 5);
    EXPECT_EQ(WalkBackward(*ds), (std::vector<int>{5, 4, 3, 2, 1}));
    EXPECT_TRUE(ds->Bof());
    EXPECT_EQ(Id(*ds), 1);
    // Turning round in the middle.
    ds->First();
    ds->MoveBy(3);
    EXPECT_EQ(Id(*ds), 4);
    ds->Prior();
    ds->Prior();
    EXPECT_EQ(Id(*ds), 2);
    ds->Next();
    EXPECT_EQ(Id(*ds), 3);
    EXPECT_EQ(ds->RecNo(), 3);
  }
}

TEST(Cursor, MoveByReportsHowFarItWent) {
  auto ds = Numbers(5);
  ds->Open();
  EXPECT_EQ(ds->MoveBy(2), 2);
  EXPECT_EQ(Id(*ds), 3);
  EXPECT_EQ(ds->MoveBy(10), 2);
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(Id(*ds), 5);
  EXPECT_EQ(ds->MoveBy(-10), -4);
  EXPECT_TRUE(ds->Bof());
  EXPECT_EQ(Id(*ds), 1);
  EXPECT_EQ(ds->MoveBy(0), 0);
}

TEST(Cursor, WindowRowsFollowTheCursor) {
  auto ds = Numbers(6);
  ds->SetWindowSize(3);
  ds->Open();
  EXPECT_EQ(ds->WindowRows(), 3);
  EXPECT_EQ(ds->RowRecordNumber(0), 0);
  EXPECT_EQ(ds->RowRecordNumber(2), 2);
  // Moving inside the window fetches nothing.
  int calls = ds->getRecordCalls;
  ds->Next();
  ds->Next();
  EXPECT_EQ(ds->getRecordCalls, calls);
  EXPECT_EQ(ds->WindowActiveRow(), 2);
  // One step past the window scrolls it by one row.
  ds->Next();
  EXPECT_EQ(Id(*ds), 4);
  EXPECT_EQ(ds->WindowActiveRow(), 2);
  EXPECT_EQ(ds->RowRecordNumber(0), 1);
  EXPECT_EQ(ds->RowRecordNumber(2), 3);
  // Last fills the window upward and makes the bottom row active.
  ds->Last();
  EXPECT_EQ(ds->WindowActiveRow(), 2);
  EXPECT_EQ(ds->RowRecordNumber(0), 3);
  EXPECT_EQ(Id(*ds), 6);
  // Going to a bookmark centres the record.
  ds->First();
  TBookmark third;
  ds->MoveBy(2);
  third = ds->GetBookmark();
  ds->Last();
  ds->GotoBookmark(third);
  EXPECT_EQ(Id(*ds), 3);
  EXPECT_EQ(ds->WindowActiveRow(), 1);
  EXPECT_EQ(ds->RowRecordNumber(0), 1);
  EXPECT_EQ(ds->RowRecordNumber(2), 3);
}

TEST(Cursor, ShrinkingTheWindowKeepsTheActiveRecord) {
  auto ds = Numbers(6);
  ds->SetWindowSize(4);
  ds->Open();
  ds->MoveBy(2);
  ds->SetWindowSize(1);
  EXPECT_EQ(Id(*ds), 3);
  EXPECT_EQ(ds->WindowRows(), 1);
  ds->SetWindowSize(3);
  EXPECT_EQ(Id(*ds), 3);
  ds->Next();
  EXPECT_EQ(Id(*ds), 4);
}

TEST(Cursor, RecNoSetsThePosition) {
  auto ds = Numbers(5);
  ds->Open();
  ds->SetRecNo(4);
  EXPECT_EQ(Id(*ds), 4);
  EXPECT_EQ(ds->RecNo(), 4);
  ds->SetRecNo(9);  // beyond the count: nothing happens
  EXPECT_EQ(ds->RecNo(), 4);
  ds->SetRecNo(1);
  EXPECT_EQ(Id(*ds), 1);
}

TEST(Cursor, ScrollAndOpenEventsComeInOrder) {
  auto ds = Numbers(3);
  std::vector<std::string> log;
  auto note = [&log](const char* what) { return [&log, what](TDataSet&) { log.push_back(what); }; };
  ds->BeforeOpen = note("BeforeOpen");
  ds->AfterOpen = note("AfterOpen");
  ds->BeforeClose = note("BeforeClose");
  ds->AfterClose = note("AfterClose");
  ds->BeforeScroll = note("BeforeScroll");
  ds->AfterScroll = note("AfterScroll");
  ds->Open();
  ds->Next();
  ds->Last();
  ds->Next();  // at the end: asks, but does not scroll
  ds->Close();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeOpen", "AfterOpen", "AfterScroll", "BeforeScroll", "AfterScroll",
                                           "BeforeScroll", "AfterScroll", "BeforeScroll", "BeforeClose",
                                           "AfterClose"}));
  EXPECT_FALSE(ds->Active());
  EXPECT_EQ(ds->State(), dsInactive);
}

TEST(Cursor, DestroyingAnOpenDataSetSendsNoCloseEvents) {
  int closes = 0;
  {
    auto ds = Numbers(2);
    ds->BeforeClose = [&](TDataSet&) { ++closes; };
    ds->AfterClose = [&](TDataSet&) { ++closes; };
    ds->Open();
    ds->Edit();
    ds->FieldByName("id").SetAsInteger(9);
  }
  EXPECT_EQ(closes, 0);
}

TEST(Cursor, OpeningAnEmptyDataSetSendsNoScroll) {
  auto ds = Numbers(0);
  int scrolls = 0;
  ds->AfterScroll = [&](TDataSet&) { ++scrolls; };
  ds->Open();
  EXPECT_EQ(scrolls, 0);
}

TEST(Cursor, BeforeOpenCanStopTheOpen) {
  auto ds = Numbers(2);
  ds->BeforeOpen = [](TDataSet&) { DatabaseError(ekGeneral, "not now"); };
  EXPECT_EQ(ErrorOf([&] { ds->Open(); }), "not now");
  EXPECT_FALSE(ds->Active());
}

TEST(Bookmarks, ReturnToTheMarkedRecord) {
  auto ds = Numbers(5);
  ds->Open();
  ds->MoveBy(3);
  TBookmark mark = ds->GetBookmark();
  ASSERT_EQ(mark.size(), 4u);
  ds->First();
  int scrolls = 0;
  ds->AfterScroll = [&](TDataSet&) { ++scrolls; };
  ds->GotoBookmark(mark);
  EXPECT_EQ(Id(*ds), 4);
  EXPECT_EQ(scrolls, 1);
  EXPECT_EQ(ds->RecNo(), 4);
}

TEST(Bookmarks, AGoneRecordOrAWrongSizeIsAnError) {
  auto ds = Numbers(3);
  ds->Open();
  ds->Last();
  TBookmark mark = ds->GetBookmark();
  ds->Delete();
  EXPECT_EQ(ErrorOf([&] { ds->GotoBookmark(mark); }), "Memory1: Bookmark not found");
  EXPECT_EQ(ErrorOf([&] { ds->GotoBookmark(TBookmark{1, 2}); }), "Memory1: Invalid bookmark");
  EXPECT_EQ(ErrorOf([&] { ds->GotoBookmark(TBookmark{}); }), "Memory1: Invalid bookmark");
  EXPECT_EQ(Id(*ds), 2);  // still where it was
}

TEST(Bookmarks, ANewRecordHasNone) {
  auto ds = Numbers(2);
  ds->Open();
  ds->Append();
  EXPECT_TRUE(ds->GetBookmark().empty());
  ds->Cancel();
  EXPECT_FALSE(ds->GetBookmark().empty());
}

class FindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds = Numbers(6);
    // Accepts the even ids.
    ds->OnFilterRecord = [this](TDataSet& d, bool& accept) {
      ++tested;
      EXPECT_EQ(d.State(), dsFilter);
      accept = d.FieldByName("id").AsInteger() % 2 == 0;
    };
    ds->Open();
  }
  std::unique_ptr<TMemoryDataSet> ds;
  int tested = 0;
};

TEST_F(FindTest, FindsInBothDirections) {
  EXPECT_TRUE(ds->FindFirst());
  EXPECT_EQ(Id(*ds), 2);
  EXPECT_TRUE(ds->Found());
  EXPECT_TRUE(ds->FindNext());
  EXPECT_EQ(Id(*ds), 4);
  EXPECT_TRUE(ds->FindLast());
  EXPECT_EQ(Id(*ds), 6);
  EXPECT_TRUE(ds->FindPrior());
  EXPECT_EQ(Id(*ds), 4);
  EXPECT_EQ(ds->State(), dsBrowse);
  // A find reads the records one by one and stops at the first match.
  tested = 0;
  ds->FindFirst();
  EXPECT_EQ(tested, 2);
}

TEST_F(FindTest, AFailedFindStaysPut) {
  ASSERT_TRUE(ds->FindLast());
  EXPECT_FALSE(ds->FindNext());
  EXPECT_FALSE(ds->Found());
  EXPECT_EQ(Id(*ds), 6);
  EXPECT_EQ(ds->RecordCount(), 6);  // finding filters nothing
}

TEST_F(FindTest, FilteredNarrowsTheRecordList) {
  ds->SetFiltered(true);
  EXPECT_EQ(ds->RecordCount(), 3);
  EXPECT_EQ(WalkForward(*ds), (std::vector<int>{2, 4, 6}));
  ds->SetFiltered(false);
  EXPECT_EQ(ds->RecordCount(), 6);
}

TEST(Fields, DefaultFieldsLiveWhileOpen) {
  auto ds = Numbers(1);
  ds->Open();
  EXPECT_TRUE(ds->DefaultFields());
  EXPECT_EQ(ds->FieldCount(), 2);
  EXPECT_EQ(ds->FieldByName("NAME").FieldNo(), 2);  // names ignore letter case
  EXPECT_EQ(ErrorOf([&] { ds->FieldByName("nope"); }), "Memory1: Field 'nope' not found");
  EXPECT_EQ(ds->FindField("nope"), nullptr);
  ds->Close();
  EXPECT_EQ(ds->FieldCount(), 0);
}

TEST(Fields, PersistentFieldsSurviveClose) {
  auto ds = Numbers(2);
  auto& name = ds->AddField(std::make_unique<TStringField>(10));
  name.SetFieldName("name");
  ds->Open();
  EXPECT_FALSE(ds->DefaultFields());
  ASSERT_EQ(ds->FieldCount(), 1);  // only the chosen fields
  EXPECT_EQ(name.FieldNo(), 2);
  EXPECT_EQ(name.AsString(), "n1");
  EXPECT_EQ(ErrorOf([&] { ds->AddField(std::make_unique<TIntegerField>()); }),
            "Memory1: Cannot perform this operation on an open dataset");
  ds->Close();
  EXPECT_EQ(ds->FieldCount(), 1);
  EXPECT_EQ(name.FieldNo(), 0);
}

TEST(Fields, AMismatchedPersistentFieldFailsTheOpenCleanly) {
  auto ds = Numbers(2);
  auto& wrong = ds->AddField(std::make_unique<TFloatField>());
  wrong.SetFieldName("id");
  EXPECT_EQ(ErrorOf([&] { ds->Open(); }), "Memory1: Type mismatch for field 'id', expecting: Float actual: Integer");
  EXPECT_FALSE(ds->Active());
  EXPECT_FALSE(ds->IsCursorOpenForTest());

  auto ds2 = Numbers(2);
  ds2->AddField(std::make_unique<TStringField>(4)).SetFieldName("name");
  EXPECT_EQ(ErrorOf([&] { ds2->Open(); }), "Memory1: Size mismatch for field 'name', expecting: 4 actual: 10");

  auto ds3 = Numbers(2);
  ds3->AddField(std::make_unique<TIntegerField>()).SetFieldName("missing");
  EXPECT_EQ(ErrorOf([&] { ds3->Open(); }), "Memory1: Field 'missing' not found");
  ds3->Fields().Clear();
  ds3->Open();  // with default fields now
  EXPECT_EQ(Id(*ds3), 1);
}

TEST(Fields, GetFieldListSplitsOnSemicolons) {
  auto ds = Numbers(1);
  ds->Open();
  auto list = ds->GetFieldList(" name ; id");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]->FieldName(), "name");
  EXPECT_EQ(list[1]->FieldName(), "id");
  EXPECT_EQ(ErrorOf([&] { ds->GetFieldList("id;x"); }), "Memory1: Field 'x' not found");
}

}  // namespace
