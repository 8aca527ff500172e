#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "core/streams.h"
#include "temp_file.h"

namespace {

std::string ReadAll(TStream& s) {
  s.SetPosition(0);
  std::string out(static_cast<size_t>(s.Size()), '\0');
  s.ReadBuffer(out.data(), static_cast<int64_t>(out.size()));
  return out;
}

}  // namespace

TEST(MemoryStream, WritesReadsAndSeeksPastTheEndWithZeroFill) {
  TMemoryStream m;
  m.WriteBuffer("abc", 3);
  EXPECT_EQ(m.Size(), 3);
  EXPECT_EQ(m.Seek(2, soCurrent), 5);
  m.WriteBuffer("z", 1);
  ASSERT_EQ(m.Size(), 6);
  EXPECT_EQ(std::memcmp(m.Memory(), "abc\0\0z", 6), 0);
  char buf[8] = {};
  m.SetPosition(4);
  EXPECT_EQ(m.Read(buf, 8), 2);  // short read at the end is not an error for Read
  m.SetPosition(4);
  EXPECT_THROW(m.ReadBuffer(buf, 3), EReadError);
  EXPECT_THROW(m.Seek(-1, soBeginning), EStreamError);
  EXPECT_EQ(m.Seek(-2, soEnd), 4);
}

TEST(MemoryStream, SetSizeClampsThePositionAndCopyFromZeroTakesTheWholeSource) {
  TMemoryStream m;
  m.WriteBuffer("hello world", 11);
  m.SetSize(5);
  EXPECT_EQ(m.Position(), 5);
  TMemoryStream copy;
  copy.WriteBuffer(">", 1);
  m.SetPosition(3);  // ignored by a count of 0
  EXPECT_EQ(copy.CopyFrom(m, 0), 5);
  EXPECT_EQ(ReadAll(copy), ">hello");
  m.SetPosition(1);
  TMemoryStream part;
  part.CopyFrom(m, 3);
  EXPECT_EQ(ReadAll(part), "ell");
  EXPECT_THROW(part.CopyFrom(m, 5), EReadError);  // only one byte left in m
}

TEST(FileStream, CreatesWritesAndReadsBack) {
  TempFile f("stream");
  {
    TFileStream s(f.path(), fmCreate);
    s.WriteBuffer("0123456789", 10);
    EXPECT_EQ(s.Size(), 10);
    s.SetPosition(4);
    s.WriteBuffer("xy", 2);
    s.Flush();
    EXPECT_EQ(ReadAll(s), "0123xy6789");
    s.SetSize(3);
    EXPECT_EQ(s.Size(), 3);
  }
  TFileStream r(f.path(), fmOpenRead | fmShareDenyNone);
  EXPECT_EQ(ReadAll(r), "012");
  EXPECT_THROW(r.WriteBuffer("a", 1), EWriteError);
  EXPECT_FALSE(r.CanWrite());
}

TEST(FileStream, CreateTruncatesAnExistingFile) {
  TempFile f("trunc");
  { TFileStream(f.path(), fmCreate).WriteBuffer("long content", 12); }
  TFileStream s(f.path(), fmCreate);
  EXPECT_EQ(s.Size(), 0);
}

TEST(FileStream, MissingFileNamesTheFileInTheError) {
  TempFile f("missing");
  try {
    TFileStream s(f.path(), fmOpenRead);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find(f.path()), std::string::npos) << e.what();
  }
  EXPECT_FALSE(FileExists(f.path()));
}

TEST(FileStream, ShareModesExcludeEachOther) {
  TempFile f("share");
  { TFileStream(f.path(), fmCreate).WriteBuffer("data", 4); }
  {
    TFileStream exclusive(f.path(), fmOpenReadWrite | fmShareExclusive);
    EXPECT_THROW(TFileStream(f.path(), fmOpenRead | fmShareDenyNone), EFOpenError);
    EXPECT_THROW(TFileStream(f.path(), fmOpenReadWrite | fmShareDenyNone), EFOpenError);
    // Creating over an exclusively held file fails and leaves its bytes alone.
    EXPECT_THROW(TFileStream(f.path(), fmCreate), EFOpenError);
    EXPECT_EQ(exclusive.Size(), 4);
  }
  {
    TFileStream reader(f.path(), fmOpenRead | fmShareDenyWrite);
    TFileStream secondReader(f.path(), fmOpenRead | fmShareDenyNone);
    EXPECT_THROW(TFileStream(f.path(), fmOpenReadWrite | fmShareDenyNone), EFOpenError);
  }
  {
    TFileStream shared(f.path(), fmOpenReadWrite | fmShareDenyNone);
    TFileStream shared2(f.path(), fmOpenReadWrite | fmShareDenyNone);
    EXPECT_THROW(TFileStream(f.path(), fmOpenRead | fmShareExclusive), EFOpenError);
    EXPECT_THROW(TFileStream(f.path(), fmOpenRead | fmShareDenyWrite), EFOpenError);
  }
  // Every stream closed: exclusive access is free again.
  TFileStream again(f.path(), fmOpenReadWrite | fmShareExclusive);
  EXPECT_EQ(again.Size(), 4);
}

