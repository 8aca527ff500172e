#include "tomedb/fileio.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/errors.h"
#include "tableio_fixture.h"

namespace {

const char* kSchema = "writecheck on\ntable t\nfield name String 10\nfield memo Memo\nindex byname name\n";

std::string OpenError(const std::string& name, TTomeDBMediumType medium = mtDisk) {
  TTomeDBFileIO io(nullptr);
  try {
    io.Open(name, medium, false, false);
  } catch (const EDatabaseError& e) {
    EXPECT_FALSE(io.IsOpen());
    return e.what();
  }
  return "opened";
}

// A memory database whose stream can spoil the bytes of chosen writes.
class TFaultyStream : public TMemoryStream {
 public:
  // Writes of exactly `length` bytes are spoiled `times` times.
  void SpoilWrites(int64_t length, int times) {
    spoilLength_ = length;
    spoilTimes_ = times;
  }
  int Spoiled() const { return spoiled_; }

  int64_t Write(const void* buffer, int64_t count) override {
    if (count == spoilLength_ && spoilTimes_ > 0) {
      --spoilTimes_;
      ++spoiled_;
      std::vector<uint8_t> bad(static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + count);
      bad[0] ^= 0xFF;
      return TMemoryStream::Write(bad.data(), count);
    }
    return TMemoryStream::Write(buffer, count);
  }

 private:
  int64_t spoilLength_ = -1;
  int spoilTimes_ = 0;
  int spoiled_ = 0;
};

// A memory database made from a schema and registered under a handle.
struct TMemoryDatabase {
  explicit TMemoryDatabase(const char* schema) {
    const std::vector<uint8_t> image = BuildDatabaseImage(ParseSchema(schema));
    stream.WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
    handle = RegisterMemoryDatabase(&stream);
  }
  ~TMemoryDatabase() { UnregisterMemoryDatabase(handle); }
  TFaultyStream stream;
  uint32_t handle;
};

}  // namespace

TEST(FileIO, OpeningReportsMissingAndForeignFiles) {
  EXPECT_EQ(OpenError("/nonexistent/dir/file.dat"), "Cannot open file /nonexistent/dir/file.dat");
  TempFile foreign("foreign");
  {
    TFileStream f(foreign.path(), fmCreate);
    f.WriteBuffer("NotADatabaseFile", 16);
  }
  EXPECT_EQ(OpenError(foreign.path()), "Database file '" + foreign.path() + "' is a invalid TomeDB");
  TempFile empty("empty");
  { TFileStream f(empty.path(), fmCreate); }
  EXPECT_EQ(OpenError(empty.path()), "Database file '" + empty.path() + "' is a invalid TomeDB");

  TTestDatabase old(kSchema);
  old.Patch(kVersionOffset, "1.00", 5);
  EXPECT_EQ(OpenError(old.path()), "Version 1.00 is not compatible");
  TTestDatabase high(kSchema);
  high.Patch(kVersionOffset, "2.1\0", 5);
  EXPECT_EQ(OpenError(high.path()), "Version of database file is too High");
  TTestDatabase low(kSchema);
  low.Patch(kVersionOffset, "1.5\0", 5);
  EXPECT_EQ(OpenError(low.path()), "opened");
}

TEST(FileIO, FileMarkedReadOnlyOpensForReading) {
  TTestDatabase db(kSchema);
  ASSERT_EQ(::chmod(db.path().c_str(), 0444), 0);
  auto io = db.OpenFile();
  EXPECT_TRUE(io->FileReadOnly());
  EXPECT_TRUE(io->OpenedReadOnly());
  TTomeTableIO table(io.get());
  table.SetTableName("t");
  table.Open();
  EXPECT_EQ(table.RecordListOf(0).size(), 0u);
  TRecordValues r(table);
  EXPECT_THROW(r.Append(), EDatabaseError);
  ::chmod(db.path().c_str(), 0644);
}

TEST(FileIO, SettingsDirectoryAndTableNamesAreRead) {
  TTestDatabase db("compression on\ntable first\nfield a Integer\ntable Second\nfield b Integer\n");
  auto io = db.OpenFile();
  EXPECT_TRUE(io->IsOpen());
  EXPECT_TRUE(io->Compressed());
  EXPECT_FALSE(io->Encrypted());
  EXPECT_FALSE(io->WriteCheck());
  EXPECT_TRUE(io->SetPassword("anything"));  // not encrypted: any password
  std::vector<std::string> names{"stale"};
  io->GetTableNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"first", "Second"}));
  EXPECT_TRUE(io->IsFlushed());
  io->Close();
  EXPECT_FALSE(io->IsOpen());
  EXPECT_FALSE(io->SetPassword("x"));
}

TEST(FileIO, FlushedFlagFollowsWritesAndFlushes) {
  TTestDatabase db(kSchema);
  TOpenTable t(db, "t");
  EXPECT_TRUE(t.io->IsFlushed());
  TRecordValues r(*t.table);
  r.SetText(0, "a").Append();
  EXPECT_FALSE(t.io->IsFlushed());  // appends never flush
  t.io->Flush();
  EXPECT_TRUE(t.io->IsFlushed());
}

