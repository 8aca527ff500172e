#pragma once
// One open database file: TTomeDBFileStream (the disk file with a flushed
// flag), the registry through which in-memory databases are named, and
// TTomeDBFileIO, which opens and checks a file, keeps its settings and table
// directory, checks the password, takes the file lock around table
// operations and runs every encryption and compression of the file.
//
// Ownership: the database object owns its TTomeDBFileIO; a TTomeDBFileIO owns
// its disk stream and both managers. A memory database's stream belongs to
// the caller, who registers it (RegisterMemoryDatabase) and must keep it alive
// and registered until the file object is closed.
//
// Threading: a file object and its tables are used from one thread at a time.
// Encoding and decoding run under the object's critical section, because the
// managers' algorithm objects and the cipher's feedback register are shared by
// every table of the file. Other processes are kept apart by the lock on
// byte 1 of a shared disk file (Lock/Unlock).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/streams.h"
#include "core/sync.h"
#include "tomedb/algorithms/Compress_Zlib.h"
#include "tomedb/algorithms/EncryptBase.h"
#include "tomedb/format.h"

class TTomeDatabase;

enum TTomeDBMediumType : uint8_t { mtDisk = 0, mtMemory = 1 };

// The disk file of a database. Flushed() is true at creation and after Flush,
// false after any write or size change.
class TTomeDBFileStream : public TFileStream {
 public:
  TTomeDBFileStream(const std::string& fileName, uint16_t mode) : TFileStream(fileName, mode) {}

  int64_t Write(const void* buffer, int64_t count) override;
  void SetSize(int64_t newSize) override;
  void Flush() override;
  bool Flushed() const { return fFlushed; }

  // Positional transfers in one system call each, without moving the
  // stream's position. ReadAt raises EReadError when fewer than `count`
  // bytes lie there, WriteAt EWriteError when the system refuses.
  void ReadAt(int64_t position, void* buffer, int64_t count);
  void WriteAt(int64_t position, const void* buffer, int64_t count);

 private:
  bool fFlushed = true;
};

// ---- In-memory databases ----
// A memory database is named ":" followed by hexadecimal digits. The number
// is a handle that RegisterMemoryDatabase hands out for a stream the caller
// owns; it is never taken for an address. Any thread may call these.
uint32_t RegisterMemoryDatabase(TStream* stream);
// Forgets the handle; the stream is not touched.
void UnregisterMemoryDatabase(uint32_t handle);
// ":" + the handle in upper-case hexadecimal (handle 0x1A2B gives ":1A2B").
std::string MemoryDatabaseName(uint32_t handle);
// True when `name` has the form ":" + one or more hexadecimal digits (either
// letter case) whose value fits 32 bits; `handle` then holds the value.
bool ParseMemoryDatabaseName(std::string_view name, uint32_t& handle);

class TTomeDBFileIO {
 public:
  // The write check repeats a blob write at most this many times in all
  // before it gives up with an error.
  static constexpr int kWriteCheckAttempts = 3;

  explicit TTomeDBFileIO(TTomeDatabase* database, TTomeDBMediumType mediumType = mtDisk, bool exclusive = false);
  ~TTomeDBFileIO();
  TTomeDBFileIO(const TTomeDBFileIO&) = delete;
  TTomeDBFileIO& operator=(const TTomeDBFileIO&) = delete;

  // Opens and checks the file (or the registered memory stream), reads the
  // settings and the table directory. Does nothing when already open.
  // Raises "Cannot open file %s", "Database file '%s' is a invalid TomeDB",
  // the version messages, "Invalid database name '%s'", and damaged-file
  // errors. A failed open leaves the object closed.
  void Open(const std::string& fileName, TTomeDBMediumType mediumType, bool readOnly, bool exclusive);
  // Frees a disk stream; a memory stream is only forgotten.
  void Close();
  void Flush();
  bool IsOpen() const { return fStream != nullptr; }
  // The disk stream's flushed flag; always true for a memory database.
  bool IsFlushed() const;

  // The password check: true for a file that is not encrypted; for an
  // encrypted one true only when the password matches the stored check
  // value, and the cipher is then keyed with it. False when not open.
  bool SetPassword(std::string_view password);

  // The lock on byte 1 of a shared disk file, taken around every table
  // operation. Nested calls only count. A lock held by another process is
  // retried after LockWaitTime() milliseconds; after LockRetryCount() failed
  // retries "Wait for unlock time out" is raised (a count of 0 retries
  // without end). Memory and exclusive databases take no lock.
  void Lock();
  void Unlock();
  // Counts the outermost Lock calls: bytes read while the lock is held, with
  // the same LockEpoch() and WriteCount(), are still what the file holds.
  int64_t LockEpoch() const { return fLockEpoch; }
  bool LockHeld() const { return fLockDepth > 0; }
  // The session's settings, which the database copies here from its session.
  int32_t LockWaitTime() const { return fLockWaitTime; }
  void SetLockWaitTime(int32_t milliseconds) { fLockWaitTime = milliseconds < 0 ? 0 : milliseconds; }
  int32_t LockRetryCount() const { return fLockRetryCount; }
  void SetLockRetryCount(int32_t count) { fLockRetryCount = count < 0 ? 0 : count; }

