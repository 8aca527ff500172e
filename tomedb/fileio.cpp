#include "tomedb/fileio.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "core/errors.h"
#include "core/sync.h"

// ------------------------------------------------------------ file stream

int64_t TTomeDBFileStream::Write(const void* buffer, int64_t count) {
  fFlushed = false;
  return TFileStream::Write(buffer, count);
}

void TTomeDBFileStream::SetSize(int64_t newSize) {
  fFlushed = false;
  TFileStream::SetSize(newSize);
}

void TTomeDBFileStream::Flush() {
  TFileStream::Flush();
  fFlushed = true;
}

void TTomeDBFileStream::ReadAt(int64_t position, void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(Handle(), out + done, static_cast<size_t>(count - done), position + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError(FormatMessage("Read error on file \"%s\". %s", {FileName(), std::strerror(errno)}));
    if (n == 0) throw EReadError("Stream read error");
    done += n;
  }
}

void TTomeDBFileStream::WriteAt(int64_t position, const void* buffer, int64_t count) {
  if (!CanWrite()) throw EWriteError(FormatMessage("File \"%s\" is open for reading only", {FileName()}), ekReadOnly);
  fFlushed = false;
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(Handle(), in + done, static_cast<size_t>(count - done), position + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      throw EWriteError(FormatMessage("Write error on file \"%s\". %s", {FileName(), std::strerror(errno)}));
    done += n;
  }
}

// ------------------------------------------------- memory database names

namespace {

struct TMemoryRegistry {
  TMutex lock;
  // State below is protected by lock.
  std::map<uint32_t, TStream*> streams GUARDED_BY(lock);
  uint32_t nextHandle GUARDED_BY(lock) = 1;
};

TMemoryRegistry& MemoryRegistry() {
  static TMemoryRegistry registry;
  return registry;
}

TStream* FindMemoryDatabase(uint32_t handle) {
  TMemoryRegistry& r = MemoryRegistry();
  TLockGuard<TMutex> guard(r.lock);
  auto it = r.streams.find(handle);
  return it == r.streams.end() ? nullptr : it->second;
}

}  // namespace

uint32_t RegisterMemoryDatabase(TStream* stream) {
  if (!stream) DatabaseError(ekInvalidValue, "A memory database needs a stream");
  TMemoryRegistry& r = MemoryRegistry();
  TLockGuard<TMutex> guard(r.lock);
  while (r.nextHandle == 0 || r.streams.count(r.nextHandle)) ++r.nextHandle;
  const uint32_t handle = r.nextHandle++;
  r.streams[handle] = stream;
  return handle;
}

void UnregisterMemoryDatabase(uint32_t handle) {
  TMemoryRegistry& r = MemoryRegistry();
  TLockGuard<TMutex> guard(r.lock);
  r.streams.erase(handle);
}

std::string MemoryDatabaseName(uint32_t handle) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  do {
    hex.insert(hex.begin(), digits[handle & 0xF]);
    handle >>= 4;
  } while (handle != 0);
  return ":" + hex;
}

bool ParseMemoryDatabaseName(std::string_view name, uint32_t& handle) {
  if (name.size() < 2 || name[0] != ':') return false;
  uint64_t value = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    const char c = name[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return false;
  }
  handle = static_cast<uint32_t>(value);
  return true;
}

// ------------------------------------------------------------- file object

TTomeDBFileIO::TTomeDBFileIO(TTomeDatabase* database, TTomeDBMediumType mediumType, bool exclusive)
    : fDatabase(database), fMediumType(mediumType), fExclusive(exclusive), fCompressMgr(this), fEncryptMgr(this) {}

TTomeDBFileIO::~TTomeDBFileIO() { Close(); }

void TTomeDBFileIO::StreamFailure(const EStreamError& error) {
  DatabaseErrorFmt(error.Kind(), "Database file '%s': %s", {fFileName, error.what()});
}

