#include "tomedb/tableio.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/collation.h"
#include "core/component.h"
#include "core/errors.h"
#include "core/locale.h"
#include "tomedb/algorithms/Hash_CheckSum.h"
#include "tomedb/filter/exprnode.h"

namespace {

std::string Num(int64_t value) { return std::to_string(value); }

// Holds the file lock for one table operation.
class TFileLockGuard {
 public:
  explicit TFileLockGuard(TTomeDBFileIO* fileIO) : fFileIO(fileIO) { fFileIO->Lock(); }
  ~TFileLockGuard() { fFileIO->Unlock(); }
  TFileLockGuard(const TFileLockGuard&) = delete;
  TFileLockGuard& operator=(const TFileLockGuard&) = delete;

 private:
  TTomeDBFileIO* fFileIO;
};

// The whole content of a stream (a TOptimBlobStream loads itself first).
std::vector<uint8_t> StreamBytes(TStream& stream) {
  const int64_t size = stream.Size();
  std::vector<uint8_t> bytes(static_cast<size_t>(size > 0 ? size : 0));
  stream.SetPosition(0);
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  return bytes;
}

// Length of the 0-terminated text in `size` bytes.
size_t TextLength(const uint8_t* bytes, size_t size) {
  const void* zero = std::memchr(bytes, 0, size);
  return zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes) : size;
}

// Cuts the text in a string field's stored bytes to at most size - 1 bytes,
// never inside a UTF-8 character, and zeroes everything after it.
void PadStringField(uint8_t* bytes, size_t size) {
  if (size == 0) return;
  size_t length = TextLength(bytes, size);
  if (length > size - 1) {
    length = size - 1;
    // Step back over continuation bytes so that no character is split.
    size_t start = length;
    while (start > 0 && (bytes[start] & 0xC0) == 0x80) --start;
    if (start < length) {
      const uint8_t lead = bytes[start];
      size_t need = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
      if (start + need > length) length = start;
    }
  }
  std::memset(bytes + length, 0, size - length);
}

std::string ValueAsText(TFieldType type, const uint8_t* bytes, size_t size) {
  try {
    switch (type) {
      case ftString:
      case ftFixedChar:
        return std::string(reinterpret_cast<const char*>(bytes), TextLength(bytes, size));
      case ftSmallint:
        return Num(GetInt16LE(bytes));
      case ftWord:
        return Num(GetUInt16LE(bytes));
      case ftInteger:
      case ftAutoInc:
        return Num(GetInt32LE(bytes));
      case ftLargeint:
        return Num(GetInt64LE(bytes));
      case ftBoolean:
        return GetUInt16LE(bytes) != 0 ? "True" : "False";
      case ftFloat:
      case ftCurrency:
        return FloatToText(GetDoubleLE(bytes));
      case ftDate:
        return DateToText(GetInt32LE(bytes));
      case ftTime:
        return TimeToText(GetInt32LE(bytes));
      case ftDateTime:
        return DateTimeToText(GetDoubleLE(bytes));
      default:
        if (IsBlobFieldType(type)) return std::string(reinterpret_cast<const char*>(bytes), TextLength(bytes, size));
        return std::string();
    }
  } catch (const std::exception&) {
    return std::string();
  }
}

}  // namespace

// The plain (decoded, padded) values of a record's fields, as searches and
// writes use them: one byte vector per field in field-number order.
struct TTomeTableIO::TKeySource {
  std::vector<std::vector<uint8_t>> values;
};

// ------------------------------------------------------------ blob streams

int64_t TOptimBlobStream::Read(void* buffer, int64_t count) {
  Load();
  return TMemoryStream::Read(buffer, count);
}

int64_t TOptimBlobStream::Seek(int64_t offset, TSeekOrigin origin) {
  Load();
  return TMemoryStream::Seek(offset, origin);
}

int64_t TOptimBlobStream::Size() {
  Load();
  return TMemoryStream::Size();
}

int64_t TOptimBlobStream::Write(const void* buffer, int64_t count) {
  fLoaded = true;
  return TMemoryStream::Write(buffer, count);
}

void TOptimBlobStream::SetSize(int64_t newSize) {
  fLoaded = true;
  TMemoryStream::SetSize(newSize);
}

void TOptimBlobStream::PointAt(TTomeDBFileIO* fileIO, int64_t descriptorPosition, bool encrypt, bool compress) {
  fLoaded = true;  // emptying must not trigger a load
  TMemoryStream::Clear();
  fFileIO = fileIO;
  fDescriptorPosition = descriptorPosition;
  fEncrypt = encrypt;
  fCompress = compress;
  fLoaded = descriptorPosition == 0 || fileIO == nullptr;
}

void TOptimBlobStream::Load() {
  if (fLoaded) return;
  fLoaded = true;
  if (!fFileIO || fDescriptorPosition == 0) return;
  fFileIO->ReadBlobValue(fDescriptorPosition, fEncrypt, fCompress, *this);
}

TTomeBlobStream::TTomeBlobStream(ITomeBlobHost* table, int32_t fieldNo, TBlobStreamMode mode)
    : fTable(table), fFieldNo(fieldNo), fMode(mode) {
  TOptimBlobStream* record = fTable ? fTable->ActiveBlobStream(fieldNo) : nullptr;
  if (mode == bmWrite) {
    if (record) record->SetSize(0);
    fModified = true;
    if (fTable) fTable->MarkFieldModified(fieldNo);
  } else if (record) {
    const std::vector<uint8_t> bytes = StreamBytes(*record);
    if (!bytes.empty()) TMemoryStream::Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    TMemoryStream::Seek(0, soBeginning);
  }
}

int64_t TTomeBlobStream::Write(const void* buffer, int64_t count) {
  if (fMode == bmRead) DatabaseError(ekReadOnly, "Cannot modify a read-only blob stream");
  const int64_t written = TMemoryStream::Write(buffer, count);
  Publish();
  return written;
}

void TTomeBlobStream::SetSize(int64_t newSize) {
  if (fMode == bmRead) DatabaseError(ekReadOnly, "Cannot modify a read-only blob stream");
  TMemoryStream::SetSize(newSize);
  Publish();
}

void TTomeBlobStream::Publish() {
  fModified = true;
  if (!fTable) return;
  if (TOptimBlobStream* record = fTable->ActiveBlobStream(fFieldNo)) {
    record->SetSize(0);
    if (TMemoryStream::Size() > 0) record->TMemoryStream::Write(Memory(), TMemoryStream::Size());
    record->TMemoryStream::Seek(0, soBeginning);
  }
  fTable->MarkFieldModified(fFieldNo);
  fTable->FieldDataChanged(fFieldNo);
}

// ------------------------------------------------------------ field buffers

TFieldBufferItem::~TFieldBufferItem() {
  if (!OwnsBuffer) return;
  delete BlobStream;
  delete[] static_cast<uint8_t*>(Buffer);
}

TFieldBufferItem* TFieldBuffers::Add(void* buffer, TFieldType type, int32_t size) {
  auto item = std::make_unique<TFieldBufferItem>();
  item->Buffer = buffer;
  item->FieldType = type;
  item->BufferSize = size;
  fItems.push_back(std::move(item));
  return fItems.back().get();
}

TFieldBufferItem* TFieldBuffers::Add(TMemoryStream* stream, TFieldType type) {
  auto item = std::make_unique<TFieldBufferItem>();
  item->BlobStream = stream;
  item->FieldType = type;
  fItems.push_back(std::move(item));
  return fItems.back().get();
}

TFieldBufferItem* TFieldBuffers::AddOwned(TFieldType type, int32_t size) {
  auto item = std::make_unique<TFieldBufferItem>();
  item->FieldType = type;
  item->OwnsBuffer = true;
  if (IsBlobFieldType(type)) {
    item->BlobStream = new TOptimBlobStream();
  } else {
    item->BufferSize = size;
    item->Buffer = new uint8_t[static_cast<size_t>(size > 0 ? size : 0)]();
  }
  fItems.push_back(std::move(item));
  return fItems.back().get();
}

// -------------------------------------------------------------- the table

TTomeTableIO::TTomeTableIO(TTomeDBFileIO* fileIO) : fFileIO(fileIO) {}

TTomeTableIO::~TTomeTableIO() = default;

void TTomeTableIO::SetTableName(const std::string& name) {
  if (fOpenCount > 0) DatabaseError(ekInvalidState, "Cannot perform this operation on an open table");
  fTableName = name;
}

void TTomeTableIO::Open() {
  if (fOpenCount == 0) Load();
  ++fOpenCount;
}

void TTomeTableIO::Close() {
  if (fOpenCount <= 0) {
    fOpenCount = 0;
    return;
  }
  if (--fOpenCount == 0) Unload();
}

void TTomeTableIO::RequireOpen() const {
  if (fOpenCount <= 0) DatabaseErrorFmt(ekInvalidState, "Table '%s' is not open", {fTableName});
}

void TTomeTableIO::RequireWritable() const {
  if (fFileIO->OpenedReadOnly()) DatabaseError(ekReadOnly, "Cannot modify a read-only database");
}

void TTomeTableIO::Damaged(const std::string& detail) const {
  DamagedFile(fFileIO->FileName(), FormatMessage("table '%s': %s", {fTableName, detail}));
}

