#include "tomedb/format.h"

#include <algorithm>
#include <climits>

#include "core/errors.h"
#include "core/streams.h"

namespace {

std::string Num(int64_t v) { return std::to_string(v); }

template <size_t N>
void CopyIn(TFixedText<N>& text, const uint8_t* p) {
  std::memcpy(text.bytes.data(), p, N);
}
template <size_t N>
void CopyOut(const TFixedText<N>& text, uint8_t* p) {
  std::memcpy(p, text.bytes.data(), N);
}
template <size_t N>
void CopyIn(std::array<uint8_t, N>& bytes, const uint8_t* p) {
  std::memcpy(bytes.data(), p, N);
}
template <size_t N>
void CopyOut(const std::array<uint8_t, N>& bytes, uint8_t* p) {
  std::memcpy(p, bytes.data(), N);
}

// Reads `size` bytes at `offset` after making sure they lie inside the file.
void ReadRange(TStream& stream, int64_t offset, int32_t size, uint8_t* out, int64_t fileSize,
               std::string_view what, const std::string& fileName) {
  if (offset < 0 || offset + size > fileSize)
    DamagedFile(fileName, FormatMessage("the %s at offset %s lies outside the file", {what, Num(offset)}));
  stream.SetPosition(offset);
  stream.ReadBuffer(out, size);
}

}  // namespace

void FixedTextTooLong(std::string_view text, size_t capacity) {
  DatabaseErrorFmt(ekInvalidValue, "The text '%s' does not fit into a %s-byte field",
                   {text, Num(static_cast<int64_t>(capacity))});
}

void DamagedFile(const std::string& fileName, std::string_view detail) {
  DatabaseErrorFmt(ekDamagedFile, "Database file '%s' is damaged: %s", {fileName, detail});
}

void CheckStructureRange(int64_t offset, int64_t size, int64_t fileSize, std::string_view what,
                         const std::string& fileName) {
  if (offset < kFirstStructureOffset || size < 0 || offset + size > fileSize)
    DamagedFile(fileName, FormatMessage("the %s at offset %s lies outside the file", {what, Num(offset)}));
}

// ------------------------------------------------------------- file header

TFileHeader TFileHeader::Decode(const uint8_t* bytes) {
  TFileHeader h;
  CopyIn(h.signature, bytes + kSignatureOffset);
  CopyIn(h.version, bytes + kVersionOffset);
  return h;
}

void TFileHeader::EncodeTo(uint8_t* bytes) const {
  CopyOut(signature, bytes + kSignatureOffset);
  CopyOut(version, bytes + kVersionOffset);
}

TFileHeader TFileHeader::Current() {
  TFileHeader h;
  h.signature.SetText(kSignatureText);
  h.version.SetText(kCurrentVersionText);
  return h;
}

TVersionVerdict JudgeVersion(std::string_view version) {
  if (version == kIncompatibleVersionText) return TVersionVerdict::NotCompatible;
  // std::char_traits<char> compares bytes as unsigned values, as the rule wants.
  if (version.compare(kCurrentVersionText) > 0) return TVersionVerdict::TooHigh;
  return TVersionVerdict::Accepted;
}

bool HasDatabaseSignature(const TFileHeader& header) { return header.signature.Text() == kSignatureText; }

void CheckFileHeader(const TFileHeader& header, const std::string& fileName) {
  if (!HasDatabaseSignature(header))
    DatabaseErrorFmt(ekNotADatabase, "Database file '%s' is a invalid TomeDB", {fileName});
  switch (JudgeVersion(header.version.Text())) {
    case TVersionVerdict::NotCompatible: DatabaseError(ekNotADatabase, "Version 1.00 is not compatible");
    case TVersionVerdict::TooHigh: DatabaseError(ekNotADatabase, "Version of database file is too High");
    case TVersionVerdict::Accepted:
      break;
  }
}

// ---------------------------------------------------- data-processing block

