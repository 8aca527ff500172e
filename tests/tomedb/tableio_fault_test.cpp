// Writes that fail part-way: a memory database whose Nth write fails (before
// any byte, or after half of them, as a full disk or a file-size limit does)
// for N = 1, 2, ... until the operation completes. After every failure the
// bytes that reached the file must open to exactly the records of before or
// of after, every index in key order, and the next write must work, both on
// a fresh open of those bytes and on the table object that saw the failure.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "tableio_fixture.h"

namespace {

const char* kSchema =
    "table t\nfield k Integer\nfield name String 12\nfield memo Memo\nfield note Memo\n"
    "index byk k unique\nindex byname name\n";

// Fails its `failAt`-th write; with `cut`, a write that makes the file
// longer first stores half of its bytes, as a short write at a size limit
// does (an overwrite inside the file fails whole).
class TFaultyStream : public TMemoryStream {
 public:
  int64_t Write(const void* buffer, int64_t count) override {
    if (++writes == failAt) {
      if (cut && count > 1 && Position() + count > Size()) TMemoryStream::Write(buffer, count / 2);
      throw EWriteError("No space left on device");
    }
    return TMemoryStream::Write(buffer, count);
  }
  int64_t writes = 0;
  int64_t failAt = -1;
  bool cut = false;
};

// A memory database over a stream, with table t open.
struct TMemoryTable {
  explicit TMemoryTable(TMemoryStream& stream)
      : handle(RegisterMemoryDatabase(&stream)), io(nullptr, mtMemory), table(&io) {
    io.Open(MemoryDatabaseName(handle), mtMemory, false, false);
    table.SetTableName("t");
    table.Open();
  }
  ~TMemoryTable() {
    table.Close();
    io.Close();
    UnregisterMemoryDatabase(handle);
  }
  uint32_t handle;
  TTomeDBFileIO io;
  TTomeTableIO table;
};

std::string Name(int k) {
  std::string name;
  for (int v = k * 7 % 26 + 1; v > 0; v /= 3) name += static_cast<char>('a' + v % 26);
  return name;
}

void AppendRecord(TTomeTableIO& table, int k, const std::string& memo, const std::string& note) {
  TRecordValues r(table);
  r.SetInt(0, k).SetText(1, Name(k)).SetBlob(2, memo).SetBlob(3, note).Append();
}

// The records of list 0 as text, and a check that every index list holds the
// same records in key order.
std::vector<std::string> Contents(TTomeTableIO& table) {
  std::vector<std::string> rows;
  TRecordValues r(table);
  const TRecordList& physical = table.RecordListOf(0);
  for (int32_t p = 0; p < static_cast<int32_t>(physical.size()); ++p) {
    r.Read(0, p);
    rows.push_back(std::to_string(r.Int(0)) + "|" + r.Text(1) + "|" + r.Blob(2) + "|" + r.Blob(3));
  }
  for (int list = 1; list <= 2; ++list) {
    const TRecordList& order = table.RecordListOf(list);
    EXPECT_EQ(order.size(), physical.size()) << "index " << list;
    std::vector<int32_t> keys;
    std::vector<std::string> names;
    for (int32_t p = 0; p < static_cast<int32_t>(order.size()); ++p) {
      r.Read(list, p);
      keys.push_back(r.Int(0));
      names.push_back(r.Text(1));
    }
    if (list == 1) {
      EXPECT_TRUE(std::adjacent_find(keys.begin(), keys.end(), std::greater_equal<>()) == keys.end());
    } else {
      EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    }
  }
  return rows;
}

std::vector<uint8_t> BytesOf(TMemoryStream& stream) {
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

TMemoryStream StreamOf(const std::vector<uint8_t>& bytes) {
  TMemoryStream s;
  s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  return s;
}

// A file holding `count` records k = 10, 20, ... with short memos.
std::vector<uint8_t> BaseImage(int count) {
  TTestDatabase db(kSchema, "fault");
  {
    TOpenTable t(db, "t");
    for (int i = 1; i <= count; ++i) {
      std::string memo = "m";
      memo += std::to_string(i);
      AppendRecord(*t.table, i * 10, memo, i % 3 ? "" : "n");
    }
  }
  return db.Bytes();
}

struct TFaultCounts {
  int failures = 0;  // failure points tried, all recovered
  int before = 0;
  int after = 0;
};

// Runs `operation` on `base` failing at every write in turn, in both failure
// styles, and checks each outcome.
TFaultCounts RunWithFaults(const std::vector<uint8_t>& base, const std::function<void(TTomeTableIO&)>& operation) {
  std::vector<std::string> before, after;
  {
    TMemoryStream s = StreamOf(base);
    TMemoryTable t(s);
    before = Contents(t.table);
    operation(t.table);
    after = Contents(t.table);
  }
  EXPECT_NE(before, after);
  TFaultCounts counts;
  for (bool cut : {false, true}) {
    for (int64_t n = 1;; ++n) {
      TFaultyStream stream;
      stream.WriteBuffer(base.data(), static_cast<int64_t>(base.size()));
      stream.writes = 0;
      stream.failAt = n;
      stream.cut = cut;
      std::vector<uint8_t> torn;
      size_t continued = 0;
      {
        TMemoryTable t(stream);
        try {
          operation(t.table);
        } catch (const EDatabaseError& e) {
          torn = BytesOf(stream);
          EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos) << e.what();
        }
        if (torn.empty()) {
          EXPECT_EQ(Contents(t.table), after);
          break;
        }
        ++counts.failures;
        // The object that saw the failure follows the file and writes on.
        const std::vector<std::string> seen = Contents(t.table);
        EXPECT_TRUE(seen == before || seen == after) << "write " << n << (cut ? " cut" : " failed");
        AppendRecord(t.table, 100000 + static_cast<int>(n), "next", "");
        continued = seen.size() + 1;
        EXPECT_EQ(Contents(t.table).size(), continued);
      }
      {
        // The file as that writer left it opens with its next record too.
        TMemoryTable reopened(stream);
        EXPECT_EQ(Contents(reopened.table).size(), continued);
      }
      // What reached the file up to the failure, opened afresh.
      TMemoryStream tornStream = StreamOf(torn);
      size_t repaired = 0;
      {
        TMemoryTable t(tornStream);
        const std::vector<std::string> seen = Contents(t.table);
        const bool isBefore = seen == before;
        EXPECT_TRUE(isBefore || seen == after) << "write " << n << (cut ? " cut" : " failed");
        (isBefore ? counts.before : counts.after) += 1;
        AppendRecord(t.table, 200000, "again", "x");
        repaired = seen.size() + 1;
        EXPECT_EQ(Contents(t.table).size(), repaired);
      }
      TMemoryTable reopened(tornStream);
      EXPECT_EQ(Contents(reopened.table).size(), repaired);
      EXPECT_EQ(reopened.table.TornRecord(), -1);
    }
  }
  return counts;
}

}  // namespace