void TTomeDBFileIO::Open(const std::string& fileName, TTomeDBMediumType mediumType, bool readOnly, bool exclusive) {
  if (IsOpen()) return;
  fMediumType = mediumType;
  fExclusive = exclusive;
  fReadOnly = readOnly;
  fFileReadOnly = false;
  fLockDepth = 0;
  fKnownSize = -1;

  if (mediumType == mtMemory) {
    uint32_t handle = 0;
    TStream* stream = nullptr;
    if (ParseMemoryDatabaseName(fileName, handle)) stream = FindMemoryDatabase(handle);
    if (!stream) DatabaseErrorFmt(ekNotFound, "Invalid database name '%s'", {fileName});
    try {
      ReadFileHeader(*stream, fileName);
    } catch (const EDatabaseError&) {
      throw;
    } catch (const EStreamError&) {
      DatabaseErrorFmt(ekNotADatabase, "Database file '%s' is a invalid TomeDB", {fileName});
    }
    fFileName = fileName;
    fStream = stream;
  } else {
    if (!FileExists(fileName)) DatabaseErrorFmt(ekNotFound, "Cannot open file %s", {fileName});
    try {
      // The signature and version are checked on a separate read-only handle
      // first, so a file that is not a database is never opened for writing.
      TFileStream probe(fileName, fmOpenRead | fmShareDenyNone);
      ReadFileHeader(probe, fileName);
    } catch (const EDatabaseError&) {
      throw;
    } catch (const EStreamError& e) {
      DatabaseErrorFmt(e.Kind(), "Cannot open file %s: %s", {fileName, e.what()});
    }
    fFileReadOnly = FileIsReadOnly(fileName);
    const uint16_t access = (fFileReadOnly || readOnly) ? fmOpenRead : fmOpenReadWrite;
    const uint16_t share = exclusive ? fmShareExclusive : fmShareDenyNone;
    try {
      fDiskStream = std::make_unique<TTomeDBFileStream>(fileName, access | share);
    } catch (const EStreamError& e) {
      DatabaseErrorFmt(e.Kind(), "Cannot open file %s: %s", {fileName, e.what()});
    }
    fFileName = fileName;
    fStream = fDiskStream.get();
  }

  try {
    ReadSettings();
  } catch (...) {
    Close();
    throw;
  }
}

void TTomeDBFileIO::ReadSettings() {
  try {
    fDataProcess = ::ReadDataProcessBlock(*fStream, fFileName);
    TLockGuard<TCriticalSection> guard(fCodingLock);
    if (fDataProcess.Compressed()) fCompressMgr.SelectAlgo(fDataProcess.compressAlgoName.Text());
    if (fDataProcess.Encrypted()) {
      fEncryptMgr.SelectAlgo(fDataProcess.encryptAlgoName.Text());
      fEncryptMgr.SetMode(fDataProcess.cipherMode);
    }
    fDirectory = ::ReadTableDirectory(*fStream, fFileName);
  } catch (const EDatabaseError&) {
    throw;
  } catch (const EStreamError& e) {
    StreamFailure(e);
  }
}

void TTomeDBFileIO::Close() {
  if (fLockDepth > 0 && fDiskStream && Shared()) fDiskStream->UnlockRange(1, 1);
  fLockDepth = 0;
  fKnownSize = -1;
  fDiskStream.reset();
  fStream = nullptr;
}

void TTomeDBFileIO::Flush() {
  if (fDiskStream) {
    try {
      fDiskStream->Flush();
    } catch (const EStreamError& e) {
      StreamFailure(e);
    }
  }
}

bool TTomeDBFileIO::IsFlushed() const { return fDiskStream ? fDiskStream->Flushed() : true; }

bool TTomeDBFileIO::SetPassword(std::string_view password) {
  if (!IsOpen()) return false;
  if (!fDataProcess.Encrypted()) return true;
  TLockGuard<TCriticalSection> guard(fCodingLock);
  return fEncryptMgr.CheckPassword(password, fDataProcess.checkValue.Text());
}

// ------------------------------------------------------------------ locking

void TTomeDBFileIO::AcquireFileLock() {
  int failures = 0;
  for (;;) {
    bool taken = false;
    try {
      taken = fDiskStream->LockRange(1, 1);
    } catch (const EStreamError& e) {
      StreamFailure(e);
    }
    if (taken) return;
    ++failures;
    if (fLockRetryCount != 0 && failures > fLockRetryCount) DatabaseError(ekLocked, "Wait for unlock time out");
    Sleep(static_cast<uint32_t>(fLockWaitTime));
  }
}

void TTomeDBFileIO::Lock() {
  if (!IsOpen()) DatabaseError(ekInvalidState, "Cannot perform this operation on a closed database");
  if (fLockDepth == 0) {
    if (Shared() && fDiskStream) AcquireFileLock();
    ++fLockEpoch;
  }
  ++fLockDepth;
}

void TTomeDBFileIO::Unlock() {
  if (fLockDepth == 0) return;
  if (--fLockDepth == 0 && Shared() && fDiskStream) fDiskStream->UnlockRange(1, 1);
}

// ------------------------------------------------------------- raw access