TDataProcessBlock TDataProcessBlock::Decode(const uint8_t* bytes) {
  TDataProcessBlock b;
  b.compressFlag = bytes[kDpCompressFlag];
  b.uninterpreted1 = bytes[kDpUninterpreted1];
  CopyIn(b.compressAlgoName, bytes + kDpCompressName);
  b.encryptFlag = bytes[kDpEncryptFlag];
  b.cipherMode = bytes[kDpCipherMode];
  CopyIn(b.encryptAlgoName, bytes + kDpEncryptName);
  b.writeCheckFlag = bytes[kDpWriteCheckFlag];
  CopyIn(b.uninterpreted71, bytes + kDpUninterpreted71);
  CopyIn(b.checkValue, bytes + kDpCheckValue);
  CopyIn(b.uninterpreted456, bytes + kDpUninterpreted456);
  return b;
}

void TDataProcessBlock::EncodeTo(uint8_t* bytes) const {
  bytes[kDpCompressFlag] = compressFlag;
  bytes[kDpUninterpreted1] = uninterpreted1;
  CopyOut(compressAlgoName, bytes + kDpCompressName);
  bytes[kDpEncryptFlag] = encryptFlag;
  bytes[kDpCipherMode] = cipherMode;
  CopyOut(encryptAlgoName, bytes + kDpEncryptName);
  bytes[kDpWriteCheckFlag] = writeCheckFlag;
  CopyOut(uninterpreted71, bytes + kDpUninterpreted71);
  CopyOut(checkValue, bytes + kDpCheckValue);
  CopyOut(uninterpreted456, bytes + kDpUninterpreted456);
}

void TDataProcessBlock::Check(const std::string& fileName) const {
  if (Encrypted() && cipherMode > kDpMaxCipherMode)
    DamagedFile(fileName, FormatMessage("cipher mode %s is outside 0 to 4", {Num(cipherMode)}));
  if (checkValue.Text().size() > static_cast<size_t>(kMaxCheckValueLength))
    DamagedFile(fileName, "the password check value has no terminator");
}

// ---------------------------------------------------------- table directory

TTableDirectory TTableDirectory::Decode(const uint8_t* bytes) {
  TTableDirectory d;
  d.tableCount = GetInt32LE(bytes + kTdCount);
  CopyIn(d.uninterpreted, bytes + kTdUninterpreted);
  for (int i = 0; i < kMaxTables; ++i) d.tableOffsets[i] = GetInt32LE(bytes + kTdOffsets + 4 * i);
  return d;
}

void TTableDirectory::EncodeTo(uint8_t* bytes) const {
  PutInt32LE(bytes + kTdCount, tableCount);
  CopyOut(uninterpreted, bytes + kTdUninterpreted);
  for (int i = 0; i < kMaxTables; ++i) PutInt32LE(bytes + kTdOffsets + 4 * i, tableOffsets[i]);
}

void TTableDirectory::Check(const std::string& fileName, int64_t fileSize) const {
  if (tableCount < 0 || tableCount > kMaxTables)
    DamagedFile(fileName, FormatMessage("table count %s is outside 0 to 256", {Num(tableCount)}));
  for (int i = 0; i < tableCount; ++i) {
    CheckStructureRange(tableOffsets[i], kTableHeaderSize, fileSize, "header of table " + Num(i), fileName);
    for (int j = 0; j < i; ++j)
      if (tableOffsets[j] == tableOffsets[i])
        DamagedFile(fileName, FormatMessage("tables %s and %s share one header", {Num(j), Num(i)}));
  }
}

// ---------------------------------------------------------------- slots

TFieldSlot TFieldSlot::Decode(const uint8_t* bytes) {
  TFieldSlot f;
  CopyIn(f.name, bytes + kFsName);
  f.fieldType = bytes[kFsType];
  f.declaredSize = GetInt32LE(bytes + kFsSize);
  f.processMode = bytes[kFsProcessMode];
  CopyIn(f.uninterpreted, bytes + kFsUninterpreted);
  return f;
}