void TTomeTableIO::Load() {
  if (!fFileIO || !fFileIO->IsOpen())
    DatabaseError(ekInvalidState, "Cannot perform this operation on a closed database");
  TFileLockGuard lock(fFileIO);
  try {
    std::vector<std::string> names;
    fFileIO->GetTableNames(names);
    fTableNo = -1;
    for (size_t i = 0; i < names.size(); ++i)
      if (SameNameIgnoringCase(names[i], fTableName)) {
        fTableNo = static_cast<int32_t>(i);
        break;
      }
    if (fTableNo < 0) DatabaseErrorFmt(ekNotFound, "Table '%s' not found", {fTableName});

    fHeader = fFileIO->ReadTableHeader(fTableNo);
    fHeaderBytes = fHeader.Encode();

    fFieldDefs.BeginUpdate();
    fFieldDefs.Clear();
    for (int32_t k = 0; k < fHeader.fieldCount; ++k) {
      const TFieldSlot& slot = fHeader.fields[static_cast<size_t>(k)];
      fFieldDefs.Add(slot.name.Text(), static_cast<TFieldType>(slot.fieldType), slot.declaredSize,
                     slot.processMode);
    }
    fFieldDefs.EndUpdate();
    fIndexDefs.BeginUpdate();
    fIndexDefs.Clear();
    for (int32_t j = 0; j < fHeader.indexCount; ++j) {
      const TIndexSlot& slot = fHeader.indexes[static_cast<size_t>(j)];
      fIndexDefs.Add(slot.name.Text(), slot.options, slot.KeyFields());
    }
    fIndexDefs.EndUpdate();

    const TRecordLayout layout = ComputeRecordLayout(fHeader, fFileIO->FileName());
    fFieldOffsets = layout.fieldOffsets;
    fRecordSize = layout.recordSize;
    fAutoIncFieldNo = -1;
    for (int32_t k = 0; k < fHeader.fieldCount; ++k)
      if (fHeader.fields[static_cast<size_t>(k)].fieldType == ftAutoInc) {
        fAutoIncFieldNo = k;
        break;
      }

    fComparers.clear();
    fFieldComparers.clear();
    for (int32_t j = 0; j < fHeader.indexCount; ++j) {
      std::vector<std::unique_ptr<TKeyComparer>> comparers;
      for (int32_t f : fHeader.indexes[static_cast<size_t>(j)].KeyFields()) {
        const TFieldSlot& slot = fHeader.fields[static_cast<size_t>(f)];
        if (IsBlobFieldType(slot.fieldType))
          comparers.push_back(nullptr);
        else
          comparers.push_back(
              std::make_unique<TKeyComparer>(static_cast<TFieldType>(slot.fieldType), slot.declaredSize));
      }
      fComparers.push_back(std::move(comparers));
    }

    LoadLists();
  } catch (...) {
    Unload();
    throw;
  }
}

namespace {

// An FNV-style hash over the items of a table's tabs, one 32-bit value per
// step: equal tabs give equal summaries, and a rewritten item (a delete mark,
// a link) changes it.
class TTabHasher {
 public:
  // Four lanes in turn, so that the multiplications need not wait for each
  // other.
  void Add(int32_t value) {
    uint64_t& lane = fLanes[fCount++ & 3];
    lane = (lane ^ static_cast<uint32_t>(value)) * 1099511628211ull;
  }
  uint64_t Hash() const {
    uint64_t h = 14695981039346656037ull ^ fCount;
    for (uint64_t lane : fLanes) h = (h ^ lane ^ (lane >> 31)) * 1099511628211ull;
    return h;
  }

 private:
  uint64_t fLanes[4] = {14695981039346656037ull, 1, 2, 3};
  uint64_t fCount = 0;
};

// The summary of a table's tabs as the file holds them: its record tab
// items, whether the last record was torn, and every index's next numbers.
uint64_t SummaryOf(const std::vector<TRecordTabItem>& records, bool lastTorn,
                   const std::vector<std::vector<int32_t>>& nexts) {
  TTabHasher h;
  h.Add(static_cast<int32_t>(records.size()));
  h.Add(lastTorn ? 1 : 0);
  for (const TRecordTabItem& item : records) {
    h.Add(item.recordDataOffset);
    h.Add(item.deleteMark);
  }
  for (const std::vector<int32_t>& next : nexts) {
    h.Add(static_cast<int32_t>(next.size()));
    for (int32_t n : next) h.Add(n);
  }
  return h.Hash();
}

std::vector<int32_t> NextNumbers(const TIndexTab& tab) {
  std::vector<int32_t> next;
  next.reserve(tab.items.size());
  for (const TIndexTabItem& item : tab.items) next.push_back(item.nextRecord);
  return next;
}

}  // namespace

uint64_t TTomeTableIO::ReadTabSummary(const TTableHeader& header) {
  const TRecordTab recordTab = fFileIO->ReadRecordTab(header, fRecordSize);
  std::vector<std::vector<int32_t>> nexts(static_cast<size_t>(header.indexCount));
  for (int32_t j = 0; j < header.indexCount; ++j)
    if (header.indexes[static_cast<size_t>(j)].indexTabOffset != 0)
      nexts[static_cast<size_t>(j)] = NextNumbers(fFileIO->ReadIndexTab(header, j));
  return SummaryOf(recordTab.items, recordTab.lastRecordTorn, nexts);
}

uint64_t TTomeTableIO::MemorySummary() const { return SummaryOf(fRecordTabItems, false, fIndexNext); }