TEST(FailedWrites, AppendCutAtEveryWriteLeavesBeforeOrAfter) {
  for (int count : {0, 40, 1024}) {
    SCOPED_TRACE(count);
    const TFaultCounts c = RunWithFaults(BaseImage(count), [](TTomeTableIO& table) {
      AppendRecord(table, 15, "a memo", std::string(300, 'z'));
    });
    EXPECT_GT(c.failures, 10);
    EXPECT_EQ(c.before + c.after, c.failures);
    std::printf("append to %d records: %d failure points, %d before, %d after\n", count, c.failures, c.before,
                c.after);
  }
}

TEST(FailedWrites, ModifyGrowingAMemoKeepsTheOtherMemo) {
  // The first memo is rewritten in its area, the second grows past its own.
  const TFaultCounts c = RunWithFaults(BaseImage(40), [](TTomeTableIO& table) {
    TRecordValues r(table);
    r.Read(0, 5);
    r.SetBlob(2, "m6!").SetBlob(3, std::string(5000, 'g')).OnlyActive({2, 3});
    table.ModifyRecord(r.buffers, 5);
  });
  EXPECT_GT(c.failures, 1);
  EXPECT_EQ(c.before + c.after, c.failures);
  std::printf("memo-growing modify: %d failure points, %d before, %d after\n", c.failures, c.before, c.after);
}

TEST(FailedWrites, ModifyMovingARecordInBothIndexesLeavesBeforeOrAfter) {
  // Record k = 60 becomes the first in both key orders (and the last record
  // moves too: its place in the file is the end of the record tab).
  for (int32_t position : {5, 39}) {
    const TFaultCounts c = RunWithFaults(BaseImage(40), [position](TTomeTableIO& table) {
      TRecordValues r(table);
      r.Read(0, position);
      r.SetInt(0, 1).SetText(1, "a").SetBlob(3, std::string(2000, 'w')).OnlyActive({0, 1, 3});
      table.ModifyRecord(r.buffers, position);
    });
    EXPECT_GT(c.failures, 6);
    EXPECT_EQ(c.before + c.after, c.failures);
    EXPECT_GT(c.after, 0);
    std::printf("modify of record %d moving it in both indexes: %d failure points, %d before, %d after\n", position,
                c.failures, c.before, c.after);
  }
}

TEST(FailedWrites, DeleteAndBlobMoveLeaveBeforeOrAfter) {
  const std::vector<uint8_t> base = BaseImage(40);
  TFaultCounts c = RunWithFaults(base, [](TTomeTableIO& table) { table.DeleteRecord(7); });
  EXPECT_EQ(c.failures, 2);
  std::printf("delete: %d failure points, %d before, %d after\n", c.failures, c.before, c.after);
  // A memo that no longer fits an area in the middle of the file moves to
  // the end, and its record is rewritten.
  c = RunWithFaults(base, [](TTomeTableIO& table) {
    TRecordValues r(table);
    r.Read(0, 2);
    r.SetBlob(2, std::string(700, 'q')).OnlyActive({2});
    table.ModifyRecord(r.buffers, 2);
  });
  EXPECT_GE(c.failures, 4);
  EXPECT_EQ(c.before + c.after, c.failures);
  std::printf("blob move: %d failure points, %d before, %d after\n", c.failures, c.before, c.after);
}

TEST(FailedWrites, FileOfAnAppendCutBeforeItsRecordOpensWithoutIt) {
  // An append that stopped after the record total and its record tab item
  // but before the record: the item leads past the end of the file.
  std::vector<uint8_t> bytes = BaseImage(40);
  const int32_t header = Int32At(bytes, kTableDirectoryOffset + kTdOffsets);
  const int32_t tab = Int32At(bytes, header + kThRecordTabOffset);
  PutInt32LE(bytes.data() + header + kThRecordTotal, 41);
  PutInt32LE(bytes.data() + tab + 4 + 40 * kRecordTabItemSize, static_cast<int32_t>(bytes.size()));
  TMemoryStream stream = StreamOf(bytes);
  {
    TMemoryTable t(stream);
    EXPECT_EQ(t.table.TornRecord(), 40);
    EXPECT_EQ(Contents(t.table).size(), 40u);
    AppendRecord(t.table, 15, "after", "");
  }
  TMemoryTable t(stream);
  EXPECT_EQ(t.table.TornRecord(), -1);
  EXPECT_EQ(t.table.TableHeader().recordTotal, 41);
  EXPECT_EQ(Contents(t.table).size(), 41u);
}