void TFieldSlot::EncodeTo(uint8_t* bytes) const {
  CopyOut(name, bytes + kFsName);
  bytes[kFsType] = fieldType;
  PutInt32LE(bytes + kFsSize, declaredSize);
  bytes[kFsProcessMode] = processMode;
  CopyOut(uninterpreted, bytes + kFsUninterpreted);
}

TIndexSlot TIndexSlot::Decode(const uint8_t* bytes) {
  TIndexSlot x;
  CopyIn(x.name, bytes + kIsName);
  x.options = static_cast<TTDIndexOptions>(bytes[kIsOptions]);
  for (int i = 0; i < kMaxIndexFields; ++i) x.fieldNumbers[i] = GetInt32LE(bytes + kIsFieldNumbers + 4 * i);
  x.indexTabOffset = GetInt32LE(bytes + kIsIndexTabOffset);
  x.headRecord = GetInt32LE(bytes + kIsHeadRecord);
  CopyIn(x.uninterpreted, bytes + kIsUninterpreted);
  return x;
}

void TIndexSlot::EncodeTo(uint8_t* bytes) const {
  CopyOut(name, bytes + kIsName);
  bytes[kIsOptions] = static_cast<uint8_t>(options);
  for (int i = 0; i < kMaxIndexFields; ++i) PutInt32LE(bytes + kIsFieldNumbers + 4 * i, fieldNumbers[i]);
  PutInt32LE(bytes + kIsIndexTabOffset, indexTabOffset);
  PutInt32LE(bytes + kIsHeadRecord, headRecord);
  CopyOut(uninterpreted, bytes + kIsUninterpreted);
}

std::vector<int32_t> TIndexSlot::KeyFields() const {
  std::vector<int32_t> keys;
  for (int32_t n : fieldNumbers) {
    if (n == -1) break;
    keys.push_back(n);
  }
  return keys;
}

void TIndexSlot::SetKeyFields(const std::vector<int32_t>& fields) {
  if (fields.size() > static_cast<size_t>(kMaxIndexFields))
    DatabaseErrorFmt(ekInvalidValue, "Index '%s' has %s key fields; an index has at most 8",
                     {name.Text(), Num(static_cast<int64_t>(fields.size()))});
  fieldNumbers.fill(-1);
  std::copy(fields.begin(), fields.end(), fieldNumbers.begin());
}

// ----------------------------------------------------------- table header

TTableHeader TTableHeader::Decode(const uint8_t* bytes) {
  TTableHeader t;
  CopyIn(t.tableName, bytes + kThName);
  t.recordTabOffset = GetInt32LE(bytes + kThRecordTabOffset);
  t.recordTotal = GetInt32LE(bytes + kThRecordTotal);
  t.autoIncCounter = GetInt32LE(bytes + kThAutoIncCounter);
  t.fieldCount = GetInt32LE(bytes + kThFieldCount);
  for (int k = 0; k < kMaxFields; ++k) t.fields[k] = TFieldSlot::Decode(bytes + kThFieldSlots + k * kFieldSlotSize);
  t.indexCount = GetInt32LE(bytes + kThIndexCount);
  for (int j = 0; j < kMaxIndexes; ++j)
    t.indexes[j] = TIndexSlot::Decode(bytes + kThIndexSlots + j * kIndexSlotSize);
  CopyIn(t.uninterpreted, bytes + kThUninterpreted);
  return t;
}

void TTableHeader::EncodeTo(uint8_t* bytes) const {
  CopyOut(tableName, bytes + kThName);
  PutInt32LE(bytes + kThRecordTabOffset, recordTabOffset);
  PutInt32LE(bytes + kThRecordTotal, recordTotal);
  PutInt32LE(bytes + kThAutoIncCounter, autoIncCounter);
  PutInt32LE(bytes + kThFieldCount, fieldCount);
  for (int k = 0; k < kMaxFields; ++k) fields[k].EncodeTo(bytes + kThFieldSlots + k * kFieldSlotSize);
  PutInt32LE(bytes + kThIndexCount, indexCount);
  for (int j = 0; j < kMaxIndexes; ++j) indexes[j].EncodeTo(bytes + kThIndexSlots + j * kIndexSlotSize);
  CopyOut(uninterpreted, bytes + kThUninterpreted);
}

