#pragma once
// One table of an open database file: TTomeTableIO loads the table (its
// definitions, record layout, record tab and every index order) into memory
// and appends, modifies, deletes, reads and searches records, keeping its
// record lists and the file consistent. TFieldBuffers carries field values
// between a dataset and a table; TOptimBlobStream and TTomeBlobStream carry
// blob values.
//
// Record lists: list 0 holds the live records in record-number order, list
// j + 1 the live records in the key order of index j. An entry is the pair
// (record data offset, record number); records never move in the file, so an
// entry stays true for the life of the file.
//
// Ownership: the database object owns one TTomeTableIO per table; a table
// refers to the database's TTomeDBFileIO, which must outlive it. References
// returned by RecordListOf stay valid until the table is closed for the last
// time; their contents change with every append, modify, delete and reload.
//
// Threading: one thread at a time per database (the file object's critical
// section only guards the shared coding state). Other processes are kept out
// by the file lock, taken for the whole of every open, append, modify, delete
// and record read.
//
// Other processes: a shared file may be written by another process while
// this table is open. Every append, modify and delete first compares the
// table header in the file with its copy and a summary of the record tab and
// of every index tab (a hash of their items, which every append, delete and
// key change rewrites) with the summary taken at the last load, and reloads
// the table when either differs (OnReload and the listeners are then told),
// so records the other process added, deleted or moved are seen and linked
// correctly. The check reads the tabs again: 5
// bytes per record plus 8 per record and index. Lists read between such
// operations can be stale: a reader sees another process's changes after
// ReloadIfChanged(), at its next write, or when it reopens the table.
//
// Failed and cut writes: an append writes the record, its blob values, its
// record tab item and its index tab items where no reader of the table looks
// yet, then the record total in the header, and last the one link per index
// that makes the record part of each key order. A file left by an append that
// stopped part-way (by this engine or an older one) has a record total one
// ahead of what the record tab, the indexes or the file hold. Loading
// recognises that state: when the record is whole (this engine's appends
// reach the record total only then) it is put into the key orders that lack
// it, as is a record a modify had unlinked but not yet linked again, and the
// next write links it in the file; when its data lies past the end of the
// file or is still zero bytes (an older writer's append) the table opens
// without it, and the next write takes it out of the file (unlinks it where
// it was linked and writes the record total back). A modify writes blob
// values that grow or move before anything it overwrites in place. After
// any failed write the table reloads itself from the file.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/streams.h"
#include "dataset/fieldtypes.h"
#include "tomedb/defs.h"
#include "tomedb/fileio.h"

class TKeyComparer;

struct TRecordEntry {
  int32_t DataOffset = 0;
  int32_t RecordNo = 0;
  bool operator==(const TRecordEntry&) const = default;
};
using TRecordList = std::vector<TRecordEntry>;
using TRecordTabItems = std::vector<TRecordTabItem>;

// ----------------------------------------------------------- blob streams

// The blob value of one field in a record buffer. Pointed at a blob
// descriptor in the file it stays empty and unloaded until first read, seek
// or size query, and then loads and decodes the stored value. Any write or
// size change marks it loaded first, so a value the user writes is never
// replaced by the stored one.
class TOptimBlobStream : public TMemoryStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  int64_t Write(const void* buffer, int64_t count) override;
  void SetSize(int64_t newSize) override;

  // Empties the stream and points it at the descriptor at that file position
  // (0: no descriptor; the stream then holds what is written to it).
  void PointAt(TTomeDBFileIO* fileIO, int64_t descriptorPosition, bool encrypt, bool compress);
  // Loads the stored value now if it is not loaded yet.
  void Load();

  bool Loaded() const { return fLoaded; }

 private:
  TTomeDBFileIO* fFileIO = nullptr;
  int64_t fDescriptorPosition = 0;
  bool fEncrypt = false;
  bool fCompress = false;
  bool fLoaded = true;  // nothing to load until pointed at a descriptor
};

enum TBlobStreamMode : uint8_t { bmRead = 0, bmWrite = 1, bmReadWrite = 2 };

