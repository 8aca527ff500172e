#pragma once
// TTomeTable: a record cursor over one table of a database file, in the
// order of one of its indexes, with field access through the dataset
// framework, filtering by a filter expression or OnFilterRecord, finds, and
// appending, changing and deleting records.
//
// The table keeps its own copy of one record list of the table I/O object
// (tableio.h): the stored order or an index order, narrowed by the filter
// while Filtered is on. Moving, RecordCount and RecNo work on that copy and
// never touch the file; records are read from the file as the cursor reaches
// them. A filtered list is built once, when the filter is applied; records
// appended afterwards join the list without being tested.
//
// Typical use:
//   TTomeTable table(owner);
//   table.SetDatabaseName(path);      // first: it empties TableName/IndexName
//   table.SetPassword(password);
//   table.SetTableName("lottery");
//   table.SetIndexName("loterynameindex");
//   table.Open();
//   table.SetFilter("country='Spain'");
//   for (bool ok = table.FindFirst(); ok; ok = table.FindNext())
//     use(table.FieldByName("lotteryname").AsString());
//
// Posting and deleting write through the table I/O object, which reports
// each changed order; the table keeps its copy of the list in step for the
// order in use. Locate and Lookup search an index whose key fields are the
// sought fields, or scan the record list when no index fits. With
// MasterSource and MasterFields set and an index in use, the record list is
// narrowed to the records whose leading key fields equal the master's
// fields (a range), and follows the master as it moves.
//
// Ownership: the table belongs to its owner component; its TTomeTableIO
// belongs to the database. Threading: one thread at a time.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dataset/datasource.h"
#include "dataset/fielddefs.h"
#include "tomedb/dataset.h"
#include "tomedb/filter/exprnode.h"
#include "tomedb/tableio.h"

class TTomeTable : public TTDEDataSet {
 public:
  using TFilterProgressEvent = std::function<void(TTomeTable& sender, int percent)>;

  explicit TTomeTable(TComponent* owner = nullptr);
  ~TTomeTable() override;

  // Also empties TableName and IndexName, so they are set after it.
  void SetDatabaseName(const std::string& name) override;
  const std::string& TableName() const { return fTableName; }
  // REQUIRES: closed. Matched against the database's tables at open
  // (letter case ignored; "Table '%s' not found").
  void SetTableName(const std::string& name);
  const std::string& IndexName() const { return fIndexName; }
  // May change at any time; while open the order switches at once and the
  // cursor goes to the first record (the filter is applied again when on).
  // A name no index has selects the first primary index, or the stored
  // order when there is none; it is no error.
  void SetIndexName(const std::string& name);
  // The index in use (-1: stored order).
  int32_t IndexNo() const { return fIndexNo; }
  // The table's indexes, filled at open.
  TIndexDefs& IndexDefs() { return fIndexDefs; }
  bool ReadOnly() const { return fReadOnly; }
  // REQUIRES: closed.
  void SetReadOnly(bool value);

  int RecordCount() const override;
  // 1-based position in the record list; 1 before the first record when
  // there are records, 0 when there are none.
  int RecNo() const override;
  void SetRecNo(int value) override;
  bool CanModify() const override;

  // Posts an edited or new record; in the set-key state it only returns to
  // browse.
  void Post() override;