std::vector<uint8_t> TTableHeader::Encode() const {
  std::vector<uint8_t> bytes(kTableHeaderSize);
  EncodeTo(bytes.data());
  return bytes;
}

void TTableHeader::Check(const std::string& fileName, int64_t fileSize) const {
  const std::string table = tableName.Text();
  auto damaged = [&](std::string_view pattern, std::initializer_list<std::string_view> args) {
    DamagedFile(fileName, "table '" + table + "': " + FormatMessage(pattern, args));
  };
  if (fieldCount < 0 || fieldCount > kMaxFields) damaged("field count %s is outside 0 to 96", {Num(fieldCount)});
  if (indexCount < 0 || indexCount > kMaxIndexes) damaged("index count %s is outside 0 to 8", {Num(indexCount)});
  if (recordTotal < 0) damaged("record total %s is negative", {Num(recordTotal)});
  for (int k = 0; k < fieldCount; ++k)
    if (IsStringFieldType(fields[k].fieldType) && fields[k].declaredSize < 0)
      damaged("field '%s' has the negative size %s", {fields[k].name.Text(), Num(fields[k].declaredSize)});
  for (int j = 0; j < indexCount; ++j)
    for (int32_t n : indexes[j].KeyFields())
      if (n < 0 || n >= fieldCount)
        damaged("index '%s' names field number %s, which does not exist", {indexes[j].name.Text(), Num(n)});
  if (recordTotal > 0) {
    // Every record's data block lies in the file, so no record is larger
    // than the file: a header that says otherwise would have the reader set
    // aside buffers of up to 2 GB for a file of a few kilobytes.
    const int32_t recordSize = ComputeRecordLayout(*this, fileName).recordSize;
    if (recordSize > fileSize)
      damaged("its records of %s bytes do not fit in a file of %s bytes", {Num(recordSize), Num(fileSize)});
    CheckStructureRange(recordTabOffset, kRecordTabBlockSize, fileSize, "record tab of table '" + table + "'",
                        fileName);
    for (int j = 0; j < indexCount; ++j)
      if (indexes[j].indexTabOffset != 0)
        CheckStructureRange(indexes[j].indexTabOffset, kIndexTabBlockSize, fileSize,
                            "index tab of index '" + indexes[j].name.Text() + "'", fileName);
  }
}

// ------------------------------------------------------- tab items, blocks

TRecordTabItem TRecordTabItem::Decode(const uint8_t* bytes) { return {GetInt32LE(bytes), bytes[4]}; }

void TRecordTabItem::EncodeTo(uint8_t* bytes) const {
  PutInt32LE(bytes, recordDataOffset);
  bytes[4] = deleteMark;
}

TIndexTabItem TIndexTabItem::Decode(const uint8_t* bytes) { return {GetInt32LE(bytes), GetInt32LE(bytes + 4)}; }

void TIndexTabItem::EncodeTo(uint8_t* bytes) const {
  PutInt32LE(bytes, recordNumber);
  PutInt32LE(bytes + 4, nextRecord);
}

TRecordTabBlock TRecordTabBlock::Decode(const uint8_t* bytes) {
  TRecordTabBlock b;
  b.nextBlockOffset = GetInt32LE(bytes);
  for (int i = 0; i < kTabItemsPerBlock; ++i) b.items[i] = TRecordTabItem::Decode(bytes + 4 + i * kRecordTabItemSize);
  return b;
}

void TRecordTabBlock::EncodeTo(uint8_t* bytes) const {
  PutInt32LE(bytes, nextBlockOffset);
  for (int i = 0; i < kTabItemsPerBlock; ++i) items[i].EncodeTo(bytes + 4 + i * kRecordTabItemSize);
}

