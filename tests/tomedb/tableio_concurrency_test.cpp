// Two processes appending to one shared database file at the same time.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <set>
#include <utility>

#include "core/errors.h"
#include "tableio_fixture.h"
#include "tomedb/TomeDB.h"

namespace {

const char* kSchema =
    "table t\nfield proc Integer\nfield seq Integer\nfield name String 12\nfield memo Memo\n"
    "index byseq seq,proc unique\nindex byname name\n";
constexpr int kPerProcess = 2000;

// Appends kPerProcess records as process `proc`; returns the exit status.
int AppendAsProcess(const std::string& path, int proc) {
  try {
    TTomeDBFileIO io(nullptr);
    io.Open(path, mtDisk, false, false);
    io.SetLockWaitTime(1);
    io.SetLockRetryCount(0);
    TTomeTableIO table(&io);
    table.SetTableName("t");
    table.Open();
    TRecordValues r(table);
    for (int i = 0; i < kPerProcess; ++i) {
      // Names interleave the two processes' records in the name order too.
      char name[32];
      std::snprintf(name, sizeof name, "n%05d-%d", (i * 7919) % kPerProcess, proc);
      r.SetInt(0, proc).SetInt(1, i).SetText(2, name).SetBlob(3, i % 5 == 0 ? "memo" : "").Append();
      // A short pause outside the lock lets the other process in, so the
      // two processes' appends interleave.
      if (i % 4 == 0) ::usleep(50);
    }
    table.Close();
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "process %d: %s\n", proc, e.what());
    return 1;
  }
}

}  // namespace

TEST(Concurrency, TwoProcessesAppendingToOneFileLoseNothing) {
  TTestDatabase db(kSchema, "shared");
  // This process keeps the table open while the others append.
  TOpenTable reader(db, "t");
  int reloads = 0;
  reader.table->OnReload = [&](TTomeTableIO*) { ++reloads; };

  pid_t children[2];
  for (int proc = 0; proc < 2; ++proc) {
    children[proc] = ::fork();
    ASSERT_GE(children[proc], 0);
    if (children[proc] == 0) ::_exit(AppendAsProcess(db.path(), proc + 1));
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }

  // The reader's lists are stale until it looks at the header again.
  EXPECT_EQ(reader.table->RecordListOf(0).size(), 0u);
  EXPECT_TRUE(reader.table->ReloadIfChanged());
  EXPECT_EQ(reloads, 1);
  EXPECT_EQ(reader.table->RecordListOf(0).size(), 2u * kPerProcess);
  EXPECT_FALSE(reader.table->ReloadIfChanged());

  TOpenTable t(db, "t");
  EXPECT_EQ(t.table->TableHeader().recordTotal, 2 * kPerProcess);
  ASSERT_EQ(t.table->RecordListOf(0).size(), 2u * kPerProcess);
  TRecordValues r(*t.table);
  std::set<std::pair<int, int>> seen;
  for (int i = 0; i < 2 * kPerProcess; ++i) {
    r.Read(0, i);
    seen.insert({r.Int(0), r.Int(1)});
  }
  EXPECT_EQ(seen.size(), 2u * kPerProcess);  // every (process, number) once

  // Both index lists hold every record, in key order.
  const TRecordList& bySeq = t.table->RecordListOf(1);
  ASSERT_EQ(bySeq.size(), 2u * kPerProcess);
  std::pair<int, int> previous{-1, -1};
  for (int i = 0; i < 2 * kPerProcess; ++i) {
    r.Read(1, i);
    const std::pair<int, int> key{r.Int(1), r.Int(0)};
    ASSERT_LT(previous, key) << i;
    previous = key;
  }
  const TRecordList& byName = t.table->RecordListOf(2);
  ASSERT_EQ(byName.size(), 2u * kPerProcess);
  std::string previousName;
  for (int i = 0; i < 2 * kPerProcess; ++i) {
    r.Read(2, i);
    ASSERT_LE(previousName, r.Text(2)) << i;
    previousName = r.Text(2);
  }

  // The stale reader appends after the others and keeps the file consistent.
  TRecordValues extra(*reader.table);
  extra.SetInt(0, 3).SetInt(1, 0).SetText(2, "a").Append();
  TOpenTable again(db, "t");
  EXPECT_EQ(again.table->RecordListOf(1).size(), 2u * kPerProcess + 1);
  EXPECT_EQ(again.table->RecordListOf(2).front().RecordNo, 2 * kPerProcess);
}