void TTomeTableIO::LoadLists() {
  // The record tab and every index tab need ceil(N / 1024) blocks each, and
  // no two blocks share bytes: a record total the file cannot hold is refused
  // before anything is read, so the lists stay within a few times the size
  // of the file however the tabs are damaged.
  {
    int64_t perBlock = kRecordTabBlockSize;
    for (int32_t j = 0; j < fHeader.indexCount; ++j)
      if (fHeader.indexes[static_cast<size_t>(j)].indexTabOffset != 0) perBlock += kIndexTabBlockSize;
    const int64_t blocks = (static_cast<int64_t>(fHeader.recordTotal) + kTabItemsPerBlock - 1) / kTabItemsPerBlock;
    if ((blocks - 1) * perBlock > fFileIO->FileSize())
      Damaged(FormatMessage("its record total %s needs more tab blocks than the file can hold",
                            {Num(fHeader.recordTotal)}));
  }
  TRecordTab recordTab = fFileIO->ReadRecordTab(fHeader, fRecordSize);
  const int32_t total = fHeader.recordTotal;
  const int32_t last = total - 1;
  const size_t indexCount = static_cast<size_t>(fHeader.indexCount);
  std::vector<TIndexTab> indexTabs(indexCount);
  // The last record is torn when it is not wholly in the file, when an index
  // has no block for it, or when an index's key order lacks it while holding
  // every other record (checked after the walks below).
  bool torn = recordTab.lastRecordTorn;
  for (size_t j = 0; j < indexCount; ++j) {
    if (fHeader.indexes[j].indexTabOffset != 0) {
      indexTabs[j] = fFileIO->ReadIndexTab(fHeader, static_cast<int32_t>(j));
      if (indexTabs[j].lastBlockMissing) torn = true;
    } else if (total == 1) {
      torn = true;  // the first append stopped before it gave this index a tab
    }
  }
  {
    std::vector<std::vector<int32_t>> nexts(indexCount);
    for (size_t j = 0; j < indexCount; ++j) nexts[j] = NextNumbers(indexTabs[j]);
    fTabSummary = SummaryOf(recordTab.items, recordTab.lastRecordTorn, nexts);
    fTabSummaryStale = false;
  }

  // The walk of index j; with `skipLast`, the last record is passed over like
  // a deleted one (its next number is still followed when it is linked).
  auto walk = [&](size_t j, bool skipLast, TTornLink* link) {
    const TIndexSlot& slot = fHeader.indexes[j];
    TIndexTab& tab = indexTabs[j];
    if (skipLast && tab.items.size() + 1 == static_cast<size_t>(total)) tab.items.push_back({last, -1});
    TRecordTab stand;
    const TRecordTab* records = &recordTab;
    if (skipLast) {
      stand.items = recordTab.items;
      stand.items.resize(static_cast<size_t>(total));
      stand.items[static_cast<size_t>(last)].deleteMark = 1;
      records = &stand;
    }
    std::vector<int32_t> order = WalkKeyOrder(tab, slot.headRecord, *records, fFileIO->FileName());
    // The walk stops after N steps; a chain that still goes on then returns
    // to a record it has already passed.
    int32_t current = slot.headRecord;
    int32_t previous = -1;
    for (size_t step = 0; step < tab.items.size() && current >= 0 && static_cast<size_t>(current) < tab.items.size();
         ++step) {
      if (link && current == last) *link = {true, previous, tab.items[static_cast<size_t>(current)].nextRecord};
      previous = current;
      current = tab.items[static_cast<size_t>(current)].nextRecord;
    }
    if (!tab.items.empty() && current != -1)
      Damaged(FormatMessage("the key order of index '%s' runs in a circle", {slot.name.Text()}));
    return order;
  };

  auto physicalCount = [&] {
    size_t live = 0;
    for (const TRecordTabItem& item : recordTab.items) live += item.Deleted() ? 0 : 1;
    return live;
  };
  std::vector<std::vector<int32_t>> orders(indexCount);
  // Per index, a live record its key order lacks while it holds all the
  // others: a write stopped between unlinking a record and linking it again
  // (a modify that moved it) or before linking a new record (an append after
  // its record total). The record is whole, so it is put back in its place.
  std::vector<int32_t> unlinked(indexCount, -1);
  if (!torn) {
    const size_t live = physicalCount();
    for (size_t j = 0; j < indexCount && !torn; ++j) {
      if (fHeader.indexes[j].indexTabOffset == 0) continue;
      orders[j] = walk(j, false, nullptr);
      if (orders[j].size() + 1 != live) continue;
      std::vector<bool> listed(recordTab.items.size(), false);
      for (int32_t r : orders[j]) listed[static_cast<size_t>(r)] = true;
      for (size_t r = 0; r < listed.size(); ++r)
        if (!listed[r] && !recordTab.items[r].Deleted()) unlinked[j] = static_cast<int32_t>(r);
      // An older writer's append that stopped before its record was written
      // leaves the record block as zero bytes: that record is left out.
      if (unlinked[j] == last && RecordBlockIsZero(recordTab.items[static_cast<size_t>(last)].recordDataOffset))
        torn = true;
    }
  }
  fTornRecord = -1;
  fTornLinks.clear();
  if (torn) {
    fTornLinks.assign(indexCount, TTornLink());
    for (size_t j = 0; j < indexCount; ++j)
      orders[j] = fHeader.indexes[j].indexTabOffset == 0 ? std::vector<int32_t>() : walk(j, true, &fTornLinks[j]);
    const auto blocks = static_cast<size_t>((static_cast<int64_t>(last) + kTabItemsPerBlock - 1) / kTabItemsPerBlock);
    recordTab.items.resize(static_cast<size_t>(last));
    if (recordTab.blockPositions.size() > blocks) recordTab.blockPositions.resize(blocks);
    for (TIndexTab& tab : indexTabs)
      if (tab.blockPositions.size() > blocks) tab.blockPositions.resize(blocks);
    fHeader.recordTotal = last;
    fTornRecord = last;
  }

  fRecordTabItems = std::move(recordTab.items);
  fRecordTabBlocks = std::move(recordTab.blockPositions);
  fRecordLists.assign(indexCount + 1, TRecordList());
  TRecordList& physical = fRecordLists[0];
  for (size_t n = 0; n < fRecordTabItems.size(); ++n)
    if (!fRecordTabItems[n].Deleted())
      physical.push_back({fRecordTabItems[n].recordDataOffset, static_cast<int32_t>(n)});

  fIndexTabBlocks.assign(indexCount, TIntegerAry());
  fIndexNext.assign(indexCount, std::vector<int32_t>());
  for (size_t j = 0; j < indexCount; ++j) {
    const TIndexSlot& slot = fHeader.indexes[j];
    if (slot.indexTabOffset == 0) continue;
    fIndexTabBlocks[j] = indexTabs[j].blockPositions;
    fIndexNext[j] = NextNumbers(indexTabs[j]);
    if (fIndexNext[j].size() > fRecordTabItems.size()) fIndexNext[j].resize(fRecordTabItems.size());
    const std::vector<int32_t>& order = orders[j];
    if (order.size() + (!torn && unlinked[j] >= 0 ? 1 : 0) != physical.size())
      Damaged(FormatMessage("index '%s' lists %s of its %s records",
                            {slot.name.Text(), Num(static_cast<int64_t>(order.size())),
                             Num(static_cast<int64_t>(physical.size()))}));
    TRecordList& list = fRecordLists[j + 1];
    list.reserve(order.size());
    for (int32_t r : order) list.push_back({fRecordTabItems[static_cast<size_t>(r)].recordDataOffset, r});
  }
  fRelinks.clear();
  if (torn) return;
  for (size_t j = 0; j < indexCount; ++j) {
    const int32_t r = unlinked[j];
    if (r < 0) continue;
    TKeySource key;
    key.values.assign(static_cast<size_t>(fHeader.fieldCount), std::vector<uint8_t>());
    for (int32_t f : fHeader.indexes[j].KeyFields()) {
      const bool blob = IsBlobFieldType(fHeader.fields[static_cast<size_t>(f)].fieldType);
      fFileIO->ReadFieldAt(fRecordTabItems[static_cast<size_t>(r)].recordDataOffset,
                           fFieldOffsets[static_cast<size_t>(f)], blob, FieldStoredSizeOf(f), FieldEncrypted(f),
                           FieldCompressed(f), fCompareValue);
      key.values[static_cast<size_t>(f)] = StreamBytes(fCompareValue);
      if (blob) key.values[static_cast<size_t>(f)].push_back(0);
    }
    TRecordList& list = fRecordLists[j + 1];
    const int32_t position = InsertPositionFor(key, list, static_cast<int>(j));
    list.insert(list.begin() + position, {fRecordTabItems[static_cast<size_t>(r)].recordDataOffset, r});
    fRelinks.emplace_back(static_cast<int>(j), r);
  }
}

bool TTomeTableIO::RecordBlockIsZero(int32_t dataOffset) {
  std::vector<uint8_t> block(static_cast<size_t>(fRecordSize));
  if (fRecordSize > 0) fFileIO->ReadBuffer(dataOffset, block.data(), fRecordSize);
  return std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0; });
}

void TTomeTableIO::Unload() {
  fFieldDefs.Clear();
  fIndexDefs.Clear();
  fFieldOffsets.clear();
  fRecordSize = 0;
  fAutoIncFieldNo = -1;
  fHeader = TTableHeader();
  fHeaderBytes.clear();
  fRecordTabItems.clear();
  fRecordTabBlocks.clear();
  fIndexTabBlocks.clear();
  fIndexNext.clear();
  fTornRecord = -1;
  fTornLinks.clear();
  fRelinks.clear();
  fRecordLists.clear();
  fComparers.clear();
  fFieldComparers.clear();
  fTableNo = -1;
}

bool TTomeTableIO::ReloadIfChanged() {
  RequireOpen();
  if (fFileIO->MediumType() == mtDisk && fFileIO->Exclusive() && !fHeaderBytes.empty()) return false;
  TFileLockGuard lock(fFileIO);
  std::vector<uint8_t> bytes(kTableHeaderSize);
  fFileIO->ReadTableHeader(fTableNo, bytes.data());
  // The header alone does not change when another process deletes a record
  // or moves one in a key order; the summary of the tabs does.
  if (fTabSummaryStale) {
    fTabSummary = MemorySummary();
    fTabSummaryStale = false;
  }
  if (bytes == fHeaderBytes && ReadTabSummary(TTableHeader::Decode(bytes.data())) == fTabSummary) return false;
  const TTableHeader header = fFileIO->ReadTableHeader(fTableNo);
  if (header.fieldCount != fHeader.fieldCount || header.indexCount != fHeader.indexCount)
    Damaged("its structure changed while it was open");
  fHeader = header;
  fHeaderBytes = bytes;
  LoadLists();
  if (OnReload) OnReload(this);
  NotifyListeners(nullptr);
  return true;
}

void TTomeTableIO::ReloadAfterFailure() {
  try {
    fHeaderBytes.clear();  // whatever happens below, the next write reloads
    std::vector<uint8_t> bytes(kTableHeaderSize);
    fFileIO->ReadTableHeader(fTableNo, bytes.data());
    fHeader = fFileIO->ReadTableHeader(fTableNo);
    LoadLists();
    fHeaderBytes = bytes;
    if (OnReload) OnReload(this);
    NotifyListeners(nullptr);
  } catch (...) {
    // The lists may not match the file; fHeaderBytes is empty, so the next
    // write reloads before it writes anything.
  }
}

void TTomeTableIO::AddListener(const void* owner, std::function<void()> listener) {
  RemoveListener(owner);
  fListeners.emplace_back(owner, std::move(listener));
}

void TTomeTableIO::RemoveListener(const void* owner) {
  std::erase_if(fListeners, [&](const auto& l) { return l.first == owner; });
}

void TTomeTableIO::NotifyListeners(const void* writer) {
  // A copy: a listener may register or leave while it is told.
  const auto listeners = fListeners;
  for (const auto& [owner, listener] : listeners)
    if (owner != writer && listener) listener();
}

void TTomeTableIO::RepairTornRecord() {
  if (fTornRecord < 0) return;
  for (size_t j = 0; j < fTornLinks.size(); ++j) {
    const TTornLink& link = fTornLinks[j];
    if (!link.linked) continue;
    const auto indexNo = static_cast<int>(j);
    if (link.predecessor < 0) {
      fHeader.indexes[j].headRecord = link.next;
      WriteHeaderRange(kThIndexSlots + indexNo * kIndexSlotSize + kIsIndexTabOffset, 8);
    } else {
      WriteIndexItem(indexNo, link.predecessor, link.next);
    }
  }
  // The record total as it was before the torn append.
  WriteHeaderRange(kThRecordTabOffset, 8);
  fTornRecord = -1;
  fTornLinks.clear();
  fTabSummaryStale = true;
}

void TTomeTableIO::RepairRelinks() {
  while (!fRelinks.empty()) {
    const auto [indexNo, recordNo] = fRelinks.back();
    const TRecordList& list = fRecordLists[static_cast<size_t>(indexNo) + 1];
    int32_t predecessor = -1;
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i].RecordNo == recordNo) {
        predecessor = i > 0 ? list[i - 1].RecordNo : -1;
        break;
      }
    LinkAfter(indexNo, recordNo, predecessor);
    fRelinks.pop_back();
  }
  fTabSummaryStale = true;
}

bool TTomeTableIO::PrepareWrite() {
  const bool reloaded = ReloadIfChanged();
  RepairTornRecord();
  RepairRelinks();
  return reloaded;
}

// ------------------------------------------------------- layout and items

int32_t TTomeTableIO::FieldStoredSizeOf(int32_t fieldNo) const {
  const TFieldSlot& slot = fHeader.fields.at(static_cast<size_t>(fieldNo));
  return FieldStoredSize(slot.fieldType, slot.declaredSize);
}