// What a TTomeBlobStream asks of the dataset whose record buffer it edits.
class ITomeBlobHost {
 public:
  // The blob stream of the field in the active record buffer, or null when
  // the dataset has no active record buffer.
  virtual TOptimBlobStream* ActiveBlobStream(int32_t fieldNo) = 0;
  // The field's value was changed through a blob stream.
  virtual void MarkFieldModified(int32_t fieldNo) = 0;
  virtual void FieldDataChanged(int32_t fieldNo) = 0;

 protected:
  ~ITomeBlobHost() = default;
};

// The stream a blob field hands out. Read and read-write streams start as a
// copy of the record buffer's value; a write stream starts empty and empties
// the record buffer's value at once. Every write (write and read-write modes)
// goes into this stream and then replaces the record buffer's value. A
// read-only stream refuses writes and never changes the record buffer.
class TTomeBlobStream : public TMemoryStream {
 public:
  TTomeBlobStream(ITomeBlobHost* table, int32_t fieldNo, TBlobStreamMode mode);

  int64_t Write(const void* buffer, int64_t count) override;
  void SetSize(int64_t newSize) override;

  ITomeBlobHost* Table() const { return fTable; }
  int32_t FieldNo() const { return fFieldNo; }
  TBlobStreamMode Mode() const { return fMode; }
  bool Modified() const { return fModified; }

 private:
  void Publish();

  ITomeBlobHost* fTable;
  int32_t fFieldNo;
  TBlobStreamMode fMode;
  bool fModified = false;
};

// ------------------------------------------------------------ field buffers

// One field's value on its way between a dataset and a table. A non-blob
// item points at the value's bytes in their stored (plain) form, BufferSize
// bytes; a blob item refers to a memory stream.
struct TFieldBufferItem {
  void* Buffer = nullptr;                // non-blob value bytes
  TMemoryStream* BlobStream = nullptr;   // blob value
  TFieldType FieldType = ftUnknown;
  int32_t BufferSize = 0;
  bool OwnsBuffer = false;  // freeing the item frees the stream or the memory
  bool Active = true;       // only active items are read or written

  TFieldBufferItem() = default;
  ~TFieldBufferItem();
  TFieldBufferItem(const TFieldBufferItem&) = delete;
  TFieldBufferItem& operator=(const TFieldBufferItem&) = delete;
};

// The values of a record, one item per field in field-number order.
class TFieldBuffers {
 public:
  TFieldBuffers() = default;
  ~TFieldBuffers() { Clear(); }
  TFieldBuffers(const TFieldBuffers&) = delete;
  TFieldBuffers& operator=(const TFieldBuffers&) = delete;

  // A non-blob value of `size` bytes at `buffer` (not owned).
  TFieldBufferItem* Add(void* buffer, TFieldType type, int32_t size);
  // A blob value held in `stream` (not owned).
  TFieldBufferItem* Add(TMemoryStream* stream, TFieldType type);
  // An item with its own zeroed buffer of `size` bytes, or (blob types) its
  // own TOptimBlobStream.
  TFieldBufferItem* AddOwned(TFieldType type, int32_t size);

  int Count() const { return static_cast<int>(fItems.size()); }
  // REQUIRES: 0 <= index < Count().
  TFieldBufferItem& Items(int index) const { return *fItems.at(static_cast<size_t>(index)); }
  void Clear() { fItems.clear(); }

 private:
  std::vector<std::unique_ptr<TFieldBufferItem>> fItems;
};

// ------------------------------------------------------------------ table

class TTomeTableIO {
 public:
  // Called so that a dataset can follow the lists. On append: once with
  // (-1, -1, -1) before any index list changes, then per index j with
  // (j, insert position, -1). On modify: per index j whose list position of
  // the record changes, with (j, old position, new position counted in the
  // list that still holds the entry).
  using TAdjustCallback =
      std::function<void(int32_t IndexNo, int32_t Position, int32_t NewPosition, const TRecordEntry& Entry)>;

  explicit TTomeTableIO(TTomeDBFileIO* fileIO);
  ~TTomeTableIO();
  TTomeTableIO(const TTomeTableIO&) = delete;
  TTomeTableIO& operator=(const TTomeTableIO&) = delete;

