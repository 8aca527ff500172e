#pragma once
// TMemoryDataSet: a dataset over records held in a vector, implementing the
// cursor interface the way a table dataset does (a record list of record
// numbers in order, a position in it, a 4-byte bookmark holding the record
// number, the bookmark flag after it). Tests use it to drive the framework.

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "dataset/dataset.h"

class TMemoryDataSet : public TDataSet {
 public:
  struct Column {
    std::string name;
    TFieldType type;
    int32_t size = 0;
  };

  explicit TMemoryDataSet(std::vector<Column> columns, std::string name = "Memory1");
  ~TMemoryDataSet() override { CloseForDestruction(); }

  // Stores a record directly (no events), values in column order; usable
  // while open or closed. Gives its record number.
  int AddRow(const std::vector<Variant>& values);
  // A stored value read back directly, bypassing the cursor.
  Variant StoredValue(int recordNumber, int column) const;
  int LiveRecordCount() const;

  void SetReadOnly(bool value) { readOnly_ = value; }
  // The source this dataset follows as a detail (for the circle check).
  TDataSource* masterSource = nullptr;
  TDataSource* GetDataSource() const override { return masterSource; }
  void SetWindowSize(int count) { SetBufferCount(count); }
  int WindowRows() const { return BufferedRecordCount(); }
  int WindowActiveRow() const { return ActiveRecord(); }
  // The record number held in window row `row`.
  int RowRecordNumber(int row) const;
  bool IsCursorOpenForTest() const { return open_; }
  // Counts of cursor-interface calls, for tests of the protocol.
  int getRecordCalls = 0;
  int setToRecordCalls = 0;
  // When set, the next InternalPost raises this message once.
  std::string failNextPost;

  int RecordCount() const override { return static_cast<int>(list_.size()); }
  int RecNo() const override;
  void SetRecNo(int value) override;
  bool CanModify() const override { return !readOnly_; }
  void SetFiltered(bool value) override;

  bool GetFieldData(const TField& field, void* buffer) override;
  void SetFieldData(TField& field, const void* buffer) override;
  std::string ReadBlob(const TField& field) override;
  void WriteBlob(TField& field, std::string_view data) override;

 protected:
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  int32_t GetRecordSize() const override { return recordSize_; }
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return open_; }
  void InternalFirst() override { position_ = -1; }
  void InternalLast() override { position_ = static_cast<int>(list_.size()); }
  void GetBookmarkData(TRecordBuffer buffer, void* data) override {
    std::memcpy(data, buffer + recordSize_ - 5, 4);
  }
  void SetBookmarkData(TRecordBuffer buffer, const void* data) override {
    std::memcpy(buffer + recordSize_ - 5, data, 4);
  }
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override {
    return static_cast<TBookmarkFlag>(buffer[recordSize_ - 1]);
  }
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override { buffer[recordSize_ - 1] = flag; }
  void InternalGotoBookmark(const void* bookmark) override;
  void InternalSetToRecord(TRecordBuffer buffer) override {
    ++setToRecordCalls;
    TDataSet::InternalSetToRecord(buffer);
  }
  void InternalInitRecord(TRecordBuffer buffer) override;
  void ClearCalcFields(TRecordBuffer buffer) override;
  void InternalPost() override;
  void InternalDelete() override;
  void InternalAddRecord(TRecordBuffer buffer, bool append) override;
  void InternalRefresh() override;
  bool FindRecord(bool restart, bool goForward) override;

 private:
  struct Record {
    std::vector<uint8_t> data;
    std::map<int, std::string> blobs;
    bool deleted = false;
  };

  TRecordBuffer CurrentRecordBuffer() const;
  void LoadRecord(TRecordBuffer buffer, int position);
  void BuildList();
  bool Accepts(TRecordBuffer buffer);
  int WriteNewRecord(TRecordBuffer buffer, bool append);

  std::vector<Column> columns_;
  std::vector<int32_t> columnOffsets_;  // by column, inside the data area
  int32_t dataSize_ = 0;
  int32_t recordSize_ = 0;
  std::vector<Record> records_;
  std::vector<int> list_;  // record numbers in cursor order
  int position_ = -1;
  bool open_ = false;
  bool readOnly_ = false;
  TRecordBuffer filterBuffer_ = nullptr;
  std::map<TRecordBuffer, std::map<int, std::string>> bufferBlobs_;
};
