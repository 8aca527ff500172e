#include "core/streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/errors.h"

// ---------------------------------------------------------------- TStream

int64_t TStream::Size() {
  int64_t here = Seek(0, soCurrent);
  int64_t end = Seek(0, soEnd);
  Seek(here, soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || (count != 0 && Read(buffer, count) != count)) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count < 0 || (count != 0 && Write(buffer, count) != count)) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const int64_t total = count;
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(count, 64 * 1024)));
  while (count > 0) {
    int64_t n = std::min<int64_t>(count, static_cast<int64_t>(chunk.size()));
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    count -= n;
  }
  return total;
}

// ---------------------------------------------------------- TMemoryStream

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  int64_t size = Size();
  if (count <= 0 || position_ >= size) return 0;
  int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t end = position_ + count;
  if (end > Size()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? position_ : Size();
  int64_t target = base + offset;
  if (target < 0) throw EStreamError("Stream seek before its start");
  position_ = target;
  return position_;
}

void TMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) throw EStreamError("Invalid stream size");
  data_.resize(static_cast<size_t>(newSize));
  if (position_ > newSize) position_ = newSize;
}

void TMemoryStream::Clear() {
  data_.clear();
  data_.shrink_to_fit();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  int64_t n = source.Size();
  data_.assign(static_cast<size_t>(n), 0);
  position_ = 0;
  if (n > 0) source.ReadBuffer(data_.data(), n);
}

void TMemoryStream::SaveToStream(TStream& destination) {
  if (!data_.empty()) destination.WriteBuffer(data_.data(), Size());
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

// ------------------------------------------------------------ TFileStream

namespace {

// Share modes are recorded as shared locks on bytes far beyond any database
// file (whose offsets are 32-bit): one byte per access a stream has and one
// per access it denies. Byte-range locks of the files' own bytes never meet
// them.
constexpr off_t kShareBase = static_cast<off_t>(0x7000000000000000LL);
constexpr off_t kHasReadAccess = kShareBase + 0;
constexpr off_t kHasWriteAccess = kShareBase + 1;
constexpr off_t kDeniesRead = kShareBase + 2;
constexpr off_t kDeniesWrite = kShareBase + 3;

std::string OsReason(int error) { return std::strerror(error); }

// The kind of an open that the system refused with `error`.
TDatabaseErrorKind OpenFailureKind(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return ekNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return ekAccessDenied;
    default: return ekInputOutput;
  }
}

int SetLock(int fd, short type, off_t start, off_t length) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  lock.l_pid = 0;
  return fcntl(fd, F_OFD_SETLK, &lock);
}

