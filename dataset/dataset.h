#pragma once
// TDataSet: the record cursor that table datasets are built on.
//
// A dataset shows one record at a time, the active record, out of a window of
// record buffers that it fills by asking the concrete dataset for the current,
// next or prior record (GetRecord). The concrete dataset owns the underlying
// cursor; TDataSet keeps the buffers in step with it:
//
//  - The window holds BufferCount() buffers plus one scratch buffer that
//    receives each fetch. Buffers [0, recordCount) hold consecutive records in
//    cursor order; ActiveBuffer() is the one the fields read.
//  - The concrete cursor stands on the record of one buffer (the "current"
//    buffer) or nowhere in particular after CursorPosChanged(). Before any
//    fetch and before a write, UpdateCursorPos() puts it back on the active
//    record through the buffer's bookmark flag and bookmark (InternalSetToRecord,
//    InternalFirst for bfBOF, InternalLast for bfEOF).
//  - Resync() refills the window around the cursor after the concrete dataset
//    moved it on its own (a post, a delete, a refresh, a bookmark).
//
// States: inactive until Open; browse while moving; edit and insert while a
// record is changed in the active buffer; set-key, filter and new-value are
// entered by concrete datasets while they fill key buffers, test records or
// set up new records; calc-fields while OnCalcFields runs. Writing a field is
// refused outside the states that accept values.
//
// Failures are EDatabaseError with the dataset's name before the message
// ("Table1: Field 'x' not found"). A dataset is used from one thread at a time.
//
// What a concrete dataset implements is the protected "cursor interface"
// below; everything else is provided here.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/component.h"
#include "core/errors.h"
#include "dataset/fielddefs.h"
#include "dataset/fields.h"
#include "dataset/filteroptions.h"
#include "dataset/variant.h"

enum TDataSetState {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
  dsOpening,
};

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };

// Where a record buffer stands: on a record of the cursor, before the first or
// after the last record (an appended record not yet posted), or inserted
// before the record that its bookmark names.
enum TBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };

enum TDataEvent {
  deFieldChange,
  deRecordChange,
  deDataSetChange,
  deDataSetScroll,
  deLayoutChange,
  deUpdateRecord,
  deUpdateState,
  deCheckBrowseMode,
};

// What an On...Error handler wants after a failed post, edit or delete.
enum TDataAction { daFail, daAbort, daRetry };

enum TResyncMode : unsigned { rmExact = 1, rmCenter = 2 };
using TResyncModes = unsigned;

enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = unsigned;

using TRecordBuffer = uint8_t*;
// A bookmark: BookmarkSize() bytes naming a record; empty when there was none.
using TBookmark = std::vector<uint8_t>;

class TDataSource;

class TDataSet : public TComponent {
 public:
  using TDataSetNotifyEvent = std::function<void(TDataSet& dataSet)>;
  using TFilterRecordEvent = std::function<void(TDataSet& dataSet, bool& accept)>;
  using TDataSetErrorEvent = std::function<void(TDataSet& dataSet, EDatabaseError& error, TDataAction& action)>;

  explicit TDataSet(TComponent* owner = nullptr);
  // A concrete dataset that overrides the record-buffer allocation or needs
  // its own state to close must call CloseForDestruction() in its own
  // destructor: virtual calls no longer reach it here.
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  // Name() (the component's) stands before every message raised on the
  // dataset's behalf.

  // --- Opening and closing ---
  // Open: BeforeOpen, the concrete open, the first records fetched, the
  // browse state, AfterOpen and (with records) AfterScroll. A failing open
  // leaves the dataset closed and passes the error on.
  void Open() { SetActive(true); }
  // Close: BeforeClose, changes not posted are dropped, AfterClose.
  void Close() { SetActive(false); }
  bool Active() const { return state_ != dsInactive && state_ != dsOpening; }
  void SetActive(bool value);
  TDataSetState State() const { return state_; }

  // --- Moving ---
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves up to `distance` records (negative: backward); gives how far it
  // moved. Reaching an end sets Eof or Bof.
  int MoveBy(int distance);
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool IsEmpty() const { return activeRecord_ >= recordCount_; }
  virtual int RecordCount() const = 0;
  // 1-based position of the active record.
  virtual int RecNo() const = 0;
  virtual void SetRecNo(int value) = 0;