TIndexTabBlock TIndexTabBlock::Decode(const uint8_t* bytes) {
  TIndexTabBlock b;
  b.nextBlockOffset = GetInt32LE(bytes);
  for (int i = 0; i < kTabItemsPerBlock; ++i) b.items[i] = TIndexTabItem::Decode(bytes + 4 + i * kIndexTabItemSize);
  return b;
}

void TIndexTabBlock::EncodeTo(uint8_t* bytes) const {
  PutInt32LE(bytes, nextBlockOffset);
  for (int i = 0; i < kTabItemsPerBlock; ++i) items[i].EncodeTo(bytes + 4 + i * kIndexTabItemSize);
}

// --------------------------------------------------------- blob descriptor

TBlobDescriptor TBlobDescriptor::Decode(const uint8_t* bytes) {
  return {GetInt32LE(bytes), GetInt32LE(bytes + 4), GetInt32LE(bytes + 8), GetInt32LE(bytes + 12),
          GetInt32LE(bytes + 16)};
}

void TBlobDescriptor::EncodeTo(uint8_t* bytes) const {
  PutInt32LE(bytes, dataOffset);
  PutInt32LE(bytes + 4, storedLength);
  PutInt32LE(bytes + 8, areaSize);
  PutInt32LE(bytes + 12, reserved1);
  PutInt32LE(bytes + 16, reserved2);
}

void TBlobDescriptor::Check(const std::string& fileName, int64_t fileSize) const {
  if (storedLength < 0 || storedLength > areaSize)
    DamagedFile(fileName, FormatMessage("a blob of %s bytes does not fit its area of %s bytes",
                                        {Num(storedLength), Num(areaSize)}));
  CheckStructureRange(dataOffset, storedLength, fileSize, "blob value", fileName);
}

// ------------------------------------------------ field types and records

bool IsKnownFieldType(int fieldType) { return FieldStoredSize(fieldType, 0) >= 0; }

int32_t FieldStoredSize(int fieldType, int32_t declaredSize) {
  switch (fieldType) {
    case ftString:
    case ftFixedChar:
      if (declaredSize < 0 || declaredSize == INT32_MAX) return -1;
      return declaredSize + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
      return 2;
    case ftInteger:
    case ftDate:
    case ftTime:
    case ftAutoInc:
      return 4;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftLargeint:
      return 8;
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
    case ftOraClob:
      return kBlobDescriptorSize;
    default:
      return -1;
  }
}

TRecordLayout ComputeRecordLayout(const TFieldSlot* fields, int32_t fieldCount, const std::string& fileName) {
  if (fieldCount < 0 || fieldCount > kMaxFields)
    DamagedFile(fileName, FormatMessage("field count %s is outside 0 to 96", {Num(fieldCount)}));
  TRecordLayout layout;
  int64_t offset = 0;
  for (int k = 0; k < fieldCount; ++k) {
    if (!IsKnownFieldType(fields[k].fieldType)) DatabaseError(ekDamagedFile, "General error");
    int32_t size = FieldStoredSize(fields[k].fieldType, fields[k].declaredSize);
    if (size < 0)
      DamagedFile(fileName, FormatMessage("field '%s' has the invalid size %s",
                                          {fields[k].name.Text(), Num(fields[k].declaredSize)}));
    layout.fieldOffsets.push_back(static_cast<int32_t>(offset));
    offset += size;
    if (offset > INT32_MAX) DamagedFile(fileName, "a record is larger than a database file can hold");
  }
  layout.recordSize = static_cast<int32_t>(offset);
  return layout;
}

TRecordLayout ComputeRecordLayout(const TTableHeader& header, const std::string& fileName) {
  return ComputeRecordLayout(header.fields.data(), header.fieldCount, fileName);
}

// --------------------------------------------- reading from an open file

TFileHeader ReadFileHeader(TStream& stream, const std::string& fileName) {
  uint8_t bytes[kFileHeaderSize];
  if (stream.Size() < kFileHeaderSize)
    DatabaseErrorFmt(ekNotADatabase, "Database file '%s' is a invalid TomeDB", {fileName});
  stream.SetPosition(kFileHeaderOffset);
  stream.ReadBuffer(bytes, kFileHeaderSize);
  TFileHeader header = TFileHeader::Decode(bytes);
  CheckFileHeader(header, fileName);
  return header;
}

