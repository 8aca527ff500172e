#pragma once
// Byte streams: the abstract TStream, an in-memory TMemoryStream and a disk
// TFileStream opened with an access mode and a share mode.
//
// Ownership: a stream owns its bytes (memory) or its file descriptor (file)
// and releases them in its destructor. Pointers returned by
// TMemoryStream::Memory() stay valid until the next call that changes the
// stream's size or capacity.
//
// Threading: a stream object is not synchronised; one thread at a time. Two
// TFileStream objects on the same file, in one process or in two, exclude each
// other through their share modes and byte-range locks (both are POSIX
// open-file-description locks, so they act between objects of one process
// exactly as between processes).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/errors.h"

// Carries the same kinds as a database error, so that the engine passes the
// cause on when it reports a stream's failure in its own words.
class EStreamError : public std::runtime_error {
 public:
  explicit EStreamError(const std::string& message, TDatabaseErrorKind kind = ekInputOutput)
      : std::runtime_error(message), kind_(kind) {}
  TDatabaseErrorKind Kind() const { return kind_; }

 private:
  TDatabaseErrorKind kind_;
};
// A read or write moved fewer bytes than asked ("Stream read error").
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
// A file could not be opened or created; the message names the file and the
// operating system's reason, the kind tells a missing file (NotFound), one the
// system refuses (AccessDenied) and one held by another stream's share mode
// (Locked) from the rest (InputOutput).
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream {
 public:
  virtual ~TStream() = default;

  // Moves up to `count` bytes; returns how many were moved (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position. A negative resulting position raises EStreamError.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t newSize) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }

  // Like Read/Write, but anything short of `count` bytes raises
  // EReadError "Stream read error" / EWriteError "Stream write error".
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);

  // Copies `count` bytes from the source's current position to this stream's
  // position. A count of 0 copies the whole source from its start.
  // Returns the number of bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A growable block of memory. Writing past the end extends it; the gap between
// the old end and a position seeked past it reads as zero bytes.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t newSize) override;

  // The stream's bytes; valid until the size next changes. Empty stream:
  // may be null.
  uint8_t* Memory() { return data_.data(); }
  const uint8_t* Memory() const { return data_.data(); }
  void Clear();
  // Replaces the content by the whole of `source` (read from its start) and
  // rewinds.
  void LoadFromStream(TStream& source);
  // Writes the whole content at the destination's position.
  void SaveToStream(TStream& destination);
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

// Open modes: one access mode combined (|) with one share mode, or fmCreate
// (which creates or truncates the file and opens it for reading and writing)
// combined with a share mode.
enum : uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,  // treated as fmShareDenyNone
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFF00,
};

// A disk file read and written without user-space buffering: every Write has
// reached the operating system when it returns; Flush forces it to the disk.
//
// Share modes are enforced between TFileStream objects only (other programs
// are not bound by them): opening fails with EFOpenError when the requested
// access is denied by an open stream, or when the requested denial conflicts
// with a stream already open on the file. An fmOpenWrite stream is opened
// read-write underneath, because the locks that record its share mode need
// read access to the descriptor.
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& fileName, uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t newSize) override;

  // Writes the operating system's buffers of the file to the disk.
  virtual void Flush();

  // Takes a lock on `length` bytes at `offset` without waiting: true when
  // taken, false when another stream (of this or another process) holds a
  // conflicting lock. The lock is exclusive on a stream opened for writing and
  // shared on a read-only stream (which then still excludes every writer).
  // Other failures raise EStreamError. Locking a range this stream already
  // holds succeeds.
  bool LockRange(int64_t offset, int64_t length);
  // Releases a range taken by LockRange; releasing a range not held is not an
  // error. Returns false only when the operating system refuses.
  bool UnlockRange(int64_t offset, int64_t length);

  const std::string& FileName() const { return fileName_; }
  bool CanWrite() const { return canWrite_; }
  int Handle() const { return fd_; }

 private:
  void AcquireShareMode(uint16_t access, uint16_t share);

  std::string fileName_;
  int fd_ = -1;
  bool canWrite_ = false;
};

// File-system queries used before opening a database file.
bool FileExists(const std::string& fileName);
// True when the file exists and the current user may not write it (the
// counterpart of a read-only attribute).
bool FileIsReadOnly(const std::string& fileName);