bool TTomeTableIO::FieldEncrypted(int32_t fieldNo) const {
  return fFileIO->Encrypted() && fHeader.fields.at(static_cast<size_t>(fieldNo)).processMode == 0;
}

bool TTomeTableIO::FieldCompressed(int32_t fieldNo) const {
  const TFieldSlot& slot = fHeader.fields.at(static_cast<size_t>(fieldNo));
  return fFileIO->Compressed() && IsBlobFieldType(slot.fieldType) && slot.processMode == 0;
}

void TTomeTableIO::WriteHeaderRange(int32_t from, int32_t length) {
  fHeader.EncodeTo(fHeaderBytes.data());
  fFileIO->WriteTableHeader(fTableNo, fHeaderBytes.data(), from, length);
}

int64_t TTomeTableIO::RecordItemPosition(int32_t recordNo) const {
  if (recordNo < 0 || static_cast<size_t>(recordNo / kTabItemsPerBlock) >= fRecordTabBlocks.size())
    Damaged(FormatMessage("record %s lies outside its record tab", {Num(recordNo)}));
  return RecordTabItemPosition(fRecordTabBlocks, recordNo);
}

int64_t TTomeTableIO::IndexItemPosition(int indexNo, int32_t recordNo) const {
  const TIntegerAry& blocks = fIndexTabBlocks.at(static_cast<size_t>(indexNo));
  if (recordNo < 0 || recordNo >= fHeader.recordTotal ||
      static_cast<size_t>(recordNo / kTabItemsPerBlock) >= blocks.size())
    Damaged(FormatMessage("record %s lies outside the index tab of index %s", {Num(recordNo), Num(indexNo)}));
  return IndexTabItemPosition(blocks, recordNo);
}

int32_t TTomeTableIO::ReadIndexNext(int indexNo, int32_t recordNo) {
  uint8_t bytes[kIndexTabItemSize];
  fFileIO->ReadBuffer(IndexItemPosition(indexNo, recordNo), bytes, kIndexTabItemSize);
  return TIndexTabItem::Decode(bytes).nextRecord;
}

void TTomeTableIO::WriteIndexItem(int indexNo, int32_t recordNo, int32_t next) {
  uint8_t bytes[kIndexTabItemSize];
  TIndexTabItem item{recordNo, next};
  item.EncodeTo(bytes);
  fFileIO->WriteBuffer(IndexItemPosition(indexNo, recordNo), bytes, kIndexTabItemSize);
  std::vector<int32_t>& mirror = fIndexNext[static_cast<size_t>(indexNo)];
  if (static_cast<size_t>(recordNo) < mirror.size()) mirror[static_cast<size_t>(recordNo)] = next;
}

// ------------------------------------------------------------ comparisons