TDataProcessBlock ReadDataProcessBlock(TStream& stream, const std::string& fileName) {
  uint8_t bytes[kDataProcessSize];
  ReadRange(stream, kDataProcessOffset, kDataProcessSize, bytes, stream.Size(), "data-processing block", fileName);
  TDataProcessBlock block = TDataProcessBlock::Decode(bytes);
  block.Check(fileName);
  return block;
}

TTableDirectory ReadTableDirectory(TStream& stream, const std::string& fileName) {
  uint8_t bytes[kTableDirectorySize];
  int64_t fileSize = stream.Size();
  ReadRange(stream, kTableDirectoryOffset, kTableDirectorySize, bytes, fileSize, "table directory", fileName);
  TTableDirectory directory = TTableDirectory::Decode(bytes);
  directory.Check(fileName, fileSize);
  return directory;
}

TTableHeader ReadTableHeader(TStream& stream, int32_t offset, const std::string& fileName) {
  int64_t fileSize = stream.Size();
  CheckStructureRange(offset, kTableHeaderSize, fileSize, "table header", fileName);
  std::vector<uint8_t> bytes(kTableHeaderSize);
  stream.SetPosition(offset);
  stream.ReadBuffer(bytes.data(), kTableHeaderSize);
  TTableHeader header = TTableHeader::Decode(bytes.data());
  header.Check(fileName, fileSize);
  return header;
}

namespace {

// Walks a chain of `blockSize`-byte blocks holding `itemSize`-byte items and
// hands each block's bytes (next offset, then its used items) to `take`.
// With `tolerateLastBlock`, a last block that would hold a single item and
// does not lie in the file ends the chain early: `lastMissing` is set and
// the positions of the blocks read are returned.
template <typename Take>
std::vector<int32_t> ReadChain(TStream& stream, int32_t firstBlock, int32_t total, int32_t blockSize,
                               int32_t itemSize, std::string_view what, const std::string& fileName, Take take,
                               bool tolerateLastBlock = false, bool* lastMissing = nullptr) {
  std::vector<int32_t> positions;
  if (total <= 0) return positions;
  const int64_t fileSize = stream.Size();
  const auto blocks = static_cast<int32_t>((static_cast<int64_t>(total) + kTabItemsPerBlock - 1) / kTabItemsPerBlock);
  // Blocks never overlap, so the file must hold them all one after the other.
  const int32_t needed = tolerateLastBlock && total % kTabItemsPerBlock == 1 ? blocks - 1 : blocks;
  if (static_cast<int64_t>(needed) * blockSize > fileSize - kFirstStructureOffset)
    DamagedFile(fileName, FormatMessage("the %s of %s items needs more blocks than the file can hold",
                                        {what, Num(total)}));
  positions.reserve(static_cast<size_t>(blocks));
  std::vector<uint8_t> bytes(static_cast<size_t>(blockSize));
  int32_t position = firstBlock;
  for (int32_t b = 0; b < blocks; ++b) {
    if (b == blocks - 1 && b >= needed &&
        (position < kFirstStructureOffset || static_cast<int64_t>(position) + blockSize > fileSize)) {
      if (lastMissing) *lastMissing = true;
      break;
    }
    CheckStructureRange(position, blockSize, fileSize, FormatMessage("block %s of the %s", {Num(b), what}),
                        fileName);
    positions.push_back(position);
    const auto count = static_cast<int32_t>(
        std::min<int64_t>(kTabItemsPerBlock, static_cast<int64_t>(total) - static_cast<int64_t>(b) * kTabItemsPerBlock));
    stream.SetPosition(position);
    stream.ReadBuffer(bytes.data(), 4 + static_cast<int64_t>(count) * itemSize);
    take(bytes.data() + 4, count);
    position = GetInt32LE(bytes.data());
  }
  // No two blocks may share bytes (a chain that returns to a block is the
  // simplest case of this).
  std::vector<int32_t> sorted = positions;
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 1; i < sorted.size(); ++i)
    if (static_cast<int64_t>(sorted[i]) - sorted[i - 1] < blockSize)
      DamagedFile(fileName, FormatMessage("blocks of the %s overlap at offset %s", {what, Num(sorted[i])}));
  return positions;
}

}  // namespace