TEST(FileStream, ByteLockDoesNotWaitAndIsReleasedByUnlockOrClose) {
  TempFile f("lock");
  { TFileStream(f.path(), fmCreate).WriteBuffer("abcdef", 6); }
  TFileStream b(f.path(), fmOpenReadWrite | fmShareDenyNone);
  {
    TFileStream a(f.path(), fmOpenReadWrite | fmShareDenyNone);
    ASSERT_TRUE(a.LockRange(1, 1));
    EXPECT_TRUE(a.LockRange(1, 1));  // taking it again is harmless
    EXPECT_FALSE(b.LockRange(1, 1));
    EXPECT_TRUE(b.LockRange(2, 1));  // other bytes stay free
    EXPECT_FALSE(a.LockRange(2, 1));
    EXPECT_TRUE(b.UnlockRange(2, 1));
    EXPECT_TRUE(a.UnlockRange(1, 1));
    EXPECT_TRUE(b.LockRange(1, 1));
    EXPECT_TRUE(b.UnlockRange(1, 1));
    ASSERT_TRUE(a.LockRange(1, 1));
  }  // closing a releases its lock
  EXPECT_TRUE(b.LockRange(1, 1));
  EXPECT_THROW(b.LockRange(1, 0), EStreamError);
}

TEST(FileStream, ReadOnlyStreamLockExcludesWritersButNotReaders) {
  TempFile f("rolock");
  { TFileStream(f.path(), fmCreate).WriteBuffer("abc", 3); }
  TFileStream reader1(f.path(), fmOpenRead | fmShareDenyNone);
  TFileStream reader2(f.path(), fmOpenRead | fmShareDenyNone);
  TFileStream writer(f.path(), fmOpenReadWrite | fmShareDenyNone);
  ASSERT_TRUE(reader1.LockRange(1, 1));
  EXPECT_TRUE(reader2.LockRange(1, 1));
  EXPECT_FALSE(writer.LockRange(1, 1));
  reader1.UnlockRange(1, 1);
  reader2.UnlockRange(1, 1);
  EXPECT_TRUE(writer.LockRange(1, 1));
  EXPECT_FALSE(reader1.LockRange(1, 1));
}

TEST(FileStream, ReadOnlyAttributeIsReported) {
  TempFile f("attr");
  EXPECT_FALSE(FileIsReadOnly(f.path()));  // missing
  { TFileStream(f.path(), fmCreate).WriteBuffer("x", 1); }
  EXPECT_TRUE(FileExists(f.path()));
  EXPECT_FALSE(FileIsReadOnly(f.path()));
  ASSERT_EQ(::chmod(f.path().c_str(), 0444), 0);
  EXPECT_TRUE(FileIsReadOnly(f.path()));
}

TEST(MemoryStream, SavesToAndLoadsFromFile) {
  TempFile f("memfile");
  TMemoryStream m;
  m.WriteBuffer("payload", 7);
  m.SaveToFile(f.path());
  TMemoryStream back;
  back.LoadFromFile(f.path());
  EXPECT_EQ(back.Position(), 0);
  EXPECT_EQ(ReadAll(back), "payload");
}

TEST(FileStream, ByteLockExcludesAnotherProcess) {
  TempFile f("proclock");
  { TFileStream(f.path(), fmCreate).WriteBuffer("abc", 3); }
  TFileStream holder(f.path(), fmOpenReadWrite | fmShareDenyNone);
  ASSERT_TRUE(holder.LockRange(1, 1));
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Exit status: 0 when byte 1 is refused and byte 2 is free, as expected.
    int status = 3;
    try {
      TFileStream other(f.path(), fmOpenReadWrite | fmShareDenyNone);
      status = other.LockRange(1, 1) ? 1 : other.LockRange(2, 1) ? 0 : 2;
    } catch (...) {
    }
    ::_exit(status);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