  const std::string& TableName() const { return fTableName; }
  // REQUIRES: the table is closed ("Cannot perform this operation on an open
  // table" otherwise).
  void SetTableName(const std::string& name);

  // Counted: the first open loads the table ("Table '%s' not found", layout
  // and damaged-file errors), the last close unloads it.
  void Open();
  void Close();
  int32_t OpenCount() const { return fOpenCount; }
  bool IsOpen() const { return fOpenCount > 0; }

  // REQUIRES (all below): IsOpen().
  void ReadRecord(TFieldBuffers& buffers, const TRecordList& list, int32_t position);
  // The writes below tell every listener but `writer` (the dataset that
  // writes, or null) afterwards.
  //
  // Appends a record; the auto-increment value given to it is written back
  // into its buffer. "Invalid unique field value '%s'" before anything is
  // written when a unique index already holds the key.
  void AppendRecord(TFieldBuffers& buffers, const TAdjustCallback& adjust = nullptr, const void* writer = nullptr);
  // Writes the active items of `buffers` into the record at `position` in
  // list 0 and moves it in every index whose order it changes.
  void ModifyRecord(TFieldBuffers& buffers, int32_t position, const TAdjustCallback& adjust = nullptr,
                    const void* writer = nullptr);
  void DeleteRecord(int32_t position, const void* writer = nullptr);

  // Binary search of `list` (the list of index `indexNo`, or a copy of it)
  // for the key in `buffers`: returns the result code (0 found, 1 the key
  // sorts after the last record compared, -1 before, -2 empty list) and
  // sets `position` to the last record compared (-1 for an empty list).
  // `fieldCount` 0 compares all key fields, n > 0 the first n. With
  // `partial`, text compares only as many characters as the sought text has.
  int Search(const TFieldBuffers& buffers, const TRecordList& list, bool partial, int fieldCount, int indexNo,
             int32_t& position);
  // As Search, but continues past equal records to the first (lowerBound)
  // or the last of them.
  int BoundSearch(const TFieldBuffers& buffers, const TRecordList& list, bool partial, int fieldCount,
                  int indexNo, bool lowerBound, int32_t& position);
  // The positions first..last of `list` (in the order of index `indexNo`)
  // whose first `fieldCount` key fields equal `values` (one value per key
  // field in key order, in the stored form; text up to its zero byte), by
  // two binary searches under the file lock; last < first when none. Equal
  // means what the index's comparison says (collation, letter case,
  // descending order); no partial compare.
  void KeyRange(const std::vector<std::vector<uint8_t>>& values, const TRecordList& list, int indexNo,
                int fieldCount, int32_t& first, int32_t& last);
  // Where a record with these key values would be inserted in index
  // `indexNo`: after the equal record where the search stopped.
  int32_t InsertPosition(const TFieldBuffers& buffers, int indexNo);

  // The position in list `targetList` (0, or index number + 1) of the
  // record at `position` of `source`; -1 when out of range or not found.
  int32_t ConvertPosition(const TRecordList& source, int32_t position, int targetList) const;

  // Whether the stored values of the fields `fieldNos` (0-based field
  // numbers) of the record `entry` equal the values in `buffers`. With
  // `partial`, text compares only as many characters as the sought text has;
  // with `caseInsensitive`, letter case is ignored.
  bool RecordFieldsEqual(const TFieldBuffers& buffers, const std::vector<int32_t>& fieldNos,
                         const TRecordEntry& entry, bool partial, bool caseInsensitive);

  // How many whole records and how many single field values (key
  // comparisons) this object has read from the file since it was created:
  // what a search costs, for tests and measurements.
  int64_t RecordReadCount() const { return fRecordReadCount; }
  int64_t FieldReadCount() const { return fFieldReadCount; }

  // The decoded value of one field of a record (blob fields: the value).
  void ReadFieldOfRecord(int32_t recordNo, int32_t fieldNo, TMemoryStream& out);

  // List 0, or the list of index (listNo - 1).
  TRecordList& RecordListOf(int listNo);
  int ListCount() const { return static_cast<int>(fRecordLists.size()); }

