// Two processes appending to one shared database file at the same time.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <utility>

#include "core/errors.h"
#include "tableio_fixture.h"

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
