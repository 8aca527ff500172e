#include "tomedb/algorithms/EncryptBase.h"

#include <string.h>

#include <algorithm>
#include <cstring>

#include "core/errors.h"
#include "tomedb/algorithms/Hash_SHA.h"

void SecureZero(void* data, size_t length) {
  if (length == 0) return;
#if defined(__GLIBC__) || defined(__OpenBSD__) || defined(__FreeBSD__)
  explicit_bzero(data, length);
#else
  // Writes through a volatile pointer are not removed as dead stores.
  volatile uint8_t* p = static_cast<volatile uint8_t*>(data);
  while (length--) *p++ = 0;
#endif
}

TEncrypt::TEncrypt(size_t BlockSize, size_t MaxKeySize) : fBlockSize(BlockSize), fMaxKeySize(MaxKeySize) {
  fIV.fill(0xFF);
  fFeedback.fill(0xFF);
}

TEncrypt::~TEncrypt() {
  // Subclasses clear their key schedules in their own destructors; this
  // clears what the base holds.
  SecureZero(fIV.data(), fIV.size());
  SecureZero(fFeedback.data(), fFeedback.size());
  SecureZero(fBuffer.data(), fBuffer.size());
}

void TEncrypt::Protect() {
  fIV.fill(0xFF);
  fFeedback.fill(0xFF);
  SecureZero(fBuffer.data(), fBuffer.size());
  ClearKeySchedule();
  fKeySet = false;
  fInitialized = false;
}

void TEncrypt::SetMode(uint8_t Mode) {
  if (Mode > kMaxCipherMode)
    throw EEncryptException(FormatMessage("%s: cipher mode %s is not supported",
                                          {ClassName(), std::to_string(Mode)}));
  fMode = Mode;
}

void TEncrypt::Init(const void* Key, size_t Size) {
  Protect();
  Size = std::min(Size, fMaxKeySize);
  SetupKey(static_cast<const uint8_t*>(Key), Size);
  fKeySet = true;
  std::array<uint8_t, 16> ones;
  ones.fill(0xFF);
  EncodeBlock(ones.data(), fIV.data());
  fFeedback = fIV;
  fInitialized = true;
}

void TEncrypt::InitKey(std::string_view Password) {
  THash_SHA sha;
  std::vector<uint8_t> digest = sha.CalcString(Password);
  Init(digest.data(), digest.size());
  SecureZero(digest.data(), digest.size());
}

void TEncrypt::Done() { fFeedback = fIV; }

void TEncrypt::CheckInitialized() const {
  if (!fInitialized)
    throw EEncryptException(FormatMessage("%s is not initialized call Init() or InitKey() before.", {ClassName()}));
}

void TEncrypt::EncodeBuffer(const void* Source, void* Dest, size_t Length) {
  CheckInitialized();
  const uint8_t* src = static_cast<const uint8_t*>(Source);
  uint8_t* dst = static_cast<uint8_t*>(Dest);
  const size_t n = fBlockSize;
  uint8_t* F = fFeedback.data();
  uint8_t* T = fBuffer.data();
  size_t pos = 0;
  switch (fMode) {
    case cmXorFeedback:
    case cmCBC:
      for (; pos + n <= Length; pos += n) {
        for (size_t i = 0; i < n; ++i) T[i] = src[pos + i] ^ F[i];
        EncodeBlock(T, T);
        std::memcpy(dst + pos, T, n);
        if (fMode == cmXorFeedback)
          for (size_t i = 0; i < n; ++i) F[i] ^= T[i];
        else
          std::memcpy(F, T, n);
      }
      if (pos < Length) {
        EncodeBlock(F, T);
        for (size_t i = 0; pos + i < Length; ++i) dst[pos + i] = src[pos + i] ^ T[i];
        if (fMode == cmXorFeedback)
          for (size_t i = 0; i < n; ++i) F[i] ^= T[i];
      }
      break;
    case cmCFB8:
    case cmOFB8:
      for (; pos < Length; ++pos) {
        EncodeBlock(F, T);
        const uint8_t out = src[pos] ^ T[0];
        std::memmove(F, F + 1, n - 1);
        F[n - 1] = (fMode == cmCFB8) ? out : T[0];
        dst[pos] = out;
      }
      break;
    case cmECB:
      for (; pos + n <= Length; pos += n) EncodeBlock(src + pos, dst + pos);
      if (pos < Length && dst != src) std::memmove(dst + pos, src + pos, Length - pos);
      break;
  }
}

