#include "tomedb/tableio.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "tableio_fixture.h"

namespace {

const char* kPeopleSchema = R"(
table people
field name String 7
field age Integer
field photo Blob
index byname name
index byage age descending
)";

// Layout of the people table: name 8 bytes, age 4, photo descriptor 20.
constexpr int32_t kPeopleRecordSize = 32;
constexpr int32_t kEmptyFileSize = kFirstStructureOffset + kTableHeaderSize;

int32_t TableHeaderOffset(const std::vector<uint8_t>& bytes, int table = 0) {
  return Int32At(bytes, kTableDirectoryOffset + kTdOffsets + 4 * table);
}

std::string ReadText(const std::vector<uint8_t>& bytes, int64_t offset, size_t size) {
  const char* p = reinterpret_cast<const char*>(bytes.data() + offset);
  return std::string(p, strnlen(p, size));
}

}  // namespace

TEST(TableIO, EmptyTableHasEmptyListsAndSearchesReturnMinusTwo) {
  TTestDatabase db(kPeopleSchema);
  TOpenTable t(db, "PEOPLE");  // table names ignore letter case
  EXPECT_EQ(t.table->TableNo(), 0);
  EXPECT_EQ(t.table->RecordSize(), kPeopleRecordSize);
  EXPECT_EQ(t.table->FieldOffsets(), (TIntegerAry{0, 8, 12}));
  EXPECT_EQ(t.table->AutoIncFieldNo(), -1);
  ASSERT_EQ(t.table->ListCount(), 3);
  for (int l = 0; l < 3; ++l) EXPECT_TRUE(t.table->RecordListOf(l).empty());
  EXPECT_EQ(t.table->FieldDefs().Items(0)->Name(), "name");
  EXPECT_EQ(t.table->FieldDefs().Items(0)->FieldSize(), 7);
  EXPECT_EQ(t.table->IndexDefs().Items(1)->Options(), tiDescending);
  EXPECT_EQ(t.table->IndexDefs().Items(1)->FieldIndexes(), (TIntegerAry{1}));

  TRecordValues key(*t.table);
  key.SetText(0, "Ann");
  int32_t position = 99;
  EXPECT_EQ(t.table->Search(key.buffers, t.table->RecordListOf(1), false, 0, 0, position), -2);
  EXPECT_EQ(position, -1);
  EXPECT_EQ(t.table->InsertPosition(key.buffers, 0), 0);
  EXPECT_EQ(db.Bytes().size(), static_cast<size_t>(kEmptyFileSize));
}

TEST(TableIO, UnknownTableNameIsReported) {
  TTestDatabase db(kPeopleSchema);
  auto io = db.OpenFile();
  TTomeTableIO table(io.get());
  table.SetTableName("nobody");
  try {
    table.Open();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Table 'nobody' not found");
  }
  EXPECT_EQ(table.OpenCount(), 0);
}

