#include "tomedb/algorithms/DataProcess.h"

#include <cmath>

#include "core/errors.h"
#include "tomedb/algorithms/Compress_Zlib.h"
#include "tomedb/algorithms/Enc_Blowfish.h"
#include "tomedb/algorithms/Enc_Gost.h"
#include "tomedb/algorithms/Enc_Twofish.h"

namespace {
bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}
}  // namespace

int ProgressPercent(uint64_t done, uint64_t total) {
  if (total == 0) return 0;
  return static_cast<int>(std::lround(static_cast<double>(done) / static_cast<double>(total) * 100.0));
}

void TAlgoRegistry::Register(std::string_view Name, const TDataProcessAlgoClass& AlgoClass) {
  TLockGuard<TMutex> guard(fLock);
  for (auto& entry : fEntries) {
    if (entry.second == &AlgoClass) {
      entry.first = std::string(Name);
      return;
    }
  }
  fEntries.emplace_back(std::string(Name), &AlgoClass);
}

int TAlgoRegistry::IndexOf(std::string_view Name) const {
  TLockGuard<TMutex> guard(fLock);
  for (size_t i = 0; i < fEntries.size(); ++i)
    if (SameTextAscii(fEntries[i].first, Name)) return static_cast<int>(i);
  return -1;
}

const TDataProcessAlgoClass* TAlgoRegistry::Find(std::string_view Name) const {
  TLockGuard<TMutex> guard(fLock);
  for (const auto& entry : fEntries)
    if (SameTextAscii(entry.first, Name)) return entry.second;
  return nullptr;
}

std::vector<std::string> TAlgoRegistry::Names() const {
  TLockGuard<TMutex> guard(fLock);
  std::vector<std::string> names;
  for (const auto& entry : fEntries) names.push_back(entry.first);
  return names;
}

TAlgoRegistry& CompressAlgoRegistry() {
  static TAlgoRegistry* registry = [] {
    auto* r = new TAlgoRegistry;
    r->Register("ZLIB", TCompAlgo_Zlib::ClassInfo());
    return r;
  }();
  return *registry;
}

TAlgoRegistry& EncryptAlgoRegistry() {
  static TAlgoRegistry* registry = [] {
    auto* r = new TAlgoRegistry;
    r->Register("Blowfish", TEncAlgo_Blowfish::ClassInfo());
    r->Register("Twofish", TEncAlgo_Twofish::ClassInfo());
    r->Register("Gost", TEncAlgo_Gost::ClassInfo());
    return r;
  }();
  return *registry;
}

void RegisterCompressAlgo(std::string_view Name, const TDataProcessAlgoClass& AlgoClass) {
  CompressAlgoRegistry().Register(Name, AlgoClass);
}

void RegisterEncryptAlgo(std::string_view Name, const TDataProcessAlgoClass& AlgoClass) {
  EncryptAlgoRegistry().Register(Name, AlgoClass);
}

void TDataProcessMgr::SelectFrom(const TAlgoRegistry& Registry, std::string_view Name,
                                 std::string_view NotFoundPattern) {
  const TDataProcessAlgoClass* algoClass = Registry.Find(Name);
  if (algoClass == nullptr) DatabaseErrorFmt(ekNotFound, NotFoundPattern, {Name});
  if (fAlgo && &fAlgo->AlgoClass() == algoClass) return;
  fAlgo.reset();
  fAlgo = algoClass->Create(fOwner);
  fAlgo->OnEncodeProgress = [this](TDataProcessAlgo* sender, int percent) {
    if (OnEncodeProgress) OnEncodeProgress(sender, percent);
  };
  fAlgo->OnDecodeProgress = [this](TDataProcessAlgo* sender, int percent) {
    if (OnDecodeProgress) OnDecodeProgress(sender, percent);
  };
}

void TDataProcessMgr::EncodeStream(TStream& Source, TStream& Dest, int64_t Size) {
  RequireAlgo().EncodeStream(Source, Dest, Size);
}

void TDataProcessMgr::DecodeStream(TStream& Source, TStream& Dest, int64_t Size) {
  RequireAlgo().DecodeStream(Source, Dest, Size);
}

TDataProcessAlgo& TDataProcessMgr::RequireAlgo() const {
  if (!fAlgo) DatabaseError(ekGeneral, "General error");
  return *fAlgo;
}
