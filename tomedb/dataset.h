#pragma once
// The engine's datasets on the generic dataset framework:
//
//  - TTDBDataSet binds a dataset to a database and a session by name. Its
//    open finds (or has the session make) the database, connects it, counts
//    a use, attaches the dataset and checks access; its close detaches and
//    gives the use back.
//  - TTDEDataSet adds the record buffers and field data of the engine's
//    record layout, the filter (a filter expression and OnFilterRecord), and
//    the finds. The record list itself belongs to the concrete table
//    (table.h), which implements LoadRecord, ApplyFilter and RemoveFilter.
//
// Record buffer layout (RecordSize() bytes):
//   [0, DataSize())              each data field at its offset, in the stored
//                                form of a record; a blob field holds a
//                                4-byte slot number of its TOptimBlobStream,
//                                which the buffer owns
//   [DataSize(), +CalcFieldsSize) per calculated field a null-flag byte
//                                (0 null, 1 set) and its value
//   next 4 bytes                 the bookmark: the record number
//   last byte                    the bookmark flag
//
// Failures are EDatabaseError; those raised for the dataset carry its name.
// A dataset is used from one thread at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dataset/dataset.h"
#include "tomedb/fileio.h"
#include "tomedb/filter/exprparser.h"
#include "tomedb/tableio.h"

class TTomeDatabase;
class TTomeSession;

class TTDBDataSet : public TDataSet {
 public:
  explicit TTDBDataSet(TComponent* owner = nullptr);
  ~TTDBDataSet() override;

  const std::string& DatabaseName() const { return fDatabaseName; }
  // REQUIRES: the dataset is closed and holds no database ("Cannot perform
  // this operation on an open database").
  virtual void SetDatabaseName(const std::string& name);
  const std::string& SessionName() const { return fSessionName; }
  // REQUIRES: the dataset is closed.
  void SetSessionName(const std::string& name);

  // The database in use while open; null while closed.
  TTomeDatabase* Database() const { return fDatabase; }
  // The session named SessionName (the default session when empty);
  // "Invalid session name %s" when none has the name.
  TTomeSession* DBSession() const;

  // Finds or opens the database of DatabaseName in the session, without
  // counting a use, and gives it the password. Call before Open.
  void SetPassword(const std::string& password);

  // Called by the database: it disconnects, so the dataset closes.
  virtual void CloseDatabaseDataSet();
  // Called by the database after it connected or before it disconnects.
  virtual void DataBaseConnectionChanged(bool /*connected*/) {}

 protected:
  // Step 1 of an open: the database, connected and counted, with this
  // dataset attached and access checked.
  void OpenDatabaseLink();
  // The close's last step: detach and give the use back. Safe when the
  // open did not get that far.
  void CloseDatabaseLink();

 private:
  std::string fDatabaseName;
  std::string fSessionName;
  TTomeDatabase* fDatabase = nullptr;
};

class TTDEDataSet : public TTDBDataSet, public IFilterDataSet, public ITomeBlobHost {
 public:
  explicit TTDEDataSet(TComponent* owner = nullptr);
  ~TTDEDataSet() override;

  TTomeDBMediumType MediumType() const { return fMediumType; }
  // REQUIRES: the dataset is closed.
  void SetMediumType(TTomeDBMediumType value);
  // The database passes a new medium type on to its datasets.
  void SetMediumTypeFromDatabase(TTomeDBMediumType value) { fMediumType = value; }

  // Filter text, options and switch. While open, a new text is parsed before
  // it is stored (a text with an error changes nothing); when Filtered is on
  // the record list is rebuilt, and if that fails the previous text is put
  // back and the error passes on.
  void SetFilter(const std::string& text) override;
  void SetFilterOptions(TFilterOptions options) override;
  void SetFiltered(bool value) override;

  // Whether the record held in the filter buffer passes OnFilterRecord and
  // the filter expression (which must have been parsed).
  bool RecordFilter();

  bool CanModify() const override;

  // Field values in the current record buffer of the present state.
  bool GetFieldData(const TField& field, void* buffer) override;
  void SetFieldData(TField& field, const void* buffer) override;
  std::string ReadBlob(const TField& field) override;
  void WriteBlob(TField& field, std::string_view data) override;
  // A stream over a blob field of the current record; the caller owns it.
  // Raises "General error" for a field that is not a bound blob field.
  std::unique_ptr<TTomeBlobStream> CreateBlobStream(TField& field, TBlobStreamMode mode);