  // Reloads the table when its header in the file differs from the copy
  // (another process wrote to it). True when it reloaded.
  bool ReloadIfChanged();
  // Told after every reload caused by another process: every list may have
  // changed and positions held by a dataset must be found anew.
  std::function<void(TTomeTableIO*)> OnReload;
  // Datasets sharing this object register here (one listener per `owner`)
  // and are told after every reload and after every write made through this
  // object for another dataset (the `writer` argument of the write names
  // the one that wrote, which is not told). A listener must not write.
  void AddListener(const void* owner, std::function<void()> listener);
  void RemoveListener(const void* owner);
  // The record number left out at load because an append stopped part-way
  // before its record was written (-1 when none); the next write removes it.
  int32_t TornRecord() const { return fTornRecord; }
  // How many records loading put back into a key order that did not link
  // them (a write stopped between unlinking and linking); the next write
  // links them.
  int RelinkCount() const { return static_cast<int>(fRelinks.size()); }

  // ---- Definitions and layout (valid while open) ----
  TTomeDBFileIO* FileIO() const { return fFileIO; }
  int32_t TableNo() const { return fTableNo; }
  TTomeFieldDefs& FieldDefs() { return fFieldDefs; }
  TTomeIndexDefs& IndexDefs() { return fIndexDefs; }
  int32_t RecordSize() const { return fRecordSize; }
  const TIntegerAry& FieldOffsets() const { return fFieldOffsets; }
  int32_t AutoIncFieldNo() const { return fAutoIncFieldNo; }
  const TTableHeader& TableHeader() const { return fHeader; }
  const TIntegerAry& RecordTabBlocks() const { return fRecordTabBlocks; }
  const TIntegerAry& IndexTabBlocks(int indexNo) const { return fIndexTabBlocks.at(static_cast<size_t>(indexNo)); }

  // Bytes a field occupies in a record; the field's coding flags.
  int32_t FieldStoredSizeOf(int32_t fieldNo) const;
  bool FieldEncrypted(int32_t fieldNo) const;
  bool FieldCompressed(int32_t fieldNo) const;

 private:
  struct TKeySource;

  void Load();
  void LoadLists();
  // The summary of the record tab and index tabs of `header` as they are in
  // the file now.
  uint64_t ReadTabSummary(const TTableHeader& header);
  // The same summary of the tabs as this object believes the file holds them.
  uint64_t MemorySummary() const;
  // Reads the header and the lists again whatever they hold; after a failed
  // write, so that memory matches the file. Never throws: when the file
  // cannot be read the next operation reloads.
  void ReloadAfterFailure();
  void NotifyListeners(const void* writer);
  // Takes a torn append found at load out of the file. REQUIRES: the lock.
  void RepairTornRecord();
  // Links records that loading put back into a key order. REQUIRES: the lock.
  void RepairRelinks();
  bool RecordBlockIsZero(int32_t dataOffset);
  // Reload check and repair at the start of every write. REQUIRES: the lock.
  bool PrepareWrite();
  // Runs one write under the lock: the reload check and repair first, then
  // `body`; after a failure that reached the file, the table reloads. The
  // listeners other than `writer` are told afterwards.
  template <typename Body>
  void GuardedWrite(const void* writer, Body&& body);
  void AppendLocked(TFieldBuffers& buffers, const TAdjustCallback& adjust);
  void ModifyLocked(TFieldBuffers& buffers, const TRecordEntry& entry, const TAdjustCallback& adjust);

