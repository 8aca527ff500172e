#pragma once
// The on-disk layout of a database file: named constants for every position
// and size, the structures as value types with explicit little-endian
// encoding and decoding, the record layout, the recognition of a file and its
// version, and the checks that keep a damaged or hostile file from making the
// engine read or write outside its fixed arrays.
//
// Files are untrusted input. Decoding a structure never fails (it only copies
// bytes into fields); every structure read from a file passes its Check before
// use, and the Read... functions below do both, refusing a damaged file with
// an EDatabaseError that names the file. Decode followed by Encode gives back
// exactly the bytes decoded, including the regions the engine does not
// interpret and the bytes after a name's terminator, so rewriting a structure
// keeps them unchanged.
//
// Every type here is a plain value; the functions keep no state and may be
// called from any thread (a stream passed in is used by the calling thread
// only).

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/fieldtypes.h"

class TStream;

// ------------------------------------------------------------------ layout

// File header at offset 0.
constexpr int32_t kFileHeaderOffset = 0;
constexpr int32_t kFileHeaderSize = 12;
constexpr int32_t kSignatureOffset = 0;
constexpr int32_t kSignatureSize = 7;
constexpr int32_t kVersionOffset = 7;
constexpr int32_t kVersionSize = 5;
constexpr std::string_view kSignatureText = "TomeDB";
constexpr std::string_view kCurrentVersionText = "2.0";
constexpr std::string_view kIncompatibleVersionText = "1.00";

// Region after the header that the engine neither reads nor writes.
constexpr int32_t kUninterpretedRegionOffset = 12;
constexpr int32_t kUninterpretedRegionSize = 2305;

// Data-processing block; positions inside the block.
constexpr int32_t kDataProcessOffset = 2317;
constexpr int32_t kDataProcessSize = 472;
constexpr int32_t kDpCompressFlag = 0;
constexpr int32_t kDpUninterpreted1 = 1;
constexpr int32_t kDpCompressName = 2;
constexpr int32_t kDpEncryptFlag = 35;
constexpr int32_t kDpCipherMode = 36;
constexpr int32_t kDpEncryptName = 37;
constexpr int32_t kDpWriteCheckFlag = 70;
constexpr int32_t kDpUninterpreted71 = 71;
constexpr int32_t kDpUninterpreted71Size = 256;
constexpr int32_t kDpCheckValue = 327;
constexpr int32_t kDpCheckValueSize = 129;
constexpr int32_t kMaxCheckValueLength = 128;
constexpr int32_t kDpUninterpreted456 = 456;
constexpr int32_t kDpUninterpreted456Size = 16;
constexpr uint8_t kDpMaxCipherMode = 4;

// Table directory.
constexpr int32_t kTableDirectoryOffset = 2789;
constexpr int32_t kTableDirectorySize = 1032;
constexpr int32_t kTdCount = 0;
constexpr int32_t kTdUninterpreted = 4;
constexpr int32_t kTdOffsets = 8;
constexpr int32_t kMaxTables = 256;

// Where the structures written after the fixed part begin.
constexpr int32_t kFirstStructureOffset = 3821;

// Name arrays hold up to 33 single-byte characters, 0-terminated when shorter.
constexpr int32_t kNameSize = 33;
// The longest name a writer should create (33 still reads back whole).
constexpr int32_t kMaxNameLength = 32;

// Table header; positions inside the header.
constexpr int32_t kTableHeaderSize = 4821;
constexpr int32_t kThName = 0;
constexpr int32_t kThRecordTabOffset = 33;
constexpr int32_t kThRecordTotal = 37;
constexpr int32_t kThAutoIncCounter = 41;
constexpr int32_t kThFieldCount = 45;
constexpr int32_t kThFieldSlots = 49;
constexpr int32_t kThIndexCount = 4177;
constexpr int32_t kThIndexSlots = 4181;
constexpr int32_t kThUninterpreted = 4805;
constexpr int32_t kThUninterpretedSize = 16;
constexpr int32_t kMaxFields = 96;
constexpr int32_t kMaxIndexes = 8;

// Field slot (43 bytes); positions inside the slot.
constexpr int32_t kFieldSlotSize = 43;
constexpr int32_t kFsName = 0;
constexpr int32_t kFsType = 33;
constexpr int32_t kFsSize = 34;
constexpr int32_t kFsProcessMode = 38;
constexpr int32_t kFsUninterpreted = 39;