TEST(TableIO, FirstAppendsPlaceEveryByteWhereTheFormatSays) {
  TTestDatabase db(kPeopleSchema);
  {
    TOpenTable t(db, "people");
    TRecordValues r(*t.table);
    r.SetText(0, "Ann").SetInt(1, 30).SetBlob(2, "xyz");
    r.Append();
    r.SetText(0, "Bob").SetInt(1, 40).SetBlob(2, "");
    r.Append();
  }
  const std::vector<uint8_t> b = db.Bytes();
  const int32_t th = TableHeaderOffset(b);
  const int32_t tab = kEmptyFileSize;  // the first record tab block
  const int32_t r0 = tab + kRecordTabBlockSize;
  const int32_t blob0 = r0 + kPeopleRecordSize;
  const int32_t index0 = blob0 + 64;
  const int32_t index1 = index0 + kIndexTabBlockSize;
  const int32_t r1 = index1 + kIndexTabBlockSize;
  const int32_t blob1 = r1 + kPeopleRecordSize;
  ASSERT_EQ(b.size(), static_cast<size_t>(blob1 + 64));

  // Table header: record tab offset, record total, index tab offsets, heads.
  EXPECT_EQ(Int32At(b, th + kThRecordTabOffset), tab);
  EXPECT_EQ(Int32At(b, th + kThRecordTotal), 2);
  const int32_t slot0 = th + kThIndexSlots, slot1 = slot0 + kIndexSlotSize;
  EXPECT_EQ(Int32At(b, slot0 + kIsIndexTabOffset), index0);
  EXPECT_EQ(Int32At(b, slot0 + kIsHeadRecord), 0);
  EXPECT_EQ(Int32At(b, slot1 + kIsIndexTabOffset), index1);
  EXPECT_EQ(Int32At(b, slot1 + kIsHeadRecord), 1);  // 40 comes first in descending order

  // Record tab: next 0, items (r0, live), (r1, live), the rest zero.
  EXPECT_EQ(Int32At(b, tab), 0);
  EXPECT_EQ(Int32At(b, tab + 4), r0);
  EXPECT_EQ(b[tab + 8], 0);
  EXPECT_EQ(Int32At(b, tab + 9), r1);
  EXPECT_EQ(b[tab + 13], 0);
  for (int i = tab + 14; i < tab + kRecordTabBlockSize; ++i) ASSERT_EQ(b[i], 0) << i;

  // Records: the padded name, the age, the blob descriptor.
  EXPECT_EQ(ReadText(b, r0, 8), "Ann");
  for (int i = 3; i < 8; ++i) EXPECT_EQ(b[r0 + i], 0);
  EXPECT_EQ(Int32At(b, r0 + 8), 30);
  EXPECT_EQ(Int32At(b, r0 + 12), blob0);
  EXPECT_EQ(Int32At(b, r0 + 16), 3);
  EXPECT_EQ(Int32At(b, r0 + 20), 64);
  EXPECT_EQ(Int32At(b, r0 + 24), 0);
  EXPECT_EQ(Int32At(b, r0 + 28), 0);
  EXPECT_EQ(ReadText(b, blob0, 64), "xyz");
  for (int i = 3; i < 64; ++i) ASSERT_EQ(b[blob0 + i], 0);
  EXPECT_EQ(Int32At(b, r1 + 12), blob1);
  EXPECT_EQ(Int32At(b, r1 + 16), 0);
  EXPECT_EQ(Int32At(b, r1 + 20), 64);

  // Index tabs: byname Ann(0) -> Bob(1); byage head 1 -> 0.
  EXPECT_EQ(Int32At(b, index0), 0);
  EXPECT_EQ(Int32At(b, index0 + 4), 0);
  EXPECT_EQ(Int32At(b, index0 + 8), 1);
  EXPECT_EQ(Int32At(b, index0 + 12), 1);
  EXPECT_EQ(Int32At(b, index0 + 16), -1);
  EXPECT_EQ(Int32At(b, index1 + 4), 0);
  EXPECT_EQ(Int32At(b, index1 + 8), -1);
  EXPECT_EQ(Int32At(b, index1 + 12), 1);
  EXPECT_EQ(Int32At(b, index1 + 16), 0);

  TOpenTable again(db, "people");
  EXPECT_EQ(RecordNumbers(again.table->RecordListOf(0)), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(RecordNumbers(again.table->RecordListOf(1)), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(RecordNumbers(again.table->RecordListOf(2)), (std::vector<int32_t>{1, 0}));
  EXPECT_EQ(again.table->RecordListOf(0)[1].DataOffset, r1);
}

TEST(TableIO, StringsAreCutToTheirFieldAndPaddedWithZeros) {
  TTestDatabase db(kPeopleSchema);
  TOpenTable t(db, "people");
  TRecordValues r(*t.table);
  // Seven bytes fit; "Zoë" cut after 'Zo' + the first byte of 'ë' would split
  // the character, so the cut steps back before it.
  r.SetText(0, "Abcdefgh").SetInt(1, 1);
  std::memset(r.buffers.Items(0).Buffer, 'A', 8);  // no terminator at all
  r.Append();
  r.SetText(0, "Zoeyyy\xC3\xAB").SetInt(1, 2);
  r.Append();
  TRecordValues read(*t.table);
  read.Read(0, 0);
  EXPECT_EQ(read.Text(0), "AAAAAAA");
  read.Read(0, 1);
  EXPECT_EQ(read.Text(0), "Zoeyyy");
  const std::vector<uint8_t> b = db.Bytes();
  const int32_t r1 = t.table->RecordListOf(0)[1].DataOffset;
  EXPECT_EQ(b[r1 + 6], 0);
  EXPECT_EQ(b[r1 + 7], 0);
}

TEST(TableIO, Record1024OpensSecondRecordTabAndIndexTabBlocks) {
  TTestDatabase db("table t\nfield n Integer\nindex byn n descending\n");
  {
    TOpenTable t(db, "t");
    TRecordValues r(*t.table);
    for (int32_t i = 0; i < 1025; ++i) r.SetInt(0, i).Append();
    ASSERT_EQ(t.table->RecordTabBlocks().size(), 2u);
    ASSERT_EQ(t.table->IndexTabBlocks(0).size(), 2u);
    const std::vector<uint8_t> b = db.Bytes();
    const int32_t firstTab = t.table->RecordTabBlocks()[0], secondTab = t.table->RecordTabBlocks()[1];
    EXPECT_EQ(Int32At(b, firstTab), secondTab);
    EXPECT_EQ(Int32At(b, secondTab), 0);
    // Record 1024 is item 0 of the second block and its data follows the block.
    EXPECT_EQ(Int32At(b, secondTab + 4), secondTab + kRecordTabBlockSize);
    const int32_t firstIndex = t.table->IndexTabBlocks(0)[0], secondIndex = t.table->IndexTabBlocks(0)[1];
    EXPECT_EQ(Int32At(b, firstIndex), secondIndex);
    // Descending: record 1024 is the new head and points at record 1023.
    EXPECT_EQ(Int32At(b, secondIndex + 4), 1024);
    EXPECT_EQ(Int32At(b, secondIndex + 8), 1023);
    EXPECT_EQ(Int32At(b, TableHeaderOffset(b) + kThIndexSlots + kIsHeadRecord), 1024);
  }
  TOpenTable again(db, "t");
  const TRecordList& order = again.table->RecordListOf(1);
  ASSERT_EQ(order.size(), 1025u);
  for (size_t i = 0; i < order.size(); ++i) ASSERT_EQ(order[i].RecordNo, static_cast<int32_t>(1024 - i));
}

TEST(TableIO, DeletedRecordStaysInFileButLeavesEveryList) {
  TTestDatabase db(kPeopleSchema);
  int32_t itemOffset;
  {
    TOpenTable t(db, "people");
    TRecordValues r(*t.table);
    r.SetText(0, "Cid").SetInt(1, 5).Append();
    r.SetText(0, "Ann").SetInt(1, 7).Append();
    r.SetText(0, "Bea").SetInt(1, 6).Append();
    const std::vector<uint8_t> before = db.Bytes();
    t.table->DeleteRecord(0);
    const std::vector<uint8_t> after = db.Bytes();
    itemOffset = t.table->RecordTabBlocks()[0] + 4 + 4;
    // Only the delete mark changed.
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i)
      if (static_cast<int64_t>(i) != itemOffset) {
        ASSERT_EQ(before[i], after[i]) << i;
      }
    EXPECT_EQ(after[itemOffset], 1);
    EXPECT_EQ(RecordNumbers(t.table->RecordListOf(0)), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(RecordNumbers(t.table->RecordListOf(1)), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(RecordNumbers(t.table->RecordListOf(2)), (std::vector<int32_t>{1, 2}));
    // The record itself can still be read by number.
    TMemoryStream value;
    t.table->ReadFieldOfRecord(0, 0, value);
    EXPECT_STREQ(reinterpret_cast<const char*>(value.Memory()), "Cid");
  }
  TOpenTable again(db, "people");
  EXPECT_EQ(again.table->TableHeader().recordTotal, 3);
  EXPECT_EQ(RecordNumbers(again.table->RecordListOf(0)), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(RecordNumbers(again.table->RecordListOf(1)), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(RecordNumbers(again.table->RecordListOf(2)), (std::vector<int32_t>{1, 2}));
  // A record appended after the delete links in among the deleted one.
  TRecordValues r(*again.table);
  r.SetText(0, "Abe").SetInt(1, 9).Append();
  EXPECT_EQ(RecordNumbers(again.table->RecordListOf(1)), (std::vector<int32_t>{3, 1, 2}));
  TOpenTable third(db, "people");
  EXPECT_EQ(RecordNumbers(third.table->RecordListOf(1)), (std::vector<int32_t>{3, 1, 2}));
  EXPECT_EQ(RecordNumbers(third.table->RecordListOf(2)), (std::vector<int32_t>{3, 1, 2}));
}

TEST(TableIO, BlobAreasAreMultiplesOf64AboveTheLength) {
  TTestDatabase db(kPeopleSchema);
  TOpenTable t(db, "people");
  TRecordValues r(*t.table);
  const int sizes[] = {0, 63, 64, 65};
  const int areas[] = {64, 64, 128, 128};
  for (int i = 0; i < 4; ++i) r.SetText(0, std::string(1, static_cast<char>('a' + i))).SetInt(1, i).SetBlob(2, std::string(sizes[i], 'b')).Append();
  const std::vector<uint8_t> b = db.Bytes();
  for (int i = 0; i < 4; ++i) {
    const int32_t record = t.table->RecordListOf(0)[i].DataOffset;
    const int32_t offset = Int32At(b, record + 12);
    EXPECT_EQ(offset, record + kPeopleRecordSize) << i;
    EXPECT_EQ(Int32At(b, record + 16), sizes[i]);
    EXPECT_EQ(Int32At(b, record + 20), areas[i]);
    for (int k = sizes[i]; k < areas[i]; ++k) ASSERT_EQ(b[offset + k], 0) << i;
  }
  // Blob values load on first use only.
  TRecordValues read(*t.table);
  read.Read(0, 2);
  auto* stream = static_cast<TOptimBlobStream*>(read.buffers.Items(2).BlobStream);
  EXPECT_FALSE(stream->Loaded());
  EXPECT_EQ(read.Blob(2), std::string(64, 'b'));
  EXPECT_TRUE(stream->Loaded());
  read.Read(0, 0);
  EXPECT_EQ(read.Blob(2), "");
  // A value written before the first read is never replaced by the stored one.
  read.Read(0, 3);
  stream->WriteBuffer("new", 3);
  EXPECT_EQ(read.Blob(2), "new");
}

TEST(TableIO, LongerBlobGrowsInPlaceAtFileEndAndMovesOtherwise) {
  TTestDatabase db(kPeopleSchema);
  TOpenTable t(db, "people");
  TRecordValues r(*t.table);
  r.SetText(0, "a").SetInt(1, 1).SetBlob(2, "first").Append();
  r.SetText(0, "b").SetInt(1, 2).SetBlob(2, "second").Append();
  // The last record's area ends the file: it grows where it is.
  const int32_t last = t.table->RecordListOf(0)[1].DataOffset;
  const int32_t lastArea = Int32At(db.Bytes(), last + 12);
  TRecordValues change(*t.table);
  change.OnlyActive({2}).SetBlob(2, std::string(100, 'x'));
  t.table->ModifyRecord(change.buffers, 1);
  std::vector<uint8_t> b = db.Bytes();
  EXPECT_EQ(Int32At(b, last + 12), lastArea);
  EXPECT_EQ(Int32At(b, last + 16), 100);
  EXPECT_EQ(Int32At(b, last + 20), 128);
  EXPECT_EQ(b.size(), static_cast<size_t>(lastArea + 128));

  // The first record's area is followed by other structures: it moves to
  // the end and the old area keeps its bytes.
  const int32_t first = t.table->RecordListOf(0)[0].DataOffset;
  const int32_t oldArea = Int32At(b, first + 12);
  const size_t sizeBefore = b.size();
  change.SetBlob(2, std::string(70, 'y'));
  t.table->ModifyRecord(change.buffers, 0);
  b = db.Bytes();
  EXPECT_EQ(Int32At(b, first + 12), static_cast<int32_t>(sizeBefore));
  EXPECT_EQ(Int32At(b, first + 20), 128);
  EXPECT_EQ(ReadText(b, oldArea, 64), "first");
  // A shorter value stays in its area.
  change.SetBlob(2, "z");
  t.table->ModifyRecord(change.buffers, 0);
  b = db.Bytes();
  EXPECT_EQ(Int32At(b, first + 12), static_cast<int32_t>(sizeBefore));
  EXPECT_EQ(Int32At(b, first + 16), 1);
  EXPECT_EQ(Int32At(b, first + 20), 128);

  TRecordValues read(*t.table);
  read.Read(0, 0);
  EXPECT_EQ(read.Blob(2), "z");
  read.Read(0, 1);
  EXPECT_EQ(read.Blob(2), std::string(100, 'x'));
}

TEST(TableIO, PaddingOfARewrittenBlobStopsAtTheEndOfItsArea) {
  TTestDatabase db(kPeopleSchema);
  TOpenTable t(db, "people");
  TRecordValues r(*t.table);
  r.SetText(0, "a").SetInt(1, 1).SetBlob(2, std::string(65, 'a')).Append();  // area 128
  r.SetText(0, "b").SetInt(1, 2).SetBlob(2, "b").Append();
  const int32_t record = t.table->RecordListOf(0)[0].DataOffset;
  std::vector<uint8_t> before = db.Bytes();
  const int32_t area = Int32At(before, record + 12);
  ASSERT_EQ(Int32At(before, record + 20), 128);
  // Whatever follows the area (here the first index tab block) is marked.
  const uint8_t marks[64] = {0x5A, 0x5A, 0x5A, 0x5A};
  db.Patch(area + 128, marks, 4);
  TRecordValues change(*t.table);
  change.OnlyActive({2}).SetBlob(2, std::string(128, 'c'));
  t.table->ModifyRecord(change.buffers, 0);
  std::vector<uint8_t> after = db.Bytes();
  EXPECT_EQ(Int32At(after, record + 12), area);
  EXPECT_EQ(Int32At(after, record + 16), 128);
  EXPECT_EQ(after[area + 128], 0x5A);
  EXPECT_EQ(after[area + 131], 0x5A);
}

TEST(TableIO, EqualKeysGoDirectlyAfterTheRecordWhereTheSearchStopped) {
  TTestDatabase db("table t\nfield k Integer\nfield tag Integer\nindex byk k\n");
  TOpenTable t(db, "t");
  TRecordValues r(*t.table);
  for (int i = 0; i < 3; ++i) r.SetInt(0, 5).SetInt(1, i).Append();
  // Record 1 went after record 0 (the only one compared); record 2 after
  // record 0 too, where the search of [0, 1] stopped at its middle.
  EXPECT_EQ(RecordNumbers(t.table->RecordListOf(1)), (std::vector<int32_t>{0, 2, 1}));
  // In [0, 2, 1] the search stops at the middle, record 2: the new one follows it.
  r.SetInt(0, 5).SetInt(1, 3).Append();
  EXPECT_EQ(RecordNumbers(t.table->RecordListOf(1)), (std::vector<int32_t>{0, 2, 3, 1}));
  // Bound searches find the first and the last of the equal keys.
  int32_t position = -1;
  EXPECT_EQ(t.table->BoundSearch(r.buffers, t.table->RecordListOf(1), false, 0, 0, true, position), 0);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(t.table->BoundSearch(r.buffers, t.table->RecordListOf(1), false, 0, 0, false, position), 0);
  EXPECT_EQ(position, 3);
  r.SetInt(0, 4);
  EXPECT_EQ(t.table->BoundSearch(r.buffers, t.table->RecordListOf(1), false, 0, 0, true, position), -1);
  EXPECT_EQ(position, 0);
  r.SetInt(0, 9);
  EXPECT_EQ(t.table->Search(r.buffers, t.table->RecordListOf(1), false, 0, 0, position), 1);
  EXPECT_EQ(position, 3);
  TOpenTable again(db, "t");
  EXPECT_EQ(RecordNumbers(again.table->RecordListOf(1)), (std::vector<int32_t>{0, 2, 3, 1}));
}

TEST(TableIO, ModifyOfNonKeyFieldsTouchesNoIndexTabAndCallsNoCallback) {
  TTestDatabase db(kPeopleSchema);
  TOpenTable t(db, "people");
  TRecordValues r(*t.table);
  r.SetText(0, "Ann").SetInt(1, 30).Append();
  r.SetText(0, "Bob").SetInt(1, 30).Append();
  r.SetText(0, "Cid").SetInt(1, 30).Append();
  const std::vector<uint8_t> before = db.Bytes();
  int calls = 0;
  auto adjust = [&](int32_t, int32_t, int32_t, const TRecordEntry&) { ++calls; };
  // The name changes; the age is written with its old value (equal keys
  // would otherwise move it).
  TRecordValues change(*t.table);
  change.OnlyActive({0, 1}).SetText(0, "Bo").SetInt(1, 30);
  t.table->ModifyRecord(change.buffers, 1, adjust);
  EXPECT_EQ(calls, 0);
  const std::vector<uint8_t> after = db.Bytes();
  ASSERT_EQ(before.size(), after.size());
  const int32_t record = t.table->RecordListOf(0)[1].DataOffset;
  for (size_t i = 0; i < before.size(); ++i)
    if (static_cast<int32_t>(i) < record || static_cast<int32_t>(i) >= record + 8) {
      ASSERT_EQ(before[i], after[i]) << i;
    }
  TRecordValues read(*t.table);
  read.Read(0, 1);
  EXPECT_EQ(read.Text(0), "Bo");
  EXPECT_EQ(read.Int(1), 30);
}

TEST(TableIO, ModifyOfKeyMovesRecordAndReportsOldAndNewPosition) {
  TTestDatabase db(kPeopleSchema);
  {
    TOpenTable t(db, "people");
    TRecordValues r(*t.table);
    r.SetText(0, "Ann").SetInt(1, 1).Append();
    r.SetText(0, "Bob").SetInt(1, 2).Append();
    r.SetText(0, "Cid").SetInt(1, 3).Append();
    r.SetText(0, "Dan").SetInt(1, 4).Append();
    std::vector<std::vector<int32_t>> calls;
    auto adjust = [&](int32_t j, int32_t o, int32_t q, const TRecordEntry& e) { calls.push_back({j, o, q, e.RecordNo}); };
    TRecordValues change(*t.table);
    change.OnlyActive({0}).SetText(0, "Eve");  // Ann moves from first to last by name
    t.table->ModifyRecord(change.buffers, 0, adjust);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], (std::vector<int32_t>{0, 0, 4, 0}));
    EXPECT_EQ(RecordNumbers(t.table->RecordListOf(1)), (std::vector<int32_t>{1, 2, 3, 0}));
    // Age 5 puts Cid first in descending age order (from position 1).
    change.OnlyActive({1}).SetInt(1, 5);
    calls.clear();
    t.table->ModifyRecord(change.buffers, 2, adjust);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], (std::vector<int32_t>{1, 1, 0, 2}));
    EXPECT_EQ(RecordNumbers(t.table->RecordListOf(2)), (std::vector<int32_t>{2, 3, 1, 0}));
    // Dan (age 4) drops to 0 and moves from second to last.
    change.SetInt(1, 0);
    t.table->ModifyRecord(change.buffers, 3, adjust);
    EXPECT_EQ(RecordNumbers(t.table->RecordListOf(2)), (std::vector<int32_t>{2, 1, 0, 3}));
  }
  TOpenTable again(db, "people");
  EXPECT_EQ(RecordNumbers(again.table->RecordListOf(1)), (std::vector<int32_t>{1, 2, 3, 0}));
  EXPECT_EQ(RecordNumbers(again.table->RecordListOf(2)), (std::vector<int32_t>{2, 1, 0, 3}));
}

TEST(TableIO, UniqueIndexRefusesDuplicateWithTheValuesAsText) {
  TTestDatabase db("table t\nfield name String 10\nfield age Integer\nfield ok Boolean\n"
                   "index key name,age,ok unique\n");
  TOpenTable t(db, "t");
  TRecordValues r(*t.table);
  r.SetText(0, "Ann").SetInt(1, 30);
  PutUInt16LE(static_cast<uint8_t*>(r.buffers.Items(2).Buffer), 1);
  r.Append();
  const size_t size = db.Bytes().size();
  try {
    r.Append();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Invalid unique field value 'Ann,30,True'");
  }
  EXPECT_EQ(db.Bytes().size(), size);  // nothing written
  r.SetInt(1, 31).Append();
  // A modify that keeps its own key is no duplicate; one that takes another's is.
  TRecordValues change(*t.table);
  change.OnlyActive({1}).SetInt(1, 31);
  t.table->ModifyRecord(change.buffers, 1);
  change.SetInt(1, 30);
  EXPECT_THROW(t.table->ModifyRecord(change.buffers, 1), EDatabaseError);
  EXPECT_EQ(t.table->RecordListOf(0).size(), 2u);
}

TEST(TableIO, AutoIncrementFillsZeroAndFollowsLargerValues) {
  TTestDatabase db("table t\nfield id AutoInc\nfield v Integer\nindex byid id primary\n");
  TOpenTable t(db, "t");
  TRecordValues r(*t.table);
  r.SetInt(0, 0).SetInt(1, 1).Append();
  EXPECT_EQ(r.Int(0), 1);  // the given number is written back
  r.SetInt(0, 10).SetInt(1, 2).Append();
  r.SetInt(0, 0).SetInt(1, 3).Append();
  EXPECT_EQ(r.Int(0), 11);
  EXPECT_EQ(t.table->TableHeader().autoIncCounter, 11);
  const std::vector<uint8_t> b = db.Bytes();
  EXPECT_EQ(Int32At(b, TableHeaderOffset(b) + kThAutoIncCounter), 11);
  // Modify: 0 keeps the stored number, a larger one raises the counter.
  TRecordValues change(*t.table);
  change.OnlyActive({0}).SetInt(0, 0);
  t.table->ModifyRecord(change.buffers, 0);
  TRecordValues read(*t.table);
  read.Read(0, 0);
  EXPECT_EQ(read.Int(0), 1);
  change.SetInt(0, 50);
  t.table->ModifyRecord(change.buffers, 0);
  EXPECT_EQ(Int32At(db.Bytes(), TableHeaderOffset(b) + kThAutoIncCounter), 50);
  EXPECT_EQ(RecordNumbers(t.table->RecordListOf(1)), (std::vector<int32_t>{1, 2, 0}));
}

TEST(TableIO, OpensAreCountedAndShareOneLoad) {
  TTestDatabase db(kPeopleSchema);
  auto io = db.OpenFile();
  TTomeTableIO table(io.get());
  table.SetTableName("people");
  table.Open();
  TRecordList* list = &table.RecordListOf(0);
  table.Open();
  EXPECT_EQ(table.OpenCount(), 2);
  EXPECT_EQ(&table.RecordListOf(0), list);  // the same load
  EXPECT_THROW(table.SetTableName("other"), EDatabaseError);
  TRecordValues r(table);
  r.SetText(0, "Ann").SetInt(1, 1).Append();
  EXPECT_EQ(list->size(), 1u);  // both users see the change
  table.Close();
  EXPECT_EQ(table.OpenCount(), 1);
  EXPECT_EQ(table.RecordListOf(0).size(), 1u);
  table.Close();
  table.Close();
  EXPECT_EQ(table.OpenCount(), 0);
  EXPECT_EQ(table.TableNo(), -1);
  EXPECT_THROW(table.RecordListOf(0), EDatabaseError);
}

TEST(TableIO, ConvertPositionMapsBetweenLists) {
  TTestDatabase db(kPeopleSchema);
  TOpenTable t(db, "people");
  TRecordValues r(*t.table);
  r.SetText(0, "Cid").SetInt(1, 1).Append();
  r.SetText(0, "Ann").SetInt(1, 2).Append();
  r.SetText(0, "Bob").SetInt(1, 3).Append();
  const TRecordList byName = t.table->RecordListOf(1);  // a dataset's copy: Ann, Bob, Cid
  EXPECT_EQ(t.table->ConvertPosition(byName, 0, 0), 1);
  EXPECT_EQ(t.table->ConvertPosition(byName, 2, 0), 0);
  EXPECT_EQ(t.table->ConvertPosition(byName, 0, 2), 1);  // descending age: Bob, Ann, Cid
  EXPECT_EQ(t.table->ConvertPosition(byName, 3, 0), -1);
  EXPECT_EQ(t.table->ConvertPosition(byName, -1, 0), -1);
  t.table->DeleteRecord(1);
  EXPECT_EQ(t.table->ConvertPosition(byName, 0, 0), -1);  // Ann is gone
}

TEST(TableIO, PartialSearchComparesOnlyTheSoughtCharacters) {
  TTestDatabase db("table t\nfield name String 20\nindex byname name caseinsensitive\n");
  TOpenTable t(db, "t");
  TRecordValues r(*t.table);
  for (const char* name : {"Anna", "Bernd", "Berta", "Carl"}) r.SetText(0, name).Append();
  r.SetText(0, "ber");
  int32_t position = -1;
  // Whole texts: "ber" sorts after Anna, the last record compared.
  EXPECT_EQ(t.table->Search(r.buffers, t.table->RecordListOf(1), false, 0, 0, position), 1);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(t.table->BoundSearch(r.buffers, t.table->RecordListOf(1), true, 0, 0, true, position), 0);
  EXPECT_EQ(position, 1);
  EXPECT_EQ(t.table->BoundSearch(r.buffers, t.table->RecordListOf(1), true, 0, 0, false, position), 0);
  EXPECT_EQ(position, 2);
  r.SetText(0, "CARL");
  EXPECT_EQ(t.table->Search(r.buffers, t.table->RecordListOf(1), false, 0, 0, position), 0);
  EXPECT_EQ(position, 3);
}

TEST(TableIO, CompressedAndEncryptedValuesRoundTrip) {
  TTestDatabase db("compression on\n"
                   "table t\nfield name String 10\nfield memo Memo\nfield raw String 10 plain\n"
                   "index byname name\n");
  db.Encrypt("Blowfish", 1, "secret");
  auto io = db.OpenFile();
  EXPECT_FALSE(io->SetPassword("wrong"));
  ASSERT_TRUE(io->SetPassword("secret"));
  TTomeTableIO table(io.get());
  table.SetTableName("t");
  table.Open();
  EXPECT_TRUE(table.FieldEncrypted(0));
  EXPECT_TRUE(table.FieldCompressed(1));
  EXPECT_FALSE(table.FieldEncrypted(2));
  TRecordValues r(table);
  const std::string memo(3000, 'm');
  // Blob values run through the managers' stream operations and report progress.
  std::vector<int> encrypting, compressing;
  io->EncryptMgr().OnEncodeProgress = [&](TDataProcessAlgo*, int percent) { encrypting.push_back(percent); };
  io->CompressMgr().OnEncodeProgress = [&](TDataProcessAlgo*, int percent) { compressing.push_back(percent); };
  r.SetText(0, "Zed").SetBlob(1, memo).SetText(2, "visible").Append();
  ASSERT_GE(encrypting.size(), 3u);
  EXPECT_EQ(encrypting.front(), 0);
  EXPECT_EQ(encrypting[encrypting.size() - 2], 100);
  EXPECT_EQ(encrypting.back(), 0);
  EXPECT_FALSE(compressing.empty());
  r.SetText(0, "Amy").SetBlob(1, "").SetText(2, "two").Append();
  EXPECT_EQ(RecordNumbers(table.RecordListOf(1)), (std::vector<int32_t>{1, 0}));
  const std::vector<uint8_t> b = db.Bytes();
  const int32_t record = table.RecordListOf(0)[0].DataOffset;
  EXPECT_NE(ReadText(b, record, 11), "Zed");       // encrypted
  EXPECT_EQ(ReadText(b, record + 31, 11), "visible");  // plain field
  EXPECT_LT(Int32At(b, record + 11 + 4), 200);     // 3000 bytes compressed
  TRecordValues read(table);
  read.Read(1, 1);
  EXPECT_EQ(read.Text(0), "Zed");
  EXPECT_EQ(read.Blob(1), memo);
  EXPECT_EQ(read.Text(2), "visible");
  read.Read(1, 0);
  EXPECT_EQ(read.Blob(1), "");
  table.Close();
}

TEST(TableIO, ReadOnlyDatabaseRefusesWrites) {
  TTestDatabase db(kPeopleSchema);
  TOpenTable t(db, "people", true);
  TRecordValues r(*t.table);
  try {
    r.Append();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Cannot modify a read-only database");
  }
  EXPECT_EQ(db.Bytes().size(), static_cast<size_t>(kEmptyFileSize));
}

TEST(TableIO, ModifyUnlinksPastDeletedRecordsInTheChain) {
  TTestDatabase db(kPeopleSchema);
  {
    TOpenTable t(db, "people");
    TRecordValues r(*t.table);
    r.SetText(0, "Ann").SetInt(1, 1).Append();
    r.SetText(0, "Bob").SetInt(1, 2).Append();
    r.SetText(0, "Cid").SetInt(1, 3).Append();
    r.SetText(0, "Dan").SetInt(1, 4).Append();
    t.table->DeleteRecord(0);  // Ann stays the head of the name chain, deleted
    t.table->DeleteRecord(1);  // Cid (now position 1 of list 0) sits between Bob and Dan
    EXPECT_EQ(RecordNumbers(t.table->RecordListOf(1)), (std::vector<int32_t>{1, 3}));
    TRecordValues change(*t.table);
    change.OnlyActive({0}).SetText(0, "Zoe");
    t.table->ModifyRecord(change.buffers, 0);  // Bob -> Zoe: from first to last
    EXPECT_EQ(RecordNumbers(t.table->RecordListOf(1)), (std::vector<int32_t>{3, 1}));
    change.SetText(0, "Al");
    t.table->ModifyRecord(change.buffers, 1);  // Dan -> Al: back to first
    EXPECT_EQ(RecordNumbers(t.table->RecordListOf(1)), (std::vector<int32_t>{3, 1}));
    change.SetText(0, "Zz");
    t.table->ModifyRecord(change.buffers, 1);  // Al -> Zz: after Zoe
    EXPECT_EQ(RecordNumbers(t.table->RecordListOf(1)), (std::vector<int32_t>{1, 3}));
  }
  TOpenTable again(db, "people");
  EXPECT_EQ(RecordNumbers(again.table->RecordListOf(1)), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(RecordNumbers(again.table->RecordListOf(2)), (std::vector<int32_t>{3, 1}));
}

namespace {
// A dataset stand-in with one record buffer holding one blob field.
struct TBlobHost : ITomeBlobHost {
  TOptimBlobStream record;
  bool hasRecord = true;
  int modified = 0, changed = 0;
  TOptimBlobStream* ActiveBlobStream(int32_t) override { return hasRecord ? &record : nullptr; }
  void MarkFieldModified(int32_t) override { ++modified; }
  void FieldDataChanged(int32_t) override { ++changed; }
};
std::string Content(TStream& s) {
  std::string bytes(static_cast<size_t>(s.Size()), '\0');
  s.SetPosition(0);
  if (!bytes.empty()) s.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  return bytes;
}
}  // namespace

TEST(BlobStreams, ModesDecideWhatReachesTheRecordBuffer) {
  TBlobHost host;
  host.record.WriteBuffer("stored", 6);
  {
    TTomeBlobStream read(&host, 2, bmRead);
    EXPECT_EQ(Content(read), "stored");
    EXPECT_THROW(read.WriteBuffer("x", 1), EDatabaseError);
    EXPECT_FALSE(read.Modified());
  }
  EXPECT_EQ(Content(host.record), "stored");
  EXPECT_EQ(host.modified + host.changed, 0);
  {
    TTomeBlobStream both(&host, 2, bmReadWrite);
    both.Seek(0, soEnd);
    both.WriteBuffer("+more", 5);
    EXPECT_TRUE(both.Modified());
  }
  EXPECT_EQ(Content(host.record), "stored+more");
  EXPECT_EQ(host.modified, 1);
  EXPECT_EQ(host.changed, 1);
  {
    TTomeBlobStream write(&host, 2, bmWrite);  // empties the record's value at once
    EXPECT_EQ(Content(host.record), "");
    EXPECT_TRUE(write.Modified());
    write.WriteBuffer("new", 3);
  }
  EXPECT_EQ(Content(host.record), "new");
  host.hasRecord = false;
  TTomeBlobStream orphan(&host, 2, bmRead);
  EXPECT_EQ(orphan.Size(), 0);
}

TEST(FieldBuffers, OwnedItemsAndActiveFlags) {
  TFieldBuffers buffers;
  int32_t external = 7;
  TMemoryStream externalStream;
  buffers.Add(&external, ftInteger, 4);
  buffers.Add(&externalStream, ftMemo);
  TFieldBufferItem* owned = buffers.AddOwned(ftString, 11);
  TFieldBufferItem* ownedBlob = buffers.AddOwned(ftBlob, 0);
  EXPECT_EQ(buffers.Count(), 4);
  EXPECT_FALSE(buffers.Items(0).OwnsBuffer);
  EXPECT_TRUE(buffers.Items(0).Active);
  EXPECT_EQ(buffers.Items(1).BlobStream, &externalStream);
  EXPECT_TRUE(owned->OwnsBuffer);
  EXPECT_EQ(owned->BufferSize, 11);
  EXPECT_EQ(static_cast<uint8_t*>(owned->Buffer)[10], 0);
  ASSERT_NE(dynamic_cast<TOptimBlobStream*>(ownedBlob->BlobStream), nullptr);
  buffers.Clear();  // frees the owned memory and stream only
  EXPECT_EQ(buffers.Count(), 0);
  EXPECT_EQ(external, 7);
  externalStream.WriteBuffer("ok", 2);
  EXPECT_EQ(externalStream.Size(), 2);
}