void TTomeDBFileIO::ReadBuffer(int64_t position, void* buffer, int64_t length) {
  if (!IsOpen()) DatabaseError(ekInvalidState, "Cannot perform this operation on a closed database");
  try {
    if (position < 0 || length < 0 || position + length > fKnownSize) fKnownSize = fStream->Size();
    if (position < 0 || length < 0 || position + length > fKnownSize)
      DamagedFile(fFileName, FormatMessage("a read of %s bytes at offset %s lies outside the file",
                                           {std::to_string(length), std::to_string(position)}));
    if (fDiskStream) {
      fDiskStream->ReadAt(position, buffer, length);
    } else {
      fStream->SetPosition(position);
      fStream->ReadBuffer(buffer, length);
    }
  } catch (const EDatabaseError&) {
    throw;
  } catch (const EStreamError& e) {
    StreamFailure(e);
  }
}

void TTomeDBFileIO::WriteBuffer(int64_t position, const void* buffer, int64_t length) {
  if (!IsOpen()) DatabaseError(ekInvalidState, "Cannot perform this operation on a closed database");
  if (OpenedReadOnly()) DatabaseError(ekReadOnly, "Cannot modify a read-only database");
  if (position < 0 || position + length > INT32_MAX)
    DatabaseErrorFmt(ekInvalidValue, "Database file '%s' would grow beyond 2147483647 bytes", {fFileName});
  ++fWriteCount;
  try {
    if (fDiskStream) {
      fDiskStream->WriteAt(position, buffer, length);
    } else {
      fStream->SetPosition(position);
      fStream->WriteBuffer(buffer, length);
    }
    if (position + length > fKnownSize) fKnownSize = position + length;
  } catch (const EStreamError& e) {
    fKnownSize = -1;
    StreamFailure(e);
  }
}

int64_t TTomeDBFileIO::FileSize() {
  if (!IsOpen()) DatabaseError(ekInvalidState, "Cannot perform this operation on a closed database");
  try {
    return fKnownSize = fStream->Size();
  } catch (const EStreamError& e) {
    StreamFailure(e);
  }
}

// ------------------------------------------------------------ structures

namespace {
void CheckTableNumber(const TTableDirectory& directory, int32_t tableNo) {
  if (tableNo < 0 || tableNo >= directory.tableCount)
    DatabaseErrorFmt(ekNotFound, "Table number %s does not exist", {std::to_string(tableNo)});
}
}  // namespace

TTableHeader TTomeDBFileIO::ReadTableHeader(int32_t tableNo) {
  CheckTableNumber(fDirectory, tableNo);
  try {
    return ::ReadTableHeader(*fStream, fDirectory.tableOffsets[static_cast<size_t>(tableNo)], fFileName);
  } catch (const EDatabaseError&) {
    throw;
  } catch (const EStreamError& e) {
    StreamFailure(e);
  }
}

void TTomeDBFileIO::ReadTableHeader(int32_t tableNo, uint8_t* buffer) {
  CheckTableNumber(fDirectory, tableNo);
  ReadBuffer(fDirectory.tableOffsets[static_cast<size_t>(tableNo)], buffer, kTableHeaderSize);
}

void TTomeDBFileIO::WriteTableHeader(int32_t tableNo, const uint8_t* buffer, int32_t from, int32_t length) {
  CheckTableNumber(fDirectory, tableNo);
  if (from < 0 || length < 0 || from + length > kTableHeaderSize) DatabaseError(ekGeneral, "General error");
  WriteBuffer(static_cast<int64_t>(fDirectory.tableOffsets[static_cast<size_t>(tableNo)]) + from, buffer + from,
              length);
}

void TTomeDBFileIO::GetTableNames(std::vector<std::string>& names) {
  names.clear();
  if (!IsOpen()) return;
  uint8_t name[kNameSize];
  for (int32_t i = 0; i < fDirectory.tableCount; ++i) {
    ReadBuffer(fDirectory.tableOffsets[static_cast<size_t>(i)], name, kNameSize);
    TNameArray text;
    std::memcpy(text.bytes.data(), name, kNameSize);
    names.push_back(text.Text());
  }
}

TRecordTab TTomeDBFileIO::ReadRecordTab(const TTableHeader& header, int32_t recordSize) {
  try {
    return ::ReadRecordTab(*fStream, header.recordTabOffset, header.recordTotal, recordSize, fFileName);
  } catch (const EDatabaseError&) {
    throw;
  } catch (const EStreamError& e) {
    StreamFailure(e);
  }
}

TIndexTab TTomeDBFileIO::ReadIndexTab(const TTableHeader& header, int32_t indexNo) {
  if (indexNo < 0 || indexNo >= header.indexCount || indexNo >= kMaxIndexes) DatabaseError(ekGeneral, "General error");
  try {
    return ::ReadIndexTab(*fStream, header.indexes[static_cast<size_t>(indexNo)].indexTabOffset, header.recordTotal,
                          fFileName);
  } catch (const EDatabaseError&) {
    throw;
  } catch (const EStreamError& e) {
    StreamFailure(e);
  }
}