// Index slot (78 bytes); positions inside the slot.
constexpr int32_t kIndexSlotSize = 78;
constexpr int32_t kIsName = 0;
constexpr int32_t kIsOptions = 33;
constexpr int32_t kIsFieldNumbers = 34;
constexpr int32_t kIsIndexTabOffset = 66;
constexpr int32_t kIsHeadRecord = 70;
constexpr int32_t kIsUninterpreted = 74;
constexpr int32_t kMaxIndexFields = 8;

// Record tab and index tab blocks.
constexpr int32_t kTabItemsPerBlock = 1024;
constexpr int32_t kRecordTabItemSize = 5;
constexpr int32_t kRecordTabBlockSize = 4 + kTabItemsPerBlock * kRecordTabItemSize;  // 5124
constexpr int32_t kIndexTabItemSize = 8;
constexpr int32_t kIndexTabBlockSize = 4 + kTabItemsPerBlock * kIndexTabItemSize;  // 8196

// Blob descriptor (inside a record) and blob areas.
constexpr int32_t kBlobDescriptorSize = 20;
constexpr int32_t kBlobAreaGranule = 64;

static_assert(kThFieldSlots + kMaxFields * kFieldSlotSize == kThIndexCount);
static_assert(kThIndexSlots + kMaxIndexes * kIndexSlotSize == kThUninterpreted);
static_assert(kThUninterpreted + kThUninterpretedSize == kTableHeaderSize);
static_assert(kDataProcessOffset + kDataProcessSize == kTableDirectoryOffset);
static_assert(kTableDirectoryOffset + kTableDirectorySize == kFirstStructureOffset);
static_assert(kTdOffsets + kMaxTables * 4 == kTableDirectorySize);
static_assert(kDpUninterpreted456 + kDpUninterpreted456Size == kDataProcessSize);

// ------------------------------------------------- little-endian primitives

