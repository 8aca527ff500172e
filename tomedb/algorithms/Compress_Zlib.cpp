#include "tomedb/algorithms/Compress_Zlib.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/errors.h"

namespace {

constexpr size_t kChunk = 4096;

void PutInt32LE(uint8_t* p, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

int32_t GetInt32LE(const uint8_t* p) {
  const uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
  return static_cast<int32_t>(v);
}

[[noreturn]] void DamagedFrame() { DatabaseError(ekDamagedFile, "Compressed value is damaged"); }

}  // namespace

int TCompAlgo_Zlib::ZlibLevel(uint8_t Level) {
  switch (Level) {
    case 0: return Z_BEST_COMPRESSION;
    case 1: return Z_DEFAULT_COMPRESSION;
    case 2:
    case 3: return Z_BEST_SPEED;
    default: return Z_NO_COMPRESSION;
  }
}

std::vector<uint8_t> TCompAlgo_Zlib::CompressBuffer(const uint8_t* Source, size_t Length) {
  std::vector<uint8_t> out;
  if (Length == 0) return out;
  if (Length > static_cast<size_t>(INT32_MAX)) DatabaseError(ekInvalidValue, "Value is too large to compress");
  fSourceSize = Length;

  z_stream zs{};
  if (deflateInit(&zs, ZlibLevel(fLevel)) != Z_OK) DatabaseError(ekGeneral, "Compression failed");
  out.resize(4);
  PutInt32LE(out.data(), static_cast<int32_t>(Length));
  zs.next_in = const_cast<Bytef*>(Source);
  zs.avail_in = static_cast<uInt>(Length);
  uLong reported = 0;
  int rc = Z_OK;
  // Stop as soon as the stream reaches L + 4 bytes: it cannot win any more.
  while (rc != Z_STREAM_END && out.size() < Length + 4) {
    const size_t start = out.size();
    out.resize(start + kChunk);
    zs.next_out = out.data() + start;
    zs.avail_out = static_cast<uInt>(kChunk);
    rc = deflate(&zs, Z_FINISH);
    out.resize(start + kChunk - zs.avail_out);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
      deflateEnd(&zs);
      DatabaseError(ekGeneral, "Compression failed");
    }
    if (zs.total_in > reported) {
      reported = zs.total_in;
      DoEncodeProgress(ProgressPercent(reported, fSourceSize));
    }
  }
  deflateEnd(&zs);
  if (rc != Z_STREAM_END || out.size() >= Length + 4) {
    out.resize(4 + Length);
    PutInt32LE(out.data(), -static_cast<int32_t>(Length));
    std::memcpy(out.data() + 4, Source, Length);
  }
  return out;
}

std::vector<uint8_t> TCompAlgo_Zlib::DecompressBuffer(const uint8_t* Source, size_t Length) {
  std::vector<uint8_t> out;
  if (Length == 0) return out;
  if (Length < 4) DamagedFrame();
  fSourceSize = Length;
  const int32_t stored = GetInt32LE(Source);
  if (stored < 0) {
    out.assign(Source + 4, Source + Length);
    return out;
  }
  const size_t expected = static_cast<size_t>(stored);
  if (Length - 4 > UINT_MAX) DamagedFrame();

  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) DatabaseError(ekDamagedFile, "Decompression failed");
  zs.next_in = const_cast<Bytef*>(Source + 4);
  zs.avail_in = static_cast<uInt>(Length - 4);
  uLong reported = 0;
  // The output grows as inflate produces it, never beyond the stored length,
  // so a damaged length cannot make us reserve memory the data does not fill.
  while (out.size() < expected) {
    const size_t start = out.size();
    const size_t take = std::min(kChunk * 16, expected - start);
    out.resize(start + take);
    zs.next_out = out.data() + start;
    zs.avail_out = static_cast<uInt>(take);
    const int rc = inflate(&zs, Z_NO_FLUSH);
    out.resize(start + take - zs.avail_out);
    if (zs.total_in > reported) {
      reported = zs.total_in;
      DoDecodeProgress(ProgressPercent(reported + 4, Length));
    }
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK) {
      inflateEnd(&zs);
      DamagedFrame();
    }
  }
  inflateEnd(&zs);
  if (out.size() != expected) DamagedFrame();
  return out;
}

namespace {

// Reads Size bytes (negative: the whole stream from its start) and remembers
// where they began.
std::vector<uint8_t> ReadInput(TStream& Source, int64_t Size, int64_t& start) {
  if (Size < 0) {
    Source.Seek(0, soBeginning);
    Size = Source.Size();
  }
  start = Source.Position();
  const int64_t available = std::max<int64_t>(0, Source.Size() - start);
  std::vector<uint8_t> input(static_cast<size_t>(std::min(Size, available)));
  Source.ReadBuffer(input.data(), static_cast<int64_t>(input.size()));
  return input;
}

void WriteOutput(TStream& Source, TStream& Dest, int64_t sourceStart, const std::vector<uint8_t>& output) {
  if (&Source == &Dest) {
    Dest.Seek(sourceStart, soBeginning);
    Dest.WriteBuffer(output.data(), static_cast<int64_t>(output.size()));
    Dest.SetSize(sourceStart + static_cast<int64_t>(output.size()));
    return;
  }
  Dest.WriteBuffer(output.data(), static_cast<int64_t>(output.size()));
}

}  // namespace

void TCompAlgo_Zlib::EncodeStream(TStream& Source, TStream& Dest, int64_t Size) {
  int64_t start = 0;
  std::vector<uint8_t> input = ReadInput(Source, Size, start);
  WriteOutput(Source, Dest, start, CompressBuffer(input.data(), input.size()));
}

void TCompAlgo_Zlib::DecodeStream(TStream& Source, TStream& Dest, int64_t Size) {
  int64_t start = 0;
  std::vector<uint8_t> input = ReadInput(Source, Size, start);
  WriteOutput(Source, Dest, start, DecompressBuffer(input.data(), input.size()));
}

const TDataProcessAlgoClass& TCompAlgo_Zlib::ClassInfo() {
  static const TDataProcessAlgoClass info{
      "TCompAlgo_Zlib",
      [](TTomeDBFileIO* owner) -> std::unique_ptr<TDataProcessAlgo> { return std::make_unique<TCompAlgo_Zlib>(owner); }};
  return info;
}

int TCompressMgr::CheckAlgo(std::string_view Name) const { return CompressAlgoRegistry().IndexOf(Name); }

void TCompressMgr::SelectAlgo(std::string_view Name) {
  SelectFrom(CompressAlgoRegistry(), Name, "Compression algorithm module '%s' not found");
}

std::vector<uint8_t> TCompressMgr::CompressBuffer(const uint8_t* Source, size_t Length) {
  return Require().CompressBuffer(Source, Length);
}

std::vector<uint8_t> TCompressMgr::DecompressBuffer(const uint8_t* Source, size_t Length) {
  return Require().DecompressBuffer(Source, Length);
}