void TEncrypt::DecodeBuffer(const void* Source, void* Dest, size_t Length) {
  CheckInitialized();
  const uint8_t* src = static_cast<const uint8_t*>(Source);
  uint8_t* dst = static_cast<uint8_t*>(Dest);
  const size_t n = fBlockSize;
  uint8_t* F = fFeedback.data();
  uint8_t* T = fBuffer.data();
  size_t pos = 0;
  switch (fMode) {
    case cmXorFeedback:
    case cmCBC:
      for (; pos + n <= Length; pos += n) {
        std::array<uint8_t, 16> cipherBlock;
        std::memcpy(cipherBlock.data(), src + pos, n);
        DecodeBlock(cipherBlock.data(), T);
        for (size_t i = 0; i < n; ++i) dst[pos + i] = T[i] ^ F[i];
        if (fMode == cmXorFeedback)
          for (size_t i = 0; i < n; ++i) F[i] ^= cipherBlock[i];
        else
          std::memcpy(F, cipherBlock.data(), n);
      }
      if (pos < Length) {
        EncodeBlock(F, T);
        for (size_t i = 0; pos + i < Length; ++i) dst[pos + i] = src[pos + i] ^ T[i];
        if (fMode == cmXorFeedback)
          for (size_t i = 0; i < n; ++i) F[i] ^= T[i];
      }
      break;
    case cmCFB8:
    case cmOFB8:
      for (; pos < Length; ++pos) {
        EncodeBlock(F, T);
        const uint8_t in = src[pos];
        std::memmove(F, F + 1, n - 1);
        F[n - 1] = (fMode == cmCFB8) ? in : T[0];
        dst[pos] = in ^ T[0];
      }
      break;
    case cmECB:
      for (; pos + n <= Length; pos += n) DecodeBlock(src + pos, dst + pos);
      if (pos < Length && dst != src) std::memmove(dst + pos, src + pos, Length - pos);
      break;
  }
}

void TEncryptAlgo::EncodeStream(TStream& Source, TStream& Dest, int64_t Size) { CodeStream(Source, Dest, Size, true); }

void TEncryptAlgo::DecodeStream(TStream& Source, TStream& Dest, int64_t Size) { CodeStream(Source, Dest, Size, false); }

void TEncryptAlgo::CodeStream(TStream& Source, TStream& Dest, int64_t Size, bool Encode) {
  constexpr int64_t kChunk = 4096;
  auto report = [&](int percent) { Encode ? DoEncodeProgress(percent) : DoDecodeProgress(percent); };
  if (Size < 0) {
    Source.Seek(0, soBeginning);
    Size = Source.Size();
  }
  int64_t readPos = Source.Position();
  int64_t writePos = Dest.Position();
  std::array<uint8_t, kChunk> chunk;
  report(0);
  try {
    int64_t done = 0;
    while (done < Size) {
      const int64_t want = std::min<int64_t>(kChunk, Size - done);
      Source.Seek(readPos, soBeginning);
      const int64_t got = Source.Read(chunk.data(), want);
      if (got <= 0) break;  // the source ended before Size bytes
      readPos += got;
      if (Encode)
        EncodeBuffer(chunk.data(), chunk.data(), static_cast<size_t>(got));
      else
        DecodeBuffer(chunk.data(), chunk.data(), static_cast<size_t>(got));
      Dest.Seek(writePos, soBeginning);
      Dest.WriteBuffer(chunk.data(), got);
      writePos += got;
      done += got;
      report(ProgressPercent(static_cast<uint64_t>(done), static_cast<uint64_t>(Size)));
    }
  } catch (...) {
    SecureZero(chunk.data(), chunk.size());
    report(0);
    throw;
  }
  SecureZero(chunk.data(), chunk.size());
  report(0);
}

std::string PasswordCheckValue(std::string_view Password) {
  THash_SHA sha;
  return DigestToText(sha.CalcString(Password));
}

int TEncryptMgr::CheckAlgo(std::string_view Name) const { return EncryptAlgoRegistry().IndexOf(Name); }

void TEncryptMgr::SelectAlgo(std::string_view Name) {
  SelectFrom(EncryptAlgoRegistry(), Name, "Encryption algorithm module '%s' not found");
}

void TEncryptMgr::EncodeStream(TStream& Source, TStream& Dest, int64_t Size) {
  TEncryptAlgo& algo = Require();
  try {
    algo.EncodeStream(Source, Dest, Size);
  } catch (...) {
    algo.Done();
    throw;
  }
  algo.Done();
}

void TEncryptMgr::DecodeStream(TStream& Source, TStream& Dest, int64_t Size) {
  TEncryptAlgo& algo = Require();
  try {
    algo.DecodeStream(Source, Dest, Size);
  } catch (...) {
    algo.Done();
    throw;
  }
  algo.Done();
}

void TEncryptMgr::EncodeBuffer(const void* Source, void* Dest, size_t Length) {
  TEncryptAlgo& algo = Require();
  try {
    algo.EncodeBuffer(Source, Dest, Length);
  } catch (...) {
    algo.Done();
    throw;
  }
  algo.Done();
}

void TEncryptMgr::DecodeBuffer(const void* Source, void* Dest, size_t Length) {
  TEncryptAlgo& algo = Require();
  try {
    algo.DecodeBuffer(Source, Dest, Length);
  } catch (...) {
    algo.Done();
    throw;
  }
  algo.Done();
}

void TEncryptMgr::SetMode(uint8_t Mode) {
  if (Mode > kMaxCipherMode)
    DatabaseErrorFmt(ekInvalidValue, "Cipher mode %s is not supported", {std::to_string(Mode)});
  Require().SetMode(Mode);
}

void TEncryptMgr::InitKey(std::string_view Password) { Require().InitKey(Password); }

void TEncryptMgr::Done() { Require().Done(); }

bool TEncryptMgr::CheckPassword(std::string_view Password, std::string_view StoredCheckValue) {
  if (PasswordCheckValue(Password) != StoredCheckValue) return false;
  InitKey(Password);
  return true;
}