TEST(FileIO, MemoryDatabaseNamesAreColonAndHexDigits) {
  uint32_t handle = 0;
  EXPECT_TRUE(ParseMemoryDatabaseName(":1A2B", handle));
  EXPECT_EQ(handle, 0x1A2Bu);
  EXPECT_TRUE(ParseMemoryDatabaseName(":1a2b", handle));
  EXPECT_EQ(handle, 0x1A2Bu);
  EXPECT_FALSE(ParseMemoryDatabaseName("1A2B", handle));
  EXPECT_FALSE(ParseMemoryDatabaseName(":XYZ", handle));
  EXPECT_FALSE(ParseMemoryDatabaseName(":", handle));
  EXPECT_FALSE(ParseMemoryDatabaseName(":123456789", handle));  // beyond 32 bits
  EXPECT_EQ(MemoryDatabaseName(0x1A2B), ":1A2B");

  EXPECT_EQ(OpenError("1A2B", mtMemory), "Invalid database name '1A2B'");
  EXPECT_EQ(OpenError(":XYZ", mtMemory), "Invalid database name ':XYZ'");

  TMemoryDatabase memory(kSchema);
  const std::string name = MemoryDatabaseName(memory.handle);
  EXPECT_EQ(OpenError(name, mtMemory), "opened");
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(OpenError(lower, mtMemory), "opened");
  // A well-formed name that nobody registered names no stream.
  UnregisterMemoryDatabase(memory.handle);
  EXPECT_EQ(OpenError(name, mtMemory), "Invalid database name '" + name + "'");
  memory.handle = RegisterMemoryDatabase(&memory.stream);
}

TEST(FileIO, MemoryDatabaseStoresRecordsInTheCallersStream) {
  TMemoryDatabase memory(kSchema);
  const int64_t before = memory.stream.Size();
  TTomeDBFileIO io(nullptr);
  io.Open(MemoryDatabaseName(memory.handle), mtMemory, false, false);
  {
    TTomeTableIO table(&io);
    table.SetTableName("t");
    table.Open();
    TRecordValues r(table);
    r.SetText(0, "b").SetBlob(1, "memo").Append();
    r.SetText(0, "a").Append();
    EXPECT_EQ(RecordNumbers(table.RecordListOf(1)), (std::vector<int32_t>{1, 0}));
  }
  EXPECT_TRUE(io.IsFlushed());
  io.Close();  // only forgets the stream
  EXPECT_GT(memory.stream.Size(), before);
  io.Open(MemoryDatabaseName(memory.handle), mtMemory, false, false);
  TTomeTableIO table(&io);
  table.SetTableName("t");
  table.Open();
  TRecordValues read(table);
  read.Read(1, 1);
  EXPECT_EQ(read.Text(0), "b");
  EXPECT_EQ(read.Blob(1), "memo");
}

TEST(FileIO, WriteCheckRewritesUntilTheValueReadsBack) {
  TMemoryDatabase memory(kSchema);
  TTomeDBFileIO io(nullptr);
  io.Open(MemoryDatabaseName(memory.handle), mtMemory, false, false);
  ASSERT_TRUE(io.WriteCheck());
  TTomeTableIO table(&io);
  table.SetTableName("t");
  table.Open();
  TRecordValues r(table);
  // A 10-byte value is written as one 64-byte area; spoil that write twice.
  memory.stream.SpoilWrites(64, TTomeDBFileIO::kWriteCheckAttempts - 1);
  r.SetText(0, "x").SetBlob(1, "0123456789").Append();
  EXPECT_EQ(memory.stream.Spoiled(), TTomeDBFileIO::kWriteCheckAttempts - 1);
  TRecordValues read(table);
  read.Read(0, 0);
  EXPECT_EQ(read.Blob(1), "0123456789");

  // A stream that keeps spoiling the value gives up with an error.
  memory.stream.SpoilWrites(64, 1000);
  try {
    r.SetText(0, "y").Append();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "The value of field 'memo' did not read back correctly after 3 writes");
  }
  EXPECT_EQ(memory.stream.Spoiled(), TTomeDBFileIO::kWriteCheckAttempts - 1 + TTomeDBFileIO::kWriteCheckAttempts);
}

TEST(FileIO, LockOfAnotherHolderTimesOutAfterTheRetries) {
  TTestDatabase db(kSchema);
  auto holder = db.OpenFile();
  auto waiter = db.OpenFile();  // a second open file: excluded like another process
  holder->Lock();
  waiter->SetLockWaitTime(2);
  waiter->SetLockRetryCount(3);
  const auto start = std::chrono::steady_clock::now();
  try {
    waiter->Lock();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Wait for unlock time out");
  }
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(6));  // three waits
  // Nested locks count; the byte is free only after the last unlock.
  holder->Lock();
  holder->Unlock();
  EXPECT_THROW(waiter->Lock(), EDatabaseError);
  holder->Unlock();
  waiter->Lock();
  waiter->Unlock();
}

TEST(FileIO, RetryCountZeroWaitsWithoutEnd) {
  TTestDatabase db(kSchema);
  auto holder = db.OpenFile();
  auto waiter = db.OpenFile();
  waiter->SetLockWaitTime(1);
  waiter->SetLockRetryCount(-5);  // stored as 0
  EXPECT_EQ(waiter->LockRetryCount(), 0);
  holder->Lock();
  std::atomic<bool> locked{false};
  std::thread t([&] {
    waiter->Lock();
    locked = true;
    waiter->Unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(60));  // far beyond any default retry budget of 1 ms waits
  EXPECT_FALSE(locked);
  holder->Unlock();
  t.join();
  EXPECT_TRUE(locked);
}

TEST(FileIO, ExclusiveAndMemoryDatabasesTakeNoLock) {
  TTestDatabase db(kSchema);
  auto exclusive = db.OpenFile(false, true);
  EXPECT_FALSE(exclusive->Shared());
  exclusive->Lock();
  exclusive->Unlock();
  // The exclusive open keeps everyone else out of the file.
  EXPECT_THROW(db.OpenFile(), EDatabaseError);
}