  // The steps of an append, in the order AppendLocked takes them.
  //
  // Where an appended record goes in one index: its list position and the
  // record it follows in key order (-1: it becomes the head).
  struct TIndexPlace {
    int32_t position = 0;
    int32_t predecessor = -1;
  };
  // The stored values of the new record (a field the buffers leave out is
  // zero, a blob empty: `emptyBlob`) and the stream of each blob field.
  void NewRecordValues(TFieldBuffers& buffers, TMemoryStream& emptyBlob, TKeySource& key,
                       std::vector<TMemoryStream*>& blobs);
  // Refuses a record number past the largest and an index without a tab.
  void CheckRoomForAppend(int32_t recordNo) const;
  // 0 in the auto-increment field takes the next counter value (written back
  // into the buffer too); a larger value raises the counter.
  void AssignAutoIncValue(TFieldBuffers& buffers, TKeySource& key);
  // 1. The record's tab item, in a new tab block every kTabItemsPerBlock
  // records; returns where the record's data goes.
  int64_t AppendRecordTabItem(int32_t recordNo);
  // 2. The record's place, reserved with zero bytes, then its blob values
  // after it, one after the other, then the complete record.
  void WriteNewRecord(int64_t recordOffset, const TKeySource& key, const std::vector<TMemoryStream*>& blobs);
  // 3. Per index, the record's place and its own index tab item (its
  // successor in key order), in a new tab block every kTabItemsPerBlock
  // records.
  std::vector<TIndexPlace> AppendIndexTabItems(int32_t recordNo, const TKeySource& key);
  // 4. The commit: the record tab offset, the record total and the
  // auto-increment counter in one write. From here the record is in the
  // table; an index that does not link it yet marks an append cut short,
  // which loading recognises.
  void CommitAppend(int32_t recordNo, int64_t recordOffset);
  // 5. One link per index: the predecessor's item, or the head.
  void LinkAppendedRecord(int32_t recordNo, const std::vector<TIndexPlace>& places);
  // 6. The lists, now that the file holds the record.
  void ListAppendedRecord(const TRecordEntry& entry, const std::vector<TIndexPlace>& places,
                          const TAdjustCallback& adjust);

  // The steps of a modify, in the order ModifyLocked takes them.
  //
  // A record's move in one index: from list position `from` to `to` (counted
  // without the record; `toFull` counted with it), after `predecessor`.
  struct TKeyMove {
    int32_t indexNo, from, to, toFull, predecessor;
  };
  // The old values of the non-blob fields as `block` holds them, the new
  // values (the old ones where the buffers leave a field alone) and which
  // fields the buffers write.
  void ModifiedRecordValues(TFieldBuffers& buffers, const TRecordEntry& entry, const std::vector<uint8_t>& block,
                            TKeySource& oldValues, TKeySource& key, std::vector<bool>& written);
  // 0 in the auto-increment field keeps the stored value; a larger value
  // raises the counter. True when the counter changed.
  bool KeepAutoIncValue(const TKeySource& oldValues, TKeySource& key, std::vector<bool>& written);
  // Encodes the written non-blob fields into `block` and writes the written
  // blob values (every part past the present end of the file first).
  void EncodeModifiedFields(TFieldBuffers& buffers, const TKeySource& key, const std::vector<bool>& written,
                            std::vector<uint8_t>& block);
  // Where the record goes in every index whose order it changes (nothing is
  // written; key comparisons read only the other records).
  std::vector<TKeyMove> PlanKeyMoves(const TKeySource& oldValues, const TKeySource& key,
                                     const std::vector<bool>& written, int32_t recordNo);

  void DeleteLocked(const TRecordEntry& entry);
  void Unload();
  void RequireOpen() const;
  void RequireWritable() const;
  [[noreturn]] void Damaged(const std::string& detail) const;

  void WriteHeaderRange(int32_t from, int32_t length);
  int64_t RecordItemPosition(int32_t recordNo) const;
  int64_t IndexItemPosition(int indexNo, int32_t recordNo) const;
  int32_t ReadIndexNext(int indexNo, int32_t recordNo);
  void WriteIndexItem(int indexNo, int32_t recordNo, int32_t next);

  // The sought key of index `indexNo` from the buffers' items.
  void KeyFromBuffers(const TFieldBuffers& buffers, int indexNo, TKeySource& key);
  void KeyFromBuffers(const TFieldBuffers& buffers, const std::vector<int32_t>& fieldNos, TKeySource& key);
  // Compares one field of a stored record with a sought value (as a key
  // comparison; `comparer` null compares as text).
  int CompareFieldValue(int32_t fieldNo, const std::vector<uint8_t>& sought, const TRecordEntry& entry, bool partial,
                        bool caseInsensitive, TKeyComparer* comparer);
  int CompareKey(const TKeySource& key, const TRecordEntry& entry, bool partial, int fieldCount, int indexNo);
  int SearchKey(const TKeySource& key, const TRecordList& list, bool partial, int fieldCount, int indexNo,
                int32_t& position);
  int32_t InsertPositionFor(const TKeySource& key, const TRecordList& list, int indexNo);
  void CheckUnique(const TKeySource& key, int32_t modifiedRecordNo);
  std::string KeyText(const TKeySource& key, int indexNo);