void TTomeDBFileIO::ReadFieldAt(int64_t recordOffset, int32_t fieldOffset, bool isBlob, int32_t storedSize,
                                bool encrypt, bool compress, TMemoryStream& out) {
  if (isBlob) {
    ReadBlobValue(recordOffset + fieldOffset, encrypt, compress, out);
    return;
  }
  out.Clear();
  out.SetSize(storedSize);
  if (storedSize == 0) return;
  ReadBuffer(recordOffset + fieldOffset, out.Memory(), storedSize);
  DecodeBuffer(out.Memory(), out.Memory(), encrypt, storedSize);
  out.SetPosition(0);
}

void TTomeDBFileIO::ReadBlobValue(int64_t descriptorPosition, bool encrypt, bool compress, TMemoryStream& out) {
  uint8_t bytes[kBlobDescriptorSize];
  ReadBuffer(descriptorPosition, bytes, kBlobDescriptorSize);
  const TBlobDescriptor descriptor = TBlobDescriptor::Decode(bytes);
  out.Clear();
  if (descriptor.storedLength == 0 && descriptor.dataOffset == 0) return;  // never written
  descriptor.Check(fFileName, FileSize());
  TMemoryStream stored;
  stored.SetSize(descriptor.storedLength);
  if (descriptor.storedLength > 0) ReadBuffer(descriptor.dataOffset, stored.Memory(), descriptor.storedLength);
  DecodeStream(stored, out, compress, encrypt);
  out.SetPosition(0);
}

void TTomeDBFileIO::WriteDeleteMark(int64_t itemPosition) {
  uint8_t item[kRecordTabItemSize];
  ReadBuffer(itemPosition, item, kRecordTabItemSize);
  item[4] = 1;
  WriteBuffer(itemPosition, item, kRecordTabItemSize);
}

// ------------------------------------------------------------------ coding

namespace {
// Empties `destination` unless it is the source itself, and rewinds both.
void PrepareCoding(TStream& source, TStream& destination) {
  source.SetPosition(0);
  if (&destination != &source) {
    destination.SetSize(0);
    destination.SetPosition(0);
  }
}

void CopyWhole(TStream& source, TStream& destination) {
  if (&destination == &source) return;
  const int64_t size = source.Size();
  if (size > 0) destination.CopyFrom(source, 0);
}
}  // namespace

void TTomeDBFileIO::EncodeStream(TStream& source, TStream& destination, bool compress, bool encrypt) {
  TLockGuard<TCriticalSection> guard(fCodingLock);
  PrepareCoding(source, destination);
  if (compress && encrypt) {
    TMemoryStream compressed;
    fCompressMgr.EncodeStream(source, compressed, -1);
    compressed.SetPosition(0);
    fEncryptMgr.EncodeStream(compressed, destination, -1);
  } else if (compress) {
    fCompressMgr.EncodeStream(source, destination, -1);
  } else if (encrypt) {
    fEncryptMgr.EncodeStream(source, destination, -1);
  } else {
    CopyWhole(source, destination);
  }
  destination.SetPosition(0);
}

void TTomeDBFileIO::DecodeStream(TStream& source, TStream& destination, bool compress, bool encrypt) {
  TLockGuard<TCriticalSection> guard(fCodingLock);
  PrepareCoding(source, destination);
  if (compress && encrypt) {
    TMemoryStream decrypted;
    fEncryptMgr.DecodeStream(source, decrypted, -1);
    decrypted.SetPosition(0);
    fCompressMgr.DecodeStream(decrypted, destination, -1);
  } else if (encrypt) {
    fEncryptMgr.DecodeStream(source, destination, -1);
  } else if (compress) {
    fCompressMgr.DecodeStream(source, destination, -1);
  } else {
    CopyWhole(source, destination);
  }
  destination.SetPosition(0);
}

void TTomeDBFileIO::EncodeBuffer(const void* source, void* destination, bool encrypt, int32_t length) {
  if (length <= 0) return;
  TLockGuard<TCriticalSection> guard(fCodingLock);
  if (encrypt)
    fEncryptMgr.EncodeBuffer(source, destination, static_cast<size_t>(length));
  else if (source != destination)
    std::memmove(destination, source, static_cast<size_t>(length));
}

void TTomeDBFileIO::DecodeBuffer(const void* source, void* destination, bool encrypt, int32_t length) {
  if (length <= 0) return;
  TLockGuard<TCriticalSection> guard(fCodingLock);
  if (encrypt)
    fEncryptMgr.DecodeBuffer(source, destination, static_cast<size_t>(length));
  else if (source != destination)
    std::memmove(destination, source, static_cast<size_t>(length));
}
