#pragma once
// Compression of blob values: the compression algorithm base, the "ZLIB"
// algorithm and the compression manager of a database file.
//
// Frame of a compressed value: empty for an empty value; otherwise an int32
// (little-endian) holding the value's length L and the zlib stream of the
// value, or, when that would not be shorter than L + 4 bytes, the int32 −L
// followed by the value itself.
//
// Threading: as every algorithm object, not thread-safe; the database file
// serializes calls (REQUIRES: the file's critical section is held).

#include <cstdint>
#include <vector>

#include "tomedb/algorithms/DataProcess.h"

class TCompressAlgo : public TDataProcessAlgo {
 public:
  using TDataProcessAlgo::TDataProcessAlgo;

  virtual void SetLevel(uint8_t Level) { (void)Level; }
  virtual uint8_t GetLevel() const { return 1; }

  // The frame of `Length` bytes, and the value back from a frame.
  virtual std::vector<uint8_t> CompressBuffer(const uint8_t* Source, size_t Length) = 0;
  virtual std::vector<uint8_t> DecompressBuffer(const uint8_t* Source, size_t Length) = 0;
};

class TCompAlgo_Zlib : public TCompressAlgo {
 public:
  explicit TCompAlgo_Zlib(TTomeDBFileIO* Owner) : TCompressAlgo(Owner) {}
  static const TDataProcessAlgoClass& ClassInfo();
  const TDataProcessAlgoClass& AlgoClass() const override { return ClassInfo(); }

  // Level byte: 0 → zlib level 9, 1 → zlib's default, 2 and 3 → level 1,
  // anything else → level 0 (stored). Default 1.
  void SetLevel(uint8_t Level) override { fLevel = Level; }
  uint8_t GetLevel() const override { return fLevel; }
  static int ZlibLevel(uint8_t Level);

  // Encode progress is round(input consumed by zlib / L × 100) whenever zlib
  // has consumed more; decode progress round(frame bytes consumed / frame
  // length × 100). A damaged frame raises a database error.
  std::vector<uint8_t> CompressBuffer(const uint8_t* Source, size_t Length) override;
  std::vector<uint8_t> DecompressBuffer(const uint8_t* Source, size_t Length) override;

  // The frame of Size bytes of Source written at Dest's position, and back.
  // The whole input is read before anything is written, so Source and Dest
  // may be one stream: the output then replaces the input from where it
  // started, and the stream ends after it.
  void EncodeStream(TStream& Source, TStream& Dest, int64_t Size) override;
  void DecodeStream(TStream& Source, TStream& Dest, int64_t Size) override;

 private:
  uint8_t fLevel = 1;
  size_t fSourceSize = 0;  // size of the current operation's source, for progress
};

// The compression manager of one database file.
class TCompressMgr : public TDataProcessMgr {
 public:
  using TDataProcessMgr::TDataProcessMgr;

  int CheckAlgo(std::string_view Name) const override;
  // "Compression algorithm module '%s' not found" for an unknown name.
  void SelectAlgo(std::string_view Name) override;

  // "General error" when no algorithm is selected.
  std::vector<uint8_t> CompressBuffer(const uint8_t* Source, size_t Length);
  std::vector<uint8_t> DecompressBuffer(const uint8_t* Source, size_t Length);

 private:
  TCompressAlgo& Require() const { return static_cast<TCompressAlgo&>(RequireAlgo()); }
};