  // One blob value ready to be written: its encoded bytes with their zero
  // padding, where they go, and what the write check compares.
  struct TBlobWrite {
    int32_t fieldNo = 0;
    int64_t position = 0;
    std::vector<uint8_t> bytes;
    int32_t stored = 0;
    TMemoryStream plain;
    uint32_t expected = 0;
  };
  // Encodes the value, chooses its place (the end of the file being
  // `fileEnd`, which moves past the value when it goes there) and updates
  // the descriptor; writes nothing.
  void PlanBlobValue(int32_t fieldNo, TMemoryStream& value, uint8_t* descriptorBytes, bool append, int64_t& fileEnd,
                     TBlobWrite& plan);
  // Writes the planned bytes at or after `from` (all of them: 0), or before
  // it (`below`), then, when the write check is on and the value is whole,
  // reads it back.
  void WritePlannedBlob(TBlobWrite& plan, int64_t from, bool below);
  void CheckWrittenBlob(TBlobWrite& plan);
  void UnlinkRecord(int indexNo, int32_t recordNo, int32_t listPosition);
  void LinkAfter(int indexNo, int32_t recordNo, int32_t predecessor);

  TTomeDBFileIO* fFileIO;
  int32_t fOpenCount = 0;
  std::string fTableName;
  int32_t fTableNo = -1;

  TTomeFieldDefs fFieldDefs;
  TTomeIndexDefs fIndexDefs;
  int32_t fRecordSize = 0;
  TIntegerAry fFieldOffsets;
  int32_t fAutoIncFieldNo = -1;

  TTableHeader fHeader;
  std::vector<uint8_t> fHeaderBytes;  // fHeader encoded, as last read or written
  TRecordTabItems fRecordTabItems;
  TIntegerAry fRecordTabBlocks;
  std::vector<TIntegerAry> fIndexTabBlocks;
  std::vector<TRecordList> fRecordLists;
  uint64_t fTabSummary = 0;
  // A write changed the tabs since fTabSummary was taken. The summary is
  // taken again only when a change check needs it, so a table that no other
  // process can write (an exclusive file) never pays for it: hashing the
  // whole tabs after every append made building a large table quadratic.
  bool fTabSummaryStale = false;
  // Per index, the next numbers of its index tab items as in the file (the
  // summary is kept from them without reading the file again).
  std::vector<std::vector<int32_t>> fIndexNext;
  // A torn append found at load: its record number, and per index whether
  // the record was linked, after which record (-1: as the head) and before
  // which.
  struct TTornLink {
    bool linked = false;
    int32_t predecessor = -1;
    int32_t next = -1;
  };
  int32_t fTornRecord = -1;
  std::vector<TTornLink> fTornLinks;
  // (index number, record number) of records loading put back into a key
  // order that the file does not link yet.
  std::vector<std::pair<int, int32_t>> fRelinks;
  std::vector<std::pair<const void*, std::function<void()>>> fListeners;

  // Per index, one comparer per key field (null for a blob key field).
  std::vector<std::vector<std::unique_ptr<TKeyComparer>>> fComparers;
  // Per field, a comparer for comparisons outside an index (made on first use).
  std::vector<std::unique_ptr<TKeyComparer>> fFieldComparers;
  TMemoryStream fCompareValue;  // reused by every key comparison
  std::vector<uint8_t> fReadBlock;  // the record block read last
  std::vector<uint8_t> fReadPlain;  // its fields decoded, where fReadDecoded says
  std::vector<bool> fReadDecoded;
  bool fReadBlockValid = false;
  int32_t fReadBlockOffset = 0;
  int64_t fReadBlockEpoch = 0;
  int64_t fReadBlockWrites = 0;
  int64_t fRecordReadCount = 0;
  int64_t fFieldReadCount = 0;
};
