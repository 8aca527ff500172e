// Damaged files: bytes of a valid file are changed behind the engine's back,
// and opening or using the table must end in a clear database error.

#include <gtest/gtest.h>

#include <functional>

#include "core/errors.h"
#include "tableio_fixture.h"
#include "tests/database_error_of.h"

namespace {

const char* kSchema = "table t\nfield n Integer\nfield memo Memo\nindex byn n\n";

struct TLayout {
  int32_t tableHeader = 0;
  std::vector<int32_t> recordTabBlocks;
  std::vector<int32_t> indexTabBlocks;
  std::vector<int32_t> recordOffsets;
  int64_t fileSize = 0;
};

// A file with `count` records n = 0, 1, 2, ... and the positions of its parts.
TLayout Fill(const TTestDatabase& db, int count) {
  TOpenTable t(db, "t");
  TRecordValues r(*t.table);
  for (int i = 0; i < count; ++i) r.SetInt(0, i).SetBlob(1, "memo").Append();
  TLayout layout;
  const std::vector<uint8_t> bytes = db.Bytes();
  layout.tableHeader = Int32At(bytes, kTableDirectoryOffset + kTdOffsets);
  layout.recordTabBlocks = t.table->RecordTabBlocks();
  layout.indexTabBlocks = t.table->IndexTabBlocks(0);
  for (const TRecordEntry& e : t.table->RecordListOf(0)) layout.recordOffsets.push_back(e.DataOffset);
  layout.fileSize = static_cast<int64_t>(bytes.size());
  return layout;
}

// The kind and message of the database error that opening the table raises.
std::string OpenFailure(const TTestDatabase& db) {
  return KindAndErrorOf([&] { TOpenTable t(db, "t"); });
}

void ExpectDamaged(const std::string& raised) {
  EXPECT_EQ(raised.rfind("DamagedFile: ", 0), 0u) << raised;
  EXPECT_NE(raised.find("is damaged"), std::string::npos) << raised;
}

}  // namespace

TEST(DamagedFile, RecordTabChainThatLoopsOrEndsEarly) {
  // Each refusal must come from the walk of the record tab itself, not from
  // a later check (the key orders, a record read) that happens to notice.
  const auto expectRecordTabDamage = [](const TTestDatabase& db, const std::string& detail) {
    const std::string message = OpenFailure(db);
    ExpectDamaged(message);
    EXPECT_NE(message.find(detail), std::string::npos) << message;
  };
  TTestDatabase loop(kSchema);
  TLayout l = Fill(loop, 1100);
  loop.PatchInt32(l.recordTabBlocks[0], l.recordTabBlocks[0]);  // the first block names itself as next
  expectRecordTabDamage(loop, "blocks of the record tab overlap");

  TTestDatabase outside(kSchema);
  l = Fill(outside, 1100);
  outside.PatchInt32(l.recordTabBlocks[0], static_cast<int32_t>(l.fileSize - 100));  // runs past the end
  expectRecordTabDamage(outside, "block 1 of the record tab");

  // A chain that ends after its first block while the table holds one record
  // more: a missing last block of an index tab may be an append cut short,
  // one of the record tab is always damage.
  TTestDatabase early(kSchema);
  l = Fill(early, 1025);
  early.PatchInt32(l.recordTabBlocks[0], 0);
  expectRecordTabDamage(early, "block 1 of the record tab");
}