  // --- Bookmarks ---
  // The active record's bookmark; empty when the dataset is closed, empty, or
  // the active record is not yet posted.
  TBookmark GetBookmark();
  // Makes the bookmarked record active. A bookmark of the wrong size is
  // refused ("Invalid bookmark") before the concrete dataset sees it.
  void GotoBookmark(const TBookmark& bookmark);
  int BookmarkSize() const { return bookmarkSize_; }

  // --- Finding (FindRecord of the concrete dataset) ---
  bool FindFirst() { return FindRecord(true, true); }
  bool FindNext() { return FindRecord(false, true); }
  bool FindPrior() { return FindRecord(false, false); }
  bool FindLast() { return FindRecord(true, false); }
  bool Found() const { return found_; }

  // --- Editing ---
  void Edit();
  void Insert();
  void Append();
  virtual void Post();
  virtual void Cancel();
  void Delete();
  // A record with these values in field order, inserted or appended and
  // posted at once. Null values leave the new record's value.
  void InsertRecord(const std::vector<Variant>& values) { AddRecord(values, false); }
  void AppendRecord(const std::vector<Variant>& values) { AddRecord(values, true); }
  // Tells the data links to write pending values into the record.
  // REQUIRES: edit, insert or set-key state.
  void UpdateRecord();
  bool Modified() const { return modified_; }
  void Refresh();
  virtual bool CanModify() const { return true; }
  // Moves to the first record whose key fields (names separated by ";") hold
  // the key values (one value, or an array with one element per field).
  virtual bool Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options);
  // The result fields' values (an array for several) of the record Locate
  // would find, without moving; Null when there is none.
  virtual Variant Lookup(std::string_view keyFields, const Variant& keyValues, std::string_view resultFields);

  // --- Fields ---
  TFields& Fields() { return fields_; }
  const TFields& Fields() const { return fields_; }
  TFieldDefs& FieldDefs() { return fieldDefs_; }
  const TFieldDefs& FieldDefs() const { return fieldDefs_; }
  int FieldCount() const { return fields_.Count(); }
  TField& FieldByName(std::string_view name) const { return fields_.FieldByName(name); }
  TField* FindField(std::string_view name) const { return fields_.FindField(name); }
  // Adds a field object of the caller's choice (persistent fields); the
  // dataset owns it. Without any, Open creates one per field definition.
  // REQUIRES: the dataset is closed.
  TField& AddField(std::unique_ptr<TField> field);
  // The fields named in `names`, separated by ";" (blanks around names are
  // ignored); raises for an unknown name.
  std::vector<TField*> GetFieldList(std::string_view names) const;
  // True while the field objects were made by Open and die at Close.
  bool DefaultFields() const { return defaultFields_; }
  int32_t CalcFieldsSize() const { return calcFieldsSize_; }
  bool AutoCalcFields() const { return autoCalcFields_; }
  void SetAutoCalcFields(bool value) { autoCalcFields_ = value; }

  // --- Filtering (the concrete dataset applies it) ---
  const std::string& Filter() const { return filter_; }
  virtual void SetFilter(const std::string& text) { filter_ = text; }
  bool Filtered() const { return filtered_; }
  virtual void SetFiltered(bool value) { filtered_ = value; }
  TFilterOptions FilterOptions() const { return filterOptions_; }
  virtual void SetFilterOptions(TFilterOptions options) { filterOptions_ = options; }

  // --- Data sources ---
  // The data source this dataset follows as a detail (its master link), or nullptr.
  virtual TDataSource* GetDataSource() const { return nullptr; }
  // True when `source`'s dataset is this dataset or follows it through a chain
  // of masters; making this dataset a detail of `source` would be a circle.
  bool IsLinkedTo(const TDataSource* source) const;

  // --- Field value access, used by the field objects ---
  // Copies the field's native value into `buffer` (DataSize() bytes); false
  // when the field has no value in the present state.
  virtual bool GetFieldData(const TField& field, void* buffer) = 0;
  // Writes the native value (nullptr: empty) and, where the state calls for
  // it, reports the change with DataEvent(deFieldChange, &field).
  virtual void SetFieldData(TField& field, const void* buffer) = 0;
  // A blob field's whole value, and writing it anew.
  virtual std::string ReadBlob(const TField& field);
  virtual void WriteBlob(TField& field, std::string_view data);

  // --- Events ---
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
  TDataSetNotifyEvent OnCalcFields, OnNewRecord;
  TFilterRecordEvent OnFilterRecord;
  TDataSetErrorEvent OnPostError, OnEditError, OnDeleteError;

 protected:
  // ===== The cursor interface: what a concrete dataset implements =====

  // Record buffers of GetRecordSize() bytes; the default allocates zeroed
  // bytes. A dataset that keeps objects per buffer overrides both.
  virtual TRecordBuffer AllocRecordBuffer();
  virtual void FreeRecordBuffer(TRecordBuffer& buffer);
  virtual int32_t GetRecordSize() const = 0;
  // Fetches the current, next or prior record of the cursor into `buffer`,
  // moving the cursor for next and prior, and computes its calculated fields
  // (GetCalcFields). Gives grBOF or grEOF at the ends. For gmCurrent with
  // `doCheck` a cursor on no record is an error the dataset raises.
  virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) = 0;

  // Opens the cursor: field definitions, field objects (CreateFields when
  // DefaultFields(), then BindFields(true)), record layout, bookmark size.
  // The cursor is left before the first record.
  virtual void InternalOpen() = 0;
  // Releases what InternalOpen made. Also called after a failed open, so it
  // must cope with a half-open dataset.
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() const = 0;
  // Puts the cursor before the first record or after the last one.
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;

  // Bookmark and bookmark flag kept in each record buffer.
  virtual void GetBookmarkData(TRecordBuffer buffer, void* data) = 0;
  virtual void SetBookmarkData(TRecordBuffer buffer, const void* data) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) = 0;
  virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
  // Puts the cursor on the bookmarked record (raises when it is gone).
  virtual void InternalGotoBookmark(const void* bookmark) = 0;
  // Puts the cursor on the record held in `buffer`; by default through the
  // buffer's bookmark.
  virtual void InternalSetToRecord(TRecordBuffer buffer);

  // Sets up a new record's values in `buffer`.
  virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
  // Clears the calculated area of `buffer`.
  virtual void ClearCalcFields(TRecordBuffer buffer) = 0;
  // Hooks around the state changes; Edit may reread the record.
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalCancel() {}
  // Writes the active buffer: a new record in the insert state (after the
  // record its bookmark names; at the end when its flag is bfEOF), the record
  // under the cursor in the edit state. Leaves the cursor on the written record.
  virtual void InternalPost() = 0;
  // Deletes the record under the cursor and leaves the cursor where the next
  // Resync should find a neighbour.
  virtual void InternalDelete() = 0;
  // Writes `buffer` as a new record at once (InsertRecord, AppendRecord).
  virtual void InternalAddRecord(TRecordBuffer buffer, bool append) = 0;
  // Rereads the records (Refresh); the cursor stays as near as it can.
  virtual void InternalRefresh() {}
  // Scans for the next record that passes the filter, from the first or last
  // record (`restart`) or from the active one, forward or backward; moves
  // there, sets Found() and gives it.
  virtual bool FindRecord(bool restart, bool goForward) = 0;

  // ===== Services for concrete datasets =====

  void SetState(TDataSetState value);
  void CheckActive() const;
  void CheckInactive() const;
  // Posts or cancels a pending edit (with DataEvent(deCheckBrowseMode)).
  virtual void CheckBrowseMode();
  void CheckCanModify() const;
  void SetBookmarkSize(int size) { bookmarkSize_ = size; }
  void SetFound(bool value) { found_ = value; }

  // The buffer of the active record; valid while the dataset is open.
  TRecordBuffer ActiveBuffer() const { return buffers_.empty() ? nullptr : buffers_[activeRecord_]; }
  // A spare buffer that no window row uses, for lookups.
  TRecordBuffer TempBuffer() const { return tempBuffer_; }
  // The buffer whose calculated fields are being computed (calc-fields state).
  TRecordBuffer CalcBuffer() const { return calcBuffer_; }
  int BufferCount() const { return bufferCount_; }
  // The buffer of window row `row` (0 .. BufferedRecordCount() - 1).
  TRecordBuffer WindowBuffer(int row) const { return buffers_.at(static_cast<size_t>(row)); }
  // Number of window rows that hold records, and the active one among them.
  int BufferedRecordCount() const { return recordCount_; }
  int ActiveRecord() const { return activeRecord_; }
  // Changes the window size; refetches around the active record while open.
  void SetBufferCount(int count);

  // Puts the concrete cursor on the active record if it stands elsewhere.
  void UpdateCursorPos();
  // Forgets which buffer the cursor stands on (it moved on its own).
  void CursorPosChanged() { currentRecord_ = -1; }
  // Refills the window from the cursor's record. rmExact: that record must
  // exist ("Record not found"); otherwise the nearest record is taken, and
  // none at all empties the window. rmCenter puts it mid-window.
  virtual void Resync(TResyncModes mode);
  // Empties the window: no records, Bof and Eof.
  void ClearBuffers();
  // Runs OnCalcFields for `buffer` in the calc-fields state when the dataset
  // has calculated fields.
  void GetCalcFields(TRecordBuffer buffer);

  // Field objects: one per field definition (REQUIRES: none exist yet), then
  // bound (field numbers from the definitions, calculated-area offsets) or
  // unbound. Binding raises for a persistent data field with no definition
  // or of another type or size.
  void CreateFields();
  void BindFields(bool binding);
  void DestroyFields();

  // Opening and closing the cursor, as Open and Close run them: OpenCursor
  // calls InternalOpen, allocates the window and fetches the first records;
  // CloseCursor frees the window, calls InternalClose, unbinds the fields and
  // destroys default fields. A concrete dataset may wrap them (attach to and
  // detach from what it opens through) and must call the base.
  virtual void OpenCursor();
  virtual void CloseCursor();
  // Closes without BeforeClose and AfterClose: for a concrete dataset's
  // destructor, when the program's handlers may already be gone. Data links
  // still hear that the dataset closed.
  void CloseForDestruction();

  // Tells the data sources (and the dataset itself) what happened.
  virtual void DataEvent(TDataEvent event, TField* field = nullptr);

  virtual void DoBeforeOpen() { Fire(BeforeOpen); }
  virtual void DoAfterOpen() { Fire(AfterOpen); }
  virtual void DoBeforeClose() { Fire(BeforeClose); }
  virtual void DoAfterClose() { Fire(AfterClose); }
  virtual void DoBeforeInsert() { Fire(BeforeInsert); }
  virtual void DoAfterInsert() { Fire(AfterInsert); }
  virtual void DoBeforeEdit() { Fire(BeforeEdit); }
  virtual void DoAfterEdit() { Fire(AfterEdit); }
  virtual void DoBeforePost() { Fire(BeforePost); }
  virtual void DoAfterPost() { Fire(AfterPost); }
  virtual void DoBeforeCancel() { Fire(BeforeCancel); }
  virtual void DoAfterCancel() { Fire(AfterCancel); }
  virtual void DoBeforeDelete() { Fire(BeforeDelete); }
  virtual void DoAfterDelete() { Fire(AfterDelete); }
  virtual void DoBeforeScroll() { Fire(BeforeScroll); }
  virtual void DoAfterScroll() { Fire(AfterScroll); }
  virtual void DoBeforeRefresh() { Fire(BeforeRefresh); }
  virtual void DoAfterRefresh() { Fire(AfterRefresh); }
  virtual void DoOnCalcFields() { Fire(OnCalcFields); }
  virtual void DoOnNewRecord() { Fire(OnNewRecord); }

 private:
  friend class TDataSource;

  void Fire(const TDataSetNotifyEvent& event) {
    if (event) event(*this);
  }
  void AllocateBuffers(int count);
  void FreeBuffers();
  void SetCurrentRecord(int index);
  void ActivateBuffers();
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  // Moves the buffer at `from` to `to`, shifting the ones between.
  void MoveBuffer(int from, int to);
  void InitRecord(TRecordBuffer buffer);
  void BeginInsertAppend();
  void EndInsertAppend();
  void AddRecord(const std::vector<Variant>& values, bool append);
  void CheckOperation(void (TDataSet::*operation)(), const TDataSetErrorEvent& onError);

  TDataSetState state_ = dsInactive;
  TFieldDefs fieldDefs_;
  TFields fields_;
  bool defaultFields_ = false;
  int32_t calcFieldsSize_ = 0;
  bool autoCalcFields_ = true;
  bool modified_ = false;
  bool found_ = false;
  int bookmarkSize_ = 0;

  // The window: bufferCount_ rows plus the scratch buffer at the end.
  std::vector<TRecordBuffer> buffers_;
  int bufferCount_ = 1;
  int recordCount_ = 0;
  int activeRecord_ = 0;
  int currentRecord_ = -1;
  bool bof_ = true;
  bool eof_ = true;
  TRecordBuffer tempBuffer_ = nullptr;
  TRecordBuffer calcBuffer_ = nullptr;

  std::string filter_;
  bool filtered_ = false;
  TFilterOptions filterOptions_ = 0;

  std::vector<TDataSource*> dataSources_;
};