int TTomeTableIO::CompareFieldValue(int32_t fieldNo, const std::vector<uint8_t>& sought, const TRecordEntry& entry,
                                    bool partial, bool caseInsensitive, TKeyComparer* comparer) {
  const TFieldSlot& field = fHeader.fields[static_cast<size_t>(fieldNo)];
  const bool blob = IsBlobFieldType(field.fieldType);
  ++fFieldReadCount;
  fFileIO->ReadFieldAt(entry.DataOffset, fFieldOffsets[static_cast<size_t>(fieldNo)], blob, FieldStoredSizeOf(fieldNo),
                       FieldEncrypted(fieldNo), FieldCompressed(fieldNo), fCompareValue);
  if (blob || !comparer) {
    std::string a(reinterpret_cast<const char*>(sought.data()), TextLength(sought.data(), sought.size()));
    std::string b(reinterpret_cast<const char*>(fCompareValue.Memory()),
                  TextLength(fCompareValue.Memory(), static_cast<size_t>(fCompareValue.TMemoryStream::Size())));
    if (partial && b.size() > a.size()) b.resize(a.size());
    const int c = CompareText(a, b, caseInsensitive);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  int32_t partialLength = -1;
  TFilterOptions options = caseInsensitive ? foCaseInsensitive : 0;
  if (partial && IsStringFieldType(field.fieldType))
    partialLength = static_cast<int32_t>(TextLength(sought.data(), sought.size()));
  if (!partial) options |= foNoPartialCompare;
  return comparer->Compare(sought.data(), fCompareValue.Memory(), partialLength, options);
}

int TTomeTableIO::CompareKey(const TKeySource& key, const TRecordEntry& entry, bool partial, int fieldCount,
                             int indexNo) {
  const TIndexSlot& slot = fHeader.indexes[static_cast<size_t>(indexNo)];
  const std::vector<int32_t> fields = slot.KeyFields();
  const bool caseInsensitive = HasOptions(slot.options, tiCaseInsensitive);
  const size_t count =
      fieldCount > 0 ? std::min(fields.size(), static_cast<size_t>(fieldCount)) : fields.size();
  int result = 0;
  for (size_t i = 0; i < count && result == 0; ++i) {
    const int32_t f = fields[i];
    result = CompareFieldValue(f, key.values[static_cast<size_t>(f)], entry, partial, caseInsensitive,
                               fComparers[static_cast<size_t>(indexNo)][i].get());
  }
  if (HasOptions(slot.options, tiDescending)) result = -result;
  return result;
}

bool TTomeTableIO::RecordFieldsEqual(const TFieldBuffers& buffers, const std::vector<int32_t>& fieldNos,
                                     const TRecordEntry& entry, bool partial, bool caseInsensitive) {
  RequireOpen();
  if (fFieldComparers.size() != static_cast<size_t>(fHeader.fieldCount)) {
    fFieldComparers.clear();
    fFieldComparers.resize(static_cast<size_t>(fHeader.fieldCount));
  }
  TKeySource key;
  KeyFromBuffers(buffers, fieldNos, key);
  for (int32_t f : fieldNos) {
    const TFieldSlot& slot = fHeader.fields[static_cast<size_t>(f)];
    std::unique_ptr<TKeyComparer>& comparer = fFieldComparers[static_cast<size_t>(f)];
    if (!comparer && !IsBlobFieldType(slot.fieldType))
      comparer = std::make_unique<TKeyComparer>(static_cast<TFieldType>(slot.fieldType), slot.declaredSize);
    if (CompareFieldValue(f, key.values[static_cast<size_t>(f)], entry, partial, caseInsensitive, comparer.get()) != 0)
      return false;
  }
  return true;
}

int TTomeTableIO::SearchKey(const TKeySource& key, const TRecordList& list, bool partial, int fieldCount,
                            int indexNo, int32_t& position) {
  int32_t low = 0, high = static_cast<int32_t>(list.size()) - 1;
  int code = -2;
  position = -1;
  while (low <= high) {
    const int32_t middle = low + (high - low) / 2;
    position = middle;
    const int c = CompareKey(key, list[static_cast<size_t>(middle)], partial, fieldCount, indexNo);
    if (c == 0) return 0;
    if (c > 0) {
      code = 1;
      low = middle + 1;
    } else {
      code = -1;
      high = middle - 1;
    }
  }
  return code;
}

int32_t TTomeTableIO::InsertPositionFor(const TKeySource& key, const TRecordList& list, int indexNo) {
  int32_t position = -1;
  const int code = SearchKey(key, list, false, 0, indexNo, position);
  if (code == 0 || code == 1) return position + 1;
  if (code == -1) return position;
  return 0;
}

std::string TTomeTableIO::KeyText(const TKeySource& key, int indexNo) {
  std::string text;
  bool first = true;
  for (int32_t f : fHeader.indexes[static_cast<size_t>(indexNo)].KeyFields()) {
    const std::vector<uint8_t>& value = key.values[static_cast<size_t>(f)];
    if (!first) text += ",";
    first = false;
    const auto type = static_cast<TFieldType>(fHeader.fields[static_cast<size_t>(f)].fieldType);
    text += ValueAsText(type, value.data(), value.size());
  }
  return text;
}

void TTomeTableIO::CheckUnique(const TKeySource& key, int32_t modifiedRecordNo) {
  for (int32_t j = 0; j < fHeader.indexCount; ++j) {
    const TTDIndexOptions options = fHeader.indexes[static_cast<size_t>(j)].options;
    if (!HasOptions(options, tiPrimary) && !HasOptions(options, tiUnique)) continue;
    const TRecordList& list = fRecordLists[static_cast<size_t>(j) + 1];
    int32_t position = -1;
    if (SearchKey(key, list, false, 0, j, position) != 0) continue;
    if (modifiedRecordNo >= 0 && list[static_cast<size_t>(position)].RecordNo == modifiedRecordNo) continue;
    DatabaseErrorFmt(ekKeyViolation, "Invalid unique field value '%s'", {KeyText(key, j)});
  }
}

void TTomeTableIO::KeyFromBuffers(const TFieldBuffers& buffers, int indexNo, TKeySource& key) {
  KeyFromBuffers(buffers, fHeader.indexes[static_cast<size_t>(indexNo)].KeyFields(), key);
}

void TTomeTableIO::KeyFromBuffers(const TFieldBuffers& buffers, const std::vector<int32_t>& fieldNos,
                                  TKeySource& key) {
  key.values.assign(static_cast<size_t>(fHeader.fieldCount), std::vector<uint8_t>());
  for (int32_t f : fieldNos) {
    if (f < 0 || f >= fHeader.fieldCount) DatabaseErrorFmt(ekNotFound, "Field number %s does not exist", {Num(f)});
    std::vector<uint8_t>& value = key.values[static_cast<size_t>(f)];
    const TFieldBufferItem* item = f < buffers.Count() ? &buffers.Items(f) : nullptr;
    if (item && item->BlobStream) {
      value = StreamBytes(*item->BlobStream);
      value.push_back(0);
      continue;
    }
    const int32_t size = FieldStoredSizeOf(f);
    value.assign(static_cast<size_t>(std::max(size, 1)), 0);
    if (item && item->Buffer)
      std::memcpy(value.data(), item->Buffer, static_cast<size_t>(std::min(size, std::max(item->BufferSize, 0))));
  }
}

int TTomeTableIO::Search(const TFieldBuffers& buffers, const TRecordList& list, bool partial, int fieldCount,
                         int indexNo, int32_t& position) {
  RequireOpen();
  if (indexNo < 0 || indexNo >= fHeader.indexCount)
    DatabaseErrorFmt(ekNotFound, "Index number %s does not exist", {Num(indexNo)});
  TKeySource key;
  KeyFromBuffers(buffers, indexNo, key);
  return SearchKey(key, list, partial, fieldCount, indexNo, position);
}

int TTomeTableIO::BoundSearch(const TFieldBuffers& buffers, const TRecordList& list, bool partial, int fieldCount,
                              int indexNo, bool lowerBound, int32_t& position) {
  RequireOpen();
  if (indexNo < 0 || indexNo >= fHeader.indexCount)
    DatabaseErrorFmt(ekNotFound, "Index number %s does not exist", {Num(indexNo)});
  TKeySource key;
  KeyFromBuffers(buffers, indexNo, key);
  int32_t low = 0, high = static_cast<int32_t>(list.size()) - 1;
  int code = -2;
  bool found = false;
  position = -1;
  while (low <= high) {
    const int32_t middle = low + (high - low) / 2;
    const int c = CompareKey(key, list[static_cast<size_t>(middle)], partial, fieldCount, indexNo);
    if (c == 0) {
      found = true;
      position = middle;
      code = 0;
      if (lowerBound)
        high = middle - 1;
      else
        low = middle + 1;
      continue;
    }
    if (!found) {
      position = middle;
      code = c > 0 ? 1 : -1;
    }
    if (c > 0)
      low = middle + 1;
    else
      high = middle - 1;
  }
  return code;
}

int32_t TTomeTableIO::InsertPosition(const TFieldBuffers& buffers, int indexNo) {
  int32_t position = -1;
  const int code = Search(buffers, RecordListOf(indexNo + 1), false, 0, indexNo, position);
  if (code == 0 || code == 1) return position + 1;
  if (code == -1) return position;
  return 0;
}

int32_t TTomeTableIO::ConvertPosition(const TRecordList& source, int32_t position, int targetList) const {
  if (position < 0 || static_cast<size_t>(position) >= source.size()) return -1;
  if (targetList < 0 || static_cast<size_t>(targetList) >= fRecordLists.size()) return -1;
  const int32_t recordNo = source[static_cast<size_t>(position)].RecordNo;
  const TRecordList& target = fRecordLists[static_cast<size_t>(targetList)];
  if (targetList == 0) {
    auto it = std::lower_bound(target.begin(), target.end(), recordNo,
                               [](const TRecordEntry& e, int32_t n) { return e.RecordNo < n; });
    if (it == target.end() || it->RecordNo != recordNo) return -1;
    return static_cast<int32_t>(it - target.begin());
  }
  for (size_t i = 0; i < target.size(); ++i)
    if (target[i].RecordNo == recordNo) return static_cast<int32_t>(i);
  return -1;
}

TRecordList& TTomeTableIO::RecordListOf(int listNo) {
  RequireOpen();
  if (listNo < 0 || static_cast<size_t>(listNo) >= fRecordLists.size())
    DatabaseErrorFmt(ekInvalidValue, "List index out of bounds (%s)", {Num(listNo)});
  return fRecordLists[static_cast<size_t>(listNo)];
}

void TTomeTableIO::ReadFieldOfRecord(int32_t recordNo, int32_t fieldNo, TMemoryStream& out) {
  RequireOpen();
  if (recordNo < 0 || static_cast<size_t>(recordNo) >= fRecordTabItems.size())
    DatabaseErrorFmt(ekNotFound, "Record number %s does not exist", {Num(recordNo)});
  if (fieldNo < 0 || fieldNo >= fHeader.fieldCount)
    DatabaseErrorFmt(ekNotFound, "Field number %s does not exist", {Num(fieldNo)});
  fFileIO->ReadFieldAt(fRecordTabItems[static_cast<size_t>(recordNo)].recordDataOffset,
                       fFieldOffsets[static_cast<size_t>(fieldNo)],
                       IsBlobFieldType(fHeader.fields[static_cast<size_t>(fieldNo)].fieldType),
                       FieldStoredSizeOf(fieldNo), FieldEncrypted(fieldNo), FieldCompressed(fieldNo), out);
}

// ---------------------------------------------------------------- reading

void TTomeTableIO::ReadRecord(TFieldBuffers& buffers, const TRecordList& list, int32_t position) {
  RequireOpen();
  if (position < 0 || static_cast<size_t>(position) >= list.size())
    DatabaseErrorFmt(ekInvalidValue, "Record position %s is out of range", {Num(position)});
  TFileLockGuard lock(fFileIO);
  ++fRecordReadCount;
  const TRecordEntry entry = list[static_cast<size_t>(position)];
  // The block read last is used again when nothing can have changed it: the
  // same record, read under the same hold of the file lock (a find reads its
  // record once to test it and once more to show it), with no write since.
  const bool reuse = fReadBlockValid && fReadBlockOffset == entry.DataOffset && fFileIO->LockHeld() &&
                     fReadBlockEpoch == fFileIO->LockEpoch() && fReadBlockWrites == fFileIO->WriteCount() &&
                     fReadBlock.size() == static_cast<size_t>(fRecordSize);
  if (!reuse) {
    fReadBlockValid = false;
    fReadBlock.resize(static_cast<size_t>(fRecordSize));
    if (fRecordSize > 0) fFileIO->ReadBuffer(entry.DataOffset, fReadBlock.data(), fRecordSize);
    fReadPlain.resize(static_cast<size_t>(fRecordSize));
    fReadDecoded.assign(static_cast<size_t>(fHeader.fieldCount), false);
    fReadBlockValid = true;
    fReadBlockOffset = entry.DataOffset;
    fReadBlockEpoch = fFileIO->LockEpoch();
    fReadBlockWrites = fFileIO->WriteCount();
  }
  const int count = std::min(buffers.Count(), static_cast<int>(fHeader.fieldCount));
  for (int k = 0; k < count; ++k) {
    TFieldBufferItem& item = buffers.Items(k);
    if (!item.Active) continue;
    const int64_t fieldPosition = static_cast<int64_t>(entry.DataOffset) + fFieldOffsets[static_cast<size_t>(k)];
    if (IsBlobFieldType(fHeader.fields[static_cast<size_t>(k)].fieldType)) {
      if (!item.BlobStream) continue;
      if (auto* optim = dynamic_cast<TOptimBlobStream*>(item.BlobStream))
        optim->PointAt(fFileIO, fieldPosition, FieldEncrypted(k), FieldCompressed(k));
      else
        fFileIO->ReadBlobValue(fieldPosition, FieldEncrypted(k), FieldCompressed(k), *item.BlobStream);
      continue;
    }
    if (!item.Buffer) continue;
    // Each field of the block is decoded once, however often it is read.
    const int32_t size = FieldStoredSizeOf(k);
    const size_t offset = static_cast<size_t>(fFieldOffsets[static_cast<size_t>(k)]);
    if (!fReadDecoded[static_cast<size_t>(k)]) {
      fFileIO->DecodeBuffer(fReadBlock.data() + offset, fReadPlain.data() + offset, FieldEncrypted(k), size);
      fReadDecoded[static_cast<size_t>(k)] = true;
    }
    const int32_t bufferSize = std::max(item.BufferSize, 0);
    const size_t copied = static_cast<size_t>(std::min(size, bufferSize));
    std::memcpy(item.Buffer, fReadPlain.data() + offset, copied);
    if (static_cast<size_t>(bufferSize) > copied)
      std::memset(static_cast<uint8_t*>(item.Buffer) + copied, 0, static_cast<size_t>(bufferSize) - copied);
  }
}

void TTomeTableIO::KeyRange(const std::vector<std::vector<uint8_t>>& values, const TRecordList& list, int indexNo,
                            int fieldCount, int32_t& first, int32_t& last) {
  RequireOpen();
  if (indexNo < 0 || indexNo >= fHeader.indexCount)
    DatabaseErrorFmt(ekNotFound, "Index number %s does not exist", {Num(indexNo)});
  TKeySource key;
  key.values.assign(static_cast<size_t>(fHeader.fieldCount), std::vector<uint8_t>());
  const std::vector<int32_t> fields = fHeader.indexes[static_cast<size_t>(indexNo)].KeyFields();
  for (size_t i = 0; i < fields.size() && i < static_cast<size_t>(fieldCount) && i < values.size(); ++i)
    key.values[static_cast<size_t>(fields[i])] = values[i];
  TFileLockGuard lock(fFileIO);
  // The first record whose key is not below the sought one, then the first
  // whose key lies above it (CompareKey already follows a descending order).
  auto boundary = [&](bool above) {
    int32_t low = 0, high = static_cast<int32_t>(list.size());
    while (low < high) {
      const int32_t middle = low + (high - low) / 2;
      const int c = CompareKey(key, list[static_cast<size_t>(middle)], false, fieldCount, indexNo);
      if (above ? c >= 0 : c > 0)
        low = middle + 1;
      else
        high = middle;
    }
    return low;
  };
  first = boundary(false);
  last = boundary(true) - 1;
}

// ----------------------------------------------------------------- blobs

void TTomeTableIO::PlanBlobValue(int32_t fieldNo, TMemoryStream& value, uint8_t* descriptorBytes, bool append,
                                 int64_t& fileEnd, TBlobWrite& plan) {
  const bool encrypt = FieldEncrypted(fieldNo);
  const bool compress = FieldCompressed(fieldNo);
  plan.fieldNo = fieldNo;
  const std::vector<uint8_t> plain = StreamBytes(value);
  plan.plain.Clear();
  if (!plain.empty()) plan.plain.WriteBuffer(plain.data(), static_cast<int64_t>(plain.size()));
  TMemoryStream encoded;
  fFileIO->EncodeStream(plan.plain, encoded, compress, encrypt);
  const int64_t storedSize = encoded.TMemoryStream::Size();
  if (storedSize > INT32_MAX - kBlobAreaGranule) DatabaseError(ekInvalidValue, "Blob value is too large");
  const auto stored = static_cast<int32_t>(storedSize);

  TBlobDescriptor descriptor;
  int64_t position;
  int32_t area;
  if (append) {
    position = fileEnd;
    area = BlobAreaSize(stored);
  } else {
    descriptor = TBlobDescriptor::Decode(descriptorBytes);
    if (descriptor.dataOffset == 0 && descriptor.areaSize == 0) {
      position = fileEnd;  // never written: a new area at the end
      area = BlobAreaSize(stored);
    } else {
      descriptor.Check(fFileIO->FileName(), fileEnd);
      if (descriptor.areaSize <= 0 || static_cast<int64_t>(descriptor.dataOffset) + descriptor.areaSize > fileEnd)
        Damaged(FormatMessage("a blob area at offset %s runs past the end of the file", {Num(descriptor.dataOffset)}));
      if (stored > descriptor.areaSize) {
        area = BlobAreaSize(stored);
        position = static_cast<int64_t>(descriptor.dataOffset) + descriptor.areaSize == fileEnd
                       ? descriptor.dataOffset
                       : fileEnd;
      } else {
        area = descriptor.areaSize;
        position = descriptor.dataOffset;
      }
    }
  }
  // The value and its zero padding up to the next multiple of 64 past its
  // end, never beyond the area.
  const int32_t padEnd = std::min(BlobAreaSize(stored), area);
  plan.bytes.assign(static_cast<size_t>(padEnd), 0);
  if (stored > 0) std::memcpy(plan.bytes.data(), encoded.Memory(), static_cast<size_t>(stored));
  plan.position = position;
  plan.stored = stored;
  plan.expected = fFileIO->WriteCheck() ? THash_CRC32::Checksum(plain.data(), plain.size()) : 0;
  fileEnd = std::max(fileEnd, position + padEnd);

  descriptor.dataOffset = static_cast<int32_t>(position);
  descriptor.storedLength = stored;
  descriptor.areaSize = area;
  if (append) descriptor.reserved1 = descriptor.reserved2 = 0;
  descriptor.EncodeTo(descriptorBytes);
}

void TTomeTableIO::WritePlannedBlob(TBlobWrite& plan, int64_t from, bool below) {
  const int64_t size = static_cast<int64_t>(plan.bytes.size());
  const int64_t split = std::clamp(from - plan.position, int64_t{0}, size);
  const int64_t start = below ? 0 : split;
  const int64_t stop = below ? split : size;
  if (stop > start) fFileIO->WriteBuffer(plan.position + start, plan.bytes.data() + start, stop - start);
}

void TTomeTableIO::CheckWrittenBlob(TBlobWrite& plan) {
  if (!fFileIO->WriteCheck()) return;
  const bool encrypt = FieldEncrypted(plan.fieldNo);
  const bool compress = FieldCompressed(plan.fieldNo);
  const int32_t stored = plan.stored;
  for (int attempt = 1;; ++attempt) {
    TMemoryStream readBack, decoded;
    readBack.SetSize(stored);
    bool same = false;
    try {
      if (stored > 0) fFileIO->ReadBuffer(plan.position, readBack.Memory(), stored);
      fFileIO->DecodeStream(readBack, decoded, compress, encrypt);
      same = THash_CRC32::Checksum(decoded.Memory(), static_cast<size_t>(decoded.TMemoryStream::Size())) ==
             plan.expected;
    } catch (const EDatabaseError&) {
      same = false;  // a value that does not decode is a failed check, not an error of its own
    }
    if (same) return;
    if (attempt >= TTomeDBFileIO::kWriteCheckAttempts)
      DatabaseErrorFmt(ekInputOutput, "The value of field '%s' did not read back correctly after %s writes",
                       {fHeader.fields[static_cast<size_t>(plan.fieldNo)].name.Text(), Num(attempt)});
    TMemoryStream encoded;
    fFileIO->EncodeStream(plan.plain, encoded, compress, encrypt);
    if (encoded.TMemoryStream::Size() == stored && stored > 0)
      std::memcpy(plan.bytes.data(), encoded.Memory(), static_cast<size_t>(stored));
    fFileIO->WriteBuffer(plan.position, plan.bytes.data(), static_cast<int64_t>(plan.bytes.size()));
  }
}

// ---------------------------------------------------------- index links

void TTomeTableIO::LinkAfter(int indexNo, int32_t recordNo, int32_t predecessor) {
  TIndexSlot& slot = fHeader.indexes[static_cast<size_t>(indexNo)];
  if (predecessor < 0) {
    WriteIndexItem(indexNo, recordNo, slot.headRecord);
    slot.headRecord = recordNo;
    WriteHeaderRange(kThIndexSlots + indexNo * kIndexSlotSize + kIsIndexTabOffset, 8);
    return;
  }
  const int32_t next = ReadIndexNext(indexNo, predecessor);
  WriteIndexItem(indexNo, recordNo, next);
  WriteIndexItem(indexNo, predecessor, recordNo);
}

void TTomeTableIO::UnlinkRecord(int indexNo, int32_t recordNo, int32_t listPosition) {
  TIndexSlot& slot = fHeader.indexes[static_cast<size_t>(indexNo)];
  const int32_t next = ReadIndexNext(indexNo, recordNo);
  if (slot.headRecord == recordNo) {
    slot.headRecord = next;
    WriteHeaderRange(kThIndexSlots + indexNo * kIndexSlotSize + kIsIndexTabOffset, 8);
    return;
  }
  // The predecessor in the file's chain: normally the record before it in
  // the list, but deleted records (and another process's changes) may stand
  // between them, so the chain is followed until it reaches the record.
  const TRecordList& list = fRecordLists[static_cast<size_t>(indexNo) + 1];
  auto findFrom = [&](int32_t start) -> int32_t {
    int32_t current = start;
    for (int32_t steps = 0; current != -1 && steps <= fHeader.recordTotal; ++steps) {
      const int32_t following = ReadIndexNext(indexNo, current);
      if (following == recordNo) return current;
      current = following;
    }
    return -1;
  };
  int32_t predecessor = listPosition > 0 ? findFrom(list[static_cast<size_t>(listPosition) - 1].RecordNo) : -1;
  if (predecessor < 0) predecessor = findFrom(slot.headRecord);
  if (predecessor < 0)
    Damaged(FormatMessage("record %s is not linked in index '%s'", {Num(recordNo), slot.name.Text()}));
  WriteIndexItem(indexNo, predecessor, next);
}

// --------------------------------------------------------------- writing

template <typename Body>
void TTomeTableIO::GuardedWrite(const void* writer, Body&& body) {
  RequireOpen();
  RequireWritable();
  TFileLockGuard lock(fFileIO);
  const int64_t writesBefore = fFileIO->WriteCount();
  try {
    PrepareWrite();
    body();
  } catch (...) {
    // Whatever part of the write reached the file, memory follows the file.
    if (fFileIO->WriteCount() != writesBefore) ReloadAfterFailure();
    throw;
  }
  NotifyListeners(writer);
}

void TTomeTableIO::AppendRecord(TFieldBuffers& buffers, const TAdjustCallback& adjust, const void* writer) {
  GuardedWrite(writer, [&] { AppendLocked(buffers, adjust); });
}

void TTomeTableIO::ModifyRecord(TFieldBuffers& buffers, int32_t position, const TAdjustCallback& adjust,
                                const void* writer) {
  RequireOpen();
  if (position < 0 || static_cast<size_t>(position) >= fRecordLists[0].size())
    DatabaseErrorFmt(ekInvalidValue, "Record position %s is out of range", {Num(position)});
  const TRecordEntry entry = fRecordLists[0][static_cast<size_t>(position)];
  GuardedWrite(writer, [&] { ModifyLocked(buffers, entry, adjust); });
}

void TTomeTableIO::DeleteRecord(int32_t position, const void* writer) {
  RequireOpen();
  if (position < 0 || static_cast<size_t>(position) >= fRecordLists[0].size())
    DatabaseErrorFmt(ekInvalidValue, "Record position %s is out of range", {Num(position)});
  const TRecordEntry entry = fRecordLists[0][static_cast<size_t>(position)];
  GuardedWrite(writer, [&] { DeleteLocked(entry); });
}

void TTomeTableIO::AppendLocked(TFieldBuffers& buffers, const TAdjustCallback& adjust) {
  TKeySource key;
  std::vector<TMemoryStream*> blobs;
  TMemoryStream emptyBlob;
  NewRecordValues(buffers, emptyBlob, key, blobs);
  CheckUnique(key, -1);
  const int32_t n = fHeader.recordTotal;
  CheckRoomForAppend(n);
  AssignAutoIncValue(buffers, key);

  // Nothing below is visible to a reader of the table until the record
  // total is written: the record, its blob values, its record tab item and
  // its index tab items lie past the end of the file or in items past the
  // record total, and a next-block offset in the last block of a chain is not
  // read while that block is the last one. The completed file holds the same
  // bytes as when each part is written in the order the layout describes.
  const int64_t recordOffset = AppendRecordTabItem(n);  // 1.
  WriteNewRecord(recordOffset, key, blobs);  // 2.
  const std::vector<TIndexPlace> places = AppendIndexTabItems(n, key);  // 3.
  CommitAppend(n, recordOffset);  // 4.
  LinkAppendedRecord(n, places);  // 5.
  ListAppendedRecord(TRecordEntry{static_cast<int32_t>(recordOffset), n}, places, adjust);  // 6.
}

void TTomeTableIO::NewRecordValues(TFieldBuffers& buffers, TMemoryStream& emptyBlob, TKeySource& key,
                                   std::vector<TMemoryStream*>& blobs) {
  const int32_t fieldCount = fHeader.fieldCount;
  key.values.resize(static_cast<size_t>(fieldCount));
  blobs.assign(static_cast<size_t>(fieldCount), nullptr);
  for (int32_t k = 0; k < fieldCount; ++k) {
    const TFieldSlot& slot = fHeader.fields[static_cast<size_t>(k)];
    TFieldBufferItem* item = k < buffers.Count() ? &buffers.Items(k) : nullptr;
    const bool active = item && item->Active;
    std::vector<uint8_t>& value = key.values[static_cast<size_t>(k)];
    if (IsBlobFieldType(slot.fieldType)) {
      blobs[static_cast<size_t>(k)] = active && item->BlobStream ? item->BlobStream : &emptyBlob;
      value = StreamBytes(*blobs[static_cast<size_t>(k)]);
      value.push_back(0);
      continue;
    }
    const int32_t size = FieldStoredSizeOf(k);
    value.assign(static_cast<size_t>(size), 0);
    if (active && item->Buffer)
      std::memcpy(value.data(), item->Buffer, static_cast<size_t>(std::min(size, std::max(item->BufferSize, 0))));
    if (IsStringFieldType(slot.fieldType)) PadStringField(value.data(), value.size());
  }
}

void TTomeTableIO::CheckRoomForAppend(int32_t recordNo) const {
  if (recordNo == INT32_MAX) Damaged("it holds the largest possible number of records");
  for (int32_t j = 0; j < fHeader.indexCount; ++j)
    if (recordNo > 0 && fIndexTabBlocks[static_cast<size_t>(j)].empty())
      Damaged(FormatMessage("index '%s' has no index tab although the table holds records",
                            {fHeader.indexes[static_cast<size_t>(j)].name.Text()}));
}

void TTomeTableIO::AssignAutoIncValue(TFieldBuffers& buffers, TKeySource& key) {
  if (fAutoIncFieldNo < 0) return;
  std::vector<uint8_t>& value = key.values[static_cast<size_t>(fAutoIncFieldNo)];
  int32_t number = GetInt32LE(value.data());
  if (number == 0) {
    if (fHeader.autoIncCounter == INT32_MAX) DatabaseError(ekGeneral, "The auto-increment counter is exhausted");
    number = ++fHeader.autoIncCounter;
    PutInt32LE(value.data(), number);
    if (fAutoIncFieldNo < buffers.Count()) {
      TFieldBufferItem& item = buffers.Items(fAutoIncFieldNo);
      if (item.Active && item.Buffer && item.BufferSize >= 4) PutInt32LE(static_cast<uint8_t*>(item.Buffer), number);
    }
  } else if (number > fHeader.autoIncCounter) {
    fHeader.autoIncCounter = number;
  }
}

int64_t TTomeTableIO::AppendRecordTabItem(int32_t recordNo) {
  const int32_t n = recordNo;
  const int64_t end = fFileIO->FileSize();
  if (n % kTabItemsPerBlock != 0) {
    uint8_t item[kRecordTabItemSize];
    TRecordTabItem{static_cast<int32_t>(end), 0}.EncodeTo(item);
    fFileIO->WriteBuffer(RecordTabItemPosition(fRecordTabBlocks, n), item, kRecordTabItemSize);
    return end;
  }
  std::vector<uint8_t> tabBlock(static_cast<size_t>(kRecordTabBlockSize), 0);
  const int64_t recordOffset = end + kRecordTabBlockSize;
  TRecordTabItem{static_cast<int32_t>(recordOffset), 0}.EncodeTo(tabBlock.data() + 4);
  fFileIO->WriteBuffer(end, tabBlock.data(), kRecordTabBlockSize);
  if (n > 0) {
    uint8_t next[4];
    PutInt32LE(next, static_cast<int32_t>(end));
    fFileIO->WriteBuffer(fRecordTabBlocks.back(), next, 4);
  }
  if (n == 0) fHeader.recordTabOffset = static_cast<int32_t>(end);
  fRecordTabBlocks.push_back(static_cast<int32_t>(end));
  return recordOffset;
}

void TTomeTableIO::WriteNewRecord(int64_t recordOffset, const TKeySource& key,
                                  const std::vector<TMemoryStream*>& blobs) {
  std::vector<uint8_t> block(static_cast<size_t>(fRecordSize), 0);
  if (fRecordSize > 0) fFileIO->WriteBuffer(recordOffset, block.data(), fRecordSize);
  int64_t fileEnd = recordOffset + fRecordSize;
  for (int32_t k = 0; k < fHeader.fieldCount; ++k) {
    uint8_t* target = block.data() + fFieldOffsets[static_cast<size_t>(k)];
    if (IsBlobFieldType(fHeader.fields[static_cast<size_t>(k)].fieldType)) {
      TBlobWrite plan;
      PlanBlobValue(k, *blobs[static_cast<size_t>(k)], target, true, fileEnd, plan);
      WritePlannedBlob(plan, 0, false);
      CheckWrittenBlob(plan);
    } else {
      fFileIO->EncodeBuffer(key.values[static_cast<size_t>(k)].data(), target, FieldEncrypted(k),
                            FieldStoredSizeOf(k));
    }
  }
  if (fRecordSize > 0) fFileIO->WriteBuffer(recordOffset, block.data(), fRecordSize);
}

std::vector<TTomeTableIO::TIndexPlace> TTomeTableIO::AppendIndexTabItems(int32_t recordNo, const TKeySource& key) {
  const int32_t n = recordNo;
  std::vector<TIndexPlace> places(static_cast<size_t>(fHeader.indexCount));
  for (int32_t j = 0; j < fHeader.indexCount; ++j) {
    const auto jj = static_cast<size_t>(j);
    TIndexSlot& slot = fHeader.indexes[jj];
    TIntegerAry& blocks = fIndexTabBlocks[jj];
    const TRecordList& list = fRecordLists[jj + 1];
    TIndexPlace& place = places[jj];
    place.position = InsertPositionFor(key, list, j);
    place.predecessor = place.position > 0 ? list[static_cast<size_t>(place.position) - 1].RecordNo : -1;
    int32_t next = -1;
    if (n > 0) next = place.predecessor >= 0 ? ReadIndexNext(j, place.predecessor) : slot.headRecord;
    uint8_t item[kIndexTabItemSize];
    TIndexTabItem{n, next}.EncodeTo(item);
    if (n % kTabItemsPerBlock == 0) {
      const int64_t blockAt = fFileIO->FileSize();
      std::vector<uint8_t> tabBlock(static_cast<size_t>(kIndexTabBlockSize), 0);
      std::memcpy(tabBlock.data() + 4, item, kIndexTabItemSize);
      fFileIO->WriteBuffer(blockAt, tabBlock.data(), kIndexTabBlockSize);
      uint8_t nextBlock[4];
      PutInt32LE(nextBlock, static_cast<int32_t>(blockAt));
      if (!blocks.empty()) fFileIO->WriteBuffer(blocks.back(), nextBlock, 4);
      if (n == 0) {
        slot.indexTabOffset = static_cast<int32_t>(blockAt);
        WriteHeaderRange(kThIndexSlots + j * kIndexSlotSize + kIsIndexTabOffset, 8);
      }
      blocks.push_back(static_cast<int32_t>(blockAt));
    } else {
      fFileIO->WriteBuffer(IndexTabItemPosition(blocks, n), item, kIndexTabItemSize);
    }
    fIndexNext[jj].push_back(next);
  }
  return places;
}

void TTomeTableIO::CommitAppend(int32_t recordNo, int64_t recordOffset) {
  fHeader.recordTotal = recordNo + 1;
  WriteHeaderRange(kThRecordTabOffset, 12);
  fRecordTabItems.push_back({static_cast<int32_t>(recordOffset), 0});
}

void TTomeTableIO::LinkAppendedRecord(int32_t recordNo, const std::vector<TIndexPlace>& places) {
  const int32_t n = recordNo;
  for (int32_t j = 0; j < fHeader.indexCount && n > 0; ++j) {
    const auto jj = static_cast<size_t>(j);
    if (places[jj].predecessor >= 0) {
      WriteIndexItem(j, places[jj].predecessor, n);
    } else {
      fHeader.indexes[jj].headRecord = n;
      WriteHeaderRange(kThIndexSlots + j * kIndexSlotSize + kIsIndexTabOffset, 8);
    }
  }
}

void TTomeTableIO::ListAppendedRecord(const TRecordEntry& entry, const std::vector<TIndexPlace>& places,
                                      const TAdjustCallback& adjust) {
  fRecordLists[0].push_back(entry);
  if (adjust) adjust(-1, -1, -1, entry);
  for (int32_t j = 0; j < fHeader.indexCount; ++j) {
    TRecordList& list = fRecordLists[static_cast<size_t>(j) + 1];
    const int32_t position = places[static_cast<size_t>(j)].position;
    if (adjust) adjust(j, position, -1, entry);
    list.insert(list.begin() + position, entry);
  }
  fHeaderBytes = fHeader.Encode();
  fTabSummaryStale = true;
}

void TTomeTableIO::ModifyLocked(TFieldBuffers& buffers, const TRecordEntry& entry, const TAdjustCallback& adjust) {
  // The record may have been deleted by another process since the caller
  // found it (the lists were just brought up to date).
  if (ConvertPosition(TRecordList{entry}, 0, 0) < 0)
    DatabaseErrorFmt(ekNotFound, "Record %s no longer exists", {Num(entry.RecordNo)});
  const int32_t n = entry.RecordNo;

  std::vector<uint8_t> block(static_cast<size_t>(fRecordSize), 0);
  if (fRecordSize > 0) fFileIO->ReadBuffer(entry.DataOffset, block.data(), fRecordSize);
  TKeySource oldValues, key;
  std::vector<bool> written;
  ModifiedRecordValues(buffers, entry, block, oldValues, key, written);
  const bool counterChanged = KeepAutoIncValue(oldValues, key, written);
  CheckUnique(key, n);
  EncodeModifiedFields(buffers, key, written, block);
  const std::vector<TKeyMove> moves = PlanKeyMoves(oldValues, key, written, n);

  // The record leaves the key orders it moves in, then changes, then joins
  // them at its new places: a write that stops in between leaves a whole
  // record that some key orders lack, which loading puts back by its key.
  for (const TKeyMove& m : moves) UnlinkRecord(m.indexNo, n, m.from);
  if (fRecordSize > 0) fFileIO->WriteBuffer(entry.DataOffset, block.data(), fRecordSize);
  if (counterChanged) WriteHeaderRange(kThAutoIncCounter, 4);
  for (const TKeyMove& m : moves) LinkAfter(m.indexNo, n, m.predecessor);

  for (const TKeyMove& m : moves) {
    TRecordList& list = fRecordLists[static_cast<size_t>(m.indexNo) + 1];
    if (adjust) adjust(m.indexNo, m.from, m.toFull, entry);
    list.erase(list.begin() + m.from);
    list.insert(list.begin() + m.to, entry);
  }
  fHeaderBytes = fHeader.Encode();
  fTabSummaryStale = true;
}

void TTomeTableIO::ModifiedRecordValues(TFieldBuffers& buffers, const TRecordEntry& entry,
                                        const std::vector<uint8_t>& block, TKeySource& oldValues, TKeySource& key,
                                        std::vector<bool>& written) {
  const int32_t fieldCount = fHeader.fieldCount;
  oldValues.values.resize(static_cast<size_t>(fieldCount));
  key.values.resize(static_cast<size_t>(fieldCount));
  written.assign(static_cast<size_t>(fieldCount), false);
  for (int32_t k = 0; k < fieldCount; ++k) {
    const TFieldSlot& slot = fHeader.fields[static_cast<size_t>(k)];
    TFieldBufferItem* item = k < buffers.Count() ? &buffers.Items(k) : nullptr;
    const bool active = item && item->Active;
    std::vector<uint8_t>& oldValue = oldValues.values[static_cast<size_t>(k)];
    std::vector<uint8_t>& value = key.values[static_cast<size_t>(k)];
    if (IsBlobFieldType(slot.fieldType)) {
      if (active && item->BlobStream) {
        value = StreamBytes(*item->BlobStream);
        value.push_back(0);
        written[static_cast<size_t>(k)] = true;
      } else {
        ReadFieldOfRecord(entry.RecordNo, k, fCompareValue);
        value = StreamBytes(fCompareValue);
        value.push_back(0);
      }
      continue;
    }
    const int32_t size = FieldStoredSizeOf(k);
    oldValue.resize(static_cast<size_t>(size));
    fFileIO->DecodeBuffer(block.data() + fFieldOffsets[static_cast<size_t>(k)], oldValue.data(), FieldEncrypted(k),
                          size);
    value = oldValue;
    if (active && item->Buffer) {
      std::fill(value.begin(), value.end(), 0);
      std::memcpy(value.data(), item->Buffer, static_cast<size_t>(std::min(size, std::max(item->BufferSize, 0))));
      if (IsStringFieldType(slot.fieldType)) PadStringField(value.data(), value.size());
      written[static_cast<size_t>(k)] = true;
    }
  }
}

bool TTomeTableIO::KeepAutoIncValue(const TKeySource& oldValues, TKeySource& key, std::vector<bool>& written) {
  if (fAutoIncFieldNo < 0 || !written[static_cast<size_t>(fAutoIncFieldNo)]) return false;
  std::vector<uint8_t>& value = key.values[static_cast<size_t>(fAutoIncFieldNo)];
  const int32_t number = GetInt32LE(value.data());
  if (number == 0) {
    value = oldValues.values[static_cast<size_t>(fAutoIncFieldNo)];
    written[static_cast<size_t>(fAutoIncFieldNo)] = false;
    return false;
  }
  if (number <= fHeader.autoIncCounter) return false;
  fHeader.autoIncCounter = number;
  return true;
}

void TTomeTableIO::EncodeModifiedFields(TFieldBuffers& buffers, const TKeySource& key,
                                        const std::vector<bool>& written, std::vector<uint8_t>& block) {
  // Blob values are placed first (nothing is written yet), then written:
  // every part that lies past the present end of the file (a value that
  // moves, or the grown part of one that grows in place) before any part
  // that overwrites a stored value, so a write that fails for want of space
  // leaves every stored value as it was.
  const int64_t originalEnd = fFileIO->FileSize();
  int64_t fileEnd = originalEnd;
  std::vector<TBlobWrite> plans;
  for (int32_t k = 0; k < fHeader.fieldCount; ++k) {
    if (!written[static_cast<size_t>(k)]) continue;
    uint8_t* target = block.data() + fFieldOffsets[static_cast<size_t>(k)];
    if (IsBlobFieldType(fHeader.fields[static_cast<size_t>(k)].fieldType)) {
      plans.emplace_back();
      PlanBlobValue(k, *buffers.Items(k).BlobStream, target, false, fileEnd, plans.back());
    } else {
      fFileIO->EncodeBuffer(key.values[static_cast<size_t>(k)].data(), target, FieldEncrypted(k),
                            FieldStoredSizeOf(k));
    }
  }
  for (TBlobWrite& plan : plans) WritePlannedBlob(plan, originalEnd, false);
  for (TBlobWrite& plan : plans) WritePlannedBlob(plan, originalEnd, true);
  for (TBlobWrite& plan : plans) CheckWrittenBlob(plan);
}

std::vector<TTomeTableIO::TKeyMove> TTomeTableIO::PlanKeyMoves(const TKeySource& oldValues, const TKeySource& key,
                                                               const std::vector<bool>& written, int32_t recordNo) {
  std::vector<TKeyMove> moves;
  for (int32_t j = 0; j < fHeader.indexCount; ++j) {
    // An index none of whose key values changed keeps its place untouched.
    bool keyChanged = false;
    for (int32_t f : fHeader.indexes[static_cast<size_t>(j)].KeyFields()) {
      if (!written[static_cast<size_t>(f)]) continue;
      if (IsBlobFieldType(fHeader.fields[static_cast<size_t>(f)].fieldType) ||
          key.values[static_cast<size_t>(f)] != oldValues.values[static_cast<size_t>(f)])
        keyChanged = true;
    }
    if (!keyChanged) continue;
    TRecordList& list = fRecordLists[static_cast<size_t>(j) + 1];
    int32_t o = -1;
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i].RecordNo == recordNo) {
        o = static_cast<int32_t>(i);
        break;
      }
    if (o < 0) continue;
    TRecordList without = list;
    without.erase(without.begin() + o);
    const int32_t q = InsertPositionFor(key, without, j);
    const int32_t qFull = o < q ? q + 1 : q;
    if (qFull == o) continue;
    moves.push_back({j, o, q, qFull, qFull > 0 ? list[static_cast<size_t>(qFull) - 1].RecordNo : -1});
  }
  return moves;
}

void TTomeTableIO::DeleteLocked(const TRecordEntry& entry) {
  const int32_t position = ConvertPosition(TRecordList{entry}, 0, 0);
  if (position < 0) DatabaseErrorFmt(ekNotFound, "Record %s no longer exists", {Num(entry.RecordNo)});
  fFileIO->WriteDeleteMark(RecordItemPosition(entry.RecordNo));
  fRecordTabItems[static_cast<size_t>(entry.RecordNo)].deleteMark = 1;
  for (size_t l = 1; l < fRecordLists.size(); ++l) {
    TRecordList& list = fRecordLists[l];
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i].RecordNo == entry.RecordNo) {
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        break;
      }
  }
  fRecordLists[0].erase(fRecordLists[0].begin() + position);
  fTabSummaryStale = true;
}