TEST(DamagedFile, CountsAndOffsetsOutOfRange) {
  TTestDatabase total(kSchema);
  TLayout l = Fill(total, 3);
  total.PatchInt32(l.tableHeader + kThRecordTotal, 1000000000);
  ExpectDamaged(OpenFailure(total));

  TTestDatabase negative(kSchema);
  l = Fill(negative, 3);
  negative.PatchInt32(l.tableHeader + kThRecordTotal, -5);
  ExpectDamaged(OpenFailure(negative));

  TTestDatabase fields(kSchema);
  l = Fill(fields, 3);
  fields.PatchInt32(l.tableHeader + kThFieldCount, 500);
  ExpectDamaged(OpenFailure(fields));

  TTestDatabase record(kSchema);
  l = Fill(record, 3);
  record.PatchInt32(l.recordTabBlocks[0] + 4 + 5, static_cast<int32_t>(l.fileSize + 10));
  ExpectDamaged(OpenFailure(record));

  TTestDatabase indexTab(kSchema);
  l = Fill(indexTab, 3);
  indexTab.PatchInt32(l.tableHeader + kThIndexSlots + kIsIndexTabOffset, 100);  // inside the fixed part
  ExpectDamaged(OpenFailure(indexTab));

  TTestDatabase directory(kSchema);
  Fill(directory, 1);
  directory.PatchInt32(kTableDirectoryOffset + kTdOffsets, 1 << 30);
  TTomeDBFileIO io(nullptr);
  ExpectDamaged(KindAndErrorOf([&] { io.Open(directory.path(), mtDisk, false, false); }));
}

TEST(DamagedFile, IndexChainThatLoopsLeavesRangeOrMissesRecords) {
  TTestDatabase loop(kSchema);
  TLayout l = Fill(loop, 3);
  loop.PatchInt32(l.indexTabBlocks[0] + 4 + 2 * 8 + 4, 0);  // 0 -> 1 -> 2 -> 0
  ExpectDamaged(OpenFailure(loop));

  TTestDatabase range(kSchema);
  l = Fill(range, 3);
  range.PatchInt32(l.indexTabBlocks[0] + 4 + 1 * 8 + 4, 999);
  ExpectDamaged(OpenFailure(range));

  TTestDatabase early(kSchema);
  l = Fill(early, 3);
  early.PatchInt32(l.indexTabBlocks[0] + 4 + 0 * 8 + 4, -1);  // the key order stops after record 0
  const std::string message = OpenFailure(early);
  ExpectDamaged(message);
  EXPECT_NE(message.find("index 'byn' lists 1 of its 3 records"), std::string::npos) << message;

  TTestDatabase head(kSchema);
  l = Fill(head, 3);
  head.PatchInt32(l.tableHeader + kThIndexSlots + kIsHeadRecord, 7);
  ExpectDamaged(OpenFailure(head));
}

TEST(DamagedFile, BlobDescriptorPointingPastTheEnd) {
  TTestDatabase db(kSchema);
  TLayout l = Fill(db, 2);
  db.PatchInt32(l.recordOffsets[0] + 4, static_cast<int32_t>(l.fileSize + 1000));
  TOpenTable t(db, "t");  // blobs are not read when the table opens
  TRecordValues r(*t.table);
  r.Read(0, 0);
  EXPECT_EQ(r.Int(0), 0);
  ExpectDamaged(KindAndErrorOf([&] { r.Blob(1); }));
  TMemoryStream value;
  EXPECT_THROW(t.table->ReadFieldOfRecord(0, 1, value), EDatabaseError);
  // Rewriting such a blob refuses before it writes anything.
  const std::vector<uint8_t> before = db.Bytes();
  TRecordValues change(*t.table);
  change.OnlyActive({1}).SetBlob(1, "x");
  EXPECT_THROW(t.table->ModifyRecord(change.buffers, 0), EDatabaseError);
  EXPECT_EQ(db.Bytes(), before);
  // A length beyond its area is damage too.
  db.PatchInt32(l.recordOffsets[1] + 4 + 4, 1000);
  EXPECT_THROW(t.table->ReadFieldOfRecord(1, 1, value), EDatabaseError);
}

TEST(DamagedFile, UnknownFieldTypeIsGeneralError) {
  TTestDatabase db(kSchema);
  TLayout l = Fill(db, 1);
  const uint8_t bad = 8;  // ftBCD: not a type the file format stores
  db.Patch(l.tableHeader + kThFieldSlots + kFsType, &bad, 1);
  EXPECT_EQ(OpenFailure(db), "DamagedFile: General error");
}