  // Raw access at absolute positions. A read past the end of the file or a
  // failing write raises a database error naming the file.
  // REQUIRES: IsOpen().
  void ReadBuffer(int64_t position, void* buffer, int64_t length);
  void WriteBuffer(int64_t position, const void* buffer, int64_t length);
  int64_t FileSize();
  // How many writes were asked of this object since it was created (failed
  // ones included): lets a caller tell whether a failed operation wrote.
  int64_t WriteCount() const { return fWriteCount; }

  // The table header of table `tableNo` (kTableHeaderSize bytes) at the
  // offset the directory gives; the read one is checked against damage.
  TTableHeader ReadTableHeader(int32_t tableNo);
  void ReadTableHeader(int32_t tableNo, uint8_t* buffer);
  // Writes `length` bytes of an encoded header, starting at `from`.
  void WriteTableHeader(int32_t tableNo, const uint8_t* buffer, int32_t from = 0,
                        int32_t length = kTableHeaderSize);
  // Cleared and filled with the names of all tables in directory order.
  void GetTableNames(std::vector<std::string>& names);

  TRecordTab ReadRecordTab(const TTableHeader& header, int32_t recordSize);
  TIndexTab ReadIndexTab(const TTableHeader& header, int32_t indexNo);

  // Reads the field's stored bytes at `fieldOffset` in the record at
  // `recordOffset` (for a blob, the descriptor and the stored value it points
  // at), and decodes them into `out` (emptied first).
  void ReadFieldAt(int64_t recordOffset, int32_t fieldOffset, bool isBlob, int32_t storedSize, bool encrypt,
                   bool compress, TMemoryStream& out);
  // Reads the blob descriptor at `descriptorPosition` and decodes the value.
  void ReadBlobValue(int64_t descriptorPosition, bool encrypt, bool compress, TMemoryStream& out);
  // Sets the delete mark of the record tab item at that position.
  void WriteDeleteMark(int64_t itemPosition);

  // Stream coding: compression first, then encryption (decoding the
  // reverse). The source is read from its start; another destination is
  // emptied first. Runs under the critical section.
  void EncodeStream(TStream& source, TStream& destination, bool compress, bool encrypt);
  void DecodeStream(TStream& source, TStream& destination, bool compress, bool encrypt);
  // One field value: encrypted or decrypted, or copied when `encrypt` is false.
  void EncodeBuffer(const void* source, void* destination, bool encrypt, int32_t length);
  void DecodeBuffer(const void* source, void* destination, bool encrypt, int32_t length);

  // ---- State ----
  TTomeDatabase* Database() const { return fDatabase; }
  const std::string& FileName() const { return fFileName; }
  TTomeDBMediumType MediumType() const { return fMediumType; }
  bool Exclusive() const { return fExclusive; }
  bool ReadOnly() const { return fReadOnly; }
  // The file carries the system's read-only mark (the user may not write it).
  bool FileReadOnly() const { return fFileReadOnly; }
  // Opened for reading only (asked for, or forced by the file's mark).
  bool OpenedReadOnly() const { return fReadOnly || fFileReadOnly; }
  // A disk file open for sharing: table operations take the byte-1 lock.
  bool Shared() const { return fMediumType == mtDisk && !fExclusive; }

  bool Encrypted() const { return fDataProcess.Encrypted(); }
  bool Compressed() const { return fDataProcess.Compressed(); }
  bool WriteCheck() const { return fDataProcess.WriteCheck(); }

  // The managers, for setting up their progress events. REQUIRES: no encode
  // or decode runs meanwhile (the events are set while the file is opened).
  TCompressMgr& CompressMgr() NO_THREAD_SAFETY_ANALYSIS { return fCompressMgr; }
  TEncryptMgr& EncryptMgr() NO_THREAD_SAFETY_ANALYSIS { return fEncryptMgr; }
  TStream* Stream() const { return fStream; }

 private:
  // Raises the stream's failure as a database error that names the file, of
  // the same kind.
  [[noreturn]] void StreamFailure(const EStreamError& error);
  void ReadSettings();
  void AcquireFileLock();

  TTomeDatabase* fDatabase;
  std::string fFileName;
  TTomeDBMediumType fMediumType;
  bool fExclusive;
  bool fReadOnly = false;
  bool fFileReadOnly = false;

  std::unique_ptr<TTomeDBFileStream> fDiskStream;  // mtDisk only
  TStream* fStream = nullptr;                      // the disk stream or the caller's

  TDataProcessBlock fDataProcess;
  TTableDirectory fDirectory;

  // Held during every encode and decode, by whichever table of the file codes.
  TCriticalSection fCodingLock;
  // State below is protected by fCodingLock: the algorithm objects and the
  // cipher's feedback register that every table of the file shares.
  TCompressMgr fCompressMgr GUARDED_BY(fCodingLock);
  TEncryptMgr fEncryptMgr GUARDED_BY(fCodingLock);

  // The file lock: byte 1 of a shared disk file, taken by Lock and released
  // by Unlock, keeps other processes out. State below belongs to it and, like
  // the rest of this object, to the one thread that uses the file.
  int32_t fLockWaitTime = 100;
  int32_t fLockRetryCount = 20;
  int fLockDepth = 0;
  int64_t fLockEpoch = 0;
  // Bytes read while the file lock is held stay valid while LockEpoch and
  // this count stay the same.
  int64_t fWriteCount = 0;
  // The file size as last seen; reads within it need not ask the system.
  // Another process only ever makes the file longer.
  int64_t fKnownSize = -1;
};