  // ---- Layout (valid while open) ----
  int32_t DataSize() const { return fDataSize; }
  int32_t RecordSize() const { return fRecordSize; }
  // Offset of the data field with that number inside a record buffer.
  int32_t FieldOffset(int32_t fieldNo) const { return fFieldOffsets.at(static_cast<size_t>(fieldNo)); }
  // Index into the record list; -1 before the first record.
  int32_t CurrentPosition() const { return fPosition; }

  // IFilterDataSet
  TFilterField FilterFieldByName(const std::string& name) override;
  std::string FilterFieldText(int32_t fieldIndex) override;
  const char* FilterRecordBuffer() override;
  int32_t FilterFieldOffset(int32_t fieldIndex) override;

  // ITomeBlobHost
  TOptimBlobStream* ActiveBlobStream(int32_t fieldNo) override;
  void MarkFieldModified(int32_t fieldNo) override;
  void FieldDataChanged(int32_t fieldNo) override;

 protected:
  // The buffer of the present state: browse the active buffer (none when
  // empty); edit, insert, new-value the active buffer; set-key the key
  // buffer; calc-fields the calculation buffer; filter the filter buffer.
  virtual TRecordBuffer GetCurrentRecordBuffer() const;
  // Builds the filtered record list / restores the full one.
  virtual void ApplyFilter() {}
  virtual void RemoveFilter() {}
  // Reads the record at `position` of the record list into `buffer`.
  virtual void LoadRecord(TRecordBuffer /*buffer*/, int32_t /*position*/) {}
  // Entries in the record list (the finds scan it).
  virtual int32_t RecordListCount() const { return 0; }
  // A scan of the record list that tests records one by one in `buffer` (a
  // find, or the build of a filtered list), after the filter was parsed.
  // ScanRecord loads at least what the filter reads (the record found is
  // loaded whole afterwards by the resynchronisation). ScanSkip, asked after
  // each ScanRecord, gives `position` when the record may be accepted, or
  // else the position at which the scan goes on in its direction (outside
  // the list: the scan ends), passing over records that cannot be accepted.
  // EndScan runs after every BeginScan, also on an error, and may run again.
  virtual void BeginScan(TRecordBuffer /*buffer*/) {}
  virtual void ScanRecord(TRecordBuffer buffer, int32_t position) { LoadRecord(buffer, position); }
  virtual int32_t ScanSkip(int32_t position, bool /*forward*/) { return position; }
  virtual void EndScan() {}

  // Computes DataSize, RecordSize and the field offsets from the bound
  // field objects, and allocates the spare buffers as new records.
  // REQUIRES: fields bound (BindFields(true)).
  void PrepareRecordLayout();
  void FreeSpareBuffers();
  // The blob stream of a blob field in `buffer`.
  TOptimBlobStream* BlobStreamOf(TRecordBuffer buffer, int32_t fieldNo) const;
  // One item per field of `table` in field-number order: fields with a field
  // object point into `buffer`, the others are inactive.
  void FillFieldBuffers(TTomeTableIO& table, TRecordBuffer buffer, TFieldBuffers& buffers) const;
  // Points items that FillFieldBuffers made (for any buffer of this dataset
  // while it stays open) at `buffer`, keeping their Active flags; fills them
  // when they do not match the table.
  void PointFieldBuffers(TTomeTableIO& table, TRecordBuffer buffer, TFieldBuffers& buffers) const;
  // Parses the filter text when it is not empty.
  void ParseFilter();

  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  int32_t GetRecordSize() const override { return fRecordSize; }
  void GetBookmarkData(TRecordBuffer buffer, void* data) override;
  void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
  void InternalInitRecord(TRecordBuffer buffer) override;
  void ClearCalcFields(TRecordBuffer buffer) override;
  bool FindRecord(bool restart, bool goForward) override;

  TTomeDBMediumType fMediumType = mtDisk;
  TFilterParser fFilterParser{this};
  int32_t fPosition = -1;
  int32_t fDataSize = 0;
  int32_t fRecordSize = 0;
  std::vector<int32_t> fFieldOffsets;  // by field number; [0] unused
  std::vector<TField*> fFieldByNumber;  // by field number; null for fields without an object
  // The second and the third hold the lower and the upper key of a range.
  TRecordBuffer fSpareBuffers[4] = {nullptr, nullptr, nullptr, nullptr};
  TRecordBuffer fKeyBuffer = nullptr;
  TRecordBuffer fFilterBuffer = nullptr;
  bool fCanModify = false;
  // The filter text whose tree the parser holds, while that tree may be
  // evaluated again (see ParseFilter).
  std::string fParsedFilter;
  bool fParsedValid = false;

 private:
  std::unordered_map<TRecordBuffer, std::vector<std::unique_ptr<TOptimBlobStream>>> fBlobStreams;
};