namespace {

const char* kKeySchema = "table t\nfield k Integer\nfield memo Memo\nindex byk k unique\n";

std::vector<int32_t> KeysInOrder(TTomeTableIO& table) {
  std::vector<int32_t> keys;
  TRecordValues r(table);
  for (int32_t p = 0; p < static_cast<int32_t>(table.RecordListOf(1).size()); ++p) {
    r.Read(1, p);
    keys.push_back(r.Int(0));
  }
  return keys;
}

int32_t PositionOfKey(TTomeTableIO& table, int32_t key) {
  TRecordValues r(table);
  r.SetInt(0, key);
  int32_t position = -1;
  return table.Search(r.buffers, table.RecordListOf(1), false, 0, 0, position) == 0 ? position : -1;
}

// Runs `change` on the table in a child process and waits for it.
void InOtherProcess(const TTestDatabase& db, const std::function<void(TTomeTableIO&)>& change) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int status = 0;
    try {
      TOpenTable t(db, "t");
      change(*t.table);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "child: %s\n", e.what());
      status = 1;
    }
    ::_exit(status);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
}

// The record at key `from` gets key `to`.
void ChangeKey(TTomeTableIO& table, int32_t from, int32_t to) {
  const int32_t position = table.ConvertPosition(table.RecordListOf(1), PositionOfKey(table, from), 0);
  TRecordValues r(table);
  r.SetInt(0, to).OnlyActive({0});
  table.ModifyRecord(r.buffers, position);
}

void DeleteKey(TTomeTableIO& table, int32_t key) {
  table.DeleteRecord(table.ConvertPosition(table.RecordListOf(1), PositionOfKey(table, key), 0));
}

std::string UniqueFailure(TTomeTableIO& table, int32_t key) {
  try {
    TRecordValues(table).SetInt(0, key).Append();
  } catch (const EDatabaseError& e) {
    return e.what();
  }
  return "(appended)";
}

}  // namespace

TEST(Concurrency, TableKeptOpenFollowsAnotherProcesssChangeDeleteAndAppend) {
  TTestDatabase db(kKeySchema, "shared");
  TOpenTable a(db, "t");
  for (int32_t k : {10, 20, 30, 40}) TRecordValues(*a.table).SetInt(0, k).Append();

  // Another process changes 20 to 35: neither the header nor the file size
  // changes, only the record and the key order's links.
  InOtherProcess(db, [](TTomeTableIO& t) { ChangeKey(t, 20, 35); });
  TRecordValues(*a.table).SetInt(0, 32).Append();
  EXPECT_EQ(KeysInOrder(*a.table), (std::vector<int32_t>{10, 30, 32, 35, 40}));
  EXPECT_GE(PositionOfKey(*a.table, 32), 0);
  EXPECT_EQ(UniqueFailure(*a.table, 32), "Invalid unique field value '32'");

  // Another process deletes 30: this table may then add 30 again.
  InOtherProcess(db, [](TTomeTableIO& t) { DeleteKey(t, 30); });
  EXPECT_EQ(UniqueFailure(*a.table, 30), "(appended)");
  EXPECT_EQ(KeysInOrder(*a.table), (std::vector<int32_t>{10, 30, 32, 35, 40}));

  // Another process appends 5; this table's own modify then moves 40 first.
  InOtherProcess(db, [](TTomeTableIO& t) { TRecordValues(t).SetInt(0, 5).Append(); });
  ChangeKey(*a.table, 40, 1);
  EXPECT_EQ(KeysInOrder(*a.table), (std::vector<int32_t>{1, 5, 10, 30, 32, 35}));
  EXPECT_EQ(a.table->RecordListOf(0).size(), 6u);

  TOpenTable fresh(db, "t");
  EXPECT_EQ(KeysInOrder(*fresh.table), (std::vector<int32_t>{1, 5, 10, 30, 32, 35}));
  EXPECT_EQ(fresh.table->TableHeader().recordTotal, 7);
  EXPECT_EQ(UniqueFailure(*fresh.table, 35), "Invalid unique field value '35'");
}

