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
// For editing (posting, deleting, ranges, Locate) the protected members
// below give the record list, the order in use and the table I/O object; a
// write through the table I/O object reports each changed order through the
// adjust callback, and AdjustAfterAppend/AdjustAfterModify keep the copy in
// step for the order in use.
//
// Ownership: the table belongs to its owner component; its TTomeTableIO
// belongs to the database. Threading: one thread at a time.

#include <cstdint>
#include <functional>
#include <string>

#include "dataset/fielddefs.h"
#include "tomedb/dataset.h"
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

  // Raised for every record tested while a filtered list is built (0-99).
  TFilterProgressEvent OnFilterProgress;

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

  std::string fTableName;
  TIndexDefs fIndexDefs;
  std::string fIndexName;
  int32_t fIndexNo = -1;
  TRecordList fRecordList;
  bool fReadOnly = false;
  TTomeTableIO* fTableIO = nullptr;

 private:
  void WriteRecord(TRecordBuffer buffer, bool append);
};