TRecordTab ReadRecordTab(TStream& stream, int32_t firstBlock, int32_t recordTotal, int32_t recordSize,
                         const std::string& fileName) {
  TRecordTab tab;
  const int64_t fileSize = stream.Size();
  const int64_t last = static_cast<int64_t>(recordTotal) - 1;
  tab.blockPositions = ReadChain(
      stream, firstBlock, recordTotal, kRecordTabBlockSize, kRecordTabItemSize, "record tab", fileName,
      [&](const uint8_t* items, int32_t count) {
        tab.items.reserve(tab.items.size() + static_cast<size_t>(count));
        for (int32_t i = 0; i < count; ++i) {
          TRecordTabItem item = TRecordTabItem::Decode(items + i * kRecordTabItemSize);
          const auto number = static_cast<int64_t>(tab.items.size());
          const bool outside = item.recordDataOffset < kFirstStructureOffset ||
                               static_cast<int64_t>(item.recordDataOffset) + recordSize > fileSize;
          if (!item.Deleted() && outside) {
            if (number == last) {
              tab.lastRecordTorn = true;
              continue;
            }
            CheckStructureRange(item.recordDataOffset, recordSize, fileSize, "record " + Num(number), fileName);
          }
          tab.items.push_back(item);
        }
      });
  if (tab.lastRecordTorn) {
    tab.items.resize(static_cast<size_t>(last));
    tab.blockPositions.resize(static_cast<size_t>((last + kTabItemsPerBlock - 1) / kTabItemsPerBlock));
  }
  return tab;
}

TIndexTab ReadIndexTab(TStream& stream, int32_t firstBlock, int32_t recordTotal, const std::string& fileName) {
  TIndexTab tab;
  if (firstBlock == 0) return tab;
  tab.blockPositions = ReadChain(
      stream, firstBlock, recordTotal, kIndexTabBlockSize, kIndexTabItemSize, "index tab", fileName,
      [&](const uint8_t* items, int32_t count) {
        tab.items.reserve(tab.items.size() + static_cast<size_t>(count));
        for (int32_t i = 0; i < count; ++i) tab.items.push_back(TIndexTabItem::Decode(items + i * kIndexTabItemSize));
      },
      true, &tab.lastBlockMissing);
  return tab;
}

std::vector<int32_t> WalkKeyOrder(const TIndexTab& indexTab, int32_t headRecord, const TRecordTab& recordTab,
                                  const std::string& fileName) {
  std::vector<int32_t> order;
  const auto n = static_cast<int64_t>(recordTab.items.size());
  if (indexTab.items.empty() || n == 0) return order;
  if (static_cast<int64_t>(indexTab.items.size()) != n)
    DamagedFile(fileName, "an index tab and the record tab differ in length");
  std::vector<bool> seen(static_cast<size_t>(n), false);
  int32_t current = headRecord;
  for (int64_t step = 0; step < n && current != -1; ++step) {
    if (current < 0 || current >= n)
      DamagedFile(fileName, FormatMessage("the key order leads to record number %s, outside 0 to %s",
                                          {Num(current), Num(n - 1)}));
    if (seen[static_cast<size_t>(current)])
      DamagedFile(fileName, FormatMessage("record %s appears twice in a key order", {Num(current)}));
    seen[static_cast<size_t>(current)] = true;
    if (!recordTab.items[static_cast<size_t>(current)].Deleted()) order.push_back(current);
    current = indexTab.items[static_cast<size_t>(current)].nextRecord;
  }
  return order;
}
