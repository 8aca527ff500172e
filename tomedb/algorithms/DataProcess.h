#pragma once
// The data-processing framework of a database file: the algorithm base class,
// the process-wide registries that map the algorithm names stored in a file to
// algorithm classes, and the manager base through which the database file
// object runs every compression and encryption.
//
// Ownership: a manager owns at most one algorithm object; an algorithm object
// only refers to its owner (the database file object), never owns it.
// Threading: the registries are filled at start-up and guarded by their own
// lock, so lookups are safe from any thread. Managers and algorithm objects
// are not thread-safe; their owner serializes every call (REQUIRES: the
// database file's critical section is held).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/streams.h"
#include "core/sync.h"

class TTomeDBFileIO;
class TDataProcessAlgo;

// Progress of an encode or decode operation, in percent.
using TOnProgressEvent = std::function<void(TDataProcessAlgo* Sender, int Percent)>;

// What a registry entry refers to: an algorithm class, by its name and its
// virtual constructor. Each algorithm class has exactly one such descriptor,
// so descriptors compare by address.
struct TDataProcessAlgoClass {
  const char* ClassName;
  std::unique_ptr<TDataProcessAlgo> (*Create)(TTomeDBFileIO* Owner);
};

class TDataProcessAlgo {
 public:
  explicit TDataProcessAlgo(TTomeDBFileIO* Owner) : fOwner(Owner) {}
  virtual ~TDataProcessAlgo() = default;
  TDataProcessAlgo(const TDataProcessAlgo&) = delete;
  TDataProcessAlgo& operator=(const TDataProcessAlgo&) = delete;

  // The class descriptor this object was made from.
  virtual const TDataProcessAlgoClass& AlgoClass() const = 0;

  TTomeDBFileIO* Owner() const { return fOwner; }

  // Encode or decode `Size` bytes of Source, from its current position, into
  // Dest at its current position. A negative Size means the whole of Source,
  // read from its start.
  virtual void EncodeStream(TStream& Source, TStream& Dest, int64_t Size) = 0;
  virtual void DecodeStream(TStream& Source, TStream& Dest, int64_t Size) = 0;

  TOnProgressEvent OnEncodeProgress;
  TOnProgressEvent OnDecodeProgress;

 protected:
  void DoEncodeProgress(int Percent) {
    if (OnEncodeProgress) OnEncodeProgress(this, Percent);
  }
  void DoDecodeProgress(int Percent) {
    if (OnDecodeProgress) OnDecodeProgress(this, Percent);
  }

 private:
  TTomeDBFileIO* fOwner;
};

// round(done / total * 100), 0 when total is 0.
int ProgressPercent(uint64_t done, uint64_t total);

// A list of (name, algorithm class). Registering a class that is already
// listed replaces its name; a new class is appended. Name lookup ignores the
// letter case (ASCII).
class TAlgoRegistry {
 public:
  void Register(std::string_view Name, const TDataProcessAlgoClass& AlgoClass);
  // Position of the first entry with this name, −1 when there is none.
  int IndexOf(std::string_view Name) const;
  // The class registered under this name, nullptr when there is none.
  const TDataProcessAlgoClass* Find(std::string_view Name) const;
  std::vector<std::string> Names() const;

 private:
  mutable TMutex fLock;
  // State below is protected by fLock.
  std::vector<std::pair<std::string, const TDataProcessAlgoClass*>> fEntries GUARDED_BY(fLock);
};

// The two process-wide registries, filled with the built-in algorithms
// ("ZLIB"; "Blowfish", "Twofish", "Gost") on first use.
TAlgoRegistry& CompressAlgoRegistry();
TAlgoRegistry& EncryptAlgoRegistry();
void RegisterCompressAlgo(std::string_view Name, const TDataProcessAlgoClass& AlgoClass);
void RegisterEncryptAlgo(std::string_view Name, const TDataProcessAlgoClass& AlgoClass);

// Base of the compression and encryption managers an open database file owns.
// It holds at most one algorithm object and forwards the algorithm's progress
// to its own two events (the database connects its progress events there).
class TDataProcessMgr {
 public:
  explicit TDataProcessMgr(TTomeDBFileIO* Owner) : fOwner(Owner) {}
  virtual ~TDataProcessMgr() = default;
  TDataProcessMgr(const TDataProcessMgr&) = delete;
  TDataProcessMgr& operator=(const TDataProcessMgr&) = delete;

  // Position of the name in this manager's registry, −1 when absent.
  virtual int CheckAlgo(std::string_view Name) const { (void)Name; return -1; }
  // Selects the algorithm registered under the name. The object held is kept
  // when it is already of that class (with its settings), otherwise replaced.
  virtual void SelectAlgo(std::string_view Name) = 0;

  // Forward to the algorithm; "General error" when none is selected.
  virtual void EncodeStream(TStream& Source, TStream& Dest, int64_t Size);
  virtual void DecodeStream(TStream& Source, TStream& Dest, int64_t Size);

  // The algorithm object held, nullptr before a selection.
  TDataProcessAlgo* Algo() const { return fAlgo.get(); }
  TTomeDBFileIO* Owner() const { return fOwner; }

  TOnProgressEvent OnEncodeProgress;
  TOnProgressEvent OnDecodeProgress;

 protected:
  // Selection shared by both managers; `notFoundPattern` holds one "%s".
  void SelectFrom(const TAlgoRegistry& Registry, std::string_view Name, std::string_view NotFoundPattern);
  // The algorithm object; "General error" when none is held.
  TDataProcessAlgo& RequireAlgo() const;

 private:
  TTomeDBFileIO* fOwner;
  std::unique_ptr<TDataProcessAlgo> fAlgo;
};