// True when a stream other than the one owning `fd` holds a lock on `byte`.
bool HeldElsewhere(int fd, off_t byte) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = byte;
  probe.l_len = 1;
  probe.l_pid = 0;
  if (fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : fileName_(fileName) {
  const bool create = (mode & 0xFF00) == fmCreate;
  const uint16_t access = create ? static_cast<uint16_t>(fmOpenReadWrite) : static_cast<uint16_t>(mode & 0x0003);
  const uint16_t share = static_cast<uint16_t>(mode & 0x00F0);
  if (access > fmOpenReadWrite)
    throw EFOpenError(FormatMessage("Cannot open file \"%s\". Invalid access mode", {fileName}));

  int flags = (access == fmOpenRead ? O_RDONLY : O_RDWR) | O_CLOEXEC;
  // A created file is opened without truncation first: a stream that holds it
  // with a denying share mode must not lose its content to us.
  if (create) flags |= O_CREAT;
  fd_ = ::open(fileName.c_str(), flags, 0666);
  if (fd_ < 0) {
    int error = errno;
    const char* pattern = create ? "Cannot create file \"%s\". %s" : "Cannot open file \"%s\". %s";
    if (create) throw EFCreateError(FormatMessage(pattern, {fileName, OsReason(error)}), OpenFailureKind(error));
    throw EFOpenError(FormatMessage(pattern, {fileName, OsReason(error)}), OpenFailureKind(error));
  }
  canWrite_ = access != fmOpenRead;
  try {
    AcquireShareMode(access, share);
    if (create && ::ftruncate(fd_, 0) != 0)
      throw EFCreateError(FormatMessage("Cannot create file \"%s\". %s", {fileName, OsReason(errno)}));
  } catch (...) {
    ::close(fd_);
    fd_ = -1;
    throw;
  }
}

void TFileStream::AcquireShareMode(uint16_t access, uint16_t share) {
  const bool reads = access == fmOpenRead || access == fmOpenReadWrite;
  const bool writes = access == fmOpenWrite || access == fmOpenReadWrite;
  const bool deniesRead = share == fmShareExclusive || share == fmShareDenyRead;
  const bool deniesWrite = share == fmShareExclusive || share == fmShareDenyWrite;

  // Record first, then look for conflicts: two streams opening at the same
  // moment may then both fail, but never both succeed against each other.
  auto record = [this](bool wanted, off_t byte) {
    if (wanted && SetLock(fd_, F_RDLCK, byte, 1) != 0)
      throw EFOpenError(FormatMessage("Cannot open file \"%s\". %s", {fileName_, OsReason(errno)}));
  };
  record(reads, kHasReadAccess);
  record(writes, kHasWriteAccess);
  record(deniesRead, kDeniesRead);
  record(deniesWrite, kDeniesWrite);

  bool conflict = (reads && HeldElsewhere(fd_, kDeniesRead)) || (writes && HeldElsewhere(fd_, kDeniesWrite)) ||
                  (deniesRead && HeldElsewhere(fd_, kHasReadAccess)) ||
                  (deniesWrite && HeldElsewhere(fd_, kHasWriteAccess));
  if (conflict)
    throw EFOpenError(FormatMessage("Cannot open file \"%s\". The file is in use with a share mode that "
                                    "does not allow this access",
                                    {fileName_}),
                      ekLocked);
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);  // closing releases every lock of this stream
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, out + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EReadError(FormatMessage("Read error on file \"%s\". %s", {fileName_, OsReason(errno)}));
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (!canWrite_) throw EWriteError(FormatMessage("File \"%s\" is open for reading only", {fileName_}), ekReadOnly);
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, in + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EWriteError(FormatMessage("Write error on file \"%s\". %s", {fileName_, OsReason(errno)}));
    }
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t result = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (result < 0) throw EStreamError(FormatMessage("Seek error on file \"%s\". %s", {fileName_, OsReason(errno)}));
  return result;
}

int64_t TFileStream::Size() {
  struct stat info {};
  if (::fstat(fd_, &info) != 0)
    throw EStreamError(FormatMessage("Cannot read the size of file \"%s\". %s", {fileName_, OsReason(errno)}));
  return info.st_size;
}

void TFileStream::SetSize(int64_t newSize) {
  if (newSize < 0 || ::ftruncate(fd_, static_cast<off_t>(newSize)) != 0)
    throw EStreamError(FormatMessage("Cannot change the size of file \"%s\"", {fileName_}));
  if (Position() > newSize) SetPosition(newSize);
}

void TFileStream::Flush() {
  if (::fsync(fd_) != 0 && errno != EINVAL)
    throw EWriteError(FormatMessage("Cannot flush file \"%s\". %s", {fileName_, OsReason(errno)}));
}

bool TFileStream::LockRange(int64_t offset, int64_t length) {
  if (offset < 0 || length <= 0) throw EStreamError("Invalid lock range");
  if (SetLock(fd_, canWrite_ ? F_WRLCK : F_RDLCK, static_cast<off_t>(offset), static_cast<off_t>(length)) == 0)
    return true;
  if (errno == EAGAIN || errno == EACCES) return false;
  throw EStreamError(FormatMessage("Cannot lock file \"%s\". %s", {fileName_, OsReason(errno)}));
}

bool TFileStream::UnlockRange(int64_t offset, int64_t length) {
  if (offset < 0 || length <= 0) return false;
  return SetLock(fd_, F_UNLCK, static_cast<off_t>(offset), static_cast<off_t>(length)) == 0;
}

bool FileExists(const std::string& fileName) {
  struct stat info {};
  return ::stat(fileName.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool FileIsReadOnly(const std::string& fileName) {
  struct stat info {};
  if (::stat(fileName.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  // No write bit at all is the read-only attribute even for a user (such as
  // root) whom the system would let write anyway.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
  return ::access(fileName.c_str(), W_OK) != 0;
}