inline int32_t GetInt32LE(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}
inline void PutInt32LE(uint8_t* p, int32_t value) {
  auto v = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline uint16_t GetUInt16LE(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline void PutUInt16LE(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline int16_t GetInt16LE(const uint8_t* p) { return static_cast<int16_t>(GetUInt16LE(p)); }
inline int64_t GetInt64LE(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return static_cast<int64_t>(v);
}
inline double GetDoubleLE(const uint8_t* p) {
  uint64_t bits = static_cast<uint64_t>(GetInt64LE(p));
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// ------------------------------------------------------------ fixed texts

// A fixed array of single-byte characters, 0-terminated when shorter than the
// array. The raw bytes are kept so that bytes after the terminator survive a
// decode/encode round trip.
template <size_t N>
struct TFixedText {
  std::array<uint8_t, N> bytes{};

  // Everything up to the first 0 byte, or the whole array without one.
  std::string Text() const {
    size_t n = 0;
    while (n < N && bytes[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(bytes.data()), n);
  }
  // Stores `text` followed by 0 bytes up to the end of the array. Raises
  // EDatabaseError when the text is longer than the array or holds a 0 byte.
  void SetText(std::string_view text);
};
using TNameArray = TFixedText<kNameSize>;

// Raises the error SetText gives for a text that does not fit (kept out of
// the template so the header needs no error machinery).
[[noreturn]] void FixedTextTooLong(std::string_view text, size_t capacity);

template <size_t N>
void TFixedText<N>::SetText(std::string_view text) {
  if (text.size() > N || text.find('\0') != std::string_view::npos) FixedTextTooLong(text, N);
  bytes.fill(0);
  std::memcpy(bytes.data(), text.data(), text.size());
}

// --------------------------------------------------------- index options

// Set of TTDIndexOption, stored as one byte in an index slot. Bits the engine
// does not know are kept as read.
enum TTDIndexOptions : uint8_t {
  tiNone = 0,
  tiPrimary = 0x01,
  tiUnique = 0x02,
  tiDescending = 0x04,
  tiCaseInsensitive = 0x08,
};
constexpr TTDIndexOptions operator|(TTDIndexOptions a, TTDIndexOptions b) {
  return static_cast<TTDIndexOptions>(static_cast<uint8_t>(a) | static_cast<uint8_t>(b));
}
constexpr TTDIndexOptions operator&(TTDIndexOptions a, TTDIndexOptions b) {
  return static_cast<TTDIndexOptions>(static_cast<uint8_t>(a) & static_cast<uint8_t>(b));
}
constexpr TTDIndexOptions operator~(TTDIndexOptions a) {
  return static_cast<TTDIndexOptions>(static_cast<uint8_t>(~static_cast<uint8_t>(a)));
}
constexpr TTDIndexOptions& operator|=(TTDIndexOptions& a, TTDIndexOptions b) { return a = a | b; }
constexpr TTDIndexOptions& operator&=(TTDIndexOptions& a, TTDIndexOptions b) { return a = a & b; }
// True when every option of `wanted` is in `options`.
constexpr bool HasOptions(TTDIndexOptions options, TTDIndexOptions wanted) { return (options & wanted) == wanted; }

// ------------------------------------------------------------- structures

struct TFileHeader {
  TFixedText<kSignatureSize> signature;
  TFixedText<kVersionSize> version;

  static TFileHeader Decode(const uint8_t* bytes);  // kFileHeaderSize bytes
  void EncodeTo(uint8_t* bytes) const;
  // A header with the signature and the current version.
  static TFileHeader Current();
};

struct TDataProcessBlock {
  // Boolean bytes are kept as read (any non-zero value is true), so a true
  // stored as a value other than 1 is written back unchanged.
  uint8_t compressFlag = 0;
  uint8_t uninterpreted1 = 0;
  TNameArray compressAlgoName;
  uint8_t encryptFlag = 0;
  uint8_t cipherMode = 0;
  TNameArray encryptAlgoName;
  uint8_t writeCheckFlag = 0;
  std::array<uint8_t, kDpUninterpreted71Size> uninterpreted71{};
  TFixedText<kDpCheckValueSize> checkValue;
  std::array<uint8_t, kDpUninterpreted456Size> uninterpreted456{};

  bool Compressed() const { return compressFlag != 0; }
  bool Encrypted() const { return encryptFlag != 0; }
  bool WriteCheck() const { return writeCheckFlag != 0; }

  static TDataProcessBlock Decode(const uint8_t* bytes);  // kDataProcessSize bytes
  void EncodeTo(uint8_t* bytes) const;
  // Refuses a cipher mode above 4 when the encryption flag is set, and a
  // check value longer than 128 characters.
  void Check(const std::string& fileName) const;
};

struct TTableDirectory {
  int32_t tableCount = 0;
  std::array<uint8_t, 4> uninterpreted{};
  std::array<int32_t, kMaxTables> tableOffsets{};

  static TTableDirectory Decode(const uint8_t* bytes);  // kTableDirectorySize bytes
  void EncodeTo(uint8_t* bytes) const;
  // Refuses a table count outside 0..256 and a used table offset whose
  // header would lie outside the file.
  void Check(const std::string& fileName, int64_t fileSize) const;
};

struct TFieldSlot {
  TNameArray name;
  uint8_t fieldType = ftUnknown;
  int32_t declaredSize = 0;
  uint8_t processMode = 0;
  std::array<uint8_t, 4> uninterpreted{};

  static TFieldSlot Decode(const uint8_t* bytes);  // kFieldSlotSize bytes
  void EncodeTo(uint8_t* bytes) const;
  // ProcessMode 0: stored encrypted (and compressed, for a blob) whenever the
  // database's flags say so.
  bool AlwaysPlain() const { return processMode != 0; }
};

struct TIndexSlot {
  TNameArray name;
  TTDIndexOptions options = tiNone;
  std::array<int32_t, kMaxIndexFields> fieldNumbers{-1, -1, -1, -1, -1, -1, -1, -1};
  int32_t indexTabOffset = 0;
  int32_t headRecord = 0;
  std::array<uint8_t, 4> uninterpreted{};

  static TIndexSlot Decode(const uint8_t* bytes);  // kIndexSlotSize bytes
  void EncodeTo(uint8_t* bytes) const;
  // The key field numbers in key order: up to the first -1, at most 8.
  std::vector<int32_t> KeyFields() const;
  // Stores the key fields, ending the list with -1 when shorter than 8.
  // Raises EDatabaseError for more than 8.
  void SetKeyFields(const std::vector<int32_t>& fields);
};

struct TTableHeader {
  TNameArray tableName;
  int32_t recordTabOffset = 0;
  int32_t recordTotal = 0;
  int32_t autoIncCounter = 0;
  int32_t fieldCount = 0;
  std::array<TFieldSlot, kMaxFields> fields{};
  int32_t indexCount = 0;
  std::array<TIndexSlot, kMaxIndexes> indexes{};
  std::array<uint8_t, kThUninterpretedSize> uninterpreted{};

  static TTableHeader Decode(const uint8_t* bytes);  // kTableHeaderSize bytes
  void EncodeTo(uint8_t* bytes) const;
  std::vector<uint8_t> Encode() const;
  // Refuses: field count outside 0..96, index count outside 0..8, a negative
  // record total, a string field with a negative declared size, a key field
  // number that names no field, and (for a table holding records) a record
  // tab or index tab offset outside the file. Unknown field types are left to
  // the record layout ("General error").
  void Check(const std::string& fileName, int64_t fileSize) const;
};

struct TRecordTabItem {
  int32_t recordDataOffset = 0;
  uint8_t deleteMark = 0;  // 0 live, 1 deleted

  static TRecordTabItem Decode(const uint8_t* bytes);  // kRecordTabItemSize bytes
  void EncodeTo(uint8_t* bytes) const;
  bool Deleted() const { return deleteMark != 0; }
};

struct TIndexTabItem {
  int32_t recordNumber = 0;
  int32_t nextRecord = 0;  // -1 at the end of the key order; 0 in a new block

  static TIndexTabItem Decode(const uint8_t* bytes);  // kIndexTabItemSize bytes
  void EncodeTo(uint8_t* bytes) const;
};

// A record tab or index tab block: the next block offset and 1024 items.
struct TRecordTabBlock {
  int32_t nextBlockOffset = 0;
  std::array<TRecordTabItem, kTabItemsPerBlock> items{};

  static TRecordTabBlock Decode(const uint8_t* bytes);  // kRecordTabBlockSize bytes
  void EncodeTo(uint8_t* bytes) const;
};

struct TIndexTabBlock {
  int32_t nextBlockOffset = 0;
  std::array<TIndexTabItem, kTabItemsPerBlock> items{};

  static TIndexTabBlock Decode(const uint8_t* bytes);  // kIndexTabBlockSize bytes
  void EncodeTo(uint8_t* bytes) const;
};

struct TBlobDescriptor {
  int32_t dataOffset = 0;
  int32_t storedLength = 0;
  int32_t areaSize = 0;
  int32_t reserved1 = 0;
  int32_t reserved2 = 0;

  static TBlobDescriptor Decode(const uint8_t* bytes);  // kBlobDescriptorSize bytes
  void EncodeTo(uint8_t* bytes) const;
  // Refuses a negative length, a length beyond the area, or an area outside
  // the file.
  void Check(const std::string& fileName, int64_t fileSize) const;
};

// The area reserved for a newly written blob value of `storedLength` bytes:
// the next multiple of 64 strictly above the length.
constexpr int32_t BlobAreaSize(int32_t storedLength) {
  return storedLength - storedLength % kBlobAreaGranule + kBlobAreaGranule;
}

// ------------------------------------------------ field types and records

// Bytes a field of this type occupies in a record data block; -1 for a type
// code outside the engine's table of field types.
int32_t FieldStoredSize(int fieldType, int32_t declaredSize);
bool IsKnownFieldType(int fieldType);
// ftString and ftFixedChar: declared size + 1 bytes, 0-terminated text.
constexpr bool IsStringFieldType(int fieldType) { return fieldType == ftString || fieldType == ftFixedChar; }

struct TRecordLayout {
  std::vector<int32_t> fieldOffsets;  // one per field, in field-number order
  int32_t recordSize = 0;
};

// The record layout of the first `fieldCount` slots, read from a file. Raises
// EDatabaseError "General error" of kind ekDamagedFile for an unknown type
// code, and a damaged-file error naming `fileName` when the record would not
// fit the 32-bit offsets of a file.
TRecordLayout ComputeRecordLayout(const TFieldSlot* fields, int32_t fieldCount, const std::string& fileName);
TRecordLayout ComputeRecordLayout(const TTableHeader& header, const std::string& fileName);

// ------------------------------------------------- recognition and version

enum class TVersionVerdict { Accepted, NotCompatible, TooHigh };
// "1.00" is not compatible; a text ordering after "2.0" byte by byte is too
// high; everything else is accepted.
TVersionVerdict JudgeVersion(std::string_view version);
bool HasDatabaseSignature(const TFileHeader& header);
// Raises "Database file '%s' is a invalid TomeDB", "Version 1.00 is not
// compatible" or "Version of database file is too High".
void CheckFileHeader(const TFileHeader& header, const std::string& fileName);

// --------------------------------------------- reading from an open file

// Raises the damaged-file error "Database file '%s' is damaged: %s".
[[noreturn]] void DamagedFile(const std::string& fileName, std::string_view detail);
// Refuses `size` bytes at `offset` unless they lie inside the file and after
// the fixed part (offset >= 3821); `what` names the structure in the message.
void CheckStructureRange(int64_t offset, int64_t size, int64_t fileSize, std::string_view what,
                         const std::string& fileName);

// Each reads at an absolute position of `stream`, decodes and checks.
TFileHeader ReadFileHeader(TStream& stream, const std::string& fileName);  // also CheckFileHeader
TDataProcessBlock ReadDataProcessBlock(TStream& stream, const std::string& fileName);
TTableDirectory ReadTableDirectory(TStream& stream, const std::string& fileName);
TTableHeader ReadTableHeader(TStream& stream, int32_t offset, const std::string& fileName);

// A table's record tab: N items and the positions of its blocks.
struct TRecordTab {
  std::vector<TRecordTabItem> items;
  std::vector<int32_t> blockPositions;
  // The last record (number recordTotal - 1) is not wholly in the file: its
  // data block lies past the end. An append that stopped part-way leaves
  // this state; `items` then holds recordTotal - 1 items and
  // `blockPositions` only the blocks they need.
  bool lastRecordTorn = false;
};
struct TIndexTab {
  std::vector<TIndexTabItem> items;
  std::vector<int32_t> blockPositions;
  // The chain ends before the block that would hold only the last record
  // (an append stopped before it linked that block); `items` then holds
  // recordTotal - 1 items.
  bool lastBlockMissing = false;
};

// Reads `recordTotal` items of the chain at `firstBlock`. Every block must lie
// inside the file and no two blocks may overlap; live records' data blocks of
// `recordSize` bytes must lie inside the file, except that the last record
// may be torn (see TRecordTab). A chain needs ceil(recordTotal / 1024) whole
// blocks, so a total the file cannot hold is refused before anything is
// read: memory stays within a small multiple of the file's size.
TRecordTab ReadRecordTab(TStream& stream, int32_t firstBlock, int32_t recordTotal, int32_t recordSize,
                         const std::string& fileName);
// Same for an index tab; an index tab offset of 0 gives no items. The block
// that would hold only the last record may be missing (see TIndexTab).
TIndexTab ReadIndexTab(TStream& stream, int32_t firstBlock, int32_t recordTotal, const std::string& fileName);
// The live record numbers in key order: from `headRecord`, at most N steps,
// skipping deleted records. A next number outside -1..N-1 or a record met
// twice is refused as damage.
std::vector<int32_t> WalkKeyOrder(const TIndexTab& indexTab, int32_t headRecord, const TRecordTab& recordTab,
                                  const std::string& fileName);

// Position of the item of record `n` given the tab's block positions.
// REQUIRES: n / 1024 < blockPositions.size().
inline int64_t RecordTabItemPosition(const std::vector<int32_t>& blockPositions, int32_t n) {
  return static_cast<int64_t>(blockPositions[static_cast<size_t>(n / kTabItemsPerBlock)]) + 4 +
         static_cast<int64_t>(n % kTabItemsPerBlock) * kRecordTabItemSize;
}
inline int64_t IndexTabItemPosition(const std::vector<int32_t>& blockPositions, int32_t n) {
  return static_cast<int64_t>(blockPositions[static_cast<size_t>(n / kTabItemsPerBlock)]) + 4 +
         static_cast<int64_t>(n % kTabItemsPerBlock) * kIndexTabItemSize;
}