TEST(Concurrency, TablesSharingOneTableIOFollowEachOther) {
  TTestDatabase db(kKeySchema, "shared");
  {
    TOpenTable setup(db, "t");
    for (int32_t k : {10, 20, 30, 40}) TRecordValues(*setup.table).SetInt(0, k).Append();
  }
  TTomeTable a, b;
  for (TTomeTable* t : {&a, &b}) {
    t->SetDatabaseName(db.path());
    t->SetTableName("t");
    t->SetIndexName("byk");
    t->Open();
  }
  ASSERT_EQ(a.TableIO(), b.TableIO());
  auto keys = [](TTomeTable& t) {
    std::vector<int32_t> values;
    for (t.First(); !t.Eof(); t.Next()) values.push_back(t.FieldByName("k").AsInteger());
    return values;
  };
  b.Last();  // b stands on 40
  ASSERT_TRUE(a.Locate("k", Variant(20), 0));
  a.Edit();
  a.FieldByName("k").SetAsInteger(35);
  a.Post();
  EXPECT_EQ(b.FieldByName("k").AsInteger(), 40);
  EXPECT_EQ(keys(b), (std::vector<int32_t>{10, 30, 35, 40}));
  b.Append();
  b.FieldByName("k").SetAsInteger(32);
  b.Post();
  EXPECT_EQ(keys(a), (std::vector<int32_t>{10, 30, 32, 35, 40}));
  ASSERT_TRUE(a.Locate("k", Variant(30), 0));
  a.Delete();
  EXPECT_EQ(b.RecordCount(), 4);
  EXPECT_EQ(keys(b), (std::vector<int32_t>{10, 32, 35, 40}));
  b.Append();
  b.FieldByName("k").SetAsInteger(30);
  b.Post();
  EXPECT_EQ(keys(a), (std::vector<int32_t>{10, 30, 32, 35, 40}));
}

TEST(Concurrency, FindsSeeAnotherProcesssWriteAndLeaveTheLockFree) {
  TTestDatabase db("table t\nfield k Integer\nfield v Integer\nindex byk k\n", "shared");
  {
    TOpenTable a(db, "t");
    for (int32_t k = 1; k <= 50; ++k) TRecordValues(*a.table).SetInt(0, k).SetInt(1, 0).Append();
  }
  auto setValue = [](int32_t value) {
    return [value](TTomeTableIO& t) {
      const int32_t position = t.ConvertPosition(t.RecordListOf(1), PositionOfKey(t, 20), 0);
      TRecordValues r(t);
      r.SetInt(1, value).OnlyActive({1});
      t.ModifyRecord(r.buffers, position);
    };
  };
  TTomeTable table;
  table.SetDatabaseName(db.path());
  table.SetTableName("t");
  table.SetIndexName("byk");
  table.Open();
  table.SetFilter("k=20");
  ASSERT_TRUE(table.FindFirst());
  EXPECT_EQ(table.FieldByName("v").AsInteger(), 0);
  // The other process waits for the lock at most two seconds: the find must
  // not keep it.
  InOtherProcess(db, setValue(7));
  ASSERT_TRUE(table.FindFirst());
  EXPECT_EQ(table.FieldByName("v").AsInteger(), 7) << "the record is read again by the next find";
  table.SetFiltered(true);
  InOtherProcess(db, setValue(8));
  table.First();
  EXPECT_EQ(table.FieldByName("v").AsInteger(), 8);
}