  // Finds the first record of the record list whose fields `keyFields`
  // (names separated by ";") hold `keyValues` (one value, or an array with
  // one element per field) and makes it current. Uses an index whose key
  // fields are exactly those fields in that order (for text keys, one that
  // ignores letter case exactly when loCaseInsensitive is asked for), and
  // scans the record list otherwise.
  bool Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) override;
  // The values of `resultFields` (an array for several) of the record Locate
  // would find, without moving; Null when there is none.
  Variant Lookup(std::string_view keyFields, const Variant& keyValues, std::string_view resultFields) override;

  // The master of a master-detail range. Setting a source whose dataset is
  // this table, or leads back to it, raises "Circular datalinks are not
  // allowed". The source must outlive the link or be unset first.
  TDataSource* MasterSource() const { return fMasterLink.DataSource(); }
  void SetMasterSource(TDataSource* source);
  // The master's fields (names separated by ";") that the leading key fields
  // of the index in use must equal.
  const std::string& MasterFields() const { return fMasterLink.FieldNames(); }
  void SetMasterFields(const std::string& names) { fMasterLink.SetFieldNames(names); }
  TDataSource* GetDataSource() const override { return fMasterLink.DataSource(); }
  // Whether a range narrows the record list, and over how many key fields.
  bool RangeActive() const { return fRangeActive; }
  int KeyFieldCount() const { return fKeyFieldCount; }

  // Raised for every record tested while a filtered list is built (0-99).
  TFilterProgressEvent OnFilterProgress;

  // Range finds (on by default): when the filter's top-level AND terms
  // compare the leading key fields of the index in use with "=" against
  // constants, and each comparison means exactly what the index's order
  // means, the finds and the filtered list test only the records of that
  // key range; the results and their order are those of the full scan.
  // Switching them off makes every scan test every record.
  bool RangeFinds() const { return fRangeFinds; }
  void SetRangeFinds(bool value) { fRangeFinds = value; }

  // The table I/O object while open.
  TTomeTableIO* TableIO() const { return fTableIO; }
  // The record list in use (read-only view; valid until the next change).
  const TRecordList& RecordList() const { return fRecordList; }

 protected:
  // Copies the record list of the order named by IndexName and makes it
  // current; CanModify becomes true.
  void SelectOrder();
  // Keep the record list in step after the table I/O object wrote a record
  // (see TTomeTableIO::TAdjustCallback); `buffers` hold the record's values.
  void AdjustAfterAppend(const TRecordEntry& entry, int32_t reportedPosition, TFieldBuffers& buffers);
  // Key search of the record list in use for the place of the values in
  // `buffers` (after equal keys).
  int32_t InsertPositionInList(TFieldBuffers& buffers);
  // The position in list 0 of the record at `position` of the record list.
  int32_t StoredPosition(int32_t position) const;

  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return fTableIO != nullptr; }
  void InternalFirst() override { fPosition = -1; }
  void InternalLast() override { fPosition = static_cast<int32_t>(fRecordList.size()); }
  void InternalGotoBookmark(const void* bookmark) override;
  void InternalPost() override;
  void InternalDelete() override;
  void InternalAddRecord(TRecordBuffer buffer, bool append) override;
  void InternalRefresh() override;
  void DoAfterOpen() override;

  void ApplyFilter() override;
  void RemoveFilter() override;
  void LoadRecord(TRecordBuffer buffer, int32_t position) override;
  int32_t RecordListCount() const override { return static_cast<int32_t>(fRecordList.size()); }
  void BeginScan(TRecordBuffer buffer) override;
  void ScanRecord(TRecordBuffer buffer, int32_t position) override;
  int32_t ScanSkip(int32_t position, bool forward) override;
  void EndScan() override;

  std::string fTableName;
  TIndexDefs fIndexDefs;
  std::string fIndexName;
  int32_t fIndexNo = -1;
  TRecordList fRecordList;
  bool fReadOnly = false;
  TTomeTableIO* fTableIO = nullptr;

 private:
  void WriteRecord(TRecordBuffer buffer, bool append);
  // The table I/O object's lists changed under this table (another process's
  // write, or another table on the same table I/O object): the record list
  // is copied anew, staying on the same record. While a record is edited the
  // copy waits until the edit is written.
  void FollowTableIO();
  // Applies a change that came while this table wrote, once that is safe.
  void FollowDeferred();
  bool fFollowPending = false;
  bool fWriting = false;  // inside this table's own write
  // Whether new and changed records find their place by key search (a
  // filtered list or a range) rather than by the reported place.
  bool ListNarrowed() const { return Filtered() || fRangeActive; }

  // The position in the record list of the record Locate and Lookup look
  // for, or -1; the record's values are left in the temporary buffer's key
  // fields only.
  int32_t LocateRecord(std::string_view keyFields, const Variant& keyValues, TLocateOptions options);
  // The index whose key fields are `fieldNos` in that order and whose letter
  // case handling suits `caseInsensitive` for text keys; -1 when none.
  int MatchingIndex(const std::vector<int32_t>& fieldNos, bool caseInsensitive) const;

  // Runs `body` in `state` (filter or set-key) with `buffer` as that state's
  // record buffer, and returns to browse afterwards, also on an error.
  template <typename F>
  void InStateWithBuffer(TDataSetState state, TRecordBuffer buffer, F&& body);

  // The master moved or changed its fields: the range is built anew.
  void MasterChanged();
  // The master link stopped: the range is cancelled.
  void MasterDisabled();
  // Fills the lower and upper range keys from the master fields and narrows
  // the record list (the index's full list) to the range. False when the
  // index's list is empty and nothing changed.
  bool BuildRange();

  // Finds the filter's key terms for the index in use (see SetRangeFinds)
  // and keeps them in fScanKey; none when no range applies.
  void PrepareKeyRange();
  // The stored form of the constant `value` as a key value of table field
  // `fieldNo`, when "field = value" in the filter means what equal keys of
  // index `indexNo` mean; false otherwise.
  bool KeyValueOf(int32_t fieldNo, const TExprNode& field, const TExprNode& value, int indexNo,
                  std::vector<uint8_t>& out) const;

  bool fRangeFinds = true;
  // State of one scan: the file lock is held from BeginScan to EndScan, and
  // the record is read through fScanBuffers, which name only the fields the
  // filter reads.
  bool fScanLocked = false;
  bool fBuildingFilter = false;  // the scan builds the filtered list
  TFieldBuffers fScanBuffers;
  TFieldBuffers fLoadBuffers;  // every field, for LoadRecord
  // The sought values of the leading key fields (empty: no range), the
  // table field of each, and their comparers.
  struct TScanKey {
    std::vector<std::vector<uint8_t>> values;
    std::vector<int32_t> fields;
    std::vector<std::unique_ptr<TKeyComparer>> comparers;
    TFilterOptions options = 0;
    bool descending = false;
  } fScanKey;
  // What fScanBuffers and fScanKey were prepared for (valid: prepared).
  struct TScanSetup {
    std::string filter;
    TFilterOptions options = 0;
    int32_t indexNo = -1;
    bool handler = false;
    bool progress = false;
    bool rangeFinds = false;
    bool valid = false;
    bool operator==(const TScanSetup&) const = default;
  } fScanSetup;

  TMasterDataLink fMasterLink{*this};
  bool fRangeActive = false;
  int fKeyFieldCount = 0;
};
